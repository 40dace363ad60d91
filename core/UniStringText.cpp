// UniString text operations: comparison, concatenation, search, slicing, trimming, case,
// substitution, number parsing and character classes. Positions are 1-based, 0 is "not
// found"; case folding touches only ASCII letters; a blank is space, tab, CR or LF.
// Results described as rebuilt (slices, trims, case changes) end at the first zero unit of the
// text they produce; copies and concatenation keep zero units.
// Relies on the storage of core/UniString.cpp; ToFloat reads numbers in the C locale whatever
// the process locale. Nothing here throws or reports errors; out of memory gives empty results.
#include <cstddef>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>
#include <vector>

#include "core/UniString.h"

namespace {

inline unsigned short AsciiUpper(unsigned short u) {
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned short>(u - 'a' + 'A') : u;
}

inline unsigned short AsciiLower(unsigned short u) {
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned short>(u - 'A' + 'a') : u;
}

inline unsigned short Fold(unsigned short u, bool ignoreCase) { return ignoreCase ? AsciiUpper(u) : u; }

// Appends units to a growing result, stopping at the first zero unit (a rebuilt piece).
void AppendRebuilt(std::vector<unsigned short>& out, unsigned short const* units, int count) {
  for (int i = 0; i < count && units[i] != 0; ++i) out.push_back(units[i]);
}

// The C locale, made once, for number parsing that must not follow the process locale.
locale_t CLocale() {
  static locale_t const locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

// ---- comparison and concatenation ----

bool UniString::operator==(UniString const& other) const {
  if (m_lngLength != other.m_lngLength) return false;
  if (m_lngLength == 0) return true;
  return std::memcmp(m_ptrBuffer + 1, other.m_ptrBuffer + 1, static_cast<size_t>(m_lngLength) * 2) == 0;
}

bool UniString::operator!=(UniString const& other) const { return !(*this == other); }

bool UniString::operator<(UniString const& other) const {
  int n = m_lngLength < other.m_lngLength ? m_lngLength : other.m_lngLength;
  for (int i = 1; i <= n; ++i) {
    if (m_ptrBuffer[i] != other.m_ptrBuffer[i]) return m_ptrBuffer[i] < other.m_ptrBuffer[i];
  }
  return m_lngLength < other.m_lngLength;
}

UniString UniString::operator+(UniString const& right) const {
  if (right.m_lngLength == 0) {
    return m_lngLength == 0 ? UniString() : Rebuilt(1, m_lngLength);
  }
  UniString result;
  int64_t total = static_cast<int64_t>(m_lngLength) + right.m_lngLength;
  if (total > 0x7FFFFFFD) return result;
  if (!result.Allocate(static_cast<int>(total))) return result;
  if (m_lngLength > 0) {
    std::memcpy(result.m_ptrBuffer + 1, m_ptrBuffer + 1, static_cast<size_t>(m_lngLength) * 2);
  }
  std::memcpy(result.m_ptrBuffer + 1 + m_lngLength, right.m_ptrBuffer + 1,
              static_cast<size_t>(right.m_lngLength) * 2);
  result.Seal();
  return result;
}

UniString& UniString::operator+=(UniString const& right) {
  if (right.m_lngLength == 0) return *this;
  int64_t total = static_cast<int64_t>(m_lngLength) + right.m_lngLength;
  unsigned short* buffer =
      total > 0x7FFFFFFD ? nullptr : new (std::nothrow) unsigned short[static_cast<size_t>(total) + 2];
  if (buffer == nullptr) {
    MakeEmpty();
    return *this;
  }
  if (m_lngLength > 0) std::memcpy(buffer + 1, m_ptrBuffer + 1, static_cast<size_t>(m_lngLength) * 2);
  // right may be *this: its buffer is still intact here.
  std::memcpy(buffer + 1 + m_lngLength, right.m_ptrBuffer + 1, static_cast<size_t>(right.m_lngLength) * 2);
  delete[] m_ptrBuffer;
  m_ptrBuffer = buffer;
  m_lngLength = static_cast<int32_t>(total);
  m_lngCapacity = m_lngLength;
  Seal();
  return *this;
}

// ---- slicing, trimming and case ----

UniString UniString::SubString(int start, int count) const {
  if (start < 1) start = 1;
  if (count < 0) count = m_lngLength;
  if (static_cast<int64_t>(start) + count > m_lngLength) {
    count = static_cast<int>(static_cast<int64_t>(m_lngLength) - start + 1);
  }
  if (count < 1) return UniString();
  return Rebuilt(start, count);
}

UniString UniString::Left(int n) const { return SubString(1, n); }

UniString UniString::Right(int n) const {
  if (n <= 0) return UniString();
  int start = n >= m_lngLength ? 1 : m_lngLength - n + 1;
  return SubString(start, n);
}

UniString UniString::Trim() const {
  int s = 1;
  while (s <= m_lngLength && IsBlank(m_ptrBuffer[s])) ++s;
  int e = m_lngLength;
  while (e >= s && IsBlank(m_ptrBuffer[e])) --e;
  if (s == 1 && e == m_lngLength) return *this;
  return SubString(s, e - s + 1);
}

UniString UniString::TrimLeft() const {
  int s = 1;
  while (s <= m_lngLength && IsBlank(m_ptrBuffer[s])) ++s;
  if (s == 1) return *this;
  return SubString(s, m_lngLength - s + 1);
}

UniString UniString::TrimRight() const {
  int e = m_lngLength;
  while (e >= 1 && IsBlank(m_ptrBuffer[e])) --e;
  if (e == m_lngLength) return *this;
  return SubString(1, e);
}

UniString UniString::UpperCase() const {
  UniString result = Rebuilt(1, m_lngLength);
  for (int i = 1; i <= result.m_lngLength; ++i) result.m_ptrBuffer[i] = AsciiUpper(result.m_ptrBuffer[i]);
  return result;
}

UniString UniString::LowerCase() const {
  UniString result = Rebuilt(1, m_lngLength);
  for (int i = 1; i <= result.m_lngLength; ++i) result.m_ptrBuffer[i] = AsciiLower(result.m_ptrBuffer[i]);
  return result;
}

UniString UniString::TitleCase() const {
  UniString result = Rebuilt(1, m_lngLength);
  bool wordStart = true;
  for (int i = 1; i <= result.m_lngLength; ++i) {
    unsigned short& u = result.m_ptrBuffer[i];
    if (IsBlank(u)) {
      wordStart = true;
    } else if (wordStart) {
      // A non-letter at a word's start still uses it up.
      wordStart = false;
      u = AsciiUpper(u);
    } else {
      u = AsciiLower(u);
    }
  }
  return result;
}

// ---- searching ----

int UniString::Pos(unsigned short ch, bool ignoreCase, int start, int occurrence) const {
  if (occurrence == 0 || m_lngLength == 0) return 0;
  int last = m_lngLength;
  int p = start > 0 ? (start < last ? start : last) : 1;
  unsigned short target = Fold(ch, ignoreCase);
  int step = occurrence > 0 ? 1 : -1;
  for (; p >= 1 && p <= last; p += step) {
    if (Fold(m_ptrBuffer[p], ignoreCase) == target) {
      occurrence -= step;
      if (occurrence == 0) return p;
    }
  }
  return 0;
}

int UniString::Pos(UniString const& text, bool ignoreCase, int start, int occurrence) const {
  if (occurrence == 0 || m_lngLength == 0) return 0;
  int n = text.m_lngLength;
  if (n > m_lngLength) return 0;
  int last = m_lngLength - n + 1;
  int p = start > 0 ? (start < last ? start : last) : 1;
  int step = occurrence > 0 ? 1 : -1;
  unsigned short const* needle = n > 0 ? text.m_ptrBuffer + 1 : nullptr;
  for (; p >= 1 && p <= last; p += step) {
    unsigned short const* at = m_ptrBuffer + p;
    int k = 0;
    if (ignoreCase) {
      while (k < n && AsciiUpper(at[k]) == AsciiUpper(needle[k])) ++k;
    } else {
      while (k < n && at[k] == needle[k]) ++k;
    }
    if (k == n) {
      occurrence -= step;
      if (occurrence == 0) return p;
    }
  }
  return 0;
}

int UniString::PosOfAnyChar(UniString const& set, bool ignoreCase, int start, int occurrence) const {
  if (occurrence == 0 || m_lngLength == 0) return 0;
  int last = m_lngLength;
  int p = start > 0 ? (start < last ? start : last) : 1;
  int step = occurrence > 0 ? 1 : -1;
  for (; p >= 1 && p <= last; p += step) {
    unsigned short u = Fold(m_ptrBuffer[p], ignoreCase);
    bool hit = false;
    for (int k = 1; k <= set.m_lngLength && !hit; ++k) hit = Fold(set.m_ptrBuffer[k], ignoreCase) == u;
    if (hit) {
      occurrence -= step;
      if (occurrence == 0) return p;
    }
  }
  return 0;
}

// ---- substitution ----

UniString UniString::StrSub(unsigned short from, unsigned short to, bool ignoreCase) const {
  UniString result(*this);
  if (Pos(from, ignoreCase, 1, 1) == 0) return result;
  unsigned short target = Fold(from, ignoreCase);
  for (int i = 1; i <= result.m_lngLength; ++i) {
    if (Fold(result.m_ptrBuffer[i], ignoreCase) == target) result.m_ptrBuffer[i] = to;
  }
  return result;
}

UniString UniString::StrSub(UniString const& from, UniString const& to, bool ignoreCase) const {
  // An empty search text would match at the same place for ever.
  if (from.m_lngLength == 0) return *this;
  int p = Pos(from, ignoreCase, 1, 1);
  if (p == 0) return *this;
  try {
    return Substitute(from, to, ignoreCase, p);
  } catch (std::bad_alloc const&) {
    return UniString();
  }
}

UniString UniString::Substitute(UniString const& from, UniString const& to, bool ignoreCase, int p) const {

  std::vector<unsigned short> out;
  out.reserve(static_cast<size_t>(m_lngLength));
  unsigned short const* rest = m_ptrBuffer + 1;
  int restLength = m_lngLength;
  int n = from.m_lngLength;
  while (p > 0) {
    // The text before the hit and the remainder after it are rebuilt pieces; the
    // replacement is appended whole.
    AppendRebuilt(out, rest, p - 1);
    if (to.m_lngLength > 0) out.insert(out.end(), to.m_ptrBuffer + 1, to.m_ptrBuffer + 1 + to.m_lngLength);
    rest += p - 1 + n;
    restLength -= p - 1 + n;
    int cut = 0;
    while (cut < restLength && rest[cut] != 0) ++cut;
    restLength = cut;
    // Search the remainder only: replaced text is never searched again.
    p = 0;
    if (n <= restLength) {
      int last = restLength - n + 1;
      for (int q = 1; q <= last && p == 0; ++q) {
        int k = 0;
        if (ignoreCase) {
          while (k < n && AsciiUpper(rest[q - 1 + k]) == AsciiUpper(from.m_ptrBuffer[1 + k])) ++k;
        } else {
          while (k < n && rest[q - 1 + k] == from.m_ptrBuffer[1 + k]) ++k;
        }
        if (k == n) p = q;
      }
    }
  }
  out.insert(out.end(), rest, rest + restLength);
  if (out.size() > 0x7FFFFFFD) return UniString();
  UniString result(out.data(), static_cast<int>(out.size()));
  return result;
}

// ---- numbers and character classes ----

int32_t UniString::ToInt() const {
  UniString text = Trim();
  int n = text.m_lngLength;
  if (n == 0) return 0;
  unsigned short const* u = text.m_ptrBuffer + 1;
  uint32_t value = 0;
  if (n >= 2 && u[0] == '0' && u[1] == 'x') {
    for (int i = 2; i < n; ++i) {
      unsigned short c = AsciiUpper(u[i]);
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        break;
      }
      value = value * 16 + digit;
    }
    return static_cast<int32_t>(value);
  }
  int i = 0;
  bool negative = u[0] == '-';
  if (negative) i = 1;
  for (; i < n && u[i] >= '0' && u[i] <= '9'; ++i) value = value * 10 + (u[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

double UniString::ToFloat() const {
  char* bytes = GetCString(1);
  if (bytes == nullptr) return 0.0;
  char* end = bytes;
  double value = strtod_l(bytes, &end, CLocale());
  if (end == bytes) value = 0.0;
  delete[] bytes;
  return value;
}

bool UniString::IsDigit(unsigned short unit) {
  // First unit of each block of ten decimal digits (Tamil lacks its zero).
  static unsigned short const kZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66,
                                          0x0BE6, 0x0C66, 0x0CE6, 0x0D66, 0x0E50, 0x0ED0, 0x0F20};
  if (unit < 0x0030 || unit > 0x0F29) return false;
  if (unit == 0x0BE6) return false;
  for (unsigned short zero : kZeros) {
    if (unit >= zero && unit <= zero + 9) return true;
  }
  return false;
}

bool UniString::HasDigits() const {
  for (int i = 1; i <= m_lngLength; ++i) {
    if (IsDigit(m_ptrBuffer[i])) return true;
  }
  return false;
}

bool UniString::IsNumeric(bool allowPoint, bool allowBlanks, bool allowSeveralPoints) const {
  if (m_lngLength == 0) return false;
  bool seenPoint = false;
  for (int i = 1; i <= m_lngLength; ++i) {
    unsigned short u = m_ptrBuffer[i];
    if (u == '.') {
      if (!allowPoint) return false;
      if (seenPoint && !allowSeveralPoints) return false;
      seenPoint = true;
    } else if (IsBlank(u)) {
      if (!allowBlanks) return false;
    } else if (!IsDigit(u)) {
      return false;
    }
  }
  return true;
}

bool UniString::IsBlank(unsigned short unit) {
  return unit == 0x20 || unit == 0x09 || unit == 0x0D || unit == 0x0A;
}

bool UniString::IsWhitespace(unsigned short unit) { return IsBlank(unit); }

// ---- building and splitting ----

UniString UniString::StringOfChar(unsigned short ch, int count) {
  UniString result;
  if (count < 1 || ch == 0) return result;
  if (!result.Allocate(count)) return result;
  for (int i = 1; i <= count; ++i) result.m_ptrBuffer[i] = ch;
  result.Seal();
  return result;
}

UniString UniString::GetName(unsigned short separator) const {
  int p = Pos(separator, false, 1, 1);
  if (p == 0) return UniString();
  return SubString(1, p - 1).Trim();
}

UniString UniString::GetValue(unsigned short separator) const {
  int p = Pos(separator, false, 1, 1);
  if (p == 0) return UniString();
  return SubString(p + 1, m_lngLength - p);
}
