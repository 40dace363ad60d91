// CarbonEvents: one process-wide event queue guarded by a mutex, with a condition variable that
// wakes ReceiveNextEvent when something is posted; targets hold handler chains.
// Events are reference counted (atomic); the queue holds one reference to each queued event.
// Handlers run outside every lock, on a snapshot of the chain, so a handler may post, install or
// remove handlers; a removed handler is skipped if its turn comes later in a running dispatch.
// Never throws: an allocation failure comes back as eventInternalErr.
#include "platform/carbon/CarbonEvents.h"

#include "platform/carbon/CarbonEventsInternal.h"

#include <algorithm>
#include <map>
#include <utility>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

struct OpaqueEventRef {
  std::atomic<int32_t> m_intRefCount{1};
  UInt32 m_ulngClass = 0;
  UInt32 m_ulngKind = 0;
  EventTime m_dblWhen = 0;
  EventAttributes m_ulngAttributes = 0;
  bool m_bolQueued = false;  // guarded by the queue's mutex
  // Parameters by name: type and bytes. Like the platform's, not guarded: one thread at a time.
  std::map<EventParamName, std::pair<EventParamType, std::vector<unsigned char>>> m_mapParams;
};

struct OpaqueEventHandlerRef {
  EventTargetRef m_refTarget = nullptr;
  EventHandlerUPP m_uppHandler = nullptr;
  std::vector<EventTypeSpec> m_vecTypes;
  void* m_ptrUserData = nullptr;
  std::atomic<bool> m_bolRemoved{false};
};

struct OpaqueEventTargetRef {
  std::vector<std::shared_ptr<OpaqueEventHandlerRef>> m_vecHandlers;  // in install order
  EventTargetRef m_refParent = nullptr;  // gets what the handlers leave
};

struct OpaqueEventQueueRef {
  std::mutex m_mtxQueue;
  std::condition_variable m_cvPosted;
  std::deque<EventRef> m_deqEvents;
};

// The state of one running dispatch, handed to handlers as their call ref.
struct OpaqueEventHandlerCallRef {
  std::vector<std::shared_ptr<OpaqueEventHandlerRef>> m_vecChain;
  size_t m_lngNext = 0;
  EventTargetRef m_refFallback = nullptr;  // target that gets the event when the chain is done
};

namespace {

constexpr OSStatus kParamErr = -50;

// Never destroyed, so threads that outlive static destruction may still post.
OpaqueEventQueueRef& MainQueue() {
  static OpaqueEventQueueRef* s_udtQueue = new OpaqueEventQueueRef;
  return *s_udtQueue;
}

struct stcHandlerRegistry {
  std::mutex m_mtxHandlers;  // guards every target's chain and the handler table
  OpaqueEventTargetRef m_udtDispatcher;
  OpaqueEventTargetRef m_udtApplication;
  std::unordered_map<EventHandlerRef, std::shared_ptr<OpaqueEventHandlerRef>> m_mapHandlers;
  CarbonEventsTargetFilterProc m_fnFailFilter = nullptr;
  int m_intFailInstalls = 0;
};

std::atomic<CarbonEventsFeederProc> g_fnFeeder{nullptr};

stcHandlerRegistry& Registry() {
  static stcHandlerRegistry* s_udtRegistry = new stcHandlerRegistry;
  return *s_udtRegistry;
}

bool MatchesTypes(EventRef event, ItemCount count, EventTypeSpec const* list) {
  for (ItemCount i = 0; i < count; ++i) {
    if (list[i].eventClass == event->m_ulngClass && list[i].eventKind == event->m_ulngKind) {
      return true;
    }
  }
  return false;
}

// The handlers of the target that take this event, latest installed first.
bool BuildChain(EventTargetRef target, EventRef event, OpaqueEventHandlerCallRef* call) {
  call->m_vecChain.clear();
  call->m_lngNext = 0;
  try {
    stcHandlerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
    for (auto it = target->m_vecHandlers.rbegin(); it != target->m_vecHandlers.rend(); ++it) {
      OpaqueEventHandlerRef const& handler = **it;
      if (MatchesTypes(event, ItemCount(handler.m_vecTypes.size()), handler.m_vecTypes.data())) {
        call->m_vecChain.push_back(*it);
      }
    }
  } catch (...) {
    return false;
  }
  return true;
}

OSStatus RunChain(OpaqueEventHandlerCallRef* call, EventRef event) {
  for (;;) {
    while (call->m_lngNext < call->m_vecChain.size()) {
      std::shared_ptr<OpaqueEventHandlerRef> handler = call->m_vecChain[call->m_lngNext++];
      if (handler->m_bolRemoved.load()) continue;
      OSStatus status = handler->m_uppHandler(call, event, handler->m_ptrUserData);
      if (status != eventNotHandledErr) return status;
    }
    if (call->m_refFallback == nullptr) return eventNotHandledErr;
    EventTargetRef next = call->m_refFallback;
    {
      stcHandlerRegistry& registry = Registry();
      std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
      call->m_refFallback = next->m_refParent;
    }
    if (!BuildChain(next, event, call)) return eventInternalErr;
  }
}

void ReleaseQueuedEvents(std::deque<EventRef>& events) {
  for (EventRef event : events) ReleaseEvent(event);
  events.clear();
}

}  // namespace

