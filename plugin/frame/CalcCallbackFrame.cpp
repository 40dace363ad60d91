// CalcCallbackFrame: the shared frame of the calculation-function callbacks.
#include "plugin/frame/CalcCallbackFrame.h"

#include "core/DebugLogFile.h"
#include "core/clsParameterExtractor.h"
#include "dialogs/MessageDialog.h"
#include "plugin/FunctionResult.h"
#include "plugin/PluginGlobals.h"
#include "plugin/ResFileGuard.h"
#include "plugin/frame/PluginIdentity.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Set by the running callback's steps; a callback the steps call in turn (from a modal dialog's
// loop) has its own and leaves the outer one as it found it.
bool s_bolCensorResult = false;

struct stcCensorScope {
  stcCensorScope() : m_bolOuter(s_bolCensorResult) { s_bolCensorResult = false; }
  ~stcCensorScope() { s_bolCensorResult = m_bolOuter; }
  stcCensorScope(stcCensorScope const&) = delete;
  stcCensorScope& operator=(stcCensorScope const&) = delete;
  bool m_bolOuter;
};

}  // namespace

void CensorCalcCallbackResult() { s_bolCensorResult = true; }

fmx::errcode RunCalcCallback(char const* callbackName, CalcCallbackSteps steps, enumDebugLevel errorLevel,
                             short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result) {
  clsFuncDebug dbg(U(callbackName));
  UniString error;
  UniString functionName = U(callbackName) + U(" main try/catch");
  fmx::LocaleAutoPtr locale(fmx::Locale::kType_Current);
  stcCensorScope const censor;
  try {
    clsResFileGuard resFile(g_shtResourceID);
    clsSingleVar resultValue;
    if (!CreateParameterExtractor()) {
      error = U("ERROR: PluginFunctionCallback: Could not allocate memory for Parameter Extractor!");
      DebugOutput(kDebugError, error);
    } else {
      steps(functionId, environment, parameters, &resultValue, &error, &functionName, dbg);
    }
    if (error.IsNotEmpty()) resultValue.SetStringValue(error);
    if (parameters.Size() > 0) *locale = parameters.At(0).GetLocale();
    Function_SetResult(&resultValue, result, *locale);
    if (error.IsNotEmpty()) {
      dbg.Output(errorLevel, error);
    } else if (s_bolCensorResult && resultValue.GetType() != kVarTypeList) {
      dbg.Output(kDebugResult, U(kDebugCensoredText));
    } else if (resultValue.GetType() == kVarTypeString) {
      // A result can run to megabytes (a server's whole reply in an error text): the log line
      // gets its start, not another copy of all of it.
      UniString const& text = resultValue.StringValueRef();
      dbg.Output(kDebugResult, text.Length() <= 4096 ? text : text.SubString(1, 4096) + U("..."));
    } else if (resultValue.GetType() != kVarTypeList) {
      dbg.Output(kDebugResult, resultValue.GetValue_AsString());
    }
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
