// clsPrefsFiles: where the store's files are and how they are read and written: the local and
// system folders, the discovery of list-preference files, LoadPrefs with its 15-second throttle
// and its import from an older version's folder, and SavePrefs.
// Files are UTF-8 with the byte-order mark and CR line ends, type 'TEXT', creator 'R*ch', mode
// 0600, in folders QRV/Velmora/1.1 of mode 0700 (passwords are only scrambled); each save
// replaces a file whole (UniStringList::SaveToFile), so a save cut short loses nothing. A
// main file is written also for an empty set (the mark alone), so that an entry removed from
// memory does not come back from the file at the next start. A list file is deleted only when
// its set holds an entry of its name that is no longer a non-empty list; a list file is never
// read as two entries of one name. The debug and crash logs and the plug-in files never count
// as list files; folders, among them the plug-in's own bundle beside the local file, are never
// listed into. A damaged entry in a preference file is skipped and logged, the entries after it
// are kept, and the file is first copied aside whole ("Damaged Velmora Prefs"), so that a save
// loses nothing the user wrote into it.
#include <cstdlib>
#include <memory>
#include <new>
#include <iterator>
#include <string>

#include "core/DebugLog.h"
#include "core/PrivateItems.h"
#include "plugin/clsPrefs.h"

namespace {

UniString U(char const* text) { return UniString(text); }

char const kProductName[] = "Velmora";
char const kPrefsFileName[] = "Velmora Prefs";
// Not the product's name first: a copy of a damaged file is never taken for a list file.
char const kDamagedFileName[] = "Damaged Velmora Prefs";
char const kVendorFolder[] = "QRV";
char const kVersionFolder[] = "1.1";
uint32_t const kCreator = 0x522A6368;   // 'R*ch'
uint32_t const kFileType = 0x54455854;  // 'TEXT'
int const kEncodingUTF8 = 1;
int const kListMask = 19;
uint32_t const kReloadSeconds = 15;
uint32_t const kFirstLoadSeconds = 946771200u;  // 2000-01-02 00:00:00 GMT

bool StartsWith(UniString const& text, char const* prefix) {
  UniString const p(prefix);
  return text.Left(p.Length()) == p;
}

// The text of a member of a listing entry; empty when there is none.
UniString MemberText(clsSingleVar const& item, char const* member) {
  clsMultiVar* array = item.GetArrayValue();
  clsMultiVar::iterator it;
  if (array == nullptr || !array->GetVar(U(member), it)) return UniString();
  return it->GetValue_AsString();
}

// A folder name that an older version's preference folder may have: digits, blanks and at
// most one point, not blank.
bool IsVersionFolderName(UniString const& name) {
  if (name.Trim().IsEmpty()) return false;
  int points = 0;
  for (int i = 1; i <= name.Length(); ++i) {
    unsigned short const u = name[i];
    if (u == '.') {
      if (++points > 1) return false;
    } else if (!UniString::IsDigit(u) && u != ' ') {
      return false;
    }
  }
  return true;
}

// Copies the damaged preference file in the folder aside whole, beside it, before a save writes
// the readable entries over it: "Damaged Velmora Prefs", numbered when an earlier copy is there.
void SetAsideDamaged(XFileSpec const& folder) {
  for (int32_t number = 1; number <= 100; ++number) {
    UniString name(kDamagedFileName);
    if (number > 1) name += U(" ") + UniString(number);
    XFileSpec source(folder);
    if (source.XFileExists(name)) continue;
    XFileSpec destination(folder);
    if (source.XCopyFile(destination, U(kPrefsFileName), name)) {
      destination.AddFileOrDirName(name);
      DebugOutput(kDebugError, U("Damaged Prefs File kept as: ") + destination.GetPath(kPathStyleInternal, true));
    } else {
      DebugOutput(kDebugError, U("Could not keep the damaged Prefs File: ") + source.ErrorString());
    }
    return;
  }
}

// Reads a preference file's lines into the set. A damaged entry is logged and skipped, with the
// rest of its line, and the reading goes on, so that no entry after it is lost; the file is then
// copied aside (folder null: it is no file a save writes over).
void ReadPrefsFile(clsMultiVar& set, UniStringList& lines, XFileSpec const* folder) {
  UniStringList damaged;
  set.ParseVariables(&lines, true, false, true, &damaged);
  for (UniString const& text : damaged) {
    DebugOutput(kDebugError, U("Error Parsing Prefs: ") + text + U(" The entry was skipped."));
  }
  if (damaged.IsNotEmpty() && folder != nullptr) SetAsideDamaged(*folder);
}

UniString DebugLevelName(int32_t level) {
  static char const* const kNames[] = {"Error", "Warning", "Result", "Info", "Full"};
  return U(kNames[level - 1]);
}

}  // namespace

