// MenusInternal: what the window server and the Menu Manager stand-in ask of each other, and no
// caller above the stand-ins does. Thread-safe.
#pragma once

#include <vector>

#include "platform/carbon/Menus.h"

// The menus of the menu bar, left to right (no references taken).
std::vector<MenuRef> MenuBarMenusForWindowServer();
// The window server's answer for a menu that pops up: the next queued user action, when it is a
// menu pick, as the chosen menu id and item; false when the menu closes with no choice.
bool TakeMenuChoiceForOpenMenu(MenuRef menu, MenuID* outMenuID, MenuItemIndex* outItem);
