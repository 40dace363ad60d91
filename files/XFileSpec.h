// XFileSpec: names one file or folder as a list of path items rooted at a volume ("Volumes",
// volume, ...), at the current user's home folder ("~", ...) or at a network server ("Network",
// server, ...), and renders that list as path texts of several styles (internal, POSIX, HFS,
// host) on demand, with one cached full path per style.
// Interface: parsing from any accepted path text (ParsePath, with the nine host prefixes such as
// "FILEMAC:") or from a File Manager reference (Set(FSRef*)); rendering (GetPath); validation
// against the file system (IsValid); name operations on the last item; FindUniqueFileName;
// FindSysFolder; the process-wide volume list (GetVolumeNames) and startup-volume name; and the
// free functions that locate the plug-in, the host application and the host's front database.
// Relies on core/UniString.h and core/UniStringList.h for texts, core/DebugLog.h for its trace
// lines, core/clsDateTime.h for the 15-second caches, and the File Manager, CFURL and CFBundle
// stand-ins (platform/carbon/Files.h, platform/cf/) and the host SDK stand-in for the front
// database. Failures: operations answer false (or an empty text) and leave an English message
// in ErrorString(); nothing throws. A spec belongs to one thread; the volume list and the
// startup-volume cache are shared and unguarded.
// Item names are kept escaped: "%25" for '%', "%5C" for '\', "%2F" for a '/' of the name as the
// Finder shows it (a ':' in a POSIX path).
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "core/clsDateTime.h"
#include "platform/carbon/Files.h"

class clsMultiVar;

// Path text styles of GetPath and DecodeSlashes.
enum enumPathStyle : int32_t {
  kPathStyleInternal = 0,  // /Volumes/volume/..., ~/... or /Network/server/..., escapes kept
  kPathStylePOSIX = 1,     // what the operating system's POSIX calls take
  kPathStyleHFS = 2,       // volume:item:item
  kPathStyleWindows = 3,   // refused on this platform
  kPathStyleHost = 4       // the host's own file-reference form
};

// The system folders that FindSysFolder finds.
enum enumSysFolder : int32_t {
  kSysFolderSystem = 0,
  kSysFolderDesktop = 1,
  kSysFolderStartupDisk = 2,
  kSysFolderTrash = 3,
  kSysFolderStartupItems = 4,
  kSysFolderPreferences = 5,
  kSysFolderTemporaryItems = 6,
  kSysFolderApplications = 7,
  kSysFolderDocuments = 8,
  kSysFolderChewableItems = 9
};

class XFileSpec {
 public:
  // ---- life of the class ----
  XFileSpec();
  XFileSpec(XFileSpec const& other);
  XFileSpec& operator=(XFileSpec const& other);
  ~XFileSpec();

  // Deletes the item list and empties the error text, the protocol and the path cache.
  void Clear();
  void ClearPathStrings();
  UniString ErrorString() const { return m_ustrError; }
  // The host prefix of the last ParsePath as typed, without its colon ("filemac"); or empty.
  UniString GetProtocol() const { return m_ustrProtocol; }

  // ---- setting a spec ----
  bool Set(UniString path) { return ParsePath(path); }
  // Parses a path text of any accepted style into the items; false with the error text set.
  bool ParsePath(UniString path);
  // The items of the object the reference names; false when the reference cannot be read.
  bool Set(FSRef* ref);
  bool Set(FSSpec* spec);
  // Fills items with the items of the referenced object; failures go to this spec's error text
  // and leave items empty.
  void ParseFSRef(FSRef* ref, UniStringList* items);

