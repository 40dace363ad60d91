// Tests of control access by id on a realised window: values clamped per kind and shown by the
// live controls, radio buttons of a controller, edits and their selections, multi-line texts and
// the lines logged when the text view refuses them, bounds, titled boxes collapsed and expanded;
// none of it calls the window's handler.
#include "dialogs/clsDynamicWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "DialogRecorder.h"
#include "core/DebugLog.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }
std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }

enum : int32_t {
  kCheck = 1, kPopup = 2, kCombo = 3, kTabs = 4, kProgress = 5, kSlider = 6, kRadio = 7, kList = 8,
  kController = 9, kButtonA = 91, kButtonB = 92, kStray = 93, kLabel = 10, kEdit = 11,
  kMultiLine = 12, kGroup = 13, kInGroup = 131, kButton = 14
};

clsDWLayoutObject WithItems(enumDWLOType kind, int32_t id, std::vector<char const*> const& items) {
  clsDWLayoutObject obj;
  obj.m_enmType = kind;
  obj.m_lngID = id;
  for (char const* item : items) obj.AddItem(U(item));
  obj.m_intValue = 0;
  return obj;
}

clsDWLayout AccessSink() {
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddCheckBox(kCheck, U("Check"), 0, 0, false);
  {
    auto popup = root.AddComboBox(kPopup, U("a"), 80, false, false);
    for (char const* item : {"a", "b", "c"}) popup->AddItem(U(item));
    popup->m_intValue = 0;
  }
  {
    auto combo = root.AddComboBox(kCombo, U("a"), 80, true, false);
    for (char const* item : {"a", "b", "c"}) combo->AddItem(U(item));
    combo->m_intValue = 0;
  }
  {
    auto tabs = root.AddTabControl(kTabs, 0, 0);
    tabs->m_intValue = 1;
    tabs->AddTab(41, U("One"), true, 0, 0)->AddLabel(43, U("1"), 0, 0, 0, 0);
    tabs->AddTab(42, U("Two"), true, 0, 0)->AddLabel(44, U("2"), 0, 0, 0, 0);
  }
  root.AddProgressBar(kProgress, 100);
  {
    clsDWLayoutObject slider;
    slider.m_enmType = DWLO_Slider;
    slider.m_lngID = kSlider;
    slider.m_intMaximum = 5;  // 0 to 5: one tick mark
    slider.m_intValue = 0;
    root.m_vecChildren.push_back(slider);
  }
  root.m_vecChildren.push_back(WithItems(DWLO_RadioGroup, kRadio, {"x", "y", "z"}));
  {
    clsDWLayoutObject list = WithItems(DWLO_ListBox, kList, {"pear", "apple", "fig"});
    list.m_intValue = 2;  // stored only: no row is selected at first
    root.m_vecChildren.push_back(list);
  }
  root.m_vecChildren.push_back(WithItems(DWLO_RadioController, kController, {"91", "92"}));
  for (int32_t id : {kButtonA, kButtonB, kStray}) {
    clsDWLayoutObject button;
    button.m_enmType = DWLO_RadioButton;
    button.m_lngID = id;
    button.m_lngAssociateID = kController;
    button.m_ustrLabel = UniString(id);
    root.m_vecChildren.push_back(button);
  }
  root.AddLabel(kLabel, U("Label"), 0, 0, 0, 0);
  root.AddEdit(kEdit, U("abcd"), 100, 0, false, false, false, false);
  root.AddEdit(kMultiLine, UniString(), 100, 60, false, false, true, false)->SetLabel(U("Notes"));
  root.AddVBox(kGroup, U("Group"), 0, true)->AddCheckBox(kInGroup, U("Inside"), 0, 0, true);
  root.AddButton(kButton, U("Go"), 0, 0, false, false, false);
  clsDWLayout layout;
  layout.SetLayout(root);
  return layout;
}

class clsDynamicWindowAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowsResetForTesting();
    ASSERT_TRUE(m_udtWindow.BuildWindow(m_udtLayout, 0, 0, 0, 0));
    m_udtWindow.SetEventsObject(&m_udtRecorder);
    m_udtWindow.MyShow();
  }
  void TearDown() override {
    EXPECT_EQ(m_vecSlotCalls, m_udtRecorder.m_vecCalls);  // none of the operations calls a slot
    m_udtWindow.DestroyWindow();
    WindowsResetForTesting();
  }

 public:  // for the cases' checks
  clsDWLayoutObject& Obj(int32_t id) {
    bool found = false;
    auto it = m_udtWindow.GetLayout().FindControlWithID(id, found);
    EXPECT_TRUE(found) << id;
    return *it;
  }
  stcControlInfoForTesting View(int32_t id) { return Info(m_udtWindow, id); }

  clsDWLayout m_udtLayout = AccessSink();
  clsDynamicWindow m_udtWindow;
  stcDialogRecorder m_udtRecorder;
  std::vector<std::string> m_vecSlotCalls;
};

TEST_F(clsDynamicWindowAccessTest, ValuesAreClampedPerKindAndShown) {
  struct stcCase {
    char const* m_strName;
    int32_t m_intID;
    int m_intValue;
    int m_intStored;
    int32_t m_intControl;  // the live control that shows it (0: none to look at)
    SInt32 m_intShown;
    std::function<void(clsDynamicWindowAccessTest&)> m_fnMore;
  } const cases[] = {
      {"check box above 1", kCheck, 5, 1, kCheck, 1, nullptr},
      {"check box below 0", kCheck, -3, 0, kCheck, 0, nullptr},
      {"popup past its items", kPopup, 7, 2, kPopup, 3,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ(U("a"), t.Obj(kPopup).m_ustrLabel); }},
      {"popup below -1", kPopup, -5, -1, kPopup, 0, nullptr},
      {"editable combo shows the item", kCombo, 1, 1, kCombo, 2,
       [](clsDynamicWindowAccessTest& t) {
         EXPECT_EQ("b", t.View(kCombo).m_strText);
         EXPECT_EQ(U("a"), t.Obj(kCombo).m_ustrLabel);  // the label is not changed
       }},
      {"editable combo without a value empties its text", kCombo, -1, -1, kCombo, 0,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ("", t.View(kCombo).m_strText); }},
      {"tab control below 1", kTabs, 0, 1, kTabs, 1,
       [](clsDynamicWindowAccessTest& t) { EXPECT_TRUE(t.View(41).m_blnVisible); }},
      {"tab control past its pages", kTabs, 9, 2, kTabs, 2,
       [](clsDynamicWindowAccessTest& t) {
         EXPECT_TRUE(t.View(42).m_blnVisible);
         EXPECT_FALSE(t.View(41).m_blnVisible);
       }},
      {"progress bar below 0 turns indeterminate", kProgress, -1, -1, 0, 0,
       [](clsDynamicWindowAccessTest& t) { EXPECT_TRUE(t.View(kProgress).m_blnIndeterminate); }},
      {"progress bar determinate again", kProgress, 50, 50, kProgress, 50,
       [](clsDynamicWindowAccessTest& t) { EXPECT_FALSE(t.View(kProgress).m_blnIndeterminate); }},
      {"progress bar past 100", kProgress, 150, 100, kProgress, 100, nullptr},
      {"slider past its maximum", kSlider, 9, 5, kSlider, 5,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ(1, t.View(kSlider).m_intTickMarks); }},
      {"radio group past its items", kRadio, 9, 2, kRadio + 100000, 3, nullptr},
      {"list row", kList, 1, 1, 0, 0,
       [](clsDynamicWindowAccessTest& t) {
         EXPECT_EQ(std::vector<int>{1}, t.View(kList).m_vecSelectedRows);
         EXPECT_EQ(1, t.m_udtWindow.GetControlValue(kList));
       }},
      {"list without a value keeps the visible row", kList, -4, -1, 0, 0,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ(std::vector<int>{1}, t.View(kList).m_vecSelectedRows); }},
      {"radio button 0 changes nothing", kButtonB, 0, 0, kButtonA, 1,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ(0, t.Obj(kController).m_intValue); }},
      {"radio button picks itself in its controller", kButtonB, 1, 0, kButtonB, 1,
       [](clsDynamicWindowAccessTest& t) {
         EXPECT_EQ(1, t.Obj(kController).m_intValue);
         EXPECT_EQ(0, t.View(kButtonA).m_intValue);
       }},
      {"radio controller past its items", kController, 5, 1, kButtonB, 1, nullptr},
      {"radio controller below 0", kController, -2, 0, kButtonA, 1,
       [](clsDynamicWindowAccessTest& t) { EXPECT_EQ(0, t.View(kButtonB).m_intValue); }},
      // A button its controller does not list names no item: every button ends unchecked.
      {"a stray radio button unchecks all", kStray, 1, 0, kButtonA, 0,
       [](clsDynamicWindowAccessTest& t) {
         EXPECT_EQ(-1, t.Obj(kController).m_intValue);
         EXPECT_EQ(0, t.View(kButtonB).m_intValue);
       }},
      {"any other kind stores the value", kLabel, 77, 77, 0, 0, nullptr},
  };
  // A list box without a selection reads -1 and keeps what it stored.
  EXPECT_EQ(-1, m_udtWindow.GetControlValue(kList));
  EXPECT_EQ(2, Obj(kList).m_intValue);
  EXPECT_EQ((std::vector<std::string>{"pear", "apple", "fig"}), View(kList).m_vecItems);  // not sortable
  // The list view tells of a selection it was given as of one the user made.
  m_vecSlotCalls = {"list 8 1"};
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    m_udtWindow.UpdateControlValue(c.m_intID, c.m_intValue);
    if (c.m_intID != kButtonB && c.m_intID != kStray) {
      EXPECT_EQ(c.m_intStored, Obj(c.m_intID).m_intValue);
    }
    if (c.m_intControl != 0) {
      EXPECT_EQ(c.m_intShown, View(c.m_intControl).m_intValue);
    }
    if (c.m_fnMore) c.m_fnMore(*this);
  }
}

