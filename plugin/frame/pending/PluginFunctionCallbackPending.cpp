// PluginFunctionCallbackPending: stands in for the e-mail functions' callback while this library
// has no unit defining it (plugin/frame/CMakeLists.txt adds this file only then): every call is
// answered as a function the callback does not serve.
#include "plugin/FunctionResult.h"
#include "plugin/frame/EmailFunctions.h"

fmx::errcode PluginFunctionCallback(short, fmx::ExprEnv const&, fmx::DataVect const& parameters, fmx::Data& result) {
  clsSingleVar value;
  value.SetStringValue(UniString("ERROR: PluginFunctionCallback: Unknown Plug-in Function."));
  fmx::Locale locale(fmx::Locale::kType_Current);
  if (parameters.Size() > 0) locale = parameters.At(0).GetLocale();
  Function_SetResult(&value, result, locale);
  return 0;
}
