// MacTypes: the fixed-width scalar types, result codes and handles of the Mac OS interfaces,
// as the code above the stand-ins expects them. 32-bit sizes are kept where the platform had them.
#pragma once

#include <cstdint>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;

typedef unsigned char Boolean;
typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef UInt16 UniChar;
typedef UInt32 UniCharCount;
typedef SInt16 ResID;
typedef SInt16 ResFileRefNum;
typedef SInt32 Size;

typedef char* Ptr;
typedef Ptr* Handle;

enum { noErr = 0 };

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A four-character code from its text, 'UNIC' style, for readable constants.
constexpr FourCharCode MakeFourCharCode(char const (&s)[5]) {
  return (FourCharCode(UInt8(s[0])) << 24) | (FourCharCode(UInt8(s[1])) << 16) |
         (FourCharCode(UInt8(s[2])) << 8) | FourCharCode(UInt8(s[3]));
}

// A file or volume name of the HFS+ catalogue: a unit count, then up to 255 UTF-16 units.
struct HFSUniStr255 {
  UInt16 length;
  UniChar unicode[255];
};
