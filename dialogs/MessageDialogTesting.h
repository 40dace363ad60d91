// MessageDialogTesting: what the headless message box saw, and the answers it gives.
// Interface: each MessageDialog call is recorded as a stcMessageDialogRecord (check-box text
// already defaulted; empty when there was no check box); answers are taken from a queue of
// button id and check state, and when the queue is empty the box answers 1 (OK) and leaves the
// check state as it was. Relies on the C++ standard library; thread-safe; never fails.
#pragma once

#include <vector>

#include "core/UniString.h"
#include "dialogs/MessageDialog.h"

struct stcMessageDialogRecord {
  UniString m_ustrText;
  enumMsgDlgType m_intType;
  UniString m_ustrTitle;
  bool m_bolHasCheckBox;
  UniString m_ustrCheckText;
  int m_intWidth;
};

struct stcMessageDialogAnswer {
  int m_intButtonID;
  bool m_bolCheckState;
};

std::vector<stcMessageDialogRecord> GetMessageDialogRecordsForTesting();
// Forgets the records and the answers still queued.
void ResetMessageDialogForTesting();
void QueueMessageDialogAnswerForTesting(stcMessageDialogAnswer answer);
