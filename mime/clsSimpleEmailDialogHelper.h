// clsSimpleEmailDialogHelper: the compose dialog of ShowMessageDialog, the small modal window in
// which the user writes one message before it is sent. clsSMTPEmail::ShowSimpleDialog (in
// clsSimpleEmailDialogHelper.cpp) builds the window from the message, runs it and, after Send,
// writes To, From, Subject, the attachments and the body back; this class is its event handler.
// Interface: ButtonClick (200 Send checks the To address, 201 Cancel) and ContextualMenuClick
// (merge markers into Subject and body, the To choices, the three attachment slots with their
// Clear, Select File and container entries). The ids below are those of the dialog's layout.
// Relies on the dialog engine (dialogs/clsDynamicWindow.h, dialogs/MessageDialog.h), the address
// check (mime/CleanOneEmailAddress.h), the file dialogs of files/XFileSpec.h and the preference
// store. Host thread only. Nothing throws; a refused address or a question the user answers No
// leaves the dialog as it was.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "dialogs/clsDWLayout.h"

class clsDynamicWindow;
class clsSMTPEmail;

// Object ids of the compose dialog.
enum enumSimpleDialogID : int32_t {
  kSimpleDlgSend = 200,
  kSimpleDlgCancel = 201,
  kSimpleDlgAttach1 = 202,  // the "+" buttons of the three attachment slots
  kSimpleDlgAttach2 = 203,
  kSimpleDlgAttach3 = 204,
  kSimpleDlgToButton = 205,
  kSimpleDlgFrom = 300,
  kSimpleDlgSubject = 301,
  kSimpleDlgAttachEdit1 = 302,  // what the three slots show
  kSimpleDlgAttachEdit2 = 303,
  kSimpleDlgAttachEdit3 = 304,
  kSimpleDlgBody = 305,
  kSimpleDlgTo = 306
};

class clsSimpleEmailDialogHelper : public clsDWEvents {
 public:
  clsSimpleEmailDialogHelper();
  ~clsSimpleEmailDialogHelper() override;
  clsSimpleEmailDialogHelper(clsSimpleEmailDialogHelper const&) = delete;
  clsSimpleEmailDialogHelper& operator=(clsSimpleEmailDialogHelper const&) = delete;

  void ContextualMenuClick(int32_t id, UniString text, UniString value) override;
  // Send closes the window only with an address the address check accepts.
  void ButtonClick(int32_t id, bool* close) override;

  clsSMTPEmail* m_pudtEmail;          // not owned
  clsDynamicWindow* m_pudtWindow;     // not owned
  int32_t m_lngButtonPressed;         // 201 until Send is accepted
  // Each slot's whole value: a path in the internal style, or "Container: " and a field name.
  UniString m_ustrAttachments[3];

 private:
  // The "+" menu of slot 0, 1 or 2.
  void AttachmentMenuClick(int slot, UniString const& text, UniString const& value,
                           UniString const& word);
  // Asks the replace question when the slot holds something; true when it may be filled.
  bool MayReplace(int slot);
  void SetSlot(int slot, UniString const& value, UniString const& shown);
};
