// Fuzz target: the preference-file round trip, in two halves.
// The file half: the bytes, decoded as UTF-8 and split into lines (at CR, LF, CR LF and zero
// units, none of which a stored string can hold), are read with the preference loader's flags
// (true, false, true). The integer entries and the string entries without line breaks are kept,
// written with GetVarsAsList(true, true) as the preference saver does, and read again with the
// same flags: the second reading must succeed and give back the same entries (name, type and
// value, in order), else the target aborts.
// The store half: the bytes, cut at 0x01 into (kind, name, value) triples, become string,
// integer and boolean sets on a preference store over a temporary file system, followed by one
// save. A set the store accepts must read back the same from a fresh store; a set it
// refuses must leave no entry behind, and when all were refused the saved file is byte for byte
// what it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <stdlib.h>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "platform/carbon/Files.h"
#include "plugin/clsPrefs.h"

namespace {

bool HoldsBreak(UniString const& text) {
  unsigned short const* units = text.GetBytes();
  for (int i = 0; i < text.Length(); ++i) {
    if (units[i] == '\r' || units[i] == '\n' || units[i] == 0) return true;
  }
  return false;
}

bool SameEntries(clsMultiVar const& a, clsMultiVar const& b) {
  if (a.Count() != b.Count()) return false;
  auto j = b.begin();
  for (auto i = a.begin(); i != a.end(); ++i, ++j) {
    if (i->GetName() != j->GetName() || i->GetType() != j->GetType()) return false;
    if (i->GetType() == kVarTypeInteger && i->GetIntegerValue() != j->GetIntegerValue()) return false;
    if (i->GetType() == kVarTypeString && i->GetStringValue() != j->GetStringValue()) return false;
  }
  return true;
}

// The temporary file system every store of this process works on.
// It lives on the heap, so the clean-up at exit still finds it.
std::string const& Root() {
  static std::string const& root = *[] {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/fuzz-prefs-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    std::filesystem::create_directories(pattern + "/prefs");
    if (FSStandInSetRoot(pattern.c_str()) != noErr) std::abort();
    if (FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs") != noErr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Root(), ignored);
    });
    return new std::string(pattern);
  }();
  return root;
}

std::string MainFile() {
  std::ifstream in(Root() + "/prefs/QRV/Velmora/1.1/Velmora Prefs", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct stcExpected {
  int kind;  // 0 string, 1 integer, 2 boolean
  UniString name;
  UniString text;
  int32_t number;
};

void StoreRoundTrip(uint8_t const* data, size_t size) {
  std::filesystem::remove_all(Root() + "/prefs/QRV");
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0x01) {
      fields.emplace_back();
    } else {
      fields.back().push_back(char(data[i]));
    }
  }

  std::map<std::string, stcExpected> accepted;  // by upper-cased trimmed name
  std::vector<UniString> refused;
  std::string baseline;
  {
    clsPrefs prefs;
    prefs.LoadPrefs();
    prefs.SetStringPref(UniString("Baseline"), UniString("kept"));
    prefs.SavePrefs();
    baseline = MainFile();
    for (size_t i = 0; i + 2 < fields.size() && i < 3 * 16; i += 3) {
      int const kind = fields[i].empty() ? 0 : (unsigned char)fields[i][0] % 3;
      UniString const name(fields[i + 1].c_str(), 1, int(fields[i + 1].size()));
      UniString const text(fields[i + 2].c_str(), 1, int(fields[i + 2].size()));
      std::string const key = name.Trim().UpperCase().GetAnsiString(1).c_str();
      // The saver writes the debug level's own entry; the baseline stays as it is.
      if (key == "DEBUGLEVEL" || key == "BASELINE") continue;
      int32_t const number = text.ToInt();
      bool const ok = kind == 0   ? prefs.SetStringPref(name, text)
                      : kind == 1 ? prefs.SetIntegerPref(name, number)
                                  : prefs.SetBooleanPref(name, number > 0);
      if (ok) {
        accepted[key] = stcExpected{kind, name, text, kind == 2 ? (number > 0 ? 1 : 0) : number};
      } else {
        refused.push_back(name);
      }
    }
    prefs.SavePrefs();
    // Nothing accepted: the file is the baseline's, byte for byte.
    if (accepted.empty() && MainFile() != baseline) std::abort();
  }

  clsPrefs reread;
  if (reread.GetStringPref(UniString("Baseline"), UniString()) != UniString("kept")) std::abort();
  for (auto const& item : accepted) {
    stcExpected const& e = item.second;
    if (e.kind == 0) {
      if (reread.GetStringPref(e.name, UniString("\x01")) != e.text) std::abort();
    } else if (reread.GetIntegerPref(e.name, e.number + 1) != e.number) {
      std::abort();
    }
  }
  for (UniString const& name : refused) {
    if (accepted.count(name.Trim().UpperCase().GetAnsiString(1).c_str()) == 0 &&
        reread.PrefExists(name)) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > (1u << 16)) return 0;
  StoreRoundTrip(data, size < 4096 ? size : 4096);
  UniString const decoded(data, 1, static_cast<int>(size));
  std::vector<unsigned short> units(decoded.GetBytes(), decoded.GetBytes() + decoded.Length());
  for (unsigned short& u : units) {
    if (u == 0) u = '\n';
  }
  UniStringList lines;
  lines.AddText(UniString(units.data(), static_cast<int>(units.size())));

  clsMultiVar first;
  first.ParseVariables(&lines, true, false, true);
  clsMultiVar kept;
  for (clsSingleVar const& v : first) {
    bool const keep = v.GetType() == kVarTypeInteger ||
                      (v.GetType() == kVarTypeString && !HoldsBreak(v.GetStringValue()));
    if (!keep) continue;
    clsSingleVar copy(v);
    kept.AddVar(&copy, true);
  }

  UniStringList written;
  kept.GetVarsAsList(&written, true, true);
  clsMultiVar again;
  if (again.ParseVariables(&written, true, false, true).IsNotEmpty()) std::abort();
  if (!SameEntries(kept, again)) std::abort();
  return 0;
}
