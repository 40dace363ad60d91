// WindowServerDriver: the user of the headless window server (see WindowsTesting.h): the queue of
// user actions, the standard handling that turns each into the events a window and its controls
// get, the idle policy of modal loops, and inspection.
// Actions run on the thread that dispatches them (a modal loop's ReceiveNextEvent, or the test);
// the server's lock is never held while an event is sent.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/carbon/MenusInternal.h"
#include "platform/carbon/WindowServerInternal.h"

namespace {

enum enumActionKind {
  kActClick,
  kActClickAt,
  kActContextualClick,
  kActClickRow,
  kActDoubleClickRow,
  kActKey,
  kActMouseMove,
  kActMenuPick,
  kActCloseBox,
  kActMoveWindow,
  kActResizeWindow,
  kActCall
};

struct stcAction {
  enumActionKind m_enmKind;
  SInt32 m_intID = 0;
  int m_intItem = 0;
  int m_intX = 0, m_intY = 0;
  UniChar m_uintKey = 0;
  EventModifiers m_ulngModifiers = 0;
  std::u16string m_strText;
  std::function<void()> m_fnCall;
};

constexpr UInt32 kEventClassDriver = MakeFourCharCode("vlmA");
constexpr UInt32 kEventDriverAction = 1;
constexpr UInt32 kEventDriverPolicy = 2;

struct stcDriverState {
  std::deque<stcAction> m_deqActions;
  std::vector<std::string> m_vecRefusals;
  std::vector<std::string> m_vecPolicySteps;
  enumWindowsIdlePolicy m_enmPolicy = kWindowsIdleReturnThenCloseThenStop;
  enumWindowsStuckMode m_enmStuck = kWindowsStuckAbort;
  bool m_blnInstalled = false;
  std::u16string m_strClipboard;
};

stcDriverState& Driver() {
  static stcDriverState* s_pDriver = new stcDriverState;
  return *s_pDriver;
}

void Refuse(std::string const& what) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  try {
    Driver().m_vecRefusals.push_back(what);
  } catch (...) {
  }
}

WindowRef ActionWindow() {
  WindowRef window = FrontNonFloatingWindow();
  return window != nullptr ? window : FrontWindow();
}

bool IsModal(WindowRef window) {
  return window->m_ulngModality != kWindowModalityNone ||
         window->m_ulngClass == kMovableModalWindowClass || window->m_ulngClass == kModalWindowClass;
}

ControlRef FindByAnyID(WindowRef window, SInt32 id) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return nullptr;
  std::vector<ControlRef> views;
  CollectViews(window->m_hRoot, &views);
  for (ControlRef view : views) {
    if (view->m_udtID.id == id && view->m_enmKind != kViewRoot && view->m_enmKind != kViewContent &&
        view->m_enmKind != kViewGrowBox) {
      return view;
    }
  }
  return nullptr;
}

void SetMouse(WindowRef window, HIPoint contentPoint) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window)) return;
  server.m_udtMouse.h = SInt16(window->m_rctContent.left + contentPoint.x);
  server.m_udtMouse.v = SInt16(window->m_rctContent.top + contentPoint.y);
}

void SetDirect(EventRef event, ControlRef control) {
  SetEventParameter(event, kEventParamDirectObject, typeControlRef, sizeof(ControlRef), &control);
}

// The part the view answers for a click at the content point: its own hit-test handler first,
// then the kind's part.
ControlPartCode HitPart(ControlRef view, HIPoint contentPoint, int item) {
  HIRect frame;
  enumViewKindForTesting kind;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(view)) return kControlNoPart;
    frame = ViewRectInContent(view);
    kind = view->m_enmKind;
  }
  HIPoint local = CGPointMake(contentPoint.x - frame.origin.x, contentPoint.y - frame.origin.y);
  ControlPartCode part = kControlNoPart;
  bool answered = false;
  SendNewEvent(
      kEventClassControl, kEventControlHitTest, GetControlEventTarget(view),
      [&](EventRef event) {
        SetDirect(event, view);
        SetEventParameter(event, kEventParamMouseLocation, typeHIPoint, sizeof local, &local);
      },
      [&](EventRef event) {
        answered = GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr,
                                     sizeof part, nullptr, &part) == noErr;
      });
  if (answered) return part;
  switch (kind) {
    case kViewPushButton:
    case kViewBevelButton:
      return kControlButtonPart;
    case kViewCheckBox:
      return kControlCheckBoxPart;
    case kViewRadioButton:
      return kControlRadioButtonPart;
    case kViewPopupButton:
      return kControlMenuPart;
    case kViewTabs:
      return ControlPartCode(std::max(1, item));
    case kViewEditText:
    case kViewComboBox:
    case kViewTextView:
      return kControlEditTextPart;
    case kViewSlider:
      return kControlIndicatorPart;
    case kViewDataBrowser:
    case kViewCustom:
      return 1;
    default:
      return kControlNoPart;  // static text, progress bars, separators, pictures, boxes, panes
  }
}

void SendHit(ControlRef control, ControlPartCode part, EventModifiers modifiers) {
  SendNewEvent(kEventClassControl, kEventControlHit, GetControlEventTarget(control),
               [&](EventRef event) {
                 SetDirect(event, control);
                 SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part,
                                   &part);
                 SetEventParameter(event, kEventParamKeyModifiers, typeUInt32, sizeof modifiers,
                                   &modifiers);
               });
}

