// ContainerImport: the worker of File_Import, which turns a file into a host container value.
// Interface: DoFileImport(params, result) reads "File" (the path), "Type" (optional stream type,
// padded with blanks to four characters) and "ByReference" (its stored integer; above 0 gives
// the host's reference text instead of data). Embedded, the file's data fork becomes one typed
// stream ('JPEG', 'GIFf' with a 'SIZE' stream after it, 'FILE', or the given Type), followed by
// the file-reference stream naming the file. Answers the error text, empty on success.
// Relies on files/XFileSpec.h and files/XFileStream.h for the file, the File Manager for its
// 64-bit size, plugin/ContainerData.h for the file-reference stream, filefuncs/PictureSize.h and
// the host SDK's container classes. On failure the result is left untouched; nothing throws.
// The whole data fork is read into memory; a file of 2 GiB or more is refused.
#pragma once

#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "platform/fmx/FMXData.h"

UniString DoFileImport(clsMultiVar* params, fmx::Data& result);
