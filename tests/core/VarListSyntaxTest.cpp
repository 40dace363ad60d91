// Tests of the variable-list text syntax: the reader's table of inputs and results (blanks,
// quotes, escapes, braces, line-end and comma modes, every error text), the writer's lines, and
// the preference-file round trip (writer (true, true), reader (true, false, true)).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

namespace {

std::string U8(UniString const& s) { return std::string(s.GetAnsiString(1).c_str()); }

std::string Shown(UniString const& s) {
  std::string out;
  for (char c : U8(s)) out += c == '\r' ? std::string("\\r") : std::string(1, c);
  return "[" + out + "]";
}

// One entry per "|": name:type:value, arrays nested in braces, list lines joined by "/".
std::string Describe(clsMultiVar const& vars) {
  std::string out;
  for (clsSingleVar const& v : vars) {
    if (!out.empty()) out += " | ";
    out += U8(v.GetName()) + ":";
    switch (v.GetType()) {
      case kVarTypeString: out += "str:" + Shown(v.GetStringValue()); break;
      case kVarTypeVariable: out += "var:" + Shown(v.GetStringValue()); break;
      case kVarTypeInteger: out += "int:" + std::to_string(v.GetIntegerValue()); break;
      case kVarTypeFloat: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%g", v.GetFloatValue());
        out += std::string("float:") + buf;
        break;
      }
      case kVarTypeArray:
        out += v.GetArrayValue() ? "arr:{" + Describe(*v.GetArrayValue()) + "}" : "arr:null";
        break;
      case kVarTypeList: {
        out += "list:";
        clsSingleVar copy(v);
        UniStringList* list = copy.GetListValue(false);
        for (unsigned int i = 0; list && i < list->Count(); ++i) out += (i ? "/" : "") + Shown(list->At(i));
        break;
      }
      default: out += "type" + std::to_string(v.GetType()); break;
    }
  }
  return out;
}

UniStringList Lines(std::vector<std::string> const& lines) {
  UniStringList list;
  for (std::string const& l : lines) list.Add(UniString(l.c_str()));
  return list;
}

struct Flags {
  bool unique, comma, lineEnd;
};
std::vector<Flags> const kLineEndEither = {{true, false, true}, {false, false, true}, {true, true, true}, {false, true, true}};
std::vector<Flags> const kNoLineEndEither = {{true, false, false}, {false, false, false}};

struct SyntaxRow {
  std::vector<std::string> input;
  std::vector<Flags> flags;
  std::string entries;
  std::string error;
};

}  // namespace