// Clicks the view at the content point: hit-test, track by kind, then the hit event.
void ClickView(WindowRef window, ControlRef view, HIPoint point, int item, char const* what) {
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(view) || !HIViewIsVisible(view) || !view->m_blnActive) {
      Refuse(std::string("click ") + what + ": hidden or inactive");
      return;
    }
  }
  SetMouse(window, point);
  ControlPartCode part = HitPart(view, point, item);
  if (part == kControlNoPart) return;
  ControlRef hitControl = view;
  enumViewKindForTesting kind;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(view)) return;
    kind = view->m_enmKind;
  }
  if (TakesFocus(view) && kind != kViewDataBrowser) MoveFocus(window, view, part);
  switch (kind) {
    case kViewCheckBox:
    case kViewBevelButton:
      if (view->m_blnAutoToggle) SetControl32BitValue(view, view->m_intValue == 0 ? 1 : 0);
      break;
    case kViewRadioButton: {
      ControlRef parent = HIViewGetSuperview(view);
      if (parent != nullptr && parent->m_enmKind == kViewRadioGroup) {
        SInt32 n = 0, position = 0;
        for (ControlRef sub : parent->m_vecSubviews) {
          if (sub->m_enmKind != kViewRadioButton) continue;
          ++n;
          if (sub == view) position = n;
        }
        SetControl32BitValue(parent, position);
        hitControl = parent;
      } else if (view->m_blnAutoToggle) {
        SetControl32BitValue(view, 1);
      }
      break;
    }
    case kViewPopupButton: {
      MenuRef menu = GetControlPopupMenuHandle(view);
      MenuID chosenMenu = 0;
      MenuItemIndex chosenItem = 0;
      if (menu == nullptr || !TakeMenuChoiceForOpenMenu(menu, &chosenMenu, &chosenItem) ||
          chosenMenu != GetMenuID(menu)) {
        return;  // the menu closed with no choice: no hit
      }
      SetControl32BitValue(view, chosenItem);
      break;
    }
    case kViewComboBox: {
      // The list of a combo box takes a queued pick of one of its items.
      stcWindowServer& server = WindowServer();
      std::unique_lock<std::recursive_mutex> lock(server.m_mtxLock);
      stcDriverState& driver = Driver();
      if (!driver.m_deqActions.empty() && driver.m_deqActions.front().m_enmKind == kActMenuPick) {
        std::u16string const wanted = driver.m_deqActions.front().m_strText;
        auto at = std::find(view->m_vecItems.begin(), view->m_vecItems.end(), wanted);
        driver.m_deqActions.pop_front();
        if (at != view->m_vecItems.end()) {
          view->m_strText = *at;
          view->m_intValue = SInt32(at - view->m_vecItems.begin()) + 1;
          view->m_shtSelStart = view->m_shtSelEnd = SInt16(std::min<size_t>(at->size(), 32767));
        } else {
          lock.unlock();
          Refuse("menu pick " + Utf8Of(wanted) + ": not in the combo box");
        }
      }
      break;
    }
    case kViewTabs: {
      SInt32 const tab = part;
      bool enabled = true;
      {
        stcWindowServer& server = WindowServer();
        std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
        enabled = tab >= 1 && size_t(tab) <= view->m_vecItemEnabled.size() &&
                  view->m_vecItemEnabled[size_t(tab) - 1];
      }
      if (!enabled) {
        Refuse(std::string("click ") + what + ": no such tab or it is disabled");
        return;
      }
      SetControl32BitValue(view, tab);
      break;
    }
    case kViewSlider: {
      SetControl32BitValue(view, item);
      ControlActionUPP action = view->m_blnLiveTracking ? view->m_uppAction : nullptr;
      if (action != nullptr) action(view, part);
      break;
    }
    default:
      break;
  }
  SendHit(hitControl, part, 0);
}

HIPoint CentreOf(ControlRef view) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  HIRect const r = ViewRectInContent(view);
  return CGPointMake(r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2);
}

void CloseBox(WindowRef window) {
  EventTargetRef target;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return;
    if ((window->m_ulngAttributes & kWindowCloseBoxAttribute) == 0) {
      Refuse("close box: the window \"" + Utf8Of(window->m_strTitle) + "\" has none");
      return;
    }
    target = window->m_refTarget;
  }
  OSStatus status = SendNewEvent(kEventClassWindow, kEventWindowClose, target, [&](EventRef event) {
    SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof(WindowRef), &window);
  });
  if (status == eventNotHandledErr) HideWindow(window);  // the standard handling
}

// Inserts text at the selection of the focused text view or edit field.
void InsertText(ControlRef focus, std::u16string const& text) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(focus)) return;
  if (focus->m_enmKind == kViewTextView && focus->m_pTXN != nullptr) {
    TXNObject t = focus->m_pTXN;
    if (t->m_blnReadOnly) return;
    size_t const from = std::min<size_t>(t->m_ulngSelStart, t->m_strText.size());
    size_t const to = std::max(from, std::min<size_t>(t->m_ulngSelEnd, t->m_strText.size()));
    t->m_strText.replace(from, to - from, text);
    t->m_ulngSelStart = t->m_ulngSelEnd = TXNOffset(from + text.size());
  } else if (focus->m_enmKind == kViewEditText || focus->m_enmKind == kViewComboBox) {
    if (focus->m_blnLocked) return;
    size_t const from = std::min<size_t>(size_t(focus->m_shtSelStart), focus->m_strText.size());
    size_t const to = std::max(from, std::min<size_t>(size_t(focus->m_shtSelEnd), focus->m_strText.size()));
    if (focus->m_strText.size() - (to - from) + text.size() > 32767) return;
    focus->m_strText.replace(from, to - from, text);
    focus->m_shtSelStart = focus->m_shtSelEnd = SInt16(from + text.size());
  }
}

// The selection of a text view or edit field: [from, to).
bool SelectionOf(ControlRef focus, size_t* from, size_t* to, std::u16string** text) {
  if (focus->m_enmKind == kViewTextView && focus->m_pTXN != nullptr) {
    *text = &focus->m_pTXN->m_strText;
    *from = std::min<size_t>(focus->m_pTXN->m_ulngSelStart, (*text)->size());
    *to = std::max(*from, std::min<size_t>(focus->m_pTXN->m_ulngSelEnd, (*text)->size()));
    return true;
  }
  if (focus->m_enmKind == kViewEditText || focus->m_enmKind == kViewComboBox) {
    *text = &focus->m_strText;
    *from = std::min<size_t>(size_t(focus->m_shtSelStart), (*text)->size());
    *to = std::max(*from, std::min<size_t>(size_t(focus->m_shtSelEnd), (*text)->size()));
    return true;
  }
  return false;
}

