// UniString storage, construction, assignment, element access and the byte encodings
// (0 UTF-16 units, 1 UTF-8, 101 UTF-8 with Latin-1 fallback, 2 to 5 code pages).
// Buffers are always exact: length + 2 units, element 0 the capped length, then the text,
// then a zero unit. Allocation failures leave the string empty; nothing here throws except
// operator[] with a bad index (int 1). Code pages come from GetUniConverter, which is given
// the remaining input length so it never reads past the end of the text.
#include "core/UniString.h"

#include <cstddef>
#include <charconv>
#include <cstring>
#include <new>

#include "core/UniConverter.h"

namespace {

// Element 0 holds the length, but never more than this.
constexpr int32_t kCappedLength = 511;
// Room offered to the code-page converters for one item.
constexpr int kConvRoom = 8;
// Longest printed form of a double that is kept.
constexpr int kMaxDoubleText = 47;

unsigned short* NewUnits(size_t count) { return new (std::nothrow) unsigned short[count]; }

// Number of UTF-8 bytes of one unit (surrogates are encoded one by one).
inline int UTF8Size(unsigned short u) { return u <= 0x7F ? 1 : (u <= 0x7FF ? 2 : 3); }

inline unsigned char* PutUTF8(unsigned char* out, unsigned short u) {
  if (u <= 0x7F) {
    *out++ = static_cast<unsigned char>(u);
  } else if (u <= 0x7FF) {
    *out++ = static_cast<unsigned char>(0xC0 | (u >> 6));
    *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
  } else {
    *out++ = static_cast<unsigned char>(0xE0 | (u >> 12));
    *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
    *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
  }
  return out;
}

inline bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xBF; }

}  // namespace

int UniCharArrayLength(unsigned short const* units, unsigned short terminator) {
  if (units == nullptr) return 0;
  int n = 0;
  while (units[n] != terminator) ++n;
  return n;
}

int CharArrayLength(unsigned char const* bytes, unsigned char terminator) {
  if (bytes == nullptr) return 0;
  if (terminator == 0) return static_cast<int>(std::strlen(reinterpret_cast<char const*>(bytes)));
  int n = 0;
  while (bytes[n] != terminator) ++n;
  return n;
}

// ---- storage helpers ----

bool UniString::Allocate(int count) {
  MakeEmpty();
  if (count < 0) count = 0;
  unsigned short* buffer = NewUnits(static_cast<size_t>(count) + 2);
  if (buffer == nullptr) return false;
  m_ptrBuffer = buffer;
  m_lngLength = count;
  m_lngCapacity = count;
  Seal();
  return true;
}

void UniString::MakeEmpty() {
  delete[] m_ptrBuffer;
  m_ptrBuffer = nullptr;
  m_lngLength = 0;
  m_lngCapacity = 0;
}

void UniString::Seal() {
  m_ptrBuffer[0] = static_cast<unsigned short>(m_lngLength < kCappedLength ? m_lngLength : kCappedLength);
  m_ptrBuffer[m_lngLength + 1] = 0;
}

void UniString::CopyFrom(unsigned short const* units, int count) {
  if (count < 0) count = 0;
  // An array with room is reused unless it would waste much.
  if (m_ptrBuffer != nullptr && count <= m_lngCapacity &&
      m_lngCapacity <= 4 * static_cast<int64_t>(count) + 256) {
    if (count > 0) std::memmove(m_ptrBuffer + 1, units, static_cast<size_t>(count) * 2);
    m_lngLength = count;
    Seal();
    return;
  }
  // The new buffer is filled before the old one goes, so units may point into it.
  unsigned short* buffer = NewUnits(static_cast<size_t>(count) + 2);
  if (buffer == nullptr) {
    MakeEmpty();
    return;
  }
  if (count > 0) std::memcpy(buffer + 1, units, static_cast<size_t>(count) * 2);
  delete[] m_ptrBuffer;
  m_ptrBuffer = buffer;
  m_lngLength = count;
  m_lngCapacity = count;
  Seal();
}

UniString UniString::Rebuilt(int start, int count) const {
  if (m_ptrBuffer == nullptr || count < 1) return UniString();
  unsigned short const* units = m_ptrBuffer + start;
  int n = 0;
  while (n < count && units[n] != 0) ++n;
  return UniString(units, n);
}

