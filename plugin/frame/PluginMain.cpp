// PluginMain: the entry point and the lifecycle handlers behind its call codes.
#include "plugin/frame/PluginMain.h"

#include <algorithm>
#include <climits>

#include "core/Common.h"
#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "dialogs/MessageDialog.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "plugin/PluginGlobals.h"
#include "plugin/ResFileGuard.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/FunctionRegistration.h"
#include "plugin/frame/PluginExternal.h"
#include "plugin/frame/PluginIdentity.h"
#include "plugin/frame/clsFMPScripts.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

UniString U(char const* text) { return UniString(text); }

const int32_t kInitLoaded = 51;
const int32_t kInitWrongAPIVersion = -1;
const int32_t kInitRefused = -2;

char const kDialogAlreadyShown[] = "Error Showing Configuration Dialog: The Configuration Dialog is already shown.";

void DestroyConfigDialog() {
  delete g_udtNewCfgDlg;
  g_udtNewCfgDlg = nullptr;
}

}  // namespace

extern "C" void FMExternCallProc(FMX_ExternCallPtr block) {
  UniString stepName = U("FMExternCallProc main try/__except");
  if (!block) return;
  try {
    clsResFileGuard resFile(block->resourceID);
    gFMX_ExternCallPtr = block;
    g_shtResourceID = block->resourceID;
    switch (block->whichCall) {
      case kFMXT_Init: {
        stepName = U("kFMXT_Init");
        InitDebug();
        int32_t const answer = PluginInit(block->extnVersion, block->parm1,
                                          reinterpret_cast<uint16_t const*>(block->parm2));
        block->result = answer;
        if (answer != kInitLoaded) PluginShutdown();
        break;
      }
      case kFMXT_Idle:
        stepName = U("kFMXT_Idle");
        PluginIdle(block->parm1);
        break;
      case kFMXT_External:
        stepName = U("kFMXT_External");
        PluginExternal(int32_t(block->parm2), reinterpret_cast<char**>(block->parm3),
                       reinterpret_cast<char**>(block->result));
        break;
      case kFMXT_Shutdown:
        stepName = U("kFMXT_Shutdown");
        PluginShutdown();
        break;
      case kFMXT_DoAppPreferences:
        stepName = U("kFMXT_DoAppPreferences");
        PluginAppPrefs();
        break;
      case kFMXT_GetString: {
        stepName = U("kFMXT_GetString");
        InitDebug();
        FMX_IntPtr const units = std::max<FMX_IntPtr>(std::min<FMX_IntPtr>(block->parm3, INT32_MAX), INT32_MIN);
        PluginGetString(block->extnVersion, uint32_t(block->parm1), uint32_t(block->parm2), int32_t(units),
                        reinterpret_cast<uint16_t*>(block->result));
        break;
      }
      default:
        break;
    }
  } catch (...) {
    DoCrashLog(stepName);
  }
}

int32_t PluginInit(int16_t apiVersion, uint8_t appType, uint16_t const* versionText) {
  clsFuncDebug dbg(U("PluginInit"));
  int32_t answer = kInitRefused;
  if (apiVersion < 50 || apiVersion > 255) {
    dbg.Output(kDebugError, U("Cannot load: Wrong API version."));
    answer = kInitWrongAPIVersion;
  } else if (appType >= 3) {
    dbg.Output(kDebugError,
               U("Cannot load: Wrong FM Application. (Client-side plug-in attempting to be loaded on server.)"));
  } else {
    try {
      dbg.Output(kDebugInfo, U("Init Globals"));
      InitGlobals(apiVersion, appType, versionText ? UniString(versionText, -1) : UniString());
      dbg.Output(kDebugInfo, U("Startup Common"));
      StartupCommon();
      dbg.Output(kDebugInfo, U("Load Prefs"));
      g_udtPrefs.LoadPrefs();
      dbg.Output(kDebugInfo, U("Internal Plugin Init"));
      Internal_PluginInit();
      dbg.Output(kDebugInfo, U("Registering Functions"));
      answer = Internal_RegisterFunctions() == 0 ? kInitLoaded : kInitRefused;
    } catch (...) {
      answer = kInitRefused;
    }
  }
  dbg.Output(kDebugResult, UniString(answer));
  return answer;
}

void PluginShutdown() {
  clsFuncDebug dbg(U("PluginShutdown"));
  dbg.Output(kDebugInfo, U("Unregistering Functions"));
  Internal_UnregisterFunctions();
  dbg.Output(kDebugInfo, U("Internal Plugin Shutdown"));
  Internal_PluginShutdown();
  dbg.Output(kDebugInfo, U("Shutdown Common"));
  ShutdownCommon();
  dbg.Output(kDebugInfo, U("Shutdown Globals"));
  ShutdownGlobals();
}

