// clsDynamicWindow, control access by id: each operation keeps the object in the layout copy and
// its live control in step; a missing object or a kind the operation does not take does nothing,
// a missing control still lets the object change where that makes sense. Also the list views'
// data and compare callbacks.
// A tab control's value switches its pages as a click on a tab does, so a page shown by value
// is the page whose fields take the focus.
#include <algorithm>
#include <new>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/MacTextEditor.h"

namespace {

constexpr int kTextViewOffset = 20000;
constexpr int kRadioGroupOffset = 100000;
constexpr DataBrowserPropertyID kListColumn = MakeFourCharCode("LBSC");

int ItemCountOf(clsDWLayoutObject const& obj) {
  return obj.m_pulstItems != nullptr ? int(obj.m_pulstItems->Count()) : 0;
}

void SetCFStringData(ControlRef control, ControlDataTag tag, UniString const& text) {
  CFStringRef string = UniStringToCFString(text);
  if (string == nullptr) return;
  SetControlData(control, kControlEntireControl, tag, sizeof string, &string);
  CFRelease(string);
}

bool ReadControlText(ControlRef control, bool password, UniString* out) {
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

bool ReadWholeText(TXNObject txn, UniString* out) {
  Handle data = nullptr;
  if (txn == nullptr ||
      TXNGetDataEncoded(txn, kTXNStartOffset, kTXNEndOffset, &data, kTXNUnicodeTextData) != noErr) {
    return false;
  }
  *out = UniString(reinterpret_cast<unsigned short const*>(*data), int(GetHandleSize(data) / 2));
  DisposeHandle(data);
  return true;
}

bool EnsureItems(clsDWLayoutObject& obj) {
  if (obj.m_pulstItems == nullptr) obj.m_pulstItems = new (std::nothrow) UniStringList;
  return obj.m_pulstItems != nullptr;
}

void LogTextFailure(char const* what, clsDWLayoutObject const& obj, OSStatus status) {
  DebugOutput(kDebugError, UniString(what, 1, -1) + UniString(int32_t(obj.m_lngID)) +
                               UniString("; ", 1, -1) + obj.m_ustrLabel + UniString("; ", 1, -1) +
                               UniString(int32_t(status)));
}

}  // namespace

void clsDynamicWindow::EnableControl(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_blnEnabled) return;
  obj->m_blnEnabled = true;
  if (ControlRef control = FindControl(id)) {
    ActivateControl(control);
    HIViewSetNeedsDisplay(control, true);
  }
}

void clsDynamicWindow::DisableControl(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || !obj->m_blnEnabled) return;
  obj->m_blnEnabled = false;
  if (ControlRef control = FindControl(id)) {
    DeactivateControl(control);
    HIViewSetNeedsDisplay(control, true);
  }
}

void clsDynamicWindow::UpdateFocus(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr) return;
  bool const multiLine = obj->m_enmType == DWLO_Edit && obj->HasFeature(1);
  ControlRef control = FindControl(multiLine ? id + kTextViewOffset : id);
  if (control != nullptr) SetKeyboardFocus(m_refWindow, control, kControlFocusNextPart);
}

int clsDynamicWindow::GetControlValue(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr) return 0;
  switch (obj->m_enmType) {
    case DWLO_CheckBox:
    case DWLO_ProgressBar:
    case DWLO_Slider:
    case DWLO_ComboBox: {
      ControlRef control = FindControl(id);
      if (control == nullptr) return 0;
      int value = GetControl32BitValue(control);
      if (obj->m_enmType == DWLO_ComboBox) value -= 1;
      obj->m_intValue = value;
      return value;
    }
    case DWLO_RadioGroup: {
      ControlRef control = FindControl(id + kRadioGroupOffset);
      if (control == nullptr) return 0;
      obj->m_intValue = GetControl32BitValue(control) - 1;
      return obj->m_intValue;
    }
    case DWLO_ListBox: {
      ControlRef browser = FindControl(id);
      if (browser == nullptr) return 0;
      DataBrowserItemID first = kDataBrowserNoItem, last = kDataBrowserNoItem;
      GetDataBrowserSelectionAnchor(browser, &first, &last);
      return first == kDataBrowserNoItem ? -1 : int(first) - 1;
    }
    case DWLO_RadioButton: {
      ControlRef control = FindControl(id);
      return control == nullptr ? 0 : GetControl32BitValue(control);
    }
    default:
      return obj->m_intValue;
  }
}

