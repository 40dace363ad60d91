// WindowsTesting: the test driver of the headless window server (MacWindows.h, Controls.h,
// MacTextEditor.h): what a person would do to the windows, what a person would see, and faults.
//
// User actions. Tests queue them; each is resolved against the front window when it is
// dispatched (FrontNonFloatingWindow, else FrontWindow), not when it is queued, so a test can
// queue the answers to a dialog and to the dialog it opens in turn before showing the first.
// Controls are named by their ControlID id (any signature); points are in the content
// coordinates of the front window. Actions are dispatched
//   - by a modal loop: ReceiveNextEvent, about to wait, posts the next action as an event, and
//     dispatching that event performs it; so a modal dialog's loop runs the queue in order;
//   - by the test, for modeless and floating windows: WindowsDispatchNextForTesting.
// What an action does is what the window's standard handling does with the user's input:
//   click      hit-tests the view (the control's own kEventControlHitTest handler may answer the
//              part; static text, progress bars, separators, pictures, group boxes and panes
//              answer none), then tracks it: check boxes toggle (auto-toggling ones), a radio
//              group picks the clicked button, a popup button takes a queued menu pick (below),
//              tabs change value, a slider takes the given value (live action called), text
//              fields and list views take the keyboard focus; then sends kEventControlHit to the
//              control, from where it goes on to its superviews and the window. Inactive or
//              hidden controls take no click.
//   row click  selects a row of a list view (cmdKey adds to a multiple selection) and notifies
//              kDataBrowserSelectionSetChanged; a double click then kDataBrowserItemDoubleClicked.
//   key        goes to the window's raw-key handlers (kEventRawKeyDown); unless consumed, a
//              command key that matches an enabled menu-bar item (key and modifiers exactly)
//              runs its command; otherwise the focused control gets the text input event
//              (kEventTextInputUnicodeForKeyEvent, with the raw key event in it); unless that is
//              consumed, the standard handling: typing into the focused text (backspace 8
//              deletes), Tab (9) moves the focus (shift: backwards; a text view types it),
//              Return (13) and Enter (3) press the default button (a text view types a line
//              end), Escape (27) presses the cancel button.
//   type       each character of the UTF-8 text as a key without modifiers.
//   menu pick  while a popup or contextual menu is open, the next queued action, when it is a
//              menu pick, chooses the item with that text (depth first through its submenus);
//              any other next action, or none, closes the menu with no choice. A pick dispatched
//              on its own chooses the enabled item of that text in the menu bar: its command goes
//              to the front window ('clos' closes a window that has a close box; the editing
//              commands act on the focused text).
//   close box  sends kEventWindowClose; refused when the window has no close box.
//   move       moves the structure's top-left to the global point (kEventWindowBoundsChanged).
//   resize     sets the content size, clamped to the resize limits; refused for a window that is
//              not resizable (kEventWindowBoundsChanged with the size-changed attribute).
//   mouse move crosses tracking areas: exited, then entered events to their views.
//   call       runs test code at that point of the queue (to look at an open modal dialog).
// An action that cannot be done (no window, no such control, no close box, ...) does nothing and
// is recorded in WindowsRefusalsForTesting.
//
// The idle policy: a modal loop that finds nothing queued while a modal window (movable modal
// class, or app-modal) is in front acts for the user, once per step and window: it presses
// Return, then the close box, then reports the window (WindowsDescribeForTesting) on stderr and
// stops: by default the process aborts; with kWindowsStuckThrow a WindowsStuckError is thrown out
// of ReceiveNextEvent instead (so a test can show a loop would never end). Nothing waits for real
// time while a modal window is in front. Without a modal window in front, ReceiveNextEvent waits
// as usual (a send's progress window is floating).
//
// Inspection: the windows front to back, each window's class, attributes, modality, bounds, limits
// and title; each view's kind, id, frame (content coordinates), visibility, activation, value,
// texts, items, selection, help tag, tracking areas, focus; the theme cursor and the recorded
// theme drawing; a text description of a window. Faults: the next window creations, modalities,
// window handler installations, TXNSetData or TXNGetData calls fail; a control kind cannot be made.
// Displays: further displays beside the main one.
// One model per process (the shared platform_carbon library): host and plug-in see the same
// windows and queue. Relies on the window server; thread-safe; the hooks run on the thread that
// dispatches.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/carbon/Appearance.h"
#include "platform/carbon/Controls.h"
#include "platform/carbon/MacWindows.h"
#include "platform/cg/CGDirectDisplay.h"

