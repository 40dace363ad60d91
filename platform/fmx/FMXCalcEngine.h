// FMXCalcEngine: the host's calculation environment and the registration of a plug-in's
// calculation functions with the host's calculation engine.
// Interface: fmx::ExprEnv (Evaluate, ExecuteSQL, RegisterExternalFunction,
// UnRegisterExternalFunction, SessionID, FileID), the function flags, fmx::ExtPluginType and
// fmx::ExprEnvAutoPtr.
// Relies on the host's services (FMXHostServices.h): every operation forwards to the installed
// host and answers fmx::kErrNoHost when there is none.
#pragma once

#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXTypes.h"

namespace fmx {

class ExprEnv;

// The callback the host calls for a registered function: its id, the calling environment, the
// parameters and the result to fill; answers a host error code (0 = success).
typedef errcode (*ExtPluginType)(short functionId, ExprEnv const& env, DataVect const& parms, Data& result);

class ExprEnv {
 public:
  // Flags of a registered function.
  enum : uint32 {
    kMayEvaluateOnServer = 0x00000001,  // the host may evaluate it on a server
    kDisplayInAllDialogs = 0x0000FF00   // listed in every calculation dialog of the host
  };

  ExprEnv() = default;

  // Evaluates a calculation in this environment into result; result is left alone on failure.
  errcode Evaluate(Text const& expression, Data& result) const;
  // Runs an SQL statement; the result is text with the given column and row separators.
  errcode ExecuteSQL(Text const& expression, Data& result, uint16 colSep, uint16 rowSep) const;

  static errcode RegisterExternalFunction(QuadChar const& pluginId, int16 functionId, Text const& functionName,
                                          Text const& functionPrototype, int16 minArgs, int16 maxArgs,
                                          uint32 compatibleOnFlags, ExtPluginType funcPtr);
  static errcode UnRegisterExternalFunction(QuadChar const& pluginId, int16 functionId);

  // The host's session and file this environment belongs to; 0 for an environment no host filled.
  ptrtype SessionID() const { return m_session; }
  ptrtype FileID() const { return m_file; }
  // Used by hosts when they hand out an environment.
  void SetIdentity(ptrtype sessionId, ptrtype fileId) {
    m_session = sessionId;
    m_file = fileId;
  }

 private:
  ptrtype m_session = 0;
  ptrtype m_file = 0;
};

typedef AutoPtr<ExprEnv> ExprEnvAutoPtr;

}  // namespace fmx

using fmx::ExtPluginType;
