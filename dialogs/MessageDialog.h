// MessageDialog: the stock message box of the dialog engine.
// Interface: MessageDialog(text, type, title, checkState, checkText, width) shows the text with
// the button row of the type, an optional check box (only when checkState is not null) and
// answers the id of the pressed button (1 OK, 2 Cancel, 3 Yes, 4 No), or 0 when no dialog could
// be shown. Relies on UniString; runs on the host's thread; never throws.
#pragma once

#include <cstdint>

#include "core/UniString.h"

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

// The label of the check box when the caller gives none.
extern char const* const kMsgDlgDefaultCheckText;

int MessageDialog(UniString text, enumMsgDlgType type, UniString title, bool* checkState,
                  UniString checkText, int width);
