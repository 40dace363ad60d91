// Menus: the Menu Manager stand-in (see Menus.h and MenusTesting.h).
// Menus are heap objects counted by reference; the set of live menus guards every call against
// unknown refs. The menu list is two ordered lists, the bar and the submenus, each holding a
// reference. One recursive lock guards everything, since letting a menu go lets its items'
// submenus go in turn.
#include "platform/carbon/Menus.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/carbon/Files.h"
#include "platform/carbon/MenusInternal.h"
#include "platform/carbon/MenusTesting.h"

struct OpaqueMenuRef {
  struct stcItem {
    std::u16string m_strText;
    MenuItemAttributes m_uintAttributes = 0;
    MenuCommand m_uintCommand = 0;
    UInt16 m_uintKey = 0;
    bool m_blnVirtualKey = false;
    UInt8 m_uintModifiers = kMenuNoModifiers;
    bool m_blnEnabled = true;
    MenuRef m_hSubMenu = nullptr;  // one reference held
  };
  ItemCount m_uintRefCount = 1;
  MenuID m_intID = 0;
  MenuAttributes m_uintAttributes = 0;
  std::u16string m_strTitle;
  std::vector<stcItem> m_vecItems;
};

struct OpaqueMenuBarHandle {
  std::vector<MenuRef> m_vecMenus;  // one reference each
};

namespace {

struct stcMenuState {
  std::recursive_mutex m_mtxLock;
  std::set<MenuRef> m_setAlive;
  std::vector<MenuRef> m_vecBar;
  std::vector<MenuRef> m_vecSubMenus;
  std::map<MenuID, int> m_mapListedIDs;  // how many listed menus have each id, for quick look-ups
  std::vector<stcContextualMenuCallForTesting> m_vecCalls;
  std::deque<std::pair<MenuID, MenuItemIndex>> m_deqChoices;
  int m_intFailCreations = 0;
  std::vector<std::u16string> m_vecRefusedTexts;
};

stcMenuState& State() {
  static stcMenuState* s_pState = new stcMenuState();
  return *s_pState;
}

std::u16string Units(CFStringRef text) {
  CFIndex const length = CFStringGetLength(text);
  std::u16string units(size_t(length), u'\0');
  if (length > 0) {
    CFStringGetCharacters(text, CFRangeMake(0, length), reinterpret_cast<UniChar*>(&units[0]));
  }
  return units;
}

CFStringRef NewString(std::u16string const& units) {
  return CFStringCreateWithCharacters(nullptr, reinterpret_cast<UniChar const*>(units.data()),
                                      CFIndex(units.size()));
}

bool Alive(stcMenuState& state, MenuRef menu) {
  return menu != nullptr && state.m_setAlive.count(menu) != 0;
}

void Retain(MenuRef menu) { ++menu->m_uintRefCount; }

void Release(stcMenuState& state, MenuRef menu) {
  if (--menu->m_uintRefCount > 0) return;
  state.m_setAlive.erase(menu);
  std::vector<OpaqueMenuRef::stcItem> items;
  items.swap(menu->m_vecItems);
  delete menu;
  for (OpaqueMenuRef::stcItem& item : items) {
    if (item.m_hSubMenu != nullptr) Release(state, item.m_hSubMenu);
  }
}

// The item of a live menu, or null.
OpaqueMenuRef::stcItem* ItemOf(stcMenuState& state, MenuRef menu, MenuItemIndex index) {
  if (!Alive(state, menu) || index < 1 || index > menu->m_vecItems.size()) return nullptr;
  return &menu->m_vecItems[index - 1];
}

OSStatus ItemError(stcMenuState& state, MenuRef menu) {
  return Alive(state, menu) ? OSStatus(menuItemNotFoundErr) : OSStatus(paramErr);
}

void NoteListed(stcMenuState& state, MenuID id, int change) {
  int& count = state.m_mapListedIDs[id];
  count += change;
  if (count <= 0) state.m_mapListedIDs.erase(id);
}

std::vector<MenuRef>::iterator FindInList(std::vector<MenuRef>& list, MenuID id) {
  return std::find_if(list.begin(), list.end(), [id](MenuRef m) { return m->m_intID == id; });
}

}  // namespace

