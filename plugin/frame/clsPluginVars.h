// clsPluginVars: the one plug-in state, alive from Init to Shutdown: the message being
// composed, the SMTP protocol controller, the sent values and the workers' scratch lists.
// Interface: the class with its public fields (the workers reach them directly), its merge
// operations DoMergeLine and DoMergeText and the compose dialog's menu cleaners, the global
// m_udtPluginVars (null before Init, after Shutdown and when its creation failed),
// Internal_PluginInit (creates it once and seeds the random generator from the tick count) and
// g_udtNewCfgDlg (the configuration dialog object while one call shows it), and the guard of a
// SendMessage or ShowMessageDialog call against the host calls made while it runs.
// Relies on mime/clsSMTPEmail.h, smtp/clsSMTPProt.h, plugin/frame/clsSendValues.h,
// files/XFileSpec.h and core/DebugLog.h. Host thread only; no lock. Construction does no I/O
// and starts no thread; destruction deletes every listed temporary file, ignoring failures,
// then stops the controller's worker thread before the message goes.
#pragma once

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "mime/clsSMTPEmail.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "smtp/clsSMTPProt.h"

class clsSendValues;
class clsNewCfgDlg;

class clsPluginVars {
 public:
  clsPluginVars();
  ~clsPluginVars();
  clsPluginVars(clsPluginVars const&) = delete;
  clsPluginVars& operator=(clsPluginVars const&) = delete;

  // Merge fields (plugin/frame/MergeFields.cpp): the line with every "<<name>>" (or
  // "&lt;&lt;name&gt;&gt;") replaced by the name's value in the environment, "?" where the host
  // cannot give one; a list's lines that hold an opening marker, each merged in place.
  UniString DoMergeLine(UniString line, fmx::ExprEnv const& env);
  void DoMergeText(UniStringList* lines, fmx::ExprEnv const& env);

  // The compose dialog's menus (plugin/frame/ShowMessageDialog.cpp). Address choices ("menu
  // prefix>", "label;", address) with the address part validated and cleaned, prefix and label
  // kept; the container names whose fields hold data. Both empty their output and problem
  // lists first, and do nothing without a problem list.
  void CleanQuickMenuEmailAddresses(UniStringList* addresses, UniStringList* cleaned, UniStringList* problems);
  void CleanContainers(UniStringList* names, UniStringList* valid, UniStringList* problems, fmx::ExprEnv const& env);

  // Declared in this order on purpose: members are destroyed in reverse, so the controller
  // (and its worker thread, which reads the message) goes before the message.
  clsSendValues* m_udtSendValues;  // owned; null until the first message is recorded
  clsSMTPEmail m_udtEmail;
  clsSMTPProt m_udtSMTP;
  UniStringList* m_ulstMergeLines;  // owned; made on first use
  UniStringList* m_ulstTempFiles;   // owned; full paths, each file deleted with the state
  bool m_bolCustomStatusTitle;
  // Set for the whole of a SendMessage or ShowMessageDialog call (see clsMessageCallScope).
  bool m_bolMessageCallRunning;
};

// The one plug-in state.
extern clsPluginVars* m_udtPluginVars;
// The configuration dialog object, only while a call shows it.
extern clsNewCfgDlg* g_udtNewCfgDlg;

// Holds m_bolMessageCallRunning for one SendMessage or ShowMessageDialog call. While the send
// waits for its thread, or the compose dialog runs, the host goes on with its events and may run
// another calculation: a call made then that would touch the message, the controller or the
// settings in use is refused with MessageCallRunningText() and changes nothing.
class clsMessageCallScope {
 public:
  clsMessageCallScope();
  ~clsMessageCallScope();
  clsMessageCallScope(clsMessageCallScope const&) = delete;
  clsMessageCallScope& operator=(clsMessageCallScope const&) = delete;

 private:
  clsPluginVars* m_pudtVars;
};
// True while a SendMessage or ShowMessageDialog call runs.
bool IsMessageCallRunning();
// The reason such a refused call gives, after its own "ERROR: ..." start.
UniString MessageCallRunningText();

// Creates the plug-in state unless it exists; a creation that throws leaves it null (the
// workers then refuse with their "Plug-in Variables Class is NULL." texts). Then seeds the
// standard random generator with the tick count.
void Internal_PluginInit();

// Makes the next construction of the plug-in state throw as if memory had run out.
void FailNextPluginVarsForTesting();
