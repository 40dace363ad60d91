// Tests of the layout engine in exact pixels. The text metric of the Appearance stand-in is fixed
// (8 pixels a UTF-16 unit, 16 a line), so every size below follows from the rules alone.
#include "dialogs/DWLayoutEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "dialogs/clsDWLayout.h"
#include "files/XFileSpec.h"
#include "platform/cf/CFBundle.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

UniString U(char const* text) { return UniString(text, 1, -1); }
UniString Units(char unit, int count) { return U(std::string(size_t(count), unit).c_str()); }

struct stcBounds {
  int32_t m_lngID;
  int x, y, w, h;      // laid out
  int fx, fy, fw, fh;  // final
};

void ExpectBounds(clsDWLayout& layout, stcBounds const& b, char const* when) {
  clsDWLayoutObject* node = &layout;
  if (layout.GetID() != b.m_lngID) {
    bool found = false;
    clsDWLayoutObject::iterator it = layout.FindControlWithID(b.m_lngID, found);
    ASSERT_TRUE(found) << b.m_lngID;
    node = &*it;
  }
  EXPECT_EQ(node->m_intX, b.x) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intY, b.y) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intWidth, b.w) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intHeight, b.h) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intFinalX, b.fx) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intFinalY, b.fy) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intFinalWidth, b.fw) << when << " id " << b.m_lngID;
  EXPECT_EQ(node->m_intFinalHeight, b.fh) << when << " id " << b.m_lngID;
}

clsDWLayoutObject Measured(enumDWLOType kind, UniString label, int minW, int minH, int maxW,
                           int maxH) {
  clsDWLayoutObject node;
  node.m_enmType = kind;
  node.m_ustrLabel = label;
  node.m_intMinWidth = minW;
  node.m_intMinHeight = minH;
  node.m_intMaxWidth = maxW;
  node.m_intMaxHeight = maxH;
  node.MeasureSelf();
  return node;
}

