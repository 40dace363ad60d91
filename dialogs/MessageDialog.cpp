// MessageDialog: the stock message box and input dialog. Each call builds its layout, realises it
// as a modal window with one clsMsgInpDlgHelper as handler, runs the modal loop and reads the
// results back from the window's layout copy after the values were saved on close.
// The check box counts as ticked only with a value above 0: an unchecked box, or one whose
// control was never made, holds a value below 1.
#include "dialogs/MessageDialog.h"

#include <memory>
#include <new>

#include "core/DebugLog.h"
#include "dialogs/clsDynamicWindow.h"

char const* const kMsgDlgDefaultCheckText = "Do not show this dialog again.";

namespace {

constexpr unsigned short kCR = 13;

// The label's maximum width: a text without CR wraps at width (400 when 0); a text with CR keeps
// its lines, so width 0 stays "no maximum".
int LabelMaxWidth(UniString const& text, int width) {
  if (text.Pos(kCR) > 0) return width;
  return width != 0 ? width : 400;
}

void AddStockButton(clsDWLayoutObject& row, int32_t id, bool isDefault, bool isCancel) {
  char const* text = id == kMsgDlgButtonOK       ? "OK"
                     : id == kMsgDlgButtonCancel ? "Cancel"
                     : id == kMsgDlgButtonYes    ? "Yes"
                                                 : "No";
  row.AddButton(id, UniString(text), 0, 0, isDefault, isCancel, true);
}

// The fills and buttons of a type's row, left to right (types 0 to 5; the check box, when there
// is one, is already in the row and takes the second fill's place).
void AddButtonRow(clsDWLayoutObject& row, int32_t type, bool hasCheckBox) {
  switch (type) {
    case kMsgDlgCancel:
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonCancel, true, true);
      if (!hasCheckBox) row.AddFill(kMsgDlgSecondFillID);
      break;
    case kMsgDlgCancelOK:
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonCancel, false, true);
      AddStockButton(row, kMsgDlgButtonOK, true, false);
      break;
    case kMsgDlgCancelDefaultOK:
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonCancel, true, true);
      AddStockButton(row, kMsgDlgButtonOK, false, false);
      break;
    case kMsgDlgNoYes:
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonNo, false, true);
      AddStockButton(row, kMsgDlgButtonYes, true, false);
      break;
    case kMsgDlgNoDefaultYes:
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonNo, true, true);
      AddStockButton(row, kMsgDlgButtonYes, false, false);
      break;
    case kMsgDlgYesNoCancel:
      AddStockButton(row, kMsgDlgButtonYes, true, false);
      AddStockButton(row, kMsgDlgButtonNo, false, false);
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonCancel, false, true);
      break;
    case kMsgDlgYesNoDefaultCancel:
      AddStockButton(row, kMsgDlgButtonYes, false, false);
      AddStockButton(row, kMsgDlgButtonNo, true, false);
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonCancel, false, true);
      break;
    default:  // kMsgDlgOK
      row.AddFill(kMsgDlgFillID);
      AddStockButton(row, kMsgDlgButtonOK, true, false);
      if (!hasCheckBox) row.AddFill(kMsgDlgSecondFillID);
      break;
  }
}

// Builds and runs the modal window of a stock dialog; false (with the log line) when the window
// could not be made or built. On success the window has closed and saved its values.
bool RunStockDialog(clsDWLayout& layout, clsMsgInpDlgHelper& helper, int32_t dialogType,
                    std::unique_ptr<clsDynamicWindow>& window, char const* name) {
  window.reset(new (std::nothrow) clsDynamicWindow);
  if (!window) {
    DebugOutput(kDebugError, UniString("Could not create ") + UniString(name) + UniString("!"));
    return false;
  }
  helper.m_pudtWindow = window.get();
  helper.m_intDialogType = dialogType;
  window->SetWindowType(1);
  window->SetEventsObject(&helper);
  if (!window->BuildWindow(layout, 0, 0, 0, 0)) {
    DebugOutput(kDebugError, UniString("Could not build ") + UniString(name) + UniString("!"));
    helper.m_pudtWindow = nullptr;
    window.reset();
    return false;
  }
  window->MyShow();
  return true;
}

}  // namespace

