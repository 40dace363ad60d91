// Tests of the dialog window's event routing through the window server's driver, one row per kind
// of control event: tab pages, small buttons and buttons with a menu, hyperlinks and their URLs,
// labels, editable combo boxes, radio buttons of a controller, live sliders, list rows, cursors
// over tracking areas, the multi-line edit's frame and region; then closes vetoed from the close
// box, keys eaten on their way up, the menu bar of nested modal loops, and the records a window
// frees when its controls go.
#include "dialogs/clsDynamicWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "DialogRecorder.h"
#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/MenusInternal.h"
#include "platform/carbon/MenusTesting.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

class clsDynamicWindowEventsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("VELMORA_NO_BROWSER", "1", 1);
    AESetBrowserLaunchEnabledForTesting(false);
  }
  void SetUp() override {
    WindowsResetForTesting();
    MenusResetForTesting();
    AEClearSentEventsForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
  }
  void TearDown() override {
    WindowsResetForTesting();
    MenusResetForTesting();
    AEClearSentEventsForTesting();
  }
};

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }

enum : int32_t {
  kTabs = 20, kSmall = 30, kMenuButton = 31, kLink = 40, kPlainLabel = 41, kCombo = 50,
  kController = 60, kRadioA = 61, kRadioB = 62, kSlider = 70, kSliderEdit = 71, kList = 80,
  kMultiLine = 90, kEdit = 91
};

// A document window with one control of each kind that has event rows of its own.
clsDWLayout EventSink() {
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  {
    auto tabs = root.AddTabControl(kTabs, 0, 0);
    tabs->m_intValue = 1;
    for (int page = 0; page < 2; ++page) {
      auto p = tabs->AddTab(21 + page, U(page == 0 ? "One" : "Two"), true, 0, 0);
      p->AddLabel(24 + page, U("page"), 0, 0, 0, 0);
    }
  }
  root.AddSmallButton(kSmall, U("..."), 0, 0);
  {
    auto button = root.AddButton(kMenuButton, U("Insert"), 0, 0, false, false, true);
    UniStringList items;
    items.Add(U("Alpha;a"));
    items.Add(U("Beta;b"));
    button->SetContextualMenu(&items);
  }
  root.AddLabel(kLink, U("http://example.test/"), 0, 0, 0, 0)->AddFeature(1);
  root.AddLabel(kPlainLabel, U("plain"), 0, 0, 0, 0);
  {
    auto combo = root.AddComboBox(kCombo, U("red"), 100, true, false);
    combo->AddItem(U("red"));
    combo->AddItem(U("green"));
    combo->m_intValue = 0;
  }
  {
    clsDWLayoutObject controller;
    controller.m_enmType = DWLO_RadioController;
    controller.m_lngID = kController;
    controller.AddItem(U("61"));
    controller.AddItem(U("62"));
    controller.m_intValue = 0;
    root.m_vecChildren.push_back(controller);
    for (int32_t id : {kRadioA, kRadioB}) {
      clsDWLayoutObject button;
      button.m_enmType = DWLO_RadioButton;
      button.m_lngID = id;
      button.m_lngAssociateID = kController;
      button.m_ustrLabel = U(id == kRadioA ? "A" : "B");
      root.m_vecChildren.push_back(button);
    }
  }
  {
    clsDWLayoutObject slider;
    slider.m_enmType = DWLO_Slider;
    slider.m_lngID = kSlider;
    slider.m_intValue = 10;
    slider.m_lngAssociateID = kSliderEdit;
    root.m_vecChildren.push_back(slider);
  }
  root.AddEdit(kSliderEdit, U("10"), 60, 0, false, false, false, false);
  {
    clsDWLayoutObject list;
    list.m_enmType = DWLO_ListBox;
    list.m_lngID = kList;
    list.AddItem(U("first"));
    list.AddItem(U("second"));
    list.AddItem(U("third"));
    list.AddFeature(1);  // several rows at once
    root.m_vecChildren.push_back(list);
  }
  root.AddEdit(kMultiLine, U(""), 100, 60, false, false, true, false);
  root.AddEdit(kEdit, U("text"), 100, 0, false, false, false, false);
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(U("Events"));
  return layout;
}

