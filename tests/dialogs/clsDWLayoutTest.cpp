// Tests of the dialog description: value clamping, builders on wrong parents, features that
// depend on the parent, the pre-order search, and deep copies.
#include "dialogs/clsDWLayout.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

UniString U(char const* text) { return UniString(text, 1, -1); }

clsDWLayoutObject NodeOf(enumDWLOType kind, int items) {
  clsDWLayoutObject node;
  node.m_enmType = kind;
  for (int i = 0; i < items; ++i) node.AddItem(UniString(int32_t(i)));
  return node;
}

TEST(clsDWLayoutObjectTest, SetValueClampsByKind) {
  struct stcCase {
    char const* m_strWhat;
    enumDWLOType m_enmKind;
    int m_intItems;  // -1: no item list
    int32_t m_intValue;
    int32_t m_intStored;
  };
  stcCase const cases[] = {
      {"check box, negative", DWLO_CheckBox, -1, -5, 0},
      {"check box, positive", DWLO_CheckBox, -1, 7, 1},
      {"combo past its items", DWLO_ComboBox, 3, 10, 2},
      {"combo last item", DWLO_ComboBox, 3, 2, 2},
      {"combo without a list", DWLO_ComboBox, -1, 10, 10},
      {"combo zero", DWLO_ComboBox, 3, 0, 0},
      {"combo negative", DWLO_ComboBox, 3, -4, 0},
      {"combo empty list", DWLO_ComboBox, 0, 1, -1},
      {"list box past its items", DWLO_ListBox, 2, 5, 1},
      {"radio group past its items", DWLO_RadioGroup, 4, 9, 3},
      {"radio controller negative", DWLO_RadioController, 2, -1, 0},
      {"progress over 100", DWLO_ProgressBar, -1, 150, 100},
      {"progress negative", DWLO_ProgressBar, -1, -1, 0},
      {"progress inside", DWLO_ProgressBar, -1, 40, 40},
      {"slider unchanged", DWLO_Slider, -1, -70, -70},
      {"label unchanged", DWLO_Label, 2, 99, 99},
  };
  for (stcCase const& c : cases) {
    clsDWLayoutObject node = NodeOf(c.m_enmKind, c.m_intItems < 0 ? 0 : c.m_intItems);
    if (c.m_intItems == 0) {
      node.AssignText(nullptr);  // an item list that exists and is empty
      ASSERT_NE(node.m_pulstItems, nullptr);
    }
    if (c.m_intItems < 0) {
      ASSERT_EQ(node.m_pulstItems, nullptr);
    }
    node.SetValue(c.m_intValue);
    EXPECT_EQ(node.GetValue(), c.m_intStored) << c.m_strWhat;
  }
}

