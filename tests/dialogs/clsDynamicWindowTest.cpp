// Tests of the dialog window through the window server's driver: the window a type becomes, the
// controls each kind becomes, placement, the modal loop with its menu bar, and the values the
// window keeps when it closes. Handlers are reached only through user actions.
#include "dialogs/clsDynamicWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogRecorder.h"
#include "platform/carbon/MenusInternal.h"
#include "platform/carbon/MenusTesting.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

using stcRecorder = stcDialogRecorder;

class clsDynamicWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowsResetForTesting();
    MenusResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
  }
  void TearDown() override {
    WindowsResetForTesting();
    MenusResetForTesting();
  }
};

// A dialog of most kinds: a label, edits, a check box, a radio group, a popup, a list, a tab control.
clsDWLayout KitchenSink() {
  clsDWLayout layout;
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddLabel(101, UniString("Hello"), 0, 0, 0, 0);
  root.AddEdit(102, UniString("one"), 100, 0, false, false, false, false);
  root.AddEdit(103, UniString(), 100, 60, false, false, true, false);
  root.AddCheckBox(104, UniString("Tick"), 0, 0, false);
  {
    clsDWLayoutObject radio;
    radio.m_enmType = DWLO_RadioGroup;
    radio.m_lngID = 105;
    radio.m_ustrLabel = UniString("Pick");
    radio.AddItem(UniString("a"));
    radio.AddItem(UniString("b"));
    radio.AddItem(UniString("c"));
    radio.m_intValue = 0;
    root.m_vecChildren.push_back(radio);
  }
  auto popup = root.AddComboBox(106, UniString("x"), 80, false, false);
  popup->AddItem(UniString("x"));
  popup->AddItem(UniString("y"));
  popup->AddItem(UniString("z"));
  popup->m_intValue = 0;
  {
    clsDWLayoutObject list;
    list.m_enmType = DWLO_ListBox;
    list.m_lngID = 107;
    list.m_blnExpandH = true;
    list.AddItem(UniString("pear"));
    list.AddItem(UniString("apple"));
    list.AddFeature(2);  // sortable
    root.m_vecChildren.push_back(list);
  }
  {
    clsDWLayoutObject slider;
    slider.m_enmType = DWLO_Slider;
    slider.m_lngID = 108;
    slider.m_intValue = 10;
    root.m_vecChildren.push_back(slider);
  }
  root.AddButton(1, UniString("OK"), 0, 0, true, false, true);
  root.AddButton(2, UniString("Cancel"), 0, 0, false, true, true);
  layout.SetLayout(root);
  layout.SetTitle(UniString("Sink"));
  return layout;
}

TEST_F(clsDynamicWindowTest, WindowClassAndLimitsFollowTypeAndLayout) {
  struct stcCase {
    int32_t m_intType;
    bool m_blnResizableH, m_blnResizableV;
    WindowClass m_ulngClass;
    bool m_blnCloseBox;
  } const cases[] = {
      {0, false, false, kDocumentWindowClass, true},
      {1, false, false, kMovableModalWindowClass, false},
      {2, true, false, kFloatingWindowClass, false},
      {7, false, true, kMovableModalWindowClass, false},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_intType);
    clsDWLayout layout = KitchenSink();
    layout.SetResizable(c.m_blnResizableH, c.m_blnResizableV);
    clsDynamicWindow window;
    window.SetWindowType(c.m_intType);
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    stcWindowInfoForTesting info{};
    ASSERT_TRUE(WindowsInfoForTesting(window.GetWindowRef(), &info));
    EXPECT_EQ(c.m_ulngClass, info.m_ulngClass);
    EXPECT_EQ(c.m_blnCloseBox, info.m_blnHasCloseBox);
    EXPECT_EQ(c.m_blnResizableH || c.m_blnResizableV, info.m_blnResizable);
    EXPECT_EQ("Sink", info.m_strTitle);
    int const w = window.GetLayout().m_intWindowWidth;
    int const h = window.GetLayout().m_intWindowHeight;
    EXPECT_EQ(w, info.m_rctContent.right - info.m_rctContent.left);
    if (info.m_blnResizable) {
      EXPECT_EQ(w, info.m_udtMinSize.width);
      EXPECT_EQ(h, info.m_udtMinSize.height);
      EXPECT_EQ(c.m_blnResizableH ? 3000 : w, info.m_udtMaxSize.width);
      EXPECT_EQ(c.m_blnResizableV ? 3000 : h, info.m_udtMaxSize.height);
    }
  }
}

