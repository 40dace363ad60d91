// FileOperations: the nine plain file and folder workers share one shape, told once in
// RunFileOperation; each member brings its texts (stcFileOperation) and its operation.
// Shape: first parameter (missing?), spec set from it, kind checks (invalid, wrong kind, not
// found), second parameter (missing? destination invalid?), the operation (failed?), the
// success value. A non-empty error text at the end is the result.
#include "filefuncs/FileOperations.h"

#include <functional>

#include "core/DebugLog.h"
#include "filefuncs/FileFuncsInternal.h"
#include "files/XFileSpec.h"

using namespace FileFuncsInternal;

namespace {

// Which kind of item the member insists on before its operation.
enum enumKindCheck { kCheckNone, kCheckFile, kCheckFolder };
// What the second parameter is.
enum enumSecond { kSecondNone, kSecondDestination, kSecondText };

struct stcFileOperation {
  char const* worker;
  char const* param1;
  char const* param2;
  enumKindCheck check;
  enumSecond second;
  char const* missing;
  char const* invalid;
  char const* wrongKind;
  char const* notFound;
  char const* missing2;
  char const* destInvalid;
  char const* failed;
  // The member changes the item the path names: a symbolic link there is a file of its own,
  // wherever it leads, never the folder or file it points to.
  bool linkItself;
};

// The member's own work on the set-up XFileSpecs: true with *result filled, or false with the
// XFileSpec that failed left holding the reason.
struct stcOperands {
  XFileSpec& spec;
  XFileSpec& dest;
  UniString const& second;
};
typedef std::function<bool(stcOperands const&, clsSingleVar*)> OperationFn;

clsSingleVar RunFileOperation(clsMultiVar* params, stcFileOperation const& op, OperationFn const& run) {
  clsFuncDebug dbg(U(op.worker));
  clsSingleVar result;
  UniString error;
  XFileSpec spec;
  XFileSpec dest;
  UniString second;

  UniString const first = TextParam(params, op.param1);
  if (first.IsEmpty()) {
    error = U(op.missing);
  } else {
    spec.Set(first);
    if (op.check != kCheckNone) {
      bool isFolder = false;
      bool isFile = false;
      bool const valid = spec.IsValid(&isFolder, &isFile, false, false);
      if (valid && op.linkItself && spec.XIsLink()) {
        isFolder = false;
        isFile = true;
      }
      if (!valid) {
        error = U(op.invalid) + spec.ErrorString();
      } else if (op.check == kCheckFile ? isFolder : isFile) {
        error = U(op.wrongKind);
      } else if (op.check == kCheckFile ? !isFile : !isFolder) {
        error = U(op.notFound);
      }
    }
  }
  if (error.IsEmpty() && op.second != kSecondNone) {
    second = TextParam(params, op.param2);
    if (second.IsEmpty()) {
      error = U(op.missing2);
    } else if (op.second == kSecondDestination) {
      dest.Set(second);
      if (!dest.IsValid(nullptr, nullptr, false, false)) error = U(op.destInvalid) + dest.ErrorString();
    }
  }
  if (error.IsEmpty() && !run(stcOperands{spec, dest, second}, &result)) {
    error = U(op.failed) + spec.ErrorString();
  }
  if (error.IsNotEmpty()) result.SetStringValue(error);
  return result;
}

bool SetString(clsSingleVar* result, UniString const& text) {
  result->SetStringValue(text);
  return true;
}

bool SetInteger(clsSingleVar* result, int32_t value) {
  result->SetIntegerValue(value);
  return true;
}

stcFileOperation const g_udtCopyOp = {
    "DoFileCopy", "Source", "Destination", kCheckFile, kSecondDestination,
    "ERROR: File_Copy: You must specify the Source File ('Source' parameter).",
    "ERROR: File_Copy: Source File is invalid: ",
    "ERROR: File_Copy: You cannot copy Folders with this function; you must specify a File.",
    "ERROR: File_Copy: Source File does not exist.",
    "ERROR: File_Copy: You must specify the File Destination ('Destination' parameter).",
    "ERROR: File_Copy: File Destination is invalid: ",
    "ERROR: File_Copy: File Copy Failed: ", true};

stcFileOperation const g_udtMoveOp = {
    "DoFileMove", "Source", "Destination", kCheckFile, kSecondDestination,
    "ERROR: File_Move: You must specify the Source File ('Source' parameter).",
    "ERROR: File_Move: Source File is invalid: ",
    "ERROR: File_Move: You cannot move Folders with this function; you must specify a File.",
    "ERROR: File_Move: Source File does not exist.",
    "ERROR: File_Move: You must specify the File Destination ('Destination' parameter).",
    "ERROR: File_Move: File Destination is invalid: ",
    "ERROR: File_Move: File Move Failed: ", true};

stcFileOperation const g_udtRenameOp = {
    "DoFileRename", "File", "NewName", kCheckFile, kSecondText,
    "ERROR: File_Rename: You must specify the File to Rename ('File' parameter).",
    "ERROR: File_Rename: File Name is invalid: ",
    "ERROR: File_Rename: You cannot rename Folders with this function; you must specify a File.",
    "ERROR: File_Rename: File does not exist.",
    "ERROR: File_Rename: You must specify a new Name for the File ('NewName' parameter). (2)",
    "",
    "ERROR: File_Rename: File Renaming Failed: ", true};

stcFileOperation const g_udtDeleteOp = {
    "DoFileDelete", "File", "", kCheckFile, kSecondNone,
    "ERROR: File_Delete: You must specify a File to Delete ('File' parameter).",
    "ERROR: File_Delete: File Name is invalid: ",
    "ERROR: File_Delete: You cannot delete Folders with this function; you must specify a File.",
    "ERROR: File_Delete: File does not exist.",
    "", "",
    "ERROR: File_Delete: File Deletion Failed: ", true};

stcFileOperation const g_udtDeleteFolderOp = {
    "DoFileDeleteFolder", "Folder", "", kCheckFolder, kSecondNone,
    "ERROR: File_DeleteFolder: You must specify a Folder to Delete ('Folder' parameter).",
    "ERROR: File_DeleteFolder: Folder Name is invalid: ",
    "ERROR: File_DeleteFolder: You cannot delete Files with this function; you must specify a Folder.",
    "ERROR: File_DeleteFolder: Folder does not exist.",
    "", "",
    "ERROR: File_DeleteFolder: Folder Deletion Failed: ", true};

stcFileOperation const g_udtCreateFolderOp = {
    "DoFileCreateFolder", "Folder", "", kCheckNone, kSecondNone,
    "ERROR: File_CreateFolder: You must specify a name for the New Folder ('Folder' parameter).",
    "", "", "", "", "",
    "ERROR: File_CreateFolder: Folder Creation Failed: ", false};

stcFileOperation const g_udtExistsOp = {
    "DoFileExists", "File", "", kCheckNone, kSecondNone,
    "ERROR: File_Exists: You must specify a File to test ('File' parameter).",
    "", "", "", "", "",
    "ERROR: File_Exists: ", false};

stcFileOperation const g_udtFolderExistsOp = {
    "DoFileFolderExists", "Folder", "", kCheckNone, kSecondNone,
    "ERROR: File_FolderExists: You must specify a Folder to test ('Folder' parameter).",
    "", "", "", "", "",
    "ERROR: File_FolderExists: ", false};

stcFileOperation const g_udtSizeOp = {
    "DoFileSize", "File", "", kCheckFile, kSecondNone,
    "ERROR: File_Size: You must specify a File to get its Size ('File' parameter).",
    "ERROR: File_Size: File Name is invalid: ",
    "ERROR: File_Size: You cannot get the size of Folders with this function; you must specify a File.",
    "ERROR: File_Size: File does not exist.",
    "", "",
    "ERROR: File_Size: Getting File Size failed: ", false};

}  // namespace

