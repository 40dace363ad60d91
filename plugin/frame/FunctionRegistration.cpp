// FunctionRegistration: the table of the plug-in's own calculation functions and its
// registration. Help texts are joined by CR and each begins with one; their wording is what the
// host pastes as a comment, so it stays as users have always seen it.
#include "plugin/frame/FunctionRegistration.h"

#include "core/DebugLog.h"
#include "core/UniString.h"
#include "filefuncs/FileFuncs.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXText.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/ConfigureFunctions.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/PluginIdentity.h"

namespace {

// Display in every calculation dialog (0xFF00) and evaluation on a server (0x0001).
const fmx::uint32 kFunctionFlags = 0xFF01;

char const kHelpGetDialogValue[] =
    "\r/*Which = Which Dialog Value to Retrieve. [Specify \"To\", \"From\", \"Subject\", \"Body\", \"Attachment1\", "
    "\"Attachment2\", or \"Attachment3\".]*/";

char const kHelpSendMessage[] =
    "\r/*"
    "\rTo = The Email Address for the Receipient of the Email."
    "\rSubject = The Subject for the Email."
    "\rBody = The Content of the Email."
    "\rAttachment[1,2,3] = The Attachments for the Email. [Specify either the Full Path and File Name, or a "
    "Container Field.]"
    "\r*/";

char const kHelpShowMessageDialog[] =
    "\r/*"
    "\rAddresses = The Default Receipient Email Address[es] for the Dialog. [To present the user with a list to "
    "choose from, specify more than one separated by a return or paragraph mark.]"
    "\rSubject = The Default Subject for the Dialog."
    "\rBody = The Default Content of the Dialog."
    "\rAttachment[1,2,3] = The Default Attachments for the Dialog. [Specify either the Full Path and File Name, or "
    "a Container Field.]"
    "\rMergeFields = A Return- or Paragraph Mark-separated list of Merge Fields the user can Insert from the "
    "Contextual Menu."
    "\rContainers = A Return- or Paragrah Mark-separated list of Containers the user can specify as the source for "
    "Attachments."
    "\rSendEmail = If True, the dialog will actually Send the Message when the user presses \"Send\".  If False, the "
    "Dialog will simply close, allowing you to manipulate the data before sending. [Default is True.]"
    "\r*/";

char const kHelpConfigure[] =
    "\r/*"
    "\rCalling this function with no parameters will show the Configuration Dialog."
    "\rOption = Specify the name of a Tab in the Configuration Dialog to show it opened to that Tab."
    "\r         Specify \"Get\" with the PrefName parameter to get a preference value. [If not found, and PrefValue "
    "is defined, PrefValue will be returned.]"
    "\r         Specify \"Set\" with the PrefName and PrefValue parameters to set a preference value."
    "\rPrefName = The Name of the Preference to Get or Set."
    "\rPrefValue = The Value of the Preference to Set."
    "\r*/";

struct stcFunctionRow {
  fmx::int16 m_shtId;
  char const* m_strName;
  char const* m_strPrototype;
  fmx::int16 m_shtMinArgs;
  fmx::int16 m_shtMaxArgs;  // -1: no upper bound
  fmx::ExtPluginType m_fnCallback;
  char const* m_strHelp;
};

const fmx::int16 kVersionID = 1000;
const fmx::int16 kConfigureID = 1002;

// In registration order; the ids are what the host hands back to the callbacks.
const stcFunctionRow kFunctions[] = {
    {10, "GetDialogValue", "GetDialogValue( Which )", 1, 1, PluginFunctionCallback, kHelpGetDialogValue},
    {20, "SendMessage", "SendMessage( To ; Subject {; Body {; Attachment1 {; Attachment2 {; Attachment3 }}}} )", 1,
     -1, PluginFunctionCallback, kHelpSendMessage},
    {30, "ShowMessageDialog",
     "ShowMessageDialog{( Addresses {; Subject {; Body {; Attachment1 {; Attachment2 {; Attachment3 {; MergeFields "
     "{; Containers {; SendEmail }}}}}}}} )}",
     0, -1, PluginFunctionCallback, kHelpShowMessageDialog},
    {kVersionID, "Version", "Version", 0, -1, VersionCallback, ""},
    {1003, "VersionAutoUpdate", "VersionAutoUpdate", 0, -1, VersionCallback, ""},
    {kConfigureID, "Configure", "Configure{( Option {; PrefName {; PrefValue }} )}", 0, -1, ConfigureCallback,
     kHelpConfigure},
};

fmx::QuadChar PluginID() {
  return fmx::QuadChar(g_strPluginID[0], g_strPluginID[1], g_strPluginID[2], g_strPluginID[3]);
}

void SetHostText(fmx::Text& text, UniString const& value) {
  text.AssignUnicodeWithLength(value.GetBytes(), fmx::uint32(value.Length()));
}

}  // namespace

