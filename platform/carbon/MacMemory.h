// MacMemory: relocatable blocks of the Memory Manager (handles), as the text objects hand out
// their text. Interface: NewHandle, DisposeHandle, GetHandleSize, HLock, HUnlock, MemError.
// A handle is a pointer to the block's address; blocks never move here.
// Relies on the C library's heap; thread-safe; never throws (NewHandle answers NULL when full).
#pragma once

#include "platform/carbon/MacTypes.h"

Handle NewHandle(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);  // 0 for NULL
void HLock(Handle h);
void HUnlock(Handle h);
OSErr MemError(void);
