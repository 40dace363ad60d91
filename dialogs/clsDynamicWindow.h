// clsDynamicWindow: a laid-out dialog description realised as a Carbon window with one control per
// layout object, its events routed to a handler, its modal loop, and its controls read and set
// by the layout objects' ids. Also clsMLTEObject (the record of a multi-line edit) and
// clsSliderInfo (the record of a slider).
// Interface: SetEventsObject, SetWindowType, BuildWindow (window class from the type, controls,
// placement), MyShow (a modal window runs its loop until MyClose), MyClose, SaveValues, EatKeys;
// control access by id (values, texts, labels, focus, enabling, bounds, boxes collapsed and
// expanded); the contextual menus and the modal menu bar; window size and position.
// Controls carry the ControlID ('MYDW', object id); a multi-line edit's text view object id +
// 20000, a radio group's radio-group control object id + 100000 and its n-th button object id +
// 110000 + 10000 n, so object ids stay below 20000.
// Relies on the layout model and engine, the menus, the web-view bridge and the HIToolbox window
// server. Runs on the host's thread. Nothing is reported on failure: a missing object or control
// makes an operation do nothing, and only BuildWindow answers false (no window, no modality, no
// event handler).
#pragma once

#include <cstdint>

#include "dialogs/clsDWLayout.h"
#include "platform/carbon/Controls.h"
#include "platform/carbon/MacWindows.h"
#include "platform/carbon/Menus.h"

// The record of a multi-line edit: focus and activation for drawing its frame, and its frames.
class clsMLTEObject {
 public:
  clsMLTEObject();
  ~clsMLTEObject();
  clsMLTEObject(clsMLTEObject const&) = delete;
  clsMLTEObject& operator=(clsMLTEObject const&) = delete;
  // The bounds from r, and the frame and focus-frame shapes 2 and 3 points outside them.
  void CalculateBounds(CGRect r);

  bool m_blnFocused;
  bool m_blnActive;
  Rect m_rctBounds;
  HIShapeRef m_shpFrame;
  HIShapeRef m_shpFocusFrame;
};

class clsDynamicWindow;

// The record of a slider: its window and its live-tracking action.
class clsSliderInfo {
 public:
  clsSliderInfo() : m_pudtWindow(nullptr), m_uppAction(nullptr) {}
  ~clsSliderInfo();
  clsSliderInfo(clsSliderInfo const&) = delete;
  clsSliderInfo& operator=(clsSliderInfo const&) = delete;

  clsDynamicWindow* m_pudtWindow;
  ControlActionUPP m_uppAction;
};

class clsDynamicWindow {
 public:
  clsDynamicWindow();
  ~clsDynamicWindow();
  clsDynamicWindow(clsDynamicWindow const&) = delete;
  clsDynamicWindow& operator=(clsDynamicWindow const&) = delete;

  void SetEventsObject(clsDWEvents* events) { m_pudtEvents = events; }
  // 0 document, 1 modal (own loop and menu bar), 2 floating; ignored while shown.
  void SetWindowType(int32_t type);
  int32_t GetWindowType() const { return m_intWindowType; }
  bool HasFeature(int32_t bit) const { return (m_intWindowFeatures & bit) > 0; }
  bool IsShown() const { return m_blnShown; }
  WindowRef GetWindowRef() const { return m_refWindow; }
  // The window's own copy of the description, with the values saved at the last close.
  clsDWLayout& GetLayout() { return m_udtLayout; }

  // ---- realisation ----
  bool BuildWindow(clsDWLayout& layout, int x, int y, int width, int height);
  void CreateControls(clsDWLayoutObject& obj, ControlRef parent);
  void PositionWindow(int x, int y);
  OSStatus ResizeWindow(int width, int height, bool relative);
  OSStatus SetWindowSize(int width, int height, bool relative);
  void GetWindowBounds(int* left, int* top, int* width, int* height);
  void PositionControl(clsDWLayoutObject& obj);
  void DisposeControls(clsDWLayoutObject& obj);
  void DestroyWindow();