TEST(DWLayoutEngineTest, MeasureSelfGivesTheNaturalSizeOfEachKind) {
  // 25 units, a blank, 25 units, a blank, 25 units: three lines of 200 pixels at a 200 wrap.
  UniString const threeLines = Units('a', 25) + U(" ") + Units('b', 25) + U(" ") + Units('c', 25);
  struct stcCase {
    char const* m_strWhat;
    enumDWLOType m_enmKind;
    UniString m_ustrLabel;
    int minW, minH, maxW, maxH;
    int w, h;
    bool expH, expV;
  };
  stcCase const cases[] = {
      {"empty button", DWLO_Button, U(""), 0, 0, 0, 0, 68, 20, false, false},
      {"button wider than its minimum", DWLO_Button, Units('x', 6), 0, 0, 0, 0, 76, 20, false, false},
      {"empty label", DWLO_Label, U(""), 0, 0, 0, 0, 2, 16, false, false},
      {"label wrapped at 200, clamped", DWLO_Label, threeLines, 0, 0, 200, 0, 200, 48, false, false},
      {"label clamped to height 30", DWLO_Label, threeLines, 0, 0, 200, 30, 200, 30, false, false},
      {"label unwrapped", DWLO_Label, U("ab\rcdef"), 0, 0, 0, 0, 34, 32, false, false},
      {"small button", DWLO_SmallButton, U("ab"), 0, 0, 0, 0, 26, 20, false, false},
      {"edit", DWLO_Edit, U("long text not measured"), 0, 0, 0, 0, 60, 18, true, false},
      {"edit with a maximum width", DWLO_Edit, U(""), 0, 0, 40, 0, 40, 18, false, false},
      {"check box", DWLO_CheckBox, Units('c', 10), 0, 0, 0, 0, 106, 18, false, false},
      {"combo box", DWLO_ComboBox, U("x"), 0, 0, 0, 0, 69, 20, true, false},
      {"list box", DWLO_ListBox, U(""), 0, 0, 0, 0, 69, 20, true, true},
      {"web view", DWLO_WebView, U(""), 200, 100, 0, 0, 200, 100, true, true},
      {"progress bar", DWLO_ProgressBar, U(""), 150, 0, 0, 0, 150, 16, true, false},
      {"radio button", DWLO_RadioButton, U(""), 0, 0, 0, 0, 80, 18, false, false},
      {"slider", DWLO_Slider, U(""), 0, 0, 0, 0, 100, 25, false, false},
      {"horizontal separator", DWLO_Separator, U(""), 40, 0, 0, 0, 50, 3, true, false},
      {"picture without its bit", DWLO_Picture, U("x.png"), 10, 10, 0, 0, 0, 0, false, false},
      {"space with room to grow", DWLO_Space, U(""), 10, 10, 0, 20, 0, 0, true, true},
      {"fixed space", DWLO_Space, U(""), 10, 10, 10, 10, 0, 0, false, false},
      {"tab control", DWLO_TabControl, U(""), 100, 100, 0, 0, 0, 0, true, true},
      {"box", DWLO_VBox, U(""), 100, 100, 0, 0, 0, 0, false, false},
  };
  for (stcCase const& c : cases) {
    clsDWLayoutObject node = Measured(c.m_enmKind, c.m_ustrLabel, c.minW, c.minH, c.maxW, c.maxH);
    EXPECT_EQ(node.m_intWidth, c.w) << c.m_strWhat;
    EXPECT_EQ(node.m_intHeight, c.h) << c.m_strWhat;
    EXPECT_EQ(node.m_blnExpandH, c.expH) << c.m_strWhat;
    EXPECT_EQ(node.m_blnExpandV, c.expV) << c.m_strWhat;
  }

  clsDWLayoutObject vertical;
  vertical.m_enmType = DWLO_Separator;
  vertical.m_intFeatures = 1;
  vertical.m_intMinHeight = 40;
  vertical.MeasureSelf();
  EXPECT_EQ(vertical.m_intWidth, 3);
  EXPECT_EQ(vertical.m_intHeight, 40);
  EXPECT_TRUE(vertical.m_blnExpandV);
  EXPECT_FALSE(vertical.m_blnExpandH);

  clsDWLayoutObject label;
  label.m_enmType = DWLO_Label;
  label.m_intFeatures = 2 | 4;
  label.m_blnShareDone = true;
  label.MeasureSelf();
  EXPECT_TRUE(label.m_blnExpandH);
  EXPECT_TRUE(label.m_blnExpandV);
  EXPECT_FALSE(label.m_blnShareDone);
}

TEST(DWLayoutEngineTest, RadioGroupsMeasureTheirItems) {
  clsDWLayoutObject group;
  group.m_enmType = DWLO_RadioGroup;
  for (char c : {'a', 'b', 'c'}) group.AddItem(Units(c, 8));  // each 26 + 64 = 90 x 18
  group.MeasureSelf();
  EXPECT_EQ(group.m_intWidth, 122);   // 16 + 16 + 90
  EXPECT_EQ(group.m_intHeight, 110);  // 28 + 14 + 2 x 7 + 3 x 18
  EXPECT_TRUE(group.m_blnExpandH);

  // A maximum width wraps the items 32 pixels narrower, then clamps the group.
  clsDWLayoutObject narrow;
  narrow.m_enmType = DWLO_RadioGroup;
  narrow.m_intMaxWidth = 100;
  narrow.AddItem(Units('w', 4) + U(" ") + Units('w', 4));  // wraps at 68: two lines, 80 wide
  narrow.MeasureSelf();
  EXPECT_EQ(narrow.m_intWidth, 100);  // 32 + 80, clamped
  EXPECT_EQ(narrow.m_intHeight, 74);  // 42 + 32

  clsDWLayoutObject empty;
  empty.m_enmType = DWLO_RadioGroup;
  empty.MeasureSelf();
  ASSERT_NE(empty.m_pulstItems, nullptr);
  ASSERT_EQ(empty.m_pulstItems->Count(), 1u);
  EXPECT_EQ(empty.GetItem(0), U("No Items"));
  EXPECT_EQ(empty.m_intWidth, 32 + 26 + 64);
  EXPECT_EQ(empty.m_intHeight, 42 + 18);
}

