// CGImage: the CoreGraphics image stand-in, for PNG pictures.
// Interface: CGImageCreateWithPNGDataProvider (decodes the provider's bytes with libpng into
// 8-bit RGBA pixels), CGImageGetWidth, CGImageGetHeight, CGImageGetBytesPerRow, CGImageRetain,
// CGImageRelease; CFRetain and CFRelease work as well.
// Relies on CGDataProvider and libpng. Never throws: bytes that are not a whole, sound PNG, and
// pictures of more than 16,777,216 pixels, answer NULL.
#pragma once

#include <cstddef>

#include "platform/cg/CGDataProvider.h"

typedef struct CGImage* CGImageRef;

enum : CFTypeID { kCFRuntimeTypeCGImage = kCFRuntimeTypeOther + 21 };

enum CGColorRenderingIntent : int {
  kCGRenderingIntentDefault = 0,
  kCGRenderingIntentAbsoluteColorimetric = 1,
  kCGRenderingIntentRelativeColorimetric = 2,
  kCGRenderingIntentPerceptual = 3,
  kCGRenderingIntentSaturation = 4
};

// decode and shouldInterpolate and intent are accepted and not applied.
CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef source, CGFloat const decode[],
                                            bool shouldInterpolate, CGColorRenderingIntent intent);
size_t CGImageGetWidth(CGImageRef image);   // 0 for NULL
size_t CGImageGetHeight(CGImageRef image);  // 0 for NULL
size_t CGImageGetBytesPerRow(CGImageRef image);
CGImageRef CGImageRetain(CGImageRef image);
void CGImageRelease(CGImageRef image);
