// CFRunLoop: per-thread run loops over poll(). Each run loop keeps, per mode name, the sources
// and timers added in it, and an eventfd by which other threads wake it. A run takes a snapshot
// of its mode (retaining every object), performs what is ready, and sleeps in poll() only when
// nothing was: until a descriptor is ready, the next timer is due, a wake-up comes or the time
// is up. A loop keeps, per nesting depth of its runs, the snapshot vectors and the name of the
// mode last run, so that a run turned again and again in one mode neither allocates nor converts
// its mode's name. Never throws.
#include "platform/cf/CFRunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/cf/CFRunLoopInternal.h"

namespace {

class clsTimer;

struct stcMode {
  std::vector<clsRunLoopSourceBase*> m_vecSources;  // retained
  std::vector<clsTimer*> m_vecTimers;                // retained
};

std::string ModeName(CFStringRef mode) {
  char buffer[256];
  if (mode == nullptr || !CFStringGetCString(mode, buffer, sizeof buffer, kCFStringEncodingUTF8)) {
    return std::string();
  }
  return std::string(buffer);
}

class clsRunLoop : public CFRuntimeObject {
 public:
  clsRunLoop() : CFRuntimeObject(kCFRuntimeTypeRunLoop) {
    m_intWakeFD = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  }
  ~clsRunLoop() override;

  CFRunLoopRef Ref() { return static_cast<CFRunLoopRef>(const_cast<void*>(CFRuntimeObjectToRef(this))); }
  void WakeUp() {
    if (m_intWakeFD < 0) return;
    uint64_t one = 1;
    ssize_t written = write(m_intWakeFD, &one, sizeof one);
    (void)written;
  }
  void DrainWakeUps() {
    uint64_t count;
    while (m_intWakeFD >= 0 && read(m_intWakeFD, &count, sizeof count) > 0) {
    }
  }

  std::mutex m_mtxModes;
  std::map<std::string, stcMode> m_mapModes;
  int m_intWakeFD;
  std::atomic<bool> m_bolStop{false};

  // Used only by runs on the loop's own thread, one set per nesting depth: the name of the
  // mode last run at that depth (with the units of its string) and the
  // snapshot vectors, so that a run that turns again and again allocates and converts nothing.
  struct stcRunScratch {
    std::vector<UniChar> m_vecModeUnits;
    std::string m_strModeName;
    std::vector<clsRunLoopSourceBase*> m_vecSources;
    std::vector<clsTimer*> m_vecTimers;
    std::vector<pollfd> m_vecFDs;
    std::vector<clsRunLoopSourceBase*> m_vecPolled;
  };
  std::vector<std::unique_ptr<stcRunScratch>> m_vecScratch;
  size_t m_lngRunDepth = 0;
};

class clsTimer : public CFRuntimeObject {
 public:
  clsTimer() : CFRuntimeObject(kCFRuntimeTypeRunLoopTimer) {}
  ~clsTimer() override {
    if (m_udtContext.release != nullptr) m_udtContext.release(m_udtContext.info);
  }
  CFRunLoopTimerRef Ref() {
    return static_cast<CFRunLoopTimerRef>(const_cast<void*>(CFRuntimeObjectToRef(this)));
  }
  std::atomic<double> m_dblFireDate{0};
  double m_dblInterval = 0;
  CFRunLoopTimerCallBack m_fnCallout = nullptr;
  CFRunLoopTimerContext m_udtContext{};
  std::atomic<bool> m_bolValid{true};
  std::mutex m_mtxLoops;
  std::vector<std::pair<clsRunLoop*, std::string>> m_vecLoops;  // loops retained
};

// A source that its owner signals (version 0).
class clsSignalSource : public clsRunLoopSourceBase {
 public:
  ~clsSignalSource() override {
    if (m_udtContext.release != nullptr) m_udtContext.release(m_udtContext.info);
  }
  int PollDescriptor(short* events) override {
    *events = 0;
    return -1;
  }
  bool ReadyWithoutPoll() override { return m_bolValid.load() && m_bolSignalled.load(); }
  void Perform(short) override {
    if (!m_bolSignalled.exchange(false)) return;
    if (m_udtContext.perform != nullptr) m_udtContext.perform(m_udtContext.info);
  }
  void Scheduled(CFRunLoopRef rl, CFStringRef mode) override {
    if (m_udtContext.schedule != nullptr) m_udtContext.schedule(m_udtContext.info, rl, mode);
  }
  void Cancelled(CFRunLoopRef rl, CFStringRef mode) override {
    if (m_udtContext.cancel != nullptr) m_udtContext.cancel(m_udtContext.info, rl, mode);
  }
  bool IsValid() override { return m_bolValid.load(); }
  void Invalidate() override { m_bolValid.store(false); }