void SetSelection(ControlRef focus, size_t from, size_t to) {
  if (focus->m_enmKind == kViewTextView) {
    focus->m_pTXN->m_ulngSelStart = TXNOffset(from);
    focus->m_pTXN->m_ulngSelEnd = TXNOffset(to);
  } else {
    focus->m_shtSelStart = SInt16(from);
    focus->m_shtSelEnd = SInt16(to);
  }
}

bool ReadOnly(ControlRef focus) {
  return focus->m_enmKind == kViewTextView ? focus->m_pTXN->m_blnReadOnly : focus->m_blnLocked;
}

// An enabled item of the menu bar whose command key and modifiers are these; its menu and index.
bool FindKeyEquivalent(UniChar key, EventModifiers modifiers, MenuRef* outMenu,
                       MenuItemIndex* outItem) {
  UniChar const upper = key >= 'a' && key <= 'z' ? UniChar(key - 32) : key;
  UInt8 wanted = kMenuNoModifiers;
  if ((modifiers & shiftKey) != 0) wanted |= kMenuShiftModifier;
  if ((modifiers & optionKey) != 0) wanted |= kMenuOptionModifier;
  if ((modifiers & controlKey) != 0) wanted |= kMenuControlModifier;
  for (MenuRef menu : MenuBarMenusForWindowServer()) {
    UInt16 const count = CountMenuItems(menu);
    for (MenuItemIndex i = 1; i <= count; ++i) {
      UInt16 itemKey = 0;
      UInt8 itemModifiers = 0;
      if (GetMenuItemCommandKey(menu, i, FALSE, &itemKey) != noErr || itemKey == 0) continue;
      GetMenuItemModifiers(menu, i, &itemModifiers);
      UniChar const itemUpper = itemKey >= 'a' && itemKey <= 'z' ? UniChar(itemKey - 32) : itemKey;
      if (itemUpper == upper && itemModifiers == wanted && IsMenuItemEnabled(menu, i)) {
        *outMenu = menu;
        *outItem = i;
        return true;
      }
    }
  }
  return false;
}

// A menu-bar command: to the focused control (and on to its window and the application), then
// the standard handling.
void ProcessCommand(WindowRef window, UInt32 command, MenuRef menu, MenuItemIndex item) {
  ControlRef focus = nullptr;
  EventTargetRef target;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return;
    focus = window->m_hFocus;
    target = focus != nullptr ? focus->m_refTarget : window->m_refTarget;
  }
  HICommand hiCommand{0, command, {menu, item}};
  OSStatus status = SendNewEvent(kEventClassCommand, kEventCommandProcess, target, [&](EventRef event) {
    SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof hiCommand, &hiCommand);
  });
  if (status != eventNotHandledErr) return;
  if (command == kHICommandClose) {
    CloseBox(window);
  } else if (focus != nullptr) {
    StandardEditCommand(focus, command);
  }
}

void PressButton(WindowRef window, ControlRef button, char const* what) {
  if (button == nullptr) return;
  ClickView(window, button, CentreOf(button), 0, what);
}

void PerformKey(WindowRef window, UniChar key, EventModifiers modifiers) {
  EventTargetRef windowTarget;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return;
    windowTarget = window->m_refTarget;
  }
  EventRef raw = nullptr;
  if (CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, kEventAttributeUserEvent, &raw) != noErr) {
    return;
  }
  UInt32 const code = key;
  SetEventParameter(raw, kEventParamKeyUnicodes, typeUnicodeText, sizeof key, &key);
  SetEventParameter(raw, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
  SetEventParameter(raw, kEventParamKeyCode, typeUInt32, sizeof code, &code);
  auto finish = [&] {
    SendNewEvent(kEventClassKeyboard, kEventRawKeyUp, GetWindowEventTarget(window), [&](EventRef up) {
      SetEventParameter(up, kEventParamKeyUnicodes, typeUnicodeText, sizeof key, &key);
      SetEventParameter(up, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    });
    ReleaseEvent(raw);
  };
  if (SendEventToEventTarget(raw, windowTarget) != eventNotHandledErr) return finish();
  MenuRef menu = nullptr;
  MenuItemIndex item = 0;
  if ((modifiers & cmdKey) != 0 && FindKeyEquivalent(key, modifiers, &menu, &item)) {
    MenuCommand command = 0;
    GetMenuItemCommandID(menu, item, &command);
    ProcessCommand(window, command, menu, item);
    return finish();
  }
  ControlRef focus = nullptr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (WindowAlive(window)) focus = window->m_hFocus;
  }
  if (focus != nullptr) {
    OSStatus status = SendNewEvent(kEventClassTextInput, kEventTextInputUnicodeForKeyEvent,
                                   GetControlEventTarget(focus), [&](EventRef event) {
                                     SetEventParameter(event, kEventParamTextInputSendText,
                                                       typeUnicodeText, sizeof key, &key);
                                     SetEventParameter(event, kEventParamTextInputSendKeyboardEvent,
                                                       typeEventRef, sizeof raw, &raw);
                                   });
    if (status != eventNotHandledErr) return finish();
    if (StandardTextKey(window, focus, key, modifiers)) return finish();
  }
  ControlRef button = nullptr;
  if (key == 13 || key == 3) {
    GetWindowDefaultButton(window, &button);
    PressButton(window, button, "default button");
  } else if (key == 27 || (key == '.' && (modifiers & cmdKey) != 0)) {
    GetWindowCancelButton(window, &button);
    PressButton(window, button, "cancel button");
  }
  finish();
}

void MouseMove(WindowRef window, HIPoint point) {
  SetMouse(window, point);
  OpaqueTrackingAreaRef* area = nullptr;
  OpaqueTrackingAreaRef* old = nullptr;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return;
    for (ControlRef view = HitView(window, point); view != nullptr && area == nullptr;
         view = view->m_hParent) {
      if (!view->m_vecTracking.empty()) area = view->m_vecTracking.front();
    }
    old = window->m_pHover;
    if (old == area) return;
    window->m_pHover = area;
  }
  auto send = [](OpaqueTrackingAreaRef* a, UInt32 kind) {
    ControlRef view = a->m_hView;
    SendNewEvent(kEventClassControl, kind, GetControlEventTarget(view), [&](EventRef event) {
      SetDirect(event, view);
      SetEventParameter(event, kEventParamHIViewTrackingArea, typeHIViewTrackingAreaRef,
                        sizeof a, &a);
    });
  };
  if (old != nullptr) send(old, kEventControlTrackingAreaExited);
  if (area != nullptr) send(area, kEventControlTrackingAreaEntered);
}

