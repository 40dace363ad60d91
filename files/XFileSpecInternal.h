// XFileSpecInternal: small helpers shared by the XFileSpec units (files/XFileSpec*.cpp) and by
// no one else. Interface: U() (an ASCII text as a UniString), MacError() (the "; MacError: "
// tail of a message), MakeRef() (the File Manager's reference for a POSIX path, the link itself
// or what it points to), ItemKind() (regular file, link, folder or other), ChildPath() and
// CatalogName() (an escaped item name as a path inside a folder, and as a catalogue name), and
// LastPos()/EndsWithUnit() (searches for one UTF-16 unit), IsDotName() ("." or "..").
// Relies on files/XFileSpec.h and the File Manager stand-in (platform/carbon/Files.h).
// Nothing throws; MakeRef answers fnfErr for a path that is empty or holds U+0000.
#pragma once

#include <sys/stat.h>

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Files.h"

namespace XFileSpecInternal {

inline UniString U(char const* text) { return UniString(text, 1); }

inline UniString MacError(OSStatus code) {
  return U("; MacError: ") + XFileSpec::GetMacError(code);
}

// The File Manager's answer for a POSIX path. A path holding U+0000 names nothing: its UTF-8
// text would end early and name another object. A symbolic link as the last step leads to what
// it points to, or, with followLink false, is the item itself (a file): the operations that
// change an item (delete, rename, move, copy) act on the link the path names, never on its
// target in another folder. Links in earlier steps are always followed.
inline OSStatus MakeRef(UniString const& path, FSRef* ref, Boolean* isDir, bool followLink = true) {
  unsigned short const* units = path.GetBytes();
  if (units == nullptr) return fnfErr;
  for (int i = 0; i < path.Length(); ++i) {
    if (units[i] == 0) return fnfErr;
  }
  AnsiString const bytes = path.GetAnsiString(1);
  return FSPathMakeRefWithOptions(reinterpret_cast<UInt8 const*>(bytes.c_str()),
                                  followLink ? kFSPathMakeRefDefaultOptions : kFSPathMakeRefDoNotFollowLeafSymlink,
                                  ref, isDir);
}

// The kind of an item by its catalogue mode: a regular file (S_IFREG), a symbolic link
// (S_IFLNK), a folder, or something else (a FIFO, a device, a socket), whose bytes cannot be
// read as a file's. 0 when the catalogue cannot be read.
inline UInt32 ItemKind(FSRef const* ref) {
  FSCatalogInfo info = {};
  if (FSGetCatalogInfo(ref, kFSCatInfoPermissions, &info, nullptr, nullptr, nullptr) != noErr) return 0;
  return info.permissions[2] & S_IFMT;
}

// The POSIX path of the item name (escaped) inside the folder at folderPath: a '/' of the name
// reaches the file system as ':'.
inline UniString ChildPath(UniString const& folderPath, UniString const& name) {
  return XFileSpec::AddEndingPathDelim(folderPath, kPathStylePOSIX) +
         XFileSpec::DecodeSlashes(name, kPathStylePOSIX);
}

// A name (escaped) as the File Manager's Unicode calls take it: escapes undone, and the ':' of a
// POSIX name back to the '/' of the catalogue's name.
inline UniString CatalogName(UniString const& name) {
  return XFileSpec::DecodeSlashes(name, kPathStylePOSIX).StrSub(U(":"), U("/"), false);
}

// Whether an item name is "." or "..": joined onto a folder's path these reach the folder
// itself or its parent, so as item names they name nothing. Escapes never decode to a '.', so
// the escaped and the plain form answer alike.
inline bool IsDotName(UniString const& name) {
  return name == U(".") || name == U("..");
}

// Position (1-based) of the last unit c, or 0.
inline int LastPos(UniString const& text, unsigned short c) {
  unsigned short const* p = text.GetBytes();
  for (int i = text.Length(); i >= 1; --i) {
    if (p[i - 1] == c) return i;
  }
  return 0;
}

inline bool EndsWithUnit(UniString const& text, unsigned short c) {
  return text.Length() > 0 && text.GetBytes()[text.Length() - 1] == c;
}

}  // namespace XFileSpecInternal
