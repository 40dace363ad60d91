// Tests of the critical regions: try and timed wait against a holder on another thread,
// recursion by the holder, deletion and bad ids. Threads meet through promises, never sleeps.
#include "platform/mp/Multiprocessing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Holds the region on its own thread from Start until Release.
class clsHolder {
 public:
  explicit clsHolder(MPCriticalRegionID region) : m_udtRegion(region) {}
  ~clsHolder() {
    Release();
    if (m_thrHolder.joinable()) m_thrHolder.join();
  }
  OSStatus Start() {
    std::future<OSStatus> result = m_prmEntered.get_future();
    m_thrHolder = std::thread([this] {
      m_prmEntered.set_value(MPEnterCriticalRegion(m_udtRegion, kDurationForever));
      m_futRelease.wait();
      m_intExitResult = MPExitCriticalRegion(m_udtRegion);
    });
    return result.get();
  }
  void Release() {
    if (!m_bolReleased) m_prmRelease.set_value();
    m_bolReleased = true;
  }
  OSStatus Join() {
    Release();
    m_thrHolder.join();
    return m_intExitResult;
  }

 private:
  MPCriticalRegionID m_udtRegion;
  std::thread m_thrHolder;
  std::promise<OSStatus> m_prmEntered;
  std::promise<void> m_prmRelease;
  std::shared_future<void> m_futRelease = m_prmRelease.get_future().share();
  bool m_bolReleased = false;
  OSStatus m_intExitResult = -1;
};

}  // namespace

TEST(MultiprocessingTest, TryAndTimedWaitAgainstAnotherHolder) {
  MPCriticalRegionID region = nullptr;
  ASSERT_EQ(noErr, MPCreateCriticalRegion(&region));
  ASSERT_NE(nullptr, region);
  {
    clsHolder holder(region);
    ASSERT_EQ(noErr, holder.Start());

    EXPECT_EQ(kMPTimeoutErr, MPEnterCriticalRegion(region, kDurationImmediate));
    auto start = Clock::now();
    EXPECT_EQ(kMPTimeoutErr, MPEnterCriticalRegion(region, 30 * kDurationMillisecond));
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(30));
    EXPECT_LT(waited, std::chrono::seconds(5));
    start = Clock::now();
    EXPECT_EQ(kMPTimeoutErr, MPEnterCriticalRegion(region, 2000 * kDurationMicrosecond));
    EXPECT_GE(Clock::now() - start, std::chrono::microseconds(2000));
    // Not the holder: leaving is refused and changes nothing.
    EXPECT_EQ(kMPInsufficientResourcesErr, MPExitCriticalRegion(region));

    // A timed wait started while the region is held succeeds once the holder leaves.
    auto waiter = std::async(std::launch::async, [region] {
      OSStatus status = MPEnterCriticalRegion(region, 10000 * kDurationMillisecond);
      if (status == noErr) MPExitCriticalRegion(region);
      return status;
    });
    EXPECT_EQ(noErr, holder.Join());
    EXPECT_EQ(noErr, waiter.get());
  }
  EXPECT_EQ(noErr, MPEnterCriticalRegion(region, kDurationImmediate));
  EXPECT_EQ(noErr, MPExitCriticalRegion(region));
  EXPECT_EQ(noErr, MPDeleteCriticalRegion(region));
}

TEST(MultiprocessingTest, HolderMayEnterAgainAndMustExitAsOften) {
  MPCriticalRegionID region = nullptr;
  ASSERT_EQ(noErr, MPCreateCriticalRegion(&region));
  ASSERT_EQ(noErr, MPEnterCriticalRegion(region, kDurationForever));
  ASSERT_EQ(noErr, MPEnterCriticalRegion(region, kDurationImmediate));
  ASSERT_EQ(noErr, MPEnterCriticalRegion(region, 5 * kDurationMillisecond));

  auto tryFromOtherThread = [region] {
    return std::async(std::launch::async, [region] {
      OSStatus status = MPEnterCriticalRegion(region, kDurationImmediate);
      if (status == noErr) MPExitCriticalRegion(region);
      return status;
    }).get();
  };
  for (int level = 3; level > 0; --level) {
    EXPECT_EQ(kMPTimeoutErr, tryFromOtherThread()) << "still held at level " << level;
    EXPECT_EQ(noErr, MPExitCriticalRegion(region));
  }
  EXPECT_EQ(noErr, tryFromOtherThread());
  EXPECT_EQ(kMPInsufficientResourcesErr, MPExitCriticalRegion(region));  // one exit too many
  EXPECT_EQ(noErr, MPDeleteCriticalRegion(region));
}

TEST(MultiprocessingTest, DeletionAndBadIds) {
  EXPECT_NE(noErr, MPCreateCriticalRegion(nullptr));
  EXPECT_EQ(kMPInvalidIDErr, MPEnterCriticalRegion(nullptr, kDurationImmediate));
  EXPECT_EQ(kMPInvalidIDErr, MPExitCriticalRegion(nullptr));
  EXPECT_EQ(kMPInvalidIDErr, MPDeleteCriticalRegion(nullptr));

  MPCriticalRegionID first = nullptr;
  MPCriticalRegionID second = nullptr;
  ASSERT_EQ(noErr, MPCreateCriticalRegion(&first));
  ASSERT_EQ(noErr, MPCreateCriticalRegion(&second));
  EXPECT_NE(first, second);

  // A waiter on a region that is deleted under it comes back without the region.
  clsHolder holder(first);
  ASSERT_EQ(noErr, holder.Start());
  std::promise<void> waiting;
  auto waiter = std::async(std::launch::async, [first, &waiting] {
    waiting.set_value();
    return MPEnterCriticalRegion(first, kDurationForever);
  });
  waiting.get_future().wait();
  EXPECT_EQ(noErr, MPDeleteCriticalRegion(first));
  OSStatus waited = waiter.get();
  EXPECT_TRUE(waited == kMPDeletedErr || waited == kMPInvalidIDErr) << waited;
  EXPECT_EQ(kMPInvalidIDErr, holder.Join());  // the holder's exit meets a deleted region

  EXPECT_EQ(kMPInvalidIDErr, MPEnterCriticalRegion(first, kDurationImmediate));
  EXPECT_EQ(kMPInvalidIDErr, MPDeleteCriticalRegion(first));
  // The other region is untouched.
  EXPECT_EQ(noErr, MPEnterCriticalRegion(second, kDurationImmediate));
  EXPECT_EQ(noErr, MPExitCriticalRegion(second));
  EXPECT_EQ(noErr, MPDeleteCriticalRegion(second));
}
