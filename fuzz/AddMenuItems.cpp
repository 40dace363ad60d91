// Fuzz target: arbitrary bytes, decoded as UTF-8 and split into lines at CR, LF and CR LF, given
// to clsDWMenu::AddMenuItems on a fresh node menu, with and without submenus (host-given merge
// field and container names reach menus this way). Afterwards every recorded item must show the
// same text in its platform menu at its index, every platform id must lie in 24576 to 32767, and
// clearing the menu must leave no platform menu behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/MacOSGlue.h"
#include "core/UniStringList.h"
#include "dialogs/clsDWMenu.h"
#include "platform/carbon/MenusTesting.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckMenu(clsDWMenu const& menu) {
  Check(menu.m_intMenuID >= 24576 && menu.m_intMenuID <= 32767);
  Check(menu.m_hMenu != nullptr && GetMenuHandle(menu.m_intMenuID) == menu.m_hMenu);
  for (stcDWMenuItem const& item : menu.m_vecItems) {
    Check(item.m_ustrText.IsNotEmpty());
    CFStringRef text = nullptr;
    Check(CopyMenuItemTextAsCFString(menu.m_hMenu, MenuItemIndex(item.m_intIndex), &text) == noErr);
    Check(CFStringToUniString(text) == item.m_ustrText);
    CFRelease(text);
  }
  for (clsDWMenu const& sub : menu.m_vecSubMenus) CheckMenu(sub);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > (1u << 14)) return 0;
  UniString const text(data, 1, static_cast<int>(size));
  UniStringList lines;
  lines.AddText(text);
  for (bool allowSubMenus : {false, true}) {
    bool ok = false;
    clsDWMenu::iterator menu = m_udtMainDWMenu.NewSubMenu(1, UniString("node", 1, -1), nullptr, ok);
    Check(ok);
    menu->AddMenuItems(&lines, allowSubMenus);
    CheckMenu(*menu);
    if (!allowSubMenus) Check(menu->m_vecSubMenus.empty());
    ClearDWMenu(nullptr);
    Check(m_udtMainDWMenu.m_vecSubMenus.empty());
    Check(MenusCountAliveForTesting() == 0);
  }
  return 0;
}