// ---- folders ----

bool clsPrefs::GenerateLocalPath() {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  if (m_ustrLocalPath.IsNotEmpty()) {
    if (m_udtLocalFolder.GetPath(kPathStyleInternal, true) != m_ustrLocalPath) {
      m_udtLocalFolder.Set(m_ustrLocalPath);
    }
    if (m_udtLocalFolder.XDirExists()) return true;
    m_ustrLocalPath = UniString();
  }
  if (!My_GetPluginLocationX(&m_udtLocalFolder)) return false;
  m_udtLocalFolder.RemoveFileOrDirName();
  m_ustrLocalPath = m_udtLocalFolder.GetPath(kPathStyleInternal, true);
  return true;
}

bool clsPrefs::GenerateSystemPath(bool create) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  if (m_ustrSystemPath.IsNotEmpty()) {
    if (m_udtSystemFolder.GetPath(kPathStyleInternal, true) != m_ustrSystemPath) {
      m_udtSystemFolder.Set(m_ustrSystemPath);
    }
    if (m_udtSystemFolder.XDirExists()) return true;
    m_ustrSystemPath = UniString();
  }
  if (!m_udtSystemFolder.FindSysFolder(kSysFolderPreferences)) return false;

  // Each of our folders is kept private (0700): the files hold passwords, only scrambled.
  m_udtSystemFolder.AddFileOrDirName(U(kVendorFolder));
  if (!m_udtSystemFolder.XDirExists() && (!create || !m_udtSystemFolder.XCreateDir())) {
    return false;
  }
  MakeFolderPrivate(m_udtSystemFolder);
  if (m_udtSystemFolder.XDirExists(U(kProductName))) {
    m_udtSystemFolder.AddFileOrDirName(U(kProductName));
  } else {
    if (!create) return false;
    m_udtSystemFolder.AddFileOrDirName(U(kProductName));
    if (!m_udtSystemFolder.XCreateDir()) return false;
  }
  MakeFolderPrivate(m_udtSystemFolder);
  m_udtSystemFolder.AddFileOrDirName(U(kVersionFolder));
  if (!m_udtSystemFolder.XDirExists() && (!create || !m_udtSystemFolder.XCreateDir())) {
    return false;
  }
  if (!m_udtSystemFolder.XDirExists()) return false;
  MakeFolderPrivate(m_udtSystemFolder);
  m_ustrSystemPath = m_udtSystemFolder.GetPath(kPathStyleInternal, true);
  return true;
}

// ---- list-preference files ----

void clsPrefs::GetSystemListPrefFiles(clsMultiVar* files) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  GetListPrefFiles(m_udtSystemFolder, false, files);
}

void clsPrefs::GetLocalListPrefFiles(clsMultiVar* files) {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  GetListPrefFiles(m_udtLocalFolder, true, files);
}

void clsPrefs::GetListPrefFiles(XFileSpec& folder, bool local, clsMultiVar* files) {
  if (files == nullptr) return;
  files->Clear();
  if (!folder.XDirExists()) return;
  if (!folder.XListFiles(files, false, kListMask, kPathStyleInternal)) return;

  UniString const product(kProductName);
  for (clsMultiVar::iterator it = files->begin(); it != files->end();) {
    UniString const name = it->GetName();
    UniString const rest = name.SubString(product.Length() + 1, -1).Trim();
    UniString const upperRest = rest.UpperCase();
    bool const keep =
        it->GetType() == kVarTypeArray && MemberText(*it, "Type").UpperCase() != U("DIR") &&
        name.Left(product.Length()).UpperCase() == product.UpperCase() && rest.IsNotEmpty() &&
        upperRest != U("PREFS") && upperRest != U("DEBUG LOG.TXT") &&
        upperRest != U("CRASH LOG.TXT") &&
        !(local && (StartsWith(rest, "_WIN") || StartsWith(rest, "_OSX")));
    if (!keep) {
      it = files->RemoveVar(it);
      continue;
    }
    // The name as the user gave it: the listing keeps '%', '\' and '/' escaped.
    it->GetArrayValue()->SetStringVar(U("PrefName"), XFileSpec::DecodeSlashes(rest, kPathStyleHFS));
    ++it;
  }
}