  // ---- showing, closing, saving ----
  void MyShow();
  void MyClose();
  void SaveValues();
  void EatKeys(bool eat) { m_blnEatKeys = eat; }

  // ---- control access by id ----
  void EnableControl(int32_t id);
  void DisableControl(int32_t id);
  void UpdateFocus(int32_t id);
  int GetControlValue(int32_t id);
  void UpdateControlValue(int32_t id, int value);
  void SetRadioButtons(clsDWLayoutObject& controller);
  bool GetControlBounds(int32_t id, int* x, int* y, int* w, int* h, bool screen);
  void CollapseBox(int32_t id);
  void ExpandBox(int32_t id);
  void UpdateWindowTitle(UniString title);
  void UpdateButtonText(int32_t id, UniString text);
  void UpdateLabel(int32_t id, UniString text);
  void UpdateEditText(int32_t id, UniString text);
  void UpdateMultiLineEditText(int32_t id, UniStringList* lines);
  void InsertEditText(int32_t id, UniString text);
  UniString GetEditText(int32_t id);

  // ---- menus ----
  void ShowContextualMenu(int32_t id, int x, int y);
  void CreateMenuBar();
  void RestoreMenuBar();

  // ---- per-control handlers, called by the event routing ----
  void CheckBoxClick(int32_t id);
  void RadioGroupClick(int32_t controlID);
  void RadioButtonClick(int32_t id);
  void ComboBoxClick(int32_t id);
  void ButtonClick(int32_t id);
  void HyperlinkClick(int32_t id);
  void ListBoxChange(int32_t id);
  void ListBoxDoubleClick(int32_t id, int row);
  void EditExit(int32_t id);
  void EditKeyPress(int32_t id, unsigned short ch, UInt32 carbonModifiers, bool* pass);
  void WindowCloseBoxClick();

  // The Carbon event handler of the window and of several controls; userData is the window.
  static OSStatus WindowEventHandler(EventHandlerCallRef next, EventRef event, void* window);
  static void SliderControlAction(ControlRef slider, ControlPartCode part);
  static void DataBrowser_ItemNotification(ControlRef browser, DataBrowserItemID item,
                                           DataBrowserItemNotification message);
  static OSStatus DataBrowser_GetSetItemData(ControlRef browser, DataBrowserItemID item,
                                             DataBrowserPropertyID property,
                                             DataBrowserItemDataRef itemData, Boolean setValue);
  static Boolean DataBrowser_CompareItemData(ControlRef browser, DataBrowserItemID itemOne,
                                             DataBrowserItemID itemTwo,
                                             DataBrowserPropertyID sortProperty);

 private:
  // The object with this id in the layout copy, or null.
  clsDWLayoutObject* FindObject(int32_t id);
  // The control with ControlID ('MYDW', id) in the window, or null.
  ControlRef FindControl(int32_t id);
  void DoSaveValues(clsDWLayoutObject& node);
  OSStatus DispatchControlEvent(EventHandlerCallRef next, EventRef event);
  void MakeMultiLineEdit(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakeListBox(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakeTabControl(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakeRadioGroup(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakePopup(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakePicture(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  void MakeWebView(clsDWLayoutObject& obj, ControlRef parent, Rect const& bounds);
  // Id, subview, activation and visibility of a new control, as every kind gets them.
  void Adopt(ControlRef control, clsDWLayoutObject& obj, ControlRef parent, int32_t id);
  // Shows the tab page of the tab control's value (1-based), hides the others.
  void ShowTabPage(clsDWLayoutObject& tabs, int32_t value);

  clsDWEvents* m_pudtEvents;
  int32_t m_intWindowType;
  bool m_blnShown;
  int32_t m_intWindowFeatures;
  bool m_blnDone;
  EventHandlerUPP m_uppEventHandler;
  MenuBarHandle m_hSavedMenuBar;
  clsDWLayout m_udtLayout;
  bool m_blnBuilding;
  WindowRef m_refWindow;
  bool m_blnEatKeys;
};

// The signature of every control the dialog engine makes.
constexpr OSType kDynamicWindowSignature = MakeFourCharCode("MYDW");
