// Fuzz target: any bytes through the JPEG marker walk and the GIF header reader behind an
// imported picture's 'SIZE' stream. Must never read outside the data, crash or hang, and a GIF
// shorter than its header's end must come out 50 for the value it lacks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filefuncs/PictureSize.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  // An exact copy, so that a read past the end is caught by the address sanitizer.
  std::vector<unsigned char> const bytes(data, data + size);
  unsigned char const* start = bytes.empty() ? nullptr : bytes.data();
  stcPictureSize const jpeg = JPEGPictureSize(start, bytes.size());
  stcPictureSize const gif = GIFPictureSize(start, bytes.size());
  if (size < 8 && gif.width != 50) std::abort();
  if (size < 10 && gif.height != 50) std::abort();
  unsigned char stream[4];
  SizeStreamBytes(jpeg, stream);
  if (((stream[0] << 8) | stream[1]) != jpeg.width || ((stream[2] << 8) | stream[3]) != jpeg.height) std::abort();
  return 0;
}
