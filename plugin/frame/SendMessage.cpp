// SendMessage: the worker behind SendMessage, DoClear, and the road that SendMessage and
// ShowMessageDialog share from the server settings to the end of a send (clsEmailRoad).
// A call validates the first To line, turns the attachments into files, fills the one message of
// the plug-in state, checks the server preferences, merges fields, then connects, sends and
// disconnects through the plug-in state's SMTP controller with the progress window shown.
// Only the first line of To is used; the validator's cleaned form is what goes out and what
// GetDialogValue reads back. Temporary container files stay after a failed send (the next
// successful send or the plug-in state's end deletes them). A call made while another
// SendMessage or ShowMessageDialog runs (the host runs calculations while the send waits for its
// thread) is refused at once and touches nothing.
// Relies on the address validation, the message model and the controller (the one tie to mime/
// and smtp/), the preference store, DoGetContFile, the merge fields and g_udtPluginStatus.
// Host thread only; failures are result texts beginning "ERROR: SendMessage: ".
#include "plugin/frame/EmailWorkers.h"

#include <new>

#include "core/DebugLog.h"
#include "dialogs/clsStatusWindow.h"
#include "files/XFileSpec.h"
#include "mime/CleanOneEmailAddress.h"
#include "plugin/PlaceholderSettings.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/ContainerAttachments.h"
#include "plugin/frame/PluginIdentity.h"
#include "plugin/frame/clsPluginVars.h"
#include "plugin/frame/clsSendValues.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// "AuthType" and "TLSType" as the controller's kinds; unknown words select none.
enumSMTPAuthType AuthTypeOf(UniString const& text) {
  UniString const word = text.Trim().UpperCase();
  if (word == U("PLAIN")) return kSMTPAuthPlain;
  if (word == U("LOGIN")) return kSMTPAuthLogin;
  if (word == U("CRAM-MD5")) return kSMTPAuthCRAMMD5;
  if (word == U("AUTO")) return kSMTPAuthAutomatic;
  return kSMTPAuthNone;
}

enumSMTPTLSType TLSTypeOf(UniString const& text) {
  UniString const word = text.Trim().UpperCase();
  if (word == U("AFTERCONNECT")) return kSMTPTLSStartTLS;
  if (word == U("BEFORECONNECT")) return kSMTPTLSImmediate;
  return kSMTPTLSNone;
}

AnsiString StringPrefUTF8(char const* name, UniString const& fallback) {
  return g_udtPrefs.GetStringPref(U(name), fallback).GetAnsiString(1);
}

// Everything of a SendMessage call up to the end road; the error text, empty after a send.
UniString SendMessageSteps(clsEmailRoad& road, clsMultiVar* params, fmx::Data const* const attachments[3],
                           fmx::ExprEnv const& env) {
  clsPluginVars* const vars = m_udtPluginVars;
  if (vars == nullptr) return road.Error(U("Plug-in Variables Class is NULL."));

  // Only the first line of To is looked at.
  UniStringList* to = nullptr;
  clsMultiVar::iterator it;
  if (params != nullptr && params->GetVar(U("To"), it) && it->GetType() == kVarTypeList) to = it->GetListValue(false);
  UniString const first = to != nullptr && to->Count() > 0 ? to->At(0).Trim() : UniString();
  if (first.IsEmpty()) return road.Error(U("You must specify the Recipient Email Address ('To' parameter)."));
  UniString cleaned, refused;
  CleanOneEmailAddress(first, &cleaned, &refused);
  if (cleaned.IsEmpty()) return road.Error(U("The To Email Address you specified appears to be invalid: ") + refused);

  UniString const subject = clsEmailRoad::ParameterText(params, "Subject");
  UniStringList* const body = clsEmailRoad::ParameterList(params, "Body");

  UniString entries[3];
  UniString const failed = road.AttachmentEntries(attachments, entries);
  if (failed.IsNotEmpty()) return failed;

  clsEmailRoad::FillMessage(cleaned, subject, body, entries);
  UniString const unset = road.ReadServerSettings();
  if (unset.IsNotEmpty()) return unset;
  clsSMTPEmail& email = vars->m_udtEmail;
  if (!email.HaveRecipients()) return road.Error(U("Missing Recipient Email Addresses."));
  email.SetDefaultXMailer(EmailXMailerText());
  clsEmailRoad::MergeMessage(env);

  UniString const notConnected = road.Connect();
  if (notConnected.IsNotEmpty()) return notConnected;
  clsEmailRoad::ResetSendValues();
  UniString const notSent = road.Send();
  if (notSent.IsNotEmpty()) return notSent;
  clsEmailRoad::RecordSendValues();
  DoClear();
  return UniString();
}

}  // namespace

UniString EmailXMailerText() {
  return U(g_strProductName) + U(" (OSX ") + U(g_strProductVersion) + U(")");
}

