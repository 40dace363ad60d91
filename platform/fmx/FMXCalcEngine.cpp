// FMXCalcEngine: the calculation-engine calls and the one installed host they forward to.
// The host pointer is atomic so that a plug-in thread reading it never races its installation.
#include "platform/fmx/FMXCalcEngine.h"

#include <atomic>

#include "platform/fmx/FMXHostServices.h"

namespace fmx {

namespace {

std::atomic<HostServices*> g_udtHostServices{nullptr};

}  // namespace

HostServices* InstallHostServices(HostServices* host) { return g_udtHostServices.exchange(host); }

HostServices* GetHostServices() { return g_udtHostServices.load(); }

errcode ExprEnv::Evaluate(Text const& expression, Data& result) const {
  HostServices* host = GetHostServices();
  return host ? host->Evaluate(*this, expression, result) : errcode(kErrNoHost);
}

errcode ExprEnv::ExecuteSQL(Text const& expression, Data& result, uint16 colSep, uint16 rowSep) const {
  HostServices* host = GetHostServices();
  return host ? host->ExecuteSQL(*this, expression, result, colSep, rowSep) : errcode(kErrNoHost);
}

errcode ExprEnv::RegisterExternalFunction(QuadChar const& pluginId, int16 functionId, Text const& functionName,
                                          Text const& functionPrototype, int16 minArgs, int16 maxArgs,
                                          uint32 compatibleOnFlags, ExtPluginType funcPtr) {
  HostServices* host = GetHostServices();
  if (!host) return kErrNoHost;
  if (!funcPtr) return kErrBadArgument;
  return host->RegisterExternalFunction(pluginId, functionId, functionName, functionPrototype, minArgs, maxArgs,
                                        compatibleOnFlags, funcPtr);
}

errcode ExprEnv::UnRegisterExternalFunction(QuadChar const& pluginId, int16 functionId) {
  HostServices* host = GetHostServices();
  return host ? host->UnRegisterExternalFunction(pluginId, functionId) : errcode(kErrNoHost);
}

}  // namespace fmx
