// XFileSpec moving and copying of one file: XMoveFile and XCopyFile take the file name inside
// the source spec's folder (or the source spec itself) to the destination spec, which is a
// folder or the full path of a file yet to be made, keeping the file's name or giving it a new one.
// Interface: the two members declared in files/XFileSpec.h; neither changes the item list of
// either spec. A move is the platform's move-and-rename; across volumes it becomes a copy
// followed by deleting the source. A copy is always the object copy toolkit's.
// Relies on the File Manager stand-in (platform/carbon/Files.h), the copy toolkit
// (files/FSCopyObject.h), the CFString stand-in's encodings, core/DebugLog.h and the shared
// helpers of files/XFileSpecInternal.h.
// Failures answer false with the reason in the source spec's error text; nothing throws. An
// existing destination file is never replaced (it is refused first, and the toolkit is told to
// fail on a clash), a failed copy leaves the source in place, and a move across volumes deletes
// its source only after a copy that carried every fork. A new name of "." or ".." is refused as
// a bad name; it never reaches the folder itself or its parent.
#include <cstdlib>

#include "core/DebugLog.h"
#include "files/FSCopyObject.h"
#include "files/XFileSpec.h"
#include "files/XFileSpecInternal.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFString.h"

using namespace XFileSpecInternal;

