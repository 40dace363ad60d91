// PictureSize: the width and height of a JPEG or GIF picture, read from its bytes the way an
// imported picture gets its 'SIZE' stream, and that stream's four bytes.
// Interface: JPEGPictureSize (walks the markers to the first baseline frame marker, 0xFF 0xC0),
// GIFPictureSize (the logical screen size of the header), SizeStreamBytes.
// Relies on nothing. Any bytes are accepted: a value not found is 50; nothing reads outside the
// data, nothing throws and the walk always ends.
#pragma once

#include <cstddef>
#include <cstdint>

struct stcPictureSize {
  uint16_t width;
  uint16_t height;
};

stcPictureSize JPEGPictureSize(unsigned char const* data, size_t size);
stcPictureSize GIFPictureSize(unsigned char const* data, size_t size);
// Width then height, each big-endian.
void SizeStreamBytes(stcPictureSize size, unsigned char bytes[4]);
