// Tests of UniStringList: list operations and bad indexes, splitting (plain and scanning, with
// character and string delimiters), AddText continuation across calls, name=value lookups and
// the joined text form. Strings are compared through their UTF-8 bytes for readable failures.
#include "core/UniStringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(UniString const& s) {
  char* bytes = s.GetCString(1);
  std::string result = bytes ? bytes : "";
  delete[] bytes;
  return result;
}

std::vector<std::string> Items(UniStringList const& list) {
  std::vector<std::string> result;
  for (UniString const& s : list) result.push_back(Utf8(s));
  return result;
}

UniStringList ListOf(std::vector<std::string> const& items) {
  UniStringList list;
  for (std::string const& s : items) list.Add(UniString(s.c_str()));
  return list;
}

using Strings = std::vector<std::string>;

TEST(UniStringListTest, ListOperationsAndBadIndexes) {
  UniStringList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Add(UniString()), 0);
  EXPECT_TRUE(list.IsEmpty()) << "one empty string counts as empty";
  EXPECT_EQ(list.Add(UniString()), 1);
  EXPECT_TRUE(list.IsNotEmpty()) << "two empty strings do not";

  list = ListOf({"a", "c"});
  list.Insert(1, UniString("b"));
  list.Insert(99, UniString("d"));
  EXPECT_EQ(Items(list), (Strings{"a", "b", "c", "d"}));

  list.Delete(list.Count());
  EXPECT_EQ(list.Count(), 4u);
  EXPECT_THROW(list.At(list.Count()), int);
  EXPECT_THROW(list.IterAt(list.Count()), int);
  try {
    list.At(4);
    ADD_FAILURE();
  } catch (int e) {
    EXPECT_EQ(e, 1);
  }
  auto next = list.Delete(list.IterAt(1));
  EXPECT_EQ(Utf8(*next), "c");
  list.Delete(0u);
  EXPECT_EQ(Items(list), (Strings{"c", "d"}));

  UniStringList other = ListOf({"x"});
  other.AddStrings(&other);  // appending to itself doubles the list
  other.AddStrings(nullptr);
  EXPECT_EQ(Items(other), (Strings{"x", "x"}));
  list.Assign(&other);
  EXPECT_EQ(Items(list), (Strings{"x", "x"}));
  list.Assign(&list);
  EXPECT_EQ(list.Count(), 2u);
  UniStringList empty;
  list.Assign(&empty);
  EXPECT_EQ(list.Count(), 0u);
  other.Assign(nullptr);
  EXPECT_EQ(other.Count(), 0u);
}

struct stcSplitCase {
  char const* text;
  char const* delimiter;  // one character uses the character form, else the string form
  bool quotes;
  enumBreakApartTrimLineType trim;
  Strings expected;
};

TEST(UniStringListTest, BreakApart) {
  std::vector<stcSplitCase> const cases = {
      // Plain: inner empty items stay, a trailing one is dropped.
      {"a,,b,", ",", false, kBreakApartTrimNone, {"a", "", "b"}},
      {",a", ",", false, kBreakApartTrimNone, {"", "a"}},
      {"", ",", false, kBreakApartTrimNone, {}},
      {",", ",", false, kBreakApartTrimNone, {""}},
      {" a , b ", ",", false, kBreakApartTrimBoth, {"a", "b"}},
      {" a , b ", ",", false, kBreakApartTrimLeft, {"a ", "b "}},
      {" a , b ", ",", false, kBreakApartTrimRight, {" a", " b"}},
      {"a, ", ",", false, kBreakApartTrimBoth, {"a", ""}},
      // Quote characters mean nothing without a backslash and with quotes off.
      {"x=,\"1,2\",y", ",", false, kBreakApartTrimNone, {"x=", "\"1", "2\"", "y"}},
      // Scanning: a backslash shields the next delimiter; empty items are dropped.
      {"a\\,b,c", ",", false, kBreakApartTrimNone, {"a\\,b", "c"}},
      {"a,,b\\", ",", false, kBreakApartTrimNone, {"a", "b\\"}},
      {",a\\\\,b,", ",", false, kBreakApartTrimNone, {"a\\\\", "b"}},
      {"\\ , x ", ",", false, kBreakApartTrimBoth, {"\\", "x"}},
      // Quotes kept in the item; inside them delimiters and backslashes are plain.
      {"x=,\"1,2\",y", ",", true, kBreakApartTrimNone, {"x=", "\"1,2\"", "y"}},
      {"a='p,\"q',b", ",", true, kBreakApartTrimNone, {"a='p,\"q'", "b"}},
      {"\"a\\\",b\",c", ",", true, kBreakApartTrimNone, {"\"a\\\"", "b\",c"}},
      {"\\\"a,b\",c", ",", true, kBreakApartTrimNone, {"\\\"a", "b\",c"}},
      // With quotes off, a backslash elsewhere does not make an apostrophe a quote.
      {"John's a\\b/x", "/", false, kBreakApartTrimNone, {"John's a\\b", "x"}},
      // String delimiter, plain: whole delimiter, left to right, no overlap.
      {"a::b::", "::", false, kBreakApartTrimNone, {"a", "b"}},
      {"::a::::b", "::", false, kBreakApartTrimNone, {"", "a", "", "b"}},
      {"aXXXb", "XX", false, kBreakApartTrimNone, {"a", "Xb"}},
      {"a\\::b", "::", false, kBreakApartTrimNone, {"a\\", "b"}},
      {"a,b", "", false, kBreakApartTrimNone, {"a,b"}},
      {"a,'b", "", true, kBreakApartTrimNone, {"a,'b"}},
      // String delimiter, scanning: empty items dropped, quotes protect the delimiter.
      {"::x = \"1::2\"::::y::", "::", true, kBreakApartTrimBoth, {"x = \"1::2\"", "y"}},
      {"'a::b'::c", "::", true, kBreakApartTrimNone, {"'a::b'", "c"}},
  };
  for (stcSplitCase const& c : cases) {
    UniStringList list = ListOf({"stale"});
    UniString const delimiter(c.delimiter);
    if (delimiter.Length() == 1) {
      list.BreakApart(UniString(c.text), delimiter[1], c.quotes, c.trim);
    } else {
      list.BreakApart(UniString(c.text), delimiter, c.quotes, c.trim);
    }
    EXPECT_EQ(Items(list), c.expected)
        << "text [" << c.text << "] delimiter [" << c.delimiter << "] quotes " << c.quotes
        << " trim " << c.trim;
  }
}