namespace {

// A name (escaped) as a catalogue name record. False when it does not fit the 255 units of the
// record (it is never cut short).
bool MakeCatalogName(UniString const& name, HFSUniStr255* out) {
  UniString const units = CatalogName(name);
  if (units.IsEmpty() || units.Length() > 255) return false;
  out->length = UInt16(units.Length());
  units.GetBytes(out->unicode);
  return true;
}

// What a probe path holds: a symbolic link there is a file (the item the path names), also
// when it leads to a folder or nowhere.
enum enumProbe { kProbeMissing, kProbeFile, kProbeFolder };

enumProbe Probe(UniString const& path, FSRef* ref) {
  Boolean isDir = false;
  if (MakeRef(path, ref, &isDir, false) != noErr) return kProbeMissing;
  return isDir ? kProbeFolder : kProbeFile;
}

// The step of a copy across volumes that failed.
enum enumCopyStep { kCopyStepPreflight, kCopyStepCatInfo, kCopyStepCopy };

// Copies the file source into destDir under name (null: the source's own name), with every
// fork; with failOnSkippedFork a fork the destination cannot take fails the copy instead of
// being left out. The preflight's buffer is given back on every path.
OSErr CopyAcrossVolumes(FSRef const* source, FSRef const* destDir, HFSUniStr255 const* name,
                        bool failOnSkippedFork, enumCopyStep* step) {
  CopyBufferContext context = {};
  Boolean isFolder = false;
  *step = kCopyStepPreflight;
  OSErr err = FSCopyObjectPreflight(source, destDir, kCopyClashFail, &context, &isFolder);
  if (err == noErr) {
    *step = kCopyStepCatInfo;
    FSCatalogInfo info = {};
    HFSUniStr255 ownName = {};
    err = FSGetCatalogInfo(source, kFSCatInfoSettableInfo, &info, &ownName, nullptr, nullptr);
    if (err == noErr) {
      *step = kCopyStepCopy;
      context.failOnSkippedFork = failOnSkippedFork ? 1 : 0;
      err = CopyFile(source, &info, destDir, name != nullptr ? name : &ownName, &context, nullptr,
                     nullptr);
    }
  }
  std::free(context.buffer);
  return err;
}

// The wording that differs between a move and a copy, and between a named source and the
// source spec itself.
struct stcTransferTexts {
  bool move;
  bool named;
  // The check line before the path dest + newName.
  UniString CheckNewName() const { return U(move ? "Checking Dest: " : "Checking Dest "); }
  // ... before dest + newName + source name (newName is a folder).
  UniString CheckInsideNewName() const {
    if (move) return U(named ? "Checking Dest " : "Checking New Dest ");
    return U(named ? "Checking New Dest " : "Checking New Dest: ");
  }
  // ... before dest + source name.
  UniString CheckKeepName() const {
    if (move) return U(named ? "Checking Dest " : "Checking New Dest ");
    return U(named ? "Checking Dest " : "Checking New Dest ");
  }
  UniString NoDestName() const {
    return U(!move && named ? "Error getting Destination File Name."
                            : "Could not get Destination File Name.");
  }
  UniString Failed(enumCopyStep step) const {
    switch (step) {
      case kCopyStepPreflight:
        return U(move ? "Could not move (copy) File (PreFlight): "
                      : "Could not copy File (Preflight): ");
      case kCopyStepCatInfo:
        return U(move ? "Could not move (copy) File (CatInfo): "
                      : "Could not copy File (CatInfo): ");
      default:
        return U(move ? "Could not move File: " : "Could not copy File: ");
    }
  }
};

// The shared body of XMoveFile and XCopyFile; false with the message in *error.
bool TransferFile(XFileSpec& source, XFileSpec& dest, UniString name, UniString newName, bool move,
                  clsFuncDebug& dbg, UniString* error) {
  bool srcIsDir = false;
  bool srcIsFile = false;
  if (!source.IsValid(&srcIsDir, &srcIsFile, false, false)) {
    *error = source.ErrorString();
    return false;
  }
  bool destIsDir = false;
  bool destIsFile = false;
  if (!dest.IsValid(&destIsDir, &destIsFile, false, false)) {
    *error = U("File Destination is invalid: ") + dest.ErrorString();
    return false;
  }
  // The source spec itself is the item the path names: a link there is moved or copied as a
  // link. A destination link that leads nowhere is an existing file, never a free name.
  if (name.IsEmpty()) {
    FSRef ref;
    switch (Probe(source.GetPath(kPathStylePOSIX, true), &ref)) {
      case kProbeFile: srcIsDir = false; srcIsFile = true; break;
      case kProbeFolder: srcIsDir = true; srcIsFile = false; break;
      case kProbeMissing: break;
    }
  }
  if (!destIsDir && !destIsFile) {
    FSRef ref;
    if (Probe(dest.GetPath(kPathStylePOSIX, true), &ref) == kProbeFile) destIsFile = true;
  }
  if (name.IsNotEmpty()) name = XFileSpec::EncodeSlashes(name);
  if (newName.IsNotEmpty()) newName = XFileSpec::EncodeSlashes(newName);
  stcTransferTexts const texts = {move, name.IsNotEmpty()};

  // ---- the source ----
  UniString const srcLast = source.GetFileOrDirName(kPathStyleInternal);
  FSRef srcRef;
  UniString msgName;
  if (texts.named) {
    if (!srcIsDir) {
      *error = U(srcIsFile ? "Source Parent Folder is not a Folder (it's a File): "
                           : "Source Parent Folder does not exist: ") +
               srcLast;
      return false;
    }
    UniString const path = ChildPath(source.GetPath(kPathStylePOSIX, true), name);
    dbg.Output(kDebugInfo, U("Checking Src ") + path);
    enumProbe const kind = Probe(path, &srcRef);
    if (kind == kProbeMissing) {
      *error = U("Source File does not exist: ") + name;
      return false;
    }
    if (kind == kProbeFolder) {
      *error = U("Source File is not a File (it's a Folder): ") + name;
      return false;
    }
    msgName = name;
  } else {
    if (srcIsDir) {
      *error = U("Source File is not a File (it's a Folder): ") + srcLast;
      return false;
    }
    if (!srcIsFile) {
      *error = U("Source File does not exist: ") + srcLast;
      return false;
    }
    msgName = srcLast;
  }
  // The name the file keeps, used to build destination paths.
  auto sourceName = [&](UniString* out) {
    *out = texts.named ? name : source.GetFileName(kPathStyleInternal);
    if (out->IsEmpty()) *error = U("Error getting Source File Name");
    return out->IsNotEmpty();
  };
  auto folderRef = [&](UniString const& path, FSRef* ref) {
    Boolean isDir = false;
    if (MakeRef(path, ref, &isDir) != noErr || !isDir) {
      *error = U("Could not make FSRef for Destination Folder.");
      return false;
    }
    return true;
  };

  // ---- the destination ----
  UniString const destLast = dest.GetFileOrDirName(kPathStyleInternal);
  FSRef destFolder;
  bool keepName = false;
  UniString fileName;  // the new name (escaped) when the name is not kept
  if (destIsDir) {
    UniString const destPath = dest.GetPath(kPathStylePOSIX, true);
    UniString srcName;
    if (newName.IsNotEmpty()) {
      // "." or ".." joined onto the folder would reach the folder itself or its parent; as a
      // new name it is refused before any look-up, as the File Manager refuses it.
      if (IsDotName(newName)) {
        *error = texts.Failed(kCopyStepCopy) + msgName + U(" to: ") + newName + MacError(bdNamErr);
        return false;
      }
      UniString const target = ChildPath(destPath, newName);
      dbg.Output(kDebugInfo, texts.CheckNewName() + target);
      FSRef targetRef;
      switch (Probe(target, &targetRef)) {
        case kProbeMissing:
          if (!folderRef(destPath, &destFolder)) return false;
          fileName = newName;
          break;
        case kProbeFile:
          *error = U("Destination File already exists: ") + newName;
          return false;
        case kProbeFolder: {
          // newName is a folder: the file goes into it under its own name.
          if (!sourceName(&srcName)) return false;
          UniString const inner = ChildPath(target, srcName);
          dbg.Output(kDebugInfo, texts.CheckInsideNewName() + inner);
          FSRef innerRef;
          enumProbe const kind = Probe(inner, &innerRef);
          if (kind == kProbeFile) {
            *error = U("Destination File already exists: ") + srcName;
            return false;
          }
          if (kind == kProbeFolder) {
            *error = U("Destination File Name conflicts with an existing Folder Name: ") + srcName;
            return false;
          }
          destFolder = targetRef;
          keepName = true;
          break;
        }
      }
    } else {
      if (!sourceName(&srcName)) return false;
      UniString const target = ChildPath(destPath, srcName);
      dbg.Output(kDebugInfo, texts.CheckKeepName() + target);
      FSRef targetRef;
      enumProbe const kind = Probe(target, &targetRef);
      if (kind == kProbeFile) {
        *error = U("Destination File already exists: ") + srcName;
        return false;
      }
      if (kind == kProbeFolder) {
        *error = U("Destination File Name conflicts with an existing Folder Name: ") + srcName;
        return false;
      }
      if (!folderRef(destPath, &destFolder)) return false;
      keepName = true;
    }
  } else if (destIsFile) {
    *error = U(newName.IsEmpty() ? "Destination File already exists: "
                                 : "Destination Parent Folder is not a Folder (it's a File): ") +
             destLast;
    return false;
  } else {
    if (newName.IsNotEmpty()) {
      *error = U("Destination Parent Folder does not exist: ") + destLast;
      return false;
    }
    XFileSpec parent(dest);
    parent.RemoveFileOrDirName();
    if (!folderRef(parent.GetPath(kPathStylePOSIX, true), &destFolder)) return false;
    fileName = dest.GetFileName(kPathStyleInternal);
    if (fileName.IsEmpty()) {
      *error = texts.NoDestName();
      return false;
    }
  }

  // The source spec itself is looked up only now, just before the transfer.
  if (!texts.named) {
    Boolean isDir = false;
    if (MakeRef(source.GetPath(kPathStylePOSIX, true), &srcRef, &isDir, false) != noErr || isDir) {
      *error = U("Could not make FSRef for Source File.");
      return false;
    }
  }
  // A FIFO, device or socket has no bytes a copy could take: reading it could block forever
  // (a FIFO) or never end (a device), and an empty copy would stand for it. A move renames it.
  if (!move) {
    UInt32 const kind = ItemKind(&srcRef);
    if (kind != S_IFREG && kind != S_IFLNK) {
      *error = U("Source File is not a regular File (it's a FIFO, Device or Socket): ") + msgName;
      return false;
    }
  }

  // ---- the transfer ----
  TextEncoding const hint = CFStringGetSystemEncoding();
  bool copied = false;  // the file was copied across volumes and the source is still there
  if (keepName) {
    OSErr err;
    if (move) {
      FSRef moved;
      err = FSMoveRenameObjectUnicode(&srcRef, &destFolder, 0, nullptr, hint, &moved);
      if (err == diffVolErr) {
        enumCopyStep step;
        err = CopyAcrossVolumes(&srcRef, &destFolder, nullptr, true, &step);
        copied = err == noErr;
      }
    } else {
      err = FSCopyObject(&srcRef, &destFolder, 1, kFSCatInfoNone, kCopyClashFail, false, false,
                         nullptr, nullptr, nullptr, nullptr);
    }
    if (err != noErr) {
      *error =
          U(move ? "Could not move File: " : "Could not copy File: ") + msgName + MacError(err);
      return false;
    }
  } else {
    HFSUniStr255 catalogName;
    if (!MakeCatalogName(fileName, &catalogName)) {
      *error = texts.Failed(kCopyStepCopy) + msgName + U(" to: ") + fileName + MacError(bdNamErr);
      return false;
    }
    OSErr err = diffVolErr;
    enumCopyStep step = kCopyStepCopy;
    if (move) {
      FSRef moved;
      err = FSMoveRenameObjectUnicode(&srcRef, &destFolder, catalogName.length, catalogName.unicode,
                                      hint, &moved);
      if (err != noErr && err != diffVolErr) {
        *error = U("Could not move File: ") + msgName + U(" to: ") + fileName + MacError(err);
        return false;
      }
    }
    if (err == diffVolErr) {
      err = CopyAcrossVolumes(&srcRef, &destFolder, &catalogName, move, &step);
      if (err != noErr) {
        *error = texts.Failed(step) + msgName + U(" to: ") + fileName + MacError(err);
        return false;
      }
      copied = move;
    }
  }

  // A move across volumes ends by deleting the source; when that fails the file exists twice,
  // which loses nothing, so the move still counts.
  if (copied) {
    FSRefParam pb = {};
    pb.ref = &srcRef;
    OSErr const err = PBDeleteObjectSync(&pb);
    if (err != noErr) {
      DebugOutput(kDebugWarning, U("XFileSpec::XMoveFile: Deleting File after Copy failed: ") +
                                     msgName + MacError(err));
    }
  }
  return true;
}

}  // namespace

bool XFileSpec::XMoveFile(XFileSpec& dest, UniString name, UniString newName) {
  clsFuncDebug dbg(U("XFileSpec::XMoveFile"));
  m_ustrError = U("Unknown Error");
  UniString error;
  bool const result = TransferFile(*this, dest, name, newName, true, dbg, &error);
  if (result) error = UniString();
  m_ustrError = error;
  dbg.Output(error.IsNotEmpty() ? kDebugError : kDebugResult,
             error.IsNotEmpty() ? error : U(result ? "Moved File" : "Didn't Move File"));
  return result;
}

bool XFileSpec::XCopyFile(XFileSpec& dest, UniString name, UniString newName) {
  clsFuncDebug dbg(U("XFileSpec::XCopyFile"));
  m_ustrError = U("Unknown Error");
  UniString error;
  bool const result = TransferFile(*this, dest, name, newName, false, dbg, &error);
  if (result) error = UniString();
  m_ustrError = error;
  dbg.Output(error.IsNotEmpty() ? kDebugError : kDebugResult,
             error.IsNotEmpty() ? error : U(result ? "Copied File" : "Didn't Copy File"));
  return result;
}
