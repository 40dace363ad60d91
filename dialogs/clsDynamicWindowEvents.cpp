// clsDynamicWindow, event routing: the one Carbon event handler of a window and of its controls,
// the per-control handlers that keep the layout copy in step and call the handler's slots, the
// slider and list callbacks, the modal loop of MyShow, MyClose, and saving the controls' values
// into the layout copy on every close.
// The end flag of the modal loop is cleared before the handler hears WindowShow, so a handler
// that closes the window from there ends the loop.
#include <algorithm>

#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/Appearance.h"
#include "platform/carbon/MacTextEditor.h"

namespace {

constexpr int kTextViewOffset = 20000;
constexpr int kRadioGroupOffset = 100000;

// The Carbon modifier flags as the handler's mask: shift 1, option 2, control 4, command 8.
int ModifierMask(UInt32 flags) {
  int mask = 0;
  if ((flags & shiftKey) != 0) mask |= 1;
  if ((flags & optionKey) != 0) mask |= 2;
  if ((flags & controlKey) != 0) mask |= 4;
  if ((flags & cmdKey) != 0) mask |= 8;
  return mask;
}

ControlPartCode PartOf(EventRef event) {
  ControlPartCode part = kControlNoPart;
  GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part,
                    nullptr, &part);
  return part;
}

// The whole text of a text view, or false.
bool TextViewText(ControlRef textView, UniString* out) {
  TXNObject txn = HITextViewGetTXNObject(textView);
  Handle data = nullptr;
  if (txn == nullptr || TXNGetDataEncoded(txn, kTXNStartOffset, kTXNEndOffset, &data,
                                          kTXNUnicodeTextData) != noErr) {
    return false;
  }
  Size const size = GetHandleSize(data);
  *out = UniString(reinterpret_cast<unsigned short const*>(*data), int(size / 2));
  DisposeHandle(data);
  return true;
}

// The text of an edit text or combo box (the password text for a password field), or false.
bool ControlText(ControlRef control, bool password, UniString* out) {
  CFStringRef text = nullptr;
  ControlDataTag const tag = password ? kControlEditTextPasswordCFStringTag : kControlEditTextCFStringTag;
  if (GetControlData(control, kControlEntireControl, tag, sizeof text, &text, nullptr) != noErr ||
      text == nullptr) {
    return false;
  }
  *out = CFStringToUniString(text);
  CFRelease(text);
  return true;
}

}  // namespace

// ---- the Carbon event handler ----

OSStatus clsDynamicWindow::WindowEventHandler(EventHandlerCallRef next, EventRef event, void* window) {
  auto* self = static_cast<clsDynamicWindow*>(window);
  if (self == nullptr || self->m_blnBuilding) return eventNotHandledErr;
  UInt32 const eventClass = GetEventClass(event);
  UInt32 const kind = GetEventKind(event);

  if (eventClass == kEventClassKeyboard) return self->m_blnEatKeys ? OSStatus(noErr) : OSStatus(eventNotHandledErr);

  if (eventClass == kEventClassWindow) {
    if (kind == kEventWindowBoundsChanged) {
      UInt32 attributes = 0;
      Rect bounds;
      if (!self->m_udtLayout.IsResizable() ||
          GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes,
                            nullptr, &attributes) != noErr ||
          (attributes & kWindowBoundsChangeSizeChanged) == 0 ||
          GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof bounds,
                            nullptr, &bounds) != noErr) {
        return eventNotHandledErr;
      }
      self->m_udtLayout.ResizeLayout(bounds.right - bounds.left, bounds.bottom - bounds.top, self);
      return noErr;
    }
    if (kind == kEventWindowClose) {
      self->WindowCloseBoxClick();
      return noErr;
    }
    return eventNotHandledErr;
  }

  if (eventClass == kEventClassTextInput && kind == kEventTextInputUnicodeForKeyEvent) {
    ControlRef focus = nullptr;
    ControlID controlID;
    if (GetKeyboardFocus(self->m_refWindow, &focus) != noErr || focus == nullptr ||
        GetControlID(focus, &controlID) != noErr) {
      return eventNotHandledErr;
    }
    clsDWLayoutObject* obj = self->FindObject(controlID.id);
    if (obj == nullptr && controlID.id > kTextViewOffset) obj = self->FindObject(controlID.id - kTextViewOffset);
    if (obj == nullptr || obj->m_enmType != DWLO_Edit) return eventNotHandledErr;
    unsigned short units[8];
    ByteCount size = 0;
    if (GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr,
                          sizeof units, &size, units) != noErr ||
        size < 2) {
      return eventNotHandledErr;
    }
    EventRef keyEvent = nullptr;
    UInt32 modifiers = 0;
    if (GetEventParameter(event, kEventParamTextInputSendKeyboardEvent, typeEventRef, nullptr,
                          sizeof keyEvent, nullptr, &keyEvent) != noErr ||
        keyEvent == nullptr ||
        GetEventParameter(keyEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers,
                          nullptr, &modifiers) != noErr) {
      return eventNotHandledErr;
    }
    bool pass = true;
    self->EditKeyPress(obj->m_lngID, units[0], modifiers, &pass);
    return pass ? OSStatus(eventNotHandledErr) : OSStatus(noErr);
  }

  if (eventClass == kEventClassControl) return self->DispatchControlEvent(next, event);
  return eventNotHandledErr;
}

