// MultiprocessingTesting: fault injection and counters of the Multiprocessing stand-in, for
// tests only. Each injected failure is used up by the next creation of its kind, which then
// fails with the given code and creates nothing.
#pragma once

#include "platform/mp/Multiprocessing.h"

void MPTestingFailNextTaskCreation(OSStatus code);
void MPTestingFailNextRegionCreation(OSStatus code);
// Tasks whose entry has not returned yet.
int MPTestingLiveTaskCount();

// Used by the stand-in itself: the pending region failure (0 when none), cleared by the call.
OSStatus MPTakeInjectedRegionFailure();
