// The variable-list text syntax of clsMultiVar: the reader (ParseVariables), the type inference
// that stores one item given as text (AddVar, SetVar, AddArrayVar, SetArrayVar) and the writer
// (GetVarsAsList). Items are "name=value" or a bare value, separated by ";" (optionally "," and
// line ends); quoted values are strings, digits are numbers, braces hold a nested collection,
// text over several lines is a list, a quoted name makes a literal variable entry.
// Relies on core/clsMultiVar.h and core/UniStringList.h. The reader stops at the first error and
// returns its text; items stored before it stay. Asked to, it skips a damaged item instead (with
// the rest of the line on which it began) and reads on. The writer does not fail.
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

namespace {

UniString Text(char const* utf8) { return UniString(utf8); }

// Each level of braces is read by a nested reader; deeper texts are refused before they can
// exhaust the stack.
int const kMaxBracesDepth = 100;

inline bool IsQuote(unsigned short u) { return u == '\'' || u == '"'; }
inline bool IsAsciiDigit(unsigned short u) { return u >= '0' && u <= '9'; }
inline unsigned short AsciiUpper(unsigned short u) {
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned short>(u - 'a' + 'A') : u;
}

// A number is digits with at most one point, optionally after a leading minus ("-" alone is
// not); +5, 1e3 and 1.2.3 are not numbers. pointCount tells integer (0) from float (1).
bool IsNumberText(UniString const& text, int* pointCount) {
  int const length = text.Length();
  if (length == 0) return false;
  unsigned short const first = text[1];
  if (!IsAsciiDigit(first) && first != '-' && first != '.') return false;
  if (length == 1 && first == '-') return false;
  int points = first == '.' ? 1 : 0;
  for (int i = 2; i <= length; ++i) {
    unsigned short const u = text[i];
    if (u == '.') {
      ++points;
    } else if (!IsAsciiDigit(u)) {
      return false;
    }
  }
  if (points > 1) return false;
  *pointCount = points;
  return true;
}

bool HoldsLineBreak(UniString const& text) {
  return text.Pos(static_cast<unsigned short>('\r')) > 0 ||
         text.Pos(static_cast<unsigned short>('\n')) > 0;
}

bool IsBracesGroup(UniString const& trimmed) {
  int const length = trimmed.Length();
  return length >= 2 && trimmed[1] == '{' && trimmed[length] == '}';
}

// The text between the braces of a group, trimmed.
UniString BracesInside(UniString const& trimmed) {
  return trimmed.Length() <= 2 ? UniString() : trimmed.SubString(2, trimmed.Length() - 2).Trim();
}

UniString NamedSuffix(UniString const& name) {
  return name.IsEmpty() ? Text(".") : Text(" named ") + name + Text(".");
}

// A quoted string for the writer: backslash first, then the double quote and ";", each written
// as a backslash and the character, the forms the reader decodes back to the character alone.
UniString QuoteForWriter(UniString const& text) {
  int const length = text.Length();
  std::vector<unsigned short> units;
  units.reserve(static_cast<size_t>(length) + 8);
  units.push_back('"');
  unsigned short const* source = text.GetBytes();
  for (int i = 0; i < length; ++i) {
    unsigned short const u = source[i];
    if (u == '\\' || u == '"' || u == ';') units.push_back('\\');
    units.push_back(u);
  }
  units.push_back('"');
  return UniString(units.data(), static_cast<int>(units.size()));
}

// The lookup key of a name: as GetVar compares it (trimmed where asked, ASCII upper-cased, up to
// the first zero unit).
std::u16string KeyOf(UniString const& name) {
  std::u16string key;
  int const length = name.Length();
  unsigned short const* units = name.GetBytes();
  key.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length && units[i] != 0; ++i) key.push_back(static_cast<char16_t>(AsciiUpper(units[i])));
  return key;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The reader: one pass over the lines as a small state machine.

class clsMultiVar::clsVarParser {
 public:
  clsVarParser(clsMultiVar& target, UniStringList const& lines, bool uniqueNames,
               bool commaDelimits, bool lineEndDelimits)
      : m_udtTarget(target),
        m_ulstLines(lines),
        m_bolUniqueNames(uniqueNames),
        m_bolCommaDelimits(commaDelimits),
        m_bolLineEndDelimits(lineEndDelimits) {}