void RowClick(WindowRef window, stcAction const& action, bool twice) {
  ControlRef view = FindByAnyID(window, action.m_intID);
  DataBrowserItemID item = kDataBrowserNoItem;
  bool multiple = false;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (view == nullptr || view->m_enmKind != kViewDataBrowser || !HIViewIsVisible(view) ||
        !view->m_blnActive || action.m_intItem < 0 ||
        size_t(action.m_intItem) >= view->m_pBrowser->m_vecItems.size()) {
      Refuse("row click " + std::to_string(action.m_intID) + ": no such list row");
      return;
    }
    item = view->m_pBrowser->m_vecItems[size_t(action.m_intItem)];
    multiple = (view->m_pBrowser->m_ulngSelectionFlags & kDataBrowserSelectOnlyOne) == 0;
  }
  SetMouse(window, CentreOf(view));
  MoveFocus(window, view, 1);
  bool const extend = !twice && multiple && (action.m_ulngModifiers & cmdKey) != 0;
  SetDataBrowserSelectedItems(view, 1, &item, extend ? kDataBrowserItemsToggle : kDataBrowserItemsAssign);
  if (twice) NotifyBrowser(view, item, kDataBrowserItemDoubleClicked);
}

void MenuBarPick(WindowRef window, std::u16string const& text) {
  for (MenuRef menu : MenuBarMenusForWindowServer()) {
    UInt16 const count = CountMenuItems(menu);
    for (MenuItemIndex i = 1; i <= count; ++i) {
      CFStringRef itemText = nullptr;
      if (CopyMenuItemTextAsCFString(menu, i, &itemText) != noErr) continue;
      bool const same = UnitsOf(itemText) == text;
      CFRelease(itemText);
      if (!same) continue;
      if (!IsMenuItemEnabled(menu, i)) {
        Refuse("menu pick " + Utf8Of(text) + ": disabled");
        return;
      }
      MenuCommand command = 0;
      GetMenuItemCommandID(menu, i, &command);
      ProcessCommand(window, command, menu, i);
      return;
    }
  }
  Refuse("menu pick " + Utf8Of(text) + ": not in the menu bar");
}

void Perform(stcAction const& action) {
  if (action.m_enmKind == kActCall) {
    if (action.m_fnCall) action.m_fnCall();
    return;
  }
  WindowRef window = ActionWindow();
  if (window == nullptr) {
    Refuse("no window for the action");
    return;
  }
  switch (action.m_enmKind) {
    case kActClick: {
      ControlRef view = FindByAnyID(window, action.m_intID);
      if (view == nullptr) {
        Refuse("click " + std::to_string(action.m_intID) + ": no such control");
        return;
      }
      // The view under the control's centre when it lies inside the control (the text view of a
      // scroll view), else the control itself. A tab control is clicked itself: its item picks
      // the tab, whatever page lies under its centre.
      HIPoint const centre = CentreOf(view);
      ControlRef target = view;
      bool tabs;
      {
        stcWindowServer& server = WindowServer();
        std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
        tabs = view->m_enmKind == kViewTabs;
      }
      for (ControlRef hit = tabs ? nullptr : HitView(window, centre); hit != nullptr; hit = HIViewGetSuperview(hit)) {
        if (hit == view) {
          target = HitView(window, centre);
          break;
        }
      }
      ClickView(window, target, centre, action.m_intItem, std::to_string(action.m_intID).c_str());
      break;
    }
    case kActClickAt: {
      HIPoint const point = CGPointMake(action.m_intX, action.m_intY);
      ControlRef view = HitView(window, point);
      if (view == nullptr) {
        SetMouse(window, point);
        return;  // a click on the window's background
      }
      int item = 0;
      if (view->m_enmKind == kViewTabs && !view->m_vecItems.empty()) {
        HIRect const r = ViewRectInContent(view);
        item = 1 + int((point.x - r.origin.x) * double(view->m_vecItems.size()) / std::max(1.0, r.size.width));
      } else if (view->m_enmKind == kViewSlider) {
        HIRect const r = ViewRectInContent(view);
        double const share = (point.x - r.origin.x) / std::max(1.0, r.size.width);
        item = view->m_intMinimum + int(share * (view->m_intMaximum - view->m_intMinimum) + 0.5);
      }
      ClickView(window, view, point, item, "at a point");
      break;
    }
    case kActContextualClick: {
      ControlRef view = FindByAnyID(window, action.m_intID);
      if (view == nullptr || !HIViewIsVisible(view)) {
        Refuse("contextual click " + std::to_string(action.m_intID) + ": no such control");
        return;
      }
      HIPoint const centre = CentreOf(view);
      SetMouse(window, centre);
      Point global;
      GetGlobalMouse(&global);
      HIPoint const globalPoint = CGPointMake(global.h, global.v);
      HIPoint const windowPoint = CGPointMake(centre.x, centre.y + kWindowTitleBarHeight);
      SendNewEvent(kEventClassControl, kEventControlContextualMenuClick, GetControlEventTarget(view),
                   [&](EventRef event) {
                     SetDirect(event, view);
                     SetEventParameter(event, kEventParamMouseLocation, typeHIPoint,
                                       sizeof globalPoint, &globalPoint);
                     SetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint,
                                       sizeof windowPoint, &windowPoint);
                   });
      break;
    }
    case kActClickRow:
      RowClick(window, action, false);
      break;
    case kActDoubleClickRow:
      RowClick(window, action, true);
      break;
    case kActKey:
      PerformKey(window, action.m_uintKey, action.m_ulngModifiers);
      break;
    case kActMouseMove:
      MouseMove(window, CGPointMake(action.m_intX, action.m_intY));
      break;
    case kActMenuPick:
      MenuBarPick(window, action.m_strText);
      break;
    case kActCloseBox:
      CloseBox(window);
      break;
    case kActMoveWindow:
      MoveWindowStructure(window, SInt16(action.m_intX), SInt16(action.m_intY));
      break;
    case kActResizeWindow: {
      Rect content;
      HISize minSize, maxSize;
      {
        stcWindowServer& server = WindowServer();
        std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
        if ((window->m_ulngAttributes & kWindowResizableAttribute) == 0) {
          Refuse("resize: the window \"" + Utf8Of(window->m_strTitle) + "\" is not resizable");
          return;
        }
        content = window->m_rctContent;
        minSize = window->m_udtMin;
        maxSize = window->m_udtMax;
      }
      int const w = int(std::max(minSize.width, std::min(maxSize.width, double(action.m_intX))));
      int const h = int(std::max(minSize.height, std::min(maxSize.height, double(action.m_intY))));
      content.right = SInt16(content.left + w);
      content.bottom = SInt16(content.top + h);
      SetWindowBounds(window, kWindowContentRgn, &content);
      break;
    }
    default:
      break;
  }
}

