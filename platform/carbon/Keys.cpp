// Keys: the key map is 16 bytes in the layout GetKeys hands out, kept under a mutex; there is
// no keyboard behind it, only what tests set.
#include "platform/carbon/Keys.h"

#include <cstring>
#include <mutex>

namespace {

std::mutex g_mtxKeyMap;
UInt8 g_abytKeyMap[16] = {};

}  // namespace

void GetKeys(BigEndianLong* theKeys) {
  if (theKeys == nullptr) return;
  std::lock_guard<std::mutex> guard(g_mtxKeyMap);
  std::memcpy(theKeys, g_abytKeyMap, sizeof g_abytKeyMap);
}

void SetKeyMapForTesting(BigEndianLong const* theKeys) {
  std::lock_guard<std::mutex> guard(g_mtxKeyMap);
  if (theKeys == nullptr) {
    std::memset(g_abytKeyMap, 0, sizeof g_abytKeyMap);
  } else {
    std::memcpy(g_abytKeyMap, theKeys, sizeof g_abytKeyMap);
  }
}

void SetKeyDownForTesting(int keyCode, bool down) {
  if (keyCode < 0 || keyCode > 127) return;
  std::lock_guard<std::mutex> guard(g_mtxKeyMap);
  UInt8 bit = UInt8(1u << (keyCode % 8));
  if (down) {
    g_abytKeyMap[keyCode / 8] |= bit;
  } else {
    g_abytKeyMap[keyCode / 8] &= UInt8(~bit);
  }
}
