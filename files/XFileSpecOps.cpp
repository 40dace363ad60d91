// XFileSpec whole-file operations: does an item exist, its size, creator, type and modification
// date, creating a file or a folder (with the missing parent folders), removing a file or an
// empty folder, renaming a file in place, and stepping into a sub-folder (SelectDirName).
// Interface: the X... members and SelectDirName declared in files/XFileSpec.h. Each validates
// the file spec (IsValid), picks its target (the item name inside the file spec's folder, or the file spec
// itself), acts through the File Manager on the target's POSIX path, and leaves "Unknown Error"
// in the error text while it works, the empty text after a success, or a message naming the
// item in its escaped form; platform codes enter as "; MacError: " + GetMacError(code).
// Relies on the File Manager stand-in (platform/carbon/Files.h), FSChangeCreatorType of the copy
// toolkit (files/FSCopyObject.h), the CFString stand-in's encodings, core/DebugLog.h and the
// shared helpers of files/XFileSpecInternal.h.
// Nothing throws on a file-system failure; nothing is deleted beyond the one item asked for
// (and a lone ".DS_Store" file in a folder being removed); a name of "." or ".." is a missing
// item, never the folder itself or its parent.
#include <cstdint>
#include <cstring>

#include "core/DebugLog.h"
#include "files/FSCopyObject.h"
#include "files/XFileSpec.h"
#include "files/XFileSpecInternal.h"
#include "platform/carbon/Files.h"
#include "platform/cf/CFString.h"

using namespace XFileSpecInternal;