// Takes the next action off the queue; false when there is none.
bool PopAction(stcAction* out) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  stcDriverState& driver = Driver();
  if (driver.m_deqActions.empty()) return false;
  *out = std::move(driver.m_deqActions.front());
  driver.m_deqActions.pop_front();
  return true;
}

OSStatus DriverEventHandler(EventHandlerCallRef next, EventRef event, void* userData) {
  (void)next, (void)userData;
  if (GetEventKind(event) == kEventDriverAction) {
    stcAction action;
    if (PopAction(&action)) Perform(action);
    return noErr;
  }
  WindowRef window = nullptr;
  SInt32 step = 0;
  GetEventParameter(event, kEventParamWindowRef, typeWindowRef, nullptr, sizeof window, nullptr, &window);
  GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof step, nullptr, &step);
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window) || !window->m_blnVisible) return noErr;
  }
  if (step == 0) {
    PerformKey(window, 13, 0);
  } else {
    CloseBox(window);
  }
  return noErr;
}

void InstallDriverHandler() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (Driver().m_blnInstalled) return;
  static EventTypeSpec const kTypes[] = {{kEventClassDriver, kEventDriverAction},
                                         {kEventClassDriver, kEventDriverPolicy}};
  if (InstallEventHandler(GetEventDispatcherTarget(), NewEventHandlerUPP(DriverEventHandler), 2,
                          kTypes, nullptr, nullptr) == noErr) {
    Driver().m_blnInstalled = true;
  }
}

void PostDriverEvent(UInt32 kind, WindowRef window, SInt32 step) {
  EventRef event = nullptr;
  if (CreateEvent(nullptr, kEventClassDriver, kind, 0, kEventAttributeNone, &event) != noErr) return;
  SetEventParameter(event, kEventParamWindowRef, typeWindowRef, sizeof window, &window);
  SetEventParameter(event, kEventParamAttributes, typeUInt32, sizeof step, &step);
  PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard);
  ReleaseEvent(event);
}

[[noreturn]] void Stuck(WindowRef window) {
  std::string report = "A modal loop found nothing to do and cannot end:\n" + WindowsDescribeForTesting(window);
  std::fprintf(stderr, "%s\n", report.c_str());
  std::fflush(stderr);
  enumWindowsStuckMode mode;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    mode = Driver().m_enmStuck;
  }
  if (mode == kWindowsStuckThrow) throw WindowsStuckError(report);
  std::abort();
}

// ReceiveNextEvent is about to wait: the next user action, or the idle policy of a modal window.
bool Feed() {
  bool haveAction;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    haveAction = !Driver().m_deqActions.empty();
  }
  InstallDriverHandler();
  if (haveAction) {
    PostDriverEvent(kEventDriverAction, nullptr, 0);
    return true;
  }
  WindowRef window = FrontNonFloatingWindow();
  SInt32 step;
  enumWindowsIdlePolicy policy;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window) || !IsModal(window)) return false;
    step = window->m_intIdleSteps++;
    policy = Driver().m_enmPolicy;
    if (policy == kWindowsIdleStop) step = 2;
    if (step < 2) {
      try {
        Driver().m_vecPolicySteps.push_back((step == 0 ? "Return: " : "close box: ") +
                                            Utf8Of(window->m_strTitle));
      } catch (...) {
      }
    }
  }
  if (step >= 2) Stuck(window);
  PostDriverEvent(kEventDriverPolicy, window, step);
  return true;
}

struct stcFeederInstaller {
  stcFeederInstaller() { CarbonEventsSetFeeder(&Feed); }
} g_udtFeederInstaller;

void Queue(stcAction action) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  try {
    Driver().m_deqActions.push_back(std::move(action));
  } catch (...) {
  }
}

stcAction Make(enumActionKind kind) {
  stcAction action;
  action.m_enmKind = kind;
  return action;
}