TEST(VarListSyntaxTest, ReaderTable) {
  std::string const braces =
      "The number of closing Curly Brackets does not Match the number of opening Curly Brackets for ";
  std::vector<SyntaxRow> const rows = {
      {{"a=1; b=-2; c=.5; d=1.2.3"}, kLineEndEither, "a:int:1 | b:int:-2 | c:float:0.5 | d:str:[1.2.3]", ""},
      // Nested arrays are read without line-end delimiting: the last plain value keeps its blank.
      {{"x; \"y\"; {k=v}"}, kLineEndEither, ":str:[x] | :str:[y] | :arr:{k:str:[v ]}", ""},
      {{"p=\"a\\\"b\""}, kLineEndEither, "p:str:[a\"b]", ""},
      {{"p=a\\b"}, kLineEndEither, "p:str:[a\\b]", ""},
      {{"p=\"a\\\\b\"; q='a\\'b'; r=\"a\\xb\""}, kLineEndEither, "p:str:[a\\b] | q:str:[a'b] | r:str:[a\\xb]", ""},
      {{"a= hello"}, kLineEndEither, "a:str:[ hello]", ""},
      {{"a=hello"}, kNoLineEndEither, "a:str:[hello ]", ""},
      {{"p=\"a;b\""}, kLineEndEither, "", "Ending Quote not Found for Variable named p."},
      {{"p=\"a\\;b\""}, kLineEndEither, "p:str:[a;b]", ""},
      {{"a=1; a=2"}, {{true, false, true}}, "a:int:1", "Duplicate Variable Name: a"},
      {{"a=1; A =2"}, {{true, false, true}}, "a:int:1", "Duplicate Variable Name: A"},
      {{"a=1; a=2"}, {{false, false, true}}, "a:int:2", ""},
      {{"\"title\"=Hello"}, kLineEndEither, "\"title\":var:[Hello]", ""},
      {{"\"t\"=\"x\"; {b}=1"}, kLineEndEither, "\"t\":var:[\"x\"] | {b}:int:1", ""},
      {{"a=\"x\" b"}, kLineEndEither, "", "Expected a Semicolon after the Value for the Variable named a."},
      {{"\"x\" y"}, kLineEndEither, "", "Expected a Delimiter after the Value \"x\"."},
      {{"a=\"x\"=1"}, kLineEndEither, "", "Unexpected Equals after the Value for the Variable named a."},
      {{"b=1", "a={k=1"}, kLineEndEither, "b:int:1", braces + "Variable named a."},
      {{"{k=1"}, kLineEndEither, "", braces + "Unnamed Variable {k=1 ."},
      {{"\"abc"}, kLineEndEither, "", "Ending Quote not Found for Unnamed Variable \"abc."},
      {{"a="}, {{true, false, true}}, "a:str:[]", ""},
      {{"a="}, {{false, false, true}}, "", ""},
      {{"a={}"}, {{true, false, true}}, "", ""},
      {{"a={}"}, {{false, false, true}}, "a:arr:{}", ""},
      {{"a=1;", ""}, kLineEndEither, "a:int:1 | :str:[] | :str:[]", ""},
      {{"a=1;;b=2"}, kNoLineEndEither, "a:int:1 | :str:[] | b:int:2", ""},
      {{"a=x", "y"}, kNoLineEndEither, "a:list:[x ]/[y]", ""},
      {{"a=\"x", "y\""}, kNoLineEndEither, "a:str:[x \\ry]", ""},
      {{"a=\"x\"", "b=1"}, kNoLineEndEither, "", "Expected a Semicolon after the Value for the Variable named a."},
      {{"ab", "c=1"}, kNoLineEndEither, "ab c:int:1", ""},
      {{"a={k=1;", "m=2}"}, kLineEndEither, "a:arr:{k:int:1 | m:int:2}", ""},
      {{"a={k=1;", "m=2}"}, kNoLineEndEither, "a:arr:{k:int:1 | m:int:2}", ""},
      {{"n=-; m=+5; o=1e3; p=-.5; q=0x1f"}, kLineEndEither,
       "n:str:[-] | m:str:[+5] | o:str:[1e3] | p:float:-0.5 | q:str:[0x1f]", ""},
      // A quote after a blank opens no quoted value: complete it is still a string, cut short by
      // a delimiter it is the inference's quote error.
      {{"a= \"x y\""}, kLineEndEither, "a:str:[x y]", ""},
      {{"a= \"x;y\""}, kLineEndEither, "", "Ending Quote Not Found or Not Matched for String Variable named a."},
      {{"a= {x}y"}, kLineEndEither, "", "Closing Curly Bracket Not Found for Array Variable named a."},
      {{"a$=1"}, kLineEndEither, "",
       "Invalid Variable Name: a$; Variable Names cannot contain the following: \",',$,{,},;"},
      {{"a=1,b=2"}, {{true, true, true}, {false, true, false}}, "a:int:1 | b:int:2", ""},
      {{"a=1,b=2"}, {{true, false, true}}, "a:str:[1,b=2]", ""},
      {{"p=\"a\\,b\""}, {{true, true, true}}, "p:str:[a,b]", ""},
      {{"p=\"a\\,b\""}, {{true, false, true}}, "p:str:[a\\,b]", ""},
      {{"p=\"a,b\""}, {{true, true, true}}, "", "Ending Quote not Found for Variable named p."},
      // An escape left pending at the end of a value does not reach into the next one.
      {{"a=x\\", "b=\"y\""}, kLineEndEither, "a:str:[x] | b:str:[y]", ""},
  };
  for (SyntaxRow const& row : rows) {
    for (Flags const& f : row.flags) {
      clsMultiVar vars;
      UniStringList lines = Lines(row.input);
      UniString error = vars.ParseVariables(&lines, f.unique, f.comma, f.lineEnd);
      std::string const where = row.input[0] + " flags " + std::to_string(f.unique) +
                                std::to_string(f.comma) + std::to_string(f.lineEnd);
      EXPECT_EQ(U8(error), row.error) << where;
      EXPECT_EQ(Describe(vars), row.entries) << where;
    }
  }
}

