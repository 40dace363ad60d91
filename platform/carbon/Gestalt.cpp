// Gestalt: two process-wide atomics, the version answer and the forced failure code.
#include "platform/carbon/Gestalt.h"

#include <atomic>

namespace {

constexpr OSErr kParamErr = -50;
constexpr SInt32 kDefaultSystemVersion = 0x1068;

std::atomic<SInt32> g_lngSystemVersion{kDefaultSystemVersion};
std::atomic<OSErr> g_intForcedError{noErr};

}  // namespace

OSErr Gestalt(OSType selector, SInt32* response) {
  OSErr forced = g_intForcedError.load();
  if (forced != noErr) return forced;
  if (response == nullptr) return kParamErr;
  if (selector == gestaltSystemVersion) {
    *response = g_lngSystemVersion.load();
    return noErr;
  }
  return gestaltUndefSelectorErr;
}

void SetGestaltSystemVersionForTesting(SInt32 version) { g_lngSystemVersion.store(version); }

void SetGestaltFailureForTesting(OSErr error) { g_intForcedError.store(error); }