TEST(DWLayoutEngineTest, BoxesStackTheirChildrenWithTheFixedGaps) {
  struct stcCase {
    char const* m_strWhat;
    void (*m_fnBuild)(clsDWLayoutObject& box);
    enumDWLOType m_enmBox;
    int w, h;
  };
  stcCase const cases[] = {
      {"two buttons down", [](clsDWLayoutObject& b) {
         b.AddButton(1, U(""), 0, 0, false, false, false);
         b.AddButton(2, U(""), 0, 0, false, false, false);
       }, DWLO_VBox, 68, 52},
      {"label and edit across", [](clsDWLayoutObject& b) {
         b.AddLabel(1, U("abc"), 0, 0, 0, 0);
         b.AddEdit(2, U(""), 0, 0, false, false, false, false);
       }, DWLO_HBox, 26 + 12 + 60, 18},
      {"fill between check boxes", [](clsDWLayoutObject& b) {
         b.AddCheckBox(1, U(""), 0, 0, false);
         b.AddFill(2);
         b.AddCheckBox(3, U(""), 0, 0, false);
       }, DWLO_VBox, 80, 18 + 4 + 18},
      {"check boxes across", [](clsDWLayoutObject& b) {
         b.AddCheckBox(1, U(""), 0, 0, false);
         b.AddCheckBox(2, U(""), 0, 0, false);
       }, DWLO_HBox, 80 + 3 + 80, 18},
      {"edits down, then a box", [](clsDWLayoutObject& b) {
         b.AddEdit(1, U(""), 0, 0, false, false, false, false);
         b.AddEdit(2, U(""), 0, 0, false, false, false, false);
         b.AddHBox(3, U(""), 0, false)->AddButton(4, U(""), 0, 0, false, false, false);
       }, DWLO_VBox, 68, 18 + 8 + 18 + 20 + 20},
      {"small buttons across", [](clsDWLayoutObject& b) {
         b.AddSmallButton(1, U(""), 0, 0);
         b.AddSmallButton(2, U(""), 0, 0);
       }, DWLO_HBox, 20 + 6 + 20, 20},
      {"a box then a control across", [](clsDWLayoutObject& b) {
         b.AddVBox(1, U(""), 0, false)->AddLabel(2, U(""), 0, 0, 0, 0);
         b.AddLabel(3, U(""), 0, 0, 0, 0);
       }, DWLO_HBox, 2 + 20 + 2, 16},
      {"spaces take their minimum", [](clsDWLayoutObject& b) {
         b.AddSpace(1, 30, 5, 0, 0);
         b.AddLabel(2, U(""), 0, 0, 0, 0);
       }, DWLO_VBox, 30, 5 + 16},
      {"titled group box insets", [](clsDWLayoutObject& b) {
         b.AddFeature(1);
         b.AddLabel(1, U(""), 0, 0, 0, 0);
       }, DWLO_VBox, 16 + 2 + 16, 28 + 16 + 14},
  };
  for (stcCase const& c : cases) {
    clsDWLayout layout;
    layout.m_enmType = c.m_enmBox;
    layout.m_lngID = 100;
    c.m_fnBuild(layout);
    layout.MeasureAllControls(layout);
    layout.CalculateLayout(layout, true, true);
    EXPECT_EQ(layout.m_intWidth, c.w) << c.m_strWhat;
    EXPECT_EQ(layout.m_intHeight, c.h) << c.m_strWhat;
  }

  // The fill takes the check boxes' gap, so they have none of their own next to it.
  clsDWLayout column;
  column.MakeMeAVBox(100, U(""), 0, false);
  column.AddCheckBox(1, U(""), 0, 0, false);
  column.AddFill(2);
  column.AddCheckBox(3, U(""), 0, 0, false);
  column.MeasureAllControls(column);
  column.CalculateLayout(column, true, true);
  EXPECT_EQ(column.m_vecChildren[1].m_intWidth, 0);
  EXPECT_EQ(column.m_vecChildren[1].m_intHeight, 4);
  EXPECT_EQ(column.m_vecChildren[2].m_intY, 22);
}