OSStatus clsDynamicWindow::DispatchControlEvent(EventHandlerCallRef next, EventRef event) {
  UInt32 const kind = GetEventKind(event);
  ControlRef control = nullptr;
  if (kind == kEventControlTrackingAreaEntered || kind == kEventControlTrackingAreaExited) {
    HIViewTrackingAreaRef area = nullptr;
    HIViewTrackingAreaID areaID = 0;
    if (GetEventParameter(event, kEventParamHIViewTrackingArea, typeHIViewTrackingAreaRef, nullptr,
                          sizeof area, nullptr, &area) != noErr ||
        HIViewGetTrackingAreaID(area, &areaID) != noErr) {
      return eventNotHandledErr;
    }
    control = FindControl(int32_t(areaID));
  } else {
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof control,
                      nullptr, &control);
  }
  ControlID controlID;
  if (control == nullptr || GetControlID(control, &controlID) != noErr) return eventNotHandledErr;
  int32_t const id = controlID.id;
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr && id > kRadioGroupOffset) obj = FindObject(id - kRadioGroupOffset);
  if (obj == nullptr && id > kTextViewOffset) obj = FindObject(id - kTextViewOffset);
  if (obj == nullptr) return eventNotHandledErr;
  int32_t const objID = obj->m_lngID;
  enumDWLOType const type = obj->m_enmType;
  bool const multiLine = type == DWLO_Edit && obj->HasFeature(1);
  bool const isScroll = multiLine && id == objID;
  bool const isTextView = multiLine && id == objID + kTextViewOffset;
  bool const link = type == DWLO_Label && obj->HasFeature(1);

  switch (kind) {
    case kEventControlHit:
      if (type == DWLO_TabControl) {
        ClearKeyboardFocus(m_refWindow);
        ShowTabPage(*obj, GetControl32BitValue(control));
        return eventNotHandledErr;
      }
      if (type == DWLO_Button || type == DWLO_SmallButton) {
        ClearKeyboardFocus(m_refWindow);
        if (obj->HasContextualMenu()) {
          Point mouse;
          GetGlobalMouse(&mouse);
          ShowContextualMenu(objID, mouse.h, mouse.v);
        } else {
          ButtonClick(objID);
        }
        return noErr;
      }
      if (link) {
        HyperlinkClick(objID);
        return noErr;
      }
      if (type == DWLO_CheckBox) {
        CheckBoxClick(objID);
        return noErr;
      }
      if (type == DWLO_RadioGroup) {
        RadioGroupClick(id);
        return noErr;
      }
      if (type == DWLO_ComboBox) {
        if (!obj->HasFeature(1)) ComboBoxClick(objID);
        return noErr;
      }
      if (type == DWLO_RadioButton && obj->m_lngAssociateID != 0) {
        RadioButtonClick(objID);
        return noErr;
      }
      return eventNotHandledErr;
    case kEventControlHitTest: {
      if (!link) return eventNotHandledErr;
      HIPoint where;
      HIRect bounds;
      ControlPartCode part = kControlNoPart;
      if (GetEventParameter(event, kEventParamMouseLocation, typeHIPoint, nullptr, sizeof where,
                            nullptr, &where) == noErr &&
          HIViewGetBounds(control, &bounds) == noErr && CGRectContainsPoint(bounds, where)) {
        part = kControlButtonPart;
      }
      SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
      return noErr;
    }
    case kEventControlDraw: {
      if (!isScroll) return eventNotHandledErr;
      OSStatus const status = CallNextEventHandler(next, event);
      if (auto* mlte = static_cast<clsMLTEObject*>(GetControlReference(control))) {
        if (mlte->m_blnActive) {
          DrawThemeEditTextFrame(&mlte->m_rctBounds, kThemeStateActive);
          if (mlte->m_blnFocused) DrawThemeFocusRect(&mlte->m_rctBounds, true);
        } else {
          DrawThemeEditTextFrame(&mlte->m_rctBounds, kThemeStateInactive);
        }
      }
      return status;
    }
    case kEventControlSetFocusPart: {
      if (type == DWLO_Edit && !multiLine) {
        CallNextEventHandler(next, event);
        if (PartOf(event) == kControlNoPart) EditExit(objID);
        return noErr;
      }
      if (isTextView) {
        CallNextEventHandler(next, event);
        auto* mlte = static_cast<clsMLTEObject*>(GetControlReference(control));
        if (PartOf(event) == kControlNoPart) {
          if (mlte != nullptr) mlte->m_blnFocused = false;
          EditExit(objID);
        } else if (mlte != nullptr) {
          mlte->m_blnFocused = true;
        }
        if (ControlRef scroll = FindControl(objID)) HIViewReshapeStructure(scroll);
        return noErr;
      }
      if (type == DWLO_ComboBox && obj->HasFeature(1)) {
        CallNextEventHandler(next, event);
        UniString text;
        if (PartOf(event) == kControlNoPart && ControlText(control, false, &text) &&
            text != obj->m_ustrLabel) {
          ComboBoxClick(objID);
        }
        return noErr;
      }
      return eventNotHandledErr;
    }
    case kEventControlActivate:
    case kEventControlDeactivate: {
      if (!isScroll || !HIViewIsVisible(control)) return eventNotHandledErr;
      OSStatus const status = CallNextEventHandler(next, event);
      if (auto* mlte = static_cast<clsMLTEObject*>(GetControlReference(control))) {
        mlte->m_blnActive = kind == kEventControlActivate;
      }
      HIViewReshapeStructure(control);
      return status;
    }
    case kEventControlContextualMenuClick: {
      if (type != DWLO_Edit) return eventNotHandledErr;
      ControlRef focus = nullptr;
      if (GetKeyboardFocus(m_refWindow, &focus) != noErr || focus != control) return eventNotHandledErr;
      HIPoint where{0, 0};
      GetEventParameter(event, kEventParamWindowMouseLocation, typeHIPoint, nullptr, sizeof where,
                        nullptr, &where);
      ShowContextualMenu(objID, int(where.x), int(where.y));
      return noErr;
    }
    case kEventControlTrackingAreaEntered:
      if (!HIViewIsVisible(control)) return eventNotHandledErr;
      if (link) {
        SetThemeCursor(kThemePointingHandCursor);
        return noErr;
      }
      if (type == DWLO_Edit) {
        SetThemeCursor(kThemeIBeamCursor);
        return noErr;
      }
      return eventNotHandledErr;
    case kEventControlTrackingAreaExited:
      if (!HIViewIsVisible(control)) return eventNotHandledErr;
      SetThemeCursor(kThemeArrowCursor);
      return noErr;
    case kEventControlGetPartRegion: {
      if (!isScroll || PartOf(event) != kControlStructureMetaPart) return eventNotHandledErr;
      auto* mlte = static_cast<clsMLTEObject*>(GetControlReference(control));
      RgnHandle region = nullptr;
      if (mlte == nullptr || GetEventParameter(event, kEventParamControlRegion, typeQDRgnHandle, nullptr,
                                               sizeof region, nullptr, &region) != noErr) {
        return eventNotHandledErr;
      }
      HIShapeGetAsQDRgn(mlte->m_blnFocused ? mlte->m_shpFocusFrame : mlte->m_shpFrame, region);
      return noErr;
    }
    default:
      return eventNotHandledErr;
  }
}