// ---- construction ----

UniString::UniString() : m_ptrBuffer(nullptr), m_lngLength(0) {}

UniString::UniString(UniString const& other) : m_ptrBuffer(nullptr), m_lngLength(0) {
  if (other.m_lngLength > 0) CopyFrom(other.m_ptrBuffer + 1, other.m_lngLength);
}

UniString::UniString(UniString&& other) noexcept
    : m_ptrBuffer(other.m_ptrBuffer), m_lngLength(other.m_lngLength), m_lngCapacity(other.m_lngCapacity) {
  other.m_ptrBuffer = nullptr;
  other.m_lngLength = 0;
  other.m_lngCapacity = 0;
}

UniString::UniString(unsigned short const* units, int count) : m_ptrBuffer(nullptr), m_lngLength(0) {
  if (units == nullptr) return;
  if (count < 0) count = UniCharArrayLength(units, 0);
  if (count < 1) return;
  CopyFrom(units, count);
}

UniString::UniString(unsigned short unit) : m_ptrBuffer(nullptr), m_lngLength(0) {
  if (Allocate(1)) {
    m_ptrBuffer[1] = unit;
    Seal();
  }
}

UniString::UniString(unsigned char const* bytes, int encoding, int length)
    : m_ptrBuffer(nullptr), m_lngLength(0) {
  switch (encoding) {
    case 0: {
      // Units in machine order up to the first zero unit; the bytes need not be aligned.
      if (bytes == nullptr) return;
      int count = 0;
      for (;; ++count) {
        unsigned short u;
        std::memcpy(&u, bytes + static_cast<size_t>(count) * 2, 2);
        if (u == 0) break;
      }
      if (count < 1) return;
      if (Allocate(count)) {
        std::memcpy(m_ptrBuffer + 1, bytes, static_cast<size_t>(count) * 2);
        Seal();
      }
      return;
    }
    case 1:
      DecodeUTF8(bytes, length, false);
      return;
    case 101:
      DecodeUTF8(bytes, length, true);
      return;
    case 2:
    case 3:
    case 4:
    case 5:
      DecodeCodePage(bytes, length, encoding);
      return;
    default:
      return;
  }
}

UniString::UniString(char const* bytes, int encoding, int length)
    : UniString(reinterpret_cast<unsigned char const*>(bytes), encoding, length) {}

UniString::UniString(int32_t value) : m_ptrBuffer(nullptr), m_lngLength(0) {
  char text[16];
  auto result = std::to_chars(text, text + sizeof text, value);
  DecodeUTF8(reinterpret_cast<unsigned char const*>(text), static_cast<int>(result.ptr - text), false);
}

UniString::UniString(uint32_t value) : m_ptrBuffer(nullptr), m_lngLength(0) {
  char text[16];
  auto result = std::to_chars(text, text + sizeof text, value);
  DecodeUTF8(reinterpret_cast<unsigned char const*>(text), static_cast<int>(result.ptr - text), false);
}

UniString::UniString(double value) : m_ptrBuffer(nullptr), m_lngLength(0) {
  // Fixed notation with four decimals, as "%.4lf" prints in the C locale; the largest
  // doubles need about 315 characters, of which the first 47 are kept.
  char text[400];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
  int n = result.ec == std::errc() ? static_cast<int>(result.ptr - text) : 0;
  if (n > kMaxDoubleText) n = kMaxDoubleText;
  DecodeUTF8(reinterpret_cast<unsigned char const*>(text), n, false);
}

UniString::UniString(AnsiString const& text) : m_ptrBuffer(nullptr), m_lngLength(0) {
  DecodeUTF8(reinterpret_cast<unsigned char const*>(text.c_str()), -1, false);
}

UniString::~UniString() { delete[] m_ptrBuffer; }

// ---- assignment and access ----

UniString& UniString::operator=(UniString const& other) {
  if (this == &other) return *this;
  if (other.m_lngLength == 0) {
    MakeEmpty();
    return *this;
  }
  CopyFrom(other.m_ptrBuffer + 1, other.m_lngLength);
  return *this;
}

