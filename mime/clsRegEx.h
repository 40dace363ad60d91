// clsRegEx: wide-character regular expressions for the address checks, over Boost.Regex.
// Interface: SetExpression compiles an expression in one of the grammars of enumRegExSyntax
// (optionally ignoring case); Match tests a whole text against it and keeps every sub-match as
// text (GetResult, 0 being the whole match); ErrorString tells why the last operation failed.
// Relies on Boost.Regex (basic_regex over wchar_t with cpp_regex_traits, regex_match) and on
// core/UniString.h and core/UniStringList.h. Character classes follow the expression's locale,
// the process's global C++ locale; nothing here changes it.
// Never throws: every failure, including the library's own exceptions (a bad expression, a
// match too costly to finish), is a false result and an English error text.
#pragma once

#include <cstdint>
#include <string>

#include <boost/regex.hpp>

#include "core/UniString.h"
#include "core/UniStringList.h"

// The grammar of an expression; any other value is read as the library's normal syntax.
enum enumRegExSyntax : int32_t {
  kRegExNormal = 0,
  kRegExExtended = 1,
  kRegExEgrep = 2,
  kRegExAwk = 3,
  kRegExBasic = 4,
  kRegExGrep = 5,
  kRegExEmacs = 6
};

class clsRegEx {
 public:
  clsRegEx();
  ~clsRegEx();
  clsRegEx(clsRegEx const&) = delete;
  clsRegEx& operator=(clsRegEx const&) = delete;

  // Compiles the expression; true when it can be used. A failed call leaves no expression.
  bool SetExpression(UniString expression, enumRegExSyntax syntax, bool ignoreCase);
  // True when the whole text matches; the sub-matches are then readable through GetResult.
  bool Match(UniString text);
  // Sub-match index of the last successful match (a group that took no part gives an empty
  // text); an empty text before any match or past the end of the list.
  UniString GetResult(unsigned int index) const;
  UniString ErrorString() const { return m_ustrError; }

 private:
  typedef boost::basic_regex<wchar_t, boost::cpp_regex_traits<wchar_t>> typRegEx;

  typRegEx m_rgxExpression;
  // Points into m_wstrMatchText, which is kept for that reason.
  boost::match_results<std::wstring::const_iterator> m_mtcResults;
  std::wstring m_wstrExpression;
  std::wstring m_wstrMatchText;
  UniStringList* m_ulstSubMatches;
  UniString m_ustrError;
  enumRegExSyntax m_intSyntax;
};