  // Reads the lines; the first error ends the reading and is returned. With a damage list, an
  // item that cannot be read ends only itself: its error goes to the list, with the line on which
  // the item began, and reading goes on at the next line.
  UniString Run(UniStringList* damaged);

 private:
  enum enumState {
    kItemStart,
    kSkipBlanks,
    kToken,
    kValueStart,
    kOpenQuote,
    kValue,
    kCloseQuote,
    kBraces,
    kAfterValue
  };

  UniString ReadItems();
  // Goes on at the line after the one on which the failed item began.
  void ResumeAfterItemLine();
  void ReadNext();
  bool IsDelimiter(unsigned short u) const { return u == ';' || (m_bolCommaDelimits && u == ','); }
  bool EndsItem() const {
    return IsDelimiter(m_uniChar) || m_bolEndOfInput || (m_bolEndOfLine && m_bolLineEndDelimits);
  }
  UniString ValueText() const {
    return UniString(m_vecValue.data(), static_cast<int>(m_vecValue.size()));
  }
  UniString CheckName(UniString const& name) const;
  UniString StoreItem();
  void SkipBlanksThen(enumState next) {
    m_intSavedState = next;
    m_intState = kSkipBlanks;
    ReadNext();
  }

  clsMultiVar& m_udtTarget;
  UniStringList const& m_ulstLines;
  bool const m_bolUniqueNames;
  bool const m_bolCommaDelimits;
  bool const m_bolLineEndDelimits;

  // The current line, trimmed and closed by one blank, and the reading position in it.
  std::vector<unsigned short> m_vecLine;
  unsigned int m_ulngNextLine = 0;
  size_t m_lngPos = 1;  // 1-based position of the next character to read
  unsigned short m_uniChar = 0;
  bool m_bolEndOfLine = false;
  bool m_bolEndOfInput = false;
  unsigned int m_ulngItemLine = 0;  // index of the line on which the current item began

  enumState m_intState = kItemStart;
  enumState m_intSavedState = kItemStart;
  // Characters are gathered in growable buffers and turned into strings only when needed; the
  // result is the same as gathering in fixed blocks, without re-copying long texts.
  std::vector<unsigned short> m_vecToken;
  std::vector<unsigned short> m_vecValue;
  UniString m_ustrName;
  unsigned short m_uniQuote = 0;
  bool m_bolEscape = false;
  int m_intDepth = 0;