// ---- per-control handlers ----

void clsDynamicWindow::CheckBoxClick(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  ControlRef control = FindControl(id);
  if (obj == nullptr || control == nullptr) return;
  obj->m_intValue = GetControl32BitValue(control);
  if (m_pudtEvents != nullptr) m_pudtEvents->CheckBoxChange(id);
}

void clsDynamicWindow::RadioGroupClick(int32_t controlID) {
  int32_t const id = controlID - kRadioGroupOffset;
  clsDWLayoutObject* obj = FindObject(id);
  ControlRef control = FindControl(controlID);
  if (obj == nullptr || control == nullptr) return;
  obj->m_intValue = GetControl32BitValue(control) - 1;
  if (m_pudtEvents != nullptr) m_pudtEvents->RadioGroupChange(id);
}

void clsDynamicWindow::RadioButtonClick(int32_t id) {
  clsDWLayoutObject* button = FindObject(id);
  if (button == nullptr || button->m_lngAssociateID == 0) return;
  clsDWLayoutObject* controller = FindObject(button->m_lngAssociateID);
  if (controller == nullptr || controller->m_enmType != DWLO_RadioController ||
      controller->m_pulstItems == nullptr || controller->m_pulstItems->IsEmpty()) {
    return;
  }
  int const position = controller->m_pulstItems->IndexOf(UniString(id), true);
  if (position == controller->m_intValue) return;
  controller->m_intValue = position;
  SetRadioButtons(*controller);
  if (m_pudtEvents != nullptr) m_pudtEvents->RadioControllerChange(controller->m_lngID);
}

