// ConfigureCallbacks: the host callbacks of Version, VersionAutoUpdate and Configure. Both share
// one frame: the plug-in's resource file made current, the parameter extractor, the worker, the
// result, and a catch-all that writes a crash log and answers its path.
#include <exception>

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/clsParameterExtractor.h"
#include "dialogs/MessageDialog.h"
#include "plugin/FunctionResult.h"
#include "plugin/PluginGlobals.h"
#include "plugin/ResFileGuard.h"
#include "plugin/frame/ConfigureFunctions.h"
#include "plugin/frame/PluginIdentity.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Reads the parameter at position as text; false when the host value cannot be read so.
bool ReadText(fmx::DataVect const& parameters, fmx::uint32 position, clsSingleVar* value) {
  return g_udtPE->Extract(parameters.At(position), value, kPEText);
}

// What one callback does between the extractor check and the result: fills the result value, or
// an error text, and may change the crash-log function name.
typedef void (*CallbackSteps)(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                              clsSingleVar* resultValue, UniString* error, UniString* functionName);

fmx::errcode RunCallback(char const* callbackName, CallbackSteps steps, short functionId,
                         fmx::ExprEnv const& environment, fmx::DataVect const& parameters, fmx::Data& result) {
  clsFuncDebug dbg(U(callbackName));
  UniString error;
  UniString functionName = U(callbackName) + U(" main try/catch");
  fmx::LocaleAutoPtr locale(fmx::Locale::kType_Current);
  try {
    clsResFileGuard resFile(g_shtResourceID);
    clsSingleVar resultValue;
    if (!CreateParameterExtractor()) {
      error = U("ERROR: PluginFunctionCallback: Could not allocate memory for Parameter Extractor!");
      DebugOutput(kDebugError, error);
    } else {
      steps(functionId, environment, parameters, &resultValue, &error, &functionName);
    }
    if (error.IsNotEmpty()) resultValue.SetStringValue(error);
    if (parameters.Size() > 0) *locale = parameters.At(0).GetLocale();
    Function_SetResult(&resultValue, result, *locale);
    if (resultValue.GetType() != kVarTypeList) dbg.Output(kDebugResult, resultValue.GetValue_AsString());
  } catch (...) {
    try {
      DoCrashLog(functionName);
      error = U("ERROR: ") + U(callbackName) + U(": Crash Log Generated: ") + g_ustrCrashLogFileName;
      fmx::TextAutoPtr text;
      text->AssignUnicodeWithLength(error.GetBytes(), fmx::uint32(error.Length()));
      result.SetAsText(*text, *locale, fmx::Data::kDTText);
    } catch (...) {
      if (g_fudtFMProduct <= 2) {
        MessageDialog(U(g_strProductName) + U(" caught an error in the ") + U(callbackName) +
                          U(" Function.\nA Crash Log was created:\n") + g_ustrCrashLogFileName,
                      kMsgDlgOK, UniString(), nullptr, UniString(), 0);
      }
    }
  }
  return 0;
}

void ConfigureSteps(short, fmx::ExprEnv const& environment, fmx::DataVect const& parameters, clsSingleVar* resultValue,
                    UniString* error, UniString* functionName) {
  *functionName = U("Configure");
  DebugOutput(kDebugInfo, *functionName);
  char const* const names[] = {"Option", "PrefName", "PrefValue"};
  clsMultiVar collection;
  for (fmx::uint32 position = 0; position < 3; ++position) {
    if (parameters.Size() <= position || parameters.At(position).IsEmpty()) continue;
    clsSingleVar value;
    if (!ReadText(parameters, position, &value)) {
      *error = U("ERROR: Configure: The '") + U(names[position]) + U("' parameter must be text.");
      return;
    }
    value.SetName(U(names[position]));
    collection.AddVar(&value, true);
  }
  *resultValue = DoConfigure(&collection, environment);
}

void VersionSteps(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                  clsSingleVar* resultValue, UniString*, UniString*) {
  clsMultiVar collection;
  if (functionId == 1003) {
    collection.AddStringVar(U("var0"), U("Auto Update"), true);
    *resultValue = DoVersion(&collection, environment);
    UniString const text = resultValue->GetValue_AsString();
    if (text.Pos(U("ERROR:")) == 1) return;
    resultValue->SetStringValue(U("0") + text.StrSub(U("."), UniString()) + U("00"));
    return;
  }
  for (fmx::uint32 position = 0; position < parameters.Size(); ++position) {
    clsSingleVar value;
    if (!ReadText(parameters, position, &value)) continue;
    value.SetName(U("var") + UniString(uint32_t(position)));
    collection.AddVar(&value, true);
  }
  *resultValue = DoVersion(&collection, environment);
}

}  // namespace

fmx::errcode ConfigureCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                               fmx::Data& result) {
  return RunCallback("ConfigureCallback", ConfigureSteps, functionId, environment, parameters, result);
}

fmx::errcode VersionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result) {
  return RunCallback("VersionCallback", VersionSteps, functionId, environment, parameters, result);
}
