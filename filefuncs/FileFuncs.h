// FileFuncs: what the plug-in frame calls of the File_* functions.
// Interface: DoFileExport, the container export: a container value written as a file into a
// folder (its chosen data stream, a copy of the file it references, or its text as lines).
// Relies on plugin/ContainerData.h, files/XFileSpec.h, files/XFileStream.h and the value
// classes. Host thread only. Failures are result texts beginning "ERROR: File_Export: "; a file
// created before a later failure stays on disk.
#pragma once

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXData.h"

// Writes the container into the folder "Path" under "SaveAs" (else the container's own name,
// else "Untitled"); "ReqType" picks the stream by its four-character type; "MakeUnique" 1 keeps
// a taken name free by numbering it and writes the final name back into "SaveAs"; "CreatePath"
// 1 creates a missing folder. Returns a nameless string value: the success text ending in the
// written file's POSIX path, or the error text.
clsSingleVar DoFileExport(fmx::Data const& container, clsMultiVar* params);