// The centre of a control in content coordinates.
void Centre(clsDynamicWindow& window, int32_t id, int* x, int* y) {
  stcControlInfoForTesting const info = Info(window, id);
  *x = info.m_intX + info.m_intWidth / 2;
  *y = info.m_intY + info.m_intHeight / 2;
}

TEST_F(clsDynamicWindowEventsTest, EveryControlEventRow) {
  struct stcCase {
    char const* m_strName;
    std::function<void(clsDynamicWindow&, stcDialogRecorder&)> m_fnAct;  // queues actions
    std::vector<std::string> m_vecCalls;
    std::function<void(clsDynamicWindow&)> m_fnCheck;
  } const cases[] = {
      {"a tab hit shows its page and takes the focus away",
       [](clsDynamicWindow& w, stcDialogRecorder&) {
         w.UpdateFocus(kEdit);
         WindowsQueueClickForTesting(kTabs, 2);
       },
       {},
       [](clsDynamicWindow& w) {
         EXPECT_TRUE(Info(w, 22).m_blnVisible);
         EXPECT_FALSE(Info(w, 21).m_blnVisible);
         EXPECT_FALSE(Info(w, kEdit).m_blnFocused);
       }},
      {"a small button reports its click, not closing",
       [](clsDynamicWindow&, stcDialogRecorder&) { WindowsQueueClickForTesting(kSmall); },
       {"button 30"}, nullptr},
      {"a button with a menu shows it instead of clicking",
       [](clsDynamicWindow&, stcDialogRecorder&) {
         WindowsQueueClickForTesting(kMenuButton);
         WindowsQueueMenuPickForTesting("Beta");
       },
       {"menu 31 Beta;b"}, nullptr},
      {"a hyperlink sends its text to the browser",
       [](clsDynamicWindow&, stcDialogRecorder&) { WindowsQueueClickForTesting(kLink); },
       {"link 40 http://example.test/"},
       [](clsDynamicWindow&) {
         ASSERT_EQ(1u, AEGetSentEventsForTesting().size());
         EXPECT_EQ("http://example.test/", AEGetSentEventsForTesting()[0].directText);
       }},
      {"a hyperlink sends the URL its handler leaves",
       [](clsDynamicWindow&, stcDialogRecorder& r) {
         r.m_blnRewriteURL = true;
         r.m_strURL = "mailto:a@example.test";
         WindowsQueueClickForTesting(kLink);
       },
       {"link 40 http://example.test/"},
       [](clsDynamicWindow& w) {
         ASSERT_EQ(1u, AEGetSentEventsForTesting().size());
         EXPECT_EQ("mailto:a@example.test", AEGetSentEventsForTesting()[0].directText);
         EXPECT_EQ("http://example.test/", Info(w, kLink).m_strText);
       }},
      {"a hyperlink whose handler clears the URL sends nothing",
       [](clsDynamicWindow&, stcDialogRecorder& r) {
         r.m_blnRewriteURL = true;
         WindowsQueueClickForTesting(kLink);
       },
       {"link 40 http://example.test/"},
       [](clsDynamicWindow&) { EXPECT_TRUE(AEGetSentEventsForTesting().empty()); }},
      {"a plain label takes no click",
       [](clsDynamicWindow&, stcDialogRecorder&) { WindowsQueueClickForTesting(kPlainLabel); },
       {}, nullptr},
      {"an editable combo box reports a new text when left, not a click",
       [](clsDynamicWindow&, stcDialogRecorder&) {
         WindowsQueueClickForTesting(kCombo);
         WindowsQueueMenuPickForTesting("green");
         WindowsQueueClickForTesting(kEdit);
       },
       {"combo 50"},
       [](clsDynamicWindow& w) {
         bool found = false;
         auto combo = w.GetLayout().FindControlWithID(kCombo, found);
         EXPECT_EQ(U("green"), combo->m_ustrLabel);
         EXPECT_EQ(1, combo->m_intValue);
       }},
      {"an editable combo box left unchanged reports nothing",
       [](clsDynamicWindow&, stcDialogRecorder&) {
         WindowsQueueClickForTesting(kCombo);
         WindowsQueueClickForTesting(kEdit);
       },
       {}, nullptr},
      {"a radio button picks in its controller once",
       [](clsDynamicWindow&, stcDialogRecorder&) {
         WindowsQueueClickForTesting(kRadioB);
         WindowsQueueClickForTesting(kRadioB);
         WindowsQueueClickForTesting(kRadioA);
       },
       {"controller 60", "controller 60"},
       [](clsDynamicWindow& w) {
         EXPECT_EQ(1, Info(w, kRadioA).m_intValue);
         EXPECT_EQ(0, Info(w, kRadioB).m_intValue);
       }},
      {"a slider shows its value live in its edit and keeps its own until saved",
       [](clsDynamicWindow&, stcDialogRecorder&) { WindowsQueueClickForTesting(kSlider, 70); },
       {},
       [](clsDynamicWindow& w) {
         EXPECT_EQ("70", Info(w, kSliderEdit).m_strText);
         bool found = false;
         EXPECT_EQ(10, w.GetLayout().FindControlWithID(kSlider, found)->m_intValue);
       }},
      {"list rows: one, another added, a double click",
       [](clsDynamicWindow&, stcDialogRecorder&) {
         WindowsQueueClickRowForTesting(kList, 1);
         WindowsQueueClickRowForTesting(kList, 2, cmdKey);
         WindowsQueueDoubleClickRowForTesting(kList, 0);
       },
       {"list 80 1", "list 80 1 multiple", "list 80 0", "double 80 0"}, nullptr},
      {"a contextual click on an edit without the focus shows nothing",
       [](clsDynamicWindow&, stcDialogRecorder&) { WindowsQueueContextualClickForTesting(kEdit); },
       {},
       [](clsDynamicWindow&) { EXPECT_TRUE(ContextualMenuCallsForTesting().empty()); }},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    MenusResetForTesting();
    AEClearSentEventsForTesting();
    clsDWLayout layout = EventSink();
    stcDialogRecorder recorder;
    clsDynamicWindow window;
    window.SetEventsObject(&recorder);
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    window.MyShow();  // a document window: the test dispatches
    c.m_fnAct(window, recorder);
    WindowsDispatchAllForTesting();
    EXPECT_EQ(c.m_vecCalls, recorder.m_vecCalls);
    if (c.m_fnCheck) c.m_fnCheck(window);
  }
}