namespace {

OSErr DeleteRef(FSRef const* ref) {
  FSRefParam pb = {};
  pb.ref = ref;
  return PBDeleteObjectSync(&pb);
}

// Where an operation's lines go: through its trace scope, or, for the untraced existence tests,
// straight to the log under the operation's name; the attribute reads without a scope log nothing.
struct stcOpLog {
  clsFuncDebug* scope;
  char const* name;
  void Line(enumDebugLevel level, UniString const& text) const {
    if (scope != nullptr) {
      scope->Output(level, text);
    } else if (name != nullptr) {
      DebugOutput(level, U(name) + U(": ") + text);
    }
  }
  // The closing line: the error at level 1, else the result at level 3.
  void Finish(UniString const& error, UniString const& result) const {
    if (error.IsNotEmpty()) {
      Line(kDebugError, error);
    } else {
      Line(kDebugResult, result);
    }
  }
};

// What the target of an operation must be.
enum enumWant { kWantFile, kWantFolder, kWantAny };

// The wording of one operation's target checks.
struct stcPickRules {
  enumWant want;
  char const* checking;         // prefix of the line that logs a named target's path
  char const* namedMissing;     // a named target that is not there
  bool namedMissingWithCode;    // ... followed by "; MacError: "
  char const* notWanted;        // the target is a folder where a file is wanted, or the reverse
  char const* specMissing;      // no name, and the file spec itself is not there
  char const* selfUnreachable;  // no name, and the file spec's own path gives no usable reference
};

stcPickRules const kExistsFileRules = {kWantFile,
                                       "Checking ",
                                       "File does not exist: ",
                                       true,
                                       "File is not a File (it's a Folder): ",
                                       "File does not exist: ",
                                       "Could not make File Ref"};
stcPickRules const kExistsDirRules = {kWantFolder,
                                      "Checking ",
                                      "Folder does not exist: ",
                                      true,
                                      "Folder is not a Folder (it's a File): ",
                                      "Folder does not exist: ",
                                      "Could not make Folder Ref"};
stcPickRules const kFileRules = {kWantFile,
                                 "Checking ",
                                 "File does not exist: ",
                                 false,
                                 "File is not a File (it's a Folder): ",
                                 "File does not exist: ",
                                 "Could not make File Ref"};
stcPickRules const kAnyRules = {kWantAny,
                                "Checking ",
                                "File or Directory does not exist: ",
                                false,
                                "",
                                "File or Directory does not exist: ",
                                "Could not make File Ref"};
stcPickRules const kFolderRules = {kWantFolder,
                                   "Checking ",
                                   "Folder does not exist: ",
                                   false,
                                   "Folder is not a Folder (it's a File): ",
                                   "Folder does not exist: ",
                                   "Could not make Folder Ref"};
stcPickRules const kRenameRules = {kWantFile,
                                   "Checking Src ",
                                   "File does not exist: ",
                                   false,
                                   "File is not a File (it's a Folder): ",
                                   "File does not exist: ",
                                   "Could not make Source File Ref"};

// The item an operation acts on.
struct stcTarget {
  FSRef ref;
  UniString path;        // its POSIX path
  UniString folderPath;  // the POSIX path of the folder that holds it
  UniString quoted;      // the name messages quote: the escaped name, or the file spec's last item
  bool named;
  bool isDir;
};

bool Wanted(enumWant want, bool isDir) {
  return want == kWantAny || (want == kWantFolder) == isDir;
}

// Validates the file spec and finds the target by the three flags and the name (already escaped).
// With linkItself a symbolic link as the target is the item acted on (a file), not what it
// points to. False with the message in *error.
bool PickTarget(XFileSpec& spec, UniString const& name, stcPickRules const& rules,
                stcOpLog const& log, stcTarget* target, UniString* error, bool linkItself = false) {
  bool isDir = false;
  bool isFile = false;
  if (!spec.IsValid(&isDir, &isFile, false, false)) {
    *error = spec.ErrorString();
    return false;
  }
  if (linkItself && name.IsEmpty()) {
    // The file spec itself is the target: a link there is a file, also one that leads nowhere.
    FSRef ref;
    Boolean dir = false;
    if (MakeRef(spec.GetPath(kPathStylePOSIX, true), &ref, &dir, false) == noErr) {
      isDir = dir != 0;
      isFile = !isDir;
    }
  }
  UniString const last = spec.GetFileOrDirName(kPathStyleInternal);
  target->named = name.IsNotEmpty();
  target->quoted = target->named ? name : last;
  target->isDir = false;

  if (target->named) {
    if (!isDir) {
      *error = U(isFile ? "Parent Folder is not a Folder (it's a File): "
                        : "Parent Folder does not exist: ") +
               last;
      return false;
    }
    target->folderPath = spec.GetPath(kPathStylePOSIX, true);
    target->path = ChildPath(target->folderPath, name);
    log.Line(kDebugInfo, U(rules.checking) + target->path);
    // "." and ".." would reach the folder itself or its parent: they are missing targets.
    Boolean dir = false;
    OSStatus const err =
        IsDotName(name) ? OSStatus(fnfErr) : MakeRef(target->path, &target->ref, &dir, !linkItself);
    if (err != noErr) {
      *error = U(rules.namedMissing) + name;
      if (rules.namedMissingWithCode) *error += MacError(err);
      return false;
    }
    if (!Wanted(rules.want, dir != 0)) {
      *error = U(rules.notWanted) + name;
      return false;
    }
    target->isDir = dir != 0;
    return true;
  }

  if (!isDir && !isFile) {
    *error = U(rules.specMissing) + last;
    return false;
  }
  if (!Wanted(rules.want, isDir)) {
    *error = U(rules.notWanted) + last;
    return false;
  }
  target->path = spec.GetPath(kPathStylePOSIX, true);
  target->folderPath = spec.GetPath(kPathStylePOSIX, false);
  Boolean dir = false;
  if (MakeRef(target->path, &target->ref, &dir, !linkItself) != noErr || !Wanted(rules.want, dir != 0)) {
    *error = U(rules.selfUnreachable);
    return false;
  }
  target->isDir = dir != 0;
  return true;
}

// The existence tests: whether the target the rules ask for is there, logged under the
// operation's name; false with the reason in *error.
bool TestExists(XFileSpec& spec, UniString const& name, stcPickRules const& rules,
                char const* logName, UniString* error) {
  stcOpLog const log = {nullptr, logName};
  stcTarget target;
  bool const found = PickTarget(spec, name, rules, log, &target, error);
  log.Finish(*error, U(found ? "Yes" : "No"));
  return found;
}

// Whether the item name (escaped) is already there in the file spec's folder (logged as the path
// checked); *isDir tells whether it is a folder.
bool ChildExists(XFileSpec& spec, UniString const& name, clsFuncDebug& dbg, Boolean* isDir) {
  UniString const path = ChildPath(spec.GetPath(kPathStylePOSIX, true), name);
  dbg.Output(kDebugInfo, U("Checking ") + path);
  FSRef ref;
  return MakeRef(path, &ref, isDir) == noErr;
}

// The POSIX path of the folder that holds the file spec's last item.
UniString ParentPathOf(XFileSpec const& spec) {
  XFileSpec parent(spec);
  parent.RemoveFileOrDirName();
  return parent.GetPath(kPathStylePOSIX, true);
}

// Creates the file or folder name (escaped) in the folder at parentPath; the message on
// failure, the empty text on success.
UniString CreateItem(bool folder, UniString const& parentPath, UniString const& name,
                     FSRef* newRef) {
  UniString const units = CatalogName(name);
  FSRef parentRef;
  Boolean parentIsDir = false;
  if (MakeRef(parentPath, &parentRef, &parentIsDir) != noErr || !parentIsDir) {
    return U("Could not make Parent Folder FSRef");
  }
  FSRefParam pb = {};
  pb.ref = &parentRef;
  pb.nameLength = UniCharCount(units.Length());
  pb.name = units.GetBytes();
  pb.whichInfo = kFSCatInfoNone;
  pb.catInfo = nullptr;
  pb.newRef = newRef;
  OSErr const err = folder ? PBCreateDirectoryUnicodeSync(&pb) : PBCreateFileUnicodeSync(&pb);
  if (err != noErr) {
    return U(folder ? "Could not create Folder: " : "Could not create File: ") + name +
           MacError(err);
  }
  return UniString();
}

// Whether an absent folder may be made together with its missing parents: only below a home
// folder or a volume, never the home folder, a volume or a network server itself.
bool ChainMayBeCreated(UniStringList const* items) {
  if (items == nullptr || items->Count() == 0) return false;
  UniString const first = items->At(0);
  if (first == U("~")) return items->Count() > 1;
  return first.UpperCase() == U("VOLUMES") && items->Count() > 2;
}

// Whether the location names a folder right at the top of the startup volume ("/name"). The chain
// never makes one: a path on a volume that is not mounted (/Volumes/Gone/x) reads as a path on
// the startup volume, and its parents made there would put the files on the wrong disk.
bool AtStartupVolumeTop(XFileSpec spec) {
  UniString const path = spec.GetPath(kPathStylePOSIX, true);
  int length = path.Length();
  if (length > 1 && path[length] == '/') --length;  // a folder's path may end in '/'
  int const next = path.Pos('/', false, 2);
  return length > 1 && path[1] == '/' && (next == 0 || next > length);
}

}  // namespace

