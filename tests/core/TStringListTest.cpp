// Tests of TStringList and its Strings view: joining, lookup, Assign, bounds and copies.
#include "core/TStringList.h"

#include <gtest/gtest.h>

namespace {

TEST(TStringListTest, TextJoinsWithSeparator) {
  TStringList list;
  EXPECT_STREQ(list.Text(", ").c_str(), "");
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_STREQ(list.Text(", ").c_str(), "a");
  EXPECT_EQ(list.Add("b"), 1);
  EXPECT_STREQ(list.Text(", ").c_str(), "a, b");
  list.Add("");
  EXPECT_STREQ(list.Text("\r\n").c_str(), "a\r\nb\r\n");
  EXPECT_STREQ(list.Text("").c_str(), "ab");
  EXPECT_EQ(list.Count(), 3);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(TStringListTest, IndexOfHonoursCase) {
  TStringList list;
  EXPECT_EQ(list.IndexOf("abc", true), -1);
  list.Add("xyz");
  list.Add("abc");
  list.Add("ABC");
  EXPECT_EQ(list.IndexOf("ABC", false), 1);
  EXPECT_EQ(list.IndexOf("ABC", true), 2);
  EXPECT_EQ(list.IndexOf("aBc", true), -1);
  EXPECT_EQ(list.IndexOf("ab", false), -1);
}

TEST(TStringListTest, AssignCopiesOrClears) {
  TStringList source;
  source.Add("one");
  source.Add("two");
  TStringList target;
  target.Add("old");
  target.Assign(&source);
  EXPECT_STREQ(target.Text(",").c_str(), "one,two");
  target.Assign(&target);
  EXPECT_STREQ(target.Text(",").c_str(), "one,two");
  TStringList empty;
  target.Assign(&empty);
  EXPECT_EQ(target.Count(), 0);
  target.Add("x");
  target.Assign(nullptr);
  EXPECT_EQ(target.Count(), 0);
}

TEST(TStringListTest, StringsIndexesOwnLinesAndChecksBounds) {
  InternalStringListClass detached;
  EXPECT_THROW(detached[0], int);
  TStringList list;
  EXPECT_THROW(list.Strings[0], int);
  list.Add("first");
  list.Add("second");
  EXPECT_STREQ(list.Strings[1].c_str(), "second");
  try {
    list.Strings[2];
    FAIL() << "index past the end did not throw";
  } catch (int e) {
    EXPECT_EQ(e, 1);
  }
  // A copy's view reaches the copy's lines, also after the original is gone.
  TStringList* original = new TStringList(list);
  TStringList copy(*original);
  TStringList assigned;
  assigned = *original;
  delete original;
  copy.Strings[0] = "changed";
  EXPECT_STREQ(copy.Strings[0].c_str(), "changed");
  EXPECT_STREQ(assigned.Strings[0].c_str(), "first");
  EXPECT_STREQ(list.Strings[0].c_str(), "first");
}

}  // namespace
