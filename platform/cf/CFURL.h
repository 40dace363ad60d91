// CFURL: the CoreFoundation file URL stand-in: immutable, reference-counted file-system URLs
// holding a POSIX path (the File Manager stand-in's virtual paths), optionally relative to a
// base URL.
// Interface: CFURLCreateWithFileSystemPath (POSIX or HFS style), CFURLCreateFromFSRef,
// CFURLCopyFileSystemPath, CFURLCopyAbsoluteURL, CFURLGetFSRef, CFURLGetTypeID.
// Relies on CFBase (reference counting), CFString and the File Manager stand-in (references,
// volumes, the HFS name rule). Never throws: bad input and failed look-ups answer NULL / false.
#pragma once

#include "platform/carbon/Files.h"
#include "platform/carbon/MacTypes.h"
#include "platform/cf/CFBase.h"
#include "platform/cf/CFString.h"

typedef struct __CFURL const* CFURLRef;

typedef CFIndex CFURLPathStyle;
enum : CFURLPathStyle { kCFURLPOSIXPathStyle = 0, kCFURLHFSPathStyle = 1, kCFURLWindowsPathStyle = 2 };

enum : CFTypeID { kCFRuntimeTypeURL = kCFRuntimeTypeOther + 10 };

CFTypeID CFURLGetTypeID(void);

// A file URL of filePath. POSIX: an absolute path, or a relative one taken against the current
// folder. HFS: "Volume:folder:file" (a '/' in a name is a ':' on disk), or ":folder:file" against
// the current folder. NULL for a null path, an empty one or the Windows style.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory);

// The URL of the object a reference names; NULL when the reference is bad or the object gone.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, FSRef const* fsRef);

// The URL's path in a style, without a trailing delimiter (a volume root in HFS style keeps its
// ':'). A relative URL gives its relative path. NULL for a null URL or an unknown style.
CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);

// The URL resolved against its base ("." and ".." steps removed); the same URL, retained, when
// it is absolute already. NULL for NULL.
CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL);

// The reference of the object the URL names; false when it does not exist.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);

// ---- URLs as text (CFURLText.cpp) ----
// A URL from its text in the encoding. "file://" (or "file://localhost") and an absolute,
// percent-escaped path make a file URL; text without a scheme against a file base URL makes a
// file URL relative to it; anything else (a web address, "about:blank") is kept as its text and
// has no file-system path. NULL for empty or undecodable text and for bad escapes in a file URL.
CFURLRef CFURLCreateWithBytes(CFAllocatorRef allocator, UInt8 const* URLBytes, CFIndex length,
                              CFStringEncoding encoding, CFURLRef baseURL);
// The URL with one more path component (percent-escaped in a text URL). NULL for a null URL or
// an empty component.
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url,
                                               CFStringRef pathComponent, Boolean isDirectory);
// The URL's text (Get rule: owned by the URL): "file://" and the escaped path for an absolute
// file URL, the escaped relative path for a relative one, the kept text for any other URL.
CFStringRef CFURLGetString(CFURLRef anURL);
