// CFString: the CoreFoundation string stand-in, immutable strings of UTF-16 units.
// Interface: CFStringRef; creation from UTF-16 units, C strings and byte buffers; length, unit
// access (CFStringGetCharactersPtr, CFStringGetCharacters, CFStringGetCharacterAtIndex) and
// conversion out (CFStringGetBytes, CFStringGetCString, CFStringGetMaximumSizeForEncoding).
// Encodings: the 16-bit Unicode encoding (host order, also big- and little-endian), UTF-8,
// ASCII and ISO Latin-1; creation in any other answers NULL, conversion 0 units.
// Strings made from 8-bit text keep no unit array of their own to hand out, so
// CFStringGetCharactersPtr answers NULL for them (and for every string while a test switches
// direct access off); callers must then copy with CFStringGetCharacters.
// Relies on CFBase (CFRuntimeObject, CFRelease frees a string). Never throws: allocation
// failure and undecodable input answer NULL; ranges outside the string convert nothing.
#pragma once

#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFBase.h"

typedef struct __CFString const* CFStringRef;

typedef UInt32 CFStringEncoding;
enum : CFStringEncoding {
  kCFStringEncodingMacRoman = 0,
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingUnicode = 0x0100,
  kCFStringEncodingUTF16 = 0x0100,
  kCFStringEncodingUTF8 = 0x08000100,
  kCFStringEncodingUTF16BE = 0x10000100,
  kCFStringEncodingUTF16LE = 0x14000100,
  kCFStringEncodingInvalidId = 0xFFFFFFFFu
};

CFTypeID CFStringGetTypeID(void);

// numChars units from chars (chars may be NULL when numChars is 0).
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, UniChar const* chars,
                                         CFIndex numChars);
// The zero-terminated bytes in the encoding; NULL when they are not valid in it.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, char const* cStr,
                                      CFStringEncoding encoding);
// numBytes bytes in the encoding. With isExternalRepresentation a 16-bit Unicode text may
// start with a byte-order mark, which is obeyed and dropped (no mark: big-endian).
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, UInt8 const* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);

// The system's 8-bit encoding: Mac Roman, as on the systems the plug-in was written for.
CFStringEncoding CFStringGetSystemEncoding(void);
CFIndex CFStringGetLength(CFStringRef theString);  // 0 for NULL
UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);  // 0 outside
UniChar const* CFStringGetCharactersPtr(CFStringRef theString);           // may be NULL
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);

// Converts the units of range into buffer (NULL: only measures), stopping before the first
// unit that does not fit in maxBufLen bytes, and, when lossByte is 0, before the first unit the
// encoding cannot hold (otherwise lossByte stands in for it). isExternalRepresentation puts a
// byte-order mark before 16-bit host-order Unicode. Answers the number of units converted;
// *usedBufLen gets the bytes written.
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen);
// The whole string, zero-terminated, in bufferSize bytes; false when it does not fit or a unit
// cannot be held by the encoding.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
// Bytes that length units can need in the encoding; kCFNotFound for an unsupported one.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// While off, CFStringGetCharactersPtr answers NULL for every string.
void CFStringSetCharactersPtrAvailableForTesting(bool available);

// ---- mutable strings (CFMutableString.cpp) ----
// A mutable string is a CFStringRef too: every reading call above takes it.
typedef struct __CFString* CFMutableStringRef;

// A new empty mutable string that holds at most maxLength units (0: no limit).
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength);
// Append to a mutable string. An append that would pass the limit, a string that is not
// mutable, or text that cannot be decoded in the encoding leaves the string unchanged.
void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString);
void CFStringAppendCharacters(CFMutableStringRef theString, UniChar const* chars,
                              CFIndex numChars);
void CFStringAppendCString(CFMutableStringRef theString, char const* cStr,
                           CFStringEncoding encoding);
