// Fuzz target: the compose dialog's address choices and the configuration dialog's sender
// fields, over any UTF-16 text (the bytes taken as units, low byte first, up to a zero unit), validation on.
// The text's CR-separated lines go through CleanQuickMenuEmailAddresses: every kept choice must
// end in an address the validator accepts, behind a prefix that ends at a '>' or ';' (or no
// prefix). The whole text goes through the sender split: a name and an address without brackets
// or quotes of their own, joined and split again, must give the same two fields. Else the target aborts; it must never crash or hang.
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
#include "plugin/frame/FromAddress.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

std::string g_strRoot;

void RemoveRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(g_strRoot, ignored);
}

bool Accepted(UniString const& address) {
  UniString cleaned;
  CleanOneEmailAddress(address, &cleaned, nullptr);
  return cleaned.IsNotEmpty();
}

// The part after a prefix is accepted as a whole, or holds an accepted mailbox in angle
// brackets. (A name or comment with quotes or brackets of its own can make the validator refuse
// its own cleaned form as a whole; the mailbox inside must still pass.)
bool HoldsAcceptedAddress(UniString const& part) {
  if (Accepted(part)) return true;
  for (int open = part.Pos(static_cast<unsigned short>('<')); open > 0;
       open = part.Pos(static_cast<unsigned short>('<'), false, open + 1)) {
    int const close = part.Pos(static_cast<unsigned short>('>'), false, open + 1);
    if (close > 0 && Accepted(part.SubString(open + 1, close - open - 1))) return true;
  }
  return false;
}

// Some split of the kept choice into no prefix, or a prefix ending at '>' or ';', and a part
// holding an accepted address.
bool EndsInAcceptedAddress(UniString const& kept) {
  if (HoldsAcceptedAddress(kept)) return true;
  for (int i = 1; i < kept.Length(); ++i) {
    if ((kept[i] == '>' || kept[i] == ';') && HoldsAcceptedAddress(kept.SubString(i + 1, kept.Length() - i))) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = "/tmp/velmora-fuzz-choices-XXXXXX";
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
  // Host text reaches the plug-in up to its first zero unit, so the text stops there too.
  std::vector<unsigned short> units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    unsigned short const unit = static_cast<unsigned short>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  UniString const text(units.data(), static_cast<int>(units.size()));

  static clsPluginVars* vars = new clsPluginVars;
  UniStringList choices;
  choices.BreakApart(text, static_cast<unsigned short>('\r'), false, kBreakApartTrimNone);
  UniStringList cleaned, problems;
  vars->CleanQuickMenuEmailAddresses(&choices, &cleaned, &problems);
  if (cleaned.Count() + problems.Count() > choices.Count()) abort();
  for (UniString const& kept : cleaned) {
    if (!EndsInAcceptedAddress(kept)) abort();
  }

  UniString name, address;
  SplitFromAddress(text, &name, &address);
  UniString againName, againAddress;
  SplitFromAddress(ComposeFromAddress(name, address), &againName, &againAddress);
  // The split looks for the first '<' and '>', so a name that holds brackets or quotes of its
  // own may split elsewhere the second time; any other pair must come back as it was.
  UniString const marks("<>\"");
  bool const plain = name.PosOfAnyChar(marks) == 0 && address.PosOfAnyChar(marks) == 0;
  if (plain && address.IsNotEmpty() && (againName != name || againAddress != address)) abort();
  return 0;
}