EventTime GetCurrentEventTime(void) {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

OSStatus CreateEvent(CFAllocatorRef inAllocator, UInt32 inClassID, UInt32 inKind, EventTime inWhen,
                     EventAttributes inAttributes, EventRef* outEvent) {
  (void)inAllocator;
  if (outEvent == nullptr) return kParamErr;
  *outEvent = nullptr;
  EventRef event = new (std::nothrow) OpaqueEventRef;
  if (event == nullptr) return eventInternalErr;
  event->m_ulngClass = inClassID;
  event->m_ulngKind = inKind;
  event->m_dblWhen = inWhen == 0 ? GetCurrentEventTime() : inWhen;
  event->m_ulngAttributes = inAttributes;
  *outEvent = event;
  return noErr;
}

EventRef RetainEvent(EventRef inEvent) {
  if (inEvent != nullptr) inEvent->m_intRefCount.fetch_add(1, std::memory_order_relaxed);
  return inEvent;
}

void ReleaseEvent(EventRef inEvent) {
  if (inEvent == nullptr) return;
  if (inEvent->m_intRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete inEvent;
}

UInt32 GetEventClass(EventRef inEvent) { return inEvent == nullptr ? 0 : inEvent->m_ulngClass; }
UInt32 GetEventKind(EventRef inEvent) { return inEvent == nullptr ? 0 : inEvent->m_ulngKind; }
EventTime GetEventTime(EventRef inEvent) { return inEvent == nullptr ? 0 : inEvent->m_dblWhen; }

EventQueueRef GetMainEventQueue(void) { return &MainQueue(); }
EventQueueRef GetCurrentEventQueue(void) { return &MainQueue(); }

OSStatus PostEventToQueue(EventQueueRef inQueue, EventRef inEvent, EventPriority inPriority) {
  if (inQueue == nullptr || inEvent == nullptr) return kParamErr;
  {
    std::lock_guard<std::mutex> guard(inQueue->m_mtxQueue);
    if (inEvent->m_bolQueued) return eventAlreadyPostedErr;
    try {
      if (inPriority == kEventPriorityHigh) {
        inQueue->m_deqEvents.push_front(inEvent);
      } else {
        inQueue->m_deqEvents.push_back(inEvent);
      }
    } catch (...) {
      return eventInternalErr;
    }
    inEvent->m_bolQueued = true;
    RetainEvent(inEvent);
  }
  inQueue->m_cvPosted.notify_all();
  return noErr;
}

OSStatus FlushEventQueue(EventQueueRef inQueue) {
  if (inQueue == nullptr) return kParamErr;
  std::deque<EventRef> flushed;
  {
    std::lock_guard<std::mutex> guard(inQueue->m_mtxQueue);
    flushed.swap(inQueue->m_deqEvents);
    for (EventRef event : flushed) event->m_bolQueued = false;
  }
  ReleaseQueuedEvents(flushed);
  return noErr;
}

OSStatus RemoveEventFromQueue(EventQueueRef inQueue, EventRef inEvent) {
  if (inQueue == nullptr || inEvent == nullptr) return kParamErr;
  {
    std::lock_guard<std::mutex> guard(inQueue->m_mtxQueue);
    auto found = std::find(inQueue->m_deqEvents.begin(), inQueue->m_deqEvents.end(), inEvent);
    if (found == inQueue->m_deqEvents.end()) return eventNotInQueueErr;
    inQueue->m_deqEvents.erase(found);
    inEvent->m_bolQueued = false;
  }
  ReleaseEvent(inEvent);
  return noErr;
}

ItemCount GetNumEventsInQueue(EventQueueRef inQueue) {
  if (inQueue == nullptr) return 0;
  std::lock_guard<std::mutex> guard(inQueue->m_mtxQueue);
  return ItemCount(inQueue->m_deqEvents.size());
}

OSStatus ReceiveNextEvent(ItemCount inNumTypes, EventTypeSpec const* inList, EventTimeout inTimeout,
                          Boolean inPullEvent, EventRef* outEvent) {
  if (outEvent != nullptr) *outEvent = nullptr;
  OpaqueEventQueueRef& queue = MainQueue();
  bool anyEvent = inNumTypes == 0 || inList == nullptr;
  std::deque<EventRef>::iterator found;
  auto findEvent = [&] {
    found = std::find_if(queue.m_deqEvents.begin(), queue.m_deqEvents.end(), [&](EventRef event) {
      return anyEvent || MatchesTypes(event, inNumTypes, inList);
    });
    return found != queue.m_deqEvents.end();
  };

  std::unique_lock<std::mutex> lock(queue.m_mtxQueue);
  // Before waiting, the feeder (the window server's queued user actions) may post what comes next.
  if (inTimeout != 0 && anyEvent && !findEvent()) {
    if (CarbonEventsFeederProc feeder = g_fnFeeder.load()) {
      lock.unlock();
      feeder();
      lock.lock();
    }
  }
  if (inTimeout < 0) {
    queue.m_cvPosted.wait(lock, findEvent);
  } else if (inTimeout == 0) {
    if (!findEvent()) return eventLoopTimedOutErr;
  } else {
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(inTimeout));
    if (!queue.m_cvPosted.wait_until(lock, deadline, findEvent)) return eventLoopTimedOutErr;
  }

  EventRef event = *found;
  if (inPullEvent) {
    queue.m_deqEvents.erase(found);
    event->m_bolQueued = false;
    lock.unlock();
    // The queue's reference passes to the caller, who releases it.
    if (outEvent != nullptr) {
      *outEvent = event;
    } else {
      ReleaseEvent(event);
    }
  } else if (outEvent != nullptr) {
    *outEvent = event;
  }
  return noErr;
}

EventTargetRef GetEventDispatcherTarget(void) { return &Registry().m_udtDispatcher; }
EventTargetRef GetApplicationEventTarget(void) { return &Registry().m_udtApplication; }

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler,
                             ItemCount inNumTypes, EventTypeSpec const* inList, void* inUserData,
                             EventHandlerRef* outRef) {
  if (outRef != nullptr) *outRef = nullptr;
  if (inTarget == nullptr || inHandler == nullptr || (inNumTypes > 0 && inList == nullptr)) {
    return kParamErr;
  }
  {
    stcHandlerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
    if (registry.m_intFailInstalls > 0 && registry.m_fnFailFilter != nullptr &&
        registry.m_fnFailFilter(inTarget)) {
      --registry.m_intFailInstalls;
      return eventInternalErr;
    }
  }
  try {
    auto handler = std::make_shared<OpaqueEventHandlerRef>();
    handler->m_refTarget = inTarget;
    handler->m_uppHandler = inHandler;
    handler->m_vecTypes.assign(inList, inList + inNumTypes);
    handler->m_ptrUserData = inUserData;
    stcHandlerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
    registry.m_mapHandlers.emplace(handler.get(), handler);
    inTarget->m_vecHandlers.push_back(handler);
    if (outRef != nullptr) *outRef = handler.get();
  } catch (...) {
    return eventInternalErr;
  }
  return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef) {
  stcHandlerRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
  auto found = registry.m_mapHandlers.find(inHandlerRef);
  if (found == registry.m_mapHandlers.end()) return kParamErr;
  std::shared_ptr<OpaqueEventHandlerRef> handler = found->second;
  registry.m_mapHandlers.erase(found);
  handler->m_bolRemoved.store(true);
  auto& chain = handler->m_refTarget->m_vecHandlers;
  chain.erase(std::remove(chain.begin(), chain.end(), handler), chain.end());
  return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
  if (inCallRef == nullptr || inEvent == nullptr) return kParamErr;
  OSStatus status = RunChain(inCallRef, inEvent);
  // The rest of the chain has had the event; the caller's answer ends the dispatch.
  inCallRef->m_lngNext = inCallRef->m_vecChain.size();
  inCallRef->m_refFallback = nullptr;
  return status;
}

OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget) {
  if (inEvent == nullptr || inTarget == nullptr) return kParamErr;
  OpaqueEventHandlerCallRef call;
  if (!BuildChain(inTarget, inEvent, &call)) return eventInternalErr;
  if (inTarget == GetEventDispatcherTarget()) {
    call.m_refFallback = GetApplicationEventTarget();
  } else {
    stcHandlerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
    call.m_refFallback = inTarget->m_refParent;
  }
  RetainEvent(inEvent);  // a handler that releases too often cannot free it under us
  OSStatus status = RunChain(&call, inEvent);
  ReleaseEvent(inEvent);
  return status;
}

OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType,
                           ByteCount inSize, void const* inDataPtr) {
  if (inEvent == nullptr || (inSize > 0 && inDataPtr == nullptr)) return kParamErr;
  try {
    auto const* bytes = static_cast<unsigned char const*>(inDataPtr);
    inEvent->m_mapParams[inName] = {inType, std::vector<unsigned char>(bytes, bytes + inSize)};
  } catch (...) {
    return eventInternalErr;
  }
  return noErr;
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize,
                           ByteCount* outActualSize, void* outData) {
  if (inEvent == nullptr) return kParamErr;
  auto found = inEvent->m_mapParams.find(inName);
  if (found == inEvent->m_mapParams.end()) return eventParameterNotFoundErr;
  EventParamType const wildCard = 0x2A2A2A2A;  // '****'
  if (inDesiredType != wildCard && inDesiredType != found->second.first) return kParamErr;
  std::vector<unsigned char> const& bytes = found->second.second;
  if (outActualType != nullptr) *outActualType = found->second.first;
  if (outActualSize != nullptr) *outActualSize = ByteCount(bytes.size());
  if (outData != nullptr && !bytes.empty()) {
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), inBufferSize),
                static_cast<unsigned char*>(outData));
  }
  return noErr;
}