// ---- menus ----

OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef* outMenuRef) {
  if (outMenuRef == nullptr) return paramErr;
  *outMenuRef = nullptr;
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (state.m_intFailCreations > 0) {
    --state.m_intFailCreations;
    return memFullErr;
  }
  MenuRef menu = new (std::nothrow) OpaqueMenuRef();
  if (menu == nullptr) return memFullErr;
  menu->m_intID = inMenuID;
  menu->m_uintAttributes = inMenuAttributes;
  state.m_setAlive.insert(menu);
  *outMenuRef = menu;
  return noErr;
}

OSStatus RetainMenu(MenuRef inMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu)) return paramErr;
  Retain(inMenu);
  return noErr;
}

OSStatus ReleaseMenu(MenuRef inMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu)) return paramErr;
  Release(state, inMenu);
  return noErr;
}

void DisposeMenu(MenuRef theMenu) { ReleaseMenu(theMenu); }

ItemCount GetMenuRetainCount(MenuRef inMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return Alive(state, inMenu) ? inMenu->m_uintRefCount : 0;
}

MenuID GetMenuID(MenuRef menu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return Alive(state, menu) ? menu->m_intID : MenuID(0);
}

MenuAttributes GetMenuAttributes(MenuRef menu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return Alive(state, menu) ? menu->m_uintAttributes : 0;
}

OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu) || inString == nullptr) return paramErr;
  inMenu->m_strTitle = Units(inString);
  return noErr;
}

OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef* outString) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu) || outString == nullptr) return paramErr;
  *outString = NewString(inMenu->m_strTitle);
  return *outString == nullptr ? OSStatus(memFullErr) : OSStatus(noErr);
}

// ---- items ----

OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID,
                                        MenuItemIndex* outNewItem) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu)) return paramErr;
  bool const separator = (inAttributes & kMenuItemAttrSeparator) != 0;
  if (inString == nullptr && !separator) return paramErr;
  if (inMenu->m_vecItems.size() >= 0xFFFF) return memFullErr;
  OpaqueMenuRef::stcItem item;
  if (!separator) item.m_strText = Units(inString);
  if (!separator && std::find(state.m_vecRefusedTexts.begin(), state.m_vecRefusedTexts.end(),
                              item.m_strText) != state.m_vecRefusedTexts.end()) {
    return memFullErr;
  }
  item.m_uintAttributes = inAttributes;
  item.m_uintCommand = inCommandID;
  item.m_blnEnabled = (inAttributes & kMenuItemAttrDisabled) == 0;
  try {
    inMenu->m_vecItems.push_back(item);
  } catch (...) {
    return memFullErr;
  }
  if (outNewItem != nullptr) *outNewItem = MenuItemIndex(inMenu->m_vecItems.size());
  return noErr;
}

UInt16 CountMenuItems(MenuRef theMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return Alive(state, theMenu) ? UInt16(theMenu->m_vecItems.size()) : UInt16(0);
}

OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef* outString) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outString == nullptr) return ItemError(state, inMenu);
  *outString = NewString(item->m_strText);
  return *outString == nullptr ? OSStatus(memFullErr) : OSStatus(noErr);
}

OSStatus GetMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem,
                               MenuItemAttributes* outAttributes) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outAttributes == nullptr) return ItemError(state, inMenu);
  *outAttributes = item->m_uintAttributes;
  return noErr;
}

OSStatus GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand* outCommandID) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outCommandID == nullptr) return ItemError(state, inMenu);
  *outCommandID = item->m_uintCommand;
  return noErr;
}

OSStatus SetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inSetVirtualKey,
                               UInt16 inKey) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr) return ItemError(state, inMenu);
  item->m_uintKey = inKey;
  item->m_blnVirtualKey = inSetVirtualKey != 0;
  return noErr;
}