// Three expanding children of width 10 with gaps of 12, then 101 pixels more room.
TEST(DWLayoutEngineTest, SpareRoomIsSharedAmongExpandingChildren) {
  struct stcCase {
    char const* m_strWhat;
    int m_intWidths[3];
    int m_intSpare;
    int m_intNewWidths[3];
    int m_intNewX[3];
  };
  stcCase const cases[] = {
      // 101 + 30 = 131 in three shares of 43; 2 pixels stay unused.
      {"equal children", {10, 10, 10}, 101, {43, 43, 43}, {0, 55, 110}},
      // The wide child keeps its width and leaves the pool: 180 - 100 = 80 in two shares of 40.
      {"a wider child", {10, 10, 100}, 60, {40, 40, 100}, {0, 52, 104}},
      {"no spare room", {10, 10, 10}, 0, {10, 10, 10}, {0, 22, 44}},
  };
  for (stcCase const& c : cases) {
    clsDWLayout row;
    row.m_enmType = DWLO_HBox;
    for (int i = 0; i < 3; ++i) {
      row.AddLabel(i + 1, U(""), c.m_intWidths[i], 0, 0, 0)->AddFeature(2);
    }
    row.MeasureAllControls(row);
    row.CalculateLayout(row, true, true);
    int const laidOut = c.m_intWidths[0] + c.m_intWidths[1] + c.m_intWidths[2] + 24;
    ASSERT_EQ(row.m_intWidth, laidOut) << c.m_strWhat;
    row.ExpandControls(row, laidOut + c.m_intSpare, 16, true);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(row.m_vecChildren[size_t(i)].m_intWidth, c.m_intNewWidths[i]) << c.m_strWhat << i;
      EXPECT_EQ(row.m_vecChildren[size_t(i)].m_intX, c.m_intNewX[i]) << c.m_strWhat << i;
    }
    EXPECT_EQ(row.m_intWidth, laidOut + c.m_intSpare) << c.m_strWhat;
  }
}

TEST(DWLayoutEngineTest, TabControlMinimumAppliesToThePageArea) {
  clsDWLayout layout;
  layout.MakeMeAVBox(100, U(""), 0, false);
  clsDWLayoutObject::iterator tabs = layout.AddTabControl(101, 200, 50);
  tabs->AddTab(102, U("One"), true, 0, 0)->AddLabel(103, U("abc"), 0, 0, 0, 0);
  tabs = layout.m_vecChildren.begin();
  tabs->AddTab(104, U("Two"), true, 0, 0)->AddEdit(105, U(""), 0, 0, false, false, false, false);
  layout.LayoutWindow();

  ExpectBounds(layout, {101, 20, 14, 244, 114, 0, 0, 0, 0}, "laid out");
  // Pages fill the page area and sit 22 in from the tab control's left.
  ExpectBounds(layout, {102, 22, 0, 200, 50, 0, 0, 0, 0}, "laid out");
  ExpectBounds(layout, {103, 22, 0, 26, 16, 0, 0, 0, 0}, "laid out");
  ExpectBounds(layout, {105, 22, 0, 200, 18, 0, 0, 0, 0}, "laid out");
  EXPECT_EQ(layout.m_intWindowWidth, 284);
  EXPECT_EQ(layout.m_intWindowHeight, 148);

  layout.ResizeLayout(384, 248, nullptr);
  ExpectBounds(layout, {101, 20, 14, 244, 114, 20, 14, 344, 214}, "resized");
  ExpectBounds(layout, {104, 22, 0, 200, 50, 22, 0, 300, 150}, "resized");
  ExpectBounds(layout, {105, 22, 0, 200, 18, 22, 0, 300, 18}, "resized");
}

