// clsDynamicWindow, menus: the contextual menu of an edit or button (the standard editing commands
// and the items its author listed, made once per node and window and reused), and the File and
// Edit menu bar that stands while a modal dialog's loop runs.
#include "core/MacOSGlue.h"
#include "dialogs/clsDWMenu.h"
#include "dialogs/clsDynamicWindow.h"

namespace {

constexpr int kTextViewOffset = 20000;

MenuItemIndex AppendCommand(MenuRef menu, char const* text, MenuCommand command) {
  CFStringRef string = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
  if (string == nullptr) return 0;
  MenuItemIndex index = 0;
  AppendMenuItemTextWithCFString(menu, string, 0, command, &index);
  CFRelease(string);
  return index;
}

void AppendSeparator(MenuRef menu) {
  AppendMenuItemTextWithCFString(menu, nullptr, kMenuItemAttrSeparator, 0, nullptr);
}

void SetKey(MenuRef menu, MenuItemIndex item, char key, UInt8 modifiers) {
  if (item == 0) return;
  SetMenuItemCommandKey(menu, item, false, UInt16(key));
  SetMenuItemModifiers(menu, item, modifiers);
}

// A bar menu with its title, or null.
MenuRef NewBarMenu(MenuID id, char const* title) {
  MenuRef menu = nullptr;
  if (CreateNewMenu(id, 0, &menu) != noErr) return nullptr;
  CFStringRef string = CFStringCreateWithCString(nullptr, title, kCFStringEncodingUTF8);
  if (string != nullptr) {
    SetMenuTitleWithCFString(menu, string);
    CFRelease(string);
  }
  return menu;
}

}  // namespace

void clsDynamicWindow::ShowContextualMenu(int32_t id, int x, int y) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr && id >= kTextViewOffset + 1) {
    id -= kTextViewOffset;
    obj = FindObject(id);
  }
  if (obj == nullptr) return;
  enumDWLOType const type = obj->m_enmType;
  if (type != DWLO_Edit && type != DWLO_Button && type != DWLO_SmallButton) return;

  bool found = false;
  clsDWMenu::iterator menu = m_udtMainDWMenu.FindMenu(id, this, found);
  if (!found) {
    bool ok = false;
    menu = m_udtMainDWMenu.NewSubMenu(id, obj->m_ustrLabel, this, ok);
    if (!ok) return;
    MenuRef const platform = menu->m_hMenu;
    if (type == DWLO_Edit) {
      AppendCommand(platform, "Undo", MakeFourCharCode("undo"));
      if (obj->HasFeature(1)) AppendCommand(platform, "Redo", MakeFourCharCode("redo"));
      AppendSeparator(platform);
      AppendCommand(platform, "Cut", MakeFourCharCode("cut "));
      AppendCommand(platform, "Copy", MakeFourCharCode("copy"));
      AppendCommand(platform, "Paste", MakeFourCharCode("past"));
      AppendCommand(platform, "Delete", MakeFourCharCode("clea"));
      AppendSeparator(platform);
      AppendCommand(platform, "Select All", MakeFourCharCode("sall"));
    }
    if (obj->HasContextualMenu()) {
      if (type == DWLO_Edit) AppendSeparator(platform);
      menu->AddMenuItems(obj->m_pulstContextMenu, true);
    }
  }
  MenuRef const platform = menu->m_hMenu;

  Point where{SInt16(y), SInt16(x)};
  if (type == DWLO_Edit) {
    Rect structure;
    if (m_refWindow != nullptr && ::GetWindowBounds(m_refWindow, kWindowStructureRgn, &structure) == noErr) {
      where.h = SInt16(x + structure.left);
      where.v = SInt16(y + structure.top);
    }
  } else {
    int left = 0, top = 0, width = 0, height = 0;
    if (GetControlBounds(id, &left, &top, &width, &height, true)) {
      where.h = SInt16(left);
      where.v = SInt16(top + height + 6);
    }
  }

  UInt32 selectionType = 0;
  MenuID chosenMenu = 0;
  MenuItemIndex chosenItem = 0;
  if (ContextualMenuSelect(platform, where, false, kCMHelpItemNoHelp, nullptr, nullptr,
                           &selectionType, &chosenMenu, &chosenItem) != noErr ||
      selectionType != kCMMenuItemSelected) {
    return;
  }
  bool menuFound = false;
  clsDWMenu::iterator chosen = m_udtMainDWMenu.FindMenu(int(chosenMenu), menuFound);
  if (!menuFound) return;
  bool itemFound = false;
  clsDWMenu::item_iterator item = chosen->FindMenuItem(int(chosenItem), itemFound);
  if (!itemFound || m_pudtEvents == nullptr) return;
  // Copies: the handler may open menus of its own, which moves the menu tree.
  UniString const text = item->m_ustrText;
  UniString const tag = item->m_ustrTag;
  m_pudtEvents->ContextualMenuClick(id, text, tag);
}

void clsDynamicWindow::CreateMenuBar() {
  m_hSavedMenuBar = GetMenuBar();
  ClearMenuBar();

  if (MenuRef file = NewBarMenu(200, "File")) {
    MenuItemIndex const close = AppendCommand(file, "Close Window", MakeFourCharCode("clos"));
    SetKey(file, close, 'W', kMenuNoModifiers);
    bool const closeBox = (m_intWindowType == 0 && !HasFeature(1)) ||
                          (m_intWindowType == 1 && HasFeature(1)) ||
                          (m_intWindowType == 2 && HasFeature(1));
    if (closeBox) {
      EnableMenuItem(file, close);
    } else {
      DisableMenuItem(file, close);
    }
    InsertMenu(file, 0);
    ReleaseMenu(file);  // the bar holds it
  }
  if (MenuRef edit = NewBarMenu(201, "Edit")) {
    SetKey(edit, AppendCommand(edit, "Undo", MakeFourCharCode("undo")), 'Z', kMenuNoModifiers);
    SetKey(edit, AppendCommand(edit, "Redo", MakeFourCharCode("redo")), 'Z', kMenuShiftModifier);
    AppendSeparator(edit);
    SetKey(edit, AppendCommand(edit, "Cut", MakeFourCharCode("cut ")), 'X', kMenuNoModifiers);
    SetKey(edit, AppendCommand(edit, "Copy", MakeFourCharCode("copy")), 'C', kMenuNoModifiers);
    SetKey(edit, AppendCommand(edit, "Paste", MakeFourCharCode("past")), 'V', kMenuNoModifiers);
    AppendCommand(edit, "Delete", MakeFourCharCode("clea"));
    SetKey(edit, AppendCommand(edit, "Select All", MakeFourCharCode("sall")), 'A', kMenuNoModifiers);
    InsertMenu(edit, 0);
    ReleaseMenu(edit);
  }
  DrawMenuBar();
}

void clsDynamicWindow::RestoreMenuBar() {
  if (m_hSavedMenuBar == nullptr) return;
  SetMenuBar(m_hSavedMenuBar);
  DisposeMenuBar(m_hSavedMenuBar);
  m_hSavedMenuBar = nullptr;
  DrawMenuBar();
}