TEST_F(clsDynamicWindowAccessTest, EditsLabelsAndTitlesFollowTheirTexts) {
  // The selection b..c replaced: the caret lands after the insertion.
  ControlRef edit = WindowsFindControlForTesting(m_udtWindow.GetWindowRef(), kEdit);
  ControlEditTextSelectionRec selection{1, 3};
  ASSERT_EQ(noErr, SetControlData(edit, kControlEntireControl, kControlEditTextSelectionTag,
                                  sizeof selection, &selection));
  m_udtWindow.InsertEditText(kEdit, U("XY"));
  EXPECT_EQ("aXYd", View(kEdit).m_strText);
  EXPECT_EQ(3, View(kEdit).m_intSelStart);
  EXPECT_EQ(3, View(kEdit).m_intSelEnd);
  EXPECT_EQ(U("aXYd"), Obj(kEdit).m_ustrLabel);
  EXPECT_EQ(U("aXYd"), m_udtWindow.GetEditText(kEdit));

  // Multi-line: lines at CR LF in the items, the text as given, the caret at the start.
  m_udtWindow.UpdateEditText(kMultiLine, U("one\r\ntwo"));
  UniStringList lines;
  Obj(kMultiLine).GetText(&lines);
  ASSERT_EQ(2u, lines.Count());
  EXPECT_EQ(U("two"), lines.At(1));
  EXPECT_EQ("one\r\ntwo", View(kMultiLine + 20000).m_strText);
  EXPECT_EQ(0, View(kMultiLine + 20000).m_intSelEnd);
  EXPECT_EQ(U("one\rtwo"), m_udtWindow.GetEditText(kMultiLine));
  UniStringList three;
  for (char const* line : {"a", "", "c"}) three.Add(U(line));
  m_udtWindow.UpdateMultiLineEditText(kMultiLine, &three);
  EXPECT_EQ("a\r\rc", View(kMultiLine + 20000).m_strText);
  m_udtWindow.UpdateMultiLineEditText(kMultiLine, nullptr);
  EXPECT_EQ("a\r\rc", View(kMultiLine + 20000).m_strText);

  // Labels, buttons and the window title; a label is no edit.
  EXPECT_EQ(UniString(), m_udtWindow.GetEditText(kLabel));
  m_udtWindow.UpdateLabel(kLabel, U("New label"));
  m_udtWindow.UpdateLabel(kButton, U("not a label"));
  m_udtWindow.UpdateButtonText(kButton, U("Stop"));
  m_udtWindow.UpdateWindowTitle(U("Title"));
  EXPECT_EQ("New label", View(kLabel).m_strText);
  EXPECT_EQ("Stop", View(kButton).m_strTitle);
  stcWindowInfoForTesting info{};
  WindowsInfoForTesting(m_udtWindow.GetWindowRef(), &info);
  EXPECT_EQ("Title", info.m_strTitle);
}

