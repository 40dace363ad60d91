// ShowMessageDialog: the worker behind ShowMessageDialog and the menus of its compose dialog.
// DoShowMessageDialog prefills the plug-in state's message from the parameters, checks that a
// server and a sender are configured (also when it will not send), runs the compose dialog and,
// after Send, merges fields, turns "CONTAINER:" entries into files, records the values for
// GetDialogValue and sends the message through the road SendMessage takes, unless told only to
// accept it. CleanQuickMenuEmailAddresses keeps the address choices whose address part the
// validator accepts, each in its cleaned form behind its untouched menu prefix and label;
// CleanContainers keeps the container field names whose fields hold data in the calling
// environment. Like SendMessage, a call made while one of the two runs is refused at once.
// Field names reach the host only as the quoted argument of GetField (BuildGetFieldExpression),
// so no name can end the quoted text and run as a calculation.
// Relies on the address validation (mime/CleanOneEmailAddress.h), the compose dialog of the
// message model, the preference store, DoGetContFile, the host's calculation engine and the
// shared send road (plugin/frame/EmailWorkers.h). Host thread only; nothing throws of its own;
// refused menu entries are written to the debug log; failures are result texts beginning
// "ERROR: ShowMessageDialog: ", and a cancelled dialog answers "Message Dialog was Cancelled.".
#include <new>

#include "core/DebugLog.h"
#include "mime/CleanOneEmailAddress.h"
#include "plugin/GetFieldExpression.h"
#include "plugin/HostText.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/ContainerAttachments.h"
#include "plugin/frame/EmailWorkers.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Evaluates a calculation in the environment; the host's answer, 0 on success.
fmx::errcode EvaluateText(fmx::ExprEnv const& env, UniString const& expression, fmx::Data& result) {
  fmx::Text text;
  text.AssignUnicodeWithLength(expression.GetBytes(), fmx::uint32(expression.Length()));
  return env.Evaluate(text, result);
}

// The table of the calling layout, empty when the host cannot tell.
UniString LayoutTableName(fmx::ExprEnv const& env) {
  fmx::Data value;
  if (EvaluateText(env, U("Get(LayoutTableName)"), value) != 0) return UniString();
  return ExtractFromFMXText(value.GetAsText());
}

// The value of a field named plainly (then in the layout's table) or with its table and "::".
fmx::errcode EvaluateField(fmx::ExprEnv const& env, UniString const& name, UniString const& table, fmx::Data& value) {
  UniString const qualified = name.Pos(U("::")) > 0 ? name : table + U("::") + name;
  return EvaluateText(env, BuildGetFieldExpression(qualified), value);
}

// Splits an address choice into its menu prefix (up to a ">" outside angle brackets, with the
// label up to the first ";" after it) and the address part.
void SplitAddressChoice(UniString const& entry, UniString* prefix, UniString* address) {
  int end = 0;  // the prefix's last unit, 0 for none
  if (entry.Pos(static_cast<unsigned short>('<')) > 0) {
    int depth = 0;
    for (int i = 1; i <= entry.Length() && end == 0; ++i) {
      if (entry[i] == '<') {
        ++depth;
      } else if (entry[i] == '>') {
        if (depth == 0) {
          end = i;
        } else {
          --depth;
        }
      }
    }
  } else {
    end = entry.Pos(static_cast<unsigned short>('>'), false, entry.Length(), -1);
  }
  UniString rest = entry.SubString(end + 1, entry.Length() - end);
  int const label = rest.Pos(static_cast<unsigned short>(';'));
  end += label;
  *prefix = entry.Left(end);
  *address = entry.SubString(end + 1, entry.Length() - end);
}

// Writes what the menu cleaners refused to the debug log.
void LogProblems(UniStringList const& problems) {
  for (UniString const& problem : problems) DebugOutput(kDebugWarning, problem);
}

// The dialog's attachment entries with every "CONTAINER:" entry (any letter case) replaced by the
// file its field's data was written to, or by an empty text when that fails.
void ResolveContainerEntries(UniStringList* entries, fmx::ExprEnv const& env) {
  UniString const table = LayoutTableName(env);
  UniString const marker = U("CONTAINER:");
  UniStringList files;
  for (UniString& entry : *entries) {
    if (entry.Left(marker.Length()).UpperCase() != marker) continue;
    UniString const name = entry.SubString(marker.Length() + 1, entry.Length() - marker.Length()).Trim();
    fmx::Data value;
    if (EvaluateField(env, name, table, value) != 0) {
      DebugOutput(kDebugWarning, U("Couldn't evaluate"));
      entry = UniString();
      continue;
    }
    UniString const failed = DoGetContFile(value, &files, false);
    if (failed.IsNotEmpty()) DebugOutput(kDebugError, failed);
    entry = failed.IsEmpty() && files.Count() > 0 ? files.At(0) : UniString();
  }
}

// Send unless "SendEmail" is there and not above 0.
bool WantsSending(clsMultiVar* params) {
  clsMultiVar::iterator it;
  if (params == nullptr || !params->GetVar(U("SendEmail"), it)) return true;
  clsSingleVar value(*it);
  value.CoerceVarType(kVarTypeInteger);
  return value.GetIntegerValue() > 0;
}