void clsDynamicWindow::ComboBoxClick(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  ControlRef control = FindControl(id);
  if (obj == nullptr || control == nullptr) return;
  if (obj->HasFeature(1)) {
    obj->m_ustrLabel = UniString();
    UniString text;
    if (ControlText(control, false, &text)) obj->m_ustrLabel = text;
    obj->m_intValue = GetControl32BitValue(control) - 1;
  } else {
    obj->m_intValue = GetControl32BitValue(control) - 1;
    if (obj->m_pulstItems != nullptr && obj->m_intValue >= 0 &&
        obj->m_intValue < int32_t(obj->m_pulstItems->Count())) {
      obj->m_ustrLabel = obj->m_pulstItems->At(unsigned(obj->m_intValue));
    }
  }
  if (m_pudtEvents != nullptr) m_pudtEvents->ComboBoxChange(id);
}

void clsDynamicWindow::ButtonClick(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr) return;
  bool close = obj->HasFeature(4);
  if (m_pudtEvents != nullptr) m_pudtEvents->ButtonClick(id, &close);
  if (close) MyClose();
}

void clsDynamicWindow::WindowCloseBoxClick() {
  bool close = true;
  if (m_pudtEvents != nullptr) m_pudtEvents->WindowCloseBoxClick(&close);
  if (close) MyClose();
}

void clsDynamicWindow::HyperlinkClick(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Label || !obj->HasFeature(1)) return;
  UniString url = obj->m_ustrLabel;
  if (m_pudtEvents != nullptr) m_pudtEvents->HyperlinkClick(id, &url);
  if (url.IsNotEmpty()) SendURLToBrowser(url);
}