  // Names already in the collection, by lookup key, when duplicates are refused: a linear
  // lookup per item would make long preference files quadratic.
  std::unordered_set<std::u16string> m_setNames;
};

void clsMultiVar::clsVarParser::ReadNext() {
  if (m_lngPos > m_vecLine.size()) {
    if (m_ulngNextLine >= m_ulstLines.Count()) {
      m_bolEndOfInput = true;
      m_vecLine.clear();
    } else {
      UniString const line = m_ulstLines.At(m_ulngNextLine++).Trim();
      m_vecLine.assign(line.GetBytes(), line.GetBytes() + line.Length());
      m_vecLine.push_back(' ');
      m_lngPos = 1;
      if (m_intState == kValue) m_vecValue.push_back('\r');
    }
  }
  if (m_lngPos <= m_vecLine.size()) {
    m_uniChar = m_vecLine[m_lngPos - 1];
    ++m_lngPos;
    m_bolEndOfLine = m_lngPos > m_vecLine.size();
  }
}

UniString clsMultiVar::clsVarParser::CheckName(UniString const& name) const {
  UniString error = m_udtTarget.CheckVarName(name, false);
  if (error.IsNotEmpty() || !m_bolUniqueNames) return error;
  std::u16string const key = KeyOf(name.Trim().UpperCase());
  if (!key.empty() && m_setNames.count(key) != 0) return Text("Duplicate Variable Name: ") + name;
  return UniString();
}

UniString clsMultiVar::clsVarParser::StoreItem() {
  UniString const value = ValueText();
  size_t const before = m_udtTarget.m_lstVars.size();
  UniString error;
  if (m_ustrName.IsEmpty()) {
    error = m_udtTarget.AddVar(UniString(), value, false);
  } else if (m_bolUniqueNames) {
    error = m_udtTarget.AddVar(m_ustrName, value, true);
  } else {
    error = m_udtTarget.SetVar(m_ustrName, value);
  }
  if (m_bolUniqueNames && m_udtTarget.m_lstVars.size() > before) {
    m_setNames.insert(KeyOf(m_udtTarget.m_lstVars.back().GetName()));
  }
  return error;
}

UniString clsMultiVar::clsVarParser::Run(UniStringList* damaged) {
  if (m_bolUniqueNames) {
    for (clsSingleVar const& entry : m_udtTarget.m_lstVars) m_setNames.insert(KeyOf(entry.GetName()));
  }
  ReadNext();
  UniString first;
  for (;;) {
    UniString const error = ReadItems();
    if (error.IsEmpty() || damaged == nullptr) return first.IsEmpty() ? error : first;
    if (first.IsEmpty()) first = error;
    damaged->Add(Text("Line ") + UniString(static_cast<int32_t>(m_ulngItemLine + 1)) + Text(": ") + error);
    ResumeAfterItemLine();
  }
}

void clsMultiVar::clsVarParser::ResumeAfterItemLine() {
  m_ulngNextLine = m_ulngItemLine + 1;
  m_vecLine.clear();
  m_lngPos = 1;
  m_bolEndOfLine = false;
  m_bolEndOfInput = false;
  m_intState = kItemStart;
  ReadNext();
}

UniString clsMultiVar::clsVarParser::ReadItems() {
  for (;;) {
    switch (m_intState) {
      case kItemStart:
        if (m_bolEndOfInput) return UniString();
        m_ulngItemLine = m_ulngNextLine - 1;
        m_ustrName = UniString();
        m_vecToken.clear();
        m_vecValue.clear();
        m_uniQuote = 0;
        m_bolEscape = false;
        if (m_uniChar == '{') {
          m_intDepth = 0;
          m_intState = kBraces;
        } else if (IsQuote(m_uniChar)) {
          m_intState = kOpenQuote;
        } else {
          m_intState = kToken;
        }
        break;

      case kSkipBlanks:
        if ((m_uniChar != ' ' && m_uniChar != '\t') || m_bolEndOfInput ||
            (m_bolEndOfLine && m_bolLineEndDelimits)) {
          m_intState = m_intSavedState;
        } else {
          ReadNext();
        }
        break;

      case kToken:
        if (EndsItem()) {
          m_vecValue = m_vecToken;
          m_ustrName = UniString();
          m_intState = kAfterValue;
        } else if (m_uniChar == '=') {
          m_ustrName = UniString(m_vecToken.data(), static_cast<int>(m_vecToken.size())).Trim();
          UniString error = CheckName(m_ustrName);
          if (error.IsNotEmpty()) return error;
          m_intState = kValueStart;
          ReadNext();
        } else {
          m_vecToken.push_back(m_uniChar);
          ReadNext();
        }
        break;

      case kValueStart:
        m_vecValue.clear();
        m_uniQuote = 0;
        m_bolEscape = false;  // an escape left pending by the previous value ends with it
        if (EndsItem()) {
          m_intState = kAfterValue;
        } else if (m_uniChar == '{') {
          m_intDepth = 0;
          m_intState = kBraces;
        } else if (IsQuote(m_uniChar)) {
          m_intState = kOpenQuote;
        } else {
          m_intState = kValue;
        }
        break;

      case kOpenQuote:
        m_vecValue.push_back(m_uniChar);
        m_uniQuote = m_uniChar;
        m_intState = kValue;
        ReadNext();
        break;

      case kValue: {
        bool const delimiter = IsDelimiter(m_uniChar);
        if ((delimiter && !m_bolEscape) || m_bolEndOfInput ||
            (m_bolEndOfLine && m_bolLineEndDelimits)) {
          if (m_uniQuote == 0) {
            m_intState = kAfterValue;
            break;
          }
          if (m_ustrName.IsNotEmpty()) {
            return Text("Ending Quote not Found for Variable named ") + m_ustrName + Text(".");
          }
          return Text("Ending Quote not Found for Unnamed Variable ") + ValueText() + Text(".");
        }
        if (m_uniQuote != 0 && m_uniChar == m_uniQuote && !m_bolEscape) {
          m_intState = kCloseQuote;
          break;
        }
        if (m_bolEscape) {
          if (IsQuote(m_uniChar) || m_uniChar == '\\' || delimiter) {
            m_vecValue.push_back(m_uniChar);
          } else {
            m_vecValue.push_back('\\');
            m_vecValue.push_back(m_uniChar);
          }
          m_bolEscape = false;
        } else if (m_uniChar == '\\') {
          m_bolEscape = true;
        } else {
          m_vecValue.push_back(m_uniChar);
        }
        ReadNext();
        break;
      }

      case kCloseQuote:
        m_vecValue.push_back(m_uniChar);
        SkipBlanksThen(kAfterValue);
        break;

      case kBraces:
        if (m_bolEndOfInput) {
          UniString const fixed = Text(
              "The number of closing Curly Brackets does not Match the number of opening Curly "
              "Brackets for ");
          if (m_ustrName.IsNotEmpty()) return fixed + Text("Variable named ") + m_ustrName + Text(".");
          return fixed + Text("Unnamed Variable ") + ValueText() + Text(".");
        }
        if (m_uniChar == '{') {
          if (++m_intDepth > kMaxBracesDepth) {
            UniString const fixed = Text("The Curly Brackets are nested too deeply for ");
            if (m_ustrName.IsNotEmpty()) return fixed + Text("Variable named ") + m_ustrName + Text(".");
            return fixed + Text("Unnamed Variable ") + ValueText() + Text(".");
          }
        } else if (m_uniChar == '}') {
          --m_intDepth;
        }
        m_vecValue.push_back(m_uniChar);
        if (m_intDepth == 0) {
          SkipBlanksThen(kAfterValue);
        } else {
          ReadNext();
        }
        break;

      case kAfterValue:
        if (EndsItem()) {
          UniString error = StoreItem();
          if (error.IsNotEmpty()) return error;
          if (m_bolEndOfInput) return UniString();
          SkipBlanksThen(kItemStart);
        } else if (m_uniChar == '=') {
          if (m_ustrName.IsNotEmpty()) {
            return Text("Unexpected Equals after the Value for the Variable named ") + m_ustrName +
                   Text(".");
          }
          // A quoted text or a braces group stood where a name goes.
          m_ustrName = ValueText();
          m_vecValue.clear();
          m_intState = kValueStart;
          ReadNext();
        } else if (m_ustrName.IsNotEmpty()) {
          return Text("Expected a Semicolon after the Value for the Variable named ") + m_ustrName +
                 Text(".");
        } else {
          return Text("Expected a Delimiter after the Value ") + ValueText() + Text(".");
        }
        break;
    }
  }
}

UniString clsMultiVar::ParseVariables(UniStringList* lines, bool bolUniqueNames,
                                      bool bolCommaDelimits, bool bolLineEndDelimits) {
  return ParseVariables(lines, bolUniqueNames, bolCommaDelimits, bolLineEndDelimits, nullptr);
}

UniString clsMultiVar::ParseVariables(UniStringList* lines, bool bolUniqueNames,
                                      bool bolCommaDelimits, bool bolLineEndDelimits,
                                      UniStringList* damaged) {
  clsFuncDebug trace(UniString("clsMultiVar::ParseVariables"));
  if (damaged != nullptr) damaged->Clear();
  if (lines == nullptr || lines->IsEmpty()) return UniString();
  try {
    clsVarParser parser(*this, *lines, bolUniqueNames, bolCommaDelimits, bolLineEndDelimits);
    return parser.Run(damaged);
  } catch (std::bad_alloc const&) {
    return Text("Could not allocate memory for Variables.");
  }
}

UniString clsMultiVar::ParseVariables(UniString text, bool bolUniqueNames, bool bolCommaDelimits,
                                      bool bolLineEndDelimits) {
  std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList());
  if (!lines || lines->Add(text) < 0) return Text("Could not allocate memory for Variables.");
  return ParseVariables(lines.get(), bolUniqueNames, bolCommaDelimits, bolLineEndDelimits);
}

