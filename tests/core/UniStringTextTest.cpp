// Tests of the UniString text operations: all three Pos forms forward, backward and
// overlapping; slicing; trimming; case changes; StrSub (including an empty search text);
// ToInt wrap-around; ToFloat; the digit and numeric classes; names and values; ordering.
#include <string>

#include <gtest/gtest.h>

#include "core/UniString.h"

namespace {

std::u16string Units(UniString const& s) {
  return s.Length() == 0 ? std::u16string()
                         : std::u16string(reinterpret_cast<char16_t const*>(s.GetBytes()), size_t(s.Length()));
}

UniString U(char16_t const* text) { return UniString(reinterpret_cast<unsigned short const*>(text), -1); }

TEST(UniStringTextTest, PosAllForms) {
  UniString banana("banana");
  struct {
    int start, occurrence, expected;
  } const unitCases[] = {
      {1, 1, 2}, {1, 2, 4}, {6, -1, 6}, {6, -3, 2}, {1, 4, 0}, {0, 1, 2}, {-5, 3, 6},
      {99, -1, 6}, {1, 0, 0}, {3, -1, 2}, {1, -1, 0},
  };
  for (auto const& c : unitCases) {
    EXPECT_EQ(banana.Pos(static_cast<unsigned short>('a'), false, c.start, c.occurrence), c.expected)
        << c.start << "," << c.occurrence;
  }
  struct {
    char const* needle;
    bool ignoreCase;
    int start, occurrence, expected;
  } const textCases[] = {
      {"ana", false, 1, 2, 4},  {"ana", false, 10, -1, 4}, {"ana", false, 10, -2, 2},
      {"ANA", true, 1, 1, 2},   {"ANA", false, 1, 1, 0},   {"bananas", false, 1, 1, 0},
      {"", false, 3, 1, 3},     {"a", false, 1, 3, 6},     {"nan", false, 4, 1, 0},
  };
  for (auto const& c : textCases) {
    EXPECT_EQ(banana.Pos(UniString(c.needle), c.ignoreCase, c.start, c.occurrence), c.expected) << c.needle;
  }
  EXPECT_EQ(UniString().Pos(UniString(), false, 1, 1), 0);
  EXPECT_EQ(banana.PosOfAnyChar(UniString("xn"), false, 1, 1), 3);
  EXPECT_EQ(banana.PosOfAnyChar(UniString("NB"), true, 6, -2), 3);
  EXPECT_EQ(banana.PosOfAnyChar(UniString(), false, 1, 1), 0);
  // Only ASCII letters fold.
  EXPECT_EQ(U(u"caf\u00E9").Pos(static_cast<unsigned short>(0x00C9), true, 1, 1), 0);
  EXPECT_EQ(U(u"CAF\u00C9").Pos(U(u"f\u00E9"), true, 1, 1), 0);
}

TEST(UniStringTextTest, SlicingAndTrimming) {
  UniString abc("abc");
  EXPECT_EQ(Units(abc.SubString(0, 2)), u"ab");
  EXPECT_EQ(Units(abc.SubString(2, -1)), u"bc");
  EXPECT_TRUE(abc.SubString(4, 1).IsEmpty());
  EXPECT_EQ(Units(abc.SubString(2, 2147483647)), u"bc");
  EXPECT_EQ(Units(abc.Left(-1)), u"abc");
  EXPECT_EQ(Units(abc.Left(2)), u"ab");
  EXPECT_EQ(Units(abc.Right(5)), u"abc");
  EXPECT_EQ(Units(abc.Right(2)), u"bc");
  EXPECT_TRUE(abc.Right(0).IsEmpty());
  EXPECT_TRUE(abc.Right(-2).IsEmpty());
  EXPECT_TRUE(UniString().SubString(1, 3).IsEmpty());

  EXPECT_TRUE(UniString(" \t\r\n").Trim().IsEmpty());
  EXPECT_EQ(Units(UniString(" \tx y\n").Trim()), u"x y");
  EXPECT_EQ(Units(UniString("  x ").TrimLeft()), u"x ");
  EXPECT_EQ(Units(UniString("  x ").TrimRight()), u"  x");
  EXPECT_EQ(Units(U(u"\u00A0x\u00A0").Trim()), u"\u00A0x\u00A0");  // no-break space is no blank
  EXPECT_TRUE(UniString().Trim().IsEmpty());
}

TEST(UniStringTextTest, CaseChanges) {
  EXPECT_EQ(Units(UniString("hello WORLD (abc def").TitleCase()), u"Hello World (abc Def");
  EXPECT_EQ(Units(UniString("  mIxEd\tcase").TitleCase()), u"  Mixed\tCase");
  EXPECT_EQ(Units(U(u"\u00E9a b").UpperCase()), u"\u00E9A B");
  EXPECT_EQ(Units(U(u"\u00C9A B").LowerCase()), u"\u00C9a b");
  unsigned short const withZero[] = {'a', 0, 'b'};
  UniString s(withZero, 3);
  EXPECT_EQ(Units(s.UpperCase()), u"A");  // rebuilt results end at the zero unit
  EXPECT_EQ(Units(s.SubString(1, 3)), u"a");
}

TEST(UniStringTextTest, Substitution) {
  EXPECT_EQ(Units(UniString("Banana").StrSub(static_cast<unsigned short>('a'), 'o', true)), u"Bonono");
  EXPECT_EQ(Units(UniString("Banana").StrSub(static_cast<unsigned short>('a'), 'o', false)), u"Bonono");
  EXPECT_EQ(Units(UniString("Banana").StrSub(static_cast<unsigned short>('A'), 'o', false)), u"Banana");
  EXPECT_EQ(Units(UniString("Banana").StrSub(static_cast<unsigned short>('A'), 'o', true)), u"Bonono");
  EXPECT_EQ(Units(UniString("bAnana").StrSub(static_cast<unsigned short>('a'), 'o', true)), u"bonono");

  struct {
    char const* text;
    char const* from;
    char const* to;
    bool ignoreCase;
    char const* expected;
  } const cases[] = {
      {"aaa", "aa", "b", false, "ba"},
      {"aaaa", "aa", "b", false, "bb"},
      {"aba", "a", "aa", false, "aabaa"},  // replacements are not searched again
      {"x[[CharSet]]y[[charset]]", "[[charset]]", "utf-8", true, "xutf-8yutf-8"},
      {"abc", "abc", "", false, ""},
      {"abc", "x", "y", false, "abc"},
      {"abc", "", "y", false, "abc"},  // an empty search text changes nothing and ends
      {"", "a", "b", false, ""},
  };
  for (auto const& c : cases) {
    UniString result = UniString(c.text).StrSub(UniString(c.from), UniString(c.to), c.ignoreCase);
    EXPECT_EQ(Units(result), Units(UniString(c.expected))) << c.text << " / " << c.from;
  }
}

TEST(UniStringTextTest, ToIntAndToFloat) {
  struct {
    char const* text;
    int32_t expected;
  } const cases[] = {
      {" 42 ", 42},         {"-17x", -17},        {"+5", 0},          {"0x1f", 31}, {"0X1F", 0},
      {"0xG", 0},           {"4294967295", -1},   {"2147483648", INT32_MIN},      {"0xFFFFFFFF", -1},
      {"", 0},              {"-", 0},             {"- 3", 0},         {"0x", 0},    {"12 34", 12},
      {"\xD9\xA3", 0},  // an Arabic-Indic digit is not read by ToInt
  };
  for (auto const& c : cases) EXPECT_EQ(UniString(c.text).ToInt(), c.expected) << c.text;

  EXPECT_DOUBLE_EQ(UniString("  2.75e1xyz").ToFloat(), 27.5);
  EXPECT_DOUBLE_EQ(UniString("abc").ToFloat(), 0.0);
  EXPECT_DOUBLE_EQ(UniString().ToFloat(), 0.0);
  EXPECT_DOUBLE_EQ(UniString("-0.5").ToFloat(), -0.5);
}

TEST(UniStringTextTest, DigitsAndNumericText) {
  int digits = 0;
  for (unsigned u = 0; u <= 0xFFFF; ++u) digits += UniString::IsDigit(static_cast<unsigned short>(u)) ? 1 : 0;
  EXPECT_EQ(digits, 149);  // 15 blocks of ten, Tamil without its zero
  EXPECT_TRUE(UniString::IsDigit(0xBE7));
  EXPECT_FALSE(UniString::IsDigit(0xBE6));

  struct {
    char const* text;
    bool expected;
  } const cases[] = {
      {"1.5", true}, {"1.2.3", false}, {"1 000", true}, {"-1", false}, {"", false},
      {"\xD9\xA3", true}, {"12a", false}, {".", true}, {"\t1\r\n", true},
  };
  for (auto const& c : cases) EXPECT_EQ(UniString(c.text).IsNumeric(true, true, false), c.expected) << c.text;
  EXPECT_FALSE(UniString("1.5").IsNumeric(false, true, false));
  EXPECT_FALSE(UniString("1 5").IsNumeric(true, false, false));
  EXPECT_TRUE(UniString("1.2.3").IsNumeric(true, false, true));
  EXPECT_TRUE(UniString("ab3").HasDigits());
  EXPECT_FALSE(UniString("abc").HasDigits());
  EXPECT_FALSE(UniString().HasDigits());
}

TEST(UniStringTextTest, NamesValuesAndBuilding) {
  UniString pair(" key = value");
  EXPECT_EQ(Units(pair.GetName('=')), u"key");
  EXPECT_EQ(Units(pair.GetValue('=')), u" value");
  EXPECT_TRUE(UniString("novalue").GetName('=').IsEmpty());
  EXPECT_TRUE(UniString("novalue").GetValue('=').IsEmpty());
  EXPECT_TRUE(UniString("key=").GetValue('=').IsEmpty());
  EXPECT_EQ(Units(UniString("a=b=c").GetValue('=')), u"b=c");

  EXPECT_EQ(Units(UniString::StringOfChar('-', 3)), u"---");
  EXPECT_TRUE(UniString::StringOfChar('-', 0).IsEmpty());
  EXPECT_TRUE(UniString::StringOfChar(0, 3).IsEmpty());
  unsigned short const units[] = {'a', 'b', '|', 'c'};
  EXPECT_EQ(UniCharArrayLength(units, '|'), 2);
}

TEST(UniStringTextTest, ComparisonAndConcatenation) {
  EXPECT_TRUE(UniString() == UniString(""));
  EXPECT_TRUE(UniString("ab") != UniString("abc"));
  EXPECT_TRUE(UniString("ab") < UniString("abc"));
  EXPECT_FALSE(UniString("abc") < UniString("ab"));
  EXPECT_TRUE(UniString() < UniString("a"));
  EXPECT_FALSE(UniString() < UniString());
  EXPECT_TRUE(UniString("Z") < U(u"\u00E9"));  // unsigned unit order
  EXPECT_EQ(Units(UniString() + UniString("x")), u"x");
}

}  // namespace