void clsDynamicWindow::ListBoxChange(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  ControlRef browser = FindControl(id);
  if (m_pudtEvents == nullptr || obj == nullptr || obj->m_enmType != DWLO_ListBox || browser == nullptr) {
    return;
  }
  DataBrowserItemID first = kDataBrowserNoItem, last = kDataBrowserNoItem;
  int row = -1;
  if (GetDataBrowserSelectionAnchor(browser, &first, &last) == noErr && first != kDataBrowserNoItem) {
    row = int(first) - 1;
  }
  ItemCount selected = 0;
  bool const multiple =
      GetDataBrowserItemCount(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected,
                              &selected) == noErr &&
      selected > 1;
  m_pudtEvents->ListBoxChange(id, row, multiple);
}

void clsDynamicWindow::ListBoxDoubleClick(int32_t id, int row) {
  clsDWLayoutObject* obj = FindObject(id);
  ControlRef browser = FindControl(id);
  if (m_pudtEvents == nullptr || obj == nullptr || obj->m_enmType != DWLO_ListBox || browser == nullptr) {
    return;
  }
  ItemCount selected = 0;
  bool const multiple =
      GetDataBrowserItemCount(browser, kDataBrowserNoItem, false, kDataBrowserItemIsSelected,
                              &selected) == noErr &&
      selected > 1;
  m_pudtEvents->ListBoxDoubleClick(id, row, multiple);
}

void clsDynamicWindow::DataBrowser_ItemNotification(ControlRef browser, DataBrowserItemID item,
                                                    DataBrowserItemNotification message) {
  auto* self = static_cast<clsDynamicWindow*>(GetControlReference(browser));
  ControlID controlID;
  if (self == nullptr || GetControlID(browser, &controlID) != noErr) return;
  if (self->FindObject(controlID.id) == nullptr) return;
  if (message == kDataBrowserItemDoubleClicked) {
    self->ListBoxDoubleClick(controlID.id, int(item) - 1);
  } else if (message == kDataBrowserSelectionSetChanged) {
    self->ListBoxChange(controlID.id);
  }
}

void clsDynamicWindow::SliderControlAction(ControlRef slider, ControlPartCode part) {
  (void)part;
  auto* info = static_cast<clsSliderInfo*>(GetControlReference(slider));
  ControlID controlID;
  if (info == nullptr || info->m_pudtWindow == nullptr || GetControlID(slider, &controlID) != noErr) {
    return;
  }
  clsDynamicWindow* self = info->m_pudtWindow;
  clsDWLayoutObject* obj = self->FindObject(controlID.id);
  if (obj == nullptr || obj->m_lngAssociateID < 0) return;
  clsDWLayoutObject* edit = self->FindObject(obj->m_lngAssociateID);
  if (edit == nullptr || edit->m_enmType != DWLO_Edit) return;
  self->UpdateEditText(obj->m_lngAssociateID, UniString(int32_t(GetControl32BitValue(slider))));
}

void clsDynamicWindow::EditExit(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit) return;
  if (obj->HasFeature(1)) {
    ControlRef textView = FindControl(id + kTextViewOffset);
    UniString text;
    if (textView == nullptr || !TextViewText(textView, &text)) return;
    if (obj->m_pulstItems == nullptr) {
      obj->m_pulstItems = new (std::nothrow) UniStringList;
      if (obj->m_pulstItems == nullptr) return;
    }
    if (text == obj->m_pulstItems->Text(kLineEndingCR)) return;
    obj->m_pulstItems->Clear();
    obj->m_pulstItems->AddText(text);
  } else {
    ControlRef control = FindControl(id);
    UniString text;
    if (control == nullptr || !ControlText(control, obj->HasFeature(2), &text)) return;
    if (text == obj->m_ustrLabel) return;
    obj->m_ustrLabel = text;
  }
  if (m_pudtEvents != nullptr) m_pudtEvents->EditChange(id);
}

void clsDynamicWindow::EditKeyPress(int32_t id, unsigned short ch, UInt32 carbonModifiers, bool* pass) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit || pass == nullptr) return;
  bool const multiLine = obj->HasFeature(1);
  bool const tabIsText = obj->HasFeature(16);
  if (ch == 9 && !tabIsText) {
    if (multiLine) {
      HIViewRef content = nullptr;
      HIViewFindByID(HIViewGetRoot(m_refWindow), kHIViewWindowContentID, &content);
      HIViewAdvanceFocus(content, carbonModifiers & shiftKey);
      *pass = false;
    }
    return;  // a single-line edit lets the system move the focus
  }
  if (m_pudtEvents != nullptr) m_pudtEvents->EditKeyPress(id, ch, ModifierMask(carbonModifiers), pass);
  if (!multiLine && *pass && ch == 9) {
    unsigned short const tab[] = {9, 0};
    InsertEditText(id, UniString(tab, 1));
    *pass = false;
  }
}

