// Tests of the run-loop stand-in and its socket: a run returns as soon as it delivered something
// and sleeps only while nothing is ready; a source signalled from another thread wakes it;
// timers fire in their mode only; a socket's end of stream is one empty data, then silence.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/cf/CFRunLoop.h"
#include "platform/cf/CFSocket.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void CountFire(CFRunLoopTimerRef, void* info) { ++*static_cast<int*>(info); }
void CountPerform(void* info) { ++*static_cast<int*>(info); }

TEST(CFRunLoopTest, RunsReturnOnDeliveryAndWakeAcrossThreads) {
  CFStringRef mode = CFStringCreateWithCString(nullptr, "TestMode", kCFStringEncodingUTF8);
  CFRunLoopRef loop = CFRunLoopGetCurrent();
  EXPECT_EQ(CFRunLoopRunInMode(mode, 0.5, false), kCFRunLoopRunFinished);  // nothing in the mode

  int fired = 0;
  CFRunLoopTimerContext timerContext{0, &fired, nullptr, nullptr, nullptr};
  CFRunLoopTimerRef timer = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + 0.05, 0.05, 0, 0,
                                                 CountFire, &timerContext);
  CFRunLoopAddTimer(loop, timer, mode);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CFRunLoopRunInMode(mode, 1.0, false), kCFRunLoopRunHandledSource);
  EXPECT_EQ(fired, 1);
  EXPECT_LT(Seconds(start), 0.5);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false), kCFRunLoopRunFinished);
  EXPECT_EQ(fired, 1);  // not in its mode

  int performed = 0;
  CFRunLoopSourceContext context{};
  context.info = &performed;
  context.perform = CountPerform;
  CFRunLoopSourceRef source = CFRunLoopSourceCreate(nullptr, 0, &context);
  CFRunLoopAddSource(loop, source, mode);
  CFRunLoopTimerSetNextFireDate(timer, CFAbsoluteTimeGetCurrent() + 100);
  std::thread signaller([source, loop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CFRunLoopSourceSignal(source);
    CFRunLoopWakeUp(loop);
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(CFRunLoopRunInMode(mode, 2.0, false), kCFRunLoopRunHandledSource);
  EXPECT_LT(Seconds(start), 1.0);
  EXPECT_EQ(performed, 1);
  signaller.join();
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(CFRunLoopRunInMode(mode, 0.05, false), kCFRunLoopRunTimedOut);
  EXPECT_GE(Seconds(start), 0.04);

  CFRunLoopSourceInvalidate(source);
  CFRelease(source);
  CFRunLoopTimerInvalidate(timer);
  CFRelease(timer);
  CFRelease(mode);
}

// A run finds its mode by the string's text: runs in modes whose names differ in one letter,
// a run nested in another mode from a callback, and a second string of the same text.
struct stcNested {
  CFStringRef m_refMode = nullptr;
  SInt32 m_intResult = 0;
  int m_intPerformed = 0;
};
void RunNested(void* info) {
  auto* nested = static_cast<stcNested*>(info);
  ++nested->m_intPerformed;
  nested->m_intResult = CFRunLoopRunInMode(nested->m_refMode, 0.0, false);
}

TEST(CFRunLoopTest, RunsFindTheirModeByItsText) {
  CFStringRef modeA = CFStringCreateWithCString(nullptr, "ModeTextA", kCFStringEncodingUTF8);
  CFStringRef modeB = CFStringCreateWithCString(nullptr, "ModeTextB", kCFStringEncodingUTF8);
  CFRunLoopRef loop = CFRunLoopGetCurrent();
  int fired = 0;
  CFRunLoopTimerContext timerContext{0, &fired, nullptr, nullptr, nullptr};
  CFRunLoopTimerRef timer = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent(), 100, 0, 0, CountFire,
                                                 &timerContext);
  CFRunLoopAddTimer(loop, timer, modeB);
  stcNested nested;
  nested.m_refMode = modeB;
  CFRunLoopSourceContext context{};
  context.info = &nested;
  context.perform = RunNested;
  CFRunLoopSourceRef source = CFRunLoopSourceCreate(nullptr, 0, &context);
  CFRunLoopAddSource(loop, source, modeA);

  EXPECT_EQ(CFRunLoopRunInMode(modeA, 0.0, false), kCFRunLoopRunTimedOut);  // not signalled
  CFRunLoopSourceSignal(source);
  EXPECT_EQ(CFRunLoopRunInMode(modeA, 0.0, false), kCFRunLoopRunHandledSource);
  EXPECT_EQ(nested.m_intPerformed, 1);
  EXPECT_EQ(nested.m_intResult, kCFRunLoopRunHandledSource);  // B's timer, from inside A's run
  EXPECT_EQ(fired, 1);
  CFRunLoopTimerSetNextFireDate(timer, CFAbsoluteTimeGetCurrent());
  CFRunLoopSourceSignal(source);
  nested.m_refMode = modeA;  // the nested run now finds A, whose source was just performed
  EXPECT_EQ(CFRunLoopRunInMode(modeB, 0.0, false), kCFRunLoopRunHandledSource);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(nested.m_intPerformed, 1);  // A's source is not in B
  CFStringRef againA = CFStringCreateWithCString(nullptr, "ModeTextA", kCFStringEncodingUTF8);
  EXPECT_EQ(CFRunLoopRunInMode(againA, 0.0, false), kCFRunLoopRunHandledSource);
  EXPECT_EQ(nested.m_intPerformed, 2);
  EXPECT_EQ(nested.m_intResult, kCFRunLoopRunTimedOut);

  CFRunLoopSourceInvalidate(source);
  CFRelease(source);
  CFRunLoopTimerInvalidate(timer);
  CFRelease(timer);
  CFRelease(againA);
  CFRelease(modeB);
  CFRelease(modeA);
}