  CFRunLoopSourceContext m_udtContext{};
  std::atomic<bool> m_bolSignalled{false};
  std::atomic<bool> m_bolValid{true};
};

clsRunLoop::~clsRunLoop() {
  for (auto& entry : m_mapModes) {
    for (auto* source : entry.second.m_vecSources) CFRelease(CFRuntimeObjectToRef(source));
    for (auto* timer : entry.second.m_vecTimers) CFRelease(CFRuntimeObjectToRef(timer));
  }
  if (m_intWakeFD >= 0) close(m_intWakeFD);
}

// The mode's name as a run looks it up: the name kept from the last run at this depth when the
// string's units are the same, else converted (and kept for the next run).
std::string const& RunModeName(clsRunLoop::stcRunScratch* scratch, CFStringRef mode) {
  constexpr CFIndex kMostKept = 255;
  UniChar units[kMostKept];
  CFIndex length = mode == nullptr ? 0 : CFStringGetLength(mode);
  if (length > kMostKept) length = 0;  // not kept: converted every time
  if (length > 0) CFStringGetCharacters(mode, CFRangeMake(0, length), units);
  std::vector<UniChar>& last = scratch->m_vecModeUnits;
  if (length > 0 && size_t(length) == last.size() && std::equal(last.begin(), last.end(), units)) {
    return scratch->m_strModeName;
  }
  last.clear();
  scratch->m_strModeName = ModeName(mode);
  try {
    last.assign(units, units + length);
  } catch (...) {
    last.clear();
  }
  return scratch->m_strModeName;
}

// The snapshot vectors of a run at the loop's current nesting depth; taken back when the run ends.
class clsRunScratchUse {
 public:
  explicit clsRunScratchUse(clsRunLoop* loop) : m_pudtLoop(loop) {
    size_t depth = loop->m_lngRunDepth++;
    try {
      while (loop->m_vecScratch.size() <= depth) loop->m_vecScratch.push_back(std::make_unique<clsRunLoop::stcRunScratch>());
      m_pudtScratch = loop->m_vecScratch[depth].get();
    } catch (...) {
      m_pudtScratch = nullptr;
    }
  }
  ~clsRunScratchUse() { --m_pudtLoop->m_lngRunDepth; }
  clsRunScratchUse(clsRunScratchUse const&) = delete;
  clsRunScratchUse& operator=(clsRunScratchUse const&) = delete;
  clsRunLoop::stcRunScratch* Get() const { return m_pudtScratch; }

 private:
  clsRunLoop* m_pudtLoop;
  clsRunLoop::stcRunScratch* m_pudtScratch;
};

clsRunLoop* LoopOf(CFRunLoopRef rl) {
  if (rl == nullptr || CFGetTypeID(rl) != kCFRuntimeTypeRunLoop) return nullptr;
  return static_cast<clsRunLoop*>(const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(rl)));
}
clsRunLoopSourceBase* SourceOf(CFRunLoopSourceRef source) {
  if (source == nullptr || CFGetTypeID(source) != kCFRuntimeTypeRunLoopSource) return nullptr;
  return static_cast<clsRunLoopSourceBase*>(const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(source)));
}
clsTimer* TimerOf(CFRunLoopTimerRef timer) {
  if (timer == nullptr || CFGetTypeID(timer) != kCFRuntimeTypeRunLoopTimer) return nullptr;
  return static_cast<clsTimer*>(const_cast<CFRuntimeObject*>(CFRuntimeObjectFromRef(timer)));
}

// Which run loops and modes each source is in, so that invalidation can leave them all.
std::mutex g_mtxSourceLoops;
std::multimap<clsRunLoopSourceBase*, std::pair<clsRunLoop*, std::string>>& SourceLoops() {
  static auto* s_mapLoops = new std::multimap<clsRunLoopSourceBase*, std::pair<clsRunLoop*, std::string>>;
  return *s_mapLoops;
}

struct stcCurrentLoop {
  clsRunLoop* m_pudtLoop = nullptr;
  ~stcCurrentLoop() {
    if (m_pudtLoop != nullptr) CFRelease(CFRuntimeObjectToRef(m_pudtLoop));
  }
};
thread_local stcCurrentLoop t_udtCurrentLoop;

