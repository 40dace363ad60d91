// FMXHostServices: what a host provides behind the SDK. A host implements fmx::HostServices and
// installs it; the SDK's calculation-engine calls and the call block's callbacks forward to it.
// Interface: fmx::HostServices, fmx::InstallHostServices, fmx::GetHostServices.
// Relies on nothing but the SDK's value classes. With no host installed, every forwarded call
// fails with fmx::kErrNoHost (handle services do nothing and report that code as memory error).
#pragma once

#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXTypes.h"

namespace fmx {

class HostServices {
 public:
  virtual ~HostServices() = default;

  // Calculation engine.
  virtual errcode Evaluate(ExprEnv const& env, Text const& expression, Data& result) = 0;
  virtual errcode ExecuteSQL(ExprEnv const& env, Text const& expression, Data& result, uint16 colSep,
                             uint16 rowSep) = 0;
  virtual errcode RegisterExternalFunction(QuadChar const& pluginId, int16 functionId, Text const& name,
                                           Text const& prototype, int16 minArgs, int16 maxArgs, uint32 flags,
                                           ExtPluginType callback) = 0;
  virtual errcode UnRegisterExternalFunction(QuadChar const& pluginId, int16 functionId) = 0;

  // Call block services: run a script, lend the current calculation environment.
  virtual errcode StartScript(Text const& fileName, Text const& scriptName, uchar control, Data const* parameter) = 0;
  virtual errcode SetToCurrentEnv(ExprEnv& env) = 0;

  // Call block handle services over the host's memory handles.
  virtual void SetHandleSize(char** handle, int32 size) = 0;
  virtual int32 GetHandleSize(char** handle) = 0;
  virtual void LockHandle(char** handle) = 0;
  virtual void UnlockHandle(char** handle) = 0;
  virtual errcode MemoryError() = 0;
};

// Installs the host (null removes it) and returns the one installed before. One host per process.
HostServices* InstallHostServices(HostServices* host);
HostServices* GetHostServices();

}  // namespace fmx
