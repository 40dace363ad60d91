// One platform per process: a library loaded with dlopen, as the host loads the plug-in, sees the
// program's resource chain, FSRef table, event queue, critical regions and bundle registry, not
// copies of its own. The library is tests/platform/probe/SharedPlatformProbe.cpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/ResourceFile.h"
#include "platform/carbon/Resources.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFString.h"
#include "probe/SharedPlatformProbe.h"
#include "support/TempFileSystemRoot.h"

namespace {

constexpr ResType kProbeType = MakeFourCharCode("PRBE");
constexpr UInt32 kProbeClass = MakeFourCharCode("prbe");

class SharedPlatformTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeRoot("velmora-shared", {"/Data"}));
    ASSERT_EQ(InstallRoot(), noErr);
  }
  void TearDown() override {
    if (m_intResFile != kResFileNotOpened) CloseResFile(m_intResFile);
    if (m_idRegion != nullptr) {
      MPExitCriticalRegion(m_idRegion);
      MPDeleteCriticalRegion(m_idRegion);
    }
    FlushEventQueue(GetMainEventQueue());
    if (m_ptrLibrary != nullptr) dlclose(m_ptrLibrary);
    RemoveRoot();
  }

  ResFileRefNum m_intResFile = kResFileNotOpened;
  MPCriticalRegionID m_idRegion = nullptr;
  void* m_ptrLibrary = nullptr;
};

TEST_F(SharedPlatformTest, LoadedLibrarySeesTheProgramsPlatformState) {
  stcSharedPlatformProbe probe{};

  clsResourceFileWriter writer;
  writer.AddResource(kProbeType, 128, "from the host", 13);
  ASSERT_TRUE(writer.WriteToPath(Real("/Data/Probe.rsrc").c_str())) << writer.ErrorString();
  ASSERT_EQ(OpenResourceFileAtPath(Real("/Data/Probe.rsrc").c_str(), &m_intResFile), noErr);
  probe.m_ulngResourceType = kProbeType;
  probe.m_intResourceID = 128;

  Write("/Data/Letter.txt", "x");
  ASSERT_EQ(FSPathMakeRef(reinterpret_cast<UInt8 const*>("/Data/Letter.txt"), &probe.m_udtFileRef,
                          nullptr),
            noErr);

  EventRef event = nullptr;
  ASSERT_EQ(CreateEvent(kCFAllocatorDefault, kProbeClass, 7, 0, kEventAttributeNone, &event), noErr);
  ASSERT_EQ(PostEventToQueue(GetMainEventQueue(), event, kEventPriorityStandard), noErr);
  ReleaseEvent(event);
  probe.m_ulngEventClass = kProbeClass;
  probe.m_ulngEventKind = 7;

  ASSERT_EQ(MPCreateCriticalRegion(&m_idRegion), noErr);
  ASSERT_EQ(MPEnterCriticalRegion(m_idRegion, kDurationForever), noErr);
  probe.m_idRegion = m_idRegion;

  CFStringRef identifier = CFStringCreateWithCString(
      kCFAllocatorDefault, "com.example.velmora.probe-host", kCFStringEncodingUTF8);
  bool registered = CFBundleRegisterForAddress(identifier, reinterpret_cast<void const*>(&dlopen));
  CFRelease(identifier);
  ASSERT_TRUE(registered);
  probe.m_strBundleID = "com.example.velmora.probe-host";

  m_ptrLibrary = dlopen(VELMORA_PLATFORM_PROBE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(m_ptrLibrary, nullptr) << dlerror();
  auto probeProc =
      reinterpret_cast<ProbeSharedPlatformProc>(dlsym(m_ptrLibrary, "ProbeSharedPlatform"));
  ASSERT_NE(probeProc, nullptr) << dlerror();
  probeProc(&probe);

  EXPECT_EQ(probe.m_intCurResFile, m_intResFile);
  EXPECT_STREQ(probe.m_chrResourceText, "from the host");
  EXPECT_EQ(probe.m_intRefNameStatus, noErr);
  EXPECT_STREQ(probe.m_chrRefName, "Letter.txt");
  EXPECT_EQ(probe.m_intEventStatus, noErr);
  EXPECT_EQ(probe.m_ulngEventKindSeen, 7u);
  EXPECT_EQ(GetNumEventsInQueue(GetMainEventQueue()), 0u);  // the library took it off our queue
  EXPECT_EQ(probe.m_intRegionStatus, noErr);
  EXPECT_TRUE(probe.m_bolBundleFound);
}

}  // namespace