TEST(UniStringListTest, BreakApartOfOwnString) {
  UniStringList list = ListOf({"a,b,c"});
  list.BreakApart(*list.begin(), static_cast<unsigned short>(','), false, kBreakApartTrimNone);
  EXPECT_EQ(Items(list), (Strings{"a", "b", "c"}));
}

TEST(UniStringListTest, AddTextContinuesAcrossCalls) {
  UniStringList list;
  list.AddText(UniString("one\r\ntwo\n"));
  EXPECT_EQ(Items(list), (Strings{"one", "two", ""}));
  list.AddText(UniString("three"));
  EXPECT_EQ(Items(list), (Strings{"one", "two", "three"}));
  list.AddText(UniString("x\r\r y"));
  EXPECT_EQ(Items(list), (Strings{"one", "two", "threex", "", " y"}));
  list.AddText(UniString());
  EXPECT_EQ(list.Count(), 5u);

  UniStringList fresh;
  fresh.AddText(UniString("\n"));
  EXPECT_EQ(Items(fresh), (Strings{"", ""}));

  UniStringList ab = ListOf({"ab"});
  ab.AddText(UniString("x"));
  EXPECT_EQ(Items(ab), (Strings{"abx"}));

  // Continuing the last string with a copy of itself must not read freed memory.
  UniStringList self = ListOf({"p", "q\nr"});
  self.AddText(*(self.end() - 1));
  EXPECT_EQ(Items(self), (Strings{"p", "q\nrq", "r"}));
}

TEST(UniStringListTest, NameValueLookups) {
  UniStringList const list = ListOf({"plain", "key = v", "Other=Two", "dup=1", "dup=2"});
  unsigned short const eq = '=';
  struct {
    char const* text;
    bool caseSensitive;
    int indexOfName;
    int indexOfValue;
    char const* values;
  } const cases[] = {
      {" Key ", false, 1, -1, " v"},
      {"Key", true, -1, -1, ""},
      {"key", true, 1, -1, " v"},
      {"V", false, -1, 1, ""},
      {" v ", true, -1, 1, ""},
      {"two", false, -1, 2, ""},
      {"dup", true, 3, -1, "1"},
      {"", true, 0, 0, ""},  // "plain" has an empty name and value
  };
  for (auto const& c : cases) {
    EXPECT_EQ(list.IndexOfName(UniString(c.text), eq, c.caseSensitive), c.indexOfName) << c.text;
    EXPECT_EQ(list.IndexOfValue(UniString(c.text), eq, c.caseSensitive), c.indexOfValue)
        << c.text;
    EXPECT_EQ(Utf8(list.Values(UniString(c.text), eq, c.caseSensitive)), c.values) << c.text;
  }
  EXPECT_EQ(list.IndexOf(UniString("OTHER=two"), false), 2);
  EXPECT_EQ(list.IndexOf(UniString("OTHER=two"), true), -1);
  EXPECT_EQ(list.IndexOf(UniString(" plain"), false), -1) << "IndexOf does not trim";
  UniStringList const empty;
  EXPECT_EQ(empty.IndexOf(UniString(), true), -1);
}

TEST(UniStringListTest, TextAndTextSize) {
  UniStringList const list = ListOf({"a", "", "b"});
  EXPECT_EQ(Utf8(list.Text(kLineEndingLF)), "a\n\nb");
  EXPECT_EQ(Utf8(list.Text(kLineEndingNone)), "ab");
  EXPECT_EQ(Utf8(list.Text(kLineEndingCRLF)), "a\r\n\r\nb");
  EXPECT_EQ(Utf8(list.Text(kLineEndingCRLF, UniString(" | "))), "a |  | b");
  EXPECT_EQ(list.TextSize(kLineEndingCRLF), 6u);
  EXPECT_EQ(list.TextSize(kLineEndingLF), 4u);

  UniStringList const empty;
  EXPECT_EQ(empty.TextSize(kLineEndingCRLF), 0u);
  EXPECT_TRUE(empty.Text(kLineEndingCRLF).IsEmpty());
  EXPECT_TRUE(ListOf({"", ""}).Text(kLineEndingNone).IsEmpty());

  // Non-ASCII units and a text past the stream's first growth step come through whole.
  UniStringList big;
  std::string expected;
  for (int i = 0; i < 400; ++i) {
    big.Add(UniString("\xC3\xA9t\xC3\xA9"));
    expected += i ? "\n\xC3\xA9t\xC3\xA9" : "\xC3\xA9t\xC3\xA9";
  }
  UniString const joined = big.Text(kLineEndingLF);
  EXPECT_EQ(static_cast<uint32_t>(joined.Length()), big.TextSize(kLineEndingLF));
  EXPECT_EQ(Utf8(joined), expected);
}

}  // namespace
