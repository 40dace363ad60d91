// MenuTesting: the menus a test's user opened, read back as item lines through the Menu
// Manager's records (platform/carbon/MenusTesting.h).
// Interface: MenuLinesForTesting(menu) gives "-" for a separator and "Parent>Item" for the items of
// a submenu; LastMenuLinesForTesting() the lines of the contextual or popup menu opened last
// (empty when none was). Test code only.
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/Menus.h"

std::vector<std::string> MenuLinesForTesting(MenuRef menu);
std::vector<std::string> LastMenuLinesForTesting();