bool RemoveSourceFrom(clsRunLoop* loop, clsRunLoopSourceBase* source, std::string const& name) {
  std::lock_guard<std::mutex> guard(loop->m_mtxModes);
  auto found = loop->m_mapModes.find(name);
  if (found == loop->m_mapModes.end()) return false;
  auto& sources = found->second.m_vecSources;
  auto it = std::find(sources.begin(), sources.end(), source);
  if (it == sources.end()) return false;
  sources.erase(it);
  return true;
}

void RemoveTimerFrom(clsRunLoop* loop, clsTimer* timer, std::string const& name) {
  bool removed = false;
  {
    std::lock_guard<std::mutex> guard(loop->m_mtxModes);
    auto found = loop->m_mapModes.find(name);
    if (found != loop->m_mapModes.end()) {
      auto& timers = found->second.m_vecTimers;
      auto it = std::find(timers.begin(), timers.end(), timer);
      if (it != timers.end()) {
        timers.erase(it);
        removed = true;
      }
    }
  }
  if (removed) CFRelease(CFRuntimeObjectToRef(timer));
}

}  // namespace

CFStringRef const kCFRunLoopDefaultMode =
    CFStringCreateWithCString(nullptr, "kCFRunLoopDefaultMode", kCFStringEncodingUTF8);

CFRunLoopRef CFRunLoopGetCurrent(void) {
  if (t_udtCurrentLoop.m_pudtLoop == nullptr) {
    t_udtCurrentLoop.m_pudtLoop = new (std::nothrow) clsRunLoop;
    if (t_udtCurrentLoop.m_pudtLoop == nullptr) return nullptr;
  }
  return t_udtCurrentLoop.m_pudtLoop->Ref();
}

void CFRunLoopWakeUp(CFRunLoopRef rl) {
  if (clsRunLoop* loop = LoopOf(rl)) loop->WakeUp();
}

void CFRunLoopStop(CFRunLoopRef rl) {
  if (clsRunLoop* loop = LoopOf(rl)) {
    loop->m_bolStop.store(true);
    loop->WakeUp();
  }
}

SInt32 CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled) {
  (void)returnAfterSourceHandled;  // every run returns after a pass that delivered something
  clsRunLoop* loop = LoopOf(CFRunLoopGetCurrent());
  if (loop == nullptr) return kCFRunLoopRunFinished;
  clsRunScratchUse scratch(loop);
  if (scratch.Get() == nullptr) return kCFRunLoopRunFinished;
  std::string const& name = RunModeName(scratch.Get(), mode);
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::microseconds(int64_t(std::max(0.0, seconds) * 1e6));
  loop->m_bolStop.store(false);

  std::vector<clsRunLoopSourceBase*>& sources = scratch.Get()->m_vecSources;
  std::vector<clsTimer*>& timers = scratch.Get()->m_vecTimers;
  std::vector<pollfd>& fds = scratch.Get()->m_vecFDs;
  std::vector<clsRunLoopSourceBase*>& polled = scratch.Get()->m_vecPolled;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(loop->m_mtxModes);
      auto found = loop->m_mapModes.find(name);
      if (found == loop->m_mapModes.end() ||
          (found->second.m_vecSources.empty() && found->second.m_vecTimers.empty())) {
        return kCFRunLoopRunFinished;
      }
      try {
        sources.assign(found->second.m_vecSources.begin(), found->second.m_vecSources.end());
        timers.assign(found->second.m_vecTimers.begin(), found->second.m_vecTimers.end());
      } catch (...) {
        return kCFRunLoopRunFinished;
      }
    }
    for (auto* source : sources) CFRetain(CFRuntimeObjectToRef(source));
    for (auto* timer : timers) CFRetain(CFRuntimeObjectToRef(timer));

    bool delivered = false;
    // Signalled sources and sources with something pending.
    for (auto* source : sources) {
      if (source->IsValid() && source->ReadyWithoutPoll()) {
        source->Perform(0);
        delivered = true;
      }
    }
    // Due timers; the earliest future fire date bounds the sleep.
    double now = CFAbsoluteTimeGetCurrent();
    double nextFire = HUGE_VAL;
    for (auto* timer : timers) {
      if (!timer->m_bolValid.load()) continue;
      double fire = timer->m_dblFireDate.load();
      if (fire <= now) {
        if (timer->m_dblInterval > 0) {
          double next = fire + timer->m_dblInterval;
          if (next <= now) next = now + timer->m_dblInterval;
          timer->m_dblFireDate.store(next);
        }
        if (timer->m_fnCallout != nullptr) timer->m_fnCallout(timer->Ref(), timer->m_udtContext.info);
        if (timer->m_dblInterval <= 0) CFRunLoopTimerInvalidate(timer->Ref());
        delivered = true;
        fire = timer->m_dblFireDate.load();
      }
      if (timer->m_bolValid.load()) nextFire = std::min(nextFire, fire);
    }

    // Descriptors: wait only when nothing was delivered in this pass.
    fds.clear();
    polled.clear();
    fds.push_back(pollfd{loop->m_intWakeFD, POLLIN, 0});
    for (auto* source : sources) {
      short events = 0;
      int fd = source->IsValid() ? source->PollDescriptor(&events) : -1;
      if (fd < 0 || events == 0) continue;
      fds.push_back(pollfd{fd, events, 0});
      polled.push_back(source);
    }
    int waitMs = 0;
    if (!delivered && !loop->m_bolStop.load()) {
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                      deadline - std::chrono::steady_clock::now()).count();
      double waitUs = std::max<double>(0, double(left));
      if (nextFire != HUGE_VAL) waitUs = std::min(waitUs, std::max(0.0, (nextFire - now) * 1e6));
      waitMs = int(std::ceil(waitUs / 1000.0));
    }
    int ready = poll(fds.data(), fds.size(), waitMs);
    if (ready > 0) {
      if (fds[0].revents != 0) loop->DrainWakeUps();
      for (size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        clsRunLoopSourceBase* source = polled[i - 1];
        if (!source->IsValid()) continue;
        source->Perform(fds[i].revents);
        delivered = true;
      }
    }
    for (auto* source : sources) CFRelease(CFRuntimeObjectToRef(source));
    for (auto* timer : timers) CFRelease(CFRuntimeObjectToRef(timer));

    if (loop->m_bolStop.exchange(false)) return kCFRunLoopRunStopped;
    if (delivered) return kCFRunLoopRunHandledSource;
    if (std::chrono::steady_clock::now() >= deadline) return kCFRunLoopRunTimedOut;
  }
}

