// MultiprocessingTasks: tasks over POSIX threads and message queues over a mutex and a condition
// variable. A task's end is reported through the notify queue given at creation, posted after the
// entry returned; the thread has ended by the time a wait takes that message (it is joined
// then), so a caller that goes on to unload the code or end the process races no thread still
// on its way out. A task without a notify queue, or whose message is never taken, is detached.
// Queue ids are looked up in a process-wide table, so a stale id is refused. Never throws.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/mp/Multiprocessing.h"
#include "platform/mp/MultiprocessingTesting.h"

namespace {

constexpr OSStatus kParamErr = -50;
constexpr size_t kMinimumStack = 4u << 20;

struct stcMessage {
  void* m_ptrParam1;
  void* m_ptrParam2;
  void* m_ptrParam3;
  bool m_bolJoin = false;  // a task's end: its thread is joined when the message is taken
  pthread_t m_thrTask{};
};

struct stcQueue {
  std::mutex m_mtxState;
  std::condition_variable m_cvPosted;
  std::deque<stcMessage> m_deqMessages;
  bool m_bolDeleted = false;
};

struct stcQueueTable {
  std::mutex m_mtxTable;
  std::unordered_map<uintptr_t, std::shared_ptr<stcQueue>> m_mapQueues;
  uintptr_t m_ulngNextID = 1;
};

stcQueueTable& QueueTable() {
  static stcQueueTable* s_udtTable = new stcQueueTable;
  return *s_udtTable;
}

std::shared_ptr<stcQueue> FindQueue(MPQueueID id) {
  stcQueueTable& table = QueueTable();
  std::lock_guard<std::mutex> guard(table.m_mtxTable);
  auto found = table.m_mapQueues.find(reinterpret_cast<uintptr_t>(id));
  if (found == table.m_mapQueues.end()) return nullptr;
  return found->second;
}

struct stcTask {
  TaskProc m_fnEntry;
  void* m_ptrParameter;
  MPQueueID m_udtNotify;
  void* m_ptrTerm1;
  void* m_ptrTerm2;
};

std::atomic<OSStatus> g_intFailNextTask{0};
std::atomic<OSStatus> g_intFailNextRegion{0};
std::atomic<int> g_intLiveTasks{0};
std::atomic<uintptr_t> g_ulngNextTaskID{1};
thread_local MPTaskID t_udtCurrentTask = nullptr;

// Posts a message; a task's end carries its thread, to be joined by the wait that takes it.
OSStatus Post(MPQueueID queue, stcMessage const& message) {
  std::shared_ptr<stcQueue> record = FindQueue(queue);
  if (!record) return kMPInvalidIDErr;
  std::lock_guard<std::mutex> guard(record->m_mtxState);
  if (record->m_bolDeleted) return kMPInvalidIDErr;
  try {
    record->m_deqMessages.push_back(message);
  } catch (...) {
    return kMPInsufficientResourcesErr;
  }
  record->m_cvPosted.notify_one();
  return noErr;
}

void* TaskMain(void* raw) {
  std::unique_ptr<stcTask> task(static_cast<stcTask*>(raw));
  OSStatus result = task->m_fnEntry(task->m_ptrParameter);
  g_intLiveTasks.fetch_sub(1);
  if (task->m_udtNotify != nullptr) {
    stcMessage end{task->m_ptrTerm1, task->m_ptrTerm2, reinterpret_cast<void*>(static_cast<intptr_t>(result))};
    end.m_bolJoin = true;
    end.m_thrTask = pthread_self();
    // Nobody will take the message (the queue is gone): nobody joins the thread either.
    if (Post(task->m_udtNotify, end) != noErr) pthread_detach(pthread_self());
  }
  return nullptr;
}

struct stcTaskStart {
  stcTask* m_pudtTask;
  MPTaskID m_udtID;
};

void* TaskTrampoline(void* raw) {
  stcTaskStart start = *static_cast<stcTaskStart*>(raw);
  delete static_cast<stcTaskStart*>(raw);
  t_udtCurrentTask = start.m_udtID;
  return TaskMain(start.m_pudtTask);
}

}  // namespace

void MPTestingFailNextTaskCreation(OSStatus code) { g_intFailNextTask.store(code); }
void MPTestingFailNextRegionCreation(OSStatus code) { g_intFailNextRegion.store(code); }
int MPTestingLiveTaskCount() { return g_intLiveTasks.load(); }
OSStatus MPTakeInjectedRegionFailure() { return g_intFailNextRegion.exchange(0); }

