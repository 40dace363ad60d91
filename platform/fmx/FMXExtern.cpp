// FMXExtern: the call block's callbacks. Each forwards to the installed host; without one, the
// script and environment calls answer kErrNoHost, the handle services do nothing and the
// memory-error call reports kErrNoHost, so a plug-in never acts on a resize that did not happen.
#include "platform/fmx/FMXExtern.h"

#include <cstring>

#include "platform/fmx/FMXHostServices.h"

namespace fmx {

namespace {

errcode StartScriptCallback(Text const* fileName, Text const* scriptName, uchar control, Data const* parameter) {
  HostServices* host = GetHostServices();
  if (!host) return kErrNoHost;
  if (!fileName || !scriptName) return kErrBadArgument;
  return host->StartScript(*fileName, *scriptName, control, parameter);
}

errcode CurrentEnvCallback(ExprEnv* env) {
  HostServices* host = GetHostServices();
  if (!host) return kErrNoHost;
  if (!env) return kErrBadArgument;
  return host->SetToCurrentEnv(*env);
}

void SetHandleSizeCallback(char** handle, int32 size) {
  if (HostServices* host = GetHostServices()) host->SetHandleSize(handle, size);
}

int32 GetHandleSizeCallback(char** handle) {
  HostServices* host = GetHostServices();
  return host ? host->GetHandleSize(handle) : 0;
}

void LockHandleCallback(char** handle) {
  if (HostServices* host = GetHostServices()) host->LockHandle(handle);
}

void UnlockHandleCallback(char** handle) {
  if (HostServices* host = GetHostServices()) host->UnlockHandle(handle);
}

errcode MemoryErrorCallback() {
  HostServices* host = GetHostServices();
  return host ? host->MemoryError() : errcode(kErrNoHost);
}

}  // namespace

void InitExternCallStruct(FMX_ExternCallStruct& block) {
  std::memset(&block, 0, sizeof block);
  block.cSetHandleSize = SetHandleSizeCallback;
  block.cGetHandleSize = GetHandleSizeCallback;
  block.cLockHandle = LockHandleCallback;
  block.cUnlockHandle = UnlockHandleCallback;
  block.cMemoryError = MemoryErrorCallback;
  block.cStartScript = StartScriptCallback;
  block.cCurrentEnv = CurrentEnvCallback;
}

}  // namespace fmx