UniString& UniString::operator=(UniString&& other) noexcept {
  if (this == &other) return *this;
  delete[] m_ptrBuffer;
  m_ptrBuffer = other.m_ptrBuffer;
  m_lngLength = other.m_lngLength;
  m_lngCapacity = other.m_lngCapacity;
  other.m_ptrBuffer = nullptr;
  other.m_lngLength = 0;
  other.m_lngCapacity = 0;
  return *this;
}

void UniString::Assign(unsigned short const* units, int count) {
  if (units == nullptr) {
    MakeEmpty();
    return;
  }
  CopyFrom(units, count);
}

unsigned short* UniString::FillBegin(int count) {
  if (count < 0) count = 0;
  if (m_ptrBuffer != nullptr && count <= m_lngCapacity &&
      m_lngCapacity <= 4 * static_cast<int64_t>(count) + 256) {
    m_lngLength = count;
    Seal();
    return m_ptrBuffer + 1;
  }
  return Allocate(count) ? m_ptrBuffer + 1 : nullptr;
}

void UniString::FillEnd(int count) {
  if (m_ptrBuffer == nullptr) return;
  if (count < 0) count = 0;
  if (count < m_lngLength) m_lngLength = count;
  Seal();
}

void UniString::Assign(wchar_t const* wide, int count) {
  if (wide == nullptr) {
    MakeEmpty();
    return;
  }
  if (count < 0) count = 0;
  if (m_ptrBuffer == nullptr || count != m_lngLength) {
    if (!Allocate(count)) return;
  }
  for (int i = 0; i < count; ++i) {
    m_ptrBuffer[i + 1] = static_cast<unsigned short>(static_cast<uint32_t>(wide[i]) & 0xFFFF);
  }
  Seal();
}

unsigned short& UniString::operator[](int i) {
  if (m_ptrBuffer == nullptr || i < 0 || i > m_lngLength + 1) throw 1;
  return m_ptrBuffer[i];
}

unsigned short UniString::operator[](int i) const {
  if (m_ptrBuffer == nullptr || i < 0 || i > m_lngLength + 1) throw 1;
  return m_ptrBuffer[i];
}

unsigned short const* UniString::GetBytes() const {
  return m_ptrBuffer == nullptr ? nullptr : m_ptrBuffer + 1;
}

int UniString::GetBytes(unsigned short* dst) const {
  if (dst == nullptr) return 0;
  if (m_lngLength > 0) std::memcpy(dst, m_ptrBuffer + 1, static_cast<size_t>(m_lngLength) * 2);
  return m_lngLength;
}

wchar_t* UniString::GetWCStr() const {
  if (m_ptrBuffer == nullptr) return nullptr;
  wchar_t* wide = new (std::nothrow) wchar_t[static_cast<size_t>(m_lngLength) + 1];
  if (wide == nullptr) return nullptr;
  for (int i = 0; i < m_lngLength; ++i) wide[i] = static_cast<wchar_t>(m_ptrBuffer[i + 1]);
  wide[m_lngLength] = 0;
  return wide;
}

// ---- decoding ----

void UniString::DecodeUTF8(unsigned char const* bytes, int length, bool latin1Fallback) {
  MakeEmpty();
  if (bytes == nullptr) return;
  if (length < 0) length = CharArrayLength(bytes, 0);
  if (length < 1) return;

  // Every byte yields at most one unit, so the work array is also a ready buffer when no
  // multi-byte sequence shrank the text (the common all-ASCII case).
  unsigned short* work = NewUnits(static_cast<size_t>(length) + 2);
  if (work == nullptr) return;
  unsigned short* out = work + 1;
  int i = 0;
  while (i < length) {
    unsigned char b = bytes[i];
    if (b < 0x80) {
      *out++ = b;
      ++i;
      // Run of ASCII bytes without further tests.
      while (i < length && bytes[i] < 0x80) *out++ = bytes[i++];
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF && i + 1 < length && IsContinuation(bytes[i + 1])) {
      *out++ = static_cast<unsigned short>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
      i += 2;
      continue;
    }
    if (b >= 0xE0 && b <= 0xEF && i + 2 < length && IsContinuation(bytes[i + 1]) &&
        IsContinuation(bytes[i + 2]) && (b != 0xE0 || bytes[i + 1] >= 0xA0)) {
      *out++ = static_cast<unsigned short>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) |
                                           (bytes[i + 2] & 0x3F));
      i += 3;
      continue;
    }
    // A byte that starts no accepted sequence; the next byte is examined afresh.
    *out++ = latin1Fallback ? b : static_cast<unsigned short>('?');
    ++i;
  }
  int count = static_cast<int>(out - (work + 1));
  // The work array becomes the buffer unless multi-byte sequences left much of it unused.
  if (count == length || length <= 4 * static_cast<int64_t>(count) + 256) {
    m_ptrBuffer = work;
    m_lngLength = count;
    m_lngCapacity = length;
    Seal();
    return;
  }
  if (Allocate(count)) {
    std::memcpy(m_ptrBuffer + 1, work + 1, static_cast<size_t>(count) * 2);
    Seal();
  }
  delete[] work;
}

