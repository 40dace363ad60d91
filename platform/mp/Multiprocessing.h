// Multiprocessing: the Multiprocessing Services stand-in, critical regions for now.
// Interface: MPCreateCriticalRegion, MPEnterCriticalRegion (try, timed wait or wait forever),
// MPExitCriticalRegion, MPDeleteCriticalRegion, the Duration constants and the kMP... codes.
// A region is a recursive lock: the thread that holds it may enter again and must exit as often.
// Relies on std::mutex and std::condition_variable; every call is thread-safe. Failures come
// back as codes: a bad or deleted id gives kMPInvalidIDErr, a wait that runs out
// kMPTimeoutErr, a region deleted while a thread waits for it kMPDeletedErr.
#pragma once

#include <cstdint>

#include "platform/carbon/MacTypes.h"

typedef struct OpaqueMPCriticalRegionID* MPCriticalRegionID;

// A wait: positive values are milliseconds, negative values microseconds.
typedef SInt32 Duration;
enum : SInt32 {
  kDurationImmediate = 0,
  kDurationForever = 0x7FFFFFFF,
  kDurationMillisecond = 1,
  kDurationMicrosecond = -1
};

enum : SInt32 {
  kMPInvalidIDErr = -29292,
  kMPInsufficientResourcesErr = -29294,
  kMPDeletedErr = -29295,
  kMPTimeoutErr = -29296,
  kMPTaskAbortedErr = -29297
};

// Critical regions.
// Creates a region held by no one; *criticalRegion receives its id (never null on success).
OSStatus MPCreateCriticalRegion(MPCriticalRegionID* criticalRegion);
// Deletes the region; threads waiting for it wake with kMPDeletedErr, later calls with the id
// get kMPInvalidIDErr.
OSStatus MPDeleteCriticalRegion(MPCriticalRegionID criticalRegion);
// Enters the region: kDurationImmediate tries once, a positive timeout waits that many
// milliseconds (a negative one that many microseconds), kDurationForever waits as long as it
// takes. The holder entering again only counts up.
OSStatus MPEnterCriticalRegion(MPCriticalRegionID criticalRegion, Duration timeout);
// Leaves one level; the region is free when the holder has exited as often as it entered.
// A thread that does not hold the region gets kMPInsufficientResourcesErr and changes nothing.
OSStatus MPExitCriticalRegion(MPCriticalRegionID criticalRegion);

// Tasks and message queues (MultiprocessingTasks.cpp).
// A task runs entryPoint(parameter) on a thread of its own. Its stack is at least 4 MiB whatever
// stackSize asks for, since TLS, the resolver and the sanitizers need far more than the small
// stacks callers traditionally ask for. When the task returns and notifyQueue is given, the
// queue receives (terminationParameter1, terminationParameter2, the entry's result): waiting on
// that queue is how a task's end is awaited.
typedef UInt32 ByteCount;
typedef struct OpaqueMPTaskID* MPTaskID;
typedef struct OpaqueMPQueueID* MPQueueID;
typedef UInt32 MPTaskOptions;
typedef OSStatus (*TaskProc)(void* parameter);

OSStatus MPCreateTask(TaskProc entryPoint, void* parameter, ByteCount stackSize,
                      MPQueueID notifyQueue, void* terminationParameter1,
                      void* terminationParameter2, MPTaskOptions options, MPTaskID* task);
// The id of the calling task; null on a thread that no task runs.
MPTaskID MPCurrentTaskID(void);

// A queue of three-word messages, first in first out. MPWaitOnQueue takes the oldest message
// (any of the out-pointers may be null), waiting as MPEnterCriticalRegion does; kMPTimeoutErr
// when none came in time, kMPDeletedErr when the queue was deleted while waiting.
OSStatus MPCreateQueue(MPQueueID* queue);
OSStatus MPDeleteQueue(MPQueueID queue);
OSStatus MPNotifyQueue(MPQueueID queue, void* param1, void* param2, void* param3);
OSStatus MPWaitOnQueue(MPQueueID queue, void** param1, void** param2, void** param3,
                       Duration timeout);