// Root VBox 100 holding a box 10 of height 50 (a label inside) and a button 20, in either order.
// A box is followed by a gap of 20; a button before a VBox by the gap of unlike controls, 16.
TEST(DWLayoutEngineTest, CollapsingABoxShrinksTheWindow) {
  struct stcCase {
    char const* m_strWhat;
    bool m_blnBoxFirst;
    int m_intRootHeight;
    int m_intButtonY;
    int m_intShrink;
  };
  stcCase const cases[] = {
      {"box before a sibling", true, 90, 84, 70},
      {"box as the last child", false, 86, 14, 50},
  };
  for (stcCase const& c : cases) {
    clsDWLayout layout;
    layout.MakeMeAVBox(100, U(""), 0, false);
    auto addBox = [&layout] { layout.AddVBox(10, U(""), 50, false)->AddLabel(11, U("x"), 0, 0, 0, 0); };
    if (c.m_blnBoxFirst) addBox();
    layout.AddButton(20, U(""), 0, 0, false, false, false);
    if (!c.m_blnBoxFirst) addBox();
    layout.LayoutWindow();
    int const windowHeight = c.m_intRootHeight + 34;
    EXPECT_EQ(layout.m_intWindowWidth, 108) << c.m_strWhat;
    EXPECT_EQ(layout.m_intWindowHeight, windowHeight) << c.m_strWhat;
    // Nothing collapsed: the layout stops before any final bounds are set.
    ExpectBounds(layout, {100, 20, 14, 68, c.m_intRootHeight, 0, 0, 0, 0}, c.m_strWhat);
    ExpectBounds(layout, {20, 20, c.m_intButtonY, 68, 20, 0, 0, 0, 0}, c.m_strWhat);

    layout.CollapseBox(10, nullptr);
    EXPECT_EQ(layout.m_intWindowHeight, windowHeight - c.m_intShrink) << c.m_strWhat;
    EXPECT_EQ(layout.m_intFinalWidth, layout.m_intWindowWidth - 40) << c.m_strWhat;
    EXPECT_EQ(layout.m_intFinalHeight, layout.m_intWindowHeight - 34) << c.m_strWhat;
    // The button closes up over the collapsed box.
    ExpectBounds(layout, {20, 20, c.m_intButtonY, 68, 20, 20, 14, 68, 20}, c.m_strWhat);
    bool found = false;
    clsDWLayoutObject::iterator box = layout.FindControlWithID(10, found);
    ASSERT_TRUE(found);
    EXPECT_TRUE(box->IsCollapsed());
    EXPECT_TRUE(box->m_blnVisible);  // only the flag changes here

    layout.CollapseBox(10, nullptr);   // already collapsed
    layout.CollapseBox(20, nullptr);   // not a box
    layout.CollapseBox(999, nullptr);  // not there
    EXPECT_EQ(layout.m_intWindowHeight, windowHeight - c.m_intShrink) << c.m_strWhat;
    EXPECT_FALSE(layout.FindControlWithID(20, found)->IsCollapsed());

    layout.ExpandBox(10, nullptr);
    EXPECT_EQ(layout.m_intWindowHeight, windowHeight) << c.m_strWhat;
    EXPECT_EQ(layout.m_intFinalWidth, layout.m_intWindowWidth - 40) << c.m_strWhat;
    EXPECT_EQ(layout.m_intFinalHeight, layout.m_intWindowHeight - 34) << c.m_strWhat;
    ExpectBounds(layout, {20, 20, c.m_intButtonY, 68, 20, 20, c.m_intButtonY, 68, 20}, c.m_strWhat);
  }
}