void Internal_PluginShutdown() {
  clsFuncDebug dbg(U("Internal Plugin Shutdown"));
  delete m_udtPluginVars;
  m_udtPluginVars = nullptr;
  CleanUpSQLQueue();
}

void PluginIdle(uint8_t level) { Internal_PluginIdle(level); }

void Internal_PluginIdle(uint8_t level) {
  fmx::ExprEnvAutoPtr environment;
  if (level > 3) return;
  ProcessFMPScripts(true, kScriptPriorityNormal, 0);
  if (gFMX_ExternCallPtr && gFMX_ExternCallPtr->cCurrentEnv &&
      gFMX_ExternCallPtr->cCurrentEnv(environment.get()) == 0)
    ProcessSQLQueue(*environment);
}

void PluginAppPrefs() {
  clsFuncDebug dbg(U("PluginAppPrefs"));
  // The host may ask again from inside the dialog's own modal loop: that dialog stays as it is.
  if (clsNewCfgDlg::IsAnyShown()) {
    dbg.Output(kDebugError, U(kDialogAlreadyShown));
    if (g_fudtFMProduct < 3) MessageDialog(U(kDialogAlreadyShown), kMsgDlgOK, UniString(), nullptr, UniString(), 0);
    return;
  }
  // Nor while a message is sent or composed: the dialog would reload and save its settings.
  if (IsMessageCallRunning()) {
    UniString const refused = U("Error Showing Configuration Dialog: ") + MessageCallRunningText();
    dbg.Output(kDebugError, refused);
    if (g_fudtFMProduct < 3) MessageDialog(refused, kMsgDlgOK, UniString(), nullptr, UniString(), 0);
    return;
  }
  if (g_fudtFMProduct < 3) {
    DestroyConfigDialog();
    dbg.Output(kDebugInfo, U("Load Prefs"));
    g_udtPrefs.LoadPrefs();
    bool const addHelpBefore = g_udtPrefs.GetBooleanPref(U("AddHelp"), true);
    bool const useNewBefore = g_udtPrefs.GetBooleanPref(U("UseNewFunctions"), true);
    dbg.Output(kDebugInfo, U("Creating Config Dialog"));
    try {
      g_udtNewCfgDlg = new clsNewCfgDlg();
    } catch (...) {
      g_udtNewCfgDlg = nullptr;
    }
    if (!g_udtNewCfgDlg) {
      MessageDialog(U("Error Showing Configuration Dialog: Could not allocate memory."), kMsgDlgOK, UniString(),
                    nullptr, UniString(), 0);
    } else {
      dbg.Output(kDebugInfo, U("Showing Config Dialog"));
      g_udtNewCfgDlg->Show(UniString());
      if (g_udtPrefs.GetBooleanPref(U("UseNewFunctions"), true) != useNewBefore) {
        Internal_FollowRegistrationSettings(addHelpBefore, useNewBefore);
      } else if (g_udtPrefs.GetBooleanPref(U("AddHelp"), true) != addHelpBefore) {
        dbg.Output(kDebugInfo, U("User changed the 'Add Help' setting; unregistering and reregistering functions"));
        Internal_UnregisterFunctions();
        Internal_RegisterFunctions();
      }
    }
  }
  DestroyConfigDialog();
}

void PluginGetString(int16_t apiVersion, uint32_t id, uint32_t, int32_t bufferUnits, uint16_t* buffer) {
  clsFuncDebug dbg(U("PluginGetString"));
  if (g_fshtFMAPIVersion != apiVersion) g_fshtFMAPIVersion = apiVersion;
  UniString text;
  switch (id) {
    case kFMXT_NameStr:
      dbg.Output(kDebugFull, U("Name String"));
      text = U(g_strProductName);
      break;
    case kFMXT_AppConfigStr:
      dbg.Output(kDebugFull, U("App Config String"));
      text = U(g_strProductName) + U(" ") + U(g_strProductVersion) + U(" - ") + U(g_strProductDescription);
      break;
    case kFMXT_OptionsStr:
      dbg.Output(kDebugFull, U("Options String"));
      text = U(g_strPluginID) + U(g_strPluginOptionFlags);
      break;
    default:
      dbg.Output(kDebugFull, U("Unknown ID: ") + UniString(id));
      return;
  }
  // The buffer's size bounds the copy; a host that gives none gets the whole text.
  if (!buffer || bufferUnits < 0) return;
  int32_t count = text.Length();
  if (bufferUnits > 0) count = std::min(count, bufferUnits - 1);
  for (int32_t i = 0; i < count; ++i) buffer[i] = text[i + 1];
  buffer[count] = 0;
}
