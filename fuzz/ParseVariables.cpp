// Fuzz target: arbitrary bytes, decoded as UTF-8 and split into lines at CR, LF and CR LF, read
// by clsMultiVar::ParseVariables with each of the eight flag combinations. Every result is then
// copied, compared, written back with GetVarsAsList and rendered as text, so the sanitizers see
// the whole life of the values built. The reader must not crash, hang or leak.
#include <cstddef>
#include <cstdint>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > (1u << 16)) return 0;
  UniString const text(data, 1, static_cast<int>(size));
  UniStringList lines;
  lines.AddText(text);
  for (int flags = 0; flags < 8; ++flags) {
    clsMultiVar vars;
    vars.ParseVariables(&lines, (flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0);
    clsMultiVar copy(vars);
    bool const same = copy == vars;
    (void)same;
    UniStringList written;
    vars.GetVarsAsList(&written, (flags & 1) != 0, (flags & 2) != 0);
    for (clsSingleVar const& v : vars) v.GetValue_AsString();
  }
  return 0;
}
