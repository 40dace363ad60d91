// MenuTesting: menus read back as item lines.
#include "tests/support/MenuTesting.h"

#include "core/MacOSGlue.h"
#include "platform/carbon/MenusTesting.h"

namespace {

void AddLines(MenuRef menu, std::string const& prefix, std::vector<std::string>* out) {
  for (MenuItemIndex i = 1; i <= CountMenuItems(menu); ++i) {
    MenuItemAttributes attributes = 0;
    GetMenuItemAttributes(menu, i, &attributes);
    CFStringRef text = nullptr;
    CopyMenuItemTextAsCFString(menu, i, &text);
    std::string const line = (attributes & kMenuItemAttrSeparator) != 0
                                 ? "-"
                                 : std::string(CFStringToUniString(text).GetAnsiString(1).c_str());
    if (text != nullptr) CFRelease(text);
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub != nullptr) {
      AddLines(sub, prefix + line + ">", out);
    } else {
      out->push_back(prefix + line);
    }
  }
}

}  // namespace

std::vector<std::string> MenuLinesForTesting(MenuRef menu) {
  std::vector<std::string> lines;
  AddLines(menu, "", &lines);
  return lines;
}

std::vector<std::string> LastMenuLinesForTesting() {
  std::vector<stcContextualMenuCallForTesting> const calls = ContextualMenuCallsForTesting();
  return calls.empty() ? std::vector<std::string>() : MenuLinesForTesting(calls.back().m_hMenu);
}
