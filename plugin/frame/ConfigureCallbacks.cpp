// ConfigureCallbacks: the host callbacks of Version, VersionAutoUpdate and Configure, each its own
// steps in the frame every calculation-function callback shares (plugin/frame/CalcCallbackFrame.h):
// the resource file, the parameter extractor, the result and the crash log. The value of a
// password preference set or read through them, and a GET's answer, are censored in the traces.
#include "core/DebugLog.h"
#include "core/clsParameterExtractor.h"
#include "plugin/frame/CalcCallbackFrame.h"
#include "plugin/frame/ConfigureFunctions.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Reads the parameter at position as text; false when the host value cannot be read so. A secret
// is read without its text in the trace.
bool ReadText(fmx::DataVect const& parameters, fmx::uint32 position, clsSingleVar* value, bool secret = false) {
  return g_udtPE->Extract(parameters.At(position), value, kPEText, secret);
}

// A preference whose value is a password, by the store's rule: "password" in its name, in any
// letter case. Its value and a GET's answer never reach the debug log.
bool NamesPassword(UniString const& name) { return name.UpperCase().Pos(U("PASSWORD")) > 0; }

bool IsGet(UniString const& option) { return option.Trim().UpperCase() == U("GET"); }

bool IsSetOrGet(UniString const& option) { return IsGet(option) || option.Trim().UpperCase() == U("SET"); }

// The answer of a GET of a password is kept out of the result trace; an error stays in it.
void CensorPasswordAnswer(clsSingleVar const& resultValue) {
  if (resultValue.GetValue_AsString().Pos(U("ERROR:")) != 1) CensorCalcCallbackResult();
}

void ConfigureSteps(short, fmx::ExprEnv const& environment, fmx::DataVect const& parameters, clsSingleVar* resultValue,
                    UniString* error, UniString* functionName, clsFuncDebug& tracer) {
  *functionName = U("Configure");
  tracer.Output(kDebugInfo, *functionName);
  char const* const names[] = {"Option", "PrefName", "PrefValue"};
  clsMultiVar collection;
  UniString texts[2];  // Option and PrefName
  for (fmx::uint32 position = 0; position < 3; ++position) {
    if (parameters.Size() <= position || parameters.At(position).IsEmpty()) continue;
    clsSingleVar value;
    if (!ReadText(parameters, position, &value, position == 2 && NamesPassword(texts[1]))) {
      *error = U("ERROR: Configure: The '") + U(names[position]) + U("' parameter must be text.");
      return;
    }
    if (position < 2) texts[position] = value.GetValue_AsString();
    value.SetName(U(names[position]));
    collection.AddVar(&value, true);
  }
  *resultValue = DoConfigure(&collection, environment);
  if (IsGet(texts[0]) && NamesPassword(texts[1])) CensorPasswordAnswer(*resultValue);
}

void VersionSteps(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                  clsSingleVar* resultValue, UniString*, UniString*, clsFuncDebug&) {
  clsMultiVar collection;
  if (functionId == 1003) {
    collection.AddStringVar(U("var0"), U("Auto Update"), true);
    *resultValue = DoVersion(&collection, environment);
    UniString const text = resultValue->GetValue_AsString();
    if (text.Pos(U("ERROR:")) == 1) return;
    resultValue->SetStringValue(U("0") + text.StrSub(U("."), UniString()) + U("00"));
    return;
  }
  // SET and GET forward var1 and var2 to Configure as PrefName and PrefValue.
  UniString texts[2];
  for (fmx::uint32 position = 0; position < parameters.Size(); ++position) {
    clsSingleVar value;
    bool const secret = position == 2 && IsSetOrGet(texts[0]) && NamesPassword(texts[1]);
    if (!ReadText(parameters, position, &value, secret)) continue;
    if (position < 2) texts[position] = value.GetValue_AsString();
    value.SetName(U("var") + UniString(uint32_t(position)));
    collection.AddVar(&value, true);
  }
  *resultValue = DoVersion(&collection, environment);
  if (IsGet(texts[0]) && NamesPassword(texts[1])) CensorPasswordAnswer(*resultValue);
}

}  // namespace

fmx::errcode ConfigureCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                               fmx::Data& result) {
  return RunCalcCallback("ConfigureCallback", ConfigureSteps, kDebugResult, functionId, environment, parameters, result);
}

fmx::errcode VersionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result) {
  return RunCalcCallback("VersionCallback", VersionSteps, kDebugResult, functionId, environment, parameters, result);
}