TEST_F(clsDynamicWindowTest, KindsBecomeTheirControls) {
  clsDWLayout layout = KitchenSink();
  clsDynamicWindow window;
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  WindowRef ref = window.GetWindowRef();
  // Radio group: group box, radio-group control and one button per item with derived ids.
  EXPECT_EQ(kViewGroupBox, Info(window, 105).m_enmKind);
  EXPECT_EQ(kViewRadioGroup, Info(window, 100105).m_enmKind);
  for (int n = 0; n < 3; ++n) EXPECT_EQ(kViewRadioButton, Info(window, 110105 + 10000 * n).m_enmKind);
  EXPECT_EQ(1, Info(window, 100105).m_intValue);
  // Multi-line edit: scroll view with a text view of id + 20000.
  EXPECT_EQ(kViewScrollView, Info(window, 103).m_enmKind);
  EXPECT_EQ(kViewTextView, Info(window, 20103).m_enmKind);
  // Popup: menu items, value = object value + 1.
  stcControlInfoForTesting const popup = Info(window, 106);
  EXPECT_EQ(kViewPopupButton, popup.m_enmKind);
  EXPECT_EQ((std::vector<std::string>{"x", "y", "z"}), popup.m_vecItems);
  EXPECT_EQ(1, popup.m_intValue);
  // Sortable list: rows shown in code-unit order.
  EXPECT_EQ((std::vector<std::string>{"apple", "pear"}), Info(window, 107).m_vecItems);
  // Slider from 0 to 100: eleven ticks.
  EXPECT_EQ(11, Info(window, 108).m_intTickMarks);
  stcWindowInfoForTesting info{};
  WindowsInfoForTesting(ref, &info);
  EXPECT_EQ(WindowsFindControlForTesting(ref, 1), info.m_hDefaultButton);
  EXPECT_EQ(WindowsFindControlForTesting(ref, 2), info.m_hCancelButton);
}

TEST_F(clsDynamicWindowTest, TabPagesShowByValueAndAFailedKindLeavesTheRest) {
  struct stcCase {
    int m_intValue;
    int m_intShownPage;  // 0-based
  } const cases[] = {{0, 0}, {2, 1}, {9, 0}};
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_intValue);
    WindowsResetForTesting();
    WindowsFailViewKindForTesting(kViewCheckBox);
    clsDWLayout layout;
    clsDWLayoutObject root;
    root.MakeMeAVBox(100, UniString(), 0, false);
    auto tabs = root.AddTabControl(200, 0, 0);
    tabs->m_intValue = c.m_intValue;
    for (int page = 0; page < 3; ++page) {
      auto p = tabs->AddTab(201 + page, UniString("Page"), true, 0, 0);
      p->AddEdit(301 + page, UniString(), 0, 0, false, false, false, false);
    }
    root.AddCheckBox(400, UniString("gone"), 0, 0, true);
    root.AddButton(1, UniString("OK"), 0, 0, true, false, true);
    layout.SetLayout(root);
    clsDynamicWindow window;
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    for (int page = 0; page < 3; ++page) {
      EXPECT_EQ(page == c.m_intShownPage, Info(window, 201 + page).m_blnVisible) << page;
    }
    EXPECT_EQ(nullptr, WindowsFindControlForTesting(window.GetWindowRef(), 400));
    EXPECT_EQ(kViewPushButton, Info(window, 1).m_enmKind);
    // Setting the value switches the page as a click would.
    window.UpdateControlValue(200, 3);
    EXPECT_TRUE(Info(window, 203).m_blnVisible);
    EXPECT_FALSE(Info(window, 201).m_blnVisible);
  }
}