TEST(VarListSyntaxTest, ReaderAgainstExistingEntriesAndEmptyInput) {
  clsMultiVar vars;
  vars.AddIntegerVar(UniString("a"), 5, false);
  EXPECT_EQ(U8(vars.ParseVariables(UniString("A=1"), true, false, true)), "Duplicate Variable Name: A");
  EXPECT_EQ(U8(vars.ParseVariables(UniString("a="), false, false, false)), "");
  EXPECT_EQ(Describe(vars), "a:int:0");  // value cleared, type kept
  EXPECT_EQ(U8(vars.ParseVariables(UniString(""), false, false, true)), "");
  EXPECT_EQ(U8(vars.ParseVariables(static_cast<UniStringList*>(nullptr), true, false, true)), "");
  EXPECT_EQ(vars.Count(), 1u);
}

TEST(VarListSyntaxTest, DirectTextMembers) {
  clsMultiVar vars;
  EXPECT_EQ(U8(vars.AddArrayVar(UniString("n"), UniString("x"), false)),
            "Start and End Curly Brackets not found for Array Variable named n.");
  EXPECT_EQ(U8(vars.AddArrayVar(UniString(""), UniString("x"), false)),
            "Start and End Curly Brackets not found for Array Variable.");
  EXPECT_EQ(U8(vars.SetArrayVar(UniString("n"), UniString("x"))),
            "Start and End Curly Brackets not found for Array Variable named n.");
  EXPECT_EQ(U8(vars.SetArrayVar(UniString(" "), UniString("{}"))), "Variable Name was blank.");
  EXPECT_EQ(U8(vars.SetVar(UniString(" "), UniString("1"))), "Variable Name was blank.");
  EXPECT_EQ(U8(vars.AddVar(UniString("s"), UniString("'x\""), false)),
            "Ending Quote Not Found or Not Matched for String Variable named s.");
  EXPECT_EQ(vars.Count(), 0u);
  EXPECT_EQ(U8(vars.AddArrayVar(UniString("e"), UniString(""), false)), "");
  EXPECT_EQ(U8(vars.AddVar(UniString("l"), UniString("a\r\nb"), false)), "");
  EXPECT_EQ(U8(vars.SetVar(UniString("E"), UniString("{k=1}"))), "");
  EXPECT_EQ(Describe(vars), "E:arr:{k:int:1} | l:list:[a]/[b]");
  // A failing nested text keeps what it read in an existing array.
  EXPECT_EQ(U8(vars.SetArrayVar(UniString("e"), UniString("{k=1; m=\"x}"))),
            "Ending Quote not Found for Variable named m.");
  EXPECT_EQ(Describe(vars), "e:arr:{k:int:1} | l:list:[a]/[b]");
}

