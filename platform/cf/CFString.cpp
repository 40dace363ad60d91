// CFString: every string holds its text as a vector of UTF-16 units; a flag tells whether the
// string came from 8-bit text, in which case CFStringGetCharactersPtr hands out nothing, the
// way the system keeps such strings in 8-bit form. Conversions are written out per encoding
// below; they never read or write outside the caller's range and buffer.
#include "platform/cf/CFString.h"

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "platform/cf/CFStringInternal.h"


namespace {

std::atomic<bool> g_bolCharactersPtrAvailable{true};

bool IsHostLittleEndian() {
  UInt16 probe = 1;
  UInt8 first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

bool IsSupported(CFStringEncoding encoding) {
  switch (encoding) {
    case kCFStringEncodingUnicode:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE:
    case kCFStringEncodingUTF8:
    case kCFStringEncodingASCII:
    case kCFStringEncodingISOLatin1:
      return true;
    default:
      return false;
  }
}

bool IsSixteenBit(CFStringEncoding encoding) {
  return encoding == kCFStringEncodingUnicode || encoding == kCFStringEncodingUTF16BE ||
         encoding == kCFStringEncodingUTF16LE;
}

CFStringRef NewString(std::vector<UniChar>&& units, bool fromEightBit) {
  __CFString* string = new (std::nothrow) __CFString;
  if (string == nullptr) return nullptr;
  string->m_vecUnits = std::move(units);
  string->m_bolFromEightBit = fromEightBit;
  return string;
}

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above U+10FFFF.
bool DecodeUTF8(UInt8 const* bytes, size_t count, std::vector<UniChar>* units) {
  size_t i = 0;
  while (i < count) {
    UInt8 b = bytes[i];
    UInt32 code;
    size_t extra;
    UInt32 minimum;
    if (b < 0x80) {
      code = b, extra = 0, minimum = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      code = b & 0x1F, extra = 1, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      code = b & 0x0F, extra = 2, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      code = b & 0x07, extra = 3, minimum = 0x10000;
    } else {
      return false;
    }
    if (count - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      UInt8 next = bytes[i + k];
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      units->push_back(UniChar(0xD800 | (code >> 10)));
      units->push_back(UniChar(0xDC00 | (code & 0x3FF)));
    } else {
      units->push_back(UniChar(code));
    }
    i += extra + 1;
  }
  return true;
}

bool DecodeBytes(UInt8 const* bytes, size_t count, CFStringEncoding encoding, bool external,
                 std::vector<UniChar>* units) {
  switch (encoding) {
    case kCFStringEncodingUTF8:
      return DecodeUTF8(bytes, count, units);
    case kCFStringEncodingASCII:
      for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x80) return false;
        units->push_back(bytes[i]);
      }
      return true;
    case kCFStringEncodingISOLatin1:
      units->assign(bytes, bytes + count);
      return true;
    case kCFStringEncodingUnicode:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: {
      if (count % 2 != 0) return false;
      bool bigEndian = encoding == kCFStringEncodingUTF16BE ||
                       (encoding == kCFStringEncodingUnicode && !IsHostLittleEndian());
      size_t i = 0;
      if (encoding == kCFStringEncodingUnicode && external) {
        bigEndian = true;
        if (count >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
          i = 2;
        } else if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
          bigEndian = false;
          i = 2;
        }
      }
      for (; i < count; i += 2) {
        units->push_back(bigEndian ? UniChar((bytes[i] << 8) | bytes[i + 1])
                                   : UniChar((bytes[i + 1] << 8) | bytes[i]));
      }
      return true;
    }
    default:
      return false;
  }
}

bool ValidRange(CFStringRef string, CFRange range) {
  CFIndex length = CFStringGetLength(string);
  return range.location >= 0 && range.length >= 0 && range.location <= length &&
         range.length <= length - range.location;
}

void PutUnit16(UniChar unit, bool bigEndian, UInt8* out) {
  out[0] = UInt8(bigEndian ? unit >> 8 : unit & 0xFF);
  out[1] = UInt8(bigEndian ? unit & 0xFF : unit >> 8);
}

}  // namespace

