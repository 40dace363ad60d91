// clsPrefs: the store's values: lookups in the local set before the system set, the typed
// getters that convert a found entry in place, the setters and their refusals, and the
// scrambling of password values. Loading, saving and the folders are in clsPrefsFiles.cpp.
// Scrambled passwords are carried one UTF-16 unit per scrambled byte, so bytes above 0x7F
// (from a password holding a character above U+007F) survive the UTF-8 preference file; an
// ASCII password's scrambled text is the same either way.
#include "plugin/clsPrefs.h"

#include <vector>

#include "core/DebugLog.h"
#include "core/TextEncoders.h"
#include "core/clsParameterExtractor.h"

clsPrefs g_udtPrefs;

namespace {

UniString U(char const* text) { return UniString(text); }

// Whether "password" stands in the name, in any letter case. Every getter asks, so it scans in
// place instead of building upper-cased copies.
bool IsPasswordName(UniString const& name) {
  static char const kWord[] = "password";
  int const wordLength = int(sizeof(kWord) - 1);
  unsigned short const* units = name.GetBytes();
  for (int start = 0; start + wordLength <= name.Length(); ++start) {
    int i = 0;
    while (i < wordLength) {
      unsigned short u = units[start + i];
      if (u >= 'A' && u <= 'Z') u = static_cast<unsigned short>(u - 'A' + 'a');
      if (u != static_cast<unsigned char>(kWord[i])) break;
      ++i;
    }
    if (i == wordLength) return true;
  }
  return false;
}

// CR and LF end an entry in the file; a zero unit ends the text read back.
bool HoldsLineBreak(UniString const& text) {
  return text.Pos(static_cast<unsigned short>('\r')) > 0 ||
         text.Pos(static_cast<unsigned short>('\n')) > 0 ||
         text.Pos(static_cast<unsigned short>(0)) > 0;
}

// The stored (scrambled) text as the scrambler's bytes: one byte per unit. A text holding a
// unit above 0xFF was not written by the store; its UTF-8 bytes are the best guess.
AnsiString StoredBytes(UniString const& stored) {
  unsigned short const* units = stored.GetBytes();
  std::vector<char> bytes;
  bytes.reserve(size_t(stored.Length()));
  for (int i = 0; i < stored.Length(); ++i) {
    if (units[i] > 0xFF) return stored.GetAnsiString(1);
    bytes.push_back(static_cast<char>(units[i]));
  }
  return AnsiString(bytes.data(), int(bytes.size()));
}

UniString Scramble(UniString const& clear) {
  AnsiString const scrambled = EncryptPassword(clear.GetAnsiString(1));
  std::vector<unsigned short> units;
  units.reserve(size_t(scrambled.Length()));
  for (int i = 1; i <= scrambled.Length(); ++i) {
    units.push_back(static_cast<unsigned char>(scrambled[i]));
  }
  return UniString(units.data(), int(units.size()));
}

UniString Unscramble(UniString const& stored) {
  AnsiString const clear = DecryptPassword(StoredBytes(stored));
  return UniString(clear.c_str(), 1, clear.Length());
}

// A password of several lines is a list scrambled line by line: the scrambler keeps every byte
// but the letters, so a scrambled line end would still end the line in the file.
UniString UnscrambleLines(UniStringList const* lines) {
  UniString text;
  if (lines == nullptr) return text;
  bool first = true;
  for (UniString const& line : *lines) {
    if (!first) text += UniString("\r");
    text += Unscramble(line);
    first = false;
  }
  return text;
}

// Whether the preference files hold the value as it is and give it back so: a string without a
// line end or zero unit, a list of at least one line (an empty list has no file), any other type.
bool FilesCanHold(clsSingleVar& value) {
  switch (value.GetType()) {
    case kVarTypeString:
      return !HoldsLineBreak(value.GetStringValue());
    case kVarTypeList: {
      UniStringList const* lines = value.GetListValue(false);
      return lines != nullptr && !lines->IsEmpty();
    }
    default:
      return true;
  }
}

// What a getter reads from an entry of another type, given the entry converted on a copy. Reading
// never changes what is stored: the entry takes the converted value only when its text stays the
// same and the files can hold it (a quoted "25" becomes the integer 25, a one-line list its line);
// otherwise the getter reads the copy and the entry stays as it is (a list of several lines read
// as text, letters read as a number, a yes read as a boolean).
clsSingleVar& Settle(clsSingleVar& entry, clsSingleVar& converted) {
  if (!FilesCanHold(converted) || converted.GetValue_AsString() != entry.GetValue_AsString()) {
    return converted;
  }
  entry = converted;
  return entry;
}

clsSingleVar& AsType(clsSingleVar& entry, enumPluginVarType type, clsSingleVar& copy) {
  copy = entry;
  copy.CoerceVarType(type);
  return Settle(entry, copy);
}

}  // namespace

