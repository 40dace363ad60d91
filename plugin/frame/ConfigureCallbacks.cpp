// ConfigureCallbacks: the host callbacks of Version, VersionAutoUpdate and Configure, each its own
// steps in the frame every calculation-function callback shares (plugin/frame/CalcCallbackFrame.h):
// the resource file, the parameter extractor, the result and the crash log.
#include "core/DebugLog.h"
#include "core/clsParameterExtractor.h"
#include "plugin/frame/CalcCallbackFrame.h"
#include "plugin/frame/ConfigureFunctions.h"

namespace {

UniString U(char const* text) { return UniString(text); }

// Reads the parameter at position as text; false when the host value cannot be read so.
bool ReadText(fmx::DataVect const& parameters, fmx::uint32 position, clsSingleVar* value) {
  return g_udtPE->Extract(parameters.At(position), value, kPEText);
}

void ConfigureSteps(short, fmx::ExprEnv const& environment, fmx::DataVect const& parameters, clsSingleVar* resultValue,
                    UniString* error, UniString* functionName, clsFuncDebug& tracer) {
  *functionName = U("Configure");
  tracer.Output(kDebugInfo, *functionName);
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
  return RunCalcCallback("ConfigureCallback", ConfigureSteps, kDebugResult, functionId, environment, parameters, result);
}

fmx::errcode VersionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                             fmx::Data& result) {
  return RunCalcCallback("VersionCallback", VersionSteps, kDebugResult, functionId, environment, parameters, result);
}