OSStatus GetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inGetVirtualKey,
                               UInt16* outKey) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outKey == nullptr) return ItemError(state, inMenu);
  *outKey = (inGetVirtualKey != 0) == item->m_blnVirtualKey ? item->m_uintKey : UInt16(0);
  return noErr;
}

OSStatus SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr) return ItemError(state, inMenu);
  item->m_uintModifiers = inModifiers;
  return noErr;
}

OSStatus GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8* outModifiers) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outModifiers == nullptr) return ItemError(state, inMenu);
  *outModifiers = item->m_uintModifiers;
  return noErr;
}

void EnableMenuItem(MenuRef theMenu, MenuItemIndex item) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (OpaqueMenuRef::stcItem* entry = ItemOf(state, theMenu, item)) entry->m_blnEnabled = true;
}

void DisableMenuItem(MenuRef theMenu, MenuItemIndex item) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (OpaqueMenuRef::stcItem* entry = ItemOf(state, theMenu, item)) entry->m_blnEnabled = false;
}

Boolean IsMenuItemEnabled(MenuRef menu, MenuItemIndex item) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* entry = ItemOf(state, menu, item);
  return entry != nullptr && entry->m_blnEnabled ? TRUE : FALSE;
}

OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr) return ItemError(state, inMenu);
  if (inHierMenu != nullptr && !Alive(state, inHierMenu)) return paramErr;
  if (inHierMenu != nullptr) Retain(inHierMenu);
  MenuRef old = item->m_hSubMenu;
  item->m_hSubMenu = inHierMenu;
  if (old != nullptr) Release(state, old);
  return noErr;
}

OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef* outHierMenu) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  OpaqueMenuRef::stcItem* item = ItemOf(state, inMenu, inItem);
  if (item == nullptr || outHierMenu == nullptr) return ItemError(state, inMenu);
  *outHierMenu = item->m_hSubMenu;
  return noErr;
}

// ---- the menu list ----

void InsertMenu(MenuRef theMenu, MenuID beforeID) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, theMenu)) return;
  bool const listed =
      std::find(state.m_vecBar.begin(), state.m_vecBar.end(), theMenu) != state.m_vecBar.end() ||
      std::find(state.m_vecSubMenus.begin(), state.m_vecSubMenus.end(), theMenu) !=
          state.m_vecSubMenus.end();
  if (listed) return;
  try {
    if (beforeID == kInsertHierarchicalMenu) {
      state.m_vecSubMenus.push_back(theMenu);
    } else {
      state.m_vecBar.insert(FindInList(state.m_vecBar, beforeID), theMenu);
    }
    NoteListed(state, theMenu->m_intID, 1);
  } catch (...) {
    return;
  }
  Retain(theMenu);
}

void DeleteMenu(MenuID menuID) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  for (std::vector<MenuRef>* list : {&state.m_vecBar, &state.m_vecSubMenus}) {
    auto it = FindInList(*list, menuID);
    if (it == list->end()) continue;
    MenuRef menu = *it;
    list->erase(it);
    NoteListed(state, menuID, -1);
    Release(state, menu);
    return;
  }
}

MenuRef GetMenuHandle(MenuID menuID) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (state.m_mapListedIDs.count(menuID) == 0) return nullptr;
  for (std::vector<MenuRef>* list : {&state.m_vecBar, &state.m_vecSubMenus}) {
    auto it = FindInList(*list, menuID);
    if (it != list->end()) return *it;
  }
  return nullptr;
}

MenuRef GetMenuRef(MenuID menuID) { return GetMenuHandle(menuID); }

// ---- the menu bar ----

MenuBarHandle GetMenuBar(void) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  MenuBarHandle bar = new (std::nothrow) OpaqueMenuBarHandle();
  if (bar == nullptr) return nullptr;
  try {
    bar->m_vecMenus = state.m_vecBar;
  } catch (...) {
    delete bar;
    return nullptr;
  }
  for (MenuRef menu : bar->m_vecMenus) Retain(menu);
  return bar;
}