// Searches the menu and its submenus for an enabled item with the text.
bool FindItem(MenuRef menu, std::u16string const& text, int depth, MenuID* outID, MenuItemIndex* outItem) {
  if (menu == nullptr || depth > 8) return false;
  UInt16 const count = CountMenuItems(menu);
  for (MenuItemIndex i = 1; i <= count; ++i) {
    CFStringRef itemText = nullptr;
    if (CopyMenuItemTextAsCFString(menu, i, &itemText) != noErr) continue;
    bool const same = UnitsOf(itemText) == text;
    CFRelease(itemText);
    if (same && IsMenuItemEnabled(menu, i)) {
      *outID = GetMenuID(menu);
      *outItem = i;
      return true;
    }
  }
  for (MenuItemIndex i = 1; i <= count; ++i) {
    MenuRef sub = nullptr;
    if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr && sub != nullptr &&
        FindItem(sub, text, depth + 1, outID, outItem)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool TakeMenuChoiceForOpenMenu(MenuRef menu, MenuID* outMenuID, MenuItemIndex* outItem) {
  std::u16string wanted;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    stcDriverState& driver = Driver();
    if (driver.m_deqActions.empty() || driver.m_deqActions.front().m_enmKind != kActMenuPick) {
      return false;
    }
    wanted = driver.m_deqActions.front().m_strText;
    driver.m_deqActions.pop_front();
  }
  if (FindItem(menu, wanted, 0, outMenuID, outItem)) return true;
  Refuse("menu pick " + Utf8Of(wanted) + ": not in the open menu");
  return false;
}

bool StandardTextKey(WindowRef window, ControlRef focus, UniChar key, EventModifiers modifiers) {
  enumViewKindForTesting kind;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(focus)) return false;
    kind = focus->m_enmKind;
  }
  bool const textView = kind == kViewTextView;
  if (kind != kViewTextView && kind != kViewEditText && kind != kViewComboBox) {
    if (key == 9 && kind == kViewDataBrowser) {
      HIViewAdvanceFocus(HIViewGetRoot(window), modifiers);
      return true;
    }
    return false;
  }
  if ((modifiers & (cmdKey | controlKey)) != 0) return false;
  if (key == 9 && !textView) {
    HIViewAdvanceFocus(HIViewGetRoot(window), modifiers);
    return true;
  }
  if ((key == 13 || key == 3) && !textView) return false;  // the default button's
  if (key == 27) return false;                               // the cancel button's
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(focus)) return true;
  size_t from, to;
  std::u16string* text;
  if (!SelectionOf(focus, &from, &to, &text)) return false;
  if (key == 28 || key == 29) {  // left, right: the caret moves
    size_t caret = key == 28 ? (from == to && from > 0 ? from - 1 : from)
                             : (from == to && to < text->size() ? to + 1 : to);
    SetSelection(focus, caret, caret);
    return true;
  }
  if (key == 30 || key == 31) return true;  // up, down
  if (ReadOnly(focus)) return true;
  if (key == 8 || key == 127) {
    if (from == to) {
      if (key == 8 && from > 0) --from;
      if (key == 127 && to < text->size()) ++to;
    }
    text->erase(from, to - from);
    SetSelection(focus, from, from);
    return true;
  }
  if (key < 32 && key != 9 && key != 13 && key != 3) return true;
  InsertText(focus, std::u16string(1, key == 3 ? char16_t(13) : char16_t(key)));
  return true;
}

bool StandardEditCommand(ControlRef focus, UInt32 command) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!ViewAlive(focus)) return false;
  size_t from, to;
  std::u16string* text;
  if (!SelectionOf(focus, &from, &to, &text)) return false;
  std::u16string& clipboard = Driver().m_strClipboard;
  switch (command) {
    case kHICommandSelectAll:
      SetSelection(focus, 0, text->size());
      return true;
    case kHICommandCopy:
      clipboard = text->substr(from, to - from);
      return true;
    case kHICommandCut:
      clipboard = text->substr(from, to - from);
      if (ReadOnly(focus)) return true;
      text->erase(from, to - from);
      SetSelection(focus, from, from);
      return true;
    case kHICommandClear:
      if (ReadOnly(focus)) return true;
      text->erase(from, to - from);
      SetSelection(focus, from, from);
      return true;
    case kHICommandPaste:
      if (!ReadOnly(focus)) InsertText(focus, clipboard);
      return true;
    case kHICommandUndo:
    case kHICommandRedo:
      return true;  // nothing is kept to undo
    default:
      return false;
  }
}

// ---- the queue ----

void WindowsQueueClickForTesting(SInt32 controlID, int item) {
  stcAction a = Make(kActClick);
  a.m_intID = controlID;
  a.m_intItem = item;
  Queue(std::move(a));
}

void WindowsQueueClickAtForTesting(int x, int y) {
  stcAction a = Make(kActClickAt);
  a.m_intX = x;
  a.m_intY = y;
  Queue(std::move(a));
}

void WindowsQueueContextualClickForTesting(SInt32 controlID) {
  stcAction a = Make(kActContextualClick);
  a.m_intID = controlID;
  Queue(std::move(a));
}

void WindowsQueueClickRowForTesting(SInt32 controlID, int row, EventModifiers modifiers) {
  stcAction a = Make(kActClickRow);
  a.m_intID = controlID;
  a.m_intItem = row;
  a.m_ulngModifiers = modifiers;
  Queue(std::move(a));
}

void WindowsQueueDoubleClickRowForTesting(SInt32 controlID, int row) {
  stcAction a = Make(kActDoubleClickRow);
  a.m_intID = controlID;
  a.m_intItem = row;
  Queue(std::move(a));
}

void WindowsQueueKeyForTesting(UniChar key, EventModifiers modifiers) {
  stcAction a = Make(kActKey);
  a.m_uintKey = key;
  a.m_ulngModifiers = modifiers;
  Queue(std::move(a));
}

void WindowsQueueTypeForTesting(char const* utf8) {
  for (char16_t unit : UnitsOfUtf8(utf8)) WindowsQueueKeyForTesting(UniChar(unit), 0);
}

void WindowsQueueMouseMoveForTesting(int x, int y) {
  stcAction a = Make(kActMouseMove);
  a.m_intX = x;
  a.m_intY = y;
  Queue(std::move(a));
}

void WindowsQueueMenuPickForTesting(char const* itemText) {
  stcAction a = Make(kActMenuPick);
  a.m_strText = UnitsOfUtf8(itemText);
  Queue(std::move(a));
}

void WindowsQueueCloseBoxForTesting() { Queue(Make(kActCloseBox)); }

void WindowsQueueMoveWindowForTesting(int left, int top) {
  stcAction a = Make(kActMoveWindow);
  a.m_intX = left;
  a.m_intY = top;
  Queue(std::move(a));
}

void WindowsQueueResizeWindowForTesting(int width, int height) {
  stcAction a = Make(kActResizeWindow);
  a.m_intX = width;
  a.m_intY = height;
  Queue(std::move(a));
}

void WindowsQueueCallForTesting(std::function<void()> call) {
  stcAction a = Make(kActCall);
  a.m_fnCall = std::move(call);
  Queue(std::move(a));
}

