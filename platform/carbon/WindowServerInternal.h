// WindowServerInternal: the objects of the headless window server, shared by its units
// (MacWindows.cpp, ControlsViews.cpp, ControlsKinds.cpp, DataBrowser.cpp, MacTextEditor.cpp,
// WindowServerDriver.cpp). Not for code above the stand-ins.
// One recursive lock guards all of it; it is never held while an event is sent, so handlers may
// call back into the server.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/carbon/Appearance.h"
#include "platform/carbon/CarbonEventsInternal.h"
#include "platform/carbon/Controls.h"
#include "platform/carbon/MacTextEditor.h"
#include "platform/carbon/MacWindows.h"
#include "platform/carbon/WindowsTesting.h"

struct OpaqueTXNObject {
  std::u16string m_strText;
  TXNOffset m_ulngSelStart = 0, m_ulngSelEnd = 0;
  TXNMargins m_udtMargins{0, 0, 0, 0};
  bool m_blnReadOnly = false;
  TXNFrameOptions m_ulngFrameOptions = 0;
};

struct OpaqueTrackingAreaRef {
  ControlRef m_hView = nullptr;
  HIViewTrackingAreaID m_ullID = 0;
};

struct OpaqueDataBrowserItemDataRef {
  CFStringRef m_strText = nullptr;  // set by the callback; released by the server
};

struct stcDataBrowser {
  DataBrowserCallbacks m_udtCallbacks{};
  std::vector<DataBrowserItemID> m_vecItems;  // in shown order
  std::set<DataBrowserItemID> m_setSelected;
  DataBrowserSelectionFlags m_ulngSelectionFlags = 0;
  DataBrowserPropertyID m_ulngSortProperty = 0;
  std::vector<DataBrowserTableViewColumnDesc> m_vecColumns;
  UInt16 m_uintHeaderHeight = 17;
  DataBrowserTableViewHiliteStyle m_ulngHilite = 0;
  bool m_blnVScroll = true, m_blnHScroll = true;
  int m_intAutoSizes = 0;
  DataBrowserItemID m_ulngRevealed = 0;
};

struct OpaqueControlRef {
  enumViewKindForTesting m_enmKind = kViewCustom;
  WindowRef m_refWindow = nullptr;
  ControlRef m_hParent = nullptr;
  std::vector<ControlRef> m_vecSubviews;
  EventTargetRef m_refTarget = nullptr;
  HIRect m_udtFrame{{0, 0}, {0, 0}};
  bool m_blnVisible = true;
  bool m_blnActive = true;
  ControlID m_udtID{0, 0};
  SRefCon m_ptrReference = nullptr;
  UInt32 m_ulngCommandID = 0;
  SInt32 m_intValue = 0, m_intMinimum = 0, m_intMaximum = 0;
  std::u16string m_strTitle;
  std::u16string m_strText;
  bool m_blnPassword = false, m_blnLocked = false, m_blnIndeterminate = false;
  bool m_blnAutoToggle = false;
  SInt16 m_shtSelStart = 0, m_shtSelEnd = 0;
  ControlFontStyleRec m_udtStyle{};
  std::vector<std::u16string> m_vecItems;  // combo box items, tab names
  std::vector<bool> m_vecItemEnabled;      // tabs
  MenuRef m_hMenu = nullptr;               // popup: one reference held
  int m_intTickMarks = 0;
  ControlActionUPP m_uppAction = nullptr;
  bool m_blnLiveTracking = false;
  CGImageRef m_refImage = nullptr;  // one reference held (CFRetain)
  TXNObject m_pTXN = nullptr;       // text view: owned
  stcDataBrowser* m_pBrowser = nullptr;  // list view: owned
  std::u16string m_strHelpTag;
  std::vector<OpaqueTrackingAreaRef*> m_vecTracking;  // owned
  std::string m_strClassID;
  bool m_blnTransparent = false;
  bool m_blnAutoHide = false;
  OptionBits m_ulngOptions = 0;
  int m_intReshapes = 0;
};

