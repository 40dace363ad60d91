// SharedPlatformProbe: the loaded side of the one-platform-per-process test. Looks at the
// program's resource chain, FSRef table, event queue, critical region and bundle registry
// through the ordinary platform calls and writes down what it saw.
#include "SharedPlatformProbe.h"

#include <algorithm>
#include <cstring>

#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/Resources.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFString.h"

extern "C" __attribute__((visibility("default"))) void ProbeSharedPlatform(
    stcSharedPlatformProbe* probe) {
  probe->m_intCurResFile = CurResFile();
  probe->m_chrResourceText[0] = '\0';
  Handle handle = GetResource(probe->m_ulngResourceType, probe->m_intResourceID);
  if (handle != nullptr && *handle != nullptr) {
    Size size = GetResourceSizeOnDisk(handle);
    size_t count = size < 0 ? 0 : std::min(size_t(size), sizeof(probe->m_chrResourceText) - 1);
    std::memcpy(probe->m_chrResourceText, *handle, count);
    probe->m_chrResourceText[count] = '\0';
  }

  HFSUniStr255 name{};
  probe->m_intRefNameStatus =
      FSGetCatalogInfo(&probe->m_udtFileRef, kFSCatInfoNone, nullptr, &name, nullptr, nullptr);
  size_t units = std::min(size_t(name.length), sizeof(probe->m_chrRefName) - 1);
  for (size_t i = 0; i < units; ++i) probe->m_chrRefName[i] = char(name.unicode[i]);
  probe->m_chrRefName[units] = '\0';

  EventTypeSpec spec = {probe->m_ulngEventClass, probe->m_ulngEventKind};
  EventRef event = nullptr;
  probe->m_intEventStatus = ReceiveNextEvent(1, &spec, kEventDurationNoWait, TRUE, &event);
  probe->m_ulngEventKindSeen = 0;
  if (probe->m_intEventStatus == noErr) {
    probe->m_ulngEventKindSeen = GetEventKind(event);
    ReleaseEvent(event);
  }

  probe->m_intRegionStatus = MPEnterCriticalRegion(probe->m_idRegion, kDurationImmediate);
  if (probe->m_intRegionStatus == noErr) MPExitCriticalRegion(probe->m_idRegion);

  CFStringRef identifier = CFStringCreateWithCString(kCFAllocatorDefault, probe->m_strBundleID,
                                                     kCFStringEncodingUTF8);
  probe->m_bolBundleFound = CFBundleGetBundleWithIdentifier(identifier) != nullptr;
  if (identifier != nullptr) CFRelease(identifier);
}