CFTypeID CFStringGetTypeID(void) { return kCFRuntimeTypeString; }

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, UniChar const* chars,
                                         CFIndex numChars) {
  (void)alloc;
  if (numChars < 0 || (numChars > 0 && chars == nullptr)) return nullptr;
  try {
    std::vector<UniChar> units(chars, chars + numChars);
    return NewString(std::move(units), false);
  } catch (...) {
    return nullptr;
  }
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, char const* cStr,
                                      CFStringEncoding encoding) {
  if (cStr == nullptr || IsSixteenBit(encoding)) return nullptr;
  size_t count = std::strlen(cStr);
  if (count > size_t(0x7FFFFFFF)) return nullptr;
  return CFStringCreateWithBytes(alloc, reinterpret_cast<UInt8 const*>(cStr), CFIndex(count),
                                 encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, UInt8 const* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
  (void)alloc;
  if (numBytes < 0 || (numBytes > 0 && bytes == nullptr) || !IsSupported(encoding)) {
    return nullptr;
  }
  try {
    std::vector<UniChar> units;
    units.reserve(size_t(numBytes));
    if (!DecodeBytes(bytes, size_t(numBytes), encoding, isExternalRepresentation != 0, &units)) {
      return nullptr;
    }
    return NewString(std::move(units), !IsSixteenBit(encoding));
  } catch (...) {
    return nullptr;
  }
}

CFStringEncoding CFStringGetSystemEncoding(void) { return kCFStringEncodingMacRoman; }

CFIndex CFStringGetLength(CFStringRef theString) {
  return theString == nullptr ? 0 : CFIndex(theString->m_vecUnits.size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
  if (idx < 0 || idx >= CFStringGetLength(theString)) return 0;
  return theString->m_vecUnits[size_t(idx)];
}

UniChar const* CFStringGetCharactersPtr(CFStringRef theString) {
  static UniChar const s_uniEmpty = 0;
  if (theString == nullptr || theString->m_bolFromEightBit || !g_bolCharactersPtrAvailable.load()) {
    return nullptr;
  }
  return theString->m_vecUnits.empty() ? &s_uniEmpty : theString->m_vecUnits.data();
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer) {
  if (buffer == nullptr || !ValidRange(theString, range) || range.length == 0) return;
  std::memcpy(buffer, theString->m_vecUnits.data() + range.location,
              size_t(range.length) * sizeof(UniChar));
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen) {
  if (usedBufLen != nullptr) *usedBufLen = 0;
  if (!ValidRange(theString, range) || !IsSupported(encoding) || maxBufLen < 0) return 0;

  bool measureOnly = buffer == nullptr;
  CFIndex used = 0;
  // Writes n bytes when they fit (always when only measuring).
  auto fits = [&](CFIndex n) { return measureOnly || used <= maxBufLen - n; };

  if (encoding == kCFStringEncodingUnicode && isExternalRepresentation) {
    if (!fits(2)) return 0;
    if (!measureOnly) PutUnit16(0xFEFF, !IsHostLittleEndian(), buffer);
    used = 2;
  }

  UniChar const* units = theString->m_vecUnits.data() + range.location;
  CFIndex converted = 0;
  while (converted < range.length) {
    UniChar unit = units[converted];
    UInt8 bytes[4];
    CFIndex byteCount = 0;
    CFIndex unitCount = 1;
    bool representable = true;
    switch (encoding) {
      case kCFStringEncodingUnicode:
      case kCFStringEncodingUTF16BE:
      case kCFStringEncodingUTF16LE: {
        bool bigEndian = encoding == kCFStringEncodingUTF16BE ||
                         (encoding == kCFStringEncodingUnicode && !IsHostLittleEndian());
        PutUnit16(unit, bigEndian, bytes);
        byteCount = 2;
        break;
      }
      case kCFStringEncodingUTF8:
        if (unit < 0x80) {
          bytes[0] = UInt8(unit);
          byteCount = 1;
        } else if (unit < 0x800) {
          bytes[0] = UInt8(0xC0 | (unit >> 6));
          bytes[1] = UInt8(0x80 | (unit & 0x3F));
          byteCount = 2;
        } else if (unit >= 0xD800 && unit <= 0xDBFF && converted + 1 < range.length &&
                   units[converted + 1] >= 0xDC00 && units[converted + 1] <= 0xDFFF) {
          UInt32 code = 0x10000 + ((UInt32(unit) - 0xD800) << 10) + (units[converted + 1] - 0xDC00);
          bytes[0] = UInt8(0xF0 | (code >> 18));
          bytes[1] = UInt8(0x80 | ((code >> 12) & 0x3F));
          bytes[2] = UInt8(0x80 | ((code >> 6) & 0x3F));
          bytes[3] = UInt8(0x80 | (code & 0x3F));
          byteCount = 4;
          unitCount = 2;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
          representable = false;  // a surrogate without its partner
        } else {
          bytes[0] = UInt8(0xE0 | (unit >> 12));
          bytes[1] = UInt8(0x80 | ((unit >> 6) & 0x3F));
          bytes[2] = UInt8(0x80 | (unit & 0x3F));
          byteCount = 3;
        }
        break;
      case kCFStringEncodingASCII:
      case kCFStringEncodingISOLatin1:
        representable = unit < (encoding == kCFStringEncodingASCII ? 0x80 : 0x100);
        bytes[0] = UInt8(unit);
        byteCount = 1;
        break;
      default:
        return 0;
    }
    if (!representable) {
      if (lossByte == 0) break;
      bytes[0] = lossByte;
      byteCount = 1;
    }
    if (!fits(byteCount)) break;
    if (!measureOnly) std::memcpy(buffer + used, bytes, size_t(byteCount));
    used += byteCount;
    converted += unitCount;
  }
  if (usedBufLen != nullptr) *usedBufLen = used;
  return converted;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
  if (buffer == nullptr || bufferSize < 1 || theString == nullptr) return false;
  CFIndex length = CFStringGetLength(theString);
  CFIndex used = 0;
  CFIndex converted =
      CFStringGetBytes(theString, CFRangeMake(0, length), encoding, 0, false,
                       reinterpret_cast<UInt8*>(buffer), bufferSize - 1, &used);
  buffer[used] = '\0';
  return converted == length && IsSupported(encoding);
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  if (length < 0 || !IsSupported(encoding)) return kCFNotFound;
  CFIndex perUnit = IsSixteenBit(encoding) ? 2 : encoding == kCFStringEncodingUTF8 ? 3 : 1;
  if (length > 0x7FFFFFFF / perUnit) return kCFNotFound;
  return length * perUnit;
}

void CFStringSetCharactersPtrAvailableForTesting(bool available) {
  g_bolCharactersPtrAvailable.store(available);
}
