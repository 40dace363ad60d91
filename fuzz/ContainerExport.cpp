// Fuzz target: DoFileExport of a container built from the input into a fresh folder. The input
// decides the container's form (streams of known or any types with any bytes, a text that names
// no file, or a reference text to a file beside the folder) and the parameters "SaveAs",
// "ReqType" and "MakeUnique". Must never crash; the result must be one of the export's result
// forms, a success must name a file directly inside the folder, and nothing may appear or vanish
// outside the folder.
// The File Manager stand-in's root is a temporary folder made at start-up; the clock is pinned
// so the volume caches are built once. The code-page tables come from the resource file.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "filefuncs/FileFuncs.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFDate.h"
#include "platform/fmx/FMWrapper.h"
#include "tests/support/TestResources.h"

namespace {

std::string g_strRoot;

void Check(bool condition) {
  if (!condition) std::abort();
}

UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// Every path below the root but inside /out, with its size (a changed file outside shows too).
std::set<std::string> Outside() {
  std::set<std::string> items;
  for (auto const& entry : std::filesystem::recursive_directory_iterator(g_strRoot)) {
    std::string const path = entry.path().string().substr(g_strRoot.size());
    if (path == "/out" || path.rfind("/out/", 0) == 0) continue;
    std::error_code ignored;
    items.insert(path + " " + std::to_string(entry.is_regular_file() ? entry.file_size(ignored) : 0));
  }
  return items;
}

bool StartsWith(std::string const& text, std::string const& prefix) { return text.rfind(prefix, 0) == 0; }

char const* const kTypes[] = {"JPEG", "GIFf", "EPS ", "PICT", "PNG ", "PNGf", "BMP ",
                              "PDF ", "snd ", "XMLO", "FILE", "FORK", "FNAM", "SIZE"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-export-XXXXXX";
  char* root = mkdtemp(pattern);
  if (root == nullptr) std::abort();
  g_strRoot = root;
  // Folders the file layer looks up (and would create) on first use.
  for (char const* folder : {"/src", "/etc", "/tmp"}) std::filesystem::create_directories(g_strRoot + folder);
  std::ofstream(g_strRoot + "/src/a.txt") << "referenced";
  if (FSStandInSetRoot(g_strRoot.c_str()) != noErr) std::abort();
  CFAbsoluteTimeSetCurrentForTesting(300000000.0);
  OpenVelmoraTestResources();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 65536) return 0;
  FuzzedDataProvider input(data, size);
  std::filesystem::remove_all(g_strRoot + "/out");
  std::filesystem::create_directories(g_strRoot + "/out");
  std::set<std::string> const before = Outside();

  fmx::Data container;
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: {  // streams
      fmx::BinaryData streams;
      int const count = input.ConsumeIntegralInRange<int>(0, 4);
      for (int i = 0; i < count; ++i) {
        std::string type = input.ConsumeBool() ? kTypes[input.ConsumeIntegralInRange<size_t>(0, 13)]
                                               : input.ConsumeBytesAsString(4);
        type.resize(4, ' ');
        std::string const bytes = input.ConsumeRandomLengthString(20000);
        streams.Add(fmx::QuadChar(type[0], type[1], type[2], type[3]), fmx::uint32(bytes.size()), bytes.data());
      }
      container.SetBinaryData(streams, true);
      break;
    }
    case 1: {  // a text, maybe a reference to the file beside the folder
      std::string text = input.ConsumeRandomLengthString(200);
      if (input.ConsumeBool()) text = "filemac:/Macintosh HD/src/" + text;
      fmx::Text hostText;
      hostText.AssignWithLength(text.data(), fmx::uint32(text.size()), fmx::Text::kEncoding_UTF8);
      container.SetAsText(hostText, fmx::Locale(fmx::Locale::kType_Current));
      break;
    }
    default:
      break;  // empty
  }
  clsMultiVar params;
  params.AddStringVar(U("Path"), U("/out"), true);
  if (input.ConsumeBool()) params.AddStringVar(U("SaveAs"), U(input.ConsumeRandomLengthString(40)), true);
  if (input.ConsumeBool()) params.AddStringVar(U("ReqType"), U(input.ConsumeRandomLengthString(6)), true);
  if (input.ConsumeBool()) params.AddIntegerVar(U("MakeUnique"), 1, true);

  UniString const answer = DoFileExport(container, &params).GetValue_AsString();
  std::string const result = answer.GetAnsiString(1).c_str();
  char const* const successes[] = {"Exported Text to /out/", "Copied By Reference File to /out/",
                                   "The By Reference File already existed in the export location: /out/",
                                   "Exported file to: /out/"};
  bool success = false;
  for (char const* prefix : successes) {
    if (StartsWith(result, prefix)) {
      // The file lies directly in the folder: no further '/' in its name (a '/' of the name is ':').
      Check(result.find('/', std::string(prefix).size()) == std::string::npos);
      success = true;
    }
  }
  if (getenv("FUZZ_EXPORT_TRACE")) fprintf(stderr, "%s\n", result.c_str());
  Check(success || StartsWith(result, "ERROR: File_Export: "));
  std::set<std::string> const after = Outside();
  if (getenv("FUZZ_EXPORT_TRACE")) {
    for (auto const& item : after) if (!before.count(item)) fprintf(stderr, "+ %s\n", item.c_str());
    for (auto const& item : before) if (!after.count(item)) fprintf(stderr, "- %s\n", item.c_str());
  }
  Check(after == before);
  return 0;
}