// ---------------------------------------------------------------------------------------------
// Type inference of one item

namespace {

// What AddVar and SetVar make of an item's value text.
enum enumInferredKind {
  kInferQuoted,    // a quoted string, kept with its quotes for the string setter to strip
  kInferArray,     // a braced group
  kInferFloat,     // a number with one decimal point
  kInferInteger,   // a number without one
  kInferList,      // text holding a line break
  kInferText,      // anything else: a string of the untrimmed value
  kInferUnclosed,  // a quote or brace that is not closed; the error names the item
};

// The kind of a trimmed, non-empty value text.
enumInferredKind InferKind(UniString const& trimmedName, UniString const& trimmedValue,
                           UniString* error) {
  int const length = trimmedValue.Length();
  unsigned short const first = trimmedValue[1];
  if (IsQuote(first)) {
    if (trimmedValue[length] == first) return kInferQuoted;
    *error = Text("Ending Quote Not Found or Not Matched for String Variable named ") +
             trimmedName + Text(".");
    return kInferUnclosed;
  }
  if (first == '{') {
    if (trimmedValue[length] == '}') return kInferArray;
    *error =
        Text("Closing Curly Bracket Not Found for Array Variable named ") + trimmedName + Text(".");
    return kInferUnclosed;
  }
  int points = 0;
  if (IsNumberText(trimmedValue, &points)) return points == 1 ? kInferFloat : kInferInteger;
  if (HoldsLineBreak(trimmedValue)) return kInferList;
  return kInferText;
}

}  // namespace

