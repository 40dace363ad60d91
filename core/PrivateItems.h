// PrivateItems: keeping the system's own folders and files to the user who runs it.
// Interface: FolderOthersCanWrite (may anyone else add, replace or remove items in a folder),
// MakeFolderPrivate (a folder of ours closed to others: mode 0700), GetItemInfo (what a name
// holds, a symbolic link reported as itself, never followed) and CreatePrivateFile (a new file
// of mode 0600 from the moment it exists). The preference store keeps its folders private with
// them; the debug and crash logs use them never to join a file another user planted.
// Relies on files/XFileSpec.h for the paths, files/XFileStream.h for finding an item by name in
// its folder, and the File Manager's catalogue calls for owner, mode and Finder information.
// Failures answer false (or "others can write": the safe answer); nothing throws.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "files/XFileSpec.h"

// Mode of our private folders and files.
constexpr uint32_t kPrivateFolderMode = 0700;
constexpr uint32_t kPrivateFileMode = 0600;

// What the last item of a file spec names, looked up by name in its folder.
struct stcItemInfo {
  bool bolExists;
  bool bolFolder;
  bool bolLink;
  uint32_t ulngOwner;  // user id
  uint32_t ulngMode;   // permission bits
};

// True when the folder the file spec names lets others than this process's user write in it
// (group or others may write, or another user owns it), and when it cannot be examined.
bool FolderOthersCanWrite(XFileSpec& folder);
// A folder owned by this process's user is set to mode 0700 when others may reach into it;
// one another user owns is left as it is. True when the folder is ours and private afterwards.
bool MakeFolderPrivate(XFileSpec& folder);
// Fills info for the item the file spec names; false (bolExists false) when there is none or
// its folder cannot be reached.
bool GetItemInfo(XFileSpec& item, stcItemInfo* info);
// Creates the file the file spec names, mode 0600 (group and others never reach it, whatever
// the process's umask), with the creator and file type (0 leaves them unset). False when the
// name is taken or the file cannot be made.
bool CreatePrivateFile(XFileSpec& item, uint32_t creator, uint32_t fileType);
// The user id this process acts as.
uint32_t CurrentUserID();