TEST(clsDWLayoutObjectTest, BuildersOnTheWrongKindThrowAndAppendNothing) {
  using Builder = std::function<void(clsDWLayoutObject&)>;
  struct stcCase {
    char const* m_strWhat;
    enumDWLOType m_enmParent;
    Builder m_fnBuild;
  };
  stcCase const cases[] = {
      {"button on a label", DWLO_Label, [](clsDWLayoutObject& n) { n.AddButton(1, U("OK"), 0, 0, true, false, true); }},
      {"tab on a VBox", DWLO_VBox, [](clsDWLayoutObject& n) { n.AddTab(1, U("T"), true, 0, 0); }},
      {"HBox on a tab control", DWLO_TabControl, [](clsDWLayoutObject& n) { n.AddHBox(1, U(""), 0, false); }},
      {"VBox on a fresh node", DWLO_None, [](clsDWLayoutObject& n) { n.AddVBox(1, U(""), 0, false); }},
      {"fill on an edit", DWLO_Edit, [](clsDWLayoutObject& n) { n.AddFill(1); }},
      {"space on a fill", DWLO_Fill, [](clsDWLayoutObject& n) { n.AddSpace(1, 1, 1, 1, 1); }},
      {"tab control on a button", DWLO_Button, [](clsDWLayoutObject& n) { n.AddTabControl(1, 0, 0); }},
      {"small button on a tab control", DWLO_TabControl, [](clsDWLayoutObject& n) { n.AddSmallButton(1, U("x"), 0, 0); }},
      {"label on a radio group", DWLO_RadioGroup, [](clsDWLayoutObject& n) { n.AddLabel(1, U("x"), 0, 0, 0, 0); }},
      {"edit on a check box", DWLO_CheckBox, [](clsDWLayoutObject& n) { n.AddEdit(1, U("x"), 0, 0, false, false, false, false); }},
      {"check box on a space", DWLO_Space, [](clsDWLayoutObject& n) { n.AddCheckBox(1, U("x"), 0, 0, true); }},
      {"combo box on a picture", DWLO_Picture, [](clsDWLayoutObject& n) { n.AddComboBox(1, U("x"), 0, false, false); }},
      {"progress bar on a tab control", DWLO_TabControl, [](clsDWLayoutObject& n) { n.AddProgressBar(1, 0); }},
      {"separator on a list box", DWLO_ListBox, [](clsDWLayoutObject& n) { n.AddSeparator(1, 40); }},
      {"picture on a web view", DWLO_WebView, [](clsDWLayoutObject& n) { n.AddPicture(1, 2, 0, 0, 0, 0); }},
      {"root VBox made twice", DWLO_VBox, [](clsDWLayoutObject& n) { n.MakeMeAVBox(5, U("t"), 9, true); }},
      {"root VBox over an HBox", DWLO_HBox, [](clsDWLayoutObject& n) { n.MakeMeAVBox(5, U("t"), 9, true); }},
  };
  for (stcCase const& c : cases) {
    clsDWLayoutObject node;
    node.m_enmType = c.m_enmParent;
    node.m_lngID = 77;
    node.m_intWidth = 10;
    int thrown = 0;
    try {
      c.m_fnBuild(node);
    } catch (int value) {
      thrown = value;
    }
    EXPECT_EQ(thrown, -1) << c.m_strWhat;
    EXPECT_TRUE(node.m_vecChildren.empty()) << c.m_strWhat;
    EXPECT_EQ(node.m_enmType, c.m_enmParent) << c.m_strWhat;
    EXPECT_EQ(node.m_lngID, 77) << c.m_strWhat;
    EXPECT_EQ(node.m_intWidth, 10) << c.m_strWhat;
    EXPECT_EQ(node.m_intFeatures, 0) << c.m_strWhat;
  }
}

TEST(clsDWLayoutObjectTest, BuildersSetTheirFieldsAndFeaturesFollowTheParent) {
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, U("Root"), 30, true);
  EXPECT_EQ(root.GetType(), DWLO_VBox);
  EXPECT_EQ(root.m_intMinHeight, 30);
  EXPECT_TRUE(root.HasFeature(1));

  clsDWLayoutObject::iterator fillV = root.AddFill(1);
  EXPECT_EQ(fillV->m_intFeatures, 1);
  clsDWLayoutObject::iterator sepV = root.AddSeparator(2, 40);
  EXPECT_EQ(sepV->m_intFeatures, 0);
  EXPECT_EQ(sepV->m_intMinWidth, 40);
  EXPECT_EQ(sepV->m_intMinHeight, 0);

  clsDWLayoutObject::iterator row = root.AddHBox(3, U("Row"), 120, false);
  EXPECT_EQ(row->m_intMinWidth, 120);
  EXPECT_EQ(row->m_intFeatures, 0);
  clsDWLayoutObject::iterator fillH = row->AddFill(4);
  EXPECT_EQ(fillH->m_intFeatures, 0);
  clsDWLayoutObject::iterator sepH = row->AddSeparator(5, 40);
  EXPECT_EQ(sepH->m_intFeatures, 1);
  EXPECT_EQ(sepH->m_intMinHeight, 40);
  EXPECT_EQ(sepH->m_intMinWidth, 0);

  clsDWLayoutObject::iterator edit = row->AddEdit(6, U("text"), 7, 8, true, false, true, true);
  EXPECT_EQ(edit->m_intFeatures, 2 | 1 | 8);
  clsDWLayoutObject::iterator button = row->AddButton(7, U("OK"), 0, 0, false, true, true);
  EXPECT_EQ(button->m_intFeatures, 2 | 4);
  clsDWLayoutObject::iterator unchecked = row->AddCheckBox(8, U("c"), 0, 0, false);
  EXPECT_EQ(unchecked->GetValue(), -1);
  clsDWLayoutObject::iterator checked = row->AddCheckBox(9, U("c"), 0, 0, true);
  EXPECT_EQ(checked->GetValue(), 1);
  clsDWLayoutObject::iterator combo = row->AddComboBox(10, U("c"), 90, false, true);
  EXPECT_EQ(combo->m_intFeatures, 2);
  clsDWLayoutObject::iterator picture = row->AddPicture(11, 3, 1, 2, 3, 4);
  EXPECT_EQ(picture->GetValue(), 3);
  EXPECT_EQ(picture->m_intMaxHeight, 4);

  clsDWLayoutObject::iterator tabs = root.AddTabControl(12, 200, 100);
  clsDWLayoutObject::iterator pageV = tabs->AddTab(13, U("One"), true, 5, 6);
  EXPECT_EQ(pageV->GetType(), DWLO_VBox);
  EXPECT_EQ(pageV->m_intFeatures, 2);
  clsDWLayoutObject::iterator pageH = tabs->AddTab(14, U("Two"), false, 5, 6);
  EXPECT_EQ(pageH->GetType(), DWLO_HBox);
  EXPECT_EQ(pageH->GetLabel(), U("Two"));
  EXPECT_EQ(root.m_vecChildren.size(), 4u);
  EXPECT_EQ(root.m_vecChildren[2].m_vecChildren.size(), 8u);
}

