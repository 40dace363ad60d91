// Fuzz target: arbitrary bytes through Base64DecodeString, and through Base64Decode into
// buffers of exactly outSize bytes for small outSize values, so that any write past the bound
// is caught by AddressSanitizer. Also checks that the decoded text never outgrows its input.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/TextEncoders.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > (1u << 20)) return 0;
  AnsiString text(reinterpret_cast<char const*>(data), int(size));
  AnsiString decoded = Base64DecodeString(text);
  if (decoded.Length() > int(size)) std::abort();
  for (int outSize = 0; outSize <= 8; ++outSize) {
    std::vector<unsigned char> exact(static_cast<size_t>(outSize));
    int written = Base64Decode(text, exact.data(), outSize);
    if (written < 0 || written > outSize) std::abort();
  }
  return 0;
}
