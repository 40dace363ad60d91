// FileFuncTable: the File_* functions in registration order (File_GetPath and its three old
// names share one bit; File_Size comes last), with their prototypes, help comments, parameter
// counts and the parameters the dispatch reads.
#include "filefuncs/FileFuncTable.h"

#include "filefuncs/FileOperations.h"
#include "filefuncs/PathQueries.h"

namespace {

stcFileFuncParam const kNone = {nullptr, false};

}  // namespace

stcFileFunc const g_udtFileFuncs[kFileFuncCount] = {
    {0x1, 2010, "File_Copy", "File_Copy( Source ; Destination )", 2, 2, kFlagsNormal,
     "\r/*\rSource = The Path and File Name of the File you want to Copy.\rDestination = The Path to the Folder "
     "where you want the Copy. [You can optionally specify a File Name to Rename the File.]\r*/",
     2, {{"Source", false}, {"Destination", false}, kNone, kNone}, kWorkerPlain, DoFileCopy, nullptr},
    {0x2, 2020, "File_CreateFolder", "File_CreateFolder( Folder )", 1, 1, kFlagsNormal,
     "\r/*Folder = The Path and Folder Name of the Folder you want to create.*/",
     1, {{"Folder", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileCreateFolder, nullptr},
    {0x4, 2030, "File_Delete", "File_Delete( File )", 1, 1, kFlagsNormal,
     "\r/*File = The Path and File Name of the File you want to Delete.*/",
     1, {{"File", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileDelete, nullptr},
    {0x8, 2035, "File_DeleteFolder", "File_DeleteFolder( Folder )", 1, 1, kFlagsNormal,
     "\r/*Folder = The Path of the Folder you want to Delete.*/",
     1, {{"Folder", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileDeleteFolder, nullptr},
    {0x10, 2040, "File_Exists", "File_Exists( File )", 1, 1, kFlagsNormal,
     "\r/*File = The Path and File Name of the File you want to Find.*/",
     1, {{"File", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileExists, nullptr},
    {0x20, 2050, "File_Export", "File_Export( Container ; Path {; SaveAs} )", 1, -1, kFlagsNormal,
     "\r/*\rContainer = The Container that contains the File you are Exporting.\rPath = The Path to the Folder "
     "where you want the Exported File.\rSaveAs = The File Name you want the Exported File to have.\r*/",
     2, {kNone, {"Path", false}, {"SaveAs", true}, {"ReqType", true}}, kWorkerExport, nullptr, nullptr},
    {0x40, 2055, "File_FolderExists", "File_FolderExists( Folder )", 1, 1, kFlagsNormal,
     "\r/*Folder = The Path of the Folder you want to Find.*/",
     1, {{"Folder", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileFolderExists, nullptr},
    {0x80, 2065, "File_GetPath", "File_GetPath( Type )", 1, 1, kFlagsNormal,
     "\r/*Type = Which Path Type you need. Specify \"Database\", \"FileMaker\", \"Root\", \"System\", \"Desktop\", "
     "\"Preferences\", \"Temporary\", \"Applications\", or \"Documents\".*/",
     1, {{"Type", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileGetPath, nullptr},
    {0x80, 2060, "File_GetPathToDB", nullptr, 0, 0, kFlagsOldName, "", -1, {kNone, kNone, kNone, kNone},
     kWorkerOldName, DoFileGetPath, "DB"},
    {0x80, 2070, "File_GetPathToFM", nullptr, 0, 0, kFlagsOldName, "", -1, {kNone, kNone, kNone, kNone},
     kWorkerOldName, DoFileGetPath, "FM"},
    {0x80, 2075, "File_GetRoot", nullptr, 0, 0, kFlagsOldName, "", -1, {kNone, kNone, kNone, kNone},
     kWorkerOldName, DoFileGetPath, "Root"},
    {0x100, 2080, "File_Import", "File_Import( File )", 0, -1, kFlagsNormal,
     "\r/*File = The Path and File Name of the File you want to Import.*/",
     1, {{"File", false}, {"Type", true}, kNone, kNone}, kWorkerImport, nullptr, nullptr},
    {0x200, 2090, "File_Move", "File_Move( Source ; Destination )", 2, 2, kFlagsNormal,
     "\r/*\rSource = The Path and File Name of the File you want to Move.\rDestination = The Path to the Folder "
     "where you want the File. [You can optionally specify a File Name to Rename the File.]\r*/",
     2, {{"Source", false}, {"Destination", false}, kNone, kNone}, kWorkerPlain, DoFileMove, nullptr},
    {0x400, 2100, "File_Rename", "File_Rename( File ; NewName )", 2, 2, kFlagsNormal,
     "\r/*\rFile = The Path and File Name of the File you want to Rename.\rNewName = The New Name for the File.\r*/",
     2, {{"File", false}, {"NewName", false}, kNone, kNone}, kWorkerPlain, DoFileRename, nullptr},
    {0x800, 2115, "File_SelectFileWithDialog", "File_SelectFileWithDialog{( StartPath {; Prompt } )}", 0, -1,
     kFlagsDialog,
     "\r/*\rStartPath = The Path to the Folder to display when the dialog first opens.\rPrompt = An optional "
     "Prompt or Message to display on the dialog.\r*/",
     -1, {{"StartPath", true}, {"Prompt", true}, kNone, kNone}, kWorkerPlain, DoFileSelectFileWithDialog, nullptr},
    {0x1000, 2116, "File_SelectFolderWithDialog", "File_SelectFolderWithDialog{( StartPath {; Prompt } )}", 0, -1,
     kFlagsDialog,
     "\r/*\rStartPath = The Path to the Folder to display when the dialog first opens.\rPrompt = An optional "
     "Prompt or Message to display on the Dialog.\r*/",
     -1, {{"StartPath", true}, {"Prompt", true}, kNone, kNone}, kWorkerPlain, DoFileSelectFolderWithDialog,
     nullptr},
    {0x2000, 2110, "File_Size", "File_Size( File )", 1, 1, kFlagsNormal,
     "\r/*File = The Path and File Name of the File you need the size of.*/",
     1, {{"File", false}, kNone, kNone, kNone}, kWorkerPlain, DoFileSize, nullptr},
};

stcFileFunc const* FindFileFunc(int16_t id) {
  for (stcFileFunc const& row : g_udtFileFuncs) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

stcOldStyleFunc const g_udtOldStyleFuncs[kOldStyleFuncCount] = {
    {2010, kOldStyleParsed, nullptr},      {2020, kOldStyleSingle, "Folder"},
    {2030, kOldStyleSingle, "File"},       {2035, kOldStyleSingle, "Folder"},
    {2040, kOldStyleSingle, "File"},       {2055, kOldStyleSingle, "Folder"},
    {2060, kOldStyleType, nullptr},        {2070, kOldStyleType, nullptr},
    {2075, kOldStyleType, nullptr},        {2090, kOldStyleParsed, nullptr},
    {2100, kOldStyleParsed, nullptr},      {2115, kOldStyleSingle, "StartPath"},
    {2116, kOldStyleSingle, "StartPath"},  {2110, kOldStyleSingle, "File"},
};
