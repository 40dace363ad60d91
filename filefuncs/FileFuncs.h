// FileFuncs: what the plug-in frame uses of the File_* functions.
// Interface: DoFileExport, the worker that writes a container value to a file; the frame's
// container attachments are written through it as well.
// Relies on the host SDK's container values and core/clsMultiVar.h; see the unit behind each
// function for what it relies on and how it fails.
#pragma once

#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXData.h"

// Writes the container's content into the folder "Path" (any accepted path form) and answers a
// text: "Exported Text to ", "Copied By Reference File to ", "The By Reference File already
// existed in the export location: " or "Exported file to: " followed by the file's POSIX path,
// or an error beginning "ERROR: File_Export: ". A text that names no file is saved as lines; a
// reference text is copied from the file it names; otherwise one data stream is written
// ("ReqType" picks it, else the first known picture or file type; a fitting extension is added
// to the name), with a "FORK" stream as the resource fork. "SaveAs" names the file (else the
// container's own name, else "Untitled"); a '/' in it stays part of the name. "CreatePath" above 0
// creates a missing folder; "MakeUnique" above 0 numbers the name until it is free and writes
// the final name (escaped) back into "SaveAs". A text export replaces a file of that name; an
// embedded export refuses it. Stream data is copied in 4,096-byte chunks, in bounded memory.
clsSingleVar DoFileExport(fmx::Data const& container, clsMultiVar* params);