TEST(clsDWLayoutObjectTest, ItemListsAndContextualMenus) {
  clsDWLayoutObject node = NodeOf(DWLO_ListBox, 0);
  EXPECT_EQ(node.GetItem(0), UniString());
  node.AddItem(U("a"));
  node.AddItem(U("b"));
  node.AddItem(U("c"));
  EXPECT_EQ(node.GetItem(2), U("c"));
  EXPECT_EQ(node.GetItem(3), UniString());
  node.SetText(U("only"));
  UniStringList out;
  out.Add(U("stale"));
  node.GetText(&out);
  ASSERT_EQ(out.Count(), 1u);
  EXPECT_EQ(out.At(0), U("only"));
  node.AssignText(nullptr);
  node.GetText(&out);
  EXPECT_EQ(out.Count(), 0u);
  node.GetText(nullptr);

  clsDWLayoutObject bare;
  out.Add(U("stale"));
  bare.GetText(&out);
  EXPECT_EQ(out.Count(), 0u);

  EXPECT_FALSE(bare.HasContextualMenu());
  UniStringList empty;
  bare.SetContextualMenu(&empty);
  EXPECT_NE(bare.m_pulstContextMenu, nullptr);
  clsDWLayoutObject copy(bare);
  EXPECT_FALSE(bare.HasContextualMenu());
  EXPECT_FALSE(copy.HasContextualMenu());
  ASSERT_NE(copy.m_pulstContextMenu, nullptr);
  EXPECT_NE(copy.m_pulstContextMenu, bare.m_pulstContextMenu);

  bare.SetCollapsed(true);
  EXPECT_TRUE(bare.IsCollapsed());
  EXPECT_FALSE(bare.m_blnVisible);
  bare.SetCollapsed(false);
  EXPECT_TRUE(bare.m_blnVisible);
}

