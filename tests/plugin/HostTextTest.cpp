// Tests of the host-text helpers: a host text's units up to a first U+0000, and its lines split
// at carriage returns only, empty pieces included.
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
