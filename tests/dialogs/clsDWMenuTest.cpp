// Tests of the menu tree: item lines, submenus made from them, platform ids, failures of the
// platform, and clearing a window's menus.
#include "dialogs/clsDWMenu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/MenusTesting.h"

namespace {

UniString U(char const* text) { return UniString(text, 1, -1); }

UniStringList Lines(std::vector<char const*> const& lines) {
  UniStringList list;
  for (char const* line : lines) list.Add(U(line));
  return list;
}

UniString PlatformItemText(MenuRef menu, MenuItemIndex index) {
  CFStringRef text = nullptr;
  if (CopyMenuItemTextAsCFString(menu, index, &text) != noErr) return U("<none>");
  UniString out = CFStringToUniString(text);
  CFRelease(text);
  return out;
}

bool IsSeparator(MenuRef menu, MenuItemIndex index) {
  MenuItemAttributes attributes = 0;
  return GetMenuItemAttributes(menu, index, &attributes) == noErr &&
         (attributes & kMenuItemAttrSeparator) != 0;
}

class clsDWMenuTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    std::vector<clsDWMenu>& menus = m_udtMainDWMenu.m_vecSubMenus;
    while (!menus.empty()) {
      ClearDWMenu(menus.begin());
      menus.erase(menus.begin());
    }
    MenusResetForTesting();
  }
  // A node menu of the window, filled from the lines.
  clsDWMenu& NodeMenu(int32_t id, clsDynamicWindow* owner, std::vector<char const*> const& lines,
                      bool allowSubMenus) {
    bool ok = false;
    clsDWMenu::iterator menu = m_udtMainDWMenu.NewSubMenu(id, U("node"), owner, ok);
    EXPECT_TRUE(ok);
    UniStringList list = Lines(lines);
    menu->AddMenuItems(&list, allowSubMenus);
    return *menu;
  }
  clsDynamicWindow m_udtWindowA, m_udtWindowB;
};

// Each case: the lines, then the expected recorded items of the node menu ("index text|tag"),
// its submenus' titles, and the platform menu's item texts (separators as "-").
TEST_F(clsDWMenuTest, ItemLinesFillMenusAndSubmenus) {
  struct stcCase {
    char const* m_strWhat;
    std::vector<char const*> m_vecLines;
    bool m_blnSubMenus;
    std::vector<std::string> m_vecItems;
    std::vector<std::string> m_vecSubTitles;
    std::vector<std::string> m_vecPlatform;
  };
  std::vector<stcCase> const cases = {
      {"item, separator, submenu", {"Copy address", "-", "Insert>Name;n", "Insert>Date;d"}, true,
       {"1 Copy address|"}, {"Insert"}, {"Copy address", "-", "Insert"}},
      {"empty parent name", {">Item"}, true, {"1 Item|"}, {}, {"Item"}},
      {"parent only", {"Parent>"}, true, {}, {"Parent"}, {"Parent"}},
      {"tag holding a semicolon", {"a;b;c"}, true, {"1 a|b;c"}, {}, {"a"}},
      {"blanks", {" ", "   ", "", "  x  ;  t  "}, true, {"1  |", "2 x|t"}, {}, {" ", "x"}},
      {"empty text with a tag", {";tag", "-;t"}, true, {}, {}, {"-"}},
      {"without submenus", {"A>B;c", " Trim me "}, false, {"1 A>B;c|", "2 Trim me|"}, {},
       {"A>B;c", "Trim me"}},
      {"marker after brackets", {"Insert <<Name>> here>Item;i"}, true, {},
       {"Insert <<Name>> here"}, {"Insert <<Name>> here"}},
      {"no marker inside brackets", {"<x>y;t"}, true, {"1 <x>y|t"}, {}, {"<x>y"}},
      {"two levels", {"A > B > Leaf ; t", "a>b>Other"}, true, {}, {"A"}, {"A"}},
  };
  for (stcCase const& c : cases) {
    Reset();
    clsDWMenu& menu = NodeMenu(7, &m_udtWindowA, c.m_vecLines, c.m_blnSubMenus);
    std::vector<std::string> items;
    for (stcDWMenuItem const& item : menu.m_vecItems) {
      items.push_back(std::to_string(item.m_intIndex) + " " +
                      item.m_ustrText.GetAnsiString(1).c_str() + "|" +
                      item.m_ustrTag.GetAnsiString(1).c_str());
    }
    EXPECT_EQ(items, c.m_vecItems) << c.m_strWhat;
    std::vector<std::string> titles;
    for (clsDWMenu const& sub : menu.m_vecSubMenus) titles.push_back(sub.m_ustrTitle.GetAnsiString(1).c_str());
    EXPECT_EQ(titles, c.m_vecSubTitles) << c.m_strWhat;
    std::vector<std::string> platform;
    for (MenuItemIndex i = 1; i <= CountMenuItems(menu.m_hMenu); ++i) {
      platform.push_back(IsSeparator(menu.m_hMenu, i) ? "-" : PlatformItemText(menu.m_hMenu, i).GetAnsiString(1).c_str());
    }
    EXPECT_EQ(platform, c.m_vecPlatform) << c.m_strWhat;
  }
}

