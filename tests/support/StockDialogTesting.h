// StockDialogTesting: answering and reading the stock message and input dialogs in tests, through
// the window server's driver (platform/carbon/WindowsTesting.h).
// Interface: QueueStockDialogAnswer(button, tick) queues what the user does in the next stock
// dialog (tick its check box, then press the button with that id: 1 OK, 2 Cancel, 3 Yes, 4 No);
// without an answer the modal loop's idle policy presses Return (the default button).
// clsStockDialogRecorder notes each stock dialog as it is shown (title, text, buttons left to
// right, check box text, edit text) while it lives; it takes the server's show hook.
// Relies on the window server's inspection calls; test code only.
#pragma once

#include <string>
#include <vector>

#include "platform/carbon/MacWindows.h"

struct stcShownStockDialog {
  std::string m_strTitle;      // UTF-8
  std::string m_strText;       // the message or prompt
  std::vector<std::string> m_vecButtons;  // titles, left to right
  std::string m_strDefaultButton, m_strCancelButton;  // titles; empty when none
  bool m_blnHasCheckBox = false;
  std::string m_strCheckText;
  bool m_blnHasEdit = false;
  std::string m_strEditText;
  bool m_blnPassword = false;
};

void QueueStockDialogAnswer(int buttonID, bool tickCheckBox = false);

// What a shown window holds, read the way the recorder reads it; false when it is no stock dialog.
bool ReadStockDialog(WindowRef window, stcShownStockDialog* out);

class clsStockDialogRecorder {
 public:
  clsStockDialogRecorder();
  ~clsStockDialogRecorder();
  clsStockDialogRecorder(clsStockDialogRecorder const&) = delete;
  clsStockDialogRecorder& operator=(clsStockDialogRecorder const&) = delete;

  std::vector<stcShownStockDialog> const& Shown() const { return m_vecShown; }

 private:
  std::vector<stcShownStockDialog> m_vecShown;
};
