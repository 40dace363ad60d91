// Tests of the window server's list view: rows sorted through the compare callback keep a sound
// order whatever the callback answers, also true both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/carbon/Controls.h"
#include "platform/carbon/MacWindows.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

char const* const kRows[] = {"d", "b", "e", "a", "c"};
int g_intOrder = 0;  // how the compare callback answers

OSStatus RowText(ControlRef, DataBrowserItemID item, DataBrowserPropertyID, DataBrowserItemDataRef data,
                 Boolean setValue) {
  if (setValue) return errDataBrowserPropertyNotSupported;
  CFStringRef text = CFStringCreateWithCString(nullptr, kRows[item - 1], kCFStringEncodingUTF8);
  OSStatus const status = SetDataBrowserItemDataText(data, text);
  CFRelease(text);
  return status;
}

Boolean Compare(ControlRef, DataBrowserItemID one, DataBrowserItemID two, DataBrowserPropertyID) {
  switch (g_intOrder) {
    case 0: return true;   // true both ways
    case 1: return false;  // false both ways
    case 2: return std::string(kRows[one - 1]) < kRows[two - 1];
    default: return one % 2 == 0;  // no order at all
  }
}

TEST(DataBrowserTest, SortingSurvivesAnyCompareAnswers) {
  struct stcCase {
    int m_intOrder;
    std::vector<std::string> m_vecShown;  // empty: any order of the five rows
  } const cases[] = {
      {0, {"d", "b", "e", "a", "c"}},
      {1, {"d", "b", "e", "a", "c"}},
      {2, {"a", "b", "c", "d", "e"}},
      {3, {}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_intOrder);
    WindowsResetForTesting();
    g_intOrder = c.m_intOrder;
    Rect const bounds{100, 100, 300, 300};
    WindowRef window = nullptr;
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, kWindowCompositingAttribute, &bounds, &window));
    ControlRef browser = nullptr;
    Rect const frame{0, 0, 150, 150};
    ASSERT_EQ(noErr, CreateDataBrowserControl(window, &frame, kDataBrowserListView, &browser));
    DataBrowserCallbacks callbacks;
    InitDataBrowserCallbacks(&callbacks);
    callbacks.u.v1.itemDataCallback = RowText;
    callbacks.u.v1.itemCompareCallback = Compare;
    SetDataBrowserCallbacks(browser, &callbacks);
    SetDataBrowserSortProperty(browser, MakeFourCharCode("LBSC"));
    ASSERT_EQ(noErr, AddDataBrowserItems(browser, kDataBrowserNoItem, 5, nullptr, kDataBrowserItemNoProperty));
    stcControlInfoForTesting info{};
    ASSERT_TRUE(WindowsControlInfoForTesting(browser, &info));
    ASSERT_EQ(5u, info.m_vecItems.size());
    if (!c.m_vecShown.empty()) {
      EXPECT_EQ(c.m_vecShown, info.m_vecItems);
    }
    std::vector<std::string> sorted = info.m_vecItems;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "e"}), sorted);  // each row once
    ReleaseWindow(window);
  }
  WindowsResetForTesting();
}

}  // namespace