// ---- sources ----

CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef, CFIndex, CFRunLoopSourceContext* context) {
  if (context == nullptr) return nullptr;
  auto* source = new (std::nothrow) clsSignalSource;
  if (source == nullptr) return nullptr;
  source->m_udtContext = *context;
  if (context->retain != nullptr) source->m_udtContext.info = const_cast<void*>(context->retain(context->info));
  return static_cast<CFRunLoopSourceRef>(const_cast<void*>(CFRuntimeObjectToRef(source)));
}

void CFRunLoopSourceSignal(CFRunLoopSourceRef source) {
  auto* base = SourceOf(source);
  if (auto* signal = dynamic_cast<clsSignalSource*>(base)) signal->m_bolSignalled.store(true);
}

Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source) {
  auto* base = SourceOf(source);
  return base != nullptr && base->IsValid();
}

void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source) {
  auto* base = SourceOf(source);
  if (base == nullptr) return;
  base->Invalidate();
  std::vector<std::pair<clsRunLoop*, std::string>> loops;
  {
    std::lock_guard<std::mutex> guard(g_mtxSourceLoops);
    auto range = SourceLoops().equal_range(base);
    for (auto it = range.first; it != range.second; ++it) loops.push_back(it->second);
    SourceLoops().erase(base);
  }
  for (auto& entry : loops) {
    if (RemoveSourceFrom(entry.first, base, entry.second)) {
      CFStringRef mode = CFStringCreateWithCString(nullptr, entry.second.c_str(), kCFStringEncodingUTF8);
      base->Cancelled(entry.first->Ref(), mode);
      CFRelease(mode);
      CFRelease(CFRuntimeObjectToRef(base));
    }
    CFRelease(CFRuntimeObjectToRef(entry.first));
  }
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode) {
  clsRunLoop* loop = LoopOf(rl);
  auto* base = SourceOf(source);
  if (loop == nullptr || base == nullptr || !base->IsValid()) return;
  std::string name = ModeName(mode);
  {
    std::lock_guard<std::mutex> guard(loop->m_mtxModes);
    auto& sources = loop->m_mapModes[name].m_vecSources;
    if (std::find(sources.begin(), sources.end(), base) != sources.end()) return;
    sources.push_back(base);
  }
  CFRetain(source);
  {
    std::lock_guard<std::mutex> guard(g_mtxSourceLoops);
    SourceLoops().emplace(base, std::make_pair(loop, name));
  }
  CFRetain(rl);
  base->Scheduled(rl, mode);
  loop->WakeUp();
}

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode) {
  clsRunLoop* loop = LoopOf(rl);
  auto* base = SourceOf(source);
  if (loop == nullptr || base == nullptr) return;
  std::string name = ModeName(mode);
  if (!RemoveSourceFrom(loop, base, name)) return;
  bool found = false;
  {
    std::lock_guard<std::mutex> guard(g_mtxSourceLoops);
    auto range = SourceLoops().equal_range(base);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second.first == loop && it->second.second == name) {
        SourceLoops().erase(it);
        found = true;
        break;
      }
    }
  }
  base->Cancelled(rl, mode);
  CFRelease(source);
  if (found) CFRelease(rl);
}

