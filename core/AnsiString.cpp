// AnsiString: the 8-bit byte string (see AnsiString.h).
// Buffers come from new(std::nothrow); a failed allocation leaves the target empty instead of
// throwing. Sizes are checked in 64-bit arithmetic so a huge combined length counts as a
// failed allocation rather than wrapping. Only operator[] throws (int 1, for a bad index).
#include "core/AnsiString.h"

#include <charconv>
#include <cstring>
#include <new>
#include <string>

namespace {

// Longest text a buffer can hold: length + 2 must still fit a 32-bit signed size.
constexpr int64_t kMaxAnsiLength = INT32_MAX - 2;

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Length of data[0..count) read as a NUL-terminated text.
inline int CutAtNul(char const* data, int count) {
  void const* nul = count > 0 ? std::memchr(data, 0, size_t(count)) : nullptr;
  return nul ? int(static_cast<char const*>(nul) - data) : count;
}

}  // namespace

int StringLength(char const* text) {
  if (!text) return 0;
  return int(std::strlen(text));
}

AnsiString::AnsiString()
    : m_pchrBuffer(nullptr), m_lngLength(0), m_bolHighByte(false), m_bolSecondFlag(false) {}

AnsiString::AnsiString(AnsiString const& other) : AnsiString() {
  if (other.m_pchrBuffer && other.m_lngLength > 0 && Allocate(other.m_lngLength)) {
    std::memcpy(m_pchrBuffer + 1, other.m_pchrBuffer + 1, size_t(m_lngLength));
    Seal();
  }
}

AnsiString::AnsiString(AnsiString&& other) noexcept
    : m_pchrBuffer(other.m_pchrBuffer),
      m_lngLength(other.m_lngLength),
      m_lngCapacity(other.m_lngCapacity),
      m_bolHighByte(false),
      m_bolSecondFlag(false) {
  // A copy of an empty string is empty with a null buffer; keep that for moves too.
  if (m_pchrBuffer && m_lngLength == 0) {
    delete[] m_pchrBuffer;
    m_pchrBuffer = nullptr;
    m_lngCapacity = 0;
  }
  other.m_pchrBuffer = nullptr;
  other.m_lngLength = 0;
  other.m_lngCapacity = 0;
}

AnsiString::AnsiString(char const* text) : AnsiString(text, StringLength(text)) {}

AnsiString::AnsiString(unsigned char const* text)
    : AnsiString(reinterpret_cast<char const*>(text)) {}

AnsiString::AnsiString(char const* data, int count) : AnsiString() {
  if (!data || count < 1) return;
  if (Allocate(count)) {
    std::memcpy(m_pchrBuffer + 1, data, size_t(count));
    Seal();
  }
}

AnsiString::AnsiString(int value) : AnsiString() {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  int count = int(result.ptr - digits);
  if (Allocate(count)) {
    std::memcpy(m_pchrBuffer + 1, digits, size_t(count));
    Seal();
  }
}

AnsiString::AnsiString(char byte) : AnsiString() {
  if (Allocate(1)) {
    m_pchrBuffer[1] = byte;
    Seal();
    m_bolHighByte = (static_cast<unsigned char>(byte) & 0x80) != 0;
  }
}

AnsiString::~AnsiString() { delete[] m_pchrBuffer; }

AnsiString& AnsiString::operator=(AnsiString const& other) {
  if (this == &other) return *this;
  if (!other.m_pchrBuffer) {
    MakeEmpty();
  } else {
    if (!m_pchrBuffer || m_lngLength != other.m_lngLength) {
      if (!Allocate(other.m_lngLength)) return *this;
    }
    std::memcpy(m_pchrBuffer + 1, other.m_pchrBuffer + 1, size_t(m_lngLength));
    Seal();
  }
  m_bolHighByte = other.m_bolHighByte;
  m_bolSecondFlag = other.m_bolSecondFlag;
  return *this;
}

AnsiString& AnsiString::operator=(AnsiString&& other) noexcept {
  if (this == &other) return *this;
  delete[] m_pchrBuffer;
  m_pchrBuffer = other.m_pchrBuffer;
  m_lngLength = other.m_lngLength;
  m_lngCapacity = other.m_lngCapacity;
  m_bolHighByte = other.m_bolHighByte;
  m_bolSecondFlag = other.m_bolSecondFlag;
  other.m_pchrBuffer = nullptr;
  other.m_lngLength = 0;
  other.m_lngCapacity = 0;
  return *this;
}

char& AnsiString::operator[](int i) {
  if (!m_pchrBuffer || i < 0 || i > m_lngLength) throw int(1);
  return m_pchrBuffer[i];
}

char const& AnsiString::operator[](int i) const {
  if (!m_pchrBuffer || i < 0 || i > m_lngLength) throw int(1);
  return m_pchrBuffer[i];
}

