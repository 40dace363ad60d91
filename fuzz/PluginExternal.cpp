// Fuzz target: the old-style External call with any parameter-handle bytes and function number.
// The first byte picks the number (-1 the version query, 0 to 20 numbers that no function
// answers while the File functions' mask is 0, or a number from the next four bytes), the rest
// is the handle. Must never crash, hang or leak; the result handle must always hold a text
// within the length limit, and every number but -1 must be refused.
// Whatever the query does to the preferences lands in a temporary file system made at start-up;
// debug lines reach no file. The host is the host model, its resource file the build's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <stdlib.h>

#include "core/DebugLog.h"
#include "host/clsFmxHost.h"
#include "platform/carbon/Files.h"
#include "plugin/PluginGlobals.h"
#include "plugin/frame/PluginExternal.h"
#include "tests/support/TestResources.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct stcWorld {
  clsFmxHost m_udtHost;
  std::string m_strRoot;
  ResFileRefNum m_shtPluginFile = kResFileNotOpened;
};

// The temporary file system, the host and the plug-in's resource file of this process. They live
// on the heap so that the clean-up at exit still finds the folder.
stcWorld& World() {
  static stcWorld& world = *[] {
    stcWorld* made = new stcWorld;
    std::string pattern = std::filesystem::temp_directory_path().string() + "/fuzz-external-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    made->m_strRoot = pattern;
    for (char const* folder : {"/prefs", "/Desktop", "/tmp"}) std::filesystem::create_directories(pattern + folder);
    if (FSStandInSetRoot(pattern.c_str()) != noErr) std::abort();
    FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
    FSStandInSetFolder(kUserDomain, kDesktopFolderType, "/Desktop");
    FSStandInSetFolder(kUserDomain, kTemporaryFolderType, "/tmp");
    if (OpenVelmoraTestResources() != noErr) std::abort();
    made->m_shtPluginFile = CurResFile();
    gFMX_ExternCallPtr = &made->m_udtHost.CallBlock();
    g_fudtFMProduct = 1;
    g_fnDebugLogFileWriter = nullptr;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(World().m_strRoot, ignored);
    });
    return made;
  }();
  return world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  stcWorld& world = World();
  if (size == 0) return 0;
  int32_t number = int32_t(data[0] % 23) - 1;
  size_t skip = 1;
  if (data[0] >= 230 && size >= 5) {
    std::memcpy(&number, data + 1, 4);
    skip = 5;
  }
  UseResFile(world.m_shtPluginFile);
  std::string const parameter(reinterpret_cast<char const*>(data) + skip, size - skip);
  char** in = world.m_udtHost.NewHandle(parameter);
  char** out = world.m_udtHost.NewHandle("previous");
  Internal_PluginExternal(number, in, out);
  std::string const result = world.m_udtHost.HandleBytes(out);
  world.m_udtHost.DisposeHandle(in);
  world.m_udtHost.DisposeHandle(out);
  Check(result.size() <= size_t(kMaxHandleTextBytes));
  if (number != -1) Check(result == "ERROR: DoExternal: Invalid Plug-in Function");
  return 0;
}
