// HostCallParser: a small recursive-descent reader over the bytes of one call. The pilcrow is
// the two UTF-8 bytes C2 B6.
#include "host/HostCallParser.h"

#include <cctype>
#include <cstdlib>

namespace {

char const kPilcrow[] = "\xC2\xB6";
char const kParameterKinds[] = "a text, a number, True, False, Container( file ), Table::Field or a $variable";

class clsCallReader {
 public:
  clsCallReader(std::string const& text, std::string* error) : m_strText(text), m_strError(error) {}

  bool Call(stcHostCall* call) {
    SkipBlanks();
    if (!Name(&call->m_strFunction)) return Fail("a function name");
    SkipBlanks();
    if (AtEnd()) return true;
    if (!Take('(')) return Fail("'(' or the end");
    SkipBlanks();
    if (!Take(')')) {
      while (true) {
        stcHostCallParameter parameter;
        if (!Parameter(&parameter)) return false;
        call->m_vecParameters.push_back(parameter);
        SkipBlanks();
        if (Take(')')) break;
        if (!Take(';')) return Fail("';' or ')'");
        SkipBlanks();
      }
    }
    SkipBlanks();
    return AtEnd() || Fail("the end after ')'");
  }

 private:
  bool AtEnd() const { return m_lngPos >= m_strText.size(); }
  char Peek() const { return AtEnd() ? '\0' : m_strText[m_lngPos]; }
  bool Take(char c) {
    if (Peek() != c || AtEnd()) return false;
    ++m_lngPos;
    return true;
  }
  bool TakePilcrow() {
    if (m_strText.compare(m_lngPos, 2, kPilcrow) != 0) return false;
    m_lngPos += 2;
    return true;
  }
  void SkipBlanks() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) ++m_lngPos;
  }
  bool Fail(char const* expected) {
    *m_strError = "position " + std::to_string(m_lngPos + 1) + ": expected " + expected;
    return false;
  }

  bool Name(std::string* name) {
    size_t const start = m_lngPos;
    while (!AtEnd()) {
      unsigned char const c = static_cast<unsigned char>(Peek());
      bool const first = m_lngPos == start;
      if (std::isalpha(c) || c == '_' || (!first && (std::isdigit(c) || c == '.')))
        ++m_lngPos;
      else
        break;
    }
    *name = m_strText.substr(start, m_lngPos - start);
    return !name->empty();
  }

  bool Quoted(std::string* text) {
    if (!Take('"')) return Fail("'\"'");
    text->clear();
    while (!AtEnd()) {
      if (Take('"')) return true;
      if (TakePilcrow()) {
        text->push_back('\r');
      } else if (Take('\\')) {
        if (TakePilcrow()) {
          text->append(kPilcrow);
        } else if (Peek() == '"' || Peek() == '\\') {
          text->push_back(m_strText[m_lngPos++]);
        } else {
          text->push_back('\\');
        }
      } else {
        text->push_back(m_strText[m_lngPos++]);
      }
    }
    return Fail("the closing '\"'");
  }

  bool Number(stcHostCallParameter* parameter) {
    size_t const start = m_lngPos;
    if (Peek() == '-' || Peek() == '+') ++m_lngPos;
    size_t digits = 0;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) ++m_lngPos, ++digits;
    if (Take('.'))
      while (std::isdigit(static_cast<unsigned char>(Peek()))) ++m_lngPos, ++digits;
    if (digits == 0) {
      m_lngPos = start;
      return Fail("a parameter");
    }
    parameter->m_enmKind = stcHostCallParameter::kNumber;
    parameter->m_strText = m_strText.substr(start, m_lngPos - start);
    parameter->m_dblNumber = std::strtod(parameter->m_strText.c_str(), nullptr);
    return true;
  }

  bool Parameter(stcHostCallParameter* parameter) {
    char const c = Peek();
    if (c == '"') {
      parameter->m_enmKind = stcHostCallParameter::kText;
      return Quoted(&parameter->m_strText);
    }
    if (TakePilcrow()) {
      parameter->m_enmKind = stcHostCallParameter::kText;
      parameter->m_strText = "\r";
      return true;
    }
    if (c == '$') {
      size_t const start = m_lngPos;
      m_lngPos += m_strText.compare(m_lngPos, 2, "$$") == 0 ? 2 : 1;
      std::string name;
      if (!Name(&name)) {
        m_lngPos = start;
        return Fail(kParameterKinds);
      }
      parameter->m_enmKind = stcHostCallParameter::kVariable;
      parameter->m_strText = m_strText.substr(start, m_lngPos - start);
      return true;
    }
    if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t const start = m_lngPos;
      std::string word;
      Name(&word);
      if (m_strText.compare(m_lngPos, 2, "::") == 0) {
        m_lngPos += 2;
        std::string field;
        if (!Name(&field)) return Fail("a field name after '::'");
        parameter->m_enmKind = stcHostCallParameter::kField;
        parameter->m_strText = word + "::" + field;
        return true;
      }
      for (char& letter : word) letter = char(std::toupper(static_cast<unsigned char>(letter)));
      if (word == "TRUE" || word == "FALSE") {
        parameter->m_enmKind = stcHostCallParameter::kBoolean;
        parameter->m_bolValue = word == "TRUE";
        return true;
      }
      if (word == "CONTAINER") {
        SkipBlanks();
        if (!Take('(')) return Fail("'(' after Container");
        SkipBlanks();
        parameter->m_enmKind = stcHostCallParameter::kContainer;
        if (!Quoted(&parameter->m_strText)) return false;
        SkipBlanks();
        return Take(')') || Fail("')' after the container's file");
      }
      m_lngPos = start;
      return Fail(kParameterKinds);
    }
    return Number(parameter);
  }

  std::string const& m_strText;
  std::string* m_strError;
  size_t m_lngPos = 0;
};

}  // namespace

bool ParseHostCall(std::string const& text, stcHostCall* call, std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  error->clear();
  *call = stcHostCall();
  return clsCallReader(text, error).Call(call);
}