clsSingleVar DoFileCopy(clsMultiVar* params) {
  return RunFileOperation(params, g_udtCopyOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XCopyFile(o.dest, UniString(), UniString()) &&
           SetString(result, U("Copied ") + PosixPath(o.spec) + U(" to ") + PosixPath(o.dest));
  });
}

clsSingleVar DoFileMove(clsMultiVar* params) {
  // The source spec is left naming the old location, and the text says so.
  return RunFileOperation(params, g_udtMoveOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XMoveFile(o.dest, UniString(), UniString()) &&
           SetString(result, U("Moved ") + PosixPath(o.spec) + U(" to ") + PosixPath(o.dest));
  });
}

clsSingleVar DoFileRename(clsMultiVar* params) {
  // The XFileSpec follows the file to its new name, so the path is the renamed file's.
  return RunFileOperation(params, g_udtRenameOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XRenameFile(o.second, UniString()) &&
           SetString(result, U("Renamed ") + PosixPath(o.spec) + U(" to ") + o.second);
  });
}

clsSingleVar DoFileDelete(clsMultiVar* params) {
  return RunFileOperation(params, g_udtDeleteOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XRemoveFile(UniString()) && SetString(result, PosixPath(o.spec) + U(" Deleted."));
  });
}

clsSingleVar DoFileDeleteFolder(clsMultiVar* params) {
  return RunFileOperation(params, g_udtDeleteFolderOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XRemoveDir(UniString()) && SetString(result, PosixPath(o.spec) + U(" Deleted."));
  });
}

clsSingleVar DoFileCreateFolder(clsMultiVar* params) {
  // An existing folder is a success of its own.
  return RunFileOperation(params, g_udtCreateFolderOp, [](stcOperands const& o, clsSingleVar* result) {
    if (o.spec.XDirExists(UniString())) return SetString(result, U("Folder already exists."));
    return o.spec.XCreateDir(UniString()) && SetString(result, PosixPath(o.spec) + U(" Created."));
  });
}

clsSingleVar DoFileExists(clsMultiVar* params) {
  return RunFileOperation(params, g_udtExistsOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XFileExists(UniString()) && SetInteger(result, 1);
  });
}

clsSingleVar DoFileFolderExists(clsMultiVar* params) {
  return RunFileOperation(params, g_udtFolderExistsOp, [](stcOperands const& o, clsSingleVar* result) {
    return o.spec.XDirExists(UniString()) && SetInteger(result, 1);
  });
}

clsSingleVar DoFileSize(clsMultiVar* params) {
  // XFileSize answers -1 with its reason for a sum that does not fit 31 bits.
  return RunFileOperation(params, g_udtSizeOp, [](stcOperands const& o, clsSingleVar* result) {
    int32_t const size = o.spec.XFileSize(UniString());
    return size >= 0 && SetInteger(result, size);
  });
}
