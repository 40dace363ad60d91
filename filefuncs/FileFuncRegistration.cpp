// FileFuncRegistration: the mask of offered File_* functions and their registration with the
// host's calculation engine, walking the table in its order and stopping at the first refusal.
#include <cstdint>

#include "core/DebugLog.h"
#include "filefuncs/FileFuncDispatch.h"
#include "filefuncs/FileFuncTable.h"
#include "filefuncs/FileFuncs.h"
#include "filefuncs/FileFuncsInternal.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXText.h"

using namespace FileFuncsInternal;

uint32_t m_ulngFileFuncMask = 0;

namespace {

fmx::QuadChar PluginID() {
  return fmx::QuadChar(kFileFuncPluginID[0], kFileFuncPluginID[1], kFileFuncPluginID[2], kFileFuncPluginID[3]);
}

void AssignText(fmx::Text& text, UniString const& value) {
  text.AssignUnicodeWithLength(value.GetBytes(), fmx::uint32(value.Length()));
}

fmx::uint32 FlagsOf(enumFileFuncFlags flags, bool dialogFlag) {
  switch (flags) {
    case kFlagsNormal:
      return dialogFlag ? 0xFF01 : 0x0001;
    case kFlagsDialog:
      return dialogFlag ? 0xFF00 : 0x0000;
    default:
      return 0x0001;
  }
}

}  // namespace

void ChooseFileFuncs(uint32_t mask) { m_ulngFileFuncMask = mask; }

int32_t RegisterFileFuncs(bool addHelp, bool dialogFlag) {
  clsFuncDebug dbg(U("RegisterFileFuncs"));
  fmx::QuadChar const pluginId = PluginID();
  fmx::TextAutoPtr name;
  fmx::TextAutoPtr prototype;
  int32_t result = 0;
  UniString const prefix = U(kProductName) + U("_");
  for (stcFileFunc const& row : g_udtFileFuncs) {
    // A refusal ends the walk: no later row is tried, whatever its bit.
    if (result != 0 || (m_ulngFileFuncMask & row.bit) == 0) continue;
    dbg.Output(kDebugInfo, U("Adding ") + U(row.name) + U(" Function"));
    AssignText(*name, prefix + U(row.name));
    UniString text = prefix + U(row.prototype != nullptr ? row.prototype : row.name);
    if (addHelp) text += U(row.help);
    AssignText(*prototype, text);
    result = fmx::ExprEnv::RegisterExternalFunction(pluginId, row.id, *name, *prototype, row.minArgs, row.maxArgs,
                                                    FlagsOf(row.flags, dialogFlag), FileFuncCallback);
  }
  return result;
}

// For a host tool (velmora-host --file-functions): offers the File_* functions of the mask once
// the plug-in has started, which by itself offers none. Not called by the plug-in.
extern "C" __attribute__((visibility("default"))) int32_t VelmoraOfferFileFunctions(uint32_t mask) {
  ChooseFileFuncs(mask);
  return RegisterFileFuncs(true, true);
}

void UnregisterFileFuncs() {
  clsFuncDebug dbg(U("UnregisterFileFuncs"));
  fmx::QuadChar const pluginId = PluginID();
  for (stcFileFunc const& row : g_udtFileFuncs) fmx::ExprEnv::UnRegisterExternalFunction(pluginId, row.id);
}