// Everything of a ShowMessageDialog call up to the end road; the error text, empty after a send
// or an accepted dialog (*result then says which).
UniString ShowMessageDialogSteps(clsEmailRoad& road, clsMultiVar* params, fmx::Data const* const attachments[3],
                                 fmx::ExprEnv const& env, UniString* result) {
  if (g_fudtFMProduct > 2)
    return road.Error(U("This function is not available from FileMaker Server or the Web Publishing Engine."));
  clsPluginVars* const vars = m_udtPluginVars;
  if (vars == nullptr) return road.Error(U("Plug-in Variables Class is NULL."));

  UniStringList choices, containers, problems;
  if (UniStringList* const addresses = clsEmailRoad::ParameterList(params, "Addresses")) {
    vars->CleanQuickMenuEmailAddresses(addresses, &choices, &problems);
    LogProblems(problems);
  }
  UniString const subject = clsEmailRoad::ParameterText(params, "Subject");
  UniStringList* const body = clsEmailRoad::ParameterList(params, "Body");
  UniString entries[3];
  UniString const failed = road.AttachmentEntries(attachments, entries);
  if (failed.IsNotEmpty()) return failed;
  UniStringList* const mergeFields = clsEmailRoad::ParameterList(params, "MergeFields");
  if (UniStringList* const names = clsEmailRoad::ParameterList(params, "Containers")) {
    vars->CleanContainers(names, &containers, &problems, env);
    LogProblems(problems);
  }
  bool const send = WantsSending(params);

  // To comes from the dialog only.
  clsEmailRoad::FillMessage(UniString(), subject, body, entries);

  // Checked before the dialog opens, so nobody writes a message that cannot go out.
  UniString const unset = road.ReadServerSettings();
  if (unset.IsNotEmpty()) return unset;
  clsSMTPEmail& email = vars->m_udtEmail;
  email.SetDefaultXMailer(EmailXMailerText());

  bool const accepted = email.ShowSimpleDialog(&choices, mergeFields, &containers);
  clsEmailRoad::ResetSendValues();
  if (!accepted) return U("Message Dialog was Cancelled.");

  clsEmailRoad::MergeMessage(env);
  containers.Clear();
  email.GetAttachments(&containers);
  if (containers.Count() > 0) {
    ResolveContainerEntries(&containers, env);
    email.ClearAttachments();
    email.AddAttachments(&containers);
  }
  clsEmailRoad::RecordSendValues();
  if (!send) {
    // The container files stay, so the recorded attachment paths still name files.
    *result = U("Message Dialog Accepted.");
    email.ClearAll(nullptr);
    return UniString();
  }

  UniString const notConnected = road.Connect();
  if (notConnected.IsNotEmpty()) return notConnected;
  UniString const notSent = road.Send();
  if (notSent.IsNotEmpty()) return notSent;
  *result = U("Email Sent Successfully.");
  DoClear();
  return UniString();
}

}  // namespace

void clsPluginVars::CleanQuickMenuEmailAddresses(UniStringList* addresses, UniStringList* cleaned,
                                                 UniStringList* problems) {
  clsFuncDebug dbg(U("CleanQuickMenuEmailAddresses"));
  if (problems == nullptr) return;
  if (addresses == nullptr || cleaned == nullptr) {
    problems->Add(U("ERROR: CleanEmailAddresses: Memory not allocated!"));
    return;
  }
  cleaned->Clear();
  problems->Clear();
  if (g_udtPrefs.GetBooleanPref(U("DisableEmailValidation"), false)) {
    cleaned->Assign(addresses);
    return;
  }
  for (UniString const& entry : *addresses) {
    if (entry.IsEmpty()) continue;
    UniString prefix, address, clean, error;
    SplitAddressChoice(entry, &prefix, &address);
    CleanOneEmailAddress(address, &clean, &error);
    if (clean.IsNotEmpty()) {
      cleaned->Add(prefix + clean);
    } else if (error.IsNotEmpty()) {
      problems->Add(prefix + error);
    }
  }
}

void clsPluginVars::CleanContainers(UniStringList* names, UniStringList* valid, UniStringList* problems,
                                    fmx::ExprEnv const& env) {
  clsFuncDebug dbg(U("CleanContainers"));
  if (problems == nullptr) return;
  if (names == nullptr || valid == nullptr) {
    problems->Add(U("ERROR: CleanContainers: Memory not allocated!"));
    return;
  }
  valid->Clear();
  problems->Clear();
  UniString const table = LayoutTableName(env);
  for (UniString const& name : *names) {
    if (name.IsEmpty()) continue;
    fmx::Data value;
    if (EvaluateField(env, name, table, value) != 0) continue;
    if (value.GetNativeType() != fmx::Data::kDTBinary) {
      problems->Add(U("Field was not a container: ") + name);
    } else if (value.IsEmpty()) {
      problems->Add(U("Container was empty: ") + name);
    } else {
      valid->Add(name);
    }
  }
}

clsSingleVar DoShowMessageDialog(clsMultiVar* params, fmx::Data const& attachment1, fmx::Data const& attachment2,
                                 fmx::Data const& attachment3, fmx::ExprEnv const& env) {
  clsFuncDebug dbg(U("DoShowMessageDialog"));
  clsEmailRoad road("ShowMessageDialog");
  if (IsMessageCallRunning()) return road.Refused();
  clsMessageCallScope running;
  fmx::Data const* const attachments[3] = {&attachment1, &attachment2, &attachment3};
  UniString result;
  UniString const error = ShowMessageDialogSteps(road, params, attachments, env, &result);
  return road.Finish(error, result);
}
