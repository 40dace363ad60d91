// MessageDialog: the stock modal dialogs of the dialog engine, built from a layout and run in a
// modal window until one of their buttons closes it.
// Interface: MessageDialog(text, type, title, checkState, checkText, width) shows the text with
// the button row of the type and, when checkState is not null, a check box whose state it
// receives; it answers the id of the pressed button (1 OK, 2 Cancel, 3 Yes, 4 No), or 0 when the
// window closed without a button or could not be shown. SimpleMessageDialog is the same without
// title and check box. InputDialog asks for one line of text (hidden for a password) and answers
// 1 (OK), 2 (Cancel) or 0; the text behind value is the field's initial text and receives what
// the user left in it, whichever button was pressed. clsMsgInpDlgHelper is their handler.
// Relies on the layout model and clsDynamicWindow; runs on the host's thread (the modal loop
// pumps events, so a dialog may open from inside another dialog's handler). Failures to make or
// build the window go to the debug log only; the caller sees the result 0.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "dialogs/clsDWLayout.h"

// The button row of a message box, left to right.
enum enumMsgDlgType : int32_t {
  kMsgDlgOK = 0,              // OK
  kMsgDlgCancel = 1,          // Cancel
  kMsgDlgCancelOK = 2,        // Cancel, OK (default)
  kMsgDlgCancelDefaultOK = 3, // Cancel (default), OK
  kMsgDlgNoYes = 4,           // No, Yes (default)
  kMsgDlgNoDefaultYes = 5,    // No (default), Yes
  kMsgDlgYesNoCancel = 6,     // Yes (default), No, Cancel
  kMsgDlgYesNoDefaultCancel = 7  // Yes, No (default), Cancel
};

// Object ids of the stock dialogs; the buttons' ids are their results.
enum : int32_t {
  kMsgDlgButtonOK = 1,
  kMsgDlgButtonCancel = 2,
  kMsgDlgButtonYes = 3,
  kMsgDlgButtonNo = 4,
  kMsgDlgCheckBoxID = 90,
  kMsgDlgEditID = 95,
  kMsgDlgRootID = 100,
  kMsgDlgLabelID = 101,
  kMsgDlgButtonRowID = 102,
  kMsgDlgFillID = 103,
  kMsgDlgSecondFillID = 104
};

// The label of the check box when the caller gives none.
extern char const* const kMsgDlgDefaultCheckText;

// A type outside 0 to 7 gets the OK row of type 0, so the window always has a button.
int MessageDialog(UniString text, enumMsgDlgType type, UniString title, bool* checkState,
                  UniString checkText, int width);
int SimpleMessageDialog(UniString text, int width, enumMsgDlgType type);
int InputDialog(UniString prompt, UniString* value, bool password, UniString title, int width);

class clsDynamicWindow;

// The handler of one stock dialog: remembers the last button clicked and puts the keyboard focus
// into the input dialog's field when it shows.
class clsMsgInpDlgHelper : public clsDWEvents {
 public:
  clsMsgInpDlgHelper() : m_pudtWindow(nullptr), m_intDialogType(0), m_lngButtonID(0) {}
  ~clsMsgInpDlgHelper() override = default;

  void WindowShow() override;
  void ButtonClick(int32_t id, bool* close) override;

  clsDynamicWindow* m_pudtWindow;  // not owned
  int32_t m_intDialogType;         // the message type, or -1 for the input dialog
  int32_t m_lngButtonID;
};
