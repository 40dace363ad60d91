// Fuzz target: the address check over any UTF-16 text (the bytes taken as units, low byte
// first), validation on. It must end without a crash or a hang, and a cleaned address that is not
// empty must hold no CR, LF or zero unit (it is written into header lines as it stands); a
// cleaned address and an error output are never both given. Else the target aborts.
// The preference store reads an empty temporary file-system root, never the user's folders.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "mime/CleanOneEmailAddress.h"
#include "platform/carbon/Files.h"
#include "plugin/clsPrefs.h"

namespace {

std::string g_strRoot;

void RemoveRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(g_strRoot, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = "/tmp/velmora-fuzz-address-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) abort();
  g_strRoot = pattern;
  atexit(RemoveRoot);
  std::filesystem::create_directories(g_strRoot + "/prefs");
  if (FSStandInSetRoot(g_strRoot.c_str()) != noErr) abort();
  if (FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs") != noErr) abort();
  g_udtPrefs.LoadPrefs();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  std::vector<unsigned short> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<unsigned short>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  UniString const address(units.data(), static_cast<int>(units.size()));
  UniString cleaned;
  UniString error;
  CleanOneEmailAddress(address, &cleaned, &error);
  if (cleaned.IsEmpty()) return 0;
  if (error.IsNotEmpty()) abort();
  for (int i = 1; i <= cleaned.Length(); ++i) {
    unsigned short const unit = cleaned[i];
    if (unit == '\r' || unit == '\n' || unit == 0) abort();
  }
  return 0;
}
