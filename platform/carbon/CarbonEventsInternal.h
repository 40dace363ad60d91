// CarbonEventsInternal: what the window server needs of the event stand-in and no caller above
// the stand-ins does. Interface: targets of its own (windows, controls) with a parent target to
// which unhandled events go on; a feeder that ReceiveNextEvent asks for an event before it waits;
// failures of InstallEventHandler on demand.
// Relies on CarbonEvents.h. Thread-safe.
#pragma once

#include "platform/carbon/CarbonEvents.h"

// A new target with no handlers; parent (may be null) gets the events its handlers leave.
EventTargetRef CarbonEventsNewTarget(EventTargetRef parent);
// Removes the target's handlers and frees it.
void CarbonEventsDisposeTarget(EventTargetRef target);
void CarbonEventsSetParentTarget(EventTargetRef target, EventTargetRef parent);
bool CarbonEventsTargetHasHandlers(EventTargetRef target);

// Called (outside every lock of the queue) by a ReceiveNextEvent that would wait; it may post
// events and answers true when it did. Null: none.
typedef bool (*CarbonEventsFeederProc)();
void CarbonEventsSetFeeder(CarbonEventsFeederProc feeder);

// The next count calls of InstallEventHandler on a target that the predicate accepts fail with
// eventInternalErr (count 0 stops it).
typedef bool (*CarbonEventsTargetFilterProc)(EventTargetRef target);
void CarbonEventsFailInstallsOn(CarbonEventsTargetFilterProc filter, int count);