int16_t Internal_RegisterFunctions() {
  clsFuncDebug dbg(UniString("Internal Register Functions"));
  bool const addHelp = g_udtPrefs.GetBooleanPref(UniString("AddHelp"), true);
  if (addHelp) DebugOutput(kDebugFull, UniString("Adding Help to Functions"));

  DebugOutput(kDebugInfo, UniString("Adding File Functions"));
  ChooseFileFuncs(0);
  int16_t const fileCode = int16_t(RegisterFileFuncs(addHelp, true));
  DebugOutput(kDebugInfo, UniString("Adding Plug-in Functions"));
  if (fileCode != 0) return fileCode;

  UniString const prefix = UniString(g_strProductName) + UniString("_");
  for (stcFunctionRow const& row : kFunctions) {
    DebugOutput(kDebugInfo, UniString("Adding ") + UniString(row.m_strName) + UniString(" Function"));
    UniString prototype = prefix + UniString(row.m_strPrototype);
    if (addHelp) prototype += UniString(row.m_strHelp);
    fmx::Text name;
    fmx::Text hostPrototype;
    SetHostText(name, prefix + UniString(row.m_strName));
    SetHostText(hostPrototype, prototype);
    fmx::errcode const code =
        fmx::ExprEnv::RegisterExternalFunction(PluginID(), row.m_shtId, name, hostPrototype, row.m_shtMinArgs,
                                               row.m_shtMaxArgs, kFunctionFlags, row.m_fnCallback);
    if (code != 0) return code;
  }
  return 0;
}

namespace {

bool KeptForTheUser(fmx::int16 id) { return id == kVersionID || id == kConfigureID; }

void Unregister(bool keepConfigure) {
  DebugOutput(kDebugInfo, UniString("Removing File Functions"));
  UnregisterFileFuncs();
  DebugOutput(kDebugInfo, UniString("Removing Plug-in Functions"));
  for (stcFunctionRow const& row : kFunctions) {
    if (keepConfigure && KeptForTheUser(row.m_shtId)) continue;
    fmx::ExprEnv::UnRegisterExternalFunction(PluginID(), row.m_shtId);
  }
}

}  // namespace

void Internal_UnregisterFunctions() {
  clsFuncDebug dbg(UniString("Internal Unregister Functions"));
  Unregister(false);
}

void Internal_UnregisterFunctionsButConfigure() {
  clsFuncDebug dbg(UniString("Internal Unregister Functions"));
  Unregister(true);
}

void Internal_FollowRegistrationSettings(bool addHelpBefore, bool useNewBefore) {
  bool const addHelpNow = g_udtPrefs.GetBooleanPref(UniString("AddHelp"), true);
  bool const useNewNow = g_udtPrefs.GetBooleanPref(UniString("UseNewFunctions"), true);
  if (useNewBefore && !useNewNow) {
    Internal_UnregisterFunctionsButConfigure();
  } else if (useNewNow && (!useNewBefore || addHelpBefore != addHelpNow)) {
    // Afresh: Version and Configure may still be registered from before.
    Internal_UnregisterFunctions();
    Internal_RegisterFunctions();
  }
}
