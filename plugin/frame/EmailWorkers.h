// EmailWorkers: the workers of SendMessage and ShowMessageDialog, DoClear, and the road the two
// share from the server settings to the end of a send.
// Interface: DoSendMessage and DoShowMessageDialog (parameter collection, the three attachment
// values, the calling environment; one string result: "Email Sent Successfully.", for the dialog
// also "Message Dialog Accepted." and "Message Dialog was Cancelled.", else an "ERROR: " text
// naming the function); DoClear (the message emptied, the temporary container files deleted);
// clsEmailRoad, one call's walk through the preferences, merge fields, sent values and the SMTP
// controller, used by both workers.
// Relies on the plug-in state (message, controller, sent values, temporary files), the preference
// store, DoGetContFile, the merge fields and the progress window g_udtPluginStatus. Host thread
// only. Failures are result texts; nothing here throws of its own (the callback catches what the
// host or the system throws).
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"

clsSingleVar DoSendMessage(clsMultiVar* params, fmx::Data const& attachment1, fmx::Data const& attachment2,
                           fmx::Data const& attachment3, fmx::ExprEnv const& env);
clsSingleVar DoShowMessageDialog(clsMultiVar* params, fmx::Data const& attachment1, fmx::Data const& attachment2,
                                 fmx::Data const& attachment3, fmx::ExprEnv const& env);
// Empties the message and deletes every listed temporary file (the list keeps its entries, so a
// file that could not be deleted is tried again later). Nothing without a plug-in state.
void DoClear();

// The X-Mailer text both workers give the message when nothing else names one.
UniString EmailXMailerText();

// One worker call's steps that both workers take. Its texts begin "ERROR: ", the function's name
// and ": ". Connect and Send drive the controller of the plug-in state; Finish must end every
// call that made one (it disconnects after a successful Connect and hides the progress window).
class clsEmailRoad {
 public:
  explicit clsEmailRoad(char const* functionName);

  // "ERROR: <function>: " and the text.
  UniString Error(UniString const& text) const;
  // The answer to a call made while another SendMessage or ShowMessageDialog runs; such a call
  // takes no step of the road (not even Finish, which would hide the running call's window).
  clsSingleVar Refused() const;

  // A parameter as text (empty when missing); the list of a list parameter that holds lines
  // (null otherwise; the collection keeps it).
  static UniString ParameterText(clsMultiVar* params, char const* name);
  static UniStringList* ParameterList(clsMultiVar* params, char const* name);

  // Each attachment value turned into its entry for the message (empty when not given), in order;
  // an error text when one cannot be turned into a file (the rest are then not looked at).
  UniString AttachmentEntries(fmx::Data const* const attachments[3], UniString entries[3]);

  // The plug-in state's message emptied and filled: the To address (none when empty), the
  // subject, the body lines and the non-empty attachment entries in order.
  static void FillMessage(UniString const& to, UniString const& subject, UniStringList* body,
                          UniString const entries[3]);

  // Reads Host, Port, Timeout and From; an error text when Host or From is missing or still the
  // placeholder of the default settings.
  UniString ReadServerSettings();

  // Merge fields in the message's subject (only when it holds "<<") and its text body.
  static void MergeMessage(fmx::ExprEnv const& env);

  // The plug-in state's sent values, made when missing, emptied.
  static void ResetSendValues();
  // The message's first To, sender, subject, body lines and attachment entries into the sent values.
  static void RecordSendValues();

  // Starts the controller's thread when needed, sets the authentication from the preferences,
  // shows the progress window, connects and titles the window after the host. Error text or empty.
  UniString Connect();
  // Sends the message over the open connection (BreakOnBadRcpt from the preferences).
  UniString Send();
  // The end of every road: disconnect after a connection, the window's own title back, the error
  // (when there is one) as the result with the sent values emptied, the window hidden.
  clsSingleVar Finish(UniString const& error, UniString const& result);

  AnsiString m_astrHost;
  int32_t m_lngPort;
  int32_t m_lngTimeout;
  AnsiString m_astrFrom;

 private:
  UniString m_ustrFunctionName;
  bool m_bolConnected;
};
