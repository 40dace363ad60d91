// PrefsBench: preference look-ups inside one 15-second window (the clock is pinned, so no look-up
// touches the disk), side by side with the same look-ups made directly with clsMultiVar::GetVar on
// the two sets, local first. 40 entries: 20 in the local file, 20 in the system file, strings,
// integers and lists. Each benchmark makes one look-up per iteration, cycling through the names;
// the target is the store within 2x of the bare look-ups.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/clsMultiVar.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFBundle.h"
#include "platform/cf/CFDate.h"
#include "plugin/clsPrefs.h"

namespace {

int const kPerSet = 20;

struct stcFixture {
  std::string strRoot;
  std::vector<UniString> lstStrings, lstIntegers, lstLists;
  clsMultiVar udtLocal, udtSystem;  // the same entries, for the bare look-ups
  clsPrefs* udtPrefs = nullptr;
};

// Writes one set's preference file (and its list files) and the same entries into set.
void WriteSet(std::string const& folder, char const* prefix, stcFixture& f, clsMultiVar& set) {
  std::filesystem::create_directories(folder);
  std::string main = "\xEF\xBB\xBF";
  for (int i = 0; i < kPerSet; ++i) {
    std::string const name = std::string(prefix) + std::to_string(i);
    UniString const uname(name.c_str());
    switch (i % 3) {
      case 0:
        main += name + "=\"smtp" + std::to_string(i) + ".example.test\"\r";
        set.AddStringVar(uname, UniString(("smtp" + std::to_string(i) + ".example.test").c_str()), false);
        f.lstStrings.push_back(uname);
        break;
      case 1:
        main += name + "=" + std::to_string(i * 7) + "\r";
        set.AddIntegerVar(uname, i * 7, false);
        f.lstIntegers.push_back(uname);
        break;
      default:
        std::ofstream(folder + "/Velmora " + name, std::ios::binary) << "\xEF\xBB\xBFline one\rline two";
        set.AddListVar(uname, UniString("line one\rline two"), false);
        f.lstLists.push_back(uname);
        break;
    }
  }
  std::ofstream(folder + "/Velmora Prefs", std::ios::binary) << main;
}

stcFixture& Fixture() {
  static stcFixture& f = *[] {
    stcFixture* made = new stcFixture;
    stcFixture& fixture = *made;
    std::string pattern = std::filesystem::temp_directory_path().string() + "/bench-prefs-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    fixture.strRoot = pattern;
    FSStandInSetRoot(pattern.c_str());
    FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
    CFStringRef id = CFStringCreateWithCString(nullptr, g_strPluginBundleIdentifier, kCFStringEncodingUTF8);
    CFBundleSetLocationForTesting(id, (pattern + "/plugins/Velmora.bundle").c_str());
    CFRelease(id);
    std::filesystem::create_directories(pattern + "/plugins/Velmora.bundle");
    WriteSet(pattern + "/plugins", "Local", fixture, fixture.udtLocal);
    WriteSet(pattern + "/prefs/QRV/Velmora/1.1", "System", fixture, fixture.udtSystem);
    CFAbsoluteTimeSetCurrentForTesting(CFAbsoluteTimeGetCurrent());
    fixture.udtPrefs = new clsPrefs;
    fixture.udtPrefs->LoadPrefs();
    // Every name must be found, or the runs would time the misses.
    for (UniString const& name : fixture.lstStrings) {
      if (fixture.udtPrefs->GetStringPref(name, UniString()).IsEmpty()) std::abort();
    }
    for (UniString const& name : fixture.lstLists) {
      if (fixture.udtPrefs->GetListPrefPtr(name) == nullptr) std::abort();
    }
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Fixture().strRoot, ignored);
    });
    return made;
  }();
  return f;
}

// The bare look-up: the local set, then the system set.
clsSingleVar* Find(stcFixture& f, UniString const& name) {
  clsMultiVar::iterator it;
  if (f.udtLocal.GetVar(name, it) || f.udtSystem.GetVar(name, it)) return &*it;
  return nullptr;
}

void BM_GetStringPref(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.udtPrefs->GetStringPref(f.lstStrings[i++ % f.lstStrings.size()], UniString()));
  }
}

void BM_GetVarString(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    clsSingleVar* v = Find(f, f.lstStrings[i++ % f.lstStrings.size()]);
    benchmark::DoNotOptimize(v != nullptr ? v->GetStringValue() : UniString());
  }
}

void BM_GetIntegerPref(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.udtPrefs->GetIntegerPref(f.lstIntegers[i++ % f.lstIntegers.size()], 0));
  }
}

void BM_GetVarInteger(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    clsSingleVar* v = Find(f, f.lstIntegers[i++ % f.lstIntegers.size()]);
    benchmark::DoNotOptimize(v != nullptr ? v->GetIntegerValue() : 0);
  }
}

void BM_GetListPrefPtr(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f.udtPrefs->GetListPrefPtr(f.lstLists[i++ % f.lstLists.size()]));
  }
}

void BM_GetVarList(benchmark::State& state) {
  stcFixture& f = Fixture();
  size_t i = 0;
  for (auto _ : state) {
    clsSingleVar* v = Find(f, f.lstLists[i++ % f.lstLists.size()]);
    benchmark::DoNotOptimize(v != nullptr ? v->GetListValue(false) : nullptr);
  }
}

}  // namespace

BENCHMARK(BM_GetStringPref);
BENCHMARK(BM_GetVarString);
BENCHMARK(BM_GetIntegerPref);
BENCHMARK(BM_GetVarInteger);
BENCHMARK(BM_GetListPrefPtr);
BENCHMARK(BM_GetVarList);
BENCHMARK_MAIN();