// ---- for the window server ----

EventTargetRef CarbonEventsNewTarget(EventTargetRef parent) {
  EventTargetRef target = new (std::nothrow) OpaqueEventTargetRef;
  if (target != nullptr) target->m_refParent = parent;
  return target;
}

void CarbonEventsDisposeTarget(EventTargetRef target) {
  if (target == nullptr) return;
  stcHandlerRegistry& registry = Registry();
  {
    std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
    for (auto const& handler : target->m_vecHandlers) {
      handler->m_bolRemoved.store(true);
      registry.m_mapHandlers.erase(handler.get());
    }
    // Targets whose parent this was fall back to nothing.
    target->m_vecHandlers.clear();
  }
  delete target;
}

void CarbonEventsSetParentTarget(EventTargetRef target, EventTargetRef parent) {
  if (target == nullptr) return;
  stcHandlerRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
  target->m_refParent = parent;
}

bool CarbonEventsTargetHasHandlers(EventTargetRef target) {
  if (target == nullptr) return false;
  stcHandlerRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
  return !target->m_vecHandlers.empty();
}

void CarbonEventsSetFeeder(CarbonEventsFeederProc feeder) { g_fnFeeder.store(feeder); }

void CarbonEventsFailInstallsOn(CarbonEventsTargetFilterProc filter, int count) {
  stcHandlerRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.m_mtxHandlers);
  registry.m_fnFailFilter = filter;
  registry.m_intFailInstalls = count;
}