void AnsiString::Load(char const* data, int count) {
  if (count < 0 || (!data && count > 0)) count = 0;
  // A buffer with room is reused unless it would waste much; memmove copes with data that lies
  // inside it.
  if (m_pchrBuffer && count <= m_lngCapacity && m_lngCapacity <= 4 * int64_t(count) + 256) {
    if (count > 0) std::memmove(m_pchrBuffer + 1, data, size_t(count));
    m_lngLength = count;
  } else {
    // Build the new buffer before freeing the old one, which data may point into.
    char* fresh = new (std::nothrow) char[size_t(count) + 2];
    if (!fresh) {
      MakeEmpty();
      return;
    }
    if (count > 0) std::memcpy(fresh + 1, data, size_t(count));
    delete[] m_pchrBuffer;
    m_pchrBuffer = fresh;
    m_lngLength = count;
    m_lngCapacity = count;
  }
  Seal();
  m_bolHighByte = false;
  m_bolSecondFlag = false;
}

AnsiString AnsiString::operator+(AnsiString const& right) const {
  AnsiString result;
  if (!right.m_pchrBuffer) {
    if (m_pchrBuffer) result = AnsiString(c_str());
    return result;
  }
  int64_t total = int64_t(m_lngLength) + right.m_lngLength;
  if (total > kMaxAnsiLength || !result.Allocate(int(total))) return result;
  if (m_lngLength > 0) std::memcpy(result.m_pchrBuffer + 1, m_pchrBuffer + 1, size_t(m_lngLength));
  if (right.m_lngLength > 0)
    std::memcpy(result.m_pchrBuffer + 1 + m_lngLength, right.m_pchrBuffer + 1,
                size_t(right.m_lngLength));
  result.Seal();
  result.m_bolHighByte = m_bolHighByte || right.m_bolHighByte;
  result.m_bolSecondFlag = m_bolSecondFlag || right.m_bolSecondFlag;
  return result;
}

AnsiString& AnsiString::operator+=(AnsiString const& right) {
  if (!right.m_pchrBuffer) return *this;
  if (!m_pchrBuffer) {
    *this = right;
    return *this;
  }
  int64_t total = int64_t(m_lngLength) + right.m_lngLength;
  char* fresh = total <= kMaxAnsiLength ? new (std::nothrow) char[size_t(total) + 2] : nullptr;
  if (!fresh) {
    MakeEmpty();
    return *this;
  }
  std::memcpy(fresh + 1, m_pchrBuffer + 1, size_t(m_lngLength));
  // right may be *this: its bytes are read before the old buffer goes.
  std::memcpy(fresh + 1 + m_lngLength, right.m_pchrBuffer + 1, size_t(right.m_lngLength));
  bool highByte = m_bolHighByte || right.m_bolHighByte;
  bool secondFlag = m_bolSecondFlag || right.m_bolSecondFlag;
  delete[] m_pchrBuffer;
  m_pchrBuffer = fresh;
  m_lngLength = int32_t(total);
  m_lngCapacity = m_lngLength;
  Seal();
  m_bolHighByte = highByte;
  m_bolSecondFlag = secondFlag;
  return *this;
}

bool AnsiString::operator==(AnsiString const& other) const {
  if (m_lngLength != other.m_lngLength) return false;
  if (!m_pchrBuffer || !other.m_pchrBuffer) return true;
  return std::memcmp(m_pchrBuffer + 1, other.m_pchrBuffer + 1, size_t(m_lngLength)) == 0;
}

bool AnsiString::operator!=(AnsiString const& other) const { return !(*this == other); }

bool AnsiString::isBlank(char c) const {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0';
}

AnsiString AnsiString::Trim() const {
  if (!m_pchrBuffer) return AnsiString();
  char const* text = m_pchrBuffer + 1;
  int first = 0;
  int end = m_lngLength;
  while (first < end && isBlank(text[first])) ++first;
  while (end > first && isBlank(text[end - 1])) --end;
  return AnsiString(text + first, CutAtNul(text + first, end - first));
}

AnsiString AnsiString::TrimRight() const {
  if (!m_pchrBuffer) return AnsiString();
  char const* text = m_pchrBuffer + 1;
  int end = m_lngLength;
  while (end > 0 && isBlank(text[end - 1])) --end;
  return AnsiString(text, CutAtNul(text, end));
}

AnsiString AnsiString::SubString(int start, int count) const {
  if (!m_pchrBuffer || m_lngLength == 0) return AnsiString();
  if (start < 1) start = 1;
  int64_t take = count;
  if (int64_t(start) + take > m_lngLength) take = int64_t(m_lngLength) - start + 1;
  if (take <= 0) return AnsiString();
  char const* from = m_pchrBuffer + start;
  return AnsiString(from, CutAtNul(from, int(take)));
}

AnsiString AnsiString::UpperCase() const {
  AnsiString result(c_str());
  for (int i = 1; i <= result.m_lngLength; ++i)
    result.m_pchrBuffer[i] = AsciiUpper(result.m_pchrBuffer[i]);
  return result;
}

