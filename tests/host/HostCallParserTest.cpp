// Tests of the reader of calls written as in a host calculation: what each kind of parameter
// becomes, and the refusals with the position they name.
#include "host/HostCallParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A parameter in a short form: T:text, N:literal, B:1 or B:0, C:path, F:field, V:variable.
std::string Form(stcHostCallParameter const& p) {
  switch (p.m_enmKind) {
    case stcHostCallParameter::kText:
      return "T:" + p.m_strText;
    case stcHostCallParameter::kNumber:
      return "N:" + p.m_strText;
    case stcHostCallParameter::kBoolean:
      return p.m_bolValue ? "B:1" : "B:0";
    case stcHostCallParameter::kContainer:
      return "C:" + p.m_strText;
    case stcHostCallParameter::kField:
      return "F:" + p.m_strText;
    case stcHostCallParameter::kVariable:
      return "V:" + p.m_strText;
  }
  return "?";
}

TEST(HostCallParserTest, ReadsEveryKindOfParameter) {
  struct stcCase {
    char const* text;
    char const* function;
    std::vector<std::string> parameters;
  } const cases[] = {
      {"Velmora_Version", "Velmora_Version", {}},
      {"  Velmora_ShowMessageDialog ( )  ", "Velmora_ShowMessageDialog", {}},
      {"Velmora_SendMessage( \"a@example.test\" ; \"Hi\" ; \"line 1\xC2\xB6line 2\" ; Container( \"logo.png\" ) )",
       "Velmora_SendMessage",
       {"T:a@example.test", "T:Hi", "T:line 1\rline 2", "C:logo.png"}},
      {"f(\"say \\\"hi\\\" \\\\ \\\xC2\xB6\";\xC2\xB6)", "f", {"T:say \"hi\" \\ \xC2\xB6", "T:\r"}},
      {"f(\"a\\b\";\"\")", "f", {"T:a\\b", "T:"}},
      {"f(12;-3.5;+.25;0)", "f", {"N:12", "N:-3.5", "N:+.25", "N:0"}},
      {"f(True;false;TRUE)", "f", {"B:1", "B:0", "B:1"}},
      {"f(\r\n\"x\"\t;\n 1 )", "f", {"T:x", "N:1"}},
      {"Velmora.x_2()", "Velmora.x_2", {}},
      {"f( People::Email ; $subj;$$count ; True::x ; Container::Photo )",
       "f",
       {"F:People::Email", "V:$subj", "V:$$count", "F:True::x", "F:Container::Photo"}},
  };
  for (stcCase const& c : cases) {
    stcHostCall call;
    std::string error;
    ASSERT_TRUE(ParseHostCall(c.text, &call, &error)) << c.text << ": " << error;
    EXPECT_EQ(c.function, call.m_strFunction) << c.text;
    std::vector<std::string> forms;
    for (auto const& p : call.m_vecParameters) forms.push_back(Form(p));
    EXPECT_EQ(c.parameters, forms) << c.text;
  }
  stcHostCall call;
  ASSERT_TRUE(ParseHostCall("f(-3.5)", &call, nullptr));
  EXPECT_DOUBLE_EQ(-3.5, call.m_vecParameters[0].m_dblNumber);
}

TEST(HostCallParserTest, RefusesWhatIsNoCall) {
  struct stcCase {
    char const* text;
    char const* error;
  } const cases[] = {
      {"", "position 1: expected a function name"},
      {"2f()", "position 1: expected a function name"},
      {"f(\"a\" \"b\")", "position 7: expected ';' or ')'"},
      {"f(\"a\";)", "position 7: expected a parameter"},
      {"f(;1)", "position 3: expected a parameter"},
      {"f(\"open", "position 8: expected the closing '\"'"},
      {"f(1", "position 4: expected ';' or ')'"},
      {"f() x", "position 5: expected the end after ')'"},
      {"f x", "position 3: expected '(' or the end"},
      {"f(maybe)", "position 3: expected a text, a number, True, False, Container( file ), Table::Field or a $variable"},
      {"f($ x)", "position 3: expected a text, a number, True, False, Container( file ), Table::Field or a $variable"},
      {"f(People::)", "position 11: expected a field name after '::'"},
      {"f(Container(logo.png))", "position 13: expected '\"'"},
      {"f(Container(\"a\")", "position 17: expected ';' or ')'"},
      {"f(-)", "position 3: expected a parameter"},
  };
  for (stcCase const& c : cases) {
    stcHostCall call;
    std::string error;
    EXPECT_FALSE(ParseHostCall(c.text, &call, &error)) << c.text;
    EXPECT_EQ(c.error, error) << c.text;
  }
}

}  // namespace
