// clsSendValues: the values of the last message that SendMessage sent or that the user accepted
// in the compose dialog, kept by the plug-in state for GetDialogValue.
// Interface: clsSendValues (To, From, Subject, the body lines and the attachment entries; the
// workers create and fill the lists, this class only clears and frees them) and
// DoGetDialogValue(parameters), GetDialogValue's worker: the "Which" parameter, trimmed and
// upper-cased, picks "TO", "FROM", "SUBJECT", "BODY" (a list) or an attachment ("ATTACHMENT1",
// "ATTACHMENT 1", "ATTACH1", "ATTACH 1", up to 3).
// Relies on core/clsMultiVar.h and the plug-in state (plugin/frame/clsPluginVars.h).
// Host thread only. Failures are result texts beginning "ERROR: GetDialogValue: "; nothing
// throws.
#pragma once

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

class clsSendValues {
 public:
  clsSendValues();
  ~clsSendValues();
  clsSendValues(clsSendValues const&) = delete;
  clsSendValues& operator=(clsSendValues const&) = delete;

  // Empties the three texts and both lists (the lists themselves stay).
  void Clear();

  UniStringList* m_ulstBody;         // owned; may be null
  UniStringList* m_ulstAttachments;  // owned; may be null
  UniString m_ustrTo;
  UniString m_ustrFrom;
  UniString m_ustrSubject;
};

// GetDialogValue's worker: the value asked for by "Which", an empty string before any message,
// or an error text.
clsSingleVar DoGetDialogValue(clsMultiVar* parameters);
