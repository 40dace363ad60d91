// PathQueries: well-known folders by type word, and the folder and file selection dialogs.
// The type words are tried in a fixed order; the first row whose words match decides.
#include "filefuncs/PathQueries.h"

#include <new>

#include "core/DebugLog.h"
#include "core/UniStringList.h"
#include "filefuncs/FileFuncsInternal.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Navigation.h"
#include "plugin/PluginGlobals.h"

using namespace FileFuncsInternal;

namespace {

enum enumPathSource { kSourceDatabase, kSourceApplication, kSourceRoot, kSourceSysFolder };

struct stcPathRow {
  char const* word1;
  char const* word2;  // null when the row has one word
  enumPathSource source;
  enumSysFolder kind;
  char const* couldNotGet;  // system folders only
  char const* invalid;
};

stcPathRow const kPathRows[] = {
    {"DB", "DATABASE", kSourceDatabase, kSysFolderSystem, nullptr,
     "ERROR: File_GetPath: 'Database' Path is invalid."},
    {"FM", "FILEMAKER", kSourceApplication, kSysFolderSystem, nullptr,
     "ERROR: File_GetPath: 'FileMaker' Path is invalid."},
    {"ROOT", nullptr, kSourceRoot, kSysFolderSystem, nullptr, nullptr},
    {"SYSTEM", nullptr, kSourceSysFolder, kSysFolderSystem,
     "ERROR: File_GetPath: Could not get 'System' Path.", "ERROR: File_GetPath: 'System' Path is invalid."},
    {"DESKTOP", "SYSDESKTOP", kSourceSysFolder, kSysFolderDesktop,
     "ERROR: File_GetPath: Could not get 'Desktop' Path.", "ERROR: File_GetPath: 'Desktop' Path is invalid."},
    {"SYSTEMDESKTOP", "SYSTEM DESKTOP", kSourceSysFolder, kSysFolderStartupDisk,
     "ERROR: File_GetPath: Could not get 'SystemDesktop' Path.",
     "ERROR: File_GetPath: 'SystemDesktop' Path is invalid."},
    {"TRASH", nullptr, kSourceSysFolder, kSysFolderTrash,
     "ERROR: File_GetPath: Could not get 'Trash' Path.", "ERROR: File_GetPath: 'Trash' Path is invalid."},
    {"STARTUP", nullptr, kSourceSysFolder, kSysFolderStartupItems,
     "ERROR: File_GetPath: Could not get 'Startup' Path.", "ERROR: File_GetPath: 'Startup' Path is invalid."},
    {"PREFERENCES", "PREFS", kSourceSysFolder, kSysFolderPreferences,
     "ERROR: File_GetPath: Could not get 'Preferences' Path.",
     "ERROR: File_GetPath: 'Preferences' Path is invalid."},
    {"TEMPORARY", "TEMP", kSourceSysFolder, kSysFolderTemporaryItems,
     "ERROR: File_GetPath: Could not get 'Temporary' Path.",
     "ERROR: File_GetPath: 'Temporary' Path is invalid."},
    {"APPLICATIONS", "APPS", kSourceSysFolder, kSysFolderApplications,
     "ERROR: File_GetPath: Could not get 'Applicationss' Path.",
     "ERROR: File_GetPath: 'Applications' Path is invalid."},
    {"DOCUMENTS", "DOCS", kSourceSysFolder, kSysFolderDocuments,
     "ERROR: File_GetPath: Could not get 'Documents' Path.",
     "ERROR: File_GetPath: 'Documents' Path is invalid."},
    {"CHEWABLE", nullptr, kSourceSysFolder, kSysFolderChewableItems,
     "ERROR: File_GetPath: Could not get 'Chewable' Path.", "ERROR: File_GetPath: 'Chewable' Path is invalid."},
};

stcPathRow const* FindPathRow(UniString const& word) {
  for (stcPathRow const& row : kPathRows) {
    if (word == U(row.word1) || (row.word2 != nullptr && word == U(row.word2))) return &row;
  }
  return nullptr;
}

// No dialog may be shown on a server product: the refusal names the function and no parameter
// is read. Otherwise the start XFileSpec is set from "StartPath" (not trimmed), where the dialog opens.
bool PrepareDialog(char const* function, clsMultiVar* params, XFileSpec* start, clsSingleVar* result) {
  if (g_fudtFMProduct >= 3) {
    result->SetStringValue(U("ERROR: ") + U(function) +
                           U(": This function is not available from FileMaker Server or the Web Publishing Engine."));
    return false;
  }
  UniString const path = TextParam(params, "StartPath");
  if (path.IsNotEmpty()) start->Set(path);
  return true;
}

}  // namespace