// ---- user actions ----
// item: for tabs the 1-based tab to pick, for a slider the value to drag to; else unused.
void WindowsQueueClickForTesting(SInt32 controlID, int item = 0);
void WindowsQueueClickAtForTesting(int x, int y);
// A contextual click (control-click) on the view: kEventControlContextualMenuClick.
void WindowsQueueContextualClickForTesting(SInt32 controlID);
// row: 0-based, in the order the rows are shown.
void WindowsQueueClickRowForTesting(SInt32 controlID, int row, EventModifiers modifiers = 0);
void WindowsQueueDoubleClickRowForTesting(SInt32 controlID, int row);
void WindowsQueueKeyForTesting(UniChar key, EventModifiers modifiers = 0);
void WindowsQueueTypeForTesting(char const* utf8);
void WindowsQueueMouseMoveForTesting(int x, int y);
void WindowsQueueMenuPickForTesting(char const* itemText);
void WindowsQueueCloseBoxForTesting();
void WindowsQueueMoveWindowForTesting(int left, int top);
void WindowsQueueResizeWindowForTesting(int width, int height);
void WindowsQueueCallForTesting(std::function<void()> call);
size_t WindowsQueuedActionCountForTesting();
// Performs the next queued action now; false when the queue is empty.
bool WindowsDispatchNextForTesting();
void WindowsDispatchAllForTesting();
// What could not be done, one line per action, oldest first.
std::vector<std::string> WindowsRefusalsForTesting();

// ---- the idle policy of modal loops ----
enum enumWindowsIdlePolicy : int {
  kWindowsIdleReturnThenCloseThenStop = 0,  // the default
  kWindowsIdleStop = 1                       // report and stop at once
};
enum enumWindowsStuckMode : int { kWindowsStuckAbort = 0, kWindowsStuckThrow = 1 };
struct WindowsStuckError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
void WindowsSetIdlePolicyForTesting(enumWindowsIdlePolicy policy);
void WindowsSetStuckModeForTesting(enumWindowsStuckMode mode);
// The steps the policy took, one line each ("Return: <title>", "close box: <title>").
std::vector<std::string> WindowsPolicyStepsForTesting();

// Called after a window becomes visible (ShowWindow), on the showing thread; null removes it.
void WindowsSetShowHookForTesting(std::function<void(WindowRef)> hook);

// ---- inspection ----
enum enumViewKindForTesting : int {
  kViewRoot, kViewContent, kViewGrowBox, kViewPushButton, kViewBevelButton, kViewStaticText,
  kViewEditText, kViewCheckBox, kViewRadioGroup, kViewRadioButton, kViewGroupBox, kViewUserPane,
  kViewTabs, kViewPopupButton, kViewComboBox, kViewDataBrowser, kViewProgressBar, kViewSeparator,
  kViewImage, kViewSlider, kViewScrollView, kViewTextView, kViewCustom, kViewKindCount
};
char const* WindowsViewKindNameForTesting(enumViewKindForTesting kind);

