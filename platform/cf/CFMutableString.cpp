// CFMutableString: strings that grow by appending (see CFString.h). A mutable string is the same
// object as any other string, marked mutable and given its length limit.
// Relies on CFStringInternal.h. Never throws: an append that cannot be made changes nothing.
#include <new>

#include "platform/cf/CFString.h"
#include "platform/cf/CFStringInternal.h"

namespace {

bool CanTake(CFMutableStringRef string, CFIndex count) {
  if (string == nullptr || !string->m_bolMutable || count < 0) return false;
  CFIndex const length = CFIndex(string->m_vecUnits.size());
  return string->m_intMaxLength == 0 || count <= string->m_intMaxLength - length;
}

}  // namespace

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength) {
  (void)alloc;
  if (maxLength < 0) return nullptr;
  __CFString* string = new (std::nothrow) __CFString;
  if (string == nullptr) return nullptr;
  string->m_bolMutable = true;
  string->m_intMaxLength = maxLength;
  return string;
}

void CFStringAppendCharacters(CFMutableStringRef theString, UniChar const* chars,
                              CFIndex numChars) {
  if (numChars == 0 || chars == nullptr || !CanTake(theString, numChars)) return;
  try {
    theString->m_vecUnits.insert(theString->m_vecUnits.end(), chars, chars + numChars);
  } catch (...) {
  }
}

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
  if (appendedString == nullptr) return;
  if (theString == appendedString) {  // doubling itself: copy the units first
    std::vector<UniChar> units = appendedString->m_vecUnits;
    CFStringAppendCharacters(theString, units.data(), CFIndex(units.size()));
    return;
  }
  CFStringAppendCharacters(theString, appendedString->m_vecUnits.data(),
                           CFIndex(appendedString->m_vecUnits.size()));
}

void CFStringAppendCString(CFMutableStringRef theString, char const* cStr,
                           CFStringEncoding encoding) {
  if (cStr == nullptr || theString == nullptr) return;
  CFStringRef decoded = CFStringCreateWithCString(nullptr, cStr, encoding);
  if (decoded == nullptr) return;
  CFStringAppend(theString, decoded);
  CFRelease(decoded);
}
