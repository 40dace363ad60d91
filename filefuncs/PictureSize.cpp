// PictureSize: the JPEG walk steps over marker segments by their stored lengths; a byte it does
// not expect is taken as a marker code with a length after it, so damaged data still ends the
// walk (every step moves on by at least one byte).
#include "filefuncs/PictureSize.h"

namespace {

uint16_t const kUnknownSize = 50;

// The big-endian value at i and i + 1, or the unknown size when the data ends before.
uint16_t BigEndian16(unsigned char const* data, size_t size, size_t i) {
  if (i + 1 >= size) return kUnknownSize;
  return uint16_t((data[i] << 8) | data[i + 1]);
}

uint16_t LittleEndian16(unsigned char const* data, size_t size, size_t i) {
  if (i + 1 >= size) return kUnknownSize;
  return uint16_t(data[i] | (data[i + 1] << 8));
}

}  // namespace

stcPictureSize JPEGPictureSize(unsigned char const* data, size_t size) {
  stcPictureSize result = {kUnknownSize, kUnknownSize};
  if (data == nullptr) return result;
  bool afterFF = false;
  size_t i = 0;
  while (i < size) {
    unsigned char const byte = data[i];
    if (byte == 0xFF) {
      afterFF = true;
      ++i;
    } else if (byte == 0xC0 && afterFF) {
      // The frame segment: length (2), precision (1), height (2), width (2).
      size_t const j = i + 1;
      result.height = BigEndian16(data, size, j + 3);
      result.width = BigEndian16(data, size, j + 5);
      break;
    } else {
      afterFF = false;
      if (byte == 0xD8 || i + 2 >= size) {
        ++i;
      } else {
        i += size_t((data[i + 1] << 8) | data[i + 2]) + 1;
      }
    }
  }
  return result;
}

stcPictureSize GIFPictureSize(unsigned char const* data, size_t size) {
  stcPictureSize result = {kUnknownSize, kUnknownSize};
  if (data == nullptr) return result;
  result.width = LittleEndian16(data, size, 6);
  result.height = LittleEndian16(data, size, 8);
  return result;
}

void SizeStreamBytes(stcPictureSize size, unsigned char bytes[4]) {
  bytes[0] = (unsigned char)(size.width >> 8);
  bytes[1] = (unsigned char)(size.width & 0xFF);
  bytes[2] = (unsigned char)(size.height >> 8);
  bytes[3] = (unsigned char)(size.height & 0xFF);
}