TEST_F(clsDWMenuTest, SubmenusAreFoundAgainIgnoringCaseAndHangOffTheirParentItem) {
  clsDWMenu& menu = NodeMenu(7, &m_udtWindowA,
                             {"Copy address", "-", "Insert>Name;n", "Insert>Date;d"}, true);
  UniStringList more = Lines({"insert>Time", "A>B>Leaf;t", "a>B>Other"});
  menu.AddMenuItems(&more, true);
  ASSERT_EQ(menu.m_vecSubMenus.size(), 2u);
  clsDWMenu& insert = menu.m_vecSubMenus[0];
  EXPECT_EQ(insert.m_lngID, 0);
  EXPECT_EQ(insert.m_pOwner, nullptr);
  ASSERT_EQ(insert.m_vecItems.size(), 3u);
  EXPECT_EQ(insert.m_vecItems[0].m_ustrTag, U("n"));
  EXPECT_EQ(insert.m_vecItems[1].m_ustrTag, U("d"));
  EXPECT_EQ(insert.m_vecItems[2].m_ustrText, U("Time"));
  EXPECT_EQ(insert.m_vecItems[2].m_intIndex, 3);
  MenuRef attached = nullptr;
  ASSERT_EQ(GetMenuItemHierarchicalMenu(menu.m_hMenu, 3, &attached), noErr);
  EXPECT_EQ(attached, insert.m_hMenu);
  EXPECT_EQ(GetMenuHandle(insert.m_intMenuID), insert.m_hMenu);

  clsDWMenu& b = menu.m_vecSubMenus[1].m_vecSubMenus.at(0);
  ASSERT_EQ(b.m_vecItems.size(), 2u);
  EXPECT_EQ(b.m_vecItems[1].m_ustrText, U("Other"));

  // A platform choice leads back to the item through the root.
  bool found = false;
  clsDWMenu::iterator chosen = m_udtMainDWMenu.FindMenu(int(b.m_intMenuID), found);
  ASSERT_TRUE(found);
  clsDWMenu::item_iterator item = chosen->FindMenuItem(1, found);
  ASSERT_TRUE(found);
  EXPECT_EQ(item->m_ustrTag, U("t"));
  chosen->FindMenuItem(3, found);
  EXPECT_FALSE(found);
  m_udtMainDWMenu.FindMenu(b.m_hMenu, found);
  EXPECT_TRUE(found);
  m_udtMainDWMenu.FindMenu(7, &m_udtWindowB, found);
  EXPECT_FALSE(found);
  m_udtMainDWMenu.FindMenu(7, &m_udtWindowA, found);
  EXPECT_TRUE(found);

  // A menu not registered under the root takes no lines.
  clsDWMenu stray;
  CreateNewMenu(999, 0, &stray.m_hMenu);
  stray.AddMenuItems(&more, true);
  EXPECT_EQ(CountMenuItems(stray.m_hMenu), 0);
  DisposeMenu(stray.m_hMenu);
  menu.AddMenuItems(nullptr, true);
}

TEST_F(clsDWMenuTest, SubmenuMarkerHonoursAngleBrackets) {
  struct stcCase {
    char const* m_strText;
    int m_intMarker;
  };
  stcCase const cases[] = {
      {"", 0}, {"abc", 0}, {"a>b", 2}, {">", 1}, {"<x>y", 0}, {"a>b<c>", 2},
      {"Insert <<Name>> here>Item", 21}, {"<<a>", 0}, {"<a>>b>c", 4}, {"x<", 0},
  };
  for (stcCase const& c : cases) {
    EXPECT_EQ(clsDWMenu::FindSubMenuMarker(U(c.m_strText)), c.m_intMarker) << c.m_strText;
  }
}

