// clsRegEx: wide-character regular expressions over Boost.Regex (see clsRegEx.h).
#include "mime/clsRegEx.h"

#include <exception>
#include <new>

namespace {

boost::regex_constants::syntax_option_type SyntaxOptions(enumRegExSyntax syntax) {
  switch (syntax) {
    case kRegExExtended:
      return boost::regex_constants::extended;
    case kRegExEgrep:
      return boost::regex_constants::egrep;
    case kRegExAwk:
      return boost::regex_constants::awk;
    case kRegExBasic:
      return boost::regex_constants::basic;
    case kRegExGrep:
      return boost::regex_constants::grep;
    case kRegExEmacs:
      return boost::regex_constants::emacs;
    default:
      return boost::regex_constants::normal;
  }
}

// The text as a wide string of its full length (inner zero units kept); false when the wide
// array cannot be made.
bool ToWide(UniString const& text, std::wstring* wide) {
  wchar_t* array = text.GetWCStr();
  if (array == nullptr) return false;
  wide->assign(array, static_cast<size_t>(text.Length()));
  delete[] array;
  return true;
}

// The library's messages are narrow; a byte that is not UTF-8 is read as Latin-1.
UniString LibraryMessage(std::exception const& e) { return UniString(e.what(), 101); }

}  // namespace

clsRegEx::clsRegEx() : m_ulstSubMatches(nullptr), m_intSyntax(kRegExNormal) {}

clsRegEx::~clsRegEx() { delete m_ulstSubMatches; }

bool clsRegEx::SetExpression(UniString expression, enumRegExSyntax syntax, bool ignoreCase) {
  m_ustrError = UniString();
  // Whatever happens below, an earlier expression is no longer the one in force.
  m_rgxExpression = typRegEx();
  m_wstrExpression.clear();
  if (expression.IsEmpty()) {
    m_ustrError = UniString("The Regular Expression cannot be empty.");
    return false;
  }
  std::wstring wide;
  if (!ToWide(expression, &wide)) {
    m_ustrError = UniString("Could not get a Wide Character array from the Regular Expression!");
    return false;
  }
  m_wstrExpression = wide;
  m_intSyntax = syntax;
  boost::regex_constants::syntax_option_type options = SyntaxOptions(syntax);
  if (ignoreCase) options |= boost::regex_constants::icase;
  try {
    m_rgxExpression.assign(m_wstrExpression, options);
  } catch (std::exception const& e) {
    m_ustrError = UniString("Could not compile regular expression: ") + LibraryMessage(e);
  } catch (...) {
    m_ustrError = UniString("Could not compile Regular Expression: Unknown Error");
  }
  if (m_ustrError.IsNotEmpty()) m_rgxExpression = typRegEx();
  return m_ustrError.IsEmpty();
}

bool clsRegEx::Match(UniString text) {
  m_ustrError = UniString();
  // Results of an earlier match never outlive a later attempt.
  if (m_ulstSubMatches != nullptr) m_ulstSubMatches->Clear();
  if (m_rgxExpression.empty()) {
    m_ustrError = UniString("You must specify a Regular Expression first.");
    return false;
  }
  if (text.IsEmpty()) {
    m_ustrError = UniString("The Match string is empty.");
    return false;
  }
  if (!ToWide(text, &m_wstrMatchText)) {
    m_wstrMatchText.clear();
    m_ustrError = UniString("Could not get a Wide Character array from the Match string!");
    return false;
  }
  bool matched = false;
  try {
    matched = boost::regex_match(m_wstrMatchText.cbegin(), m_wstrMatchText.cend(), m_mtcResults,
                                 m_rgxExpression);
  } catch (std::exception const& e) {
    m_ustrError = UniString("Could not Match Regular Expression: ") + LibraryMessage(e);
    return false;
  } catch (...) {
    m_ustrError = UniString("Could not Match Regular Expression: Unknown Error");
    return false;
  }
  if (!matched) {
    m_ustrError = UniString("Could not Match string to Regular Expression.");
    return false;
  }
  if (m_ulstSubMatches == nullptr) {
    m_ulstSubMatches = new (std::nothrow) UniStringList();
    if (m_ulstSubMatches == nullptr) {
      m_ustrError = UniString("Could not allocate memory for results.");
      return false;
    }
  }
  for (size_t i = 0; i < m_mtcResults.size(); ++i) {
    UniString entry;
    if (m_mtcResults[i].matched && m_mtcResults[i].length() > 0) {
      std::wstring const part = m_mtcResults[i].str();
      entry.Assign(part.data(), static_cast<int>(part.size()));
    }
    m_ulstSubMatches->Add(entry);
  }
  return true;
}

UniString clsRegEx::GetResult(unsigned int index) const {
  if (m_ulstSubMatches == nullptr || index >= m_ulstSubMatches->Count()) return UniString();
  return m_ulstSubMatches->At(index);
}
