// CGDataProvider: the CoreGraphics data provider stand-in: the bytes an image is decoded from.
// Interface: CGDataProviderCreateWithURL (the whole file a file URL names, read at creation),
// CGDataProviderCreateWithData (caller's bytes, with a callback when they are no longer needed),
// CGDataProviderRetain, CGDataProviderRelease; CFRetain and CFRelease work as well.
// Relies on the CoreFoundation stand-in (URLs, reference counting) and the File Manager
// stand-in's real paths. Never throws: a URL that names no readable file answers NULL.
#pragma once

#include <cstddef>

#include "platform/cf/CFBase.h"
#include "platform/cf/CFURL.h"

typedef struct CGDataProvider* CGDataProviderRef;
typedef float CGFloat;

enum : CFTypeID { kCFRuntimeTypeCGDataProvider = kCFRuntimeTypeOther + 20 };

typedef void (*CGDataProviderReleaseDataCallback)(void* info, void const* data, size_t size);

CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url);
// The provider reads the size bytes at data in place; releaseData (may be NULL) is called with
// info when the provider goes.
CGDataProviderRef CGDataProviderCreateWithData(void* info, void const* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);
void CGDataProviderRelease(CGDataProviderRef provider);
