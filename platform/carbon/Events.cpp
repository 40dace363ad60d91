// Events: TickCount over CLOCK_MONOTONIC, truncated to whole ticks of 1/60 s.
#include "platform/carbon/Events.h"

#include <time.h>

UInt32 TickCount(void) {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // 64-bit arithmetic first, then the platform's wrap-around at 32 bits.
  uint64_t const ticks = uint64_t(now.tv_sec) * 60u + uint64_t(now.tv_nsec) * 60u / 1000000000u;
  return UInt32(ticks);
}