struct OpaqueWindowPtr {
  int m_intRefCount = 1;
  WindowClass m_ulngClass = 0;
  WindowAttributes m_ulngAttributes = 0;
  WindowModality m_ulngModality = kWindowModalityNone;
  Rect m_rctContent{0, 0, 0, 0};
  bool m_blnVisible = false;
  std::u16string m_strTitle;
  HISize m_udtMin{0, 0}, m_udtMax{32767, 32767};
  ThemeBrush m_shtBackground = 0;
  EventTargetRef m_refTarget = nullptr;
  ControlRef m_hRoot = nullptr, m_hContent = nullptr, m_hGrowBox = nullptr;
  ControlRef m_hFocus = nullptr;
  ControlPartCode m_shtFocusPart = 0;
  ControlRef m_hDefault = nullptr, m_hCancel = nullptr;
  int m_intIdleSteps = 0;
  OpaqueTrackingAreaRef* m_pHover = nullptr;  // the tracking area the mouse is in
};

struct stcWindowServer {
  std::recursive_mutex m_mtxLock;
  std::vector<WindowRef> m_vecWindows;  // front to back
  std::set<ControlRef> m_setViews;      // every live view, in a window or not
  std::set<TXNObject> m_setTXN;
  ThemeCursor m_ulngCursor = kThemeArrowCursor;
  std::vector<std::string> m_vecDrawings;
  Point m_udtMouse{0, 0};
  int m_aintFaults[5] = {0, 0, 0, 0, 0};
  std::set<int> m_setFailKinds;
  std::function<void(WindowRef)> m_fnShowHook;
};

stcWindowServer& WindowServer();

// Under the server's lock: is the window / view alive?
bool WindowAlive(WindowRef window);
bool ViewAlive(ControlRef view);
// Takes one from the fault's count; true when the call is to fail.
bool TakeFault(enumWindowsFault fault);
bool KindFails(enumViewKindForTesting kind);

// A new view of the kind, not in any window; null when the kind fails or memory is short.
ControlRef NewView(enumViewKindForTesting kind);
// A new view of the kind with the QuickDraw bounds (content coordinates) in the window's content
// view; the error of creation-call style.
OSStatus NewControlInWindow(WindowRef window, Rect const* bounds, enumViewKindForTesting kind,
                            ControlRef* outControl);
// Frees the view and its subviews (they must be out of the lists already or are taken out).
void FreeViewTree(ControlRef view);
// The view's frame in the window's root coordinates (structure), and in content coordinates.
HIRect ViewRectInRoot(ControlRef view);
HIRect ViewRectInContent(ControlRef view);
// The deepest visible view under the content point, or null.
ControlRef HitView(WindowRef window, HIPoint contentPoint);
// Pre-order list of the tree under view.
void CollectViews(ControlRef view, std::vector<ControlRef>* out);

std::u16string UnitsOf(CFStringRef text);
CFStringRef StringOf(std::u16string const& units);  // caller releases
std::string Utf8Of(std::u16string const& units);
std::u16string UnitsOfUtf8(char const* utf8);

// Sends the event made by fill to the target and answers the status; the event is released.
OSStatus SendNewEvent(UInt32 eventClass, UInt32 kind, EventTargetRef target,
                      std::function<void(EventRef)> const& fill,
                      std::function<void(EventRef)> const& after = nullptr);

// Sets the keyboard focus with set-focus-part events (the old view gets part 0).
OSStatus MoveFocus(WindowRef window, ControlRef control, ControlFocusPart part);
// Whether the view takes the keyboard focus (edit text, combo box, text view, list view).
bool TakesFocus(ControlRef view);
// Tells a list view's notification callback.
void NotifyBrowser(ControlRef browser, DataBrowserItemID item, DataBrowserItemNotification message);
// Asks the data callback for a row's text.
std::u16string BrowserRowText(ControlRef browser, DataBrowserItemID item);
// Re-sorts the rows through the compare callback (safe with any answers).
void SortBrowser(ControlRef browser);
// The standard handling of keys typed into a focused view, and of editing commands.
bool StandardTextKey(WindowRef window, ControlRef focus, UniChar key, EventModifiers modifiers);
bool StandardEditCommand(ControlRef focus, UInt32 command);

// The next queued action as a choice of the menu that just opened: the chosen menu and item,
// or false when the next action is no menu pick (the menu then closes with no choice).
bool TakeMenuChoiceForOpenMenu(MenuRef menu, MenuID* outMenuID, MenuItemIndex* outItem);

// SetThemeCursor (Navigation.cpp keeps its record of calls) tells the server the current cursor.
void WindowServerNoteCursor(ThemeCursor inCursor);
