// Tests of the picture sizes behind the 'SIZE' stream: the JPEG marker walk over segments,
// fill bytes and damaged lengths, and the GIF header, each value 50 when the data ends early.
#include <gtest/gtest.h>

#include <string>

#include "filefuncs/PictureSize.h"

namespace {

TEST(PictureSizeTest, JPEGWalkAndGIFHeader) {
  struct {
    bool jpeg;
    std::string bytes;
    int width;
    int height;
  } const rows[] = {
      {true, std::string("\xFF\xD8\xFF\xE0\x00\x04xx\xFF\xC0\x00\x11\x08\x01\xE0\x02\x80", 17), 640, 480},
      // Fill bytes before the marker; a 0xC0 inside a segment is stepped over by its length.
      {true, std::string("\xFF\xD8\xFF\xE1\x00\x04\xFF\xC0\xFF\xFF\xC0\x00\x11\x08\x00\x10\x00\x20", 18), 32, 16},
      // The frame segment cut after the height: the width is not there.
      {true, std::string("\xFF\xC0\x00\x11\x08\x01\xE0\x02", 8), 50, 480},
      // A 0xC0 not after 0xFF is a marker code of its own; a length past the end ends the walk.
      {true, std::string("\xC0\x00\x11\x08\x01\xE0\x02\x80", 8), 50, 50},
      {true, std::string("\xFF\xE0\xFF\xFF\xFF\xC0\x00\x11", 8), 50, 50},
      {true, std::string("\xFF\xC2\x00\x11\x08\x01\xE0\x02\x80", 9), 50, 50},
      {true, "", 50, 50},
      {false, std::string("GIF89a\x01\x02\x03\x04", 10), 0x0201, 0x0403},
      {false, std::string("GIF89a\x01\x02\x03", 9), 0x0201, 50},
      {false, "GIF89", 50, 50},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    auto const* bytes = reinterpret_cast<unsigned char const*>(row.bytes.data());
    stcPictureSize const size =
        row.jpeg ? JPEGPictureSize(bytes, row.bytes.size()) : GIFPictureSize(bytes, row.bytes.size());
    EXPECT_EQ(row.width, size.width);
    EXPECT_EQ(row.height, size.height);
  }
  unsigned char stream[4];
  SizeStreamBytes(stcPictureSize{640, 480}, stream);
  EXPECT_EQ(std::string("\x02\x80\x01\xE0", 4), std::string(reinterpret_cast<char*>(stream), 4));
}

}  // namespace
