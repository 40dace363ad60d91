// Tests of the fixed text metric that every dialog geometry test relies on.
#include "platform/carbon/Appearance.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AppearanceTest, TextDimensionsFollowTheFixedMetric) {
  struct stcCase {
    char const* m_strText;
    int m_intWrap;  // 0: unwrapped
    int m_intWidth;
    int m_intHeight;
  };
  stcCase const cases[] = {
      {"", 0, 0, 16},
      {"", 40, 0, 16},
      {"abc", 0, 24, 16},
      {"ab\r\ncde\rf\n", 0, 24, 48},  // a final line end opens no empty line
      {"\r", 0, 0, 16},
      {"\n\n", 0, 0, 32},
      {"a\r\rb", 0, 8, 48},
      {"aaaa bbbb", 40, 32, 32},      // the break blank is not counted
      {"aaaaa bb", 40, 40, 32},       // a blank right after a full line
      {"abcdefghijkl", 40, 40, 48},   // a long word is cut
      {"a  b", 16, 16, 32},           // only the break blank goes
      {"abc", 3, 8, 48},              // at least one unit a line
      {"aaaa bbbb", 0, 72, 16},
      {"aa bb cc\rdddddd", 40, 40, 64},
      {"中文 Привет — 日本語", 0, 160, 16},  // a wide character is 16 pixels, any other 8
      {"ab 日本", 40, 32, 32},  // wrapped by pixels, not by units
      {"日本語のテキスト", 40, 32, 64},  // a long wide word is cut between characters
      {"日本", 8, 16, 32},  // at least one wide character a line
      {"\xF0\x9F\x98\x80", 8, 16, 16},  // a surrogate pair is one character, never cut
      // the edges of the wide ranges, 20 wide, 19 narrow
      {"\u10FF\u1100\u115F\u1160\u2328\u2329\u232A\u232B\u2E7F\u2E80\u303E\u303F\u3040"
       "\uA4CF\uA4D0\uABFF\uAC00\uD7A3\uD7A4\uF8FF\uF900\uFAFF\uFB00\uFE0F\uFE10\uFE19"
       "\uFE1A\uFE2F\uFE30\uFE6F\uFE70\uFEFE\uFF00\uFF60\uFF61\uFFDF\uFFE0\uFFE6\uFFE7",
       0, 472, 16},
  };
  for (stcCase const& c : cases) {
    CFStringRef text = CFStringCreateWithCString(nullptr, c.m_strText, kCFStringEncodingUTF8);
    ASSERT_NE(text, nullptr);
    Point bounds = {0, SInt16(c.m_intWrap)};
    EXPECT_EQ(GetThemeTextDimensions(text, kThemeSystemFont, kThemeStateActive, c.m_intWrap != 0,
                                     &bounds, nullptr),
              noErr);
    EXPECT_EQ(bounds.h, c.m_intWidth) << '"' << c.m_strText << "\" at " << c.m_intWrap;
    EXPECT_EQ(bounds.v, c.m_intHeight) << '"' << c.m_strText << "\" at " << c.m_intWrap;
    CFRelease(text);
  }
  Point bounds = {0, 0};
  EXPECT_NE(GetThemeTextDimensions(nullptr, kThemeSystemFont, kThemeStateActive, false, &bounds,
                                   nullptr),
            noErr);
}

}  // namespace