struct stcSocketEvents {
  std::vector<CFIndex> m_vecDataLengths;
  int m_intConnects = 0;
  int m_intConnectError = -1;
};

void RecordSocket(CFSocketRef, CFSocketCallBackType type, CFDataRef, void const* data, void* info) {
  auto* events = static_cast<stcSocketEvents*>(info);
  if (type == kCFSocketConnectCallBack) {
    ++events->m_intConnects;
    events->m_intConnectError = data == nullptr ? 0 : *static_cast<SInt32 const*>(data);
  } else if (type == kCFSocketDataCallBack) {
    events->m_vecDataLengths.push_back(CFDataGetLength(static_cast<CFDataRef>(data)));
  }
}

TEST(CFRunLoopTest, SocketDeliversDataThenOneEmptyData) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  listen(listener, 1);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  stcSocketEvents events;
  CFSocketContext context{0, &events, nullptr, nullptr, nullptr};
  CFSocketRef s = CFSocketCreate(nullptr, PF_INET, SOCK_STREAM, IPPROTO_TCP,
                                 kCFSocketDataCallBack | kCFSocketConnectCallBack, RecordSocket, &context);
  ASSERT_NE(s, nullptr);
  CFDataRef target = CFDataCreate(nullptr, reinterpret_cast<UInt8 const*>(&address), sizeof address);
  EXPECT_EQ(CFSocketConnectToAddress(s, target, -1.0), kCFSocketSuccess);
  CFRunLoopSourceRef source = CFSocketCreateRunLoopSource(nullptr, s, 0);
  CFStringRef mode = CFStringCreateWithCString(nullptr, "SocketMode", kCFStringEncodingUTF8);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, mode);
  for (int i = 0; i < 100 && events.m_intConnects == 0; ++i) CFRunLoopRunInMode(mode, 0.01, false);
  EXPECT_EQ(events.m_intConnectError, 0);
  int peer = accept(listener, nullptr, nullptr);
  ASSERT_GE(send(peer, "hello", 5, 0), 0);
  close(peer);
  for (int i = 0; i < 100 && events.m_vecDataLengths.size() < 2; ++i) CFRunLoopRunInMode(mode, 0.01, false);
  for (int i = 0; i < 5; ++i) CFRunLoopRunInMode(mode, 0.01, false);
  EXPECT_EQ(events.m_vecDataLengths, (std::vector<CFIndex>{5, 0}));

  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source, mode);
  CFRunLoopSourceInvalidate(source);
  CFRelease(source);
  CFSocketInvalidate(s);
  EXPECT_EQ(CFSocketGetNative(s), -1);
  CFRelease(s);
  CFRelease(target);
  CFRelease(mode);
  close(listener);
}

}  // namespace