UniString clsMultiVar::AddVar(UniString name, UniString value, bool skipCheck) {
  UniString const trimmedName = name.Trim();
  UniString const trimmedValue = value.Trim();
  if (trimmedName.IsEmpty() && trimmedValue.IsEmpty()) return AddStringVar(UniString(), UniString(), true);
  if (trimmedName.IsNotEmpty() && IsQuote(trimmedName[1])) return AddVariableVar(trimmedName, trimmedValue);
  if (trimmedName.IsNotEmpty() && trimmedValue.IsEmpty()) {
    return AddStringVar(trimmedName, UniString(), skipCheck);
  }
  if (!skipCheck) {
    UniString error = CheckVarName(trimmedName, false);
    if (error.IsNotEmpty()) return error;
  }
  UniString error;
  switch (InferKind(trimmedName, trimmedValue, &error)) {
    case kInferQuoted: return AddStringVar(trimmedName, trimmedValue, true);
    case kInferArray: return AddArrayVar(trimmedName, trimmedValue, true);
    case kInferFloat: return AddFloatVar(trimmedName, trimmedValue, true);
    case kInferInteger: return AddIntegerVar(trimmedName, trimmedValue, true);
    case kInferList: return AddListVar(trimmedName, trimmedValue, true);
    case kInferText: return AddStringVar(trimmedName, value, true);
    case kInferUnclosed: break;
  }
  return error;
}

UniString clsMultiVar::SetVar(UniString name, UniString value) {
  UniString const trimmedName = name.Trim();
  if (trimmedName.IsEmpty()) return Text("Variable Name was blank.");
  UniString const trimmedValue = value.Trim();
  if (trimmedValue.IsEmpty()) {
    // Nothing is created; an existing entry loses its value but keeps its type.
    iterator it = FindKey(trimmedName.UpperCase());
    if (it != m_lstVars.end()) {
      enumPluginVarType const type = it->GetType();
      it->Clear(false);
      it->m_intType = type;
    }
    return UniString();
  }
  if (IsQuote(trimmedName[1])) return SetVariableVar(trimmedName, trimmedValue);
  UniString error;
  switch (InferKind(trimmedName, trimmedValue, &error)) {
    case kInferQuoted: return SetStringVar(trimmedName, trimmedValue);
    case kInferArray: return SetArrayVar(trimmedName, trimmedValue);
    case kInferFloat: return SetFloatVar(trimmedName, trimmedValue);
    case kInferInteger: return SetIntegerVar(trimmedName, trimmedValue);
    case kInferList: return SetListVar(trimmedName, trimmedValue);
    case kInferText: return SetStringVar(trimmedName, value);
    case kInferUnclosed: break;
  }
  return error;
}

