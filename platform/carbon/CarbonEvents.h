// CarbonEvents: the Carbon Event Manager stand-in, an in-process event queue with handlers.
// Interface: events (CreateEvent, RetainEvent, ReleaseEvent, GetEventClass, GetEventKind,
// GetEventTime), the main queue (GetMainEventQueue, PostEventToQueue, FlushEventQueue,
// RemoveEventFromQueue, ReceiveNextEvent), targets with handler chains (GetEventDispatcherTarget,
// GetApplicationEventTarget, InstallEventHandler, RemoveEventHandler, CallNextEventHandler,
// SendEventToEventTarget) with propagation to a parent target (a control's events go on to its
// parent view and window, the window's to the application, the dispatcher's to the application),
// event parameters (SetEventParameter, GetEventParameter: typed bytes by name) and the clock
// (GetCurrentEventTime). The window server (MacWindows.h) makes window and control targets.
// Relies on the C++ standard threads. Any thread may post; a thread waiting in
// ReceiveNextEvent wakes when a matching event arrives. Failures come back as codes
// (eventLoopTimedOutErr, eventNotHandledErr, paramErr for null arguments); never throws.
#pragma once

#include <cstdint>

#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFBase.h"

typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventQueueRef* EventQueueRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;

typedef UInt32 ItemCount;
typedef UInt32 EventAttributes;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 ByteCount;
typedef SInt16 EventPriority;

// Seconds, as double; the clock runs from an arbitrary start, like the system's uptime.
typedef double EventTime;
typedef EventTime EventTimeout;
#define kEventDurationSecond 1.0
#define kEventDurationMillisecond (kEventDurationSecond / 1000)
#define kEventDurationMicrosecond (kEventDurationSecond / 1000000)
#define kEventDurationNoWait 0.0
#define kEventDurationForever (-1.0)

struct EventTypeSpec {
  UInt32 eventClass;
  UInt32 eventKind;
};

enum : UInt32 { kEventAttributeNone = 0, kEventAttributeUserEvent = 1 };
enum : SInt16 { kEventPriorityLow = 0, kEventPriorityStandard = 1, kEventPriorityHigh = 2 };

enum : SInt32 {
  eventAlreadyPostedErr = -9860,
  eventParameterNotFoundErr = -9870,
  eventInternalErr = -9868,
  eventNotHandledErr = -9874,
  eventLoopTimedOutErr = -9875,
  eventNotInQueueErr = -9877
};

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                                        void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;
inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine) { return userRoutine; }
inline void DisposeEventHandlerUPP(EventHandlerUPP) {}

EventTime GetCurrentEventTime(void);

// A new event with a count of 1; when 0 means "now". The allocator is ignored.
OSStatus CreateEvent(CFAllocatorRef inAllocator, UInt32 inClassID, UInt32 inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef* outEvent);
EventRef RetainEvent(EventRef inEvent);
void ReleaseEvent(EventRef inEvent);
UInt32 GetEventClass(EventRef inEvent);
UInt32 GetEventKind(EventRef inEvent);
EventTime GetEventTime(EventRef inEvent);

// Parameters: a parameter is the bytes given, under its name, with its type; setting a name again
// replaces it. GetEventParameter copies at most inBufferSize bytes (outData may be null to learn
// the size) and answers eventParameterNotFoundErr for a missing name, paramErr for another type
// (typeWildCard takes any).
OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType,
                           ByteCount inSize, void const* inDataPtr);
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize,
                           ByteCount* outActualSize, void* outData);

EventQueueRef GetMainEventQueue(void);
EventQueueRef GetCurrentEventQueue(void);  // the main queue: there is one queue
// The queue keeps its own reference, so the poster releases its own as usual. High priority
// events go before the waiting ones, the others after them.
OSStatus PostEventToQueue(EventQueueRef inQueue, EventRef inEvent, EventPriority inPriority);
OSStatus FlushEventQueue(EventQueueRef inQueue);
// Takes one queued event out of the queue and drops the queue's reference; eventNotInQueueErr
// when it is not queued.
OSStatus RemoveEventFromQueue(EventQueueRef inQueue, EventRef inEvent);
ItemCount GetNumEventsInQueue(EventQueueRef inQueue);

// Waits up to inTimeout seconds (kEventDurationForever: no limit) for the first queued event
// whose class and kind are in the list (inNumTypes 0 or a null list: any event). With
// inPullEvent the event leaves the queue and the caller owns a reference to release; without
// it the event stays queued and *outEvent is only borrowed. eventLoopTimedOutErr when none came.
OSStatus ReceiveNextEvent(ItemCount inNumTypes, EventTypeSpec const* inList, EventTimeout inTimeout,
                          Boolean inPullEvent, EventRef* outEvent);

EventTargetRef GetEventDispatcherTarget(void);
EventTargetRef GetApplicationEventTarget(void);

// Handlers installed later run first; a handler passes an event on by answering
// eventNotHandledErr or by calling CallNextEventHandler itself.
OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler,
                             ItemCount inNumTypes, EventTypeSpec const* inList, void* inUserData,
                             EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);
// Runs the target's handlers for the event. An event the dispatcher target's own handlers leave
// unhandled goes on to the application target, as the system's dispatcher does.
OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget);
