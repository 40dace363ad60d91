// Tests of clsMultiVar: lookup by name, the add and set families (name checks, quote stripping,
// type changes), rename and remove.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

namespace {

std::string U8(UniString const& s) { return std::string(s.GetAnsiString(1).c_str()); }
UniString U(char const* s) { return UniString(s); }
std::string const kInvalid = "; Variable Names cannot contain the following: \",',$,{,},;";

}  // namespace

TEST(clsMultiVarTest, LookupFindsTheFirstOfRepeatedNames) {
  clsMultiVar vars;
  EXPECT_EQ(U8(vars.AddIntegerVar(U("a"), 1, false)), "");
  EXPECT_EQ(U8(vars.AddIntegerVar(U("a"), 2, false)), "");
  EXPECT_EQ(U8(vars.AddStringVar(U(""), U("first unnamed"), false)), "");
  clsMultiVar::iterator it;
  ASSERT_TRUE(vars.GetVar(U(" A "), it));
  EXPECT_EQ(it->GetIntegerValue(), 1);
  ASSERT_TRUE(vars.GetVar(U(""), it));
  EXPECT_EQ(U8(it->GetStringValue()), "first unnamed");
  clsMultiVar::const_iterator cit;
  EXPECT_FALSE(static_cast<clsMultiVar const&>(vars).GetVar(U("b"), cit));

  EXPECT_EQ(U8(vars.CheckVarName(U(" A"), true)), "Duplicate Variable Name:  A");
  EXPECT_EQ(U8(vars.CheckVarName(U("x=y,z"), true)), "");
  EXPECT_TRUE(clsMultiVar::IsVarDelim(',', U(";,")));
  EXPECT_FALSE(clsMultiVar::IsVarDelim(',', U(";")));

  vars.RemoveVar(U(" "));
  EXPECT_EQ(vars.Count(), 3u);
  vars.RemoveVar(U("a"));
  ASSERT_TRUE(vars.GetVar(U("a"), it));
  EXPECT_EQ(it->GetIntegerValue(), 2);
  it = vars.RemoveVar(it);
  EXPECT_EQ(U8(it->GetStringValue()), "first unnamed");
}

TEST(clsMultiVarTest, AddFamily) {
  clsMultiVar vars;
  for (char const* bad : {"a$", "a;", "a'", "a\"", "a{", "a}"}) {
    EXPECT_EQ(U8(vars.AddStringVar(U(bad), U("x"), false)), "Invalid Variable Name: " + std::string(bad) + kInvalid);
    EXPECT_EQ(U8(vars.AddListVar(U(bad), U("x"), false)), "Invalid Variable Name: " + std::string(bad) + kInvalid);
  }
  EXPECT_EQ(vars.Count(), 0u);
  EXPECT_EQ(U8(vars.AddStringVar(U("a$"), U("x"), true)), "");
  EXPECT_EQ(U8(vars.AddVar(nullptr, false)), "Variable Value is NULL.");
  clsSingleVar bad;
  bad.SetName(U(" b{ "));
  EXPECT_EQ(U8(vars.AddVar(&bad, false)), "Invalid Variable Name: b{" + kInvalid);
  EXPECT_EQ(U8(vars.AddVar(&bad, true)), "");
  EXPECT_EQ(U8(vars.AddVariableVar(U("'q'"), U(" lit "))), "");

  struct Row {
    char const* text;
    char const* stored;
  };
  std::vector<Row> const rows = {{"  'abc'  ", "abc"}, {"  abc  ", "  abc  "}, {"'abc\"", "'abc\""},
                                 {"\"", ""}, {"\"\"", ""}, {"", ""}};
  for (Row const& row : rows) {
    clsMultiVar strings;
    strings.AddStringVar(U(" s "), U(row.text), false);
    EXPECT_EQ(U8(strings.begin()->GetName()), "s");
    EXPECT_EQ(U8(strings.begin()->GetStringValue()), row.stored) << row.text;
  }

  clsMultiVar numbers;
  numbers.AddFloatVar(U("f"), U(""), false);
  numbers.AddIntegerVar(U("i"), U(" 12 "), false);
  numbers.AddFloatVar(U("g"), U(" 0.25 "), false);
  auto it = numbers.begin();
  EXPECT_EQ(it->GetType(), kVarTypeFloat);
  EXPECT_EQ((it++)->GetFloatValue(), 0.0);
  EXPECT_EQ((it++)->GetIntegerValue(), 12);
  EXPECT_EQ(it->GetFloatValue(), 0.25);

  clsMultiVar lists;
  EXPECT_EQ(U8(lists.AddListVar(U("n"), static_cast<UniStringList*>(nullptr), false, true)), "");
  EXPECT_EQ(lists.Count(), 0u);
  EXPECT_EQ(U8(lists.AddListVar(U("n"), static_cast<UniStringList*>(nullptr), false, false)), "");
  EXPECT_EQ(U8(lists.AddArrayVar(U("a"), static_cast<clsMultiVar*>(nullptr), false, false)), "");
  ASSERT_EQ(lists.Count(), 1u);
  EXPECT_EQ(lists.begin()->GetType(), kVarTypeList);
  EXPECT_EQ(lists.begin()->GetListValue(false)->Count(), 0u);
  EXPECT_EQ(U8(lists.AddListVar(U("t"), U("one\r\ntwo"), false)), "");
  EXPECT_EQ(U8(lists.begin()->GetValue_AsString()), "");
  EXPECT_EQ(U8(std::next(lists.begin())->GetValue_AsString()), "one\rtwo");
}

