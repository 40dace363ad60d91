// StockDialogTesting: the stock dialogs answered by queued user actions and read from the shown
// window's views (label 101, check box 90, edit 95, the push buttons in order).
#include "StockDialogTesting.h"

#include "dialogs/MessageDialog.h"
#include "platform/carbon/WindowsTesting.h"

void QueueStockDialogAnswer(int buttonID, bool tickCheckBox) {
  if (tickCheckBox) WindowsQueueClickForTesting(kMsgDlgCheckBoxID);
  WindowsQueueClickForTesting(buttonID);
}

bool ReadStockDialog(WindowRef window, stcShownStockDialog* out) {
  stcControlInfoForTesting label{};
  if (!WindowsControlInfoForTesting(WindowsFindControlForTesting(window, kMsgDlgLabelID), &label) ||
      label.m_enmKind != kViewStaticText) {
    return false;
  }
  stcWindowInfoForTesting info{};
  WindowsInfoForTesting(window, &info);
  stcShownStockDialog shown;
  shown.m_strTitle = info.m_strTitle;
  shown.m_strText = label.m_strText;
  for (ControlRef view : WindowsControlsForTesting(window)) {
    stcControlInfoForTesting control{};
    if (!WindowsControlInfoForTesting(view, &control)) continue;
    if (control.m_enmKind == kViewPushButton) {
      shown.m_vecButtons.push_back(control.m_strTitle);
      if (view == info.m_hDefaultButton) shown.m_strDefaultButton = control.m_strTitle;
      if (view == info.m_hCancelButton) shown.m_strCancelButton = control.m_strTitle;
    } else if (control.m_enmKind == kViewCheckBox && control.m_udtID.id == kMsgDlgCheckBoxID) {
      shown.m_blnHasCheckBox = true;
      shown.m_strCheckText = control.m_strTitle;
    } else if (control.m_enmKind == kViewEditText && control.m_udtID.id == kMsgDlgEditID) {
      shown.m_blnHasEdit = true;
      shown.m_strEditText = control.m_strText;
      shown.m_blnPassword = control.m_blnPassword;
    }
  }
  *out = shown;
  return true;
}

clsStockDialogRecorder::clsStockDialogRecorder() {
  WindowsSetShowHookForTesting([this](WindowRef window) {
    stcShownStockDialog shown;
    if (ReadStockDialog(window, &shown)) m_vecShown.push_back(shown);
  });
}

clsStockDialogRecorder::~clsStockDialogRecorder() { WindowsSetShowHookForTesting(nullptr); }
