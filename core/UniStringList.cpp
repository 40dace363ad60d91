// UniStringList: the ordered list of UniString values (see core/UniStringList.h).
// Splitting has two methods: a plain one that cuts at every delimiter and keeps inner empty
// items, and a scanning one, used when the text holds escapes or quotes, that honours them and
// drops empty items. The joined text is assembled in an XMemoryStream reserved to its full size.
// Relies on core/UniString.h and files/XMemoryStream.h. Only At and IterAt throw (int 1);
// a failed allocation ends the operation, leaving the list as it stood at that moment.
#include "core/UniStringList.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "files/XMemoryStream.h"

namespace {

constexpr unsigned short kUnitCR = 13;
constexpr unsigned short kUnitLF = 10;
constexpr unsigned short kUnitBackslash = '\\';
constexpr unsigned short kUnitDoubleQuote = '"';
constexpr unsigned short kUnitSingleQuote = '\'';
constexpr unsigned short kUnitSpace = ' ';

UniString ApplyTrim(UniString const& item, enumBreakApartTrimLineType trim) {
  switch (trim) {
    case kBreakApartTrimBoth:
      return item.Trim();
    case kBreakApartTrimLeft:
      return item.TrimLeft();
    case kBreakApartTrimRight:
      return item.TrimRight();
    default:
      return item;
  }
}

bool SameText(UniString const& a, UniString const& b, bool caseSensitive) {
  return caseSensitive ? a == b : a.UpperCase() == b.UpperCase();
}

bool HoldsUnit(unsigned short const* units, int count, unsigned short unit) {
  for (int i = 0; i < count; ++i) {
    if (units[i] == unit) return true;
  }
  return false;
}

bool HoldsQuote(unsigned short const* units, int count) {
  return HoldsUnit(units, count, kUnitDoubleQuote) || HoldsUnit(units, count, kUnitSingleQuote);
}

// True when the count units of delim stand in units at index i (within length).
bool MatchesAt(unsigned short const* units, int length, int i, unsigned short const* delim,
               int count) {
  if (count < 1 || i + count > length) return false;
  return std::memcmp(units + i, delim, static_cast<size_t>(count) * sizeof(unsigned short)) == 0;
}

int SeparatorLength(enumLineEndingType ending) {
  switch (ending) {
    case kLineEndingCR:
    case kLineEndingLF:
      return 1;
    case kLineEndingCRLF:
      return 2;
    default:
      return 0;
  }
}

UniString SeparatorOf(enumLineEndingType ending) {
  static unsigned short const kCRLF[2] = {kUnitCR, kUnitLF};
  switch (ending) {
    case kLineEndingCR:
      return UniString(kUnitCR);
    case kLineEndingLF:
      return UniString(kUnitLF);
    case kLineEndingCRLF:
      return UniString(kCRLF, 2);
    default:
      return UniString();
  }
}

// Collects the units of the item being scanned; the work buffer of the scanning splitters.
class clsItemBuffer {
 public:
  explicit clsItemBuffer(int capacity)
      : m_ptrUnits(new (std::nothrow) unsigned short[static_cast<size_t>(capacity) + 1]) {}
  bool IsValid() const { return m_ptrUnits != nullptr; }
  void Append(unsigned short unit) { m_ptrUnits[m_intCount++] = unit; }
  int Count() const { return m_intCount; }
  void Clear() { m_intCount = 0; }
  UniString Take() {
    UniString result(m_ptrUnits.get(), m_intCount);
    m_intCount = 0;
    return result;
  }

 private:
  std::unique_ptr<unsigned short[]> m_ptrUnits;
  int m_intCount = 0;
};

}  // namespace

// ---- plain list operations ----

bool UniStringList::IsEmpty() const {
  return m_vecStrings.empty() || (m_vecStrings.size() == 1 && m_vecStrings[0].IsEmpty());
}

void UniStringList::Clear() { m_vecStrings.clear(); }

int UniStringList::Add(UniString const& s) {
  try {
    m_vecStrings.push_back(s);
  } catch (std::bad_alloc const&) {
    return -1;
  }
  return static_cast<int>(m_vecStrings.size()) - 1;
}

void UniStringList::Insert(unsigned int i, UniString const& s) {
  try {
    if (i < Count()) {
      m_vecStrings.insert(m_vecStrings.begin() + i, s);
    } else {
      m_vecStrings.push_back(s);
    }
  } catch (std::bad_alloc const&) {
    // The list stays as it was.
  }
}

void UniStringList::Delete(unsigned int i) {
  if (i < Count()) m_vecStrings.erase(m_vecStrings.begin() + i);
}

UniStringList::iterator UniStringList::Delete(iterator it) { return m_vecStrings.erase(it); }

UniString UniStringList::At(unsigned int i) const {
  if (i >= Count()) throw 1;
  return m_vecStrings[i];
}