void UniString::DecodeCodePage(unsigned char const* bytes, int length, int encoding) {
  MakeEmpty();
  UniConverter* converter = GetUniConverter(encoding);
  if (converter == nullptr) return;
  if (bytes == nullptr) return;
  if (length < 0) length = CharArrayLength(bytes, 0);
  if (length < 1) return;

  size_t room = static_cast<size_t>(length) + 1;
  unsigned short* work = NewUnits(room);
  if (work == nullptr) return;
  size_t count = 0;
  int i = 0;
  while (i < length) {
    // Most characters come straight from the converter's tables, one unit each.
    size_t produced = 0;
    i += converter->QuickDecodeRun(bytes + i, length - i, work + count, room - count, &produced);
    count += produced;
    if (i >= length) break;
    unsigned short units[kConvRoom];
    int n = kConvRoom;
    int used = converter->ToUnicode(bytes + i, units, &n, length - i);
    if (used <= 0 || n < 1) {
      units[0] = '?';
      n = 1;
      used = 1;
    }
    if (n > kConvRoom) n = kConvRoom;
    if (used > length - i) used = length - i;
    if (count + static_cast<size_t>(n) > room) {
      size_t bigger = room * 2 + kConvRoom;
      unsigned short* grown = NewUnits(bigger);
      if (grown == nullptr) {
        delete[] work;
        return;
      }
      std::memcpy(grown, work, count * 2);
      delete[] work;
      work = grown;
      room = bigger;
    }
    std::memcpy(work + count, units, static_cast<size_t>(n) * 2);
    count += static_cast<size_t>(n);
    i += used;
  }
  // A text longer than a 32-bit length can hold is refused rather than cut silently.
  if (count > 0x7FFFFFFD) {
    delete[] work;
    return;
  }
  if (count > 0 && Allocate(static_cast<int>(count))) {
    std::memcpy(m_ptrBuffer + 1, work, count * 2);
    Seal();
  }
  delete[] work;
}

// ---- encoding ----

char* UniString::EncodeCodePage(int encoding) const {
  UniConverter* converter = GetUniConverter(encoding);
  if (converter == nullptr) return nullptr;
  unsigned short const* units = m_ptrBuffer + 1;
  // Room for one or two bytes a unit, as the table's items give, and the terminator; the buffer
  // becomes the result when it has room left for the terminator.
  size_t const perUnit = converter->LongestItemBytes() > 1 ? 2 : 1;
  size_t room = static_cast<size_t>(m_lngLength) * perUnit + 1;
  char* work = new (std::nothrow) char[room];
  if (work == nullptr) return nullptr;
  auto grow = [&](size_t bigger, size_t count) {
    char* grown = new (std::nothrow) char[bigger];
    if (grown != nullptr) std::memcpy(grown, work, count);
    delete[] work;
    work = grown;
    room = bigger;
    return grown != nullptr;
  };
  size_t count = 0;
  int i = 0;
  while (i < m_lngLength) {
    // Most units come straight from the converter's tables, one or two bytes each.
    size_t produced = 0;
    i += converter->QuickEncodeRun(units + i, m_lngLength - i,
                                   reinterpret_cast<unsigned char*>(work) + count, room - count,
                                   &produced);
    count += produced;
    if (i >= m_lngLength) break;
    unsigned char bytes[kConvRoom];
    int n = kConvRoom;
    int used = converter->FromUnicode(units + i, bytes, &n, m_lngLength - i);
    if (used <= 0 || n < 1) {
      bytes[0] = '?';
      n = 1;
      used = 1;
    }
    if (n > kConvRoom) n = kConvRoom;
    if (used > m_lngLength - i) used = m_lngLength - i;
    if (count + static_cast<size_t>(n) > room && !grow(room * 2 + kConvRoom, count)) return nullptr;
    std::memcpy(work + count, bytes, static_cast<size_t>(n));
    count += static_cast<size_t>(n);
    i += used;
  }
  if (count + 1 > room && !grow(count + 1, count)) return nullptr;
  work[count] = 0;
  return work;
}

