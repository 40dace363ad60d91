// PathQueries: the workers of File_GetPath (and its old names File_GetPathToDB,
// File_GetPathToFM, File_GetRoot), File_SelectFolderWithDialog and File_SelectFileWithDialog.
// Interface: DoFileGetPath reads "Type" (a word such as "Documents" or "DB", any case, blanks
// around it ignored) and answers a folder's POSIX path or the startup volume's name; the select
// workers read "StartPath", "Prompt" (and "FileTypes", "DialogType" for files), run the
// system's dialog and answer the chosen POSIX path. Failures are texts beginning "ERROR: ".
// Relies on files/XFileSpec.h (system folders, locations, dialogs), the plug-in frame's host
// product code (plugin/PluginGlobals.h: no dialog on a server product) and SetThemeCursor of
// the Navigation stand-in. Never throws; the dialogs are modal and run inside the call.
#pragma once

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

clsSingleVar DoFileGetPath(clsMultiVar* params);
// A cancelled folder dialog answers the empty text; a cancelled file dialog an error text.
clsSingleVar DoFileSelectFolderWithDialog(clsMultiVar* params);
clsSingleVar DoFileSelectFileWithDialog(clsMultiVar* params);