UniString clsMultiVar::AddArrayVar(UniString name, UniString text, bool skipCheck) {
  UniString const trimmedName = name.Trim();
  UniString const trimmedText = text.Trim();
  if (!skipCheck && trimmedName.IsNotEmpty()) {
    UniString error = CheckVarName(trimmedName, false);
    if (error.IsNotEmpty()) return error;
  }
  if (trimmedText.IsEmpty()) {
    clsSingleVar value;
    value.m_ustrName = trimmedName;
    value.m_intType = kVarTypeArray;
    if (!Append(value)) return Text("Could not allocate memory for Array Variable") + NamedSuffix(trimmedName);
    return UniString();
  }
  if (!IsBracesGroup(trimmedText)) {
    return Text("Start and End Curly Brackets not found for Array Variable") + NamedSuffix(trimmedName);
  }
  UniString const inside = BracesInside(trimmedText);
  if (inside.IsEmpty()) return UniString();
  clsMultiVar* array = new (std::nothrow) clsMultiVar();
  if (array == nullptr) return Text("Could not allocate memory for Array Variable") + NamedSuffix(trimmedName);
  UniString error = array->ParseVariables(inside, false, false, false);
  if (error.IsNotEmpty()) {
    delete array;
    return error;
  }
  return AppendArray(trimmedName, array,
                     Text("Could not allocate memory for Array Variable") + NamedSuffix(trimmedName));
}

UniString clsMultiVar::SetArrayVar(UniString name, UniString text) {
  UniString const trimmedName = name.Trim();
  if (trimmedName.IsEmpty()) return Text("Variable Name was blank.");
  UniString const trimmedText = text.Trim();
  if (trimmedText.IsNotEmpty() && !IsBracesGroup(trimmedText)) {
    return Text("Start and End Curly Brackets not found for Array Variable named ") + trimmedName +
           Text(".");
  }
  UniString const inside = BracesInside(trimmedText);
  UniString const noMemory =
      Text("Could not allocate memory for Array Variable named ") + trimmedName + Text(".");

  iterator it = FindKey(trimmedName.UpperCase());
  if (it != m_lstVars.end()) {
    if (it->m_intType != kVarTypeArray) it->Clear(true);
    if (it->m_ptrArray != nullptr) {
      it->m_ptrArray->Clear();
    } else {
      it->m_ptrArray = new (std::nothrow) clsMultiVar();
      if (it->m_ptrArray == nullptr) return noMemory;
    }
    it->m_intType = kVarTypeArray;
    it->m_ustrName = trimmedName;
    if (inside.IsEmpty()) return UniString();
    return it->m_ptrArray->ParseVariables(inside, false, false, false);
  }

  clsMultiVar* array = new (std::nothrow) clsMultiVar();
  if (array == nullptr) return noMemory;
  if (inside.IsNotEmpty()) {
    UniString error = array->ParseVariables(inside, false, false, false);
    if (error.IsNotEmpty()) {
      delete array;
      return error;
    }
  }
  return AppendArray(trimmedName, array, noMemory);
}

UniString clsMultiVar::AppendArray(UniString const& trimmedName, clsMultiVar* array,
                                   UniString const& noMemory) {
  clsSingleVar value;
  value.m_ustrName = trimmedName;
  value.m_intType = kVarTypeArray;
  value.m_ptrArray = array;
  if (!AppendHandOver(value)) {
    delete array;
    return noMemory;
  }
  return UniString();
}

// ---------------------------------------------------------------------------------------------
// The writer

void clsMultiVar::GetVarsAsList(UniStringList* lines, bool quoteStrings, bool skipLists) const {
  clsFuncDebug trace(UniString("clsMultiVar::GetVarsAsList"));
  if (lines == nullptr) return;
  lines->Clear();
  UniString const equals("=");
  for (clsSingleVar const& entry : m_lstVars) {
    if (skipLists && entry.m_intType == kVarTypeList) continue;
    UniString line;
    if (entry.m_ustrName.IsNotEmpty()) line = entry.m_ustrName + equals;
    if (entry.m_intType == kVarTypeString) {
      line += quoteStrings ? QuoteForWriter(entry.m_ustrValue) : entry.m_ustrValue;
    } else {
      line += entry.GetValue_AsString();
    }
    lines->Add(line);
  }
}