struct stcWindowInfoForTesting {
  WindowClass m_ulngClass;
  WindowAttributes m_ulngAttributes;
  WindowModality m_ulngModality;
  bool m_blnVisible;
  bool m_blnHasCloseBox;
  bool m_blnResizable;
  std::string m_strTitle;  // UTF-8
  Rect m_rctContent;       // global
  Rect m_rctStructure;     // global
  HISize m_udtMinSize, m_udtMaxSize;  // content resize limits
  ThemeBrush m_shtBackground;
  ControlRef m_hDefaultButton, m_hCancelButton, m_hFocus;
  int m_intIdleSteps;  // policy steps taken for it since it was last shown
};
bool WindowsInfoForTesting(WindowRef window, stcWindowInfoForTesting* info);
// Windows alive, front to back (hidden ones after the visible ones).
std::vector<WindowRef> WindowsListForTesting();

struct stcControlInfoForTesting {
  enumViewKindForTesting m_enmKind;
  ControlID m_udtID;
  WindowRef m_refWindow;
  ControlRef m_hParent;
  int m_intX, m_intY, m_intWidth, m_intHeight;  // frame in the window's content coordinates
  bool m_blnVisible;     // it and every view above it
  bool m_blnOwnVisible;  // its own flag
  bool m_blnActive;
  bool m_blnFocused;
  SInt32 m_intValue, m_intMinimum, m_intMaximum;
  std::string m_strTitle;  // UTF-8: button, check box, group box, popup title
  std::string m_strText;   // UTF-8: static and edit text, combo box text, text view's whole text
  bool m_blnPassword, m_blnLocked, m_blnIndeterminate;
  int m_intSelStart, m_intSelEnd;  // edit text and text view selection
  SInt16 m_shtJustification;       // teFlushDefault, teCenter, teFlushRight
  bool m_blnUnderlined;
  RGBColor m_udtColor;             // black unless a colour was given
  // popup menu items, combo box items, list view rows (shown order, through the data callback),
  // tab names, radio group buttons' titles
  std::vector<std::string> m_vecItems;
  std::vector<int> m_vecSelectedRows;  // list view: shown positions
  int m_intTickMarks;
  std::string m_strHelpTag;
  std::vector<HIViewTrackingAreaID> m_vecTrackingAreas;
  SRefCon m_ptrReference;
  UInt32 m_ulngCommandID;
  std::string m_strClassID;  // views made by HIObjectCreate
  bool m_blnTransparent;     // grow box
  size_t m_intSubviews;
};
// The view whose ControlID id this is (any signature), first in pre-order; null when none.
ControlRef WindowsFindControlForTesting(WindowRef window, SInt32 controlID);
bool WindowsControlInfoForTesting(ControlRef control, stcControlInfoForTesting* info);
// Every view of the window, pre-order from the root.
std::vector<ControlRef> WindowsControlsForTesting(WindowRef window);
// A window and its views as indented text lines (title, class, bounds; kind, id, frame, texts).
std::string WindowsDescribeForTesting(WindowRef window);
ThemeCursor WindowsCursorForTesting();
// Sends kEventControlDraw to every visible view of the window (as showing it does) and returns
// the theme drawing recorded during it, one line each ("EditTextFrame active t,l,b,r").
std::vector<std::string> WindowsDrawForTesting(WindowRef window);

// ---- faults ----
enum enumWindowsFault : int {
  kWindowsFailCreateWindow = 0,  // CreateNewWindow: memFullErr
  kWindowsFailModality,          // SetWindowModality: paramErr
  kWindowsFailHandler,           // InstallEventHandler on a window's target: eventInternalErr
  kWindowsFailTXNSetData,        // TXNSetData: memFullErr
  kWindowsFailTXNGetData         // TXNGetDataEncoded and TXNGetData: memFullErr
};
// The next count calls fail (0 stops it).
void WindowsFailForTesting(enumWindowsFault fault, int count);
// Creating a view of this kind fails until the reset (memFullErr).
void WindowsFailViewKindForTesting(enumViewKindForTesting kind);

// ---- displays ----
CGDirectDisplayID WindowsAddDisplayForTesting(int left, int top, int width, int height);

// Disposes of every window, empties the queue and the records, restores the idle policy, the
// stuck mode, the displays and the cursor, removes the hook and the faults.
void WindowsResetForTesting();
