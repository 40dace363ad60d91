// TStringList and InternalStringListClass (see TStringList.h).
// A plain vector of AnsiString; besides int 1 for a bad Strings index, only the vector's own
// allocation failure can leave Add.
#include "core/TStringList.h"

#include <new>
#include <string>

InternalStringListClass::InternalStringListClass() : m_pvecLines(nullptr) {}

AnsiString& InternalStringListClass::operator[](unsigned int i) {
  if (!m_pvecLines || i >= m_pvecLines->size()) throw int(1);
  return (*m_pvecLines)[i];
}

AnsiString const& InternalStringListClass::operator[](unsigned int i) const {
  if (!m_pvecLines || i >= m_pvecLines->size()) throw int(1);
  return (*m_pvecLines)[i];
}

TStringList::TStringList() { Strings.m_pvecLines = &m_vecLines; }

TStringList::TStringList(TStringList const& other) : m_vecLines(other.m_vecLines) {
  Strings.m_pvecLines = &m_vecLines;
}

TStringList& TStringList::operator=(TStringList const& other) {
  // Only the lines are copied: Strings keeps pointing at this list's own vector.
  if (this != &other) m_vecLines = other.m_vecLines;
  return *this;
}

TStringList::~TStringList() = default;

int TStringList::Add(AnsiString line) {
  m_vecLines.push_back(std::move(line));
  return int(m_vecLines.size()) - 1;
}

int TStringList::Count() const { return int(m_vecLines.size()); }

void TStringList::Clear() { m_vecLines.clear(); }

AnsiString TStringList::Text(AnsiString separator) const {
  if (m_vecLines.empty()) return AnsiString();
  // Built in one buffer: appending line by line would copy the text once per line.
  std::string joined;
  try {
    for (size_t i = 0; i < m_vecLines.size(); ++i) {
      if (i > 0) joined.append(separator.c_str(), size_t(separator.Length()));
      joined.append(m_vecLines[i].c_str(), size_t(m_vecLines[i].Length()));
    }
  } catch (std::bad_alloc const&) {
    return AnsiString();
  }
  if (joined.size() > size_t(INT32_MAX - 2)) return AnsiString();
  return AnsiString(joined.data(), int(joined.size()));
}

int TStringList::IndexOf(AnsiString text, bool caseSensitive) const {
  AnsiString sought = caseSensitive ? text : text.UpperCase();
  for (size_t i = 0; i < m_vecLines.size(); ++i) {
    bool equal = caseSensitive ? m_vecLines[i] == sought : m_vecLines[i].UpperCase() == sought;
    if (equal) return int(i);
  }
  return -1;
}

void TStringList::Assign(TStringList const* other) {
  if (!other || other->m_vecLines.empty()) {
    Clear();
    return;
  }
  if (other != this) m_vecLines = other->m_vecLines;
}