void clsDynamicWindow::UpdateControlValue(int32_t id, int value) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr) return;
  int const items = ItemCountOf(*obj);
  ControlRef control = FindControl(id);
  switch (obj->m_enmType) {
    case DWLO_RadioController: {
      int stored = value <= 0 ? 0 : value;
      if (items > 0) stored = std::min(stored, items - 1);
      obj->m_intValue = stored;
      SetRadioButtons(*obj);
      break;
    }
    case DWLO_TabControl: {
      int const pages = int(obj->m_vecChildren.size());
      obj->m_intValue = std::min(std::max(value, 1), std::max(pages, 1));
      if (control != nullptr) SetControl32BitValue(control, obj->m_intValue);
      // The pages follow the value as they follow a click.
      ShowTabPage(*obj, obj->m_intValue);
      break;
    }
    case DWLO_CheckBox:
      obj->m_intValue = value < 1 ? 0 : 1;
      if (control != nullptr) SetControl32BitValue(control, obj->m_intValue);
      break;
    case DWLO_RadioGroup: {
      int stored = value < 1 ? 0 : value;
      if (items > 0) stored = std::min(stored, items - 1);
      obj->m_intValue = stored;
      if (ControlRef group = FindControl(id + kRadioGroupOffset)) SetControl32BitValue(group, stored + 1);
      break;
    }
    case DWLO_ComboBox: {
      int stored = value <= -1 ? -1 : value;
      if (items > 0) stored = std::min(stored, items - 1);
      obj->m_intValue = stored;
      if (control == nullptr) break;
      SetControl32BitValue(control, stored + 1);
      if (obj->HasFeature(1)) {
        UniString const text = stored >= 0 && stored < items ? obj->m_pulstItems->At(unsigned(stored)) : UniString();
        SetCFStringData(control, kControlEditTextCFStringTag, text);
      }
      break;
    }
    case DWLO_ListBox: {
      int stored = value <= -1 ? -1 : value;
      if (items > 0) stored = std::min(stored, items - 1);
      obj->m_intValue = stored;
      if (control == nullptr) break;
      if (stored >= 0) {
        DataBrowserItemID const item = DataBrowserItemID(stored + 1);
        RevealDataBrowserItem(control, item, kListColumn, kDataBrowserRevealOnly);
        SetDataBrowserSelectedItems(control, 1, &item, kDataBrowserItemsAssign);
      } else {
        SetDataBrowserSelectedItems(control, 0, nullptr, kDataBrowserItemsRemove);
      }
      break;
    }
    case DWLO_ProgressBar: {
      if (control == nullptr) break;
      if (value < 0) {
        obj->m_intValue = -1;
        Boolean const indeterminate = true;
        SetControlData(control, kControlEntireControl, kControlProgressBarIndeterminateTag,
                       sizeof indeterminate, &indeterminate);
      } else {
        Boolean indeterminate = false;
        GetControlData(control, kControlEntireControl, kControlProgressBarIndeterminateTag,
                       sizeof indeterminate, &indeterminate, nullptr);
        if (indeterminate) {
          Boolean const determinate = false;
          SetControlData(control, kControlEntireControl, kControlProgressBarIndeterminateTag,
                         sizeof determinate, &determinate);
        }
        obj->m_intValue = std::max(obj->m_intMinimum, std::min(obj->m_intMaximum, int32_t(value)));
        SetControl32BitValue(control, obj->m_intValue);
      }
      HIViewSetNeedsDisplay(control, true);
      break;
    }
    case DWLO_Slider:
      obj->m_intValue = std::max(obj->m_intMinimum, std::min(obj->m_intMaximum, int32_t(value)));
      if (control != nullptr) {
        SetControl32BitValue(control, obj->m_intValue);
        HIViewSetNeedsDisplay(control, true);
      }
      break;
    case DWLO_RadioButton: {
      if (value == 0) break;
      clsDWLayoutObject* controller = FindObject(obj->m_lngAssociateID);
      if (controller == nullptr || controller->m_enmType != DWLO_RadioController ||
          ItemCountOf(*controller) == 0) {
        break;
      }
      int const position = controller->m_pulstItems->IndexOf(UniString(int32_t(id)), true);
      if (position == controller->m_intValue) break;
      controller->m_intValue = position;
      SetRadioButtons(*controller);
      break;
    }
    default:
      obj->m_intValue = value;
      break;
  }
}

