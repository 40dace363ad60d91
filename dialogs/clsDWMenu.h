// clsDWMenu: the tree that mirrors the platform menus the dialog engine made, so a choice the
// platform reports (menu id, item index) leads back to the layout node, the item text and tag.
// Interface: stcDWMenuItem; clsDWMenu with NewSubMenu (a node's menu, platform ids 24576 up to
// 32767), AddMenuItems (item lines: "Parent>Item;tag", "-" a separator, " " a one-blank item),
// FindSubMenuMarker, the FindMenu searches and FindMenuItem; the root m_udtMainDWMenu, under
// which the node menus of every live window hang; ClearDWMenu for a window or for one menu.
// Relies on the Menu Manager stand-in and UniString. Copies share the platform handle; only
// ClearDWMenu disposes of platform menus. Failures (no free id, a refused menu or item) leave
// things as they were, except that a submenu's parent item stays when the submenu cannot be made.
#pragma once

#include <cstdint>
#include <vector>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "platform/carbon/Menus.h"

class clsDynamicWindow;

struct stcDWMenuItem {
  int32_t m_intIndex;  // 1-based position in the platform menu, separators and parents counted
  UniString m_ustrText;
  UniString m_ustrTag;  // the text after ";" in the item line
};

class clsDWMenu {
 public:
  using iterator = std::vector<clsDWMenu>::iterator;
  using item_iterator = std::vector<stcDWMenuItem>::iterator;

  clsDWMenu();

  // A node's menu: the first free platform id from 24576, a platform menu in the list of
  // submenus, appended to this menu's submenus. ok tells success.
  iterator NewSubMenu(int32_t id, UniString title, clsDynamicWindow* owner, bool& ok);
  // Appends the item lines to this menu, which must be registered under m_udtMainDWMenu.
  void AddMenuItems(UniStringList* lines, bool allowSubMenus);
  // 1-based position of the ">" that separates a parent name from the rest; 0 for none.
  static int FindSubMenuMarker(UniString text);
  // Among the direct submenus: node id and owner both match.
  iterator FindMenu(int32_t id, clsDynamicWindow* owner, bool& found);
  // Among all descendants, pre-order: by platform menu id, by platform handle.
  iterator FindMenu(int menuID, bool& found);
  iterator FindMenu(MenuRef menu, bool& found);
  item_iterator FindMenuItem(int index, bool& found);

  UniString m_ustrTitle;
  int32_t m_lngID;  // the layout node's id; 0 for submenus made from item lines
  clsDynamicWindow* m_pOwner;  // not owned
  std::vector<clsDWMenu> m_vecSubMenus;
  std::vector<stcDWMenuItem> m_vecItems;
  MenuID m_intMenuID;  // 0: none
  MenuRef m_hMenu;     // shared by copies

 private:
  template <typename Match>
  iterator FindDescendant(Match match, bool& found);
};

// The root of every window's node menus; it has no platform menu of its own.
extern clsDWMenu m_udtMainDWMenu;

// Clears and removes every node menu of the window.
void ClearDWMenu(clsDynamicWindow* window);
// Clears the menu's submenus recursively, then takes its platform menu out of the menu list and
// disposes of it.
void ClearDWMenu(clsDWMenu::iterator menu);
