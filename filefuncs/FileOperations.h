// FileOperations: the workers of File_Copy, File_Move, File_Rename, File_Delete,
// File_DeleteFolder, File_CreateFolder, File_Exists, File_FolderExists and File_Size.
// Interface: one Do... function each; it reads its parameters by name from the collection
// ("Source"/"Destination", "File"/"NewName", "File" or "Folder"), runs one whole-file operation
// of XFileSpec and returns one value: a success text, the integer 1 (the existence tests) or the
// file size, or a text beginning "ERROR: " and the function's name.
// Relies on files/XFileSpec.h for paths and operations and core/DebugLog.h for the trace.
// Never throws on bad input; the first failing check wins and later parameters are not read;
// nothing an operation already did is undone.
#pragma once

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

clsSingleVar DoFileCopy(clsMultiVar* params);
clsSingleVar DoFileMove(clsMultiVar* params);
clsSingleVar DoFileRename(clsMultiVar* params);
clsSingleVar DoFileDelete(clsMultiVar* params);
clsSingleVar DoFileDeleteFolder(clsMultiVar* params);
clsSingleVar DoFileCreateFolder(clsMultiVar* params);
clsSingleVar DoFileExists(clsMultiVar* params);
clsSingleVar DoFileFolderExists(clsMultiVar* params);
// The data and resource forks together; a file of 2 GiB or more is an error, never a wrapped number.
clsSingleVar DoFileSize(clsMultiVar* params);
