// Tests of clsSingleVar: ownership of nested containers (deep copies, hand-over, detaching,
// aliasing), the text forms, coercion between types and the asymmetric equality.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

namespace {

std::string U8(UniString const& s) { return std::string(s.GetAnsiString(1).c_str()); }

clsSingleVar ArrayValue(char const* text) {
  clsMultiVar holder;
  holder.SetArrayVar(UniString("arr"), UniString(text));
  return *holder.begin();
}

}  // namespace

TEST(clsSingleVarTest, CopiesAreDeepAndHandOverTakesThePointer) {
  clsSingleVar original = ArrayValue("{a=1; b=x}");
  ASSERT_NE(original.GetArrayValue(), nullptr);
  clsSingleVar copy(original);
  ASSERT_NE(copy.GetArrayValue(), original.GetArrayValue());
  copy.GetArrayValue()->SetIntegerVar(UniString("a"), 99);
  EXPECT_EQ(U8(original.GetValue_AsString()), "{a=1; b=x }");
  EXPECT_EQ(U8(copy.GetValue_AsString()), "{a=99; b=x }");

  clsSingleVar assigned;
  assigned.SetListValue(nullptr, false);  // its old list must be freed by the assignment
  assigned = original;
  clsSingleVar const& self = assigned;
  assigned = self;  // self-assignment does nothing
  EXPECT_EQ(U8(assigned.GetValue_AsString()), "{a=1; b=x }");

  // A value assigned one of its own nested entries.
  clsSingleVar outer = ArrayValue("{in={deep=1}}");
  clsSingleVar const& inner = *outer.GetArrayValue()->begin();
  outer = inner;
  EXPECT_EQ(U8(outer.GetName()), "in");
  EXPECT_EQ(U8(outer.GetValue_AsString()), "{deep=1}");
  clsMultiVar nested;
  nested.SetArrayVar(UniString("x"), UniString("{y={z=2}}"));
  nested = *nested.begin()->GetArrayValue();
  EXPECT_EQ(nested.Count(), 1u);

  // Take-over hands the caller's container to the collection; without it a copy is made.
  clsMultiVar vars;
  clsMultiVar* array = new clsMultiVar();
  UniStringList* list = new UniStringList();
  list->Add(UniString("l1"));
  EXPECT_EQ(U8(vars.AddArrayVar(UniString("a"), array, false, true)), "");
  EXPECT_EQ(U8(vars.AddListVar(UniString("l"), list, false, true)), "");
  EXPECT_EQ(U8(vars.AddListVar(UniString("c"), list, false, false)), "");
  auto it = vars.begin();
  EXPECT_EQ((it++)->GetArrayValue(), array);
  EXPECT_EQ((it++)->GetListValue(false), list);
  EXPECT_NE(it->GetListValue(false), list);
  EXPECT_EQ(it->GetListValue(false)->At(0), UniString("l1"));

  // Detaching gives the list to the caller and leaves a named value of type 0.
  UniStringList* detached = it->GetListValue(true);
  EXPECT_EQ(it->GetType(), kVarTypeNone);
  EXPECT_EQ(U8(it->GetName()), "c");
  delete detached;

  clsSingleVar value;
  value.SetListValue(list, false);  // copy of a list owned elsewhere
  value.SetListValue(value.GetListValue(false), false);  // copy of its own list
  EXPECT_EQ(value.GetListValue(false)->At(0), UniString("l1"));
  value.SetListValue(value.GetListValue(false), true);  // adopting its own list keeps it
  EXPECT_EQ(value.GetListValue(false)->Count(), 1u);
  value.SetListValue(nullptr, true);
  EXPECT_EQ(value.GetType(), kVarTypeNone);
  value.SetListValue(nullptr, false);
  EXPECT_EQ(value.GetType(), kVarTypeList);
  EXPECT_EQ(value.GetListValue(false)->Count(), 0u);
}

TEST(clsSingleVarTest, SettersClearTheOldValue) {
  clsSingleVar v;
  v.SetName(UniString(" n "));
  v.SetIntegerValue(5);
  v.SetStringValue(UniString("x"));
  EXPECT_EQ(v.GetIntegerValue(), 0);
  EXPECT_EQ(U8(v.GetName()), " n ");
  v.SetFloatValue(1.5);
  EXPECT_EQ(U8(v.GetStringValue()), "");
  v.Clear(true);
  EXPECT_EQ(U8(v.GetName()), "");
  EXPECT_EQ(v.GetType(), kVarTypeNone);
}

TEST(clsSingleVarTest, TextForms) {
  clsDateTime when;
  when.SetAsString(AnsiString("12/25/2008 09:05:07"), AnsiString());
  UniStringList lines;
  lines.Add(UniString("a"));
  lines.Add(UniString("b"));
  clsSingleVar f, i, d, l, none, empty = ArrayValue("{}"), arr = ArrayValue("{a=1; 'x'}");
  f.SetFloatValue(2.5);
  i.SetIntegerValue(-7);
  d.SetDateTimeValue(when);
  l.SetListValue(&lines, false);
  clsMultiVar holder;
  holder.AddArrayVar(UniString("n"), UniString(""), false);  // array with no container
  std::vector<std::pair<clsSingleVar, std::string>> const rows = {
      {f, "2.5000"}, {i, "-7"}, {d, "12/25/2008 09:05:07"}, {l, "a\rb"}, {none, ""},
      {empty, ""}, {*holder.begin(), ""}, {arr, "{a=1; x}"}};
  for (auto const& row : rows) EXPECT_EQ(U8(row.first.GetValue_AsString()), row.second);
}