TEST(DWLayoutEngineTest, ACollapsedBoxAtLayoutTimeSizesTheWindowWithoutIt) {
  clsDWLayout layout;
  layout.MakeMeAVBox(100, U(""), 0, false);
  clsDWLayoutObject::iterator box = layout.AddHBox(10, U(""), 0, false);
  box->AddLabel(11, Units('w', 30), 0, 0, 0, 0);  // 242 wide
  box->SetCollapsed(true);
  layout.AddButton(20, U(""), 0, 0, false, false, false);
  layout.LayoutWindow();

  // Laid out with the row (242 x 56); finally without it along the column: 242 x 20.
  ExpectBounds(layout, {100, 20, 14, 242, 56, 20, 14, 242, 20}, "collapsed at layout");
  ExpectBounds(layout, {20, 20, 50, 68, 20, 20, 14, 68, 20}, "collapsed at layout");
  EXPECT_EQ(layout.m_intWindowWidth, 282);
  EXPECT_EQ(layout.m_intWindowHeight, 54);

  layout.ExpandBox(10, nullptr);
  EXPECT_EQ(layout.m_intWindowWidth, 282);
  EXPECT_EQ(layout.m_intWindowHeight, 90);
  ExpectBounds(layout, {20, 20, 50, 68, 20, 20, 50, 68, 20}, "expanded");
  ExpectBounds(layout, {11, 20, 14, 242, 16, 20, 14, 242, 16}, "expanded");
}

// The stock message dialog: the text, then a row of fill, OK, fill.
TEST(DWLayoutEngineTest, MessageDialogTree) {
  clsDWLayout layout;
  layout.MakeMeAVBox(100, U(""), 0, false);
  layout.AddLabel(101, U("Hello"), 0, 0, 400, 0);
  clsDWLayoutObject::iterator row = layout.AddHBox(102, U(""), 0, false);
  row->AddFill(103);
  row->AddButton(1, U("OK"), 0, 0, true, false, true);
  row->AddFill(104);
  layout.LayoutWindow();
  EXPECT_EQ(layout.m_intWindowWidth, 108);
  EXPECT_EQ(layout.m_intWindowHeight, 90);
  stcBounds const laidOut[] = {
      {100, 20, 14, 68, 56, 0, 0, 0, 0}, {101, 20, 14, 42, 16, 0, 0, 0, 0},
      {102, 20, 50, 68, 20, 0, 0, 0, 0}, {103, 20, 50, 0, 0, 0, 0, 0, 0},
      {1, 20, 50, 68, 20, 0, 0, 0, 0},   {104, 88, 50, 0, 0, 0, 0, 0, 0},
  };
  for (stcBounds const& b : laidOut) ExpectBounds(layout, b, "laid out");

  // Wider: the fills share the room and centre the button.
  layout.ResizeLayout(300, 90, nullptr);
  stcBounds const resized[] = {
      {100, 20, 14, 68, 56, 20, 14, 260, 56}, {101, 20, 14, 42, 16, 20, 14, 42, 16},
      {102, 20, 50, 68, 20, 20, 50, 260, 20}, {103, 20, 50, 0, 0, 20, 50, 96, 0},
      {1, 20, 50, 68, 20, 116, 50, 68, 20},   {104, 88, 50, 0, 0, 184, 50, 96, 0},
  };
  for (stcBounds const& b : resized) ExpectBounds(layout, b, "resized");
}

