// CGImage: PNG pictures decoded with libpng into 8-bit RGBA (see CGImage.h).
// libpng reports errors by long-jumping back to the decoder; nothing with a destructor is made
// between the jump's set-up and its target, and every buffer the decoder takes is released on
// both roads.
#include "platform/cg/CGImage.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/cg/CGInternal.h"

namespace {

constexpr png_uint_32 kMostSide = 1u << 16;
constexpr size_t kMostPixels = size_t(1) << 24;

struct stcPNGInput {
  unsigned char const* m_ptrData;
  size_t m_intSize;
  size_t m_intPos;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  stcPNGInput* input = static_cast<stcPNGInput*>(png_get_io_ptr(png));
  if (count > input->m_intSize - input->m_intPos) png_error(png, "truncated");
  std::memcpy(out, input->m_ptrData + input->m_intPos, count);
  input->m_intPos += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Decodes into pixels (malloc'd, the caller frees); false for anything but a sound PNG.
bool DecodePNG(stcPNGInput* input, png_uint_32* width, png_uint_32* height,
               unsigned char** pixels) {
  *pixels = nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  png_bytepp volatile rows = nullptr;
  unsigned char* volatile buffer = nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    std::free(rows);
    std::free(buffer);
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    return false;
  }
  png_set_user_limits(png, kMostSide, kMostSide);
  png_set_read_fn(png, input, ReadFromMemory);
  png_read_info(png, info);
  png_uint_32 const w = png_get_image_width(png, info);
  png_uint_32 const h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || size_t(w) * size_t(h) > kMostPixels) png_error(png, "too large");

  // Everything to 8-bit RGBA.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(w) * 4) png_error(png, "unexpected row size");

  buffer = static_cast<unsigned char*>(std::malloc(size_t(w) * size_t(h) * 4));
  rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * h));
  if (buffer == nullptr || rows == nullptr) png_error(png, "out of memory");
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = buffer + size_t(y) * size_t(w) * 4;
  png_read_image(png, rows);
  png_read_end(png, nullptr);

  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  *width = w;
  *height = h;
  *pixels = buffer;
  return true;
}

}  // namespace

CGImageRef CGImageCreateWithPNGDataProvider(CGDataProviderRef source, CGFloat const decode[],
                                            bool shouldInterpolate, CGColorRenderingIntent intent) {
  (void)decode;
  (void)shouldInterpolate;
  (void)intent;
  if (source == nullptr || source->m_ptrData == nullptr) return nullptr;
  stcPNGInput input = {source->m_ptrData, source->m_intSize, 0};
  png_uint_32 width = 0, height = 0;
  unsigned char* pixels = nullptr;
  if (!DecodePNG(&input, &width, &height, &pixels)) return nullptr;
  CGImage* image = new (std::nothrow) CGImage();
  if (image == nullptr) {
    std::free(pixels);
    return nullptr;
  }
  image->m_ptrPixels = pixels;
  image->m_intWidth = width;
  image->m_intHeight = height;
  return image;
}

size_t CGImageGetWidth(CGImageRef image) { return image == nullptr ? 0 : image->m_intWidth; }
size_t CGImageGetHeight(CGImageRef image) { return image == nullptr ? 0 : image->m_intHeight; }
size_t CGImageGetBytesPerRow(CGImageRef image) { return image == nullptr ? 0 : image->m_intWidth * 4; }

CGImageRef CGImageRetain(CGImageRef image) {
  if (image != nullptr) CFRetain(image);
  return image;
}

void CGImageRelease(CGImageRef image) {
  if (image != nullptr) CFRelease(image);
}
