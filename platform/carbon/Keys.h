// Keys: the keyboard state of the Event Manager, GetKeys and its key map, with a process-wide
// map that tests set in place of a keyboard.
// Interface: BigEndianLong, KeyMap (128 key bits in four big-endian words: key code k is bit
// k mod 8 of byte k div 8), GetKeys, SetKeyMapForTesting, SetKeyDownForTesting.
// Relies on the C++ standard library; thread-safe; never fails (no key is down at start).
#pragma once

#include "platform/carbon/MacTypes.h"

// A 32-bit word held in big-endian byte order whatever the host's order is.
struct BigEndianLong {
  UInt32 bigEndianValue;
};
typedef BigEndianLong KeyMap[4];

// Copies the current key map into theKeys (16 bytes).
void GetKeys(BigEndianLong* theKeys);

// Replaces the whole key map; a null map clears it.
void SetKeyMapForTesting(BigEndianLong const* theKeys);
// Sets or clears the bit of one key code (0 to 127; others are ignored).
void SetKeyDownForTesting(int keyCode, bool down);
