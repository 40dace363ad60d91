// PluginGlobals: storage of the host globals, at their values before the host's Init call, and
// their start-up and shut-down.
#include "plugin/PluginGlobals.h"

#include "core/DebugLog.h"

FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;
int16_t g_shtResourceID = 0;
int16_t g_fshtFMAPIVersion = 0;
uint8_t g_fudtFMProduct = 0;
UniString g_ustrFMVersionStr;

void InitGlobals(int16_t apiVersion, uint8_t appType, UniString versionText) {
  clsFuncDebug dbg(UniString("InitGlobals"));
  g_fshtFMAPIVersion = apiVersion;
  g_fudtFMProduct = appType;
  g_ustrFMVersionStr = versionText;
  DebugOutput(kDebugError, UniString("FileMaker API Version: ") + UniString(int32_t(apiVersion)));
  DebugOutput(kDebugError, UniString("FileMaker Product: ") + UniString(int32_t(appType)));
  DebugOutput(kDebugError, UniString("FileMaker Version Str: ") + versionText);
}

void ShutdownGlobals() { clsFuncDebug dbg(UniString("ShutdownGlobals")); }
