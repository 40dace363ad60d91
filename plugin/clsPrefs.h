// clsPrefs: the preference store. Two sets of named values, the local set (the preference file
// in the folder that holds the plug-in bundle) and the system set (the preference file in the
// user's preferences folder under "QRV/Velmora/1.1"); every lookup tries the local set first.
// List values live in files of their own ("Velmora " + name) beside each preference file.
// Interface: the one store g_udtPrefs; LoadPrefs (rereads changed files at most once in 15 s;
// every getter calls it), SavePrefs, the typed getters (which never change what is stored: an
// entry of another type is converted in place only when its text stays the same and the files
// can hold it, else read through a converted copy) and setters (memory only; a new name goes to
// the system set), IsStorableName, the folder and list-file discovery helpers. Values whose name
// holds "password" are kept scrambled, a list of them line by line.
// Relies on core/clsMultiVar.h for the values and their file syntax, core/UniStringList.h for
// the text files, files/XFileSpec.h for folders, core/TextEncoders.h for the scrambling and
// core/DebugLog.h. Thread-safe: each operation holds the store's lock (the message writer reads
// preferences on the SMTP worker thread while the host thread may save). A list pointer from
// GetListPrefPtr stays valid until the next reload or change of that entry.
// Failures: setters refuse a name the file cannot hold, and SetStringPref a value holding a
// line break or a zero unit, returning false with ErrorString() set and storing nothing; file
// errors while loading or saving are logged or skipped, never thrown.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "files/XFileSpec.h"

class clsPrefs {
 public:
  clsPrefs();
  ~clsPrefs();
  clsPrefs(clsPrefs const&) = delete;
  clsPrefs& operator=(clsPrefs const&) = delete;

  // Rereads the preference files when due: at most once in 15 seconds, and only when a file is
  // newer than what was last taken in or a loaded file has vanished.
  void LoadPrefs();
  // Writes both sets and their list values into the folders that are valid.
  void SavePrefs();

  // Getters: LoadPrefs first, then the local entry, else the system entry, else the default.
  UniString GetStringPref(UniString name, UniString defaultValue);
  int32_t GetIntegerPref(UniString name, int32_t defaultValue);
  bool GetBooleanPref(UniString name, bool defaultValue);
  // The entry's list, owned by the store; null when neither set holds the name or its value is
  // empty (no lines).
  UniStringList* GetListPrefPtr(UniString name);
  // A copy of the entry (a password unscrambled, as a string), else of the default.
  clsSingleVar GetPref(UniString name, clsSingleVar defaultValue);
  // Whether either set holds the name; no reload.
  bool PrefExists(UniString name);

  // Setters: memory only. The found entry takes the value, else a new entry goes to the system
  // set. False, with ErrorString() set and nothing stored, for a name IsStorableName refuses
  // and (SetStringPref) a value holding CR, LF or a zero unit; SetListPref splits its text at
  // line ends.
  bool SetStringPref(UniString name, UniString value);
  bool SetIntegerPref(UniString name, int32_t value);
  bool SetBooleanPref(UniString name, bool value);
  bool SetListPref(UniString name, UniString text);
  // The reason of the last refused set; empty after a set that succeeded.
  UniString ErrorString() const;

  // Make the folder fields valid; false when the folder cannot be had (without create, also
  // when the version folder does not exist yet).
  bool GenerateLocalPath();
  bool GenerateSystemPath(bool create);
  // Fill files with the list-preference files of the folder: one array entry per file, named
  // by the file's name, with "Type" and "PrefName"; a null pointer does nothing.
  void GetSystemListPrefFiles(clsMultiVar* files);
  void GetLocalListPrefFiles(clsMultiVar* files);

  // Whether a preference of this name can be written to and read back from the preference
  // file: not blank, and none of = ; ' " { } $ CR LF and no zero unit.
  static bool IsStorableName(UniString name);

 private:
  // Entry of the name in the local set, else the system set; null when neither holds it.
  clsSingleVar* FindEntry(UniString const& name);
  // The refusal text for a name, or empty when it may be stored.
  UniString CheckName(UniString const& name);
  // The discovery shared by both folders.
  void GetListPrefFiles(XFileSpec& folder, bool local, clsMultiVar* files);
  // Adds the list files of the folder to the set, each replacing an entry of its name.
  void LoadListPrefs(XFileSpec& folder, bool local, clsMultiVar& set);
  // Writes the set's lists into the folder and deletes the list files of entries that hold no
  // list any more.
  void SaveListPrefs(XFileSpec& folder, bool local, clsMultiVar& set);
  // Writes the set's main file into the folder; false when it could not be written.
  bool SaveMainFile(XFileSpec& folder, clsMultiVar const& set);

  clsMultiVar m_udtLocalPrefs;
  clsMultiVar m_udtSystemPrefs;
  UniString m_ustrLocalPath;
  UniString m_ustrSystemPath;
  XFileSpec m_udtLocalFolder;
  XFileSpec m_udtSystemFolder;
  clsDateTime m_dtmLastLoaded;
  uint32_t m_ulngLastCheck;
  bool m_bolLocalLoaded;
  bool m_bolSystemLoaded;

  UniString m_ustrError;
  // Held by every public operation; recursive, since getters load and a load may save.
  mutable std::recursive_mutex m_mtxStore;
};

// The one preference store, from load to unload of the plug-in.
extern clsPrefs g_udtPrefs;
