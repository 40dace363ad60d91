// TickCount counts sixtieths of a second of the monotonic clock, wrapping at 32 bits: a reading
// lies between the monotonic clock's tick counts taken just before and just after it.
#include "platform/carbon/Events.h"

#include <gtest/gtest.h>
#include <time.h>

namespace {

UInt32 MonotonicTicks() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return UInt32(uint64_t(now.tv_sec) * 60u + uint64_t(now.tv_nsec) / 16666667u);
}

TEST(EventsTest, TickCountIsTheMonotonicClockInSixtieths) {
  for (int i = 0; i < 3; ++i) {
    UInt32 before = MonotonicTicks();
    UInt32 ticks = TickCount();
    UInt32 after = MonotonicTicks();
    // Unsigned differences stay right across the wrap; the rounding of the two may differ by one.
    EXPECT_LE(UInt32(ticks - before + 1), UInt32(after - before + 2));
  }
}

}  // namespace
