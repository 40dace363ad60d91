// Menus: the Menu Manager stand-in, menus without a screen.
// Interface: menus with 16-bit ids (CreateNewMenu, reference counted: RetainMenu, ReleaseMenu,
// DisposeMenu, GetMenuRetainCount), their titles and items (AppendMenuItemTextWithCFString with
// text, command and attributes; a separator takes an item index too; command key, modifiers,
// enabled state, a submenu per item), the menu list (InsertMenu into the menu bar or, with
// kInsertHierarchicalMenu, into the list of submenus; DeleteMenu; GetMenuHandle finds a menu of
// the list by id), the menu bar (GetMenuBar saves a copy, SetMenuBar restores one, ClearMenuBar,
// DisposeMenuBar) and ContextualMenuSelect, which records the menu and point it is given and
// answers what the tests queued (MenusTesting.h); with nothing queued the user chose nothing.
// Only the bar's menus are saved, cleared and restored; the list of submenus stays as it is.
// The list, an item's submenu and a saved bar each hold a reference on their menus.
// Relies on the CoreFoundation string stand-in. Thread-safe (one lock); never throws. Bad
// arguments and unknown menus answer paramErr, a missing item menuItemNotFoundErr.
#pragma once

#include "platform/carbon/Finder.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFString.h"

struct AEDesc;

typedef struct OpaqueMenuRef* MenuRef;
typedef MenuRef MenuHandle;
typedef struct OpaqueMenuBarHandle* MenuBarHandle;
typedef SInt16 MenuID;
typedef UInt16 MenuItemIndex;
typedef UInt32 MenuCommand;
typedef UInt32 MenuAttributes;
typedef UInt32 MenuItemAttributes;
typedef UInt32 ItemCount;
typedef unsigned char const* ConstStr255Param;

enum : MenuAttributes { kMenuAttrExcludesMarkColumn = 1 << 0, kMenuAttrAutoDisable = 1 << 2,
                        kMenuAttrCondenseSeparators = 1 << 5 };
enum : MenuItemAttributes { kMenuItemAttrDisabled = 1 << 0, kMenuItemAttrSeparator = 1 << 6 };

// Modifier keys of an item's command key; the command key itself is implied unless excluded.
enum : UInt8 { kMenuNoModifiers = 0, kMenuShiftModifier = 1 << 0, kMenuOptionModifier = 1 << 1,
               kMenuControlModifier = 1 << 2, kMenuNoCommandModifier = 1 << 3 };

// InsertMenu's beforeID for the list of submenus, not the bar.
enum : MenuID { kInsertHierarchicalMenu = -1 };

// ContextualMenuSelect's help type and selection type.
enum : UInt32 { kCMHelpItemNoHelp = 0, kCMHelpItemAppleGuide = 1, kCMHelpItemOtherHelp = 2 };
enum : UInt32 { kCMNothingSelected = 0, kCMMenuItemSelected = 1, kCMShowHelpSelected = 3 };

enum : SInt16 { userCanceledErr = -128, menuItemNotFoundErr = -5620, menuNotFoundErr = -5623 };

// ---- menus ----
// A new empty menu with a count of 1; not yet in the menu list.
OSStatus CreateNewMenu(MenuID inMenuID, MenuAttributes inMenuAttributes, MenuRef* outMenuRef);
OSStatus RetainMenu(MenuRef inMenu);
OSStatus ReleaseMenu(MenuRef inMenu);
// The same as ReleaseMenu: a menu goes when its last reference does.
void DisposeMenu(MenuRef theMenu);
ItemCount GetMenuRetainCount(MenuRef inMenu);  // 0 for an unknown menu
MenuID GetMenuID(MenuRef menu);                // 0 for an unknown menu
MenuAttributes GetMenuAttributes(MenuRef menu);
OSStatus SetMenuTitleWithCFString(MenuRef inMenu, CFStringRef inString);
// The caller releases the title.
OSStatus CopyMenuTitleAsCFString(MenuRef inMenu, CFStringRef* outString);

// ---- items (1-based indexes) ----
OSStatus AppendMenuItemTextWithCFString(MenuRef inMenu, CFStringRef inString,
                                        MenuItemAttributes inAttributes, MenuCommand inCommandID,
                                        MenuItemIndex* outNewItem);
UInt16 CountMenuItems(MenuRef theMenu);
// The caller releases the text. A separator's text is empty.
OSStatus CopyMenuItemTextAsCFString(MenuRef inMenu, MenuItemIndex inItem, CFStringRef* outString);
OSStatus GetMenuItemAttributes(MenuRef inMenu, MenuItemIndex inItem,
                               MenuItemAttributes* outAttributes);
OSStatus GetMenuItemCommandID(MenuRef inMenu, MenuItemIndex inItem, MenuCommand* outCommandID);
OSStatus SetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inSetVirtualKey,
                               UInt16 inKey);
OSStatus GetMenuItemCommandKey(MenuRef inMenu, MenuItemIndex inItem, Boolean inGetVirtualKey,
                               UInt16* outKey);
OSStatus SetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8 inModifiers);
OSStatus GetMenuItemModifiers(MenuRef inMenu, MenuItemIndex inItem, UInt8* outModifiers);
void EnableMenuItem(MenuRef theMenu, MenuItemIndex item);
void DisableMenuItem(MenuRef theMenu, MenuItemIndex item);
Boolean IsMenuItemEnabled(MenuRef menu, MenuItemIndex item);
// The item takes a reference on the submenu (null removes it) and lets the old one go.
OSStatus SetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef inHierMenu);
OSStatus GetMenuItemHierarchicalMenu(MenuRef inMenu, MenuItemIndex inItem, MenuRef* outHierMenu);

// ---- the menu list ----
// beforeID: kInsertHierarchicalMenu for the list of submenus; 0 or an id not in the bar for the
// end of the bar, else before that bar menu. A menu already in the list stays where it is.
void InsertMenu(MenuRef theMenu, MenuID beforeID);
// Takes the menu of that id out of the list (bar or submenus); nothing when none is there.
void DeleteMenu(MenuID menuID);
// The menu of that id in the list; NULL when none is there.
MenuRef GetMenuHandle(MenuID menuID);
MenuRef GetMenuRef(MenuID menuID);

// ---- the menu bar ----
// A new handle holding the bar's menus as they are now.
MenuBarHandle GetMenuBar(void);
// The bar becomes the handle's menus; the handle stays the caller's.
void SetMenuBar(MenuBarHandle mbar);
void ClearMenuBar(void);
void DisposeMenuBar(MenuBarHandle inMbar);
void InvalMenuBar(void);
void DrawMenuBar(void);

// Pops the menu up at the global point. noErr with kCMMenuItemSelected and the chosen menu's id
// and item, or userCanceledErr with kCMNothingSelected when nothing was chosen.
OSStatus ContextualMenuSelect(MenuRef inMenu, Point inGlobalLocation, Boolean inReserved,
                              UInt32 inHelpType, ConstStr255Param inHelpItemString,
                              AEDesc const* inSelection, UInt32* outUserSelectionType,
                              MenuID* outMenuID, MenuItemIndex* outMenuItem);
