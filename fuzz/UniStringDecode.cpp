// Fuzz target: arbitrary bytes decoded into a UniString with every encoding number (0, 1, 101,
// the code pages 2 to 5 and some invalid numbers), each result encoded back with
// GetCString(int) and with GetCString(buf, size, encoding) into buffers of exactly size + 1
// bytes for several sizes, so AddressSanitizer catches any write past the terminator's place.
// Encoding 0 reads up to the first zero unit whatever the length, so it gets an aligned copy of
// the input that ends in a zero unit. The code pages come from the plug-in's resource file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/UniString.h"
#include "tests/support/TestResources.h"

namespace {

int const kEncodings[] = {0, 1, 101, 2, 3, 4, 5, -1, 6, 100, 102};
int const kSizes[] = {0, 1, 2, 3, 4, 7, 16};

void Check(bool condition) {
  if (!condition) std::abort();
}

void EncodeBack(UniString const& text, int encoding) {
  char* bytes = text.GetCString(encoding);
  delete[] bytes;
  for (int size : kSizes) {
    // size + 1 bytes: room for size bytes and the terminator, nothing more.
    std::vector<unsigned char> buf(static_cast<size_t>(size) + 1);
    int written = text.GetCString(buf.data(), size, encoding);
    Check(written >= 0 && written <= size);
  }
  AnsiString ansi = text.GetAnsiString(encoding);
  (void)ansi;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static bool const s_bolResources = OpenVelmoraTestResources() == noErr;
  (void)s_bolResources;
  if (size > (1u << 13)) return 0;

  // Aligned units ending in a zero unit for encoding 0.
  std::vector<unsigned short> units(size / 2 + 1, 0);
  std::memcpy(units.data(), data, size / 2 * 2);

  for (int encoding : kEncodings) {
    unsigned char const* bytes = encoding == 0 ? reinterpret_cast<unsigned char const*>(units.data()) : data;
    UniString text(bytes, encoding, static_cast<int>(size));
    Check(text.Length() >= 0);
    if (encoding == 1 || encoding == 101) Check(text.Length() <= static_cast<int>(size));
    for (int back : kEncodings) EncodeBack(text, back);
    // The text operations that walk the units, on whatever the decoder produced.
    UniString folded = UniString::RemoveAccents(text.Trim().TitleCase());
    (void)folded.StrSub(text.Left(2), UniString("x"), true).Pos(text.Right(1), true, -1, -1);
    (void)text.ToInt();
  }
  return 0;
}
