// Gestalt: the system's answers to selector questions, the running system's version for now.
// Interface: Gestalt(selector, &response); gestaltSystemVersion ('sysv') answers the version in
// BCD (0x1068 for 10.6.8 unless a test sets another); SetGestaltSystemVersionForTesting and
// SetGestaltFailureForTesting change the answer or make every call fail.
// Relies on nothing; thread-safe. An unknown selector gives gestaltUndefSelectorErr.
#pragma once

#include "platform/carbon/MacTypes.h"

enum : OSType { gestaltSystemVersion = MakeFourCharCode("sysv") };
enum : SInt32 { gestaltUnknownErr = -5550, gestaltUndefSelectorErr = -5551 };

OSErr Gestalt(OSType selector, SInt32* response);

// The BCD version 'sysv' answers from now on.
void SetGestaltSystemVersionForTesting(SInt32 version);
// Every Gestalt call answers this code from now on; noErr ends the failure.
void SetGestaltFailureForTesting(OSErr error);