TEST_F(clsDynamicWindowTest, PositionWindowCentresAndPullsBack) {
  clsDWLayout layout = KitchenSink();
  clsDynamicWindow window;
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  int w = 0, h = 0, left = 0, top = 0;
  window.GetWindowBounds(nullptr, nullptr, &w, &h);
  struct stcCase {
    int m_intX, m_intY, m_intLeft, m_intTop;
  } const cases[] = {
      {-1, -1, 720 - w / 2, 450 - h / 2},
      {5000, 5000, 1440 - w, 900 - h},
      {10, 0, 10, 22},  // not under the menu bar
  };
  for (auto const& c : cases) {
    window.PositionWindow(c.m_intX, c.m_intY);
    window.GetWindowBounds(&left, &top, nullptr, nullptr);
    EXPECT_EQ(c.m_intLeft, left) << c.m_intX;
    EXPECT_EQ(c.m_intTop, top) << c.m_intY;
  }
  // The display that holds the point decides.
  WindowsAddDisplayForTesting(1440, 0, 1000, 800);
  window.PositionWindow(1500, -1);
  window.GetWindowBounds(&left, &top, nullptr, nullptr);
  EXPECT_EQ(1500, left);
  EXPECT_EQ(400 - h / 2, top);
  window.DestroyWindow();
  window.GetWindowBounds(&left, &top, &w, &h);
  EXPECT_EQ(0, left);
  EXPECT_EQ(window.GetLayout().m_intWindowWidth, w);
}

