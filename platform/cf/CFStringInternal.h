// CFStringInternal: the string object of the CoreFoundation stand-in, shared by the units that
// make and change strings (CFString.cpp, CFMutableString.cpp). Not for code above the stand-ins.
#pragma once

#include <vector>

#include "platform/cf/CFString.h"

struct __CFString : public CFRuntimeObject {
  __CFString() : CFRuntimeObject(kCFRuntimeTypeString) {}
  std::vector<UniChar> m_vecUnits;
  bool m_bolFromEightBit = false;
  bool m_bolMutable = false;
  CFIndex m_intMaxLength = 0;  // a mutable string's limit; 0: none
};
