// CFRunLoop: the CoreFoundation run-loop stand-in. Each thread has one run loop, made on first
// use; it runs in a named mode and delivers, on its own thread, the sources and timers added in
// that mode: signalled sources (version 0), sockets (CFSocket's sources) and timers.
// Interface: CFRunLoopGetCurrent, CFRunLoopRunInMode, CFRunLoopWakeUp, CFRunLoopStop, sources
// (CFRunLoopSourceCreate, ...Signal, ...Invalidate, CFRunLoopAddSource/RemoveSource), timers
// (CFRunLoopTimerCreate, ...Invalidate, ...SetNextFireDate, CFRunLoopAddTimer/RemoveTimer) and
// the mode kCFRunLoopDefaultMode; any other CFString names a mode of its own.
// CFRunLoopRunInMode sleeps in poll() only while nothing is ready: it returns as soon as one pass
// delivered something (kCFRunLoopRunHandledSource), when the time is up (kCFRunLoopRunTimedOut),
// when stopped (kCFRunLoopRunStopped), or at once when the mode holds nothing
// (kCFRunLoopRunFinished). Callbacks run without any lock held, so they may add, remove or
// invalidate sources. Signal and wake-up may come from any thread. Never throws.
#pragma once

#include "platform/cf/CFBase.h"
#include "platform/cf/CFDate.h"
#include "platform/cf/CFString.h"

typedef struct __CFRunLoop* CFRunLoopRef;
typedef struct __CFRunLoopSource* CFRunLoopSourceRef;
typedef struct __CFRunLoopTimer* CFRunLoopTimerRef;

enum : CFTypeID { kCFRuntimeTypeRunLoop = 24, kCFRuntimeTypeRunLoopSource = 25,
                  kCFRuntimeTypeRunLoopTimer = 26 };

extern CFStringRef const kCFRunLoopDefaultMode;

enum : SInt32 {
  kCFRunLoopRunFinished = 1,
  kCFRunLoopRunStopped = 2,
  kCFRunLoopRunTimedOut = 3,
  kCFRunLoopRunHandledSource = 4
};

CFRunLoopRef CFRunLoopGetCurrent(void);  // not retained; lives as long as its thread
SInt32 CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds,
                          Boolean returnAfterSourceHandled);
void CFRunLoopWakeUp(CFRunLoopRef rl);
void CFRunLoopStop(CFRunLoopRef rl);

// Sources signalled by their owner (version 0). schedule and cancel are told when the source
// joins or leaves a run loop's mode; perform runs on the run loop's thread after a signal.
struct CFRunLoopSourceContext {
  CFIndex version;
  void* info;
  void const* (*retain)(void const* info);
  void (*release)(void const* info);
  void const* copyDescription;
  void const* equal;
  void const* hash;
  void (*schedule)(void* info, CFRunLoopRef rl, CFStringRef mode);
  void (*cancel)(void* info, CFRunLoopRef rl, CFStringRef mode);
  void (*perform)(void* info);
};

CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef allocator, CFIndex order,
                                         CFRunLoopSourceContext* context);
void CFRunLoopSourceSignal(CFRunLoopSourceRef source);
void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source);  // leaves every run loop
Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source);
void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);
Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode);

struct CFRunLoopTimerContext {
  CFIndex version;
  void* info;
  void const* (*retain)(void const* info);
  void (*release)(void const* info);
  void const* copyDescription;
};
typedef void (*CFRunLoopTimerCallBack)(CFRunLoopTimerRef timer, void* info);

// Fires first at fireDate (absolute time), then every interval seconds (interval <= 0: once).
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                       CFTimeInterval interval, CFOptionFlags flags, CFIndex order,
                                       CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context);
void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer);
Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer);
CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer);
void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate);
void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);
