// Fuzz target: the preference-file round trip. The bytes, decoded as UTF-8 and split into lines
// (at CR, LF, CR LF and zero units, none of which a stored string can hold), are read with the
// preference loader's flags (true, false, true). The integer entries and the string entries
// without line breaks are kept, written with GetVarsAsList(true, true) as the preference saver
// does, and read again with the same flags: the second reading must succeed and give back the
// same entries (name, type and value, in order), else the target aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > (1u << 16)) return 0;
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