clsPrefs::clsPrefs() : m_ulngLastCheck(0), m_bolLocalLoaded(false), m_bolSystemLoaded(false) {
  clsFuncDebug dbg(U("clsPrefs Constructor"));
  // 2000-01-01 00:00:00: older than any load, which counts from 2000-01-02.
  m_dtmLastLoaded.SetAsSeconds(946684800u);
}

clsPrefs::~clsPrefs() { clsFuncDebug dbg(U("clsPrefs Destructor")); }

bool clsPrefs::IsStorableName(UniString name) {
  // A zero unit is looked for before trimming: a trimmed copy ends at one, so " a<TAB><NUL>b"
  // would pass as "a<TAB>", be written so, and read back under another name.
  for (int i = 1; i <= name.Length(); ++i) {
    if (name[i] == 0) return false;
  }
  UniString const trimmed = name.Trim();
  if (trimmed.IsEmpty()) return false;
  for (int i = 1; i <= trimmed.Length(); ++i) {
    switch (trimmed[i]) {
      case '=': case ';': case '\'': case '"': case '{': case '}': case '$': case '\r':
      case '\n': case 0:
        return false;
      default:
        break;
    }
  }
  return clsMultiVar().CheckVarName(trimmed, false).IsEmpty();
}

UniString clsPrefs::CheckName(UniString const& name) {
  if (IsStorableName(name)) return UniString();
  return U("Invalid Preference Name: '") + name +
         U("'; a Preference Name cannot be blank or contain =, ;, ', \", {, }, $, a line break "
           "or a zero character.");
}

UniString clsPrefs::ErrorString() const {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  return m_ustrError;
}

clsSingleVar* clsPrefs::FindEntry(UniString const& name) {
  clsMultiVar::iterator it;
  if (m_udtLocalPrefs.GetVar(name, it)) return &*it;
  if (m_udtSystemPrefs.GetVar(name, it)) return &*it;
  return nullptr;
}

bool clsPrefs::PrefExists(UniString name) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  return FindEntry(name) != nullptr;
}

// ---- getters ----

UniString clsPrefs::GetStringPref(UniString name, UniString defaultValue) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  LoadPrefs();
  clsSingleVar* entry = FindEntry(name);
  if (entry == nullptr) return defaultValue;
  bool const password = IsPasswordName(name);
  if (entry->GetType() == kVarTypeString) {
    UniString const text = entry->GetStringValue();
    return password ? Unscramble(text) : text;
  }
  if (password && entry->GetType() == kVarTypeList) return UnscrambleLines(entry->GetListValue(false));
  clsSingleVar copy;
  UniString const text = AsType(*entry, kVarTypeString, copy).GetStringValue();
  return password ? Unscramble(text) : text;
}

int32_t clsPrefs::GetIntegerPref(UniString name, int32_t defaultValue) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  LoadPrefs();
  clsSingleVar* entry = FindEntry(name);
  if (entry == nullptr) return defaultValue;
  if (entry->GetType() == kVarTypeInteger) return entry->GetIntegerValue();
  clsSingleVar copy;
  return AsType(*entry, kVarTypeInteger, copy).GetIntegerValue();
}