AnsiString AnsiString::LowerCase() const {
  AnsiString result(c_str());
  for (int i = 1; i <= result.m_lngLength; ++i)
    result.m_pchrBuffer[i] = AsciiLower(result.m_pchrBuffer[i]);
  return result;
}

int32_t AnsiString::ToInt() const {
  AnsiString trimmed = Trim();
  char const* text = trimmed.c_str();
  int length = trimmed.Length();
  uint32_t value = 0;
  if (length >= 2 && text[0] == '0' && text[1] == 'x') {
    for (int i = 2; i < length; ++i) {
      char c = AsciiUpper(text[i]);
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = uint32_t(c - '0');
      } else if (c >= 'A' && c <= 'F') {
        digit = uint32_t(c - 'A' + 10);
      } else {
        break;
      }
      value = value * 16u + digit;
    }
    return int32_t(value);
  }
  int i = 0;
  bool negative = length > 0 && text[0] == '-';
  if (negative) i = 1;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + uint32_t(text[i] - '0');
  if (negative) value = 0u - value;
  return int32_t(value);
}

int AnsiString::Pos(AnsiString const& needle, bool ignoreCase, int start, int occurrence) const {
  if (!m_pchrBuffer) return 0;
  int needleLength = needle.m_lngLength;
  if (needleLength > m_lngLength || occurrence == 0) return 0;
  char const* text = m_pchrBuffer + 1;
  char const* sought = needle.c_str();
  int last = m_lngLength - needleLength + 1;
  int p = start > 0 ? (start < last ? start : last) : 1;
  while (p >= 1 && p <= last) {
    bool match;
    if (ignoreCase) {
      match = true;
      for (int k = 0; k < needleLength; ++k) {
        if (AsciiUpper(text[p - 1 + k]) != AsciiUpper(sought[k])) {
          match = false;
          break;
        }
      }
    } else {
      match = std::memcmp(text + p - 1, sought, size_t(needleLength)) == 0;
    }
    if (match) {
      if (occurrence == 1 || occurrence == -1) return p;
      occurrence += occurrence > 0 ? -1 : 1;
    }
    p += occurrence > 0 ? 1 : -1;
  }
  return 0;
}

int AnsiString::Pos(char c, bool ignoreCase, int start, int occurrence) const {
  if (!m_pchrBuffer || occurrence == 0) return 0;
  char const* text = m_pchrBuffer + 1;
  char sought = ignoreCase ? AsciiUpper(c) : c;
  int p = start > 0 ? (start < m_lngLength ? start : m_lngLength) : 1;
  int step = occurrence > 0 ? 1 : -1;
  int remaining = occurrence > 0 ? occurrence : -occurrence;
  for (; p >= 1 && p <= m_lngLength; p += step) {
    char here = ignoreCase ? AsciiUpper(text[p - 1]) : text[p - 1];
    if (here == sought && --remaining == 0) return p;
  }
  return 0;
}

AnsiString AnsiString::StrSub(AnsiString const& find, AnsiString const& replace,
                              bool ignoreCase) const {
  // An empty search text would match everywhere without consuming anything.
  if (find.Length() == 0) return *this;
  // Scans this string from an offset instead of copying the rest after every match, which
  // gives the same left-to-right, non-overlapping result in linear time.
  char const* text = c_str();
  std::string built;
  try {
    int done = 0;  // bytes of this string already moved to the result
    int p = Pos(find, ignoreCase, 1, 1);
    while (p > 0) {
      built.append(text + done, size_t(p - 1 - done));
      built.append(replace.c_str(), size_t(replace.Length()));
      done = p - 1 + find.Length();
      if (done >= m_lngLength) break;
      p = Pos(find, ignoreCase, done + 1, 1);
      // Pos moves a late start back to the last place the text fits; a match there that
      // overlaps the previous one is no new match.
      if (p > 0 && p - 1 < done) p = 0;
    }
    built.append(text + done, size_t(m_lngLength - done));
  } catch (std::bad_alloc const&) {
    return AnsiString();
  }
  if (int64_t(built.size()) > kMaxAnsiLength) return AnsiString();
  return AnsiString(built.data(), int(built.size()));
}

bool AnsiString::Allocate(int count) {
  delete[] m_pchrBuffer;
  m_pchrBuffer = new (std::nothrow) char[size_t(count) + 2];
  if (!m_pchrBuffer) {
    MakeEmpty();
    return false;
  }
  m_lngLength = count;
  m_lngCapacity = count;
  return true;
}

void AnsiString::Seal() {
  m_pchrBuffer[0] = char(m_lngLength < 255 ? m_lngLength : 255);
  m_pchrBuffer[m_lngLength + 1] = 0;
}

void AnsiString::MakeEmpty() {
  delete[] m_pchrBuffer;
  m_pchrBuffer = nullptr;
  m_lngLength = 0;
  m_lngCapacity = 0;
  m_bolHighByte = false;
  m_bolSecondFlag = false;
}