// ---- tests ----

bool XFileSpec::XFileExists(UniString name) {
  m_ustrError = U("Unknown Error");
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  UniString error;
  bool const found = TestExists(*this, name, kExistsFileRules, "XFileSpec::XFileExists", &error);
  m_ustrError = error;
  return found;
}

bool XFileSpec::XDirExists(UniString name) {
  m_ustrError = U("Unknown Error");
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  UniString error;
  bool const found = TestExists(*this, name, kExistsDirRules, "XFileSpec::XDirExists", &error);
  m_ustrError = error;
  return found;
}

bool XFileSpec::XIsRegularFile(UniString name) {
  m_ustrError = U("Unknown Error");
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  stcOpLog const log = {nullptr, "XFileSpec::XIsRegularFile"};
  stcTarget target;
  UniString error;
  bool regular = PickTarget(*this, name, kFileRules, log, &target, &error);
  if (regular && ItemKind(&target.ref) != S_IFREG) {
    regular = false;
    error = U("File is not a regular File (it's a FIFO, Device or Socket): ") + target.quoted;
  }
  log.Finish(error, U(regular ? "Yes" : "No"));
  m_ustrError = error;
  return regular;
}

bool XFileSpec::XIsLink(UniString name) {
  UniString path = GetPath(kPathStylePOSIX, true);
  if (name.IsNotEmpty()) path = ChildPath(path, EncodeSlashes(name));
  FSRef ref;
  Boolean isDir = false;
  return path.IsNotEmpty() && MakeRef(path, &ref, &isDir, false) == noErr && !isDir && ItemKind(&ref) == S_IFLNK;
}

// ---- attributes ----