void clsMsgInpDlgHelper::WindowShow() {
  if (m_intDialogType == -1 && m_pudtWindow != nullptr) m_pudtWindow->UpdateFocus(kMsgDlgEditID);
}

void clsMsgInpDlgHelper::ButtonClick(int32_t id, bool* close) {
  (void)close;  // a stock button closes the window as the engine decided
  m_lngButtonID = id;
}

int MessageDialog(UniString text, enumMsgDlgType type, UniString title, bool* checkState,
                  UniString checkText, int width) {
  DebugOutput(kDebugInfo, UniString("Message Dialog: ") + text);
  int32_t const rowType = type >= kMsgDlgOK && type <= kMsgDlgYesNoDefaultCancel ? type : kMsgDlgOK;
  bool const hasCheckBox = checkState != nullptr;
  if (checkText.IsEmpty()) checkText = UniString(kMsgDlgDefaultCheckText);

  clsDWLayoutObject root;
  root.MakeMeAVBox(kMsgDlgRootID, UniString(), 0, false);
  root.AddLabel(kMsgDlgLabelID, text, 0, 0, LabelMaxWidth(text, width), 0);
  if (rowType <= kMsgDlgNoDefaultYes) {
    auto row = root.AddHBox(kMsgDlgButtonRowID, UniString(), 0, false);
    if (hasCheckBox) row->AddCheckBox(kMsgDlgCheckBoxID, checkText, 0, 0, false);
    AddButtonRow(*row, rowType, hasCheckBox);
  } else {
    if (hasCheckBox) root.AddCheckBox(kMsgDlgCheckBoxID, checkText, 0, 0, false);
    auto row = root.AddHBox(kMsgDlgButtonRowID, UniString(), 0, false);
    AddButtonRow(*row, rowType, hasCheckBox);
  }
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(title);

  clsMsgInpDlgHelper helper;
  std::unique_ptr<clsDynamicWindow> window;
  if (!RunStockDialog(layout, helper, rowType, window, "Message Dialog")) return 0;
  if (hasCheckBox) {
    bool found = false;
    auto box = window->GetLayout().FindControlWithID(kMsgDlgCheckBoxID, found);
    if (found) *checkState = box->m_intValue > 0;
  }
  int const result = helper.m_lngButtonID;
  window->DestroyWindow();
  return result;
}

int SimpleMessageDialog(UniString text, int width, enumMsgDlgType type) {
  return MessageDialog(text, type, UniString(), nullptr, UniString(), width);
}

int InputDialog(UniString prompt, UniString* value, bool password, UniString title, int width) {
  UniString resultText;
  int result = 0;
  if (value != nullptr) {
    clsDWLayoutObject root;
    root.MakeMeAVBox(kMsgDlgRootID, UniString(), 0, false);
    root.AddLabel(kMsgDlgLabelID, prompt, 0, 0, LabelMaxWidth(prompt, width), 0);
    root.AddEdit(kMsgDlgEditID, *value, 0, 0, password, false, false, true);
    auto row = root.AddHBox(kMsgDlgButtonRowID, UniString(), 0, false);
    AddButtonRow(*row, kMsgDlgCancelOK, false);
    clsDWLayout layout;
    layout.SetLayout(root);
    layout.SetTitle(title);
    layout.SetResizable(true, false);
    layout.SetLiveResize(true);

    clsMsgInpDlgHelper helper;
    std::unique_ptr<clsDynamicWindow> window;
    if (RunStockDialog(layout, helper, -1, window, "Input Dialog")) {
      bool found = false;
      auto edit = window->GetLayout().FindControlWithID(kMsgDlgEditID, found);
      if (found) resultText = edit->m_ustrLabel;
      result = helper.m_lngButtonID;
      window->DestroyWindow();
    }
    *value = resultText;
  }
  DebugOutput(kDebugInfo, UniString("Input Dialog: ") + prompt + UniString("; Result: ") +
                              (password ? UniString("[CENSORED]") : resultText));
  return result;
}