  // ---- rendering (files/XFileSpecPaths.cpp) ----
  // The path in a style; full false gives the folder that holds the last item.
  UniString GetPath(enumPathStyle style, bool full);
  // The last item with its escapes undone for the style; empty when only the root part is left.
  UniString GetFileOrDirName(enumPathStyle style);
  UniString GetFileName(enumPathStyle style) { return GetFileOrDirName(style); }
  // Keeps a bare style number from binding to the static GetFileName(UniString).
  UniString GetFileName(int style) { return GetFileOrDirName(static_cast<enumPathStyle>(style)); }
  UniString GetDirName(enumPathStyle style) { return GetFileOrDirName(style); }
  void RemoveFileOrDirName();
  void AddFileOrDirName(UniString name);
  // A name (escaped form) not yet taken in the folder this spec names: the name itself, or
  // base + counter + extension; empty when the counter outgrows width digits.
  UniString FindUniqueFileName(UniString name, int width);
  // Fills items with the items of the current user's home folder.
  void GetUserPath(UniStringList* items);
  bool FindSysFolder(enumSysFolder kind);
  // A reference to the item itself (true; it must exist) or to the folder holding it (false).
  bool GetFSRef(FSRef* ref, bool itself);
  // Whether the path exists (isDir / isFile tell what it is) or, with fullPathOnly false,
  // whether it could be created in an existing folder. Null outputs are not written; the last
  // argument has no effect.
  bool IsValid(bool* isDir, bool* isFile, bool fullPathOnly, bool unused);

  // ---- static operations on texts ----
  // Brings a path text of any delimiter style to '/' delimiters with escaped names.
  static UniString NormalizePathDelimiters(UniString path);
  // Escapes one bare name for use as an item; applying it twice equals applying it once.
  static UniString EncodeSlashes(UniString name);
  static UniString DecodeSlashes(UniString text, enumPathStyle style);
  static UniString AddEndingPathDelim(UniString text, enumPathStyle style);
  // The last component of a path text of any style (escaped when it held a delimiter).
  static UniString GetFileName(UniString text);
  // From the last '.' to the end; empty without a '.'.
  static UniString GetFileExt(UniString name);
  // The decimal code, and for the well-known File Manager codes a blank and the meaning.
  static UniString GetMacError(int32_t code);

  // ---- the volume list ----
  // Refreshes the volume list when due and copies it into list (when given and not the list
  // itself). 0 when the list cannot be made or a rebuild found no volume; otherwise the volumes
  // found by a rebuild (the startup volume's top row not counted) or the rows of a reused list.
  static uint32_t GetVolumeNames(UniStringList* list);
  // The startup volume's name, cached for 15 seconds; empty when it cannot be found.
  static UniString GetRootVolumeName();

  // Rows of "name=mount point": row 1 the startup volume, then every mounted volume in index
  // order. Null until first needed; freed by CleanUpXFileSpec.
  static UniStringList* m_ulstVolNames;
  // Unix seconds before which the volume list is reused unchanged.
  static uint32_t m_ulngGetVolNamesTimeout;
  static UniString m_ustrRootVolName;
  static uint32_t m_ulngGetRootVolNameTimeout;

  // ---- dialog state (set by the open and save dialogs) ----
  UniStringList* m_ulstFileTypes;  // not owned
  int32_t m_lngTypeIndex;
  int32_t m_lngDialogKind;  // 0 open, 1 save, 2 choose folder
  uint8_t m_bytNoTypePopup;

 private:
  // Renders the items in a style (0, 1, 2 or 4); dropLast leaves out the last item beyond the
  // root part. False (error text set) when a home path cannot be expanded.
  bool BuildPath(enumPathStyle style, bool dropLast, UniString* text);
  // The items POSIX and host rendering work on: a "~" list with the home folder in front and
  // "." / ".." resolved; false when the home folder is not found.
  bool WorkingItems(UniStringList* items);

  UniStringList* m_ulstPathList;
  UniString m_ustrError;
  UniString m_ustrProtocol;
  UniString m_ustrPathStrings[5];

  // ---- open, save and choose-folder dialogs (files/XFileSpecDialogs.cpp) ----
 public:
  // Rewrites short file-type words and "description|extensions|type" entries in place into
  // dialog type entries; unusable entries are dropped.
  static void GenerateFileTypeList(UniStringList* types);
  // Open (kind 0) or save (kind 1) dialog with a pop-up of the type entries; typeIndex in: the
  // entry to preselect (-1 none), out: the chosen entry. True when the user chose; the file spec is
  // then the chosen file, or the chosen folder plus the typed name.
  bool SelectFileNameDlg(int kind, UniStringList* types, int* typeIndex, bool noTypePopup,
                         UniString prompt);
  // Choose-folder dialog; true when the user chose, the file spec is then that folder.
  bool SelectDirNameDlg(UniString prompt);