int32_t XFileSpec::XFileSize(UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XFileSize"));
  stcOpLog const log = {&dbg, nullptr};
  m_ustrError = U("Unknown Error");
  int32_t result = -1;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  stcTarget target;
  UniString error;
  if (PickTarget(*this, name, kFileRules, log, &target, &error)) {
    FSCatalogInfo info = {};
    FSRefParam pb = {};
    pb.ref = &target.ref;
    pb.whichInfo = kFSCatInfoDataSizes | kFSCatInfoRsrcSizes;
    pb.catInfo = &info;
    OSErr const err = PBGetCatalogInfoSync(&pb);
    if (err != noErr) {
      error = U("Could not get File size: ") + target.quoted + MacError(err);
    } else {
      // The result holds 31 bits: a larger file must not come back as a wrapped size.
      uint64_t const total = uint64_t(info.dataLogicalSize) + uint64_t(info.rsrcLogicalSize);
      if (total < uint64_t(info.dataLogicalSize) || total > uint64_t(INT32_MAX)) {
        error = U("Could not get File size: ") + target.quoted + U(" (the File is 2 GB or larger)");
      } else {
        result = int32_t(total);
      }
    }
  }
  m_ustrError = error;
  log.Finish(error, UniString(result));
  return result;
}

namespace {

// The file type (first) or the creator (second) of the Finder information; 0 on failure.
uint32_t GetFinderCode(XFileSpec& spec, UniString const& name, bool creator, UniString* error) {
  stcOpLog const log = {nullptr, nullptr};
  stcTarget target;
  if (!PickTarget(spec, name, kFileRules, log, &target, error)) return 0;
  FSCatalogInfo info = {};
  FSRefParam pb = {};
  pb.ref = &target.ref;
  pb.whichInfo = kFSCatInfoFinderInfo;
  pb.catInfo = &info;
  OSErr const err = PBGetCatalogInfoSync(&pb);
  if (err != noErr) {
    *error = U(creator ? "Could not get Creator: " : "Could not get File Type: ") + target.quoted +
             MacError(err);
    return 0;
  }
  // Finder information of a file: the type, then the creator, each an OSType as the platform
  // keeps it (host byte order).
  uint32_t code = 0;
  std::memcpy(&code, info.finderInfo + (creator ? 4 : 0), sizeof code);
  return code;
}

}  // namespace

uint32_t XFileSpec::XGetCreator(UniString name) {
  m_ustrError = U("Unknown Error");
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  UniString error;
  uint32_t const result = GetFinderCode(*this, name, true, &error);
  m_ustrError = error;
  return result;
}

uint32_t XFileSpec::XGetFileType(UniString name) {
  m_ustrError = U("Unknown Error");
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  UniString error;
  uint32_t const result = GetFinderCode(*this, name, false, &error);
  m_ustrError = error;
  return result;
}

clsDateTime XFileSpec::XGetModDate(UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XGetModDate"));
  stcOpLog const log = {&dbg, nullptr};
  m_ustrError = U("Unknown Error");
  clsDateTime result;
  result.SetAsSeconds(0);
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  stcTarget target;
  UniString error;
  if (PickTarget(*this, name, kAnyRules, log, &target, &error)) {
    FSCatalogInfo info = {};
    FSRefParam pb = {};
    pb.ref = &target.ref;
    pb.whichInfo = kFSCatInfoContentMod;
    pb.catInfo = &info;
    OSErr const err = PBGetCatalogInfoSync(&pb);
    if (err != noErr) {
      error = U("Could not get Modification Date: ") + target.quoted + MacError(err);
    } else {
      result.Assign(&info.contentModDate);
    }
  }
  m_ustrError = error;
  log.Finish(error, UniString(result.GetAsString()));
  return result;
}

// ---- creating ----

bool XFileSpec::XCreateFile(UniString name, uint32_t creator, uint32_t type,
                            bool existingIsSuccess) {
  clsFuncDebug dbg(U("XFileSpec::XCreateFile"));
  m_ustrError = U("Unknown Error");
  bool result = false;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  bool const named = name.IsNotEmpty();
  UniString error;
  bool isDir = false;
  bool isFile = false;
  bool create = false;
  UniString parentPath;
  UniString newName;

  if (!IsValid(&isDir, &isFile, false, false)) {
    error = ErrorString();
  } else {
    UniString const last = GetFileOrDirName(kPathStyleInternal);
    // An existing file is success only when the caller says so; it is left as it is.
    auto existing = [&](UniString const& quoted) {
      dbg.Output(kDebugWarning, U("File Already Exists"));
      if (existingIsSuccess) {
        result = true;
      } else {
        error = U("File already exists: ") + quoted;
      }
    };
    if (isDir && named) {
      Boolean dir = false;
      if (ChildExists(*this, name, dbg, &dir)) {
        if (dir) {
          error = U("A Folder with that name already exists: ") + name;
        } else {
          existing(name);
        }
      } else {
        create = true;
        parentPath = GetPath(kPathStylePOSIX, true);
        newName = name;
      }
    } else if (isDir) {
      error = U("A Folder with that name already exists: ") + last;
    } else if (named) {
      error = U(isFile ? "Parent Folder is not a Folder (it's a File): "
                       : "Parent Folder does not exist: ") +
              last;
    } else if (isFile) {
      existing(last);
    } else {
      parentPath = ParentPathOf(*this);
      newName = GetFileName(kPathStyleInternal);
      create = true;
    }
  }

  if (create) {
    FSRef newRef;
    error = CreateItem(false, parentPath, newName, &newRef);
    if (error.IsEmpty()) {
      // A code of 0 stays unset; a file that cannot take its codes still exists, so this is
      // no failure of the create.
      if (creator != 0 || type != 0) FSChangeCreatorType(&newRef, creator, type);
      result = true;
    }
  }
  if (result) error = UniString();
  m_ustrError = error;
  stcOpLog const log = {&dbg, nullptr};
  log.Finish(error, U(result ? "Success" : "Failure"));
  return result;
}

