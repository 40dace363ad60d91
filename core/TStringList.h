// TStringList: an ordered list of AnsiString lines (server replies, transcripts, header and
// body lines). Lines are indexed from 0. Strings gives indexed access to the same lines:
// Strings[i] is line i, and a bad index throws int 1.
// Relies on AnsiString. Copies are deep and their Strings points at their own lines.
#pragma once

#include <vector>

#include "core/AnsiString.h"

class TStringList;

// Indexed view onto a line vector owned by a TStringList.
class InternalStringListClass {
 public:
  InternalStringListClass();
  // Line i; throws int 1 when no vector is attached or i is not below the line count.
  AnsiString& operator[](unsigned int i);
  AnsiString const& operator[](unsigned int i) const;

 private:
  friend class TStringList;
  std::vector<AnsiString>* m_pvecLines;
};

class TStringList {
 public:
  TStringList();
  TStringList(TStringList const& other);
  TStringList& operator=(TStringList const& other);
  ~TStringList();

  // Appends a copy of line; returns its index.
  int Add(AnsiString line);
  int Count() const;
  void Clear();
  // The lines joined with separator between two lines (not after the last).
  AnsiString Text(AnsiString separator) const;
  // Index of the first line equal to text (ASCII case folded unless caseSensitive), or -1.
  int IndexOf(AnsiString text, bool caseSensitive) const;
  // This list's lines become copies of other's; a null or empty other clears this list.
  void Assign(TStringList const* other);

 private:
  std::vector<AnsiString> m_vecLines;

 public:
  InternalStringListClass Strings;
};
