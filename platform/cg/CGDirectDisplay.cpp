// CGDirectDisplay: a list of display bounds under one lock; the first is the main display.
#include "platform/cg/CGDirectDisplay.h"

#include <mutex>
#include <vector>

namespace {

struct stcDisplay {
  CGDirectDisplayID m_ulngID;
  CGRect m_udtBounds;
};

struct stcDisplayState {
  std::mutex m_mtxLock;
  std::vector<stcDisplay> m_vecDisplays;
  CGDirectDisplayID m_ulngNextID = 2;
};

std::vector<stcDisplay> MainOnly() { return {stcDisplay{1, CGRectMake(0, 0, 1440, 900)}}; }

stcDisplayState& State() {
  static stcDisplayState* s_pState = [] {
    stcDisplayState* state = new stcDisplayState;
    state->m_vecDisplays = MainOnly();
    return state;
  }();
  return *s_pState;
}

}  // namespace

CGDirectDisplayID CGMainDisplayID(void) { return 1; }

CGError CGGetActiveDisplayList(uint32_t maxDisplays, CGDirectDisplayID* activeDisplays,
                               uint32_t* displayCount) {
  stcDisplayState& state = State();
  std::lock_guard<std::mutex> lock(state.m_mtxLock);
  uint32_t count = 0;
  for (stcDisplay const& display : state.m_vecDisplays) {
    if (activeDisplays != nullptr && count < maxDisplays) activeDisplays[count] = display.m_ulngID;
    if (activeDisplays == nullptr || count < maxDisplays) ++count;
  }
  if (displayCount != nullptr) *displayCount = count;
  return kCGErrorSuccess;
}

CGError CGGetDisplaysWithPoint(CGPoint point, uint32_t maxDisplays, CGDirectDisplayID* displays,
                               uint32_t* matchingDisplayCount) {
  stcDisplayState& state = State();
  std::lock_guard<std::mutex> lock(state.m_mtxLock);
  uint32_t count = 0;
  for (stcDisplay const& display : state.m_vecDisplays) {
    if (!CGRectContainsPoint(display.m_udtBounds, point)) continue;
    if (displays != nullptr && count < maxDisplays) displays[count] = display.m_ulngID;
    if (displays == nullptr || count < maxDisplays) ++count;
  }
  if (matchingDisplayCount != nullptr) *matchingDisplayCount = count;
  return kCGErrorSuccess;
}

CGRect CGDisplayBounds(CGDirectDisplayID display) {
  stcDisplayState& state = State();
  std::lock_guard<std::mutex> lock(state.m_mtxLock);
  for (stcDisplay const& entry : state.m_vecDisplays) {
    if (entry.m_ulngID == display) return entry.m_udtBounds;
  }
  return CGRectMake(0, 0, 0, 0);
}

CGDirectDisplayID CGDisplayAddForTesting(CGRect bounds) {
  stcDisplayState& state = State();
  std::lock_guard<std::mutex> lock(state.m_mtxLock);
  CGDirectDisplayID const id = state.m_ulngNextID++;
  state.m_vecDisplays.push_back(stcDisplay{id, bounds});
  return id;
}

void CGDisplayResetForTesting(void) {
  stcDisplayState& state = State();
  std::lock_guard<std::mutex> lock(state.m_mtxLock);
  state.m_vecDisplays = MainOnly();
}