bool XFileSpec::XCreateDir(UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XCreateDir"));
  m_ustrError = U("Unknown Error");
  bool result = false;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  bool const named = name.IsNotEmpty();
  UniString error;
  bool isDir = false;
  bool isFile = false;
  bool create = false;
  UniString parentPath;
  UniString newName;

  if (!IsValid(&isDir, &isFile, false, false)) {
    error = ErrorString();
    XFileSpec parent(*this);
    parent.RemoveFileOrDirName();
    if (ChainMayBeCreated(m_ulstPathList) && !AtStartupVolumeTop(parent)) {
      // Missing parents are made from the top down: the parent chain first (recursing as far
      // as needed), then this folder, then the named folder inside it, so success always means
      // that the folder asked for exists.
      if (!parent.XCreateDir(UniString())) {
        error = parent.ErrorString();
      } else if (!XCreateDir(UniString())) {
        error = ErrorString();
      } else if (named && !XCreateDir(name)) {
        error = ErrorString();
      } else {
        error = UniString();
        result = true;
      }
    }
  } else {
    UniString const last = GetFileOrDirName(kPathStyleInternal);
    if (isDir && named) {
      Boolean dir = false;
      if (ChildExists(*this, name, dbg, &dir)) {
        error =
            U(dir ? "Folder already exists: " : "A File with that name already exists: ") + name;
      } else {
        create = true;
        parentPath = GetPath(kPathStylePOSIX, true);
        newName = name;
      }
    } else if (isDir) {
      error = U("Folder already exists: ") + last;
    } else if (isFile) {
      error = U(named ? "Parent Folder is not a Folder (it's a File): "
                      : "A File with that name already exists: ") +
              last;
    } else if (named) {
      error = U("Parent Folder does not exist: ") + last;
    } else {
      parentPath = ParentPathOf(*this);
      newName = GetDirName(kPathStyleInternal);
      create = true;
    }
  }

  if (create) {
    FSRef newRef;
    error = CreateItem(true, parentPath, newName, &newRef);
    result = error.IsEmpty();
  }
  m_ustrError = error;
  stcOpLog const log = {&dbg, nullptr};
  log.Finish(error, U(result ? "Success" : "Failure"));
  return result;
}

// ---- removing ----

bool XFileSpec::XRemoveFile(UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XRemoveFile"));
  stcOpLog const log = {&dbg, nullptr};
  m_ustrError = U("Unknown Error");
  bool result = false;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  stcTarget target;
  UniString error;
  if (PickTarget(*this, name, kFileRules, log, &target, &error, true)) {
    OSErr const err = DeleteRef(&target.ref);
    if (err != noErr) {
      error = U("Could not delete File: ") + target.quoted + MacError(err);
    } else {
      result = true;
    }
  }
  m_ustrError = error;
  log.Finish(error, U(result ? "Success" : "Failure"));
  return result;
}

