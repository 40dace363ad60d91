// ConfigureWorkers: DoVersion and DoConfigure, the workers behind Version, VersionAutoUpdate and
// Configure. Every failure is the reply text, which the callbacks return as the result. While a
// SendMessage or ShowMessageDialog call runs, a SET and the dialog are refused; a GET answers.
#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/MacOSGlue.h"
#include "core/clsDateTime.h"
#include "dialogs/MessageDialog.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/ConfigureFunctions.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/FunctionRegistration.h"
#include "plugin/frame/PluginIdentity.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// The entry's text form, or an empty text when the collection has no such entry.
UniString EntryText(clsMultiVar* parameters, char const* name, bool* present = nullptr) {
  clsMultiVar::iterator it;
  bool const found = parameters && parameters->GetVar(U(name), it);
  if (present) *present = found;
  return found ? it->GetValue_AsString() : UniString();
}

UniString VersionText() { return U(g_strProductName) + U(" v.") + U(g_strProductVersion); }

// "1.0103": the major number, then minor and patch as two digits each.
UniString VersionNumberText() {
  auto twoDigits = [](char const* number) { return (U("00") + U(number)).Right(2); };
  return U("1") + U(".") + twoDigits("1") + twoDigits("3");
}

UniString Quoted(UniString const& text) { return U("\"") + text + U("\""); }

void DestroyConfigDialog() {
  delete g_udtNewCfgDlg;
  g_udtNewCfgDlg = nullptr;
}

char const* const kLevelNames[] = {"None", "Error", "Warning", "Result", "Info", "Full"};

// Sets the debug level from a word; answers the reply or an error text in *error.
UniString SetDebugLevel(UniString const& prefValue, clsDateTime const& start, UniString* error) {
  UniString const word = prefValue.Trim().UpperCase();
  int32_t const previous = g_intDebugLevel;
  if (word == U("NONE") || word == U("OFF")) {
    UniString const reply = U("Debug Level Set to ") + Quoted(U("None"));
    if (previous == kDebugNone) return reply;
    DebugOutput(kDebugError, U("File DateTime Stamp: ") + UniString(start.GetAsString()));
    DebugOutput(kDebugError, U("Setting Debug Level to ") + Quoted(U("None")));
    UniString const answer = reply + U("; File Location=") + g_ustrDebugLogFileName;
    g_intDebugLevel = kDebugNone;
    g_udtPrefs.SavePrefs();
    return answer;
  }

  char const* const words[] = {"ERROR", "WARNING", "RESULT", "INFO", "FULL"};
  int32_t level = -1;
  for (int32_t i = 0; i < 5; ++i)
    if (word == U(words[i])) level = i + 1;
  UniString const title = word.TitleCase();
  if (level < 0) {
    *error = U("ERROR: Configure: Could not Set Preference: Unknown Debug Level: ") + title;
    return UniString();
  }
  g_intDebugLevel = level;

  // Lines kept in memory while logging was off reach the file now.
  if (previous == kDebugNone && g_bolDebugInitialized && g_ulstDebugBackLog) {
    UniStringList const backLog = *g_ulstDebugBackLog;
    DebugOutput(kDebugError, U("Begin : Debug Back Log Entries"), true);
    for (UniString const& line : backLog) DebugOutput(kDebugError, line, true);
    DebugOutput(kDebugError, U("End : Debug Back Log Entries"), true);
  }
  DebugOutput(kDebugError, U("Setting Debug Level to ") + Quoted(title));
  DebugOutput(kDebugError, U("*** ") + VersionText());
  DebugOutput(kDebugError, U("*** ") + UniString(GetMacOSVersion(nullptr, nullptr, nullptr)));
  DebugOutput(kDebugError, U("*** FileMaker Version: ") + g_ustrFMVersionStr);
  DebugOutput(kDebugError, U("*** File DateTime Stamp: ") + UniString(start.GetAsString()));
  UniString const reply = U("Debug Level Set to ") + Quoted(title) + U("; File Location=") + g_ustrDebugLogFileName;
  g_udtPrefs.SavePrefs();
  return reply;
}

// SET of one preference. A name the preference file cannot hold would break its next load, and
// a value with line ends only survives as a list.
clsSingleVar SetPreference(UniString const& name, UniString const& value, UniString* error) {
  clsSingleVar reply;
  if (!clsPrefs::IsStorableName(name)) {
    *error = U("ERROR: Configure: Could not Set Preference: Invalid Preference Name: ") + name;
    return reply;
  }
  bool const lines = value.Pos((unsigned short)13) > 0 || value.Pos((unsigned short)10) > 0;
  bool const stored = lines ? g_udtPrefs.SetListPref(name, value) : g_udtPrefs.SetStringPref(name, value);
  if (!stored) {
    *error = U("ERROR: Configure: Could not Set Preference: ") + g_udtPrefs.ErrorString();
    return reply;
  }
  reply.SetStringValue(U("Preference Set."));
  g_udtPrefs.SavePrefs();
  return reply;
}

clsSingleVar GetPreference(UniString const& name, UniString const& value, bool valuePresent, UniString* error) {
  clsSingleVar reply;
  if (g_udtPrefs.PrefExists(name)) return g_udtPrefs.GetPref(name, clsSingleVar());
  if (valuePresent) {
    reply.SetStringValue(value.UpperCase() == U("<BLANK>") ? UniString() : value);
    return reply;
  }
  *error = U("ERROR: Configure: Could not Get Preference: Unknown Preference Name: ") + name;
  return reply;
}