TEST(clsMultiVarTest, SetFamilyReplacesInPlaceAndClearsOnTypeChange) {
  clsMultiVar vars;
  for (auto set : {&clsMultiVar::SetStringVar, &clsMultiVar::SetVariableVar, &clsMultiVar::SetListVar,
                   &clsMultiVar::SetFloatVar, &clsMultiVar::SetVar, &clsMultiVar::SetArrayVar}) {
    EXPECT_EQ(U8((vars.*set)(U(" \t "), U("1"))), "Variable Name was blank.");
  }
  EXPECT_EQ(vars.Count(), 0u);
  vars.AddStringVar(U("first"), U("x"), false);
  EXPECT_EQ(U8(vars.SetIntegerVar(U("KEY"), 5)), "");
  EXPECT_EQ(U8(vars.SetStringVar(U(" Key "), U("'text'"))), "");
  ASSERT_EQ(vars.Count(), 2u);
  clsSingleVar const& key = *std::next(vars.begin());
  EXPECT_EQ(U8(key.GetName()), "Key");
  EXPECT_EQ(key.GetType(), kVarTypeString);
  EXPECT_EQ(key.GetIntegerValue(), 0);
  EXPECT_EQ(U8(key.GetStringValue()), "text");

  // Set family names are not checked.
  EXPECT_EQ(U8(vars.SetIntegerVar(U("a$"), U(" 7 "))), "");
  EXPECT_EQ(vars.Count(), 3u);

  // A list entry is emptied and reused.
  EXPECT_EQ(U8(vars.SetListVar(U("l"), U("a\nb"))), "");
  clsMultiVar::iterator it;
  ASSERT_TRUE(vars.GetVar(U("l"), it));
  UniStringList* list = it->GetListValue(false);
  EXPECT_EQ(U8(vars.SetListVar(U("L"), U("c"))), "");
  EXPECT_EQ(it->GetListValue(false), list);
  EXPECT_EQ(U8(it->GetValue_AsString()), "c");
  EXPECT_EQ(U8(vars.SetVariableVar(U("l"), U(" v "))), "");
  EXPECT_EQ(it->GetType(), kVarTypeVariable);
  EXPECT_EQ(U8(it->GetStringValue()), "v");
  EXPECT_EQ(it->GetListValue(false), nullptr);
}

TEST(clsMultiVarTest, Rename) {
  clsMultiVar vars;
  vars.AddIntegerVar(U("a"), 1, false);
  vars.AddIntegerVar(U("b"), 2, false);
  EXPECT_EQ(U8(vars.RenameVar(U("a"), U("a"), true)), "There is already a variable named a.");
  EXPECT_EQ(U8(vars.RenameVar(U("a"), U(" B"), true)), "There is already a variable named  B.");
  EXPECT_EQ(U8(vars.RenameVar(U("zz"), U("c"), true)), "A variable named zz was not found.");
  EXPECT_EQ(U8(vars.RenameVar(U("A"), U(" c$ "), true)), "");
  EXPECT_EQ(U8(vars.begin()->GetName()), "c$");
  EXPECT_EQ(U8(vars.RenameVar(U("b"), U("c$"), false)), "");
  EXPECT_EQ(U8(std::next(vars.begin())->GetName()), "c$");
}