clsSingleVar DoFileGetPath(clsMultiVar* params) {
  clsFuncDebug dbg(U("DoFileGetPath"));
  clsSingleVar result;
  UniString error;
  UniString const type = TextParam(params, "Type").Trim().UpperCase();
  stcPathRow const* row = type.IsEmpty() ? nullptr : FindPathRow(type);
  if (type.IsEmpty()) {
    error = U("ERROR: File_GetPath: You must specify the Path Type to get ('Type' parameter).  Specify "
              "\"Database\", \"FileMaker\", \"Root\", \"System\", \"Desktop\", \"Trash\", \"Startup\", "
              "\"Preferences\", \"Temporary\", \"Applications\", or \"Documents\".");
  } else if (row == nullptr) {
    error = U("ERROR: GetPath: Unknown Path Type.  Specify \"Database\", \"FileMaker\", \"Root\", \"System\", "
              "\"Desktop\", \"Preferences\", \"Temporary\", \"Applications\", or \"Documents\".");
  } else if (row->source == kSourceDatabase) {
    // The folder that holds the front database, not the database file itself.
    XFileSpec db = GetFrontDatabaseLocation();
    if (!db.IsValid(nullptr, nullptr, false, false)) {
      error = U(row->invalid);
    } else {
      result.SetStringValue(db.GetPath(kPathStylePOSIX, false));
    }
  } else if (row->source == kSourceApplication) {
    XFileSpec app;
    if (!My_GetAppLocationX(&app)) {
      error = U(row->invalid);
    } else {
      result.SetStringValue(app.GetPath(kPathStylePOSIX, false));
    }
  } else if (row->source == kSourceRoot) {
    result.SetStringValue(XFileSpec::GetRootVolumeName());
  } else {
    XFileSpec folder;
    if (!folder.FindSysFolder(row->kind)) {
      error = U(row->couldNotGet);
    } else if (!folder.IsValid(nullptr, nullptr, false, false)) {
      error = U(row->invalid);
    } else {
      result.SetStringValue(PosixPath(folder));
    }
  }
  if (error.IsNotEmpty()) result.SetStringValue(error);
  return result;
}

clsSingleVar DoFileSelectFolderWithDialog(clsMultiVar* params) {
  clsFuncDebug dbg(U("DoFileSelectFolderWithDialog"));
  clsSingleVar result = StringResult(UniString());
  XFileSpec folder;
  if (!PrepareDialog("File_SelectFolderWithDialog", params, &folder, &result)) return result;
  UniString const prompt = TextParam(params, "Prompt").Trim();
  SetThemeCursor(0);
  // A cancel (or a failed dialog) leaves the empty text: no error here.
  if (folder.SelectDirNameDlg(prompt)) {
    result.SetStringValue(XFileSpec::AddEndingPathDelim(PosixPath(folder), kPathStylePOSIX));
  }
  return result;
}

clsSingleVar DoFileSelectFileWithDialog(clsMultiVar* params) {
  clsFuncDebug dbg(U("DoFileSelectFileWithDialog"));
  clsSingleVar result = StringResult(UniString());
  UniString error;
  XFileSpec file;
  if (!PrepareDialog("File_SelectFileWithDialog", params, &file, &result)) return result;
  UniStringList* types = nullptr;
  UniString const typeText = TextParam(params, "FileTypes").Trim();
  if (typeText.IsNotEmpty()) {
    types = new (std::nothrow) UniStringList();
    if (types == nullptr) {
      error = U("ERROR: File_SelectFileWithDialog: Could not allocate memory for File Types.");
    } else {
      types->AddText(typeText);
      XFileSpec::GenerateFileTypeList(types);
    }
  }
  if (error.IsEmpty()) {
    int const kind = TextParam(params, "DialogType").Trim().UpperCase() == U("SAVEAS") ? 1 : 0;
    UniString const prompt = TextParam(params, "Prompt").Trim();
    SetThemeCursor(0);
    int typeIndex = -1;
    if (file.SelectFileNameDlg(kind, types, &typeIndex, false, prompt)) {
      result.SetStringValue(PosixPath(file));
    } else {
      error = U("ERROR: File_SelectFileWithDialog: ") + file.ErrorString();
    }
  }
  delete types;
  if (error.IsNotEmpty()) result.SetStringValue(error);
  return result;
}
