// Fuzz target: any bytes as velmora-host's dialog answers file. Must never crash or hang; an
// accepted file must read back the same from its own written form, and a refusal must name a
// line of the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/HostDialogs.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  std::string const text(reinterpret_cast<char const*>(data), size);
  stcDialogAnswers answers;
  std::string error;
  if (!ParseDialogAnswers(text, &answers, &error)) {
    Check(error.compare(0, 5, "line ") == 0);
    Check(std::strtoul(error.c_str() + 5, nullptr, 10) >= 1);
    Check(std::strtoul(error.c_str() + 5, nullptr, 10) <= size + 1);
    return 0;
  }
  std::string const written = FormatDialogAnswers(answers);
  stcDialogAnswers again;
  Check(ParseDialogAnswers(written, &again, &error));
  Check(FormatDialogAnswers(again) == written);
  return 0;
}