  // Added for the listings (files/XFileSpecList.cpp), declared here by their developer.
 public:
  // Lists the folder this spec names into items (cleared first): one array entry per item,
  // named by its escaped name, holding "Type" (mask 2), "Size" (4: data + resource fork),
  // "CreationDate" (8) and "ModDate" (16); walked sub-folders add "Items"; every listed folder
  // ends with "." and "..". Without recursion sub-folders are not walked. style has no effect.
  bool XListFiles(clsMultiVar* items, bool recursive, int mask, enumPathStyle style);
  // The names of the folder's items (list cleared first), decoded for the style; no "." or "..".
  bool XListFiles(UniStringList* names, enumPathStyle style);

  // Added for the whole-file operations (files/XFileSpecOps.cpp) and for moving and copying
  // (files/XFileSpecMove.cpp), declared here by their developer. name (escaped or plain) picks
  // an item inside the folder this spec names; empty means the file spec itself. Each answers its
  // failure value with the reason in ErrorString(), which is empty after a success.
 public:
  bool XFileExists(UniString name = UniString());
  bool XDirExists(UniString name = UniString());
  // Whether the file is a regular one whose bytes can be read (a link counts as what it leads
  // to); false for a FIFO, a device or a socket, whose open could block or never end.
  bool XIsRegularFile(UniString name = UniString());
  // Whether the item is a symbolic link itself, wherever it leads (also nowhere); the operations
  // that change an item take a link for a file of its own. Leaves the error text alone.
  bool XIsLink(UniString name = UniString());
  // Data plus resource fork in bytes; -1 on failure, also when the sum does not fit 31 bits.
  int32_t XFileSize(UniString name = UniString());
  uint32_t XGetCreator(UniString name = UniString());   // 0 on failure
  uint32_t XGetFileType(UniString name = UniString());  // 0 on failure
  // The content modification date; 1970-01-01 00:00:00 on failure.
  clsDateTime XGetModDate(UniString name = UniString());
  // A creator or type of 0 is left unset; existingIsSuccess accepts a file already there as is.
  bool XCreateFile(UniString name, uint32_t creator, uint32_t type, bool existingIsSuccess);
  // Creates missing parent folders below a home folder or a volume as well.
  bool XCreateDir(UniString name = UniString());
  bool XRemoveFile(UniString name = UniString());
  // Removes an empty folder; a lone ".DS_Store" file in it does not count as content.
  bool XRemoveDir(UniString name = UniString());
  // Renames a file in place; when the file spec itself is the file, the file spec follows the new name.
  bool XRenameFile(UniString newName, UniString name = UniString());
  // Steps into the existing sub-folder name; false leaves the file spec unchanged.
  bool SelectDirName(UniString name);
  // Move or copy the file name (or the file spec itself) into the folder dest, or to the new path
  // dest, optionally under newName; an existing file is never replaced.
  bool XMoveFile(XFileSpec& dest, UniString name, UniString newName);
  bool XCopyFile(XFileSpec& dest, UniString name, UniString newName);
};

// The dialogs' event and object-filter callbacks (Navigation Services), with the file spec as the
// client data.
struct NavCBRec;
struct AEDesc;
void XFSNavEventProc(int32_t message, NavCBRec* params, void* spec);
Boolean XFSNavObjectFilterProc(AEDesc* item, void* info, void* spec, short filterMode);

// Deletes the volume list (plug-in shutdown).
void CleanUpXFileSpec();

// The plug-in bundle's identifier: a reverse-domain prefix followed by the product name. The
// plug-in registers its bundle under it; My_GetPluginLocationX looks it up.
extern char const g_strPluginBundleIdentifier[];

// The plug-in's bundle, the host application's bundle, and the host's front database file.
bool My_GetPluginLocationX(XFileSpec* spec);
bool My_GetAppLocationX(XFileSpec* spec);
// An empty spec (no item list) when the host gives no usable answer.
XFileSpec GetFrontDatabaseLocation();
