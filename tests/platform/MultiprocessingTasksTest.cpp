// Tests of the Multiprocessing stand-in's tasks and queues: a task runs on a thread with a large
// stack, its end reaches the notify queue and is taken once its thread is gone, an injected
// failure creates nothing, and waits on a queue end by message, time-out or deletion.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/mp/Multiprocessing.h"
#include "platform/mp/MultiprocessingTesting.h"

namespace {

std::atomic<size_t> g_ulngStack{0};

OSStatus MeasureStack(void* parameter) {
  pthread_attr_t attr;
  size_t size = 0;
  pthread_getattr_np(pthread_self(), &attr);
  pthread_attr_getstacksize(&attr, &size);
  pthread_attr_destroy(&attr);
  g_ulngStack.store(size);
  return OSStatus(reinterpret_cast<intptr_t>(parameter));
}

// Set when the task's thread itself has gone, after the entry returned and its end was posted.
std::atomic<bool> g_bolThreadGone{false};
struct stcLastToGo {
  ~stcLastToGo() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    g_bolThreadGone.store(true);
  }
};
thread_local stcLastToGo t_udtLastToGo;

OSStatus LeaveLate(void*) {
  (void)&t_udtLastToGo;  // made on this thread, so it goes when the thread ends
  return noErr;
}

TEST(MultiprocessingTasksTest, TaskRunsAndReportsItsEnd) {
  MPQueueID queue = nullptr;
  ASSERT_EQ(MPCreateQueue(&queue), noErr);
  MPTaskID task = nullptr;
  ASSERT_EQ(MPCreateTask(MeasureStack, reinterpret_cast<void*>(42), 32768, queue,
                         reinterpret_cast<void*>(7), nullptr, 0, &task), noErr);
  EXPECT_NE(task, nullptr);
  void* p1 = nullptr;
  void* p3 = nullptr;
  ASSERT_EQ(MPWaitOnQueue(queue, &p1, nullptr, &p3, 5000), noErr);
  EXPECT_EQ(p1, reinterpret_cast<void*>(7));
  EXPECT_EQ(reinterpret_cast<intptr_t>(p3), 42);
  EXPECT_GE(g_ulngStack.load(), size_t(1) << 20);
  EXPECT_EQ(MPTestingLiveTaskCount(), 0);

  // When the end has been taken the thread is gone too: whoever took it may unload the code the
  // thread ran or end the process.
  ASSERT_EQ(MPCreateTask(LeaveLate, nullptr, 0, queue, nullptr, nullptr, 0, &task), noErr);
  ASSERT_EQ(MPWaitOnQueue(queue, nullptr, nullptr, nullptr, 5000), noErr);
  EXPECT_TRUE(g_bolThreadGone.load());

  MPTestingFailNextTaskCreation(kMPInsufficientResourcesErr);
  EXPECT_EQ(MPCreateTask(MeasureStack, nullptr, 0, queue, nullptr, nullptr, 0, &task), kMPInsufficientResourcesErr);
  EXPECT_EQ(task, nullptr);
  EXPECT_EQ(MPWaitOnQueue(queue, nullptr, nullptr, nullptr, kDurationImmediate), kMPTimeoutErr);
  EXPECT_EQ(MPDeleteQueue(queue), noErr);
}

TEST(MultiprocessingTasksTest, QueueWaitsEnd) {
  MPQueueID queue = nullptr;
  ASSERT_EQ(MPCreateQueue(&queue), noErr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MPWaitOnQueue(queue, nullptr, nullptr, nullptr, 20), kMPTimeoutErr);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
  std::thread deleter([queue] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    MPDeleteQueue(queue);
  });
  EXPECT_EQ(MPWaitOnQueue(queue, nullptr, nullptr, nullptr, kDurationForever), kMPDeletedErr);
  deleter.join();
  EXPECT_EQ(MPNotifyQueue(queue, nullptr, nullptr, nullptr), kMPInvalidIDErr);
  MPTestingFailNextRegionCreation(kMPInsufficientResourcesErr);
  MPCriticalRegionID region = nullptr;
  EXPECT_EQ(MPCreateCriticalRegion(&region), kMPInsufficientResourcesErr);
  EXPECT_EQ(region, nullptr);
}

}  // namespace
