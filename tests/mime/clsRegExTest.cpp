// Tests of clsRegEx: each grammar, case folding, the sub-match list, and every error text the
// wrapper can give (allocation failures are forced through the replaceable nothrow operators
// below; the "Unknown Error" texts need an exception the library never throws).
#include "mime/clsRegEx.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <locale>
#include <new>
#include <string>

#include "NothrowAllocationFailures.h"
#include "support/UniStringTesting.h"

std::size_t g_sizFailArrayOfSize = 0;
std::size_t g_sizFailArrayAfter = 0;
std::size_t g_sizFailObjectOfSize = 0;

namespace {

UniString U(char const* utf8) { return UniString(utf8); }

std::string Narrow(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }

}  // namespace

void* operator new[](std::size_t size, std::nothrow_t const&) noexcept {
  // Per thread: the size asked before by the same thread (other threads may allocate meanwhile).
  thread_local std::size_t s_sizPrevious = 0;
  std::size_t const previous = s_sizPrevious;
  s_sizPrevious = size;
  if (g_sizFailArrayOfSize != 0 && size == g_sizFailArrayOfSize &&
      (g_sizFailArrayAfter == 0 || previous == g_sizFailArrayAfter)) {
    g_sizFailArrayOfSize = 0;
    g_sizFailArrayAfter = 0;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new(std::size_t size, std::nothrow_t const&) noexcept {
  if (g_sizFailObjectOfSize != 0 && size == g_sizFailObjectOfSize) {
    g_sizFailObjectOfSize = 0;
    return nullptr;
  }
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

TEST(clsRegEx, EachSyntaxReadsItsOwnGrammar) {
  // Every row is an expression whose meaning differs between grammars, so a wrong option
  // mapping fails the match.
  struct stcCase {
    int syntax;
    char const* expression;
    char const* text;
  } const cases[] = {
      {0, R"(a+\d)", "aa1"},        // normal: \d and + work
      {1, "(ab)+", "abab"},         // extended POSIX: bare groups and +
      {2, "x+\nab", "ab"},          // egrep: a line end separates alternatives
      {3, "a+b", "aab"},            // awk
      {4, R"(a\{2\})", "aa"},       // basic POSIX: escaped braces are a repeat
      {5, "x\nab", "ab"},           // grep: basic with line-end alternatives
      {6, R"(a\|b)", "b"},          // Emacs: \| is alternation
      {7, R"(a+\d)", "aa1"},        // unknown values read as normal
      {-1, R"(a+\d)", "aa1"},
  };
  for (auto const& c : cases) {
    clsRegEx regex;
    ASSERT_TRUE(regex.SetExpression(U(c.expression), static_cast<enumRegExSyntax>(c.syntax), false))
        << c.syntax << ": " << Narrow(regex.ErrorString());
    EXPECT_TRUE(regex.ErrorString().IsEmpty());
    EXPECT_TRUE(regex.Match(U(c.text))) << c.syntax << ": " << Narrow(regex.ErrorString());
    EXPECT_EQ(U(c.text), regex.GetResult(0)) << c.syntax;
  }
}

TEST(clsRegEx, IgnoreCaseAndNoMatch) {
  clsRegEx regex;
  ASSERT_TRUE(regex.SetExpression(U("[a-c]+X"), kRegExNormal, true));
  EXPECT_TRUE(regex.Match(U("AbCx")));
  ASSERT_TRUE(regex.SetExpression(U("[a-c]+X"), kRegExNormal, false));
  EXPECT_FALSE(regex.Match(U("AbCx")));
  EXPECT_EQ(U("Could not Match string to Regular Expression."), regex.ErrorString());
  // A match must cover the whole text.
  EXPECT_FALSE(regex.Match(U("abXz")));
  EXPECT_TRUE(regex.Match(U("abX")));
  EXPECT_TRUE(regex.ErrorString().IsEmpty());
}

TEST(clsRegEx, SubMatchListKeepsEmptyEntriesAndEndsCleanly) {
  clsRegEx regex;
  EXPECT_TRUE(regex.GetResult(0).IsEmpty());  // before any match there is no list
  ASSERT_TRUE(regex.SetExpression(U("(a)|(b)(c)?"), kRegExNormal, false));
  ASSERT_TRUE(regex.Match(U("b")));
  EXPECT_EQ(U("b"), regex.GetResult(0));
  EXPECT_TRUE(regex.GetResult(1).IsEmpty());  // took no part
  EXPECT_EQ(U("b"), regex.GetResult(2));
  EXPECT_TRUE(regex.GetResult(3).IsEmpty());  // took no part, last group
  EXPECT_TRUE(regex.GetResult(4).IsEmpty());  // past the end
  EXPECT_TRUE(regex.GetResult(0xFFFFFFFFu).IsEmpty());
  // A failed match leaves no results of the earlier one behind.
  EXPECT_FALSE(regex.Match(U("x")));
  EXPECT_TRUE(regex.GetResult(0).IsEmpty());
  // Zero units and units beyond Latin-1 survive the round trip into the list.
  ASSERT_TRUE(regex.SetExpression(U("(.)(.*)"), kRegExNormal, false));
  UniString const text = Units(std::u16string(u"\u20ACa\0b", 4));
  ASSERT_EQ(4, text.Length());
  ASSERT_TRUE(regex.Match(text));
  EXPECT_EQ(Units(u"\u20AC"), regex.GetResult(1));
  EXPECT_EQ(4, regex.GetResult(0).Length());
}

TEST(clsRegEx, NonBreakingAndIdeographicSpacesAreNotBlanks) {
  // Classes follow the global C++ locale, which the plug-in never changes: the classic one.
  ASSERT_TRUE(std::locale() == std::locale::classic());
  clsRegEx nonBlank;
  ASSERT_TRUE(nonBlank.SetExpression(U(R"(\S+)"), kRegExNormal, false));
  clsRegEx blank;
  ASSERT_TRUE(blank.SetExpression(U(R"(\s+)"), kRegExNormal, false));
  for (char16_t unit : {u'\u00A0', u'\u3000'}) {
    EXPECT_TRUE(nonBlank.Match(Units(std::u16string(1, unit)))) << int(unit);
    EXPECT_FALSE(blank.Match(Units(std::u16string(1, unit)))) << int(unit);
  }
  EXPECT_TRUE(blank.Match(U(" \t\r\n")));
  // The dot of the normal syntax crosses line ends.
  clsRegEx dot;
  ASSERT_TRUE(dot.SetExpression(U("a.b"), kRegExNormal, false));
  EXPECT_TRUE(dot.Match(U("a\nb")));
}

TEST(clsRegEx, EveryErrorText) {
  clsRegEx regex;
  EXPECT_FALSE(regex.Match(U("abc")));
  EXPECT_EQ(U("You must specify a Regular Expression first."), regex.ErrorString());

  EXPECT_FALSE(regex.SetExpression(UniString(), kRegExNormal, false));
  EXPECT_EQ(U("The Regular Expression cannot be empty."), regex.ErrorString());

  // Compile failures carry the library's own message.
  for (char const* bad : {"(", "a{2,1}", "[z-a]"}) {
    EXPECT_FALSE(regex.SetExpression(U(bad), kRegExNormal, false)) << bad;
    std::string const text = Narrow(regex.ErrorString());
    std::string const prefix = "Could not compile regular expression: ";
    EXPECT_EQ(prefix, text.substr(0, prefix.size())) << bad;
    EXPECT_GT(text.size(), prefix.size() + 10) << bad;
  }
  // A failed compile leaves no expression in force, not the earlier one.
  ASSERT_TRUE(regex.SetExpression(U("a*"), kRegExNormal, false));
  EXPECT_FALSE(regex.SetExpression(U("("), kRegExNormal, false));
  EXPECT_FALSE(regex.Match(U("aaa")));
  EXPECT_EQ(U("You must specify a Regular Expression first."), regex.ErrorString());

  // An empty text is refused even where the expression would match it.
  ASSERT_TRUE(regex.SetExpression(U("a*"), kRegExNormal, false));
  EXPECT_FALSE(regex.Match(UniString()));
  EXPECT_EQ(U("The Match string is empty."), regex.ErrorString());

  // A match too costly to finish ends with the library's complaint, not a hang.
  ASSERT_TRUE(regex.SetExpression(U(R"(^((["(].*[")])?.*?)(\S+)@(\S+)(.*)$)"), kRegExNormal, false));
  EXPECT_FALSE(regex.Match(UniString::StringOfChar('"', 600) + U(" ")));
  std::string const costly = Narrow(regex.ErrorString());
  EXPECT_EQ(0u, costly.find("Could not Match Regular Expression: ")) << costly;
  EXPECT_NE(std::string::npos, costly.find("complexity")) << costly;

  // Allocation failures: the wide copies of the expression and of the text (each made right
  // after the argument's copy of 37 + 2 units), and the list.
  UniString const expression = UniString::StringOfChar('b', 37);
  g_sizFailArrayOfSize = (37 + 1) * sizeof(wchar_t);
  g_sizFailArrayAfter = (37 + 2) * sizeof(unsigned short);
  EXPECT_FALSE(regex.SetExpression(expression, kRegExNormal, false));
  EXPECT_EQ(U("Could not get a Wide Character array from the Regular Expression!"),
            regex.ErrorString());
  ASSERT_TRUE(regex.SetExpression(U("b*"), kRegExNormal, false));
  g_sizFailArrayOfSize = (37 + 1) * sizeof(wchar_t);
  g_sizFailArrayAfter = (37 + 2) * sizeof(unsigned short);
  EXPECT_FALSE(regex.Match(expression));
  EXPECT_EQ(U("Could not get a Wide Character array from the Match string!"), regex.ErrorString());
  clsRegEx fresh;
  ASSERT_TRUE(fresh.SetExpression(U("b*"), kRegExNormal, false));
  g_sizFailObjectOfSize = sizeof(UniStringList);
  EXPECT_FALSE(fresh.Match(expression));
  EXPECT_EQ(U("Could not allocate memory for results."), fresh.ErrorString());
  g_sizFailObjectOfSize = 0;
  EXPECT_TRUE(fresh.Match(expression));
  EXPECT_EQ(expression, fresh.GetResult(0));
}