TEST(clsSingleVarTest, Coercion) {
  auto str = [](char const* t) { clsSingleVar v; v.SetStringValue(UniString(t)); return v; };
  auto flt = [](double x) { clsSingleVar v; v.SetFloatValue(x); return v; };
  clsSingleVar var;
  var.SetName(UniString("keep"));
  clsMultiVar holder;
  holder.AddVariableVar(UniString("keep"), UniString("x\ry"));
  var = *holder.begin();

  struct Row {
    clsSingleVar from;
    enumPluginVarType to;
    std::string text;  // GetValue_AsString after the coercion
    int32_t integer;
  };
  clsSingleVar three = ArrayValue("{a=1; b=2; c=3}");
  std::vector<Row> const rows = {
      {str("12abc"), kVarTypeInteger, "12", 12},  {flt(3.99), kVarTypeInteger, "3", 3},
      {flt(-3.99), kVarTypeInteger, "-3", -3},    {flt(1e12), kVarTypeInteger, "-2147483648", INT32_MIN},
      {three, kVarTypeInteger, "3", 3},           {str("x\ry"), kVarTypeList, "x\ry", 0},
      {var, kVarTypeList, "x\ry", 0},             {flt(2.5), kVarTypeString, "2.5000", 0},
      {str("'q'"), kVarTypeArray, "{q}", 0},      {flt(2.5), kVarTypeArray, "{2.5000}", 0},
      {three, kVarTypeList, "{a=1; b=2; c=3}", 0}, {str("7"), kVarTypeNone, "7", 0},
      {str("7"), static_cast<enumPluginVarType>(9), "7", 0}, {clsSingleVar(), kVarTypeString, "", 0},
  };
  for (Row const& row : rows) {
    clsSingleVar v(row.from);
    v.CoerceVarType(row.to);
    EXPECT_EQ(U8(v.GetValue_AsString()), row.text) << row.text;
    if (row.to == kVarTypeInteger) {
      EXPECT_EQ(v.GetIntegerValue(), row.integer);
    }
    EXPECT_EQ(v.GetName(), row.from.GetName());
  }
  clsSingleVar lines = str("x\ry");
  lines.CoerceVarType(kVarTypeList);
  EXPECT_EQ(lines.GetListValue(false)->Count(), 2u);
  var.CoerceVarType(kVarTypeList);
  EXPECT_EQ(var.GetListValue(false)->Count(), 1u);

  // A list becomes an array of one list entry that holds the very same list.
  UniStringList* list = lines.GetListValue(false);
  lines.CoerceVarType(kVarTypeArray);
  ASSERT_EQ(lines.GetArrayValue()->Count(), 1u);
  EXPECT_EQ(lines.GetArrayValue()->begin()->GetListValue(false), list);
  lines.CoerceVarType(kVarTypeFloat);
  EXPECT_EQ(lines.GetFloatValue(), 1.0);

  clsSingleVar when = str("12/25/2008 09:05:07");
  when.CoerceVarType(kVarTypeDateTime);
  EXPECT_EQ(U8(when.GetValue_AsString()), "12/25/2008 09:05:07");
  clsSingleVar bad = str("not a date");
  bad.SetDateTimeValue(when.GetDateTimeValue());
  bad.SetStringValue(UniString("not a date"));
  bad.CoerceVarType(kVarTypeDateTime);  // unreadable: the member stays as it was
  EXPECT_TRUE(bad.GetDateTimeValue() == when.GetDateTimeValue());
  clsSingleVar seconds;
  seconds.SetIntegerValue(-1);
  seconds.CoerceVarType(kVarTypeDateTime);
  EXPECT_EQ(seconds.GetDateTimeValue().GetAsSeconds(), 4294967295u);

  // Floats are seconds over the whole unsigned range: a date-time after 2038 read as a float
  // converts back to itself.
  for (double number : {3000000000.75, 4294967295.0, 1.9}) {
    clsSingleVar late = flt(number);
    late.CoerceVarType(kVarTypeDateTime);
    EXPECT_EQ(late.GetDateTimeValue().GetAsSeconds(), static_cast<uint32_t>(number)) << number;
    late.CoerceVarType(kVarTypeFloat);
    EXPECT_EQ(late.GetFloatValue(), static_cast<double>(static_cast<uint32_t>(number)));
  }
  clsSingleVar negative = flt(-1.5);
  negative.CoerceVarType(kVarTypeDateTime);
  EXPECT_EQ(negative.GetDateTimeValue().GetAsSeconds(), 4294967295u);
}

TEST(clsSingleVarTest, EqualityConvertsTheLeftSide) {
  clsSingleVar f, s;
  f.SetName(UniString("n"));
  s.SetName(UniString("n"));
  f.SetFloatValue(2.5);
  s.SetStringValue(UniString("2.5"));
  EXPECT_FALSE(f == s);  // 2.5000 against 2.5
  EXPECT_TRUE(s == f);
  EXPECT_TRUE(f != s);
  clsSingleVar upper(f);
  upper.SetName(UniString("N"));
  EXPECT_FALSE(upper == f);

  // A right side of type none equals any value of its name; a left none becomes the empty text.
  clsSingleVar none;
  none.SetName(UniString("n"));
  EXPECT_TRUE(s == none);
  EXPECT_FALSE(none == s);

  clsMultiVar a, b;
  a.ParseVariables(UniString("x=1; y=\"t\"; z={k=1}"), true, false, true);
  b.ParseVariables(UniString("z={k=1}; x=1; y=\"t\""), true, false, true);
  EXPECT_TRUE(a == b);
  clsMultiVar c;
  c.ParseVariables(UniString("X=1; y=\"t\"; z={k=1}"), true, false, true);
  EXPECT_FALSE(a == c);
  c.Clear();
  EXPECT_FALSE(a == c);
}