size_t WindowsQueuedActionCountForTesting() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return Driver().m_deqActions.size();
}

bool WindowsDispatchNextForTesting() {
  stcAction action;
  if (!PopAction(&action)) return false;
  Perform(action);
  return true;
}

void WindowsDispatchAllForTesting() {
  while (WindowsDispatchNextForTesting()) {
  }
}

std::vector<std::string> WindowsRefusalsForTesting() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return Driver().m_vecRefusals;
}

void WindowsSetIdlePolicyForTesting(enumWindowsIdlePolicy policy) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  Driver().m_enmPolicy = policy;
}

void WindowsSetStuckModeForTesting(enumWindowsStuckMode mode) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  Driver().m_enmStuck = mode;
}

std::vector<std::string> WindowsPolicyStepsForTesting() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return Driver().m_vecPolicySteps;
}

void WindowsSetShowHookForTesting(std::function<void(WindowRef)> hook) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  server.m_fnShowHook = std::move(hook);
}

// ---- inspection ----

char const* WindowsViewKindNameForTesting(enumViewKindForTesting kind) {
  static char const* const kNames[] = {
      "root",      "content",     "grow box",    "push button", "bevel button", "static text",
      "edit text", "check box",   "radio group", "radio button", "group box",   "user pane",
      "tabs",      "popup button", "combo box",  "list view",   "progress bar", "separator",
      "image",     "slider",      "scroll view", "text view",   "custom"};
  return int(kind) >= 0 && int(kind) < int(kViewKindCount) ? kNames[int(kind)] : "?";
}

bool WindowsInfoForTesting(WindowRef window, stcWindowInfoForTesting* info) {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (!WindowAlive(window) || info == nullptr) return false;
  info->m_ulngClass = window->m_ulngClass;
  info->m_ulngAttributes = window->m_ulngAttributes;
  info->m_ulngModality = window->m_ulngModality;
  info->m_blnVisible = window->m_blnVisible;
  info->m_blnHasCloseBox = (window->m_ulngAttributes & kWindowCloseBoxAttribute) != 0;
  info->m_blnResizable = (window->m_ulngAttributes & kWindowResizableAttribute) != 0;
  info->m_strTitle = Utf8Of(window->m_strTitle);
  info->m_rctContent = window->m_rctContent;
  GetWindowBounds(window, kWindowStructureRgn, &info->m_rctStructure);
  info->m_udtMinSize = window->m_udtMin;
  info->m_udtMaxSize = window->m_udtMax;
  info->m_shtBackground = window->m_shtBackground;
  info->m_hDefaultButton = window->m_hDefault;
  info->m_hCancelButton = window->m_hCancel;
  info->m_hFocus = window->m_hFocus;
  info->m_intIdleSteps = window->m_intIdleSteps;
  return true;
}

std::vector<WindowRef> WindowsListForTesting() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return server.m_vecWindows;
}

ControlRef WindowsFindControlForTesting(WindowRef window, SInt32 controlID) {
  return FindByAnyID(window, controlID);
}

std::vector<ControlRef> WindowsControlsForTesting(WindowRef window) {
  std::vector<ControlRef> views;
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (WindowAlive(window)) CollectViews(window->m_hRoot, &views);
  return views;
}

bool WindowsControlInfoForTesting(ControlRef control, stcControlInfoForTesting* info) {
  std::vector<DataBrowserItemID> rows;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!ViewAlive(control) || info == nullptr) return false;
    ControlRef c = control;
    *info = stcControlInfoForTesting{};
    info->m_enmKind = c->m_enmKind;
    info->m_udtID = c->m_udtID;
    info->m_refWindow = c->m_refWindow;
    info->m_hParent = c->m_hParent;
    HIRect const r = c->m_refWindow != nullptr ? ViewRectInContent(c) : c->m_udtFrame;
    info->m_intX = int(r.origin.x);
    info->m_intY = int(r.origin.y);
    info->m_intWidth = int(r.size.width);
    info->m_intHeight = int(r.size.height);
    info->m_blnVisible = HIViewIsVisible(c) && c->m_refWindow != nullptr;
    info->m_blnOwnVisible = c->m_blnVisible;
    info->m_blnActive = c->m_blnActive;
    info->m_blnFocused = c->m_refWindow != nullptr && c->m_refWindow->m_hFocus == c;
    info->m_intValue = c->m_intValue;
    info->m_intMinimum = c->m_intMinimum;
    info->m_intMaximum = c->m_intMaximum;
    info->m_strTitle = Utf8Of(c->m_strTitle);
    info->m_strText = Utf8Of(c->m_pTXN != nullptr ? c->m_pTXN->m_strText : c->m_strText);
    info->m_blnPassword = c->m_blnPassword;
    info->m_blnLocked = c->m_pTXN != nullptr ? c->m_pTXN->m_blnReadOnly : c->m_blnLocked;
    info->m_blnIndeterminate = c->m_blnIndeterminate;
    info->m_intSelStart = c->m_pTXN != nullptr ? int(c->m_pTXN->m_ulngSelStart) : c->m_shtSelStart;
    info->m_intSelEnd = c->m_pTXN != nullptr ? int(c->m_pTXN->m_ulngSelEnd) : c->m_shtSelEnd;
    info->m_shtJustification = (c->m_udtStyle.flags & kControlUseJustMask) != 0 ? c->m_udtStyle.just : 0;
    info->m_blnUnderlined = (c->m_udtStyle.flags & kControlUseFaceMask) != 0 &&
                            (c->m_udtStyle.style & underline) != 0;
    info->m_udtColor = (c->m_udtStyle.flags & kControlUseForeColorMask) != 0 ? c->m_udtStyle.foreColor
                                                                           : RGBColor{0, 0, 0};
    if (c->m_enmKind == kViewComboBox || c->m_enmKind == kViewTabs) {
      for (auto const& item : c->m_vecItems) info->m_vecItems.push_back(Utf8Of(item));
    } else if (c->m_enmKind == kViewRadioGroup) {
      for (ControlRef sub : c->m_vecSubviews) {
        if (sub->m_enmKind == kViewRadioButton) info->m_vecItems.push_back(Utf8Of(sub->m_strTitle));
      }
    } else if (c->m_enmKind == kViewDataBrowser) {
      rows = c->m_pBrowser->m_vecItems;
      for (size_t i = 0; i < rows.size(); ++i) {
        if (c->m_pBrowser->m_setSelected.count(rows[i]) != 0) info->m_vecSelectedRows.push_back(int(i));
      }
    }
    info->m_intTickMarks = c->m_intTickMarks;
    info->m_strHelpTag = Utf8Of(c->m_strHelpTag);
    for (OpaqueTrackingAreaRef* area : c->m_vecTracking) info->m_vecTrackingAreas.push_back(area->m_ullID);
    info->m_ptrReference = c->m_ptrReference;
    info->m_ulngCommandID = c->m_ulngCommandID;
    info->m_strClassID = c->m_strClassID;
    info->m_blnTransparent = c->m_blnTransparent;
    info->m_intSubviews = c->m_vecSubviews.size();
  }
  if (info->m_enmKind == kViewPopupButton) {
    MenuRef menu = GetControlPopupMenuHandle(control);
    UInt16 const count = menu != nullptr ? CountMenuItems(menu) : 0;
    for (MenuItemIndex i = 1; i <= count; ++i) {
      CFStringRef text = nullptr;
      if (CopyMenuItemTextAsCFString(menu, i, &text) != noErr) continue;
      info->m_vecItems.push_back(Utf8Of(UnitsOf(text)));
      CFRelease(text);
    }
  }
  for (DataBrowserItemID row : rows) info->m_vecItems.push_back(Utf8Of(BrowserRowText(control, row)));
  return true;
}

