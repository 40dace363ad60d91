// Tests of the event pump: an event posted from another thread reaches a waiting
// ReceiveNextEvent and a handler, waits time out, type lists and priorities pick events, and
// handler chains pass events on.
#include "platform/carbon/CarbonEvents.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr UInt32 kTestClass = MakeFourCharCode("vtst");

struct stcSeen {
  std::vector<UInt32> m_vecKinds;
  std::vector<char> m_vecWho;
};

struct stcHandlerSetup {
  stcSeen* m_ptrSeen;
  char m_chrName;
  OSStatus m_intAnswer;
  bool m_bolCallNext;
};

OSStatus RecordingHandler(EventHandlerCallRef next, EventRef event, void* userData) {
  auto* setup = static_cast<stcHandlerSetup*>(userData);
  setup->m_ptrSeen->m_vecKinds.push_back(GetEventKind(event));
  setup->m_ptrSeen->m_vecWho.push_back(setup->m_chrName);
  if (setup->m_bolCallNext) CallNextEventHandler(next, event);
  return setup->m_intAnswer;
}

EventRef NewTestEvent(UInt32 kind) {
  EventRef event = nullptr;
  EXPECT_EQ(noErr, CreateEvent(kCFAllocatorDefault, kTestClass, kind, 0, kEventAttributeNone,
                               &event));
  return event;
}

void Post(UInt32 kind, EventPriority priority = kEventPriorityStandard) {
  EventRef event = NewTestEvent(kind);
  EXPECT_EQ(noErr, PostEventToQueue(GetMainEventQueue(), event, priority));
  ReleaseEvent(event);
}

class CarbonEventsTest : public ::testing::Test {
 protected:
  void SetUp() override { FlushEventQueue(GetMainEventQueue()); }
  void TearDown() override {
    for (EventHandlerRef handler : m_vecHandlers) RemoveEventHandler(handler);
    FlushEventQueue(GetMainEventQueue());
  }
  void Install(EventTargetRef target, stcHandlerSetup* setup, UInt32 kind) {
    EventTypeSpec type = {kTestClass, kind};
    EventHandlerRef handler = nullptr;
    ASSERT_EQ(noErr, InstallEventHandler(target, NewEventHandlerUPP(RecordingHandler), 1, &type,
                                         setup, &handler));
    m_vecHandlers.push_back(handler);
  }
  std::vector<EventHandlerRef> m_vecHandlers;
};

}  // namespace

TEST_F(CarbonEventsTest, EventPostedFromAnotherThreadReachesHandler) {
  stcSeen seen;
  stcHandlerSetup dispatcher = {&seen, 'd', noErr, false};
  stcHandlerSetup application = {&seen, 'a', noErr, false};
  Install(GetEventDispatcherTarget(), &dispatcher, 1);
  Install(GetApplicationEventTarget(), &application, 2);

  std::thread poster([] { Post(1); });
  EventRef event = nullptr;
  ASSERT_EQ(noErr, ReceiveNextEvent(0, nullptr, 10.0, true, &event));
  poster.join();
  ASSERT_NE(nullptr, event);
  EXPECT_EQ(kTestClass, GetEventClass(event));
  EXPECT_EQ(noErr, SendEventToEventTarget(event, GetEventDispatcherTarget()));
  ReleaseEvent(event);
  EXPECT_EQ(0u, GetNumEventsInQueue(GetMainEventQueue()));

  // Kind 2 has no dispatcher handler and goes on to the application target; kind 3 to no one.
  EventRef second = NewTestEvent(2);
  EXPECT_EQ(noErr, SendEventToEventTarget(second, GetEventDispatcherTarget()));
  ReleaseEvent(second);
  EventRef third = NewTestEvent(3);
  EXPECT_EQ(eventNotHandledErr, SendEventToEventTarget(third, GetEventDispatcherTarget()));
  ReleaseEvent(third);
  EXPECT_EQ((std::vector<char>{'d', 'a'}), seen.m_vecWho);
}

TEST_F(CarbonEventsTest, WaitsTimeOut) {
  EventRef event = reinterpret_cast<EventRef>(1);
  EXPECT_EQ(eventLoopTimedOutErr, ReceiveNextEvent(0, nullptr, kEventDurationNoWait, true, &event));
  EXPECT_EQ(nullptr, event);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(eventLoopTimedOutErr, ReceiveNextEvent(0, nullptr, 0.03, true, &event));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(30));
  EXPECT_LT(waited, std::chrono::seconds(5));

  // An event of another type does not end a wait with a type list.
  Post(1);
  EventTypeSpec wanted = {kTestClass, 2};
  EXPECT_EQ(eventLoopTimedOutErr, ReceiveNextEvent(1, &wanted, 0.01, true, &event));
  EXPECT_EQ(1u, GetNumEventsInQueue(GetMainEventQueue()));
}

TEST_F(CarbonEventsTest, TypeListsAndPrioritiesChooseTheEvent) {
  Post(1);
  Post(2);
  Post(3, kEventPriorityHigh);

  EventTypeSpec wanted = {kTestClass, 2};
  EventRef event = nullptr;
  ASSERT_EQ(noErr, ReceiveNextEvent(1, &wanted, kEventDurationNoWait, false, &event));
  EXPECT_EQ(2u, GetEventKind(event));  // only borrowed: stays queued
  EXPECT_EQ(3u, GetNumEventsInQueue(GetMainEventQueue()));
  EXPECT_EQ(eventAlreadyPostedErr, PostEventToQueue(GetMainEventQueue(), event,
                                                    kEventPriorityStandard));

  std::vector<UInt32> order;
  while (ReceiveNextEvent(0, nullptr, kEventDurationNoWait, true, &event) == noErr) {
    order.push_back(GetEventKind(event));
    ReleaseEvent(event);
  }
  EXPECT_EQ((std::vector<UInt32>{3, 1, 2}), order);
}

TEST_F(CarbonEventsTest, HandlerChainsRunLatestFirstAndPassEventsOn) {
  stcSeen seen;
  stcHandlerSetup first = {&seen, '1', noErr, false};
  stcHandlerSetup passes = {&seen, 'p', eventNotHandledErr, false};
  stcHandlerSetup callsNext = {&seen, 'n', noErr, true};
  Install(GetApplicationEventTarget(), &first, 7);
  Install(GetApplicationEventTarget(), &passes, 7);
  EventRef event = NewTestEvent(7);
  EXPECT_EQ(noErr, SendEventToEventTarget(event, GetApplicationEventTarget()));
  EXPECT_EQ((std::vector<char>{'p', '1'}), seen.m_vecWho);

  seen.m_vecWho.clear();
  Install(GetApplicationEventTarget(), &callsNext, 7);
  EXPECT_EQ(noErr, SendEventToEventTarget(event, GetApplicationEventTarget()));
  EXPECT_EQ((std::vector<char>{'n', 'p', '1'}), seen.m_vecWho);  // each handler once

  seen.m_vecWho.clear();
  for (EventHandlerRef handler : m_vecHandlers) EXPECT_EQ(noErr, RemoveEventHandler(handler));
  EXPECT_NE(noErr, RemoveEventHandler(m_vecHandlers.front()));
  m_vecHandlers.clear();
  EXPECT_EQ(eventNotHandledErr, SendEventToEventTarget(event, GetApplicationEventTarget()));
  EXPECT_TRUE(seen.m_vecWho.empty());
  ReleaseEvent(event);
}
