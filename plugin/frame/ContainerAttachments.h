// ContainerAttachments: an attachment parameter of the e-mail functions turned into the lines
// the message model attaches: a POSIX path, or a display name, "=" and a POSIX path. A text value
// gives the referenced file of its reference line, or else its own lines that name existing
// files ("name=path" lines kept whole) and its "CONTAINER:" lines unchecked; binary container
// data is written by the container export into the folder "Velmora Temp" of the system's
// chewable (else temporary) items, and every file written there is listed in the plug-in
// state's m_ulstTempFiles for deletion after sending.
// Interface: DoGetContFile.
// Relies on plugin/ContainerData.h, the container export of filefuncs/FileFuncs.h,
// files/XFileSpec.h and the File Manager for the folder, and the plug-in state. Host thread
// only. Failures are returned as English texts (the caller adds its "ERROR: " prefix); files
// written before a failure stay listed, and "Velmora Temp" is never removed.
#pragma once

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "platform/fmx/FMXData.h"

// Fills results (emptied first) from the value; preferJPEG asks the export for a 'JPEG' stream
// when the container holds neither a 'GIFf' nor a 'PNGf' one. An empty value gives no line and
// no error.
UniString DoGetContFile(fmx::Data const& value, UniStringList* results, bool preferJPEG);