// The stock input dialog: the prompt, the edit field, a row of fill, Cancel, OK.
TEST(DWLayoutEngineTest, InputDialogTree) {
  clsDWLayout layout;
  layout.MakeMeAVBox(100, U(""), 0, false);
  layout.AddLabel(101, U("Name:"), 0, 0, 400, 0);
  layout.AddEdit(95, U("abc"), 0, 0, false, false, false, true);
  clsDWLayoutObject::iterator row = layout.AddHBox(102, U(""), 0, false);
  row->AddFill(103);
  row->AddButton(2, U("Cancel"), 0, 0, false, true, true);
  row->AddButton(1, U("OK"), 0, 0, true, false, true);
  layout.SetResizable(true, false);
  layout.LayoutWindow();
  EXPECT_EQ(layout.m_intWindowWidth, 196);
  EXPECT_EQ(layout.m_intWindowHeight, 124);
  stcBounds const laidOut[] = {
      {100, 20, 14, 156, 90, 0, 0, 0, 0}, {101, 20, 14, 42, 16, 0, 0, 0, 0},
      {95, 20, 46, 156, 18, 0, 0, 0, 0},  {102, 20, 84, 156, 20, 0, 0, 0, 0},
      {103, 20, 84, 0, 0, 0, 0, 0, 0},    {2, 20, 84, 76, 20, 0, 0, 0, 0},
      {1, 108, 84, 68, 20, 0, 0, 0, 0},
  };
  for (stcBounds const& b : laidOut) ExpectBounds(layout, b, "laid out");

  layout.ResizeLayout(400, 124, nullptr);
  stcBounds const resized[] = {
      {100, 20, 14, 156, 90, 20, 14, 360, 90}, {101, 20, 14, 42, 16, 20, 14, 42, 16},
      {95, 20, 46, 156, 18, 20, 46, 360, 18},  {102, 20, 84, 156, 20, 20, 84, 360, 20},
      {103, 20, 84, 0, 0, 20, 84, 204, 0},     {2, 20, 84, 76, 20, 224, 84, 76, 20},
      {1, 108, 84, 68, 20, 312, 84, 68, 20},
  };
  for (stcBounds const& b : resized) ExpectBounds(layout, b, "resized");
}

// The progress window: the status text, then a row of progress bar and percentage.
TEST(DWLayoutEngineTest, ProgressWindowTree) {
  clsDWLayout layout;
  layout.MakeMeAVBox(100, U(""), 0, false);
  layout.AddLabel(101, U("Idle."), 250, 0, 0, 0)->SetFeatures(2);
  clsDWLayoutObject::iterator row = layout.AddHBox(200, U(""), 0, false);
  row->AddProgressBar(102, 150)->SetValue(0);
  row->AddLabel(103, U("0%"), 30, 0, 0, 0);
  layout.SetResizable(true, false);
  layout.LayoutWindow();
  EXPECT_EQ(layout.m_intWindowWidth, 290);
  EXPECT_EQ(layout.m_intWindowHeight, 86);
  stcBounds const laidOut[] = {
      {100, 20, 14, 250, 52, 0, 0, 0, 0}, {101, 20, 14, 250, 16, 0, 0, 0, 0},
      {200, 20, 50, 250, 16, 0, 0, 0, 0}, {102, 20, 50, 208, 16, 0, 0, 0, 0},
      {103, 240, 50, 30, 16, 0, 0, 0, 0},
  };
  for (stcBounds const& b : laidOut) ExpectBounds(layout, b, "laid out");

  layout.ResizeLayout(390, 86, nullptr);
  stcBounds const resized[] = {
      {100, 20, 14, 250, 52, 20, 14, 350, 52}, {101, 20, 14, 250, 16, 20, 14, 350, 16},
      {200, 20, 50, 250, 16, 20, 50, 350, 16}, {102, 20, 50, 208, 16, 20, 50, 308, 16},
      {103, 240, 50, 30, 16, 340, 50, 30, 16},
  };
  for (stcBounds const& b : resized) ExpectBounds(layout, b, "resized");
}

TEST(DWLayoutEngineTest, SpacingAndMetricTables) {
  int first = -7, second = -7;
  GetControlSpacing(enumControlSpaceType(14), first, second);
  EXPECT_EQ(first, -7);
  EXPECT_EQ(second, -7);
  GetControlSpacing(CST_TabTopLeft, first, second);
  EXPECT_EQ(first, 22);
  EXPECT_EQ(second, 46);

  stcDWControlMetrics metrics;
  GetControlTypeMetrics(enumDWLOType(99), metrics);
  EXPECT_FALSE(metrics.m_blnSizeFromText);
  EXPECT_EQ(metrics.m_intMinWidth, 0);

  clsDWLayout layout;
  clsDWLayoutObject radioController, radioButton, edit;
  radioController.m_enmType = DWLO_RadioController;
  radioButton.m_enmType = DWLO_RadioButton;
  edit.m_enmType = DWLO_Edit;
  EXPECT_EQ(layout.GetSpacingBetweenLayoutObjects(radioController, radioButton, true), 0);
  EXPECT_EQ(layout.GetSpacingBetweenLayoutObjects(radioButton, radioButton, false), 3);
  EXPECT_EQ(layout.GetSpacingBetweenLayoutObjects(edit, radioButton, false), 12);
  EXPECT_EQ(layout.GetSpacingBetweenLayoutObjects(radioController, radioController, true), 0);
}

