// Fuzz target: any text through XFileSpec::ParsePath, bare and behind each of the nine host
// prefixes, and every parsed XFileSpec rendered back in each style (full and parent), with
// its last name and the text helpers. Must never crash or hang; EncodeSlashes must stay
// idempotent. The first byte picks the host: none, one that lends no environment, one that
// answers the front database's location, or one that answers the fuzz text itself (a relative
// host path that leads back to the host again).
// The File Manager stand-in's root is a temporary folder made at start-up, so nothing outside it
// is touched; the clock is pinned so the volume caches are built once. The host is the fuzz
// targets' small one (fuzz/FuzzHost.h), since the fuzz build links no test support.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"
#include "fuzz/FuzzHost.h"
#include "platform/fmx/FMWrapper.h"
#include "plugin/PluginGlobals.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

fmx::Text TextOf(std::string const& utf8) {
  fmx::Text text;
  text.AssignWithLength(utf8.data(), fmx::uint32(utf8.size()), fmx::Text::kEncoding_UTF8);
  return text;
}

// Lends an environment (or refuses) and answers every evaluation with one text.
class clsFuzzHost : public clsFuzzHostBase {
 public:
  fmx::errcode m_shtEnvError = 0;
  std::string m_strAnswer;

  fmx::errcode Evaluate(fmx::ExprEnv const&, fmx::Text const&, fmx::Data& result) override {
    result.SetAsText(TextOf(m_strAnswer), fmx::Locale(fmx::Locale::kType_Current));
    return 0;
  }
  fmx::errcode SetToCurrentEnv(fmx::ExprEnv&) override { return m_shtEnvError; }
};

clsFuzzHost g_udtHost;
FMX_ExternCallStruct g_udtBlock;

void MakeDir(std::string const& path) {
  std::string partial;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
}

char const* const kPrefixes[] = {"",          "file:",    "IMAGE:",   "Movie:",   "filemac:",
                                 "IMAGEMAC:", "moviemac:", "FILEWIN:", "imagewin:", "MOVIEWIN:"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-parsepath-XXXXXX";
  char* root = mkdtemp(pattern);
  if (root == nullptr) std::abort();
  std::string const base = root;
  for (char const* dir : {"/Users/bob", "/Volumes/Data/db", "/etc", "/tmp"}) MakeDir(base + dir);
  FILE* db = fopen((base + "/Volumes/Data/db/Orders").c_str(), "w");
  if (db) fclose(db);
  if (FSStandInSetRoot(base.c_str()) != noErr) std::abort();
  FSStandInSetFolder(kUserDomain, kCurrentUserFolderType, "/Users/bob");
  CFAbsoluteTimeSetCurrentForTesting(300000000.0);
  fmx::InstallHostServices(&g_udtHost);
  fmx::InitExternCallStruct(g_udtBlock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  std::string const text(reinterpret_cast<char const*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      gFMX_ExternCallPtr = nullptr;
      break;
    case 1:
      gFMX_ExternCallPtr = &g_udtBlock;
      g_udtHost.m_shtEnvError = 1;
      break;
    case 2:
      gFMX_ExternCallPtr = &g_udtBlock;
      g_udtHost.m_shtEnvError = 0;
      g_udtHost.m_strAnswer = "file:/Data/db/Orders";
      break;
    default:
      gFMX_ExternCallPtr = &g_udtBlock;
      g_udtHost.m_shtEnvError = 0;
      g_udtHost.m_strAnswer = "file:" + text;
      break;
  }

  UniString const raw(text.c_str(), 1, int(text.size()));
  UniString const once = XFileSpec::EncodeSlashes(raw);
  Check(once == XFileSpec::EncodeSlashes(once));
  XFileSpec::NormalizePathDelimiters(raw);
  XFileSpec::GetFileName(raw);
  XFileSpec::GetFileExt(raw);

  for (char const* prefix : kPrefixes) {
    XFileSpec spec;
    std::string const full = std::string(prefix) + text;
    if (!spec.ParsePath(UniString(full.c_str(), 1, int(full.size())))) continue;
    for (int pass = 0; pass < 2; ++pass) {  // built, then from the cache
      for (int style = 0; style <= 5; ++style) {
        spec.GetPath(enumPathStyle(style), true);
        spec.GetPath(enumPathStyle(style), false);
        spec.GetFileOrDirName(enumPathStyle(style));
      }
    }
    XFileSpec copy(spec);
    copy.RemoveFileOrDirName();
    copy.AddFileOrDirName(raw);
    copy.GetPath(kPathStylePOSIX, true);
    XFileSpec back;
    back.ParsePath(spec.GetPath(kPathStyleInternal, true));
  }
  gFMX_ExternCallPtr = nullptr;
  return 0;
}
