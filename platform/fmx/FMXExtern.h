// FMXExtern: the call block through which the host talks to a plug-in's exported entry point,
// with its call codes and the callbacks the host offers in it.
// Interface: FMX_ExternCallStruct (FMX_ExternCallPtr), the call codes kFMXT_Init ...
// kFMXT_GetString, the GetString ids, FMX_ExternCallProc, and fmx::InitExternCallStruct, which
// gives a block callbacks that forward to the installed host (FMXHostServices.h).
// Pointer-carrying fields are pointer-sized here. The forwarding callbacks fail with
// fmx::kErrNoHost when no host is installed and with fmx::kErrBadArgument for null arguments.
#pragma once

#include <cstdint>

#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"
#include "platform/fmx/FMXTypes.h"

typedef intptr_t FMX_IntPtr;

// Call codes (FMX_ExternCallStruct::whichCall).
enum : fmx::uchar {
  kFMXT_Init = 0,
  kFMXT_Idle = 1,
  kFMXT_External = 3,
  kFMXT_Shutdown = 4,
  kFMXT_DoAppPreferences = 5,
  kFMXT_GetString = 7
};

// String ids a GetString call asks for (parm1).
enum : fmx::uchar { kFMXT_NameStr = 128, kFMXT_AppConfigStr = 129, kFMXT_OptionsStr = 131 };

typedef fmx::errcode (*FMX_StartScriptCall)(fmx::Text const* fileName, fmx::Text const* scriptName, fmx::uchar control,
                                            fmx::Data const* parameter);
typedef fmx::errcode (*FMX_CurrentEnvCall)(fmx::ExprEnv* env);
typedef void (*FMX_SetHandleSizeCall)(char** handle, fmx::int32 size);
typedef fmx::int32 (*FMX_GetHandleSizeCall)(char** handle);
typedef void (*FMX_LockHandleCall)(char** handle);
typedef void (*FMX_UnlockHandleCall)(char** handle);
typedef fmx::errcode (*FMX_MemoryErrorCall)();

struct FMX_ExternCallStruct {
  fmx::int16 extnVersion;  // host plug-in API version
  fmx::int16 resourceID;   // the plug-in's own resource file
  fmx::uchar whichCall;    // call code
  fmx::uchar parm1;        // Init: application type; Idle: idle level; GetString: string id
  FMX_IntPtr parm2;        // Init: UTF-16 version text (0-terminated); External: function number
  FMX_IntPtr parm3;        // External: parameter handle; GetString: buffer size in units
  FMX_IntPtr result;       // Init: answer; External: result handle; GetString: UTF-16 buffer

  FMX_SetHandleSizeCall cSetHandleSize;
  FMX_GetHandleSizeCall cGetHandleSize;
  FMX_LockHandleCall cLockHandle;
  FMX_UnlockHandleCall cUnlockHandle;
  FMX_MemoryErrorCall cMemoryError;
  FMX_StartScriptCall cStartScript;
  FMX_CurrentEnvCall cCurrentEnv;
};

typedef FMX_ExternCallStruct* FMX_ExternCallPtr;
typedef void (*FMX_ExternCallProc)(FMX_ExternCallPtr block);

namespace fmx {

// Clears the block and points its callbacks at the forwarders to the installed host.
void InitExternCallStruct(FMX_ExternCallStruct& block);

}  // namespace fmx
