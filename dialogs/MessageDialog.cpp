// MessageDialog: the headless body of the message box. Nothing is drawn: the call is recorded
// for tests and answered from the queue they fill, or with OK. The check box's label falls back
// to the default text when the caller gives none, as the real box shows it.
#include "dialogs/MessageDialog.h"

#include <deque>
#include <mutex>

#include "dialogs/MessageDialogTesting.h"

char const* const kMsgDlgDefaultCheckText = "Do not show this dialog again.";

namespace {

struct stcMessageDialogState {
  std::mutex m_mtxState;
  std::vector<stcMessageDialogRecord> m_vecRecords;
  std::deque<stcMessageDialogAnswer> m_deqAnswers;
};

stcMessageDialogState& State() {
  static stcMessageDialogState* s_udtState = new stcMessageDialogState;
  return *s_udtState;
}

}  // namespace

int MessageDialog(UniString text, enumMsgDlgType type, UniString title, bool* checkState,
                  UniString checkText, int width) {
  bool hasCheckBox = checkState != nullptr;
  if (hasCheckBox && checkText.IsEmpty()) checkText = UniString(kMsgDlgDefaultCheckText, 1, -1);

  stcMessageDialogState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  try {
    state.m_vecRecords.push_back(stcMessageDialogRecord{
        text, type, title, hasCheckBox, hasCheckBox ? checkText : UniString(), width});
  } catch (...) {
    return 0;  // no room to even note the box: as when it cannot be built
  }
  int button = 1;
  if (!state.m_deqAnswers.empty()) {
    stcMessageDialogAnswer answer = state.m_deqAnswers.front();
    state.m_deqAnswers.pop_front();
    button = answer.m_intButtonID;
    if (hasCheckBox) *checkState = answer.m_bolCheckState;
  }
  return button;
}

std::vector<stcMessageDialogRecord> GetMessageDialogRecordsForTesting() {
  stcMessageDialogState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  return state.m_vecRecords;
}

void ResetMessageDialogForTesting() {
  stcMessageDialogState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  state.m_vecRecords.clear();
  state.m_deqAnswers.clear();
}

void QueueMessageDialogAnswerForTesting(stcMessageDialogAnswer answer) {
  stcMessageDialogState& state = State();
  std::lock_guard<std::mutex> guard(state.m_mtxState);
  state.m_deqAnswers.push_back(answer);
}