OSStatus MPCreateTask(TaskProc entryPoint, void* parameter, ByteCount stackSize,
                      MPQueueID notifyQueue, void* terminationParameter1,
                      void* terminationParameter2, MPTaskOptions /*options*/, MPTaskID* task) {
  if (task != nullptr) *task = nullptr;
  if (entryPoint == nullptr) return kParamErr;
  if (OSStatus injected = g_intFailNextTask.exchange(0)) return injected;
  if (notifyQueue != nullptr && !FindQueue(notifyQueue)) return kMPInvalidIDErr;

  auto* record = new (std::nothrow)
      stcTask{entryPoint, parameter, notifyQueue, terminationParameter1, terminationParameter2};
  MPTaskID id = reinterpret_cast<MPTaskID>(g_ulngNextTaskID.fetch_add(1));
  auto* start = new (std::nothrow) stcTaskStart{record, id};
  if (record == nullptr || start == nullptr) {
    delete record;
    delete start;
    return kMPInsufficientResourcesErr;
  }

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  size_t stack = stackSize > kMinimumStack ? size_t(stackSize) : kMinimumStack;
  pthread_attr_setstacksize(&attr, stack);
  // A task that reports its end is joined by whoever takes the report.
  pthread_attr_setdetachstate(&attr, notifyQueue != nullptr ? PTHREAD_CREATE_JOINABLE : PTHREAD_CREATE_DETACHED);
  g_intLiveTasks.fetch_add(1);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, TaskTrampoline, start);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    g_intLiveTasks.fetch_sub(1);
    delete record;
    delete start;
    return kMPInsufficientResourcesErr;
  }
  if (task != nullptr) *task = id;
  return noErr;
}

MPTaskID MPCurrentTaskID(void) { return t_udtCurrentTask; }

OSStatus MPCreateQueue(MPQueueID* queue) {
  if (queue == nullptr) return kParamErr;
  *queue = nullptr;
  try {
    auto record = std::make_shared<stcQueue>();
    stcQueueTable& table = QueueTable();
    std::lock_guard<std::mutex> guard(table.m_mtxTable);
    uintptr_t id = table.m_ulngNextID++;
    table.m_mapQueues.emplace(id, std::move(record));
    *queue = reinterpret_cast<MPQueueID>(id);
  } catch (...) {
    return kMPInsufficientResourcesErr;
  }
  return noErr;
}

OSStatus MPDeleteQueue(MPQueueID queue) {
  std::shared_ptr<stcQueue> record;
  {
    stcQueueTable& table = QueueTable();
    std::lock_guard<std::mutex> guard(table.m_mtxTable);
    auto found = table.m_mapQueues.find(reinterpret_cast<uintptr_t>(queue));
    if (found == table.m_mapQueues.end()) return kMPInvalidIDErr;
    record = std::move(found->second);
    table.m_mapQueues.erase(found);
  }
  std::lock_guard<std::mutex> guard(record->m_mtxState);
  record->m_bolDeleted = true;
  // Ends of tasks that will never be taken now: their threads free themselves.
  for (stcMessage const& message : record->m_deqMessages) {
    if (message.m_bolJoin) pthread_detach(message.m_thrTask);
  }
  record->m_deqMessages.clear();
  record->m_cvPosted.notify_all();
  return noErr;
}

OSStatus MPNotifyQueue(MPQueueID queue, void* param1, void* param2, void* param3) {
  return Post(queue, stcMessage{param1, param2, param3});
}

OSStatus MPWaitOnQueue(MPQueueID queue, void** param1, void** param2, void** param3,
                       Duration timeout) {
  std::shared_ptr<stcQueue> record = FindQueue(queue);
  if (!record) return kMPInvalidIDErr;
  std::unique_lock<std::mutex> lock(record->m_mtxState);
  auto ready = [&record] { return record->m_bolDeleted || !record->m_deqMessages.empty(); };
  if (timeout == kDurationImmediate) {
    if (!ready()) return kMPTimeoutErr;
  } else if (timeout == kDurationForever) {
    record->m_cvPosted.wait(lock, ready);
  } else {
    auto wait = timeout > 0 ? std::chrono::microseconds(int64_t(timeout) * 1000)
                            : std::chrono::microseconds(-int64_t(timeout));
    if (!record->m_cvPosted.wait_for(lock, wait, ready)) return kMPTimeoutErr;
  }
  if (record->m_deqMessages.empty()) return kMPDeletedErr;
  stcMessage message = record->m_deqMessages.front();
  record->m_deqMessages.pop_front();
  lock.unlock();
  // A task's end: its thread posted this as its last act and is on its way out.
  if (message.m_bolJoin) pthread_join(message.m_thrTask, nullptr);
  if (param1 != nullptr) *param1 = message.m_ptrParam1;
  if (param2 != nullptr) *param2 = message.m_ptrParam2;
  if (param3 != nullptr) *param3 = message.m_ptrParam3;
  return noErr;
}