void clsPrefs::LoadListPrefs(XFileSpec& folder, bool local, clsMultiVar& set) {
  clsMultiVar files;
  GetListPrefFiles(folder, local, &files);
  for (clsSingleVar const& item : files) {
    XFileSpec file(folder);
    file.AddFileOrDirName(item.GetName());
    if (!file.XFileExists()) continue;
    std::unique_ptr<UniStringList> lines(new (std::nothrow) UniStringList);
    if (!lines) {
      DebugOutput(kDebugError, U("Could not Load Prefs; Could not allocate memory for File List."));
      return;
    }
    if (lines->LoadFromFile(file, kEncodingUTF8).IsNotEmpty()) continue;
    UniString const prefName = MemberText(item, "PrefName");
    clsMultiVar::iterator it;
    if (set.GetVar(prefName, it)) {
      it->SetListValue(lines.release(), true);
    } else if (set.AddListVar(prefName, lines.get(), true, true).IsEmpty()) {
      lines.release();
    }
  }
}

void clsPrefs::SaveListPrefs(XFileSpec& folder, bool local, clsMultiVar& set) {
  clsMultiVar files;
  GetListPrefFiles(folder, local, &files);
  for (clsSingleVar& entry : set) {
    if (entry.GetType() != kVarTypeList) continue;
    UniStringList* list = entry.GetListValue(false);
    if (list == nullptr || list->IsEmpty()) continue;
    UniString const fileName = U(kProductName) + U(" ") + entry.GetName();
    XFileSpec file(folder);
    file.AddFileOrDirName(fileName);
    UniString const error = list->SaveToFile(file, kCreator, kFileType, kEncodingUTF8, true,
                                             kLineEndingCR, int32_t(kPrivateFileMode));
    if (error.IsNotEmpty()) DebugOutput(kDebugWarning, U("SavePrefs: ") + error);
    // Struck by its exact name: another spelling is another file here.
    UniString const listed = XFileSpec::EncodeSlashes(fileName);
    for (clsMultiVar::iterator it = files.begin(); it != files.end();) {
      it = it->GetName() == listed ? files.RemoveVar(it) : std::next(it);
    }
  }
  // What is left was not written: it goes only when its entry became empty or no list, never
  // when the set knows nothing of it (a file added since the last load).
  for (clsSingleVar const& item : files) {
    clsMultiVar::iterator it;
    if (!set.GetVar(MemberText(item, "PrefName"), it)) continue;
    XFileSpec file(folder);
    file.AddFileOrDirName(item.GetName());
    file.XRemoveFile();
  }
}

bool clsPrefs::SaveMainFile(XFileSpec& folder, clsMultiVar const& set) {
  UniStringList lines;
  set.GetVarsAsList(&lines, true, true);
  // One empty line writes the byte-order mark alone: an empty set still empties its file.
  if (lines.Count() == 0) lines.Add(UniString());
  XFileSpec file(folder);
  file.AddFileOrDirName(U(kPrefsFileName));
  UniString const error =
      lines.SaveToFile(file, kCreator, kFileType, kEncodingUTF8, true, kLineEndingCR,
                       int32_t(kPrivateFileMode));
  if (error.IsNotEmpty()) DebugOutput(kDebugWarning, U("SavePrefs: ") + error);
  m_dtmLastLoaded = file.XGetModDate();
  m_ulngLastCheck = m_dtmLastLoaded.GetAsSeconds();
  return error.IsEmpty();
}

// ---- load and save ----