// ---- showing, closing, saving ----

void clsDynamicWindow::MyShow() {
  if (m_refWindow == nullptr || m_blnShown) return;
  if (m_intWindowType == 1) {
    CreateMenuBar();
    ShowWindow(m_refWindow);
    m_blnShown = true;
    m_blnDone = false;  // before the handler hears of it: it may close the window at once
    if (m_pudtEvents != nullptr) m_pudtEvents->WindowShow();
    SetThemeCursor(kThemeArrowCursor);
    while (!m_blnDone) OSX_ProcessMessages(nullptr, 10.0);
    m_blnShown = false;
    HideWindow(m_refWindow);
    RestoreMenuBar();
    SaveValues();
  } else if (m_intWindowType == 0 || m_intWindowType == 2) {
    ShowWindow(m_refWindow);
    m_blnShown = true;
  }
}

void clsDynamicWindow::MyClose() {
  if (!m_blnShown) return;
  if (m_intWindowType == 1) {
    m_blnDone = true;
  } else {
    m_blnShown = false;
    HideWindow(m_refWindow);
    SaveValues();
  }
}

void clsDynamicWindow::SaveValues() { DoSaveValues(m_udtLayout); }

void clsDynamicWindow::DoSaveValues(clsDWLayoutObject& node) {
  for (clsDWLayoutObject& child : node.m_vecChildren) {
    if (child.HasChildren()) {
      DoSaveValues(child);
      continue;
    }
    int32_t const id = child.m_lngID;
    switch (child.m_enmType) {
      case DWLO_Edit:
        if (child.HasFeature(1)) {
          ControlRef textView = FindControl(id + kTextViewOffset);
          UniString text;
          if (textView == nullptr || !TextViewText(textView, &text)) break;
          if (child.m_pulstItems == nullptr) child.m_pulstItems = new (std::nothrow) UniStringList;
          if (child.m_pulstItems == nullptr) break;
          child.m_pulstItems->Clear();
          if (text.IsNotEmpty()) child.m_pulstItems->AddText(text);
        } else if (ControlRef control = FindControl(id)) {
          UniString text;
          if (ControlText(control, child.HasFeature(2), &text)) child.m_ustrLabel = text;
        }
        break;
      case DWLO_CheckBox:
      case DWLO_Slider:
        if (ControlRef control = FindControl(id)) child.m_intValue = GetControl32BitValue(control);
        break;
      case DWLO_RadioGroup:
        if (ControlRef control = FindControl(id + kRadioGroupOffset)) {
          child.m_intValue = GetControl32BitValue(control) - 1;
        }
        break;
      case DWLO_ComboBox:
        if (ControlRef control = FindControl(id)) {
          child.m_intValue = GetControl32BitValue(control) - 1;
          if (child.HasFeature(1)) {
            child.m_ustrLabel = UniString();
            UniString text;
            if (ControlText(control, false, &text)) child.m_ustrLabel = text;
          } else if (child.m_pulstItems != nullptr && child.m_intValue >= 0 &&
                     child.m_intValue < int32_t(child.m_pulstItems->Count())) {
            child.m_ustrLabel = child.m_pulstItems->At(unsigned(child.m_intValue));
          }
        }
        break;
      case DWLO_ListBox:
        if (ControlRef browser = FindControl(id)) {
          DataBrowserItemID first = kDataBrowserNoItem, last = kDataBrowserNoItem;
          GetDataBrowserSelectionAnchor(browser, &first, &last);
          child.m_intValue = first == kDataBrowserNoItem ? -1 : int32_t(first) - 1;
        }
        break;
      default:
        break;
    }
  }
}