void clsDynamicWindow::SetRadioButtons(clsDWLayoutObject& controller) {
  if (controller.m_pulstItems == nullptr) return;
  int const count = int(controller.m_pulstItems->Count());
  // A value that names no item checks no button.
  bool const valid = controller.m_intValue >= 0 && controller.m_intValue < count;
  int const selected = valid ? controller.m_pulstItems->At(unsigned(controller.m_intValue)).ToInt() : 0;
  for (UniString const& item : *controller.m_pulstItems) {
    int const buttonID = item.ToInt();
    if (ControlRef button = FindControl(buttonID)) {
      SetControl32BitValue(button, valid && buttonID == selected ? 1 : 0);
    }
  }
}

bool clsDynamicWindow::GetControlBounds(int32_t id, int* x, int* y, int* w, int* h, bool screen) {
  ControlRef control = FindControl(id);
  HIRect frame;
  if (control == nullptr || HIViewGetFrame(control, &frame) != noErr) return false;
  HIViewConvertRect(&frame, HIViewGetSuperview(control), nullptr);
  int left = int(frame.origin.x);
  int top = int(frame.origin.y);
  if (screen) {
    Rect structure;
    if (::GetWindowBounds(m_refWindow, kWindowStructureRgn, &structure) == noErr) {
      left += structure.left;
      top += structure.top;
    }
  }
  if (x != nullptr) *x = left;
  if (y != nullptr) *y = top;
  if (w != nullptr) *w = int(frame.size.width);
  if (h != nullptr) *h = int(frame.size.height);
  return true;
}

void clsDynamicWindow::CollapseBox(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || !obj->IsBox() || obj->IsCollapsed()) return;
  if (obj->HasFeature(1)) {
    ControlRef group = FindControl(id);
    if (group == nullptr) return;
    HIViewSetVisible(group, false);
    obj->m_blnVisible = false;
  }
  m_udtLayout.CollapseBox(id, this);
}

void clsDynamicWindow::ExpandBox(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || !obj->IsBox() || !obj->IsCollapsed()) return;
  m_udtLayout.ExpandBox(id, this);
  obj = FindObject(id);
  if (obj != nullptr && obj->HasFeature(1)) {
    obj->m_blnVisible = true;
    if (ControlRef group = FindControl(id)) HIViewSetVisible(group, true);
  }
}

void clsDynamicWindow::UpdateWindowTitle(UniString title) {
  m_udtLayout.m_ustrTitle = title;
  if (m_refWindow == nullptr) return;
  CFStringRef string = UniStringToCFString(title);
  if (string == nullptr) return;
  SetWindowTitleWithCFString(m_refWindow, string);
  CFRelease(string);
}