TEST(VarListSyntaxTest, WriterTable) {
  clsMultiVar vars;
  vars.AddIntegerVar(UniString("n"), 5, false);
  vars.AddStringVar(UniString("s"), UniString("a\"b"), false);
  vars.AddStringVar(UniString(""), UniString("z"), false);
  vars.AddListVar(UniString("l"), UniString("x\ry"), false);
  vars.AddFloatVar(UniString("f"), 2.5, false);
  vars.ParseVariables(UniString("arr={a=1; x}; \"t\"=Hello; w=a;b\\c\\"), true, false, true);
  vars.AddArrayVar(UniString("e"), UniString(""), false);

  struct WriterRow {
    bool quote, skipLists;
    std::vector<std::string> lines;
  };
  std::vector<WriterRow> const rows = {
      {true, true, {"n=5", "s=\"a\\\"b\"", "\"z\"", "f=2.5000", "arr={a=1; x }", "\"t\"=Hello", "w=\"a\"", "\"b\\\\c\\\\\"", "e="}},
      {false, false, {"n=5", "s=a\"b", "z", "l=x\ry", "f=2.5000", "arr={a=1; x }", "\"t\"=Hello", "w=a", "b\\c\\", "e="}},
  };
  for (WriterRow const& row : rows) {
    UniStringList lines;
    lines.Add(UniString("stale"));
    vars.GetVarsAsList(&lines, row.quote, row.skipLists);
    std::vector<std::string> got;
    for (UniString const& l : lines) got.push_back(U8(l));
    EXPECT_EQ(got, row.lines) << row.quote << row.skipLists;
  }
  // Backslash, double quote and semicolon are escaped in quoted strings.
  clsMultiVar tricky;
  tricky.AddStringVar(UniString("w"), UniString("a;b\\c\"d\\"), false);
  UniStringList lines;
  tricky.GetVarsAsList(&lines, true, true);
  EXPECT_EQ(U8(lines.At(0)), "w=\"a\\;b\\\\c\\\"d\\\\\"");
  tricky.GetVarsAsList(nullptr, true, true);  // does nothing
}

TEST(VarListSyntaxTest, PreferenceRoundTrip) {
  std::mt19937 random(20240611u);
  std::vector<std::string> const pieces = {"a", "Z", " ", "\t", ";", "\"", "'", "\\", "{", "}", "=", ",",
                                           "$", "1", ".", "-", "\xC3\xA9", "\xE4\xB8\xAD", "\\\\", "\\\""};
  for (int round = 0; round < 40; ++round) {
    clsMultiVar written;
    int const count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      UniString const name(("k" + std::to_string(i)).c_str());
      switch (random() % 3) {
        case 0:
          written.AddIntegerVar(name, static_cast<int32_t>(random()), false);
          break;
        case 1: {
          std::string text;
          int const length = static_cast<int>(random() % 8);
          for (int j = 0; j < length; ++j) text += pieces[random() % pieces.size()];
          if (random() % 4 == 0) text += "\\";  // ends in a backslash
          written.SetStringVar(name, UniString("\"") + UniString(text.c_str()) + UniString("\""));
          break;
        }
        default: {
          int64_t const units = static_cast<int64_t>(random() % 2000000000u) - 1000000000;
          written.SetFloatVar(name, UniString(units / 10000.0));
          break;
        }
      }
    }
    written.AddStringVar(UniString(""), UniString("\"unnamed;\\\""), true);
    written.AddIntegerVar(UniString(""), -7, true);

    UniStringList lines;
    written.GetVarsAsList(&lines, true, true);
    clsMultiVar read;
    ASSERT_EQ(U8(read.ParseVariables(&lines, true, false, true)), "") << U8(lines.Text(kLineEndingLF));
    EXPECT_EQ(Describe(read), Describe(written)) << U8(lines.Text(kLineEndingLF));
  }
}

TEST(VarListSyntaxTest, DeepNestingIsRefusedNotOverflowed) {
  for (int depth : {100, 101, 50000}) {
    std::string const text = "a=" + std::string(depth, '{') + "k=1" + std::string(depth, '}');
    clsMultiVar vars;
    UniString error = vars.ParseVariables(UniString(text.c_str()), true, false, true);
    if (depth <= 100) {
      EXPECT_EQ(U8(error), "");
      EXPECT_EQ(vars.Count(), 1u);
    } else {
      EXPECT_EQ(U8(error), "The Curly Brackets are nested too deeply for Variable named a.");
      EXPECT_EQ(vars.Count(), 0u);
    }
  }
  clsMultiVar vars;
  EXPECT_EQ(U8(vars.AddArrayVar(UniString("b"), UniString((std::string(102, '{') + std::string(102, '}')).c_str()), false)),
            "The Curly Brackets are nested too deeply for Unnamed Variable " + std::string(100, '{') + ".");
}
