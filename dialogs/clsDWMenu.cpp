// clsDWMenu: node menus, item lines and their submenus (see dialogs/clsDWMenu.h).
// Every platform menu made here goes into the platform's list of submenus, so its id counts as
// taken until ClearDWMenu takes it out again; the next free id is found by asking the platform.
#include "dialogs/clsDWMenu.h"

#include <utility>

#include "core/MacOSGlue.h"

clsDWMenu m_udtMainDWMenu;

namespace {

constexpr int kFirstNodeMenuID = 24576;
constexpr int kLastMenuID = 32767;
constexpr unsigned short kUnitOpen = '<';
constexpr unsigned short kUnitMarker = '>';
constexpr unsigned short kUnitTag = ';';

// The first id from first on that no platform menu in the list has; 0 when none is left.
MenuID FreeMenuID(int first) {
  for (int id = first; id <= kLastMenuID; ++id) {
    if (GetMenuHandle(MenuID(id)) == nullptr) return MenuID(id);
  }
  return 0;
}

// A new platform menu in the list of submenus, or null.
MenuRef NewListedMenu(MenuID id) {
  MenuRef menu = nullptr;
  if (CreateNewMenu(id, kMenuAttrCondenseSeparators, &menu) != noErr) return nullptr;
  InsertMenu(menu, kInsertHierarchicalMenu);
  return menu;
}

// Appends an item (or a separator) to the platform menu; 0 when the platform refuses it.
MenuItemIndex AppendPlatformItem(MenuRef menu, UniString const& text, bool separator) {
  CFStringRef string = UniStringToCFString(separator ? UniString() : text);
  if (string == nullptr) return 0;
  MenuItemIndex index = 0;
  OSStatus const status = AppendMenuItemTextWithCFString(
      menu, string, separator ? MenuItemAttributes(kMenuItemAttrSeparator) : 0, 0, &index);
  CFRelease(string);
  return status == noErr ? index : MenuItemIndex(0);
}

// The submenu of target called name (ignoring case), made on first use under a new item of the
// target. Null when it cannot be made; the parent item then stays.
clsDWMenu* SubMenuOfLine(clsDWMenu& target, UniString const& name) {
  UniString const wanted = name.UpperCase();
  for (clsDWMenu& sub : target.m_vecSubMenus) {
    if (sub.m_ustrTitle.UpperCase() == wanted) return &sub;
  }
  MenuItemIndex const parentItem = AppendPlatformItem(target.m_hMenu, name, false);
  if (parentItem == 0) return nullptr;
  MenuID const id = FreeMenuID(int(target.m_intMenuID) + 1);
  if (id == 0) return nullptr;
  MenuRef menu = NewListedMenu(id);
  if (menu == nullptr) return nullptr;
  clsDWMenu sub;
  sub.m_ustrTitle = name;
  sub.m_intMenuID = id;
  sub.m_hMenu = menu;
  try {
    target.m_vecSubMenus.push_back(sub);
  } catch (...) {
    DeleteMenu(id);
    DisposeMenu(menu);
    return nullptr;
  }
  if (SetMenuItemHierarchicalMenu(target.m_hMenu, parentItem, menu) != noErr) {
    ClearDWMenu(target.m_vecSubMenus.end() - 1);
    target.m_vecSubMenus.pop_back();
    return nullptr;
  }
  return &target.m_vecSubMenus.back();
}

}  // namespace

clsDWMenu::clsDWMenu() : m_lngID(0), m_pOwner(nullptr), m_intMenuID(0), m_hMenu(nullptr) {}

clsDWMenu::iterator clsDWMenu::NewSubMenu(int32_t id, UniString title, clsDynamicWindow* owner,
                                          bool& ok) {
  ok = false;
  MenuID const menuID = FreeMenuID(kFirstNodeMenuID);
  if (menuID == 0) return m_vecSubMenus.end();
  MenuRef menu = NewListedMenu(menuID);
  if (menu == nullptr) return m_vecSubMenus.end();
  clsDWMenu sub;
  sub.m_ustrTitle = title;
  sub.m_lngID = id;
  sub.m_pOwner = owner;
  sub.m_intMenuID = menuID;
  sub.m_hMenu = menu;
  try {
    m_vecSubMenus.push_back(sub);
  } catch (...) {
    DeleteMenu(menuID);
    DisposeMenu(menu);
    return m_vecSubMenus.end();
  }
  ok = true;
  return m_vecSubMenus.end() - 1;
}

