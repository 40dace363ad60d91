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