void clsPrefs::LoadPrefs() {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  static UniString const kScopeName(U("LoadPrefs"));  // every getter comes through here
  clsFuncDebug dbg(kScopeName);

  clsDateTime now;
  now.SetToNow();
  uint32_t const nowSeconds = now.GetAsSeconds();
  if (nowSeconds < m_ulngLastCheck + kReloadSeconds) return;
  m_ulngLastCheck = nowSeconds;

  clsDateTime newest;
  newest.SetAsSeconds(kFirstLoadSeconds);
  UniString const prefsName(kPrefsFileName);

  bool const systemValid = GenerateSystemPath(false);
  bool systemPresent = false;
  if (systemValid) {
    if (m_udtSystemFolder.XFileExists(prefsName)) {
      clsDateTime const modified = m_udtSystemFolder.XGetModDate(prefsName);
      if (modified > newest) newest = modified;
      m_bolSystemLoaded = true;
      systemPresent = true;
    } else if (m_bolSystemLoaded) {
      newest = now;
      m_bolSystemLoaded = false;
      m_udtSystemPrefs.Clear();
    }
  }
  bool const localValid = GenerateLocalPath();
  bool localPresent = false;
  if (localValid) {
    if (m_udtLocalFolder.XFileExists(prefsName)) {
      clsDateTime const modified = m_udtLocalFolder.XGetModDate(prefsName);
      if (modified > newest) newest = modified;
      m_bolLocalLoaded = true;
      localPresent = true;
    } else if (m_bolLocalLoaded) {
      newest = now;
      m_bolLocalLoaded = false;
      m_udtLocalPrefs.Clear();
    }
  }
  if (newest <= m_dtmLastLoaded) return;

  UniStringList systemLines;
  UniStringList localLines;
  if (systemPresent) {
    XFileSpec file(m_udtSystemFolder);
    file.AddFileOrDirName(prefsName);
    systemLines.LoadFromFile(file, kEncodingUTF8);
  }
  if (localPresent) {
    XFileSpec file(m_udtLocalFolder);
    file.AddFileOrDirName(prefsName);
    localLines.LoadFromFile(file, kEncodingUTF8);
  }

  // Import from the newest older version's folder beside the version folder, when this
  // version has no file at all.
  bool imported = false;
  if (!systemPresent && !localPresent) {
    XFileSpec parent(m_udtSystemFolder);
    parent.RemoveFileOrDirName();
    UniStringList names;
    if (parent.XListFiles(&names, kPathStyleInternal)) {
      float best = 0.0f;
      UniString bestName;
      for (UniString const& name : names) {
        if (name.IsEmpty() || name == U(".") || name == U("..") || !IsVersionFolderName(name) ||
            !parent.XDirExists(name)) {
          continue;
        }
        std::string const digits = name.GetAnsiString(1).c_str();
        float const value = std::strtof(digits.c_str(), nullptr);
        if (value > best) {
          best = value;
          bestName = name;
        }
      }
      if (bestName.IsNotEmpty()) {
        XFileSpec file(parent);
        file.AddFileOrDirName(bestName);
        if (file.XFileExists(prefsName)) {
          file.AddFileOrDirName(prefsName);
          systemLines.LoadFromFile(file, kEncodingUTF8);
          imported = true;
        }
      }
    }
  }

  if (systemLines.IsNotEmpty()) {
    m_udtSystemPrefs.Clear();
    ReadPrefsFile(m_udtSystemPrefs, systemLines, imported ? nullptr : &m_udtSystemFolder);
  }
  if (localLines.IsNotEmpty()) {
    m_udtLocalPrefs.Clear();
    ReadPrefsFile(m_udtLocalPrefs, localLines, &m_udtLocalFolder);
  }

  clsMultiVar::iterator level;
  if (m_udtLocalPrefs.GetVar(U("DebugLevel"), level) ||
      m_udtSystemPrefs.GetVar(U("DebugLevel"), level)) {
    UniString const word = level->GetValue_AsString().Trim().UpperCase();
    static char const* const kWords[] = {"NONE", "ERROR", "WARNING", "RESULT", "INFO", "FULL"};
    for (int32_t i = 0; i <= kDebugFull; ++i) {
      if (word == U(kWords[i])) g_intDebugLevel = i;
    }
  } else {
    g_intDebugLevel = kDebugNone;
  }

  if (systemValid) LoadListPrefs(m_udtSystemFolder, false, m_udtSystemPrefs);
  if (localValid) LoadListPrefs(m_udtLocalFolder, true, m_udtLocalPrefs);

  m_dtmLastLoaded = newest;
  m_ulngLastCheck = newest.GetAsSeconds();
  if (imported) SavePrefs();
}

void clsPrefs::SavePrefs() {
  std::lock_guard<std::recursive_mutex> lock(m_mtxStore);
  clsFuncDebug dbg(U("SavePrefs"));

  bool const systemValid = GenerateSystemPath(true);
  bool const localValid = GenerateLocalPath();
  if (!systemValid && !localValid) {
    DebugOutput(kDebugError,
                U("Could not Save Prefs: Neither the System nor Local Prefs Paths are valid!"));
    return;
  }

  UniString const levelName(U("DebugLevel"));
  int32_t const level = g_intDebugLevel;
  if (level == kDebugNone) {
    m_udtLocalPrefs.RemoveVar(levelName);
    m_udtSystemPrefs.RemoveVar(levelName);
  } else if (level >= kDebugError && level <= kDebugFull) {
    clsMultiVar::iterator it;
    if (m_udtLocalPrefs.GetVar(levelName, it) || m_udtSystemPrefs.GetVar(levelName, it)) {
      it->SetStringValue(DebugLevelName(level));
    } else {
      m_udtSystemPrefs.AddStringVar(levelName, DebugLevelName(level), false);
    }
  }

  if (localValid) SaveListPrefs(m_udtLocalFolder, true, m_udtLocalPrefs);
  if (systemValid) SaveListPrefs(m_udtSystemFolder, false, m_udtSystemPrefs);
  if (systemValid) SaveMainFile(m_udtSystemFolder, m_udtSystemPrefs);
  if (localValid) SaveMainFile(m_udtLocalFolder, m_udtLocalPrefs);
}
