// MenusTesting: what tests see of and do to the Menu Manager stand-in.
// Interface: the number of menus alive; the record of ContextualMenuSelect calls (menu and point)
// and the queue of choices it answers from; failures on demand (the next menu creations, and
// appends of an item text); a reset that empties the bar, the list of submenus, the records, the
// queue and the failures (menus still referenced elsewhere stay alive).
// Relies on Menus.h. Thread-safe; never fails.
#pragma once

#include <vector>

#include "platform/carbon/Menus.h"

struct stcContextualMenuCallForTesting {
  MenuRef m_hMenu;
  Point m_udtWhere;
};

int MenusCountAliveForTesting();
std::vector<stcContextualMenuCallForTesting> ContextualMenuCallsForTesting();
// The next ContextualMenuSelect reports the item of the menu as chosen.
void ContextualMenuQueueChoiceForTesting(MenuID menuID, MenuItemIndex item);
// The next count calls of CreateNewMenu fail (memFullErr).
void MenusFailCreationsForTesting(int count);
// Appending an item (not a separator) of exactly this UTF-8 text fails until the reset.
void MenusRefuseItemTextForTesting(char const* text);
void MenusResetForTesting();
