// CFData: the CoreFoundation byte-buffer stand-in, immutable bytes: a copy, or the caller's own.
// Interface: CFDataRef, CFDataCreate, CFDataCreateWithBytesNoCopy, CFDataGetLength,
// CFDataGetBytePtr, CFDataGetTypeID.
// Relies on CFBase; CFRelease frees the object. Never throws: allocation failure answers NULL;
// a NULL data has length 0 and no bytes.
#pragma once

#include "platform/cf/CFBase.h"

typedef struct __CFData const* CFDataRef;

enum : CFTypeID { kCFRuntimeTypeData = 21 };

CFTypeID CFDataGetTypeID(void);
// A copy of length bytes (bytes may be NULL when length is 0); NULL for a negative length.
CFDataRef CFDataCreate(CFAllocatorRef allocator, UInt8 const* bytes, CFIndex length);
// The caller's bytes themselves, not a copy: they must stay unchanged while the data lives. On
// release they are handed to free() unless bytesDeallocator is kCFAllocatorNull (any other
// allocator means they came from malloc).
CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef allocator, UInt8 const* bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator);
CFIndex CFDataGetLength(CFDataRef theData);
UInt8 const* CFDataGetBytePtr(CFDataRef theData);