void SetMenuBar(MenuBarHandle mbar) {
  if (mbar == nullptr) return;
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  std::vector<MenuRef> menus;
  try {
    menus = mbar->m_vecMenus;
  } catch (...) {
    return;
  }
  for (MenuRef menu : menus) {
    Retain(menu);
    NoteListed(state, menu->m_intID, 1);
  }
  menus.swap(state.m_vecBar);
  for (MenuRef menu : menus) {
    NoteListed(state, menu->m_intID, -1);
    Release(state, menu);
  }
}

void ClearMenuBar(void) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  std::vector<MenuRef> menus;
  menus.swap(state.m_vecBar);
  for (MenuRef menu : menus) {
    NoteListed(state, menu->m_intID, -1);
    Release(state, menu);
  }
}

void DisposeMenuBar(MenuBarHandle inMbar) {
  if (inMbar == nullptr) return;
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  for (MenuRef menu : inMbar->m_vecMenus) Release(state, menu);
  delete inMbar;
}

void InvalMenuBar(void) {}
void DrawMenuBar(void) {}

OSStatus ContextualMenuSelect(MenuRef inMenu, Point inGlobalLocation, Boolean inReserved,
                              UInt32 inHelpType, ConstStr255Param inHelpItemString,
                              AEDesc const* inSelection, UInt32* outUserSelectionType,
                              MenuID* outMenuID, MenuItemIndex* outMenuItem) {
  (void)inReserved;
  (void)inHelpType;
  (void)inHelpItemString;
  (void)inSelection;
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  if (!Alive(state, inMenu) || outUserSelectionType == nullptr || outMenuID == nullptr ||
      outMenuItem == nullptr) {
    return paramErr;
  }
  try {
    state.m_vecCalls.push_back({inMenu, inGlobalLocation});
  } catch (...) {
  }
  *outMenuID = 0;
  *outMenuItem = 0;
  if (state.m_deqChoices.empty()) {
    // The window server's queue of user actions may hold the choice.
    if (TakeMenuChoiceForOpenMenu(inMenu, outMenuID, outMenuItem)) {
      *outUserSelectionType = kCMMenuItemSelected;
      return noErr;
    }
    *outUserSelectionType = kCMNothingSelected;
    return userCanceledErr;
  }
  *outUserSelectionType = kCMMenuItemSelected;
  *outMenuID = state.m_deqChoices.front().first;
  *outMenuItem = state.m_deqChoices.front().second;
  state.m_deqChoices.pop_front();
  return noErr;
}

// ---- testing ----

int MenusCountAliveForTesting() {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return int(state.m_setAlive.size());
}

std::vector<stcContextualMenuCallForTesting> ContextualMenuCallsForTesting() {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  return state.m_vecCalls;
}

void ContextualMenuQueueChoiceForTesting(MenuID menuID, MenuItemIndex item) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  state.m_deqChoices.emplace_back(menuID, item);
}

void MenusFailCreationsForTesting(int count) {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  state.m_intFailCreations = count;
}

void MenusRefuseItemTextForTesting(char const* text) {
  CFStringRef string = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  if (string == nullptr) return;
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  state.m_vecRefusedTexts.push_back(Units(string));
  CFRelease(string);
}

void MenusResetForTesting() {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  ClearMenuBar();
  std::vector<MenuRef> menus;
  menus.swap(state.m_vecSubMenus);
  for (MenuRef menu : menus) {
    NoteListed(state, menu->m_intID, -1);
    Release(state, menu);
  }
  state.m_vecCalls.clear();
  state.m_deqChoices.clear();
  state.m_intFailCreations = 0;
  state.m_vecRefusedTexts.clear();
}

std::vector<MenuRef> MenuBarMenusForWindowServer() {
  stcMenuState& state = State();
  std::lock_guard<std::recursive_mutex> lock(state.m_mtxLock);
  try {
    return state.m_vecBar;
  } catch (...) {
    return {};
  }
}
