// Tests of AnsiString: empty forms, the length byte and index bounds, embedded NUL bytes,
// ToInt wrap-around, Pos in both directions, StrSub, and aliasing in Load and +=.
#include "core/AnsiString.h"

#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Bytes(AnsiString const& s) { return std::string(s.c_str(), size_t(s.Length())); }

TEST(AnsiStringTest, EmptyFormsAreEmptyAndSafe) {
  AnsiString forms[] = {AnsiString(), AnsiString(static_cast<char const*>(nullptr)), AnsiString(""),
                        AnsiString("abc", 0), AnsiString("abc", -3),
                        AnsiString(static_cast<char const*>(nullptr), 5)};
  for (AnsiString const& s : forms) {
    EXPECT_EQ(s.Length(), 0);
    ASSERT_NE(s.c_str(), nullptr);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_THROW(s[0], int);  // null buffer: no index is valid
    EXPECT_TRUE(s == AnsiString());
  }
  AnsiString loaded("xyz");
  loaded.Load("", 0);  // leaves an allocated buffer of length 0
  EXPECT_EQ(loaded.Length(), 0);
  EXPECT_TRUE(loaded == AnsiString());
  EXPECT_EQ(loaded[0], 0);
  EXPECT_STREQ(AnsiString(INT_MIN).c_str(), "-2147483648");
  EXPECT_EQ(AnsiString('\0').Length(), 1);
}

TEST(AnsiStringTest, LengthByteAndIndexBounds) {
  AnsiString longText(std::string(300, 'x').c_str());
  EXPECT_EQ(longText.Length(), 300);
  EXPECT_EQ(static_cast<unsigned char>(longText[0]), 255);
  AnsiString shortText("hello");
  EXPECT_EQ(shortText[0], 5);
  EXPECT_EQ(shortText[1], 'h');
  EXPECT_EQ(shortText[5], 'o');
  try {
    shortText[6];
    FAIL() << "index past the end did not throw";
  } catch (int e) {
    EXPECT_EQ(e, 1);
  }
  EXPECT_THROW(shortText[-1], int);
  shortText[1] = 'j';
  EXPECT_STREQ(shortText.c_str(), "jello");
}

TEST(AnsiStringTest, EmbeddedNulBytes) {
  AnsiString s("ab\0cd", 5);
  EXPECT_EQ(s.Length(), 5);
  AnsiString copy(s);
  AnsiString assigned;
  assigned = s;
  AnsiString appended("x");
  appended += s;
  EXPECT_EQ(Bytes(copy), std::string("ab\0cd", 5));
  EXPECT_EQ(Bytes(assigned), std::string("ab\0cd", 5));
  EXPECT_EQ(Bytes(appended), std::string("xab\0cd", 6));
  EXPECT_EQ(Bytes(s + AnsiString("!")), std::string("ab\0cd!", 6));
  EXPECT_EQ(Bytes(s + AnsiString()), "ab");  // an empty right operand reads this as a C text
  EXPECT_EQ(Bytes(s.Trim()), "ab");
  EXPECT_EQ(Bytes(s.UpperCase()), "AB");
  EXPECT_EQ(Bytes(s.SubString(1, 5)), "ab");
  EXPECT_FALSE(s == AnsiString("ab\0cx", 5));
  EXPECT_TRUE(s != AnsiString("ab"));
}

TEST(AnsiStringTest, ToIntReadsDecimalAndHexWithWrapAround) {
  struct {
    char const* text;
    int32_t expected;
  } const cases[] = {
      {"  42 ", 42},         {"-17abc", -17},       {"0x1f", 31},           {"0X1F", 0},
      {"+5", 0},             {"", 0},               {"abc", 0},             {"- 5", 0},
      {"4294967295", -1},    {"4294967296", 0},     {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},                   {"0xFFFFFFFF", -1},     {"0x100000001", 1},
      {"0x", 0},             {"0xg", 0},            {"\t0x7fffffff\r\n", INT32_MAX},
  };
  for (auto const& c : cases) EXPECT_EQ(AnsiString(c.text).ToInt(), c.expected) << c.text;
}