char* UniString::GetCString(int encoding) const {
  if (m_ptrBuffer == nullptr || m_lngLength == 0) {
    char* empty = new (std::nothrow) char[1];
    if (empty != nullptr) empty[0] = 0;
    return empty;
  }
  switch (encoding) {
    case 0: {
      size_t n = static_cast<size_t>(m_lngLength) * 2;
      char* result = new (std::nothrow) char[n + 1];
      if (result == nullptr) return nullptr;
      std::memcpy(result, m_ptrBuffer + 1, n);
      result[n] = 0;
      return result;
    }
    case 1: {
      char* result = new (std::nothrow) char[static_cast<size_t>(m_lngLength) * 3 + 1];
      if (result == nullptr) return nullptr;
      unsigned char* out = reinterpret_cast<unsigned char*>(result);
      unsigned short const* u = m_ptrBuffer + 1;
      unsigned short const* end = u + m_lngLength;
      while (u < end) {
        if (*u <= 0x7F) {
          *out++ = static_cast<unsigned char>(*u++);
        } else {
          out = PutUTF8(out, *u++);
        }
      }
      *out = 0;
      return result;
    }
    case 2:
    case 3:
    case 4:
    case 5:
      return EncodeCodePage(encoding);
    default:
      return nullptr;
  }
}

int UniString::GetCString(unsigned char* buf, int size, int encoding) const {
  // A negative size leaves no room even for the terminator.
  if (buf == nullptr || size < 0) return 0;
  unsigned short const* units = m_ptrBuffer == nullptr ? nullptr : m_ptrBuffer + 1;
  switch (encoding) {
    case 0: {
      int64_t n = static_cast<int64_t>(m_lngLength) * 2;
      if (n > size) n = size;
      if (n > 0) std::memcpy(buf, units, static_cast<size_t>(n));
      buf[n] = 0;
      return static_cast<int>(n);
    }
    case 1: {
      int out = 0;
      for (int i = 0; i < m_lngLength; ++i) {
        unsigned short u = units[i];
        int n = UTF8Size(u);
        if (size - out <= n) break;
        PutUTF8(buf + out, u);
        out += n;
      }
      // With size 0 the terminator still goes to buf[0], the terminator's place.
      buf[out] = 0;
      return out;
    }
    case 2:
    case 3:
    case 4:
    case 5: {
      UniConverter* converter = GetUniConverter(encoding);
      if (converter == nullptr) return 0;
      int out = 0;
      int i = 0;
      while (i < m_lngLength) {
        // Each piece goes to a scratch array first, so nothing lands beyond buf[size].
        unsigned char bytes[kConvRoom];
        int n = kConvRoom;
        int used = converter->FromUnicode(units + i, bytes, &n, m_lngLength - i);
        if (used <= 0 || n < 1) {
          bytes[0] = '?';
          n = 1;
          used = 1;
        }
        if (n > kConvRoom) n = kConvRoom;
        if (used > m_lngLength - i) used = m_lngLength - i;
        if (out + n > size) break;
        std::memcpy(buf + out, bytes, static_cast<size_t>(n));
        out += n;
        i += used;
      }
      buf[out] = 0;
      return out;
    }
    default:
      return 0;
  }
}

AnsiString UniString::GetAnsiString(int encoding) const {
  if (encoding == -1) encoding = 1;
  char* bytes = GetCString(encoding);
  if (bytes == nullptr) return AnsiString();
  AnsiString result(bytes);
  delete[] bytes;
  return result;
}
