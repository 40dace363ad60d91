// Multiprocessing: critical regions as recursive locks with timed waits.
// Ids are numbers handed out from a counter and looked up in a process-wide table, so a stale or
// made-up id is refused instead of being dereferenced. Each region has its own mutex and
// condition variable; waiters sleep on it until the holder leaves, the region is deleted or the
// wait runs out. Never throws.
#include "platform/mp/Multiprocessing.h"
#include "platform/mp/MultiprocessingTesting.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

namespace {

constexpr OSStatus kParamErr = -50;

struct stcRegion {
  std::mutex m_mtxState;
  std::condition_variable m_cvFree;
  std::thread::id m_thrOwner;
  uint32_t m_ulngDepth = 0;  // entries of the owner not yet exited; 0 when free
  bool m_bolDeleted = false;
};

struct stcRegionTable {
  std::mutex m_mtxTable;
  std::unordered_map<uintptr_t, std::shared_ptr<stcRegion>> m_mapRegions;
  uintptr_t m_ulngNextID = 1;
};

// Never destroyed, so regions may still be used from threads that outlive static destruction.
stcRegionTable& RegionTable() {
  static stcRegionTable* s_udtTable = new stcRegionTable;
  return *s_udtTable;
}

std::shared_ptr<stcRegion> FindRegion(MPCriticalRegionID id) {
  stcRegionTable& table = RegionTable();
  std::lock_guard<std::mutex> guard(table.m_mtxTable);
  auto found = table.m_mapRegions.find(reinterpret_cast<uintptr_t>(id));
  if (found == table.m_mapRegions.end()) return nullptr;
  return found->second;
}

}  // namespace

OSStatus MPCreateCriticalRegion(MPCriticalRegionID* criticalRegion) {
  if (criticalRegion == nullptr) return kParamErr;
  *criticalRegion = nullptr;
  if (OSStatus injected = MPTakeInjectedRegionFailure()) return injected;
  try {
    auto region = std::make_shared<stcRegion>();
    stcRegionTable& table = RegionTable();
    std::lock_guard<std::mutex> guard(table.m_mtxTable);
    uintptr_t id = table.m_ulngNextID++;
    if (table.m_ulngNextID == 0) table.m_ulngNextID = 1;  // 0 stays "no region"
    table.m_mapRegions.emplace(id, std::move(region));
    *criticalRegion = reinterpret_cast<MPCriticalRegionID>(id);
  } catch (...) {
    return kMPInsufficientResourcesErr;
  }
  return noErr;
}

OSStatus MPDeleteCriticalRegion(MPCriticalRegionID criticalRegion) {
  std::shared_ptr<stcRegion> region;
  {
    stcRegionTable& table = RegionTable();
    std::lock_guard<std::mutex> guard(table.m_mtxTable);
    auto found = table.m_mapRegions.find(reinterpret_cast<uintptr_t>(criticalRegion));
    if (found == table.m_mapRegions.end()) return kMPInvalidIDErr;
    region = std::move(found->second);
    table.m_mapRegions.erase(found);
  }
  std::lock_guard<std::mutex> guard(region->m_mtxState);
  region->m_bolDeleted = true;
  region->m_cvFree.notify_all();
  return noErr;
}

OSStatus MPEnterCriticalRegion(MPCriticalRegionID criticalRegion, Duration timeout) {
  std::shared_ptr<stcRegion> region = FindRegion(criticalRegion);
  if (!region) return kMPInvalidIDErr;

  std::unique_lock<std::mutex> lock(region->m_mtxState);
  if (region->m_bolDeleted) return kMPInvalidIDErr;  // deleted since the lookup
  std::thread::id self = std::this_thread::get_id();
  if (region->m_ulngDepth > 0 && region->m_thrOwner == self) {
    ++region->m_ulngDepth;
    return noErr;
  }

  auto freeOrGone = [&region] { return region->m_bolDeleted || region->m_ulngDepth == 0; };
  if (timeout == kDurationImmediate) {
    if (!freeOrGone()) return kMPTimeoutErr;
  } else if (timeout == kDurationForever) {
    region->m_cvFree.wait(lock, freeOrGone);
  } else {
    auto wait = timeout > 0 ? std::chrono::microseconds(int64_t(timeout) * 1000)
                            : std::chrono::microseconds(-int64_t(timeout));
    auto deadline = std::chrono::steady_clock::now() + wait;
    if (!region->m_cvFree.wait_until(lock, deadline, freeOrGone)) return kMPTimeoutErr;
  }
  if (region->m_bolDeleted) return kMPDeletedErr;

  region->m_thrOwner = self;
  region->m_ulngDepth = 1;
  return noErr;
}

OSStatus MPExitCriticalRegion(MPCriticalRegionID criticalRegion) {
  std::shared_ptr<stcRegion> region = FindRegion(criticalRegion);
  if (!region) return kMPInvalidIDErr;

  std::lock_guard<std::mutex> guard(region->m_mtxState);
  if (region->m_ulngDepth == 0 || region->m_thrOwner != std::this_thread::get_id()) {
    return kMPInsufficientResourcesErr;
  }
  if (--region->m_ulngDepth == 0) {
    region->m_thrOwner = std::thread::id();
    region->m_cvFree.notify_one();
  }
  return noErr;
}
