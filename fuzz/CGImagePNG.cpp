// Fuzz target: arbitrary bytes as the data of a PNG picture, decoded by
// CGImageCreateWithPNGDataProvider (libpng's error path included). It must not crash, hang or
// leak; a picture it accepts must have a size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/cg/CGDataProvider.h"
#include "platform/cg/CGImage.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, data, size, nullptr);
  if (provider == nullptr) return 0;
  CGImageRef image = CGImageCreateWithPNGDataProvider(provider, nullptr, false,
                                                      kCGRenderingIntentDefault);
  if (image != nullptr && (CGImageGetWidth(image) == 0 || CGImageGetHeight(image) == 0)) {
    std::abort();
  }
  CGImageRelease(image);
  CGDataProviderRelease(provider);
  return 0;
}