void clsDynamicWindow::UpdateButtonText(int32_t id, UniString text) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || (obj->m_enmType != DWLO_Button && obj->m_enmType != DWLO_SmallButton) ||
      obj->m_ustrLabel == text) {
    return;
  }
  obj->m_ustrLabel = text;
  if (ControlRef control = FindControl(id)) {
    CFStringRef string = UniStringToCFString(text);
    if (string != nullptr) {
      SetControlTitleWithCFString(control, string);
      CFRelease(string);
    }
    HIViewSetNeedsDisplay(control, true);
  }
}

void clsDynamicWindow::UpdateLabel(int32_t id, UniString text) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Label || obj->m_ustrLabel == text) return;
  obj->m_ustrLabel = text;
  if (ControlRef control = FindControl(id)) {
    SetCFStringData(control, kControlStaticTextCFStringTag, text);
    HIViewSetNeedsDisplay(control, true);
  }
}

void clsDynamicWindow::UpdateEditText(int32_t id, UniString text) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit) return;
  if (obj->HasFeature(1)) {
    if (EnsureItems(*obj)) {
      obj->m_pulstItems->Clear();
      obj->m_pulstItems->AddText(text);
    }
    ControlRef textView = FindControl(id + kTextViewOffset);
    if (textView == nullptr) return;
    TXNObject txn = HITextViewGetTXNObject(textView);
    OSStatus const status = TXNSetData(txn, kTXNUnicodeTextData, text.GetBytes(),
                                       ByteCount(text.Length()) * 2, kTXNStartOffset, kTXNEndOffset);
    if (status != noErr) {
      LogTextFailure("Could not Update Text Data of TXN Object for MultiLine Edit Control: ", *obj, status);
    }
    TXNSetSelection(txn, 0, 0);
    HIViewSetNeedsDisplay(textView, true);
  } else {
    obj->m_ustrLabel = text;
    if (ControlRef control = FindControl(id)) {
      SetCFStringData(control, obj->HasFeature(2) ? kControlEditTextPasswordCFStringTag
                                                  : kControlEditTextCFStringTag,
                      text);
      HIViewSetNeedsDisplay(control, true);
    }
  }
}

void clsDynamicWindow::UpdateMultiLineEditText(int32_t id, UniStringList* lines) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit || !obj->HasFeature(1) || lines == nullptr) return;
  ControlRef textView = FindControl(id + kTextViewOffset);
  if (textView == nullptr || !EnsureItems(*obj)) return;
  obj->m_pulstItems->Assign(lines);
  UniString const whole = obj->m_pulstItems->Text(kLineEndingCR);
  TXNObject txn = HITextViewGetTXNObject(textView);
  OSStatus const status = TXNSetData(txn, kTXNUnicodeTextData, whole.GetBytes(),
                                     ByteCount(whole.Length()) * 2, kTXNStartOffset, kTXNEndOffset);
  if (status != noErr) {
    LogTextFailure("Could not Update Text Data of TXN Object for MultiLine Edit Control: ", *obj, status);
  }
  TXNSetSelection(txn, 0, 0);
  HIViewSetNeedsDisplay(textView, true);
}

