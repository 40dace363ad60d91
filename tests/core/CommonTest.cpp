// Tests of the common shut-down: everything it frees is back in its initial state, a second
// call changes nothing, a call without a prior InitDebug leaves the debug globals alone, and
// the debug log can be started again afterwards.
#include "core/Common.h"

#include <gtest/gtest.h>

#include "core/DebugLog.h"
#include "core/UniConverter.h"
#include "core/clsParameterExtractor.h"
#include "files/XFileSpec.h"
#include "platform/mp/Multiprocessing.h"

TEST(Common, ShutdownFreesEverythingOnceAndLeavesAnOffLogAlone) {
  // Without a prior InitDebug the debug globals are not touched, not even a stray lock.
  ASSERT_FALSE(g_bolDebugInitialized);
  MPCriticalRegionID stray = nullptr;
  ASSERT_EQ(noErr, MPCreateCriticalRegion(&stray));
  g_udtDebugLock = stray;
  g_intDebugLevel = kDebugResult;
  ShutdownCommon();
  EXPECT_EQ(stray, g_udtDebugLock);
  EXPECT_EQ(kDebugResult, g_intDebugLevel);
  g_udtDebugLock = nullptr;
  EXPECT_EQ(noErr, MPDeleteCriticalRegion(stray));
  g_intDebugLevel = kDebugNone;

  StartupCommon();
  InitDebug();
  ASSERT_TRUE(CreateParameterExtractor());
  bool const converters = GetUniConverter(2) != nullptr;
  XFileSpec::GetVolumeNames(nullptr);

  for (int round = 0; round < 2; ++round) {
    ShutdownCommon();
    EXPECT_EQ(nullptr, g_udtPE) << round;
    EXPECT_EQ(nullptr, XFileSpec::m_ulstVolNames) << round;
    EXPECT_EQ(nullptr, g_udtTopUniConverter) << round << " converters were loaded: " << converters;
    EXPECT_FALSE(g_bolDebugInitialized) << round;
    EXPECT_EQ(nullptr, g_ulstDebugBackLog) << round;
    EXPECT_EQ(nullptr, g_udtDebugLock) << round;
  }
  DebugOutput(kDebugError, UniString("after shutdown"));

  // Ready for another start-up.
  InitDebug();
  ASSERT_NE(nullptr, g_ulstDebugBackLog);
  EXPECT_EQ(3u, g_ulstDebugBackLog->Count());
  EXPECT_NE(nullptr, g_udtDebugLock);
  ShutdownCommon();
}
