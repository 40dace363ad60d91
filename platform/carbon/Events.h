// Events: the Event Manager's tick clock.
// Interface: TickCount, the sixtieths of a second the system has been running (the monotonic
// clock's count), wrapping at 2^32 as the platform's 32-bit tick count does.
// Relies on clock_gettime(CLOCK_MONOTONIC); never fails.
#pragma once

#include "platform/carbon/MacTypes.h"

UInt32 TickCount(void);
