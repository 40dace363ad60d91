// Tests of the GetField calculation built from a field name: the name always stays one quoted
// text, whatever quotes and backslashes it holds.
#include "plugin/GetFieldExpression.h"

#include <gtest/gtest.h>

#include <string>

TEST(GetFieldExpressionTest, TheNameStaysOneQuotedText) {
  struct {
    char const* name;
    char const* expression;
  } const cases[] = {
      {"Contacts::Email", "GetField(\"Contacts::Email\")"},
      {"", "GetField(\"\")"},
      {"x\") & Get(UserName) & (\"", "GetField(\"x\\\") & Get(UserName) & (\\\"\")"},
      {"a\\", "GetField(\"a\\\\\")"},
      {"a\\\"b", "GetField(\"a\\\\\\\"b\")"},
      {"\xC3\xA9t\xC3\xA9", "GetField(\"\xC3\xA9t\xC3\xA9\")"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.expression, std::string(BuildGetFieldExpression(UniString(c.name)).GetAnsiString(1).c_str())) << c.name;
  }
}