Boolean CFRunLoopContainsSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFStringRef mode) {
  clsRunLoop* loop = LoopOf(rl);
  auto* base = SourceOf(source);
  if (loop == nullptr || base == nullptr) return false;
  std::lock_guard<std::mutex> guard(loop->m_mtxModes);
  auto found = loop->m_mapModes.find(ModeName(mode));
  if (found == loop->m_mapModes.end()) return false;
  auto& sources = found->second.m_vecSources;
  return std::find(sources.begin(), sources.end(), base) != sources.end();
}

// ---- timers ----

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval,
                                       CFOptionFlags, CFIndex, CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context) {
  auto* timer = new (std::nothrow) clsTimer;
  if (timer == nullptr) return nullptr;
  timer->m_dblFireDate.store(fireDate);
  timer->m_dblInterval = interval;
  timer->m_fnCallout = callout;
  if (context != nullptr) {
    timer->m_udtContext = *context;
    if (context->retain != nullptr) timer->m_udtContext.info = const_cast<void*>(context->retain(context->info));
  }
  return timer->Ref();
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timerRef) {
  clsTimer* timer = TimerOf(timerRef);
  if (timer == nullptr) return;
  timer->m_bolValid.store(false);
  std::vector<std::pair<clsRunLoop*, std::string>> loops;
  {
    std::lock_guard<std::mutex> guard(timer->m_mtxLoops);
    loops.swap(timer->m_vecLoops);
  }
  CFRetain(timerRef);
  for (auto& entry : loops) {
    RemoveTimerFrom(entry.first, timer, entry.second);
    CFRelease(CFRuntimeObjectToRef(entry.first));
  }
  CFRelease(timerRef);
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timerRef) {
  clsTimer* timer = TimerOf(timerRef);
  return timer != nullptr && timer->m_bolValid.load();
}

CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timerRef) {
  clsTimer* timer = TimerOf(timerRef);
  return timer == nullptr ? 0 : timer->m_dblFireDate.load();
}

void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timerRef, CFAbsoluteTime fireDate) {
  clsTimer* timer = TimerOf(timerRef);
  if (timer == nullptr) return;
  timer->m_dblFireDate.store(fireDate);
  std::lock_guard<std::mutex> guard(timer->m_mtxLoops);
  for (auto& entry : timer->m_vecLoops) entry.first->WakeUp();
}

void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timerRef, CFStringRef mode) {
  clsRunLoop* loop = LoopOf(rl);
  clsTimer* timer = TimerOf(timerRef);
  if (loop == nullptr || timer == nullptr || !timer->m_bolValid.load()) return;
  std::string name = ModeName(mode);
  {
    std::lock_guard<std::mutex> guard(loop->m_mtxModes);
    auto& timers = loop->m_mapModes[name].m_vecTimers;
    if (std::find(timers.begin(), timers.end(), timer) != timers.end()) return;
    timers.push_back(timer);
  }
  CFRetain(timerRef);
  {
    std::lock_guard<std::mutex> guard(timer->m_mtxLoops);
    timer->m_vecLoops.emplace_back(loop, name);
  }
  CFRetain(rl);
  loop->WakeUp();
}

void CFRunLoopRemoveTimer(CFRunLoopRef rl, CFRunLoopTimerRef timerRef, CFStringRef mode) {
  clsRunLoop* loop = LoopOf(rl);
  clsTimer* timer = TimerOf(timerRef);
  if (loop == nullptr || timer == nullptr) return;
  std::string name = ModeName(mode);
  bool known = false;
  {
    std::lock_guard<std::mutex> guard(timer->m_mtxLoops);
    auto& loops = timer->m_vecLoops;
    for (auto it = loops.begin(); it != loops.end(); ++it) {
      if (it->first == loop && it->second == name) {
        loops.erase(it);
        known = true;
        break;
      }
    }
  }
  if (!known) return;
  RemoveTimerFrom(loop, timer, name);
  CFRelease(rl);
}
