// Fuzz target: any bytes through the ISO-2022-JP encoder and line cutter. JPEncodeLine must
// close the JIS runs it opens; GetLineJP, at the width of byte 0, must take at least one byte
// per call (the text runs out) and hand out exactly the bytes it was given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mime/clsSMTPEmailPart.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size < 1) return 0;
  int const width = data[0] * 4 - 5;
  clsSMTPEmailPart part;
  AnsiString const sjis(reinterpret_cast<char const*>(data + 1), int(size - 1));
  AnsiString const jis = part.JPEncodeLine(sjis);

  // The last mode switch of the encoding goes back to ASCII (an ESC of the text itself passes
  // as it is).
  std::string const out(jis.c_str(), size_t(jis.Length()));
  size_t const toJIS = out.rfind("\x1B$B");
  if (toJIS != std::string::npos && std::memchr(data + 1, 0x1B, size - 1) == nullptr) {
    Check(out.find("\x1B(B", toJIS) != std::string::npos);
  }

  for (AnsiString const* text : {&sjis, &jis}) {
    AnsiString pending = *text;
    std::string joined;
    int rounds = 0;
    while (pending.Length() > 0) {
      int const before = pending.Length();
      AnsiString const line = part.GetLineJP(pending, width, false);
      Check(pending.Length() < before);
      joined.append(line.c_str(), size_t(line.Length()));
      Check(++rounds <= text->Length());
    }
    Check(joined == std::string(text->c_str(), size_t(text->Length())));
  }
  return 0;
}