TEST_F(clsDynamicWindowTest, ModalLoopEndsOnClosesOnlyAndKeepsTheMenuBarMeanwhile) {
  struct stcCase {
    char const* m_strName;
    bool m_blnVeto;
    std::vector<int> m_vecClicks;  // buttons clicked in order
    std::vector<std::string> m_vecCalls;
  } const cases[] = {
      {"a closing button closes", false, {1}, {"show", "button 1 closes"}},
      {"a vetoed close keeps the loop; a non-closing button made closing ends it", true, {1, 9},
       {"show", "button 1 closes", "button 9"}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    clsDWLayout layout = KitchenSink();
    clsDWLayoutObject root = layout;
    root.AddButton(9, UniString("Other"), 0, 0, false, false, false);
    layout.SetLayout(root);
    stcRecorder recorder;
    recorder.m_blnVetoClose = c.m_blnVeto;
    clsDynamicWindow window;
    window.SetWindowType(1);
    window.SetEventsObject(&recorder);
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    std::vector<std::string> barDuring;
    WindowsQueueCallForTesting([&] {
      for (MenuRef menu : MenuBarMenusForWindowServer()) barDuring.push_back(std::to_string(GetMenuID(menu)));
    });
    for (int id : c.m_vecClicks) WindowsQueueClickForTesting(id);
    window.MyShow();
    EXPECT_EQ(c.m_vecCalls, recorder.m_vecCalls);
    EXPECT_EQ((std::vector<std::string>{"200", "201"}), barDuring);
    EXPECT_TRUE(MenuBarMenusForWindowServer().empty());
    EXPECT_FALSE(IsWindowVisible(window.GetWindowRef()));
  }
}

TEST_F(clsDynamicWindowTest, CloseFromWindowShowEndsTheLoop) {
  clsDWLayout layout;
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddLabel(101, UniString("no buttons"), 0, 0, 0, 0);
  layout.SetLayout(root);
  stcRecorder recorder;
  recorder.m_blnCloseOnShow = true;
  clsDynamicWindow window;
  recorder.m_pWindow = &window;
  window.SetWindowType(1);
  window.SetEventsObject(&recorder);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  // Without the close from WindowShow the loop would find no button and no close box.
  EXPECT_NO_THROW(window.MyShow());
  EXPECT_EQ((std::vector<std::string>{"show"}), recorder.m_vecCalls);
  EXPECT_TRUE(WindowsPolicyStepsForTesting().empty());
}

TEST_F(clsDynamicWindowTest, ValuesAreSavedOnCloseWithTheFocusStillInAnEdit) {
  clsDWLayout layout = KitchenSink();
  stcRecorder recorder;
  clsDynamicWindow window;
  window.SetWindowType(1);
  window.SetEventsObject(&recorder);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  WindowsQueueClickForTesting(104);           // tick
  WindowsQueueClickForTesting(120105);        // radio "b"
  WindowsQueueClickForTesting(106);           // popup ...
  WindowsQueueMenuPickForTesting("z");        // ... takes "z"
  WindowsQueueClickRowForTesting(107, 1);     // "pear" (item 0)
  WindowsQueueClickForTesting(103);           // multi-line edit
  WindowsQueueTypeForTesting("ab\rc");
  WindowsQueueClickForTesting(102);           // single-line edit: leaves the multi-line one
  WindowsQueueTypeForTesting("two");
  WindowsQueueKeyForTesting(13);              // Return: OK, focus still in 102
  window.MyShow();
  clsDWLayout& saved = window.GetLayout();
  bool found = false;
  EXPECT_EQ(1, saved.FindControlWithID(104, found)->m_intValue);
  EXPECT_EQ(1, saved.FindControlWithID(105, found)->m_intValue);
  EXPECT_EQ(2, saved.FindControlWithID(106, found)->m_intValue);
  EXPECT_EQ(UniString("z"), saved.FindControlWithID(106, found)->m_ustrLabel);
  EXPECT_EQ(0, saved.FindControlWithID(107, found)->m_intValue);
  EXPECT_EQ(UniString("onetwo"), saved.FindControlWithID(102, found)->m_ustrLabel);
  UniStringList lines;
  saved.FindControlWithID(103, found)->GetText(&lines);
  EXPECT_EQ(2u, lines.Count());
  EXPECT_EQ((std::vector<std::string>{"show", "check 104", "radio 105", "combo 106", "list 107 0",
                                      "key 103 97 0", "key 103 98 0", "key 103 13 0", "key 103 99 0",
                                      "editchange 103", "key 102 116 0", "key 102 119 0",
                                      "key 102 111 0", "key 102 13 0", "editchange 102", "button 1 closes"}),
            recorder.m_vecCalls);
}

TEST_F(clsDynamicWindowTest, KeysFollowTheTabRulesModifiersAndEatKeys) {
  clsDWLayout layout;
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddEdit(10, UniString(), 100, 0, false, false, false, false);
  auto tabbed = root.AddEdit(11, UniString(), 100, 0, false, false, false, false);
  tabbed->AddFeature(16);
  root.AddEdit(12, UniString(), 100, 60, false, false, true, false);
  root.AddButton(1, UniString("OK"), 0, 0, true, false, true);
  layout.SetLayout(root);
  stcRecorder recorder;
  clsDynamicWindow window;
  window.SetEventsObject(&recorder);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();  // a document window: the test dispatches
  window.UpdateFocus(10);
  WindowsQueueKeyForTesting(9);                      // 10 -> 11, handler not told
  WindowsQueueKeyForTesting('A', shiftKey | cmdKey);  // 11: modifiers 9
  WindowsQueueKeyForTesting(9);                      // 11 takes Tab as text
  WindowsQueueCallForTesting([&] { window.EatKeys(true); });
  WindowsQueueTypeForTesting("x");                   // eaten
  WindowsQueueCallForTesting([&] { window.EatKeys(false); });
  WindowsQueueClickForTesting(12);
  WindowsQueueKeyForTesting(9);                      // multi-line: moves on, not told
  WindowsDispatchAllForTesting();
  // The inserted Tab is already in the label, so leaving the field changes nothing.
  EXPECT_EQ((std::vector<std::string>{"key 11 65 9", "key 11 9 0"}), recorder.m_vecCalls);
  EXPECT_EQ("\t", Info(window, 11).m_strText);  // a command key types nothing
  EXPECT_TRUE(Info(window, 10).m_blnFocused);
}

TEST_F(clsDynamicWindowTest, ContextualMenusAreMadeOnceAndReportAuthorItemsOnly) {
  clsDWLayout layout;
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  auto edit = root.AddEdit(10, UniString("text"), 100, 0, false, false, false, false);
  UniStringList items;
  items.Add(UniString("Insert>Name;n"));
  items.Add(UniString("Plain"));
  edit->SetContextualMenu(&items);
  layout.SetLayout(root);
  stcRecorder recorder;
  clsDynamicWindow window;
  window.SetEventsObject(&recorder);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();
  window.UpdateFocus(10);
  WindowsQueueContextualClickForTesting(10);
  WindowsQueueMenuPickForTesting("Name");
  WindowsQueueContextualClickForTesting(10);
  WindowsQueueMenuPickForTesting("Select All");  // standard: carried out, not reported
  WindowsQueueContextualClickForTesting(10);
  WindowsQueueMenuPickForTesting("Plain");
  int const menusBefore = MenusCountAliveForTesting();
  WindowsDispatchAllForTesting();
  EXPECT_EQ((std::vector<std::string>{"menu 10 Name;n", "menu 10 Plain;"}), recorder.m_vecCalls);
  EXPECT_EQ(3u, ContextualMenuCallsForTesting().size());
  EXPECT_EQ(menusBefore + 2, MenusCountAliveForTesting());  // the node menu and its submenu, once
  window.DestroyWindow();
  EXPECT_EQ(menusBefore, MenusCountAliveForTesting());
}

}  // namespace