TEST(AnsiStringTest, PosForwardBackwardAndCase) {
  AnsiString text("abcab");
  struct {
    char const* needle;
    bool ignoreCase;
    int start, occurrence, expected;
  } const cases[] = {
      {"ab", false, 1, 1, 1}, {"ab", false, 1, 2, 4},  {"ab", false, 5, -1, 4},
      {"ab", false, 5, -2, 1}, {"ab", false, 2, 1, 4}, {"ab", false, 1, 3, 0},
      {"AB", true, 1, 1, 1},  {"AB", false, 1, 1, 0},  {"ab", false, 1, 0, 0},
      {"ab", false, -7, 1, 1}, {"abcabc", false, 1, 1, 0}, {"", false, 3, 1, 3},
      {"b", false, 3, -1, 2}, {"cab", false, 99, -1, 3},
  };
  for (auto const& c : cases)
    EXPECT_EQ(text.Pos(AnsiString(c.needle), c.ignoreCase, c.start, c.occurrence), c.expected)
        << c.needle << " " << c.start << " " << c.occurrence;
  EXPECT_EQ(text.Pos('b', false, 1, 2), 5);
  EXPECT_EQ(text.Pos('B', true, 5, -2), 2);
  EXPECT_EQ(text.Pos('b', false, 1, 0), 0);
  EXPECT_EQ(text.Pos('z', false, 1, 1), 0);
  EXPECT_EQ(AnsiString().Pos(AnsiString(""), false, 1, 1), 0);
  EXPECT_EQ(AnsiString().Pos('a', false, 1, 1), 0);
}

TEST(AnsiStringTest, StrSubReplacesLeftToRightWithoutRescanning) {
  struct {
    char const *text, *find, *replace;
    bool ignoreCase;
    char const* expected;
  } const cases[] = {
      {"aba", "a", "aa", false, "aabaa"},
      {"hello", "xyz", "!", false, "hello"},
      {"hello", "", "!", false, "hello"},
      {"aaa", "aa", "X", false, "Xa"},
      {"Content-Type: text/plain; charset=[[CHARSET]]", "[[charset]]", "utf-8", true,
       "Content-Type: text/plain; charset=utf-8"},
      {"[[charset]]", "[[CHARSET]]", "x", false, "[[charset]]"},
      {"abab", "ab", "", false, ""},
      {"xab", "ab", "", false, "x"},
  };
  for (auto const& c : cases)
    EXPECT_EQ(Bytes(AnsiString(c.text).StrSub(AnsiString(c.find), AnsiString(c.replace), c.ignoreCase)),
              c.expected)
        << c.text;
}

TEST(AnsiStringTest, TrimAndSubString) {
  EXPECT_EQ(Bytes(AnsiString(" \t\r\n x y \r\n").Trim()), "x y");
  EXPECT_EQ(Bytes(AnsiString(" \t\r\n").Trim()), "");
  EXPECT_EQ(Bytes(AnsiString("  x  ").TrimRight()), "  x");
  AnsiString hello("hello");
  EXPECT_EQ(Bytes(hello.SubString(2, 3)), "ell");
  EXPECT_EQ(Bytes(hello.SubString(0, 2)), "he");
  EXPECT_EQ(Bytes(hello.SubString(4, 10)), "lo");
  EXPECT_EQ(Bytes(hello.SubString(2, INT_MAX)), "ello");
  EXPECT_EQ(Bytes(hello.SubString(6, 1)), "");
  EXPECT_EQ(Bytes(hello.SubString(2, 0)), "");
}

TEST(AnsiStringTest, AliasingCopiesAreSafe) {
  AnsiString s("abcdef");
  s.Load(s.c_str() + 2, 3);  // new size: source lies in the buffer being replaced
  EXPECT_EQ(Bytes(s), "cde");
  s.Load(s.c_str() + 1, 3);  // same size: buffer reused
  EXPECT_EQ(Bytes(s), std::string("de\0", 3));
  AnsiString t("xy");
  t += t;
  EXPECT_EQ(Bytes(t), "xyxy");
  AnsiString& alias = t;
  t = alias;
  EXPECT_EQ(Bytes(t), "xyxy");
}

// One string loaded with texts of changing lengths, as a line reader loads it line after line:
// each time exactly the new bytes, the length byte (capped at 255) and the terminating 0, whether
// the buffer is reused or replaced.
TEST(AnsiStringTest, LoadedTextsReplaceEachOtherExactly) {
  std::string const bytes = std::string(1500, 'y') + std::string(1, '\0') + "z";
  int const lengths[] = {300, 12, 0, 299, 1502, 3, 1000, 256};
  AnsiString line;
  for (int length : lengths) {
    line.Load(bytes.data() + bytes.size() - size_t(length), length);
    ASSERT_EQ(line.Length(), length);
    EXPECT_EQ(std::string(line.c_str(), size_t(length)), bytes.substr(bytes.size() - size_t(length)));
    EXPECT_EQ(line.c_str()[length], '\0') << length;
    if (length > 0) {
      EXPECT_EQ(static_cast<unsigned char>(line[0]), length < 255 ? length : 255);
    }
  }
}

}  // namespace