TEST_F(clsDWMenuTest, PlatformIdsAreAllocatedReusedAndRunOut) {
  clsDWMenu& first = NodeMenu(1, &m_udtWindowA, {}, true);
  clsDWMenu& second = NodeMenu(2, &m_udtWindowB, {}, true);
  EXPECT_EQ(m_udtMainDWMenu.m_vecSubMenus[0].m_intMenuID, 24576);
  EXPECT_EQ(second.m_intMenuID, 24577);
  // A submenu of the first takes the first free id above it: 24577 is taken.
  (void)first;
  UniStringList lines = Lines({"Sub>x"});
  m_udtMainDWMenu.m_vecSubMenus[0].AddMenuItems(&lines, true);
  EXPECT_EQ(m_udtMainDWMenu.m_vecSubMenus[0].m_vecSubMenus.at(0).m_intMenuID, 24578);

  ClearDWMenu(&m_udtWindowA);
  ASSERT_EQ(m_udtMainDWMenu.m_vecSubMenus.size(), 1u);
  EXPECT_EQ(NodeMenu(3, &m_udtWindowA, {}, true).m_intMenuID, 24576);

  // Every id up to 32767 taken but one: the node menu gets 32767 and no line submenu fits above.
  std::vector<MenuRef> blockers;
  for (int id = 24576; id < 32767; ++id) {
    if (GetMenuHandle(MenuID(id)) != nullptr) continue;
    MenuRef menu = nullptr;
    ASSERT_EQ(CreateNewMenu(MenuID(id), 0, &menu), noErr);
    InsertMenu(menu, kInsertHierarchicalMenu);
    blockers.push_back(menu);
  }
  clsDWMenu& last = NodeMenu(4, &m_udtWindowB, {"P>x;t", "y"}, true);
  EXPECT_EQ(last.m_intMenuID, 32767);
  EXPECT_TRUE(last.m_vecSubMenus.empty());
  ASSERT_EQ(last.m_vecItems.size(), 2u);  // the parent item P stays; x goes into this menu
  EXPECT_EQ(last.m_vecItems[0].m_intIndex, 2);
  EXPECT_EQ(last.m_vecItems[0].m_ustrTag, U("t"));
  EXPECT_EQ(PlatformItemText(last.m_hMenu, 1), U("P"));

  size_t const before = m_udtMainDWMenu.m_vecSubMenus.size();
  bool ok = true;
  m_udtMainDWMenu.NewSubMenu(5, U("full"), &m_udtWindowA, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(m_udtMainDWMenu.m_vecSubMenus.size(), before);
  for (MenuRef menu : blockers) {
    DeleteMenu(GetMenuID(menu));
    DisposeMenu(menu);
  }
}

TEST_F(clsDWMenuTest, PlatformRefusalsAreNotRecorded) {
  MenusRefuseItemTextForTesting("Bad");
  clsDWMenu& menu = NodeMenu(1, &m_udtWindowA, {"Good", "Bad", "After;a", "Bad>x"}, true);
  ASSERT_EQ(menu.m_vecItems.size(), 3u);
  EXPECT_EQ(menu.m_vecItems[1].m_ustrText, U("After"));
  EXPECT_EQ(menu.m_vecItems[1].m_intIndex, 2);
  EXPECT_EQ(menu.m_vecItems[2].m_ustrText, U("x"));  // no parent item, so no submenu
  EXPECT_TRUE(menu.m_vecSubMenus.empty());

  // A submenu that cannot be made: its parent item stays and the item goes into the parent.
  MenusFailCreationsForTesting(1);
  UniStringList lines = Lines({"Sub>y"});
  menu.AddMenuItems(&lines, true);
  EXPECT_TRUE(menu.m_vecSubMenus.empty());
  EXPECT_EQ(PlatformItemText(menu.m_hMenu, 4), U("Sub"));
  EXPECT_EQ(menu.m_vecItems.back().m_ustrText, U("y"));
  EXPECT_EQ(menu.m_vecItems.back().m_intIndex, 5);

  size_t const before = m_udtMainDWMenu.m_vecSubMenus.size();
  MenusFailCreationsForTesting(1);
  bool ok = true;
  m_udtMainDWMenu.NewSubMenu(2, U("fails"), &m_udtWindowA, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(m_udtMainDWMenu.m_vecSubMenus.size(), before);
}

TEST_F(clsDWMenuTest, ClearingAWindowsMenusLeavesOthersAndNoPlatformMenu) {
  ASSERT_EQ(MenusCountAliveForTesting(), 0);
  clsDWMenu& a1 = NodeMenu(1, &m_udtWindowA, {"X>a", "X>Y>b", "Z>c"}, true);
  MenuID const a1Sub = a1.m_vecSubMenus.at(0).m_intMenuID;
  NodeMenu(1, &m_udtWindowB, {"Q>q"}, true);
  NodeMenu(2, &m_udtWindowA, {"plain"}, true);
  EXPECT_EQ(MenusCountAliveForTesting(), 7);  // 3 node menus, 4 submenus

  ClearDWMenu(&m_udtWindowA);
  ASSERT_EQ(m_udtMainDWMenu.m_vecSubMenus.size(), 1u);
  EXPECT_EQ(m_udtMainDWMenu.m_vecSubMenus[0].m_pOwner, &m_udtWindowB);
  EXPECT_EQ(MenusCountAliveForTesting(), 2);
  EXPECT_EQ(GetMenuHandle(a1Sub), nullptr);
  bool found = false;
  m_udtMainDWMenu.FindMenu(1, &m_udtWindowB, found);
  EXPECT_TRUE(found);

  // A popup's extra reference keeps its menu until the popup lets it go.
  MenuRef popupMenu = m_udtMainDWMenu.m_vecSubMenus[0].m_hMenu;
  RetainMenu(popupMenu);
  ClearDWMenu(&m_udtWindowB);
  EXPECT_TRUE(m_udtMainDWMenu.m_vecSubMenus.empty());
  EXPECT_EQ(MenusCountAliveForTesting(), 2);  // the menu, and the submenu its item holds
  ReleaseMenu(popupMenu);
  EXPECT_EQ(MenusCountAliveForTesting(), 0);
}

}  // namespace
