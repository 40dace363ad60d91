// Tests of the host-text helpers: a host text's units up to a first U+0000, its lines split at
// carriage returns only, empty pieces included, and lines joined back with CR between them.
#include "plugin/HostText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FmxTestHost.h"

namespace {
std::string Utf8(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }
}  // namespace

TEST(HostTextTest, ExtractTakesTheUnitsUpToAZeroUnit) {
  EXPECT_TRUE(ExtractFromFMXText(fmx::Text()).IsEmpty());
  fmx::Text text;
  fmx::unichar16 const units[] = {'a', 0x00FC, 0, 'c'};
  text.AssignUnicodeWithLength(units, 4);
  EXPECT_EQ("a\xC3\xBC", Utf8(ExtractFromFMXText(text)));
}

TEST(HostTextTest, LinesSplitAtCarriageReturnsOnly) {
  std::vector<std::pair<std::string, std::vector<std::string>>> const cases = {
      {"", {}},           {"a", {"a"}},           {"a\r", {"a", ""}},       {"\r", {"", ""}},
      {"\r\r", {"", "", ""}}, {"a\r\rb", {"a", "", "b"}}, {"a\r\nb", {"a", "\nb"}}, {"x\ny", {"x\ny"}},
  };
  for (auto const& c : cases) {
    fmx::Text text;
    FmxTestHost::SetText(text, c.first);
    UniStringList list;
    list.Add(UniString("left over"));
    ExtractLinesFromFMXText(text, &list);
    std::vector<std::string> lines;
    for (UniString const& line : list) lines.push_back(Utf8(line));
    EXPECT_EQ(c.second, lines) << c.first;
    EXPECT_EQ(c.first, FmxTestHost::ToUTF8(text)) << "the host text is not changed";
  }
  ExtractLinesFromFMXText(fmx::Text(), nullptr);
}

TEST(HostTextTest, LinesJoinWithCarriageReturnsAfterWhatTheTextHolds) {
  std::vector<std::pair<std::vector<std::string>, std::string>> const cases = {
      {{}, "z"},           {{""}, "z"},          {{"a", "b"}, "za\rb"}, {{"a", ""}, "za\r"},
      {{"", "b"}, "z\rb"}, {{"", ""}, "z\r"},   {{"x\ny"}, "zx\ny"},
  };
  for (auto const& c : cases) {
    UniStringList list;
    for (std::string const& line : c.first) list.Add(UniString(line.c_str()));
    fmx::TextAutoPtr text;
    FmxTestHost::SetText(*text, "z");
    InsertLinesIntoFMXText(&list, text);
    EXPECT_EQ(c.second, FmxTestHost::ToUTF8(*text));
    // Splitting the joined lines gives them back, but for a lone empty line.
    fmx::Text joined;
    joined.SetText(*text, 1);
    UniStringList back;
    ExtractLinesFromFMXText(joined, &back);
    EXPECT_EQ(c.first.size() == 1 && c.first[0].empty() ? 0u : list.Count(), back.Count());
  }
  fmx::TextAutoPtr text;
  InsertLinesIntoFMXText(nullptr, text);
  EXPECT_EQ(0u, text->GetSize());
}