void clsDynamicWindow::InsertEditText(int32_t id, UniString text) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit) return;
  if (obj->HasFeature(1)) {
    ControlRef textView = FindControl(id + kTextViewOffset);
    if (textView == nullptr) return;
    TXNObject txn = HITextViewGetTXNObject(textView);
    TXNOffset start = 0, end = 0;
    TXNGetSelection(txn, &start, &end);
    OSStatus const status = TXNSetData(txn, kTXNUnicodeTextData, text.GetBytes(),
                                       ByteCount(text.Length()) * 2, start, end);
    if (status != noErr) {
      LogTextFailure("Could not Insert Text Data of TXN Object for MultiLine Edit Control: ", *obj, status);
      return;
    }
    HIViewSetNeedsDisplay(textView, true);
    UniString whole;
    if (EnsureItems(*obj) && ReadWholeText(txn, &whole)) {
      obj->m_pulstItems->Clear();
      if (whole.IsNotEmpty()) obj->m_pulstItems->AddText(whole);
    }
    return;
  }
  ControlRef control = FindControl(id);
  if (control == nullptr) return;
  bool const password = obj->HasFeature(2);
  UniString current;
  if (ReadControlText(control, password, &current)) obj->m_ustrLabel = current;
  ControlEditTextSelectionRec selection{0, 0};
  GetControlData(control, kControlEntireControl, kControlEditTextSelectionTag, sizeof selection,
                 &selection, nullptr);
  UniString const label = obj->m_ustrLabel;
  obj->m_ustrLabel = label.SubString(1, selection.selStart) + text + label.SubString(selection.selEnd + 1, -1);
  SetCFStringData(control, password ? kControlEditTextPasswordCFStringTag : kControlEditTextCFStringTag,
                  obj->m_ustrLabel);
  SInt16 const caret = SInt16(selection.selStart + text.Length());
  ControlEditTextSelectionRec const after{caret, caret};
  SetControlData(control, kControlEntireControl, kControlEditTextSelectionTag, sizeof after, &after);
  HIViewSetNeedsDisplay(control, true);
}

UniString clsDynamicWindow::GetEditText(int32_t id) {
  clsDWLayoutObject* obj = FindObject(id);
  if (obj == nullptr || obj->m_enmType != DWLO_Edit) return UniString();
  if (obj->HasFeature(1)) {
    ControlRef textView = FindControl(id + kTextViewOffset);
    UniString whole;
    if (textView == nullptr || !ReadWholeText(HITextViewGetTXNObject(textView), &whole) ||
        !EnsureItems(*obj)) {
      return UniString();
    }
    obj->m_pulstItems->Clear();
    if (whole.IsNotEmpty()) obj->m_pulstItems->AddText(whole);
    return obj->m_pulstItems->Text(kLineEndingCR);
  }
  ControlRef control = FindControl(id);
  UniString text;
  if (control == nullptr || !ReadControlText(control, obj->HasFeature(2), &text)) return UniString();
  obj->m_ustrLabel = text;
  return text;
}

// ---- the list views' callbacks ----

OSStatus clsDynamicWindow::DataBrowser_GetSetItemData(ControlRef browser, DataBrowserItemID item,
                                                      DataBrowserPropertyID property,
                                                      DataBrowserItemDataRef itemData,
                                                      Boolean setValue) {
  auto* self = static_cast<clsDynamicWindow*>(GetControlReference(browser));
  ControlID controlID;
  if (self == nullptr || setValue || property != kListColumn || GetControlID(browser, &controlID) != noErr) {
    return errDataBrowserPropertyNotSupported;
  }
  clsDWLayoutObject* obj = self->FindObject(controlID.id);
  if (obj == nullptr) return errDataBrowserPropertyNotSupported;
  CFStringRef text = UniStringToCFString(obj->GetItem(unsigned(item - 1)));
  if (text == nullptr) return errDataBrowserPropertyNotSupported;
  OSStatus const status = SetDataBrowserItemDataText(itemData, text);
  CFRelease(text);
  return status;
}

Boolean clsDynamicWindow::DataBrowser_CompareItemData(ControlRef browser, DataBrowserItemID itemOne,
                                                      DataBrowserItemID itemTwo,
                                                      DataBrowserPropertyID sortProperty) {
  auto* self = static_cast<clsDynamicWindow*>(GetControlReference(browser));
  ControlID controlID;
  if (self == nullptr || sortProperty != kListColumn || GetControlID(browser, &controlID) != noErr) {
    return true;
  }
  clsDWLayoutObject* obj = self->FindObject(controlID.id);
  if (obj == nullptr) return true;
  return obj->GetItem(unsigned(itemOne - 1)) < obj->GetItem(unsigned(itemTwo - 1));
}