bool XFileSpec::XRemoveDir(UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XRemoveDir"));
  stcOpLog const log = {&dbg, nullptr};
  m_ustrError = U("Unknown Error");
  bool result = false;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  stcTarget target;
  UniString error;
  if (PickTarget(*this, name, kFolderRules, log, &target, &error, true)) {
    OSErr err = DeleteRef(&target.ref);
    // The Finder leaves a ".DS_Store" file in folders it has shown; a folder holding only that
    // counts as empty. Nothing else inside is ever removed: a ".DS_Store" that is a link (whose
    // target lies elsewhere), a FIFO or a device is content like any other.
    if (err == fBsyErr) {
      dbg.Output(
          kDebugInfo,
          U(target.named ? "DeleteObject returned \"directory not empty\" ... checking to see if "
                           "it's only because of a \".DS_Store\" file..."
                         : "Delete Object returned \"directory not empty\" ... checking to see if "
                           "it's only because of a \".DS_Store\" file..."));
      FSCatalogInfo info = {};
      FSRefParam pb = {};
      pb.ref = &target.ref;
      pb.whichInfo = kFSCatInfoValence;
      pb.catInfo = &info;
      if (PBGetCatalogInfoSync(&pb) == noErr && info.valence == 1) {
        UniString const item = AddEndingPathDelim(target.path, kPathStylePOSIX) + U(".DS_Store");
        dbg.Output(kDebugInfo, U("Checking ") + item);
        FSRef itemRef;
        Boolean itemIsDir = false;
        if (MakeRef(item, &itemRef, &itemIsDir, false) == noErr && !itemIsDir &&
            ItemKind(&itemRef) == S_IFREG && DeleteRef(&itemRef) == noErr) {
          err = DeleteRef(&target.ref);
        }
      }
    }
    if (err != noErr) {
      error = U("Could not delete Folder: ") + target.quoted + MacError(err);
    } else {
      result = true;
    }
  }
  m_ustrError = error;
  log.Finish(error, U(result ? "Success" : "Failure"));
  return result;
}

// ---- renaming ----

bool XFileSpec::XRenameFile(UniString newName, UniString name) {
  clsFuncDebug dbg(U("XFileSpec::XRenameFile"));
  stcOpLog const log = {&dbg, nullptr};
  m_ustrError = U("Unknown Error");
  bool result = false;
  if (name.IsNotEmpty()) name = EncodeSlashes(name);
  if (newName.IsNotEmpty()) newName = EncodeSlashes(newName);
  stcTarget target;
  UniString error;
  if (PickTarget(*this, name, kRenameRules, log, &target, &error, true)) {
    if (newName.IsEmpty()) {
      error = U("You must specify a New Name for the File.");
    } else {
      UniString const destPath = ChildPath(target.folderPath, newName);
      dbg.Output(kDebugInfo, U("Checking Dest ") + destPath);
      FSRef destRef;
      Boolean destIsDir = false;
      if (MakeRef(destPath, &destRef, &destIsDir, false) == noErr) {
        error = U(destIsDir ? "A Folder with that name already exists: "
                            : "A File with that name already exists: ") +
                newName;
      } else {
        UniString const units = CatalogName(newName);
        FSRef renamed;
        FSRefParam pb = {};
        pb.ref = &target.ref;
        pb.nameLength = UniCharCount(units.Length());
        pb.name = units.GetBytes();
        pb.textEncodingHint = CFStringGetSystemEncoding();
        pb.newRef = &renamed;
        OSErr const err = PBRenameUnicodeSync(&pb);
        if (err != noErr) {
          error =
              U("Could not rename File: ") + target.quoted + U(" to: ") + newName + MacError(err);
        } else {
          result = true;
          if (!target.named) {
            RemoveFileOrDirName();
            AddFileOrDirName(newName);
          }
        }
      }
    }
  }
  m_ustrError = error;
  log.Finish(error, U(result ? "Success" : "Failure"));
  return result;
}

// ---- entering a sub-folder ----

bool XFileSpec::SelectDirName(UniString name) {
  name = EncodeSlashes(name);
  DebugOutput(kDebugInfo, U("XFileSpec::SelectDirName: Selecting: ") + name);
  // Only a real sub-folder's name is appended: an empty name, "." or ".." would leave an item
  // that names no sub-folder.
  bool const usable = name.IsNotEmpty() && !IsDotName(name);
  bool const found =
      usable && m_ulstPathList != nullptr && XDirExists(UniString()) && XDirExists(name);
  if (found) {
    m_ulstPathList->Add(name);
    ClearPathStrings();
  } else if (!usable) {
    m_ustrError = U("Folder does not exist: ") + name;
  }
  DebugOutput(kDebugResult, U("XFileSpec::SelectDirName: ") +
                                U(found ? "DirName Existed" : "DirName did not Exist"));
  return found;
}