std::string WindowsDescribeForTesting(WindowRef window) {
  stcWindowInfoForTesting w;
  if (!WindowsInfoForTesting(window, &w)) return "(no window)\n";
  char line[512];
  std::snprintf(line, sizeof line, "window \"%s\" class %u%s%s%s content %d,%d %dx%d\n",
                w.m_strTitle.c_str(), unsigned(w.m_ulngClass), w.m_blnVisible ? " visible" : " hidden",
                w.m_blnHasCloseBox ? " close-box" : "", w.m_blnResizable ? " resizable" : "",
                w.m_rctContent.left, w.m_rctContent.top, w.m_rctContent.right - w.m_rctContent.left,
                w.m_rctContent.bottom - w.m_rctContent.top);
  std::string out = line;
  for (ControlRef view : WindowsControlsForTesting(window)) {
    stcControlInfoForTesting c;
    if (!WindowsControlInfoForTesting(view, &c)) continue;
    if (c.m_enmKind == kViewRoot || c.m_enmKind == kViewContent) continue;
    int depth = 0;
    for (ControlRef p = c.m_hParent; p != nullptr; p = HIViewGetSuperview(p)) ++depth;
    std::snprintf(line, sizeof line, "%*s%s id %d frame %d,%d %dx%d value %d%s%s", depth * 2, "",
                  WindowsViewKindNameForTesting(c.m_enmKind), int(c.m_udtID.id), c.m_intX, c.m_intY,
                  c.m_intWidth, c.m_intHeight, int(c.m_intValue), c.m_blnVisible ? "" : " hidden",
                  c.m_blnActive ? "" : " inactive");
    out += line;
    if (!c.m_strTitle.empty()) out += " title \"" + c.m_strTitle + "\"";
    if (!c.m_strText.empty()) out += " text \"" + (c.m_blnPassword ? std::string("***") : c.m_strText) + "\"";
    if (!c.m_vecItems.empty()) {
      out += " items";
      for (auto const& item : c.m_vecItems) out += " \"" + item + "\"";
    }
    out += "\n";
  }
  return out;
}

ThemeCursor WindowsCursorForTesting() {
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  return server.m_ulngCursor;
}

std::vector<std::string> WindowsDrawForTesting(WindowRef window) {
  size_t first;
  std::vector<ControlRef> views;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    if (!WindowAlive(window)) return {};
    first = server.m_vecDrawings.size();
    CollectViews(window->m_hRoot, &views);
  }
  SendNewEvent(kEventClassWindow, kEventWindowDrawContent, GetWindowEventTarget(window),
               [&](EventRef event) {
                 SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
               });
  for (ControlRef view : views) {
    if (!HIViewIsVisible(view)) continue;
    SendNewEvent(kEventClassControl, kEventControlDraw, GetControlEventTarget(view),
                 [&](EventRef event) { SetDirect(event, view); });
  }
  stcWindowServer& server = WindowServer();
  std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
  if (first > server.m_vecDrawings.size()) first = server.m_vecDrawings.size();
  return std::vector<std::string>(server.m_vecDrawings.begin() + long(first), server.m_vecDrawings.end());
}

void WindowsResetForTesting() {
  std::vector<WindowRef> windows;
  {
    stcWindowServer& server = WindowServer();
    std::lock_guard<std::recursive_mutex> lock(server.m_mtxLock);
    windows = server.m_vecWindows;
    for (WindowRef window : windows) window->m_intRefCount = 1;
    stcDriverState& driver = Driver();
    driver.m_deqActions.clear();
    driver.m_vecRefusals.clear();
    driver.m_vecPolicySteps.clear();
    driver.m_enmPolicy = kWindowsIdleReturnThenCloseThenStop;
    driver.m_enmStuck = kWindowsStuckAbort;
    driver.m_strClipboard.clear();
    server.m_ulngCursor = kThemeArrowCursor;
    server.m_vecDrawings.clear();
    server.m_udtMouse = Point{0, 0};
    for (int& fault : server.m_aintFaults) fault = 0;
    server.m_setFailKinds.clear();
    server.m_fnShowHook = nullptr;
  }
  CarbonEventsFailInstallsOn(nullptr, 0);
  for (WindowRef window : windows) ReleaseWindow(window);
  CGDisplayResetForTesting();
  // Events the driver posted and nobody took.
  FlushEventQueue(GetMainEventQueue());
}