// Root 1 holds: box 10 { label 20 { }, box 30 { control 40 } }, control 40 again, box 50.
// The first 40 met in pre-order is the one inside box 30.
TEST(clsDWLayoutObjectTest, FindControlWithIdIsPreOrderAndSkipsTheNodeItself) {
  clsDWLayout layout;
  layout.MakeMeAVBox(1, U(""), 0, false);
  clsDWLayoutObject::iterator box10 = layout.AddVBox(10, U("ten"), 0, false);
  box10->AddLabel(20, U("twenty"), 0, 0, 0, 0);
  clsDWLayoutObject::iterator box30 = box10->AddHBox(30, U("thirty"), 0, false);
  box30->AddButton(40, U("deep"), 0, 0, false, false, false);
  layout.AddButton(40, U("shallow"), 0, 0, false, false, false);
  clsDWLayoutObject::iterator box50 = layout.AddVBox(50, U("fifty"), 0, false);
  box50->AddLabel(1, U("same id as the root"), 0, 0, 0, 0);

  struct stcCase {
    int32_t m_lngID;
    bool m_blnFound;
    char const* m_strLabel;
  };
  stcCase const cases[] = {
      {10, true, "ten"},   {20, true, "twenty"}, {30, true, "thirty"}, {40, true, "deep"},
      {50, true, "fifty"}, {1, true, "same id as the root"}, {99, false, ""},
  };
  for (stcCase const& c : cases) {
    bool found = !c.m_blnFound;
    clsDWLayoutObject::iterator it = layout.FindControlWithID(c.m_lngID, found);
    EXPECT_EQ(found, c.m_blnFound) << c.m_lngID;
    if (found) {
      EXPECT_EQ(it->GetLabel(), U(c.m_strLabel)) << c.m_lngID;
    }
  }

  // A box's own id is not matched by its own search.
  bool found = true;
  box50 = layout.m_vecChildren.end() - 1;
  box50->FindControlWithID(50, found);
  EXPECT_FALSE(found);
}

TEST(clsDWLayoutObjectTest, CopiesAreDeepAndIndependent) {
  clsDWLayout source;
  source.MakeMeAVBox(100, U("root"), 0, false);
  source.SetTitle(U("Title"));
  source.SetResizable(true, false);
  source.SetLiveResize(true);
  source.m_intWindowWidth = 321;
  clsDWLayoutObject::iterator row = source.AddHBox(200, U(""), 0, false);
  clsDWLayoutObject::iterator combo = row->AddComboBox(201, U("c"), 0, false, false);
  combo->AddItem(U("one"));
  UniStringList menu;
  menu.Add(U("Copy"));
  combo->SetContextualMenu(&menu);

  clsDWLayout copy(source);
  clsDWLayout assigned;
  assigned = source;
  for (clsDWLayout* other : {&copy, &assigned}) {
    EXPECT_EQ(other->m_ustrTitle, U("Title"));
    EXPECT_TRUE(other->IsResizable());
    EXPECT_TRUE(other->m_blnLiveResize);
    EXPECT_EQ(other->m_intWindowWidth, 321);
    clsDWLayoutObject& otherCombo = other->m_vecChildren[0].m_vecChildren[0];
    ASSERT_NE(otherCombo.m_pulstItems, nullptr);
    EXPECT_NE(otherCombo.m_pulstItems, source.m_vecChildren[0].m_vecChildren[0].m_pulstItems);
    EXPECT_NE(otherCombo.m_pulstContextMenu, nullptr);
    otherCombo.AddItem(U("two"));
    otherCombo.m_intWidth = 55;
  }
  clsDWLayoutObject& sourceCombo = source.m_vecChildren[0].m_vecChildren[0];
  EXPECT_EQ(sourceCombo.m_pulstItems->Count(), 1u);
  EXPECT_EQ(sourceCombo.m_intWidth, 0);

  // Assigning a node's own subtree to it, and the layout to itself, keep everything sound.
  clsDWLayout const& same = assigned;
  assigned = same;
  EXPECT_EQ(assigned.m_vecChildren[0].m_vecChildren[0].m_pulstItems->Count(), 2u);
  clsDWLayoutObject& inner = copy.m_vecChildren[0];
  copy.SetLayout(inner);
  EXPECT_EQ(copy.GetID(), 200);
  EXPECT_EQ(copy.m_ustrTitle, U("Title"));
  ASSERT_EQ(copy.m_vecChildren.size(), 1u);
  EXPECT_EQ(copy.m_vecChildren[0].GetItem(1), U("two"));
  clsDWLayoutObject node = source.m_vecChildren[0];
  node = node.m_vecChildren[0];
  EXPECT_EQ(node.GetID(), 201);
  EXPECT_EQ(node.GetItem(0), U("one"));
}

}  // namespace