TEST_F(clsDynamicWindowEventsTest, CursorsFollowTheTrackingAreas) {
  clsDWLayout layout = EventSink();
  clsDynamicWindow window;
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();
  struct stcCase {
    int32_t m_intOver;  // 0: an empty corner
    ThemeCursor m_ulngCursor;
  } const cases[] = {{kLink, kThemePointingHandCursor}, {kEdit, kThemeIBeamCursor},
                     {0, kThemeArrowCursor}, {kMultiLine, kThemeIBeamCursor},
                     {kPlainLabel, kThemeArrowCursor}, {kEdit, kThemeIBeamCursor},
                     {kLink, kThemePointingHandCursor}};
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_intOver);
    int x = 1, y = 1;
    if (c.m_intOver != 0) Centre(window, c.m_intOver == kMultiLine ? kMultiLine + 20000 : c.m_intOver, &x, &y);
    WindowsQueueMouseMoveForTesting(x, y);
    WindowsDispatchAllForTesting();
    EXPECT_EQ(c.m_ulngCursor, WindowsCursorForTesting());
  }
  // A hidden control's area changes nothing.
  HIViewSetVisible(WindowsFindControlForTesting(window.GetWindowRef(), kLink), false);
  WindowsQueueMouseMoveForTesting(1, 1);
  WindowsDispatchAllForTesting();
  EXPECT_EQ(kThemePointingHandCursor, WindowsCursorForTesting());
}

