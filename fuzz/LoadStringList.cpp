// Fuzz target: arbitrary bytes loaded as a string-list text file from a memory stream, with
// mark sniffing and with every encoding given outright (0, 1, 101, the code pages 2 to 5 and
// invalid numbers) in both byte orders; every loaded list is then saved back with each line
// ending, with and without a mark, and loaded again. Checks: no crash, no hang, a line count
// that the input's size can account for, and a list saved as UTF-8 with a mark that loads to
// as many lines or fewer. The code pages come from the plug-in's resource file.
#include <cstdint>
#include <cstdlib>

#include "core/UniStringList.h"
#include "files/XMemoryStream.h"
#include "tests/support/TestResources.h"

namespace {

int const kEncodings[] = {0, 1, 101, 2, 3, 4, 5, -1, 6, 102};
enumLineEndingType const kEndings[] = {kLineEndingNone, kLineEndingCR, kLineEndingLF,
                                       kLineEndingCRLF};

void Check(bool condition) {
  if (!condition) std::abort();
}

void SaveAndReload(UniStringList const& list, int encoding) {
  for (enumLineEndingType ending : kEndings) {
    for (bool mark : {false, true}) {
      XMemoryStream out;
      UniString const error = list.SaveToStream(&out, encoding, mark, ending);
      if (error.IsNotEmpty()) continue;
      UniStringList again;
      again.LoadFromStream(&out, false, false, encoding);
      // Read back as UTF-8 (the mark decides), the only line ends are the ones written, since a
      // loaded line holds no CR or LF: lines may merge (ending 0) or lose an empty last line,
      // never multiply.
      if (encoding == 1 && mark) {
        Check(again.Count() <= (ending == kLineEndingNone ? 1u : list.Count()));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  static bool const s_bolResources = OpenVelmoraTestResources() == noErr;
  (void)s_bolResources;
  if (size > (1u << 12)) return 0;

  XMemoryStream in;
  if (size > 0) in.WriteBytes(data, static_cast<int32_t>(size));
  for (int encoding : kEncodings) {
    for (bool useGiven : {false, true}) {
      for (bool little : {false, true}) {
        UniStringList list;
        list.LoadFromStream(&in, useGiven, little, encoding);
        // Every line but a last unfinished one takes at least one byte.
        Check(list.Count() <= size + 1);
        SaveAndReload(list, encoding);
      }
    }
  }
  return 0;
}