UniStringList::iterator UniStringList::IterAt(unsigned int i) {
  if (i >= Count()) throw 1;
  return m_vecStrings.begin() + i;
}

void UniStringList::Assign(UniStringList const* other) {
  if (other == this) return;
  if (other == nullptr || other->m_vecStrings.empty()) {
    Clear();
    return;
  }
  try {
    m_vecStrings = other->m_vecStrings;
  } catch (std::bad_alloc const&) {
    Clear();
  }
}

void UniStringList::AddStrings(UniStringList const* other) {
  if (other == nullptr || other->m_vecStrings.empty()) return;
  // Indexing (not iterators) and a count taken first keep a self-append well defined.
  size_t const n = other->m_vecStrings.size();
  try {
    m_vecStrings.reserve(m_vecStrings.size() + n);
    for (size_t k = 0; k < n; ++k) m_vecStrings.push_back(other->m_vecStrings[k]);
  } catch (std::bad_alloc const&) {
    // What was appended before memory ran out stays.
  }
}

// ---- lookups ----

int UniStringList::IndexOf(UniString const& text, bool caseSensitive) const {
  UniString const wanted = caseSensitive ? text : text.UpperCase();
  for (size_t k = 0; k < m_vecStrings.size(); ++k) {
    if (caseSensitive ? m_vecStrings[k] == wanted : m_vecStrings[k].UpperCase() == wanted) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

int UniStringList::IndexOfName(UniString const& name, unsigned short delimiter,
                               bool caseSensitive) const {
  UniString const wanted = name.Trim();
  for (size_t k = 0; k < m_vecStrings.size(); ++k) {
    if (SameText(m_vecStrings[k].GetName(delimiter), wanted, caseSensitive)) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

int UniStringList::IndexOfValue(UniString const& value, unsigned short delimiter,
                                bool caseSensitive) const {
  UniString const wanted = value.Trim();
  for (size_t k = 0; k < m_vecStrings.size(); ++k) {
    if (SameText(m_vecStrings[k].GetValue(delimiter).Trim(), wanted, caseSensitive)) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

UniString UniStringList::Values(UniString const& name, unsigned short delimiter,
                                bool caseSensitive) const {
  int const index = IndexOfName(name, delimiter, caseSensitive);
  if (index < 0) return UniString();
  return m_vecStrings[static_cast<size_t>(index)].GetValue(delimiter);
}

// ---- splitting and appending ----

void UniStringList::BreakApart(UniString text, unsigned short delimiter, bool quotes,
                               enumBreakApartTrimLineType trim) {
  Clear();
  int const length = text.Length();
  if (length == 0) return;
  unsigned short const* units = text.GetBytes();

  bool const scanning =
      HoldsUnit(units, length, kUnitBackslash) || (quotes && HoldsQuote(units, length));
  if (!scanning) {
    // Plain: every delimiter ends an item, empty ones included; an empty rest adds nothing.
    int start = 0;
    for (int i = 0; i < length; ++i) {
      if (units[i] != delimiter) continue;
      Add(ApplyTrim(UniString(units + start, i - start), trim));
      start = i + 1;
    }
    if (start < length) Add(ApplyTrim(UniString(units + start, length - start), trim));
    return;
  }

  // Scanning: quotes and backslashes stay in the items; a backslash keeps the next unit from
  // acting as a delimiter or an opening quote; empty items are dropped.
  clsItemBuffer item(length);
  if (!item.IsValid()) return;
  bool inQuote = false;
  bool escaped = false;
  unsigned short quoteChar = kUnitSpace;
  for (int i = 0; i < length; ++i) {
    unsigned short const c = units[i];
    if (inQuote) {
      item.Append(c);
      if (c == quoteChar && !escaped) {
        inQuote = false;
        quoteChar = kUnitSpace;
      }
    } else if (c == delimiter && !escaped) {
      if (item.Count() > 0) Add(ApplyTrim(item.Take(), trim));
      item.Clear();
      inQuote = false;
      escaped = false;
    } else if (quotes && (c == kUnitDoubleQuote || c == kUnitSingleQuote) && !escaped) {
      // Quote characters only quote when the caller asked for quotes; a backslash elsewhere
      // in the text must not turn an apostrophe in a name into an opening quote.
      quoteChar = c;
      item.Append(c);
      inQuote = true;
    } else {
      item.Append(c);
      escaped = (c == kUnitBackslash && !escaped);
    }
  }
  if (item.Count() > 0) Add(ApplyTrim(item.Take(), trim));
}

void UniStringList::BreakApart(UniString text, UniString delimiter, bool quotes,
                               enumBreakApartTrimLineType trim) {
  Clear();
  int const length = text.Length();
  if (length == 0) return;
  unsigned short const* units = text.GetBytes();
  int const delimLength = delimiter.Length();
  unsigned short const* delim = delimiter.GetBytes();

  if (!(quotes && HoldsQuote(units, length))) {
    // Plain: cut at each left-to-right, non-overlapping occurrence of the whole delimiter.
    // An empty delimiter never matches, so the text stays one item.
    int start = 0;
    int i = 0;
    while (i < length) {
      if (MatchesAt(units, length, i, delim, delimLength)) {
        Add(ApplyTrim(UniString(units + start, i - start), trim));
        i += delimLength;
        start = i;
      } else {
        ++i;
      }
    }
    if (start < length) Add(ApplyTrim(UniString(units + start, length - start), trim));
    return;
  }

  // Scanning with quotes; the backslash has no meaning here.
  clsItemBuffer item(length);
  if (!item.IsValid()) return;
  bool inQuote = false;
  unsigned short quoteChar = kUnitSpace;
  int i = 0;
  while (i < length) {
    unsigned short const c = units[i];
    if (inQuote) {
      item.Append(c);
      if (c == quoteChar) {
        inQuote = false;
        quoteChar = kUnitSpace;
      }
      ++i;
    } else if (MatchesAt(units, length, i, delim, delimLength)) {
      if (item.Count() > 0) Add(ApplyTrim(item.Take(), trim));
      item.Clear();
      i += delimLength;
    } else {
      if (c == kUnitDoubleQuote || c == kUnitSingleQuote) {
        quoteChar = c;
        inQuote = true;
      }
      item.Append(c);
      ++i;
    }
  }
  if (item.Count() > 0) Add(ApplyTrim(item.Take(), trim));
}

void UniStringList::AddText(UniString text) {
  int const length = text.Length();
  if (length == 0) return;
  unsigned short const* units = text.GetBytes();
  clsItemBuffer line(length);
  if (!line.IsValid()) return;

  bool first = true;
  bool endedWithBreak = false;
  // The first line of a call continues the list's last string; later lines are new strings.
  auto finishLine = [&]() {
    UniString piece = line.Take();
    if (first && !m_vecStrings.empty()) {
      m_vecStrings.back() += piece;
    } else {
      Add(piece);
    }
    first = false;
  };

  for (int i = 0; i < length; ++i) {
    unsigned short const c = units[i];
    if (c == kUnitCR || c == kUnitLF) {
      finishLine();
      if (c == kUnitCR && i + 1 < length && units[i + 1] == kUnitLF) ++i;
      endedWithBreak = true;
    } else {
      line.Append(c);
      endedWithBreak = false;
    }
  }
  if (line.Count() > 0) finishLine();
  // The open line after a final break, for the next call to continue.
  if (endedWithBreak) Add(UniString());
}

// ---- joined text ----

uint32_t UniStringList::TextSize(enumLineEndingType ending) const {
  if (m_vecStrings.empty()) return 0;
  uint32_t size = 0;
  for (UniString const& s : m_vecStrings) size += static_cast<uint32_t>(s.Length());
  size += static_cast<uint32_t>(m_vecStrings.size() - 1) *
          static_cast<uint32_t>(SeparatorLength(ending));
  return size;
}

UniString UniStringList::Text(enumLineEndingType ending, UniString const& separator) const {
  if (m_vecStrings.empty()) return UniString();
  UniString const sep = separator.IsNotEmpty() ? separator : SeparatorOf(ending);

  // Bytes needed, computed wide: a text beyond what a stream position or a string length can
  // hold is refused rather than wrapped.
  int64_t units = 0;
  for (UniString const& s : m_vecStrings) units += s.Length();
  units += static_cast<int64_t>(m_vecStrings.size() - 1) * sep.Length();
  if (units > std::numeric_limits<int32_t>::max() / 2 - 128) return UniString();

  std::unique_ptr<XMemoryStream> stream(new (std::nothrow) XMemoryStream(0));
  if (!stream) return UniString();
  stream->Reserve(static_cast<int32_t>(units * 2 + 128));

  // A short write means memory ran out; a cut-off text is worse than none.
  auto writeUnits = [&stream](UniString const& s) {
    if (s.IsEmpty()) return true;
    int32_t const bytes = static_cast<int32_t>(s.Length()) * 2;
    return stream->WriteBytes(reinterpret_cast<unsigned char const*>(s.GetBytes()), bytes) ==
           bytes;
  };
  size_t const last = m_vecStrings.size() - 1;
  for (size_t k = 0; k < last; ++k) {
    if (!writeUnits(m_vecStrings[k])) return UniString();
    if (!writeUnits(sep)) return UniString();
  }
  if (!writeUnits(m_vecStrings[last])) return UniString();

  int32_t const count = static_cast<int32_t>(stream->GetSize() / 2);
  if (count < 1) return UniString();
  // Copied out unit by unit so the byte buffer is never read through another type.
  std::unique_ptr<unsigned short[]> result(new (std::nothrow) unsigned short[count]);
  if (!result) return UniString();
  std::memcpy(result.get(), stream->GetBuffer(), static_cast<size_t>(count) * 2);
  return UniString(result.get(), count);
}