// The configuration dialog, then the registration its changes call for.
UniString ShowConfigDialog(UniString const& option, UniString* error) {
  if (g_fudtFMProduct >= 3) {
    *error = U("ERROR: Configure: You cannot open the Configuration Dialog with this FileMaker Product (Server, Web "
               "Publishing Engine).");
    return UniString();
  }
  // A call made from inside the dialog's modal loop would delete the dialog that is running.
  if (clsNewCfgDlg::IsAnyShown()) {
    *error = U("ERROR: Configure: Could not Show Configuration Dialog: The Configuration Dialog is already shown.");
    return UniString();
  }
  // Its OK saves the settings that a running send reads.
  if (IsMessageCallRunning()) {
    *error = U("ERROR: Configure: Could not Show Configuration Dialog: ") + MessageCallRunningText();
    return UniString();
  }
  DestroyConfigDialog();
  bool const addHelpBefore = g_udtPrefs.GetBooleanPref(U("AddHelp"), true);
  bool const useNewBefore = g_udtPrefs.GetBooleanPref(U("UseNewFunctions"), true);

  DebugOutput(kDebugInfo, U("Creating Config Dialog"));
  try {
    g_udtNewCfgDlg = new clsNewCfgDlg();
  } catch (...) {
    g_udtNewCfgDlg = nullptr;
  }
  if (!g_udtNewCfgDlg) {
    UniString const text = U("Could not Show Configuration Dialog: Could not allocate memory.");
    MessageDialog(text, kMsgDlgOK, UniString(), nullptr, UniString(), 0);
    *error = U("ERROR: Configure: ") + text;
    return UniString();
  }
  UniString const tab = g_udtNewCfgDlg->Show(option);
  UniString reply = U("Configuration Dialog Shown.");
  if (tab.IsNotEmpty()) reply += U(" (Initial Tab: ") + tab + U(")");

  Internal_FollowRegistrationSettings(addHelpBefore, useNewBefore);
  return reply;
}

}  // namespace

clsSingleVar DoVersion(clsMultiVar* parameters, fmx::ExprEnv const& environment) {
  DebugOutput(kDebugFull, U("Starting DoVersion Function"));
  clsSingleVar reply;
  reply.SetStringValue(VersionText());
  UniString const option = EntryText(parameters, "var0").Trim().UpperCase();

  if (option == U("ABOUT") || option == U("CONFIGURE")) {
    if (parameters) parameters->AddStringVar(U("Option"), option == U("ABOUT") ? U("ABOUT") : UniString(), true);
    return DoConfigure(parameters, environment);
  }
  if (option == U("AUTO UPDATE") || option == U("AUTOUPDATE")) {
    reply.SetStringValue(VersionNumberText());
    return reply;
  }
  if (option == U("SET") || option == U("GET")) {
    char const* const renames[][2] = {{"var0", "Option"}, {"var1", "PrefName"}, {"var2", "PrefValue"}};
    clsMultiVar::iterator it;
    for (auto const& rename : renames)
      if (parameters && parameters->GetVar(U(rename[0]), it)) parameters->RenameVar(U(rename[0]), U(rename[1]), false);
    return DoConfigure(parameters, environment);
  }
  return reply;
}

clsSingleVar DoConfigure(clsMultiVar* parameters, fmx::ExprEnv const&) {
  clsFuncDebug dbg(U("DoConfigure"));
  UniString const option = EntryText(parameters, "Option").Trim();
  UniString const optionWord = option.UpperCase();
  UniString const prefName = EntryText(parameters, "PrefName").Trim();
  UniString const prefNameWord = prefName.UpperCase();
  bool valuePresent = false;
  UniString const prefValue = EntryText(parameters, "PrefValue", &valuePresent);
  clsDateTime start;
  start.SetToNow();

  bool const debugLevel = prefNameWord == U("DEBUGLEVEL") || prefNameWord == U("DEBUG LEVEL");
  UniString error;
  clsSingleVar reply;
  if (optionWord == U("SET")) {
    if (IsMessageCallRunning()) {
      // A send running meanwhile reads the settings, and writes the debug log, as it goes.
      error = U("ERROR: Configure: Could not Set Preference: ") + MessageCallRunningText();
    } else if (debugLevel) {
      reply.SetStringValue(SetDebugLevel(prefValue, start, &error));
    } else {
      reply = SetPreference(prefName, prefValue, &error);
    }
  } else if (optionWord == U("GET")) {
    if (debugLevel) {
      UniString text = U("Debug Level Set to ");
      if (g_intDebugLevel >= kDebugNone && g_intDebugLevel <= kDebugFull)
        text += Quoted(U(kLevelNames[g_intDebugLevel]));
      reply.SetStringValue(text);
    } else {
      reply = GetPreference(prefName, prefValue, valuePresent, &error);
    }
  } else {
    reply.SetStringValue(ShowConfigDialog(option, &error));
  }

  if (error.IsNotEmpty()) reply.SetStringValue(error);
  // A GET or SET made while a dialog runs leaves that dialog to the call that shows it.
  if (!clsNewCfgDlg::IsAnyShown()) DestroyConfigDialog();
  return reply;
}