bool clsPrefs::GetBooleanPref(UniString name, bool defaultValue) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  LoadPrefs();
  clsSingleVar* entry = FindEntry(name);
  if (entry == nullptr) return defaultValue;
  if (entry->GetType() == kVarTypeInteger) return entry->GetIntegerValue() > 0;
  clsSingleVar copy(*entry);
  bool word = false;
  if (entry->GetType() == kVarTypeString && ParseBooleanParameter(entry->GetStringValue(), &word)) {
    copy.SetIntegerValue(word ? 1 : 0);
  } else {
    copy.CoerceVarType(kVarTypeInteger);
  }
  return Settle(*entry, copy).GetIntegerValue() > 0;
}

UniStringList* clsPrefs::GetListPrefPtr(UniString name) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  LoadPrefs();
  clsSingleVar* entry = FindEntry(name);
  if (entry == nullptr) return nullptr;
  if (entry->GetType() == kVarTypeList) return entry->GetListValue(false);
  // Every value but an empty one reads as a list of its text without loss; an empty one has no
  // lines and stays as it is.
  clsSingleVar copy;
  clsSingleVar& list = AsType(*entry, kVarTypeList, copy);
  return &list == entry ? entry->GetListValue(false) : nullptr;
}

clsSingleVar clsPrefs::GetPref(UniString name, clsSingleVar defaultValue) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  LoadPrefs();
  clsSingleVar* entry = FindEntry(name);
  if (entry == nullptr) return defaultValue;
  clsSingleVar copy(*entry);
  if (IsPasswordName(name)) {
    copy.SetStringValue(entry->GetType() == kVarTypeList ? UnscrambleLines(entry->GetListValue(false))
                                                         : Unscramble(entry->GetValue_AsString()));
  }
  return copy;
}

// ---- setters ----

bool clsPrefs::SetStringPref(UniString name, UniString value) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  m_ustrError = CheckName(name);
  if (m_ustrError.IsEmpty() && HoldsLineBreak(value)) {
    m_ustrError = U("The value of the Preference '") + name.Trim() +
                  U("' holds a line break or a zero character; only a list preference can hold "
                    "several lines.");
  }
  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("SetStringPref: ") + m_ustrError);
    return false;
  }
  if (IsPasswordName(name)) value = Scramble(value);
  clsSingleVar* entry = FindEntry(name);
  if (entry != nullptr) {
    entry->SetStringValue(value);
    return true;
  }
  // The value as given: the add takes text around which quotes stand for a quoted string, so
  // "''" would be stored empty and "'x'" as x; the entry is made first and given the value after.
  m_ustrError = m_udtSystemPrefs.AddStringVar(name, UniString(), false);
  if (m_ustrError.IsNotEmpty()) return false;
  entry = FindEntry(name);
  if (entry != nullptr) entry->SetStringValue(value);
  return true;
}

bool clsPrefs::SetIntegerPref(UniString name, int32_t value) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  m_ustrError = CheckName(name);
  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("SetIntegerPref: ") + m_ustrError);
    return false;
  }
  clsSingleVar* entry = FindEntry(name);
  if (entry != nullptr) {
    entry->SetIntegerValue(value);
    return true;
  }
  m_ustrError = m_udtSystemPrefs.AddIntegerVar(name, value, false);
  return m_ustrError.IsEmpty();
}

bool clsPrefs::SetBooleanPref(UniString name, bool value) {
  return SetIntegerPref(name, value ? 1 : 0);
}

bool clsPrefs::SetListPref(UniString name, UniString text) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  m_ustrError = CheckName(name);
  if (m_ustrError.IsNotEmpty()) {
    DebugOutput(kDebugError, U("SetListPref: ") + m_ustrError);
    return false;
  }
  UniStringList lines;
  lines.AddText(text);
  if (IsPasswordName(name)) {
    for (UniString& line : lines) line = Scramble(line);
  }
  clsSingleVar* entry = FindEntry(name);
  if (entry != nullptr) {
    entry->SetListValue(&lines, false);
    return true;
  }
  m_ustrError = m_udtSystemPrefs.AddListVar(name, &lines, false, false);
  return m_ustrError.IsEmpty();
}
