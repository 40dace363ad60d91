// FuzzHost: the smallest host a fuzz target can install (the fuzz build links no test support):
// every service refuses or does nothing. Targets derive from it and answer what they exercise,
// usually Evaluate and SetToCurrentEnv.
// Header-only; relies on the host SDK stand-in only.
#pragma once

#include "platform/fmx/FMWrapper.h"

class clsFuzzHostBase : public fmx::HostServices {
 public:
  fmx::errcode Evaluate(fmx::ExprEnv const&, fmx::Text const&, fmx::Data&) override { return fmx::kErrUnknown; }
  fmx::errcode ExecuteSQL(fmx::ExprEnv const&, fmx::Text const&, fmx::Data&, fmx::uint16, fmx::uint16) override {
    return fmx::kErrUnknown;
  }
  fmx::errcode RegisterExternalFunction(fmx::QuadChar const&, fmx::int16, fmx::Text const&, fmx::Text const&,
                                        fmx::int16, fmx::int16, fmx::uint32, fmx::ExtPluginType) override {
    return fmx::kErrUnknown;
  }
  fmx::errcode UnRegisterExternalFunction(fmx::QuadChar const&, fmx::int16) override { return fmx::kErrUnknown; }
  fmx::errcode StartScript(fmx::Text const&, fmx::Text const&, fmx::uchar, fmx::Data const*) override {
    return fmx::kErrUnknown;
  }
  fmx::errcode SetToCurrentEnv(fmx::ExprEnv&) override { return fmx::kErrUnknown; }
  void SetHandleSize(char**, fmx::int32) override {}
  fmx::int32 GetHandleSize(char**) override { return 0; }
  void LockHandle(char**) override {}
  void UnlockHandle(char**) override {}
  fmx::errcode MemoryError() override { return 0; }
};