// Pictures come from PNG resources of the plug-in's bundle, placed here inside a temporary root.
class DWLayoutPictureTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("pictures", {"/Velmora.bundle/Resources/folder.png"}));
    // A 3 x 2 RGB picture.
    unsigned char const png[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0x12,
        0x16, 0xf1, 0x4d, 0x00, 0x00, 0x00, 0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
        0xcf, 0xc0, 0x00, 0x41, 0x0c, 0x70, 0x16, 0x00, 0x41, 0xd2, 0x05, 0xfb, 0x87, 0xf0, 0xb9,
        0x48, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    Write("/Velmora.bundle/Resources/logo.png", std::string(png, png + sizeof(png)));
    Write("/Velmora.bundle/Resources/text.png", "GIF89a, not a PNG");
    ASSERT_EQ(InstallRoot(), noErr);
    m_strIdentifier = CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier,
                                                kCFStringEncodingUTF8);
    InitDebug();
  }
  void TearDown() override {
    CFBundleSetLocationForTesting(m_strIdentifier, nullptr);
    CFRelease(m_strIdentifier);
    EndDebug();
    RemoveRoot();
  }
  CFStringRef m_strIdentifier = nullptr;
};

TEST_F(DWLayoutPictureTest, PngResourcesMeasureTheirPixelSizeAndFailuresLogTheirStep) {
  struct stcCase {
    char const* m_strWhat;
    bool m_blnBundle;
    char const* m_strLabel;
    int w, h;
    char const* m_strLogged;  // null: no line
  };
  stcCase const cases[] = {
      {"picture", true, "logo.png", 3, 2, nullptr},
      {"no bundle", false, "logo.png", 0, 0, "Could not get Bundle Ref for (Resource) Picture Control: 7; logo.png"},
      {"no resource", true, "gone.png", 0, 0, "Could not make URL for (Resource) Picture Control: 7; gone.png"},
      {"a folder", true, "folder.png", 0, 0, "Could not get Data Provider for (Resource) Picture Control: 7; folder.png"},
      {"not a PNG", true, "text.png", 0, 0, "Could not load Image for (Resource) Picture Control: 7; text.png"},
  };
  for (stcCase const& c : cases) {
    if (c.m_blnBundle) {
      ASSERT_TRUE(CFBundleSetLocationForTesting(m_strIdentifier, Real("/Velmora.bundle").c_str()));
    } else {
      ASSERT_TRUE(CFBundleSetLocationForTesting(m_strIdentifier, nullptr));
    }
    g_ulstDebugBackLog->Clear();
    clsDWLayoutObject picture;
    picture.m_enmType = DWLO_Picture;
    picture.m_lngID = 7;
    picture.m_intFeatures = 1;
    picture.m_ustrLabel = U(c.m_strLabel);
    picture.m_intMinWidth = 10;  // limits do not apply to pictures
    picture.m_intMaxHeight = 1;
    picture.MeasureSelf();
    EXPECT_EQ(picture.m_intWidth, c.w) << c.m_strWhat;
    EXPECT_EQ(picture.m_intHeight, c.h) << c.m_strWhat;
    std::vector<std::string> lines;
    for (UniString const& line : *g_ulstDebugBackLog) lines.push_back(line.GetAnsiString(1).c_str());
    if (c.m_strLogged == nullptr) {
      EXPECT_TRUE(lines.empty()) << c.m_strWhat;
      continue;
    }
    ASSERT_EQ(lines.size(), 1u) << c.m_strWhat;
    std::string const& line = lines[0];
    EXPECT_NE(line.find("Err : "), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - std::string(c.m_strLogged).size()), c.m_strLogged);
  }
}

}  // namespace
