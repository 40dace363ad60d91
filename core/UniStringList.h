// UniStringList: an ordered, owning list of UniString values, indexed from 0.
// Interface: plain list operations (Add, Insert, Delete, At, IterAt, Assign, AddStrings), name=value
// lookups (IndexOf, IndexOfName, IndexOfValue, Values), splitting one text into items (BreakApart),
// appending a multi-line text line by line (AddText), the joined text form (Text, TextSize), and
// text files and streams with a byte-order mark, an encoding and a line ending (SaveToStream,
// SaveToFile, LoadFromStream, LoadFromFile; core/UniStringListFiles.cpp).
// Relies on core/UniString.h for the strings, on files/XMemoryStream.h for building Text, and on
// files/XFileStream.h and files/XFileSpec.h for the text files.
// Failures: a bad index into At or IterAt throws a bare int 1; lookups answer -1 for "not found";
// nothing else throws, and a failed allocation leaves the list holding what it held at that moment.
// The file and stream operations report failure only through the error text they return.
#pragma once

#include <cstdint>
#include <vector>

#include "core/UniString.h"

class XStream;
class XFileSpec;

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

  // Text streams and files. Each returns an error text, empty on success.
  // Writes the strings from the stream's position: an optional mark (EF BB BF for encoding 1,
  // FE FF for encoding 0), then each string with the line end, the last one without. A list
  // with no strings writes nothing.
  UniString SaveToStream(XStream* stream, int encoding, bool writeMark,
                         enumLineEndingType ending) const;
  // Replaces the file with one holding SaveToStream's bytes, made beside it and put in its
  // place whole (a failed save leaves the old file as it was); a new file gets creator and file
  // type (0 leaves them unset), a replaced one keeps its own. permissions, when 0 or more, is
  // the new file's mode (0600 for a private file); -1 keeps the old file's. A list with no
  // strings touches no file; a path naming a folder is refused.
  UniString SaveToFile(XFileSpec& file, uint32_t creator, uint32_t fileType, int encoding,
                       bool writeMark, enumLineEndingType ending,
                       int32_t permissions = -1) const;
  // Replaces the list with the stream's lines (any line end). useGiven reads in the given
  // encoding and byte order; otherwise a mark or a UTF-16 pattern in the first bytes decides
  // and the given ones are the fallback. Lines read before an error stay in the list.
  UniString LoadFromStream(XStream* stream, bool useGiven, bool littleEndian, int encoding);
  // Loads the file's data fork, sniffing the mark; encoding is the fallback without one.
  UniString LoadFromFile(XFileSpec& file, int encoding);

 private:
  std::vector<UniString> m_vecStrings;
};