void clsDWMenu::AddMenuItems(UniStringList* lines, bool allowSubMenus) {
  if (lines == nullptr) return;
  bool registered = false;
  iterator self = m_udtMainDWMenu.FindMenu(m_hMenu, registered);
  if (!registered || m_hMenu == nullptr) return;

  UniString const oneBlank(" ", 1, -1);
  for (UniString const& line : *lines) {
    UniString text = line == oneBlank ? line : line.Trim();
    UniString tag;
    clsDWMenu* target = &*self;
    if (allowSubMenus) {
      for (int p = FindSubMenuMarker(text); p > 0; p = FindSubMenuMarker(text)) {
        UniString const parent = text.SubString(1, p - 1).Trim();
        text = text.SubString(p + 1, -1).Trim();
        if (parent.IsEmpty()) continue;
        if (clsDWMenu* sub = SubMenuOfLine(*target, parent)) target = sub;
      }
      int const semicolon = text.Pos(kUnitTag, false, 1, 1);
      if (semicolon > 0) {
        tag = text.SubString(semicolon + 1, -1).Trim();
        text = text.SubString(1, semicolon - 1).Trim();
      }
    }
    if (text.IsEmpty()) continue;
    if (text == UniString("-", 1, -1)) {
      AppendPlatformItem(target->m_hMenu, text, true);
      continue;
    }
    MenuItemIndex const index = AppendPlatformItem(target->m_hMenu, text, false);
    if (index == 0) continue;  // refused: not recorded
    try {
      target->m_vecItems.push_back(stcDWMenuItem{int32_t(index), text, tag});
    } catch (...) {
    }
  }
}

int clsDWMenu::FindSubMenuMarker(UniString text) {
  int const length = text.Length();
  if (length == 0) return 0;
  unsigned short const* units = text.GetBytes();
  if (text.Pos(kUnitOpen, false, 1, 1) == 0) return text.Pos(kUnitMarker, false, 1, 1);
  int depth = 0;
  for (int i = 0; i < length; ++i) {
    if (units[i] == kUnitOpen) {
      ++depth;
    } else if (units[i] == kUnitMarker) {
      if (depth == 0) return i + 1;
      --depth;
    }
  }
  return 0;
}

clsDWMenu::iterator clsDWMenu::FindMenu(int32_t id, clsDynamicWindow* owner, bool& found) {
  for (iterator it = m_vecSubMenus.begin(); it != m_vecSubMenus.end(); ++it) {
    if (it->m_lngID == id && it->m_pOwner == owner) {
      found = true;
      return it;
    }
  }
  found = false;
  return m_vecSubMenus.end();
}

template <typename Match>
clsDWMenu::iterator clsDWMenu::FindDescendant(Match match, bool& found) {
  for (iterator it = m_vecSubMenus.begin(); it != m_vecSubMenus.end(); ++it) {
    if (match(*it)) {
      found = true;
      return it;
    }
    iterator inner = it->FindDescendant(match, found);
    if (found) return inner;
  }
  found = false;
  return m_vecSubMenus.end();
}

clsDWMenu::iterator clsDWMenu::FindMenu(int menuID, bool& found) {
  return FindDescendant([menuID](clsDWMenu const& m) { return m.m_intMenuID == menuID; }, found);
}

clsDWMenu::iterator clsDWMenu::FindMenu(MenuRef menu, bool& found) {
  return FindDescendant([menu](clsDWMenu const& m) { return m.m_hMenu == menu; }, found);
}

clsDWMenu::item_iterator clsDWMenu::FindMenuItem(int index, bool& found) {
  for (item_iterator it = m_vecItems.begin(); it != m_vecItems.end(); ++it) {
    if (it->m_intIndex == index) {
      found = true;
      return it;
    }
  }
  found = false;
  return m_vecItems.end();
}

void ClearDWMenu(clsDynamicWindow* window) {
  std::vector<clsDWMenu>& menus = m_udtMainDWMenu.m_vecSubMenus;
  for (clsDWMenu::iterator it = menus.begin(); it != menus.end();) {
    if (it->m_pOwner != window) {
      ++it;
      continue;
    }
    ClearDWMenu(it);
    it = menus.erase(it);
  }
}

void ClearDWMenu(clsDWMenu::iterator menu) {
  std::vector<clsDWMenu>& subs = menu->m_vecSubMenus;
  for (clsDWMenu::iterator it = subs.begin(); it != subs.end();) {
    ClearDWMenu(it);
    it = subs.erase(it);
  }
  if (menu->m_intMenuID != 0) DeleteMenu(menu->m_intMenuID);
  if (menu->m_hMenu != nullptr) DisposeMenu(menu->m_hMenu);
  menu->m_intMenuID = 0;
  menu->m_hMenu = nullptr;
}