// The frame of a multi-line edit: drawn active (with the focus ring while focused) or inactive,
// and its structure region 2 points outside, 3 while focused.
TEST_F(clsDynamicWindowEventsTest, MultiLineEditDrawsItsFrameAndAnswersItsRegion) {
  clsDWLayout layout = EventSink();
  clsDynamicWindow window;
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();
  ControlRef scroll = WindowsFindControlForTesting(window.GetWindowRef(), kMultiLine);
  auto region = [&] {
    RgnHandle rgn = NewRgn();
    EventRef event = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlGetPartRegion, 0, kEventAttributeNone, &event);
    ControlPartCode const part = kControlStructureMetaPart;
    SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof scroll, &scroll);
    SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(event, kEventParamControlRegion, typeQDRgnHandle, sizeof rgn, &rgn);
    EXPECT_EQ(noErr, SendEventToEventTarget(event, GetControlEventTarget(scroll)));
    ReleaseEvent(event);
    Rect bounds{0, 0, 0, 0};
    GetRegionBounds(rgn, &bounds);
    DisposeRgn(rgn);
    return bounds;
  };
  auto frameLines = [&] {
    std::vector<std::string> lines;
    for (std::string const& line : WindowsDrawForTesting(window.GetWindowRef())) {
      if (line.rfind("EditTextFrame", 0) == 0 || line.rfind("FocusRect", 0) == 0) {
        lines.push_back(line.substr(0, line.find(' ', line.find(' ') + 1)));
      }
    }
    return lines;
  };
  stcControlInfoForTesting const info = Info(window, kMultiLine);
  Rect const plain = region();
  EXPECT_EQ(-2, plain.left);
  EXPECT_EQ(info.m_intWidth + 2, plain.right);
  // Only the multi-line edit draws a theme edit frame of its own here.
  EXPECT_EQ((std::vector<std::string>{"EditTextFrame active"}), frameLines());
  window.UpdateFocus(kMultiLine);
  Rect const focused = region();
  EXPECT_EQ(-3, focused.top);
  EXPECT_EQ(info.m_intHeight + 3, focused.bottom);
  EXPECT_EQ((std::vector<std::string>{"EditTextFrame active", "FocusRect on"}), frameLines());
  window.UpdateFocus(kEdit);
  window.DisableControl(kMultiLine);
  EXPECT_EQ((std::vector<std::string>{"EditTextFrame inactive"}), frameLines());
}

TEST_F(clsDynamicWindowEventsTest, CloseBoxVetoKeepsADocumentWindowOpen) {
  for (bool veto : {true, false}) {
    SCOPED_TRACE(veto);
    WindowsResetForTesting();
    clsDWLayout layout = EventSink();
    stcDialogRecorder recorder;
    recorder.m_blnVetoClose = veto;
    clsDynamicWindow window;
    window.SetEventsObject(&recorder);
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    window.MyShow();
    WindowsQueueClickForTesting(kSlider, 40);
    WindowsQueueCloseBoxForTesting();
    WindowsDispatchAllForTesting();
    EXPECT_EQ(std::vector<std::string>{"closebox"}, recorder.m_vecCalls);
    EXPECT_EQ(veto, window.IsShown());
    EXPECT_EQ(veto, bool(IsWindowVisible(window.GetWindowRef())));
    bool found = false;
    EXPECT_EQ(veto ? 10 : 40, window.GetLayout().FindControlWithID(kSlider, found)->m_intValue);
  }
}

// A handler below the window's own one sees whether the window took the key on its way up.
struct stcKeyUpWatch {
  std::vector<OSStatus> m_vecStatus;
  static OSStatus Handler(EventHandlerCallRef next, EventRef event, void* self) {
    OSStatus const status = CallNextEventHandler(next, event);
    static_cast<stcKeyUpWatch*>(self)->m_vecStatus.push_back(status);
    return status;
  }
};

TEST_F(clsDynamicWindowEventsTest, EatenKeysAreEatenDownAndUp) {
  clsDWLayout layout = EventSink();
  stcDialogRecorder recorder;
  clsDynamicWindow window;
  window.SetEventsObject(&recorder);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();
  stcKeyUpWatch watch;
  EventTypeSpec const keyUp{kEventClassKeyboard, kEventRawKeyUp};
  ASSERT_EQ(noErr, InstallEventHandler(GetWindowEventTarget(window.GetWindowRef()), stcKeyUpWatch::Handler,
                                       1, &keyUp, &watch, nullptr));
  window.UpdateFocus(kEdit);
  WindowsQueueCallForTesting([&] { window.EatKeys(true); });
  WindowsQueueKeyForTesting('x');
  WindowsQueueCallForTesting([&] { window.EatKeys(false); });
  WindowsQueueKeyForTesting('y');
  WindowsDispatchAllForTesting();
  EXPECT_EQ((std::vector<OSStatus>{noErr, eventNotHandledErr}), watch.m_vecStatus);
  EXPECT_EQ((std::vector<std::string>{"key 91 121 0"}), recorder.m_vecCalls);
  EXPECT_EQ("texty", Info(window, kEdit).m_strText);
}