clsSingleVar DoSendMessage(clsMultiVar* params, fmx::Data const& attachment1, fmx::Data const& attachment2,
                           fmx::Data const& attachment3, fmx::ExprEnv const& env) {
  clsFuncDebug dbg(U("DoSendMessage"));
  clsEmailRoad road("SendMessage");
  if (IsMessageCallRunning()) return road.Refused();
  clsMessageCallScope running;
  fmx::Data const* const attachments[3] = {&attachment1, &attachment2, &attachment3};
  UniString const error = SendMessageSteps(road, params, attachments, env);
  return road.Finish(error, U("Email Sent Successfully."));
}

void DoClear() {
  clsFuncDebug dbg(U("DoClear"));
  clsPluginVars* const vars = m_udtPluginVars;
  if (vars == nullptr) return;
  vars->m_udtEmail.ClearAll(nullptr);
  if (vars->m_ulstTempFiles == nullptr) return;
  for (UniString const& path : *vars->m_ulstTempFiles) {
    XFileSpec file;
    if (file.Set(path)) file.XRemoveFile(UniString());
  }
}

// ---- clsEmailRoad -------------------------------------------------------------------------

clsEmailRoad::clsEmailRoad(char const* functionName)
    : m_lngPort(25), m_lngTimeout(30), m_ustrFunctionName(U(functionName)), m_bolConnected(false) {}

UniString clsEmailRoad::Error(UniString const& text) const {
  return U("ERROR: ") + m_ustrFunctionName + U(": ") + text;
}

clsSingleVar clsEmailRoad::Refused() const {
  clsSingleVar value;
  value.SetStringValue(Error(MessageCallRunningText()));
  return value;
}

UniString clsEmailRoad::ParameterText(clsMultiVar* params, char const* name) {
  clsMultiVar::iterator it;
  if (params == nullptr || !params->GetVar(U(name), it)) return UniString();
  return it->GetValue_AsString();
}

UniStringList* clsEmailRoad::ParameterList(clsMultiVar* params, char const* name) {
  clsMultiVar::iterator it;
  if (params == nullptr || !params->GetVar(U(name), it) || it->GetType() != kVarTypeList) return nullptr;
  UniStringList* const list = it->GetListValue(false);
  return list != nullptr && list->Count() > 0 ? list : nullptr;
}

UniString clsEmailRoad::AttachmentEntries(fmx::Data const* const attachments[3], UniString entries[3]) {
  UniStringList files;
  for (int i = 0; i < 3; ++i) {
    UniString const failed = DoGetContFile(*attachments[i], &files, false);
    if (failed.IsNotEmpty()) return Error(failed);
    // A text of several paths gives several lines; the first one is the attachment.
    entries[i] = files.Count() > 0 ? files.At(0) : UniString();
    // A FIFO or device is refused before anything is sent: the sending thread would wait in its
    // open (or read a device without end) in the middle of the message.
    int const eq = entries[i].Pos('=');
    XFileSpec file;
    file.Set(eq > 0 ? entries[i].SubString(eq + 1, entries[i].Length()) : entries[i]);
    if (entries[i].IsNotEmpty() && file.XFileExists() && !file.XIsRegularFile()) {
      return Error(U("Attachment ") + file.ErrorString());
    }
  }
  return UniString();
}

void clsEmailRoad::FillMessage(UniString const& to, UniString const& subject, UniStringList* body,
                               UniString const entries[3]) {
  clsSMTPEmail& email = m_udtPluginVars->m_udtEmail;
  email.ClearAll(nullptr);
  // Every send fills the message afresh, which deletes the parts and their encoded copies: a
  // copy is of no use once its message is out, and goes then.
  email.SetKeepEncodedFiles(false);
  email.AddTo(to);
  email.SetSubject(subject);
  if (body != nullptr) email.AddTextBody(body);
  for (int i = 0; i < 3; ++i)
    if (entries[i].IsNotEmpty()) email.AddAttachment(entries[i]);
}

UniString clsEmailRoad::ReadServerSettings() {
  UniString const host = g_udtPrefs.GetStringPref(U("Host"), U(g_strPlaceholderHost));
  m_astrHost = host.GetAnsiString(1);
  if (host.IsEmpty() || host.UpperCase() == U(g_strPlaceholderHost).UpperCase())
    return Error(U("Missing or Invalid SMTP Host. (Please use Velmora's Configuration Dialog to define a Host.)"));
  m_lngPort = g_udtPrefs.GetIntegerPref(U("Port"), 25);
  m_lngTimeout = g_udtPrefs.GetIntegerPref(U("Timeout"), 30);
  UniString const from = g_udtPrefs.GetStringPref(U("From"), U(g_strPlaceholderFrom));
  m_astrFrom = from.GetAnsiString(1);
  UniString const upper = from.UpperCase();
  if (from.IsEmpty() || upper == U(g_strPlaceholderAddresses[0]) || upper == U(g_strPlaceholderAddresses[1]))
    return Error(
        U("Missing or Invalid From Email Address. (Please use Velmora's Configuration Dialog to defina a From Email "
          "Address.)"));
  return UniString();
}

