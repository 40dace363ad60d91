// UniStringList: an ordered, owning list of UniString values, indexed from 0.
// Interface: plain list operations (Add, Insert, Delete, At, IterAt, Assign, AddStrings), name=value
// lookups (IndexOf, IndexOfName, IndexOfValue, Values), splitting one text into items (BreakApart),
// appending a multi-line text line by line (AddText), and the joined text form (Text, TextSize).
// Relies on core/UniString.h for the strings and on files/XMemoryStream.h for building Text.
// Failures: a bad index into At or IterAt throws a bare int 1; lookups answer -1 for "not found";
// nothing else throws, and a failed allocation leaves the list holding what it held at that moment.
#pragma once

#include <cstdint>
#include <vector>

#include "core/UniString.h"

// Line ending of the text forms: joined-text separator, and the line end written to streams.
// When reading, 0 accepts any of CR, LF and CR LF.
enum enumLineEndingType : int32_t {
  kLineEndingNone = 0,
  kLineEndingCR = 1,
  kLineEndingLF = 2,
  kLineEndingCRLF = 3
};

// Trimming applied to every item that BreakApart makes.
enum enumBreakApartTrimLineType : int32_t {
  kBreakApartTrimNone = 0,
  kBreakApartTrimBoth = 1,
  kBreakApartTrimLeft = 2,
  kBreakApartTrimRight = 3
};

class UniStringList {
 public:
  using iterator = std::vector<UniString>::iterator;
  using const_iterator = std::vector<UniString>::const_iterator;

  UniStringList() = default;
  ~UniStringList() = default;
  UniStringList(UniStringList const&) = default;
  UniStringList& operator=(UniStringList const&) = default;

  iterator begin() { return m_vecStrings.begin(); }
  iterator end() { return m_vecStrings.end(); }
  const_iterator begin() const { return m_vecStrings.begin(); }
  const_iterator end() const { return m_vecStrings.end(); }

  unsigned int Count() const { return static_cast<unsigned int>(m_vecStrings.size()); }
  // True for no strings, and also for exactly one empty string.
  bool IsEmpty() const;
  bool IsNotEmpty() const { return !IsEmpty(); }
  void Clear();

  int Add(UniString const& s);
  void Insert(unsigned int i, UniString const& s);
  void Delete(unsigned int i);
  iterator Delete(iterator it);
  UniString At(unsigned int i) const;
  iterator IterAt(unsigned int i);
  void Assign(UniStringList const* other);
  void AddStrings(UniStringList const* other);

  // Lookups: caseSensitive true compares exactly, false compares the ASCII upper-case forms.
  int IndexOf(UniString const& text, bool caseSensitive) const;
  int IndexOfName(UniString const& name, unsigned short delimiter, bool caseSensitive) const;
  int IndexOfValue(UniString const& value, unsigned short delimiter, bool caseSensitive) const;
  UniString Values(UniString const& name, unsigned short delimiter, bool caseSensitive) const;

  void BreakApart(UniString text, unsigned short delimiter, bool quotes,
                  enumBreakApartTrimLineType trim);
  void BreakApart(UniString text, UniString delimiter, bool quotes,
                  enumBreakApartTrimLineType trim);
  void AddText(UniString text);

  // Joined text: length in UTF-16 units, and the text itself. A non-empty separator wins over
  // the ending's separator.
  uint32_t TextSize(enumLineEndingType ending) const;
  UniString Text(enumLineEndingType ending, UniString const& separator = UniString()) const;

 private:
  std::vector<UniString> m_vecStrings;
};