// A modal dialog opened from another's handler puts its own menu bar up and the outer one back.
TEST_F(clsDynamicWindowEventsTest, NestedModalLoopsKeepTheirMenuBars) {
  auto bar = [] {
    std::string ids;
    for (MenuRef menu : MenuBarMenusForWindowServer()) ids += std::to_string(GetMenuID(menu)) + " ";
    return ids;
  };
  std::vector<std::string> seen;
  clsDWLayout layout;
  {
    clsDWLayoutObject root;
    root.MakeMeAVBox(100, UniString(), 0, false);
    root.AddButton(1, U("OK"), 0, 0, true, false, true);
    root.AddButton(5, U("More"), 0, 0, false, false, false);
    layout.SetLayout(root);
  }
  struct stcOuter : stcDialogRecorder {
    std::function<void()> m_fnMore;
    void ButtonClick(int32_t id, bool* close) override {
      stcDialogRecorder::ButtonClick(id, close);
      if (id == 5) m_fnMore();
    }
  } outer;
  clsDynamicWindow outerWindow, innerWindow;
  stcDialogRecorder inner;
  outer.m_fnMore = [&] {
    seen.push_back("outer: " + bar());
    innerWindow.SetWindowType(1);
    innerWindow.SetEventsObject(&inner);
    ASSERT_TRUE(innerWindow.BuildWindow(layout, 0, 0, 0, 0));
    WindowsQueueCallForTesting([&] { seen.push_back("inner: " + bar()); });
    WindowsQueueKeyForTesting(13);
    innerWindow.MyShow();
    seen.push_back("back: " + bar());
    WindowsQueueKeyForTesting(13);
  };
  outerWindow.SetWindowType(1);
  outerWindow.SetEventsObject(&outer);
  ASSERT_TRUE(outerWindow.BuildWindow(layout, 0, 0, 0, 0));
  std::string const before = bar();
  WindowsQueueClickForTesting(5);
  outerWindow.MyShow();
  EXPECT_EQ((std::vector<std::string>{"outer: 200 201 ", "inner: 200 201 ", "back: 200 201 "}), seen);
  EXPECT_EQ(before, bar());
  EXPECT_EQ((std::vector<std::string>{"show", "button 5", "button 1 closes"}), outer.m_vecCalls);
  EXPECT_EQ((std::vector<std::string>{"show", "button 1 closes"}), inner.m_vecCalls);
}

// The multi-line edit's record is freed through its scroll view when the text view was never made.
TEST_F(clsDynamicWindowEventsTest, DisposeControlsFreesEditRecordsWithoutTheTextView) {
  for (bool textViewFails : {false, true}) {
    SCOPED_TRACE(textViewFails);
    WindowsResetForTesting();
    if (textViewFails) WindowsFailViewKindForTesting(kViewTextView);
    clsDWLayout layout = EventSink();
    clsDynamicWindow window;
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    EXPECT_EQ(textViewFails, WindowsFindControlForTesting(window.GetWindowRef(), kMultiLine + 20000) == nullptr);
    EXPECT_NE(nullptr, Info(window, kMultiLine).m_ptrReference);
    EXPECT_NE(nullptr, Info(window, kSlider).m_ptrReference);
    window.DisposeControls(window.GetLayout());
    EXPECT_EQ(nullptr, Info(window, kMultiLine).m_ptrReference);  // freed, not lost
    EXPECT_EQ(nullptr, Info(window, kSlider).m_ptrReference);
    EXPECT_EQ(nullptr, Info(window, kList).m_ptrReference);
    window.DestroyWindow();
  }
}

}  // namespace