void clsEmailRoad::MergeMessage(fmx::ExprEnv const& env) {
  clsPluginVars* const vars = m_udtPluginVars;
  clsSMTPEmail& email = vars->m_udtEmail;
  UniString const subject = email.GetSubject();
  if (subject.Pos(U("<<")) > 0) email.SetSubject(vars->DoMergeLine(subject, env));
  if (email.HaveTextBody()) {
    UniStringList lines;
    email.GetTextBody(&lines);
    vars->DoMergeText(&lines, env);
    email.ClearTextBody();
    email.AddTextBody(&lines);
  }
}

void clsEmailRoad::ResetSendValues() {
  clsPluginVars* const vars = m_udtPluginVars;
  if (vars->m_udtSendValues == nullptr) {
    try {
      vars->m_udtSendValues = new clsSendValues;
    } catch (std::bad_alloc const&) {
      vars->m_udtSendValues = nullptr;
    }
  }
  if (vars->m_udtSendValues != nullptr) vars->m_udtSendValues->Clear();
}

void clsEmailRoad::RecordSendValues() {
  clsPluginVars* const vars = m_udtPluginVars;
  clsSendValues* const sent = vars->m_udtSendValues;
  if (sent == nullptr) return;
  clsSMTPEmail& email = vars->m_udtEmail;
  if (email.HaveTos()) {
    UniStringList tos;
    email.GetTos(&tos);
    if (tos.Count() > 0) sent->m_ustrTo = tos.At(0);
  }
  sent->m_ustrFrom = email.GetFrom();
  sent->m_ustrSubject = email.GetSubject();
  if (email.HaveTextBody()) {
    if (sent->m_ulstBody == nullptr) sent->m_ulstBody = new UniStringList;
    email.GetTextBody(sent->m_ulstBody);
  }
  if (email.AttachmentCount() > 0) {
    if (sent->m_ulstAttachments == nullptr) sent->m_ulstAttachments = new UniStringList;
    email.GetAttachments(sent->m_ulstAttachments);
  }
}

UniString clsEmailRoad::Connect() {
  clsPluginVars* const vars = m_udtPluginVars;
  clsSMTPProt& smtp = vars->m_udtSMTP;
  if (!smtp.IsProtocolStarted() && !smtp.StartupProtocol()) return Error(UniString(smtp.ErrorString()));
  enumSMTPAuthType const auth = AuthTypeOf(g_udtPrefs.GetStringPref(U("AuthType"), U("None")));
  AnsiString const user = StringPrefUTF8("Username", UniString());
  AnsiString const password = StringPrefUTF8("Password", UniString());
  enumSMTPTLSType const tls = TLSTypeOf(g_udtPrefs.GetStringPref(U("TLSType"), U("None")));
  g_udtPluginStatus.Show();
  smtp.SetAuthentication(auth, user, password, m_astrFrom, tls, false);
  if (!smtp.Connect(m_astrHost, m_lngPort, m_lngTimeout)) return Error(UniString(smtp.ErrorString()));
  m_bolConnected = true;
  if (g_udtPluginStatus.IsOpen() && !g_udtPluginStatus.UsingCustomTitle()) {
    g_udtPluginStatus.SetCustomTitle(U(g_strProductName) + U(" - Connected to \"") + UniString(m_astrHost) + U("\""));
    vars->m_bolCustomStatusTitle = true;
  }
  return UniString();
}

UniString clsEmailRoad::Send() {
  clsPluginVars* const vars = m_udtPluginVars;
  bool const breakOnBadRcpt = g_udtPrefs.GetBooleanPref(U("BreakOnBadRcpt"), true);
  if (!vars->m_udtSMTP.SendOneEmail(&vars->m_udtEmail, breakOnBadRcpt))
    return Error(UniString(vars->m_udtSMTP.ErrorString()));
  return UniString();
}

clsSingleVar clsEmailRoad::Finish(UniString const& error, UniString const& result) {
  clsPluginVars* const vars = m_udtPluginVars;
  if (vars != nullptr && m_bolConnected) {
    vars->m_udtSMTP.Disconnect();
    m_bolConnected = false;
  }
  // The connection title comes off also when the user closed the window meanwhile; otherwise
  // the next send would keep showing this host's name.
  if (vars != nullptr && vars->m_bolCustomStatusTitle) {
    vars->m_bolCustomStatusTitle = false;
    g_udtPluginStatus.SetCustomTitle(UniString());
  }
  clsSingleVar value;
  if (error.IsNotEmpty()) {
    value.SetStringValue(error);
    if (vars != nullptr && vars->m_udtSendValues != nullptr) vars->m_udtSendValues->Clear();
  } else {
    value.SetStringValue(result);
  }
  g_udtPluginStatus.Hide();
  return value;
}