TEST_F(clsDynamicWindowAccessTest, RefusedTextViewsAreLogged) {
  InitDebug();
  g_ulstDebugBackLog->Clear();
  m_udtWindow.UpdateEditText(kMultiLine, U("x"));  // items "x", view "x"
  WindowsFailForTesting(kWindowsFailTXNSetData, 3);
  m_udtWindow.UpdateEditText(kMultiLine, U("lost"));
  UniStringList lines;
  lines.Add(U("gone"));
  m_udtWindow.UpdateMultiLineEditText(kMultiLine, &lines);
  m_udtWindow.InsertEditText(kMultiLine, U("never"));
  std::vector<std::string> logged;
  for (UniString const& line : *g_ulstDebugBackLog) {
    std::string const text = S(line);
    logged.push_back(text.substr(text.find("Err : ")));
  }
  EXPECT_EQ((std::vector<std::string>{
                "Err : Could not Update Text Data of TXN Object for MultiLine Edit Control: 12; Notes; -108",
                "Err : Could not Update Text Data of TXN Object for MultiLine Edit Control: 12; Notes; -108",
                "Err : Could not Insert Text Data of TXN Object for MultiLine Edit Control: 12; Notes; -108"}),
            logged);
  EXPECT_EQ("x", View(kMultiLine + 20000).m_strText);
  // The items took the new lines even where the view refused them.
  UniStringList items;
  Obj(kMultiLine).GetText(&items);
  EXPECT_EQ(U("gone"), items.At(0));
  WindowsFailForTesting(kWindowsFailTXNGetData, 1);
  EXPECT_EQ(UniString(), m_udtWindow.GetEditText(kMultiLine));
}

TEST_F(clsDynamicWindowAccessTest, BoundsBoxesAndActivation) {
  int x = 0, y = 0, w = 0, h = 0, sx = 0, sy = 0;
  ASSERT_TRUE(m_udtWindow.GetControlBounds(kCheck, &x, &y, &w, &h, false));
  stcControlInfoForTesting const check = View(kCheck);
  EXPECT_EQ(check.m_intX, x);
  EXPECT_EQ(check.m_intY + 22, y);  // window coordinates: below the title bar
  EXPECT_EQ(check.m_intWidth, w);
  EXPECT_EQ(check.m_intHeight, h);
  ASSERT_TRUE(m_udtWindow.GetControlBounds(kCheck, &sx, &sy, nullptr, nullptr, true));
  int left = 0, top = 0;
  m_udtWindow.GetWindowBounds(&left, &top, nullptr, nullptr);
  EXPECT_EQ(left + x, sx);
  EXPECT_EQ(top + y, sy);
  EXPECT_FALSE(m_udtWindow.GetControlBounds(kController, &x, nullptr, nullptr, nullptr, false));
  EXPECT_FALSE(m_udtWindow.GetControlBounds(4242, nullptr, nullptr, nullptr, nullptr, true));

  // A titled box hides its group box and children and shows them again.
  int const before = View(kButton).m_intY;
  m_udtWindow.CollapseBox(kGroup);
  EXPECT_FALSE(View(kGroup).m_blnVisible);
  EXPECT_FALSE(Obj(kGroup).m_blnVisible);
  EXPECT_LT(View(kButton).m_intY, before);
  m_udtWindow.ExpandBox(kGroup);
  EXPECT_TRUE(View(kGroup).m_blnVisible);
  EXPECT_TRUE(View(kInGroup).m_blnVisible);
  EXPECT_EQ(before, View(kButton).m_intY);

  m_udtWindow.DisableControl(kPopup);
  EXPECT_FALSE(View(kPopup).m_blnActive);
  EXPECT_FALSE(Obj(kPopup).m_blnEnabled);
  m_udtWindow.EnableControl(kPopup);
  EXPECT_TRUE(View(kPopup).m_blnActive);
  m_udtWindow.UpdateFocus(kMultiLine);
  EXPECT_TRUE(View(kMultiLine + 20000).m_blnFocused);
}

}  // namespace
