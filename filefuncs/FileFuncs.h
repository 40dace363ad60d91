// FileFuncs: what the plug-in frame uses of the File_* functions.
// Interface: ChooseFileFuncs, RegisterFileFuncs and UnregisterFileFuncs (start-up and shutdown),
// OldStyleFileFuncCallback (the old-style External call, offered first to the File functions)
// and DoFileExport, the worker that writes a container value to a file; the frame's container
// attachments are written through it as well.
// Relies on the host SDK's container values and calculation engine, core/clsMultiVar.h and
// core/UniStringList.h; see the unit behind each function for what it relies on and how it fails.
#pragma once

#include <cstdint>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "platform/fmx/FMXData.h"

// Stores the mask of offered File_* functions (bit 0x1 File_Copy to 0x2000 File_Size; 0x80 is
// File_GetPath with its three old names; higher bits mean nothing). Call before registering.
void ChooseFileFuncs(uint32_t mask);
// Registers, in the table's order, each function whose bit is set, under the plug-in ID 'QRVe'
// as "Velmora_" and its name, with help comments appended when addHelp is true and the flags of
// its class (the dialog flag lists the functions in all of the host's calculation dialogs).
// Stops at the first refusal and answers its code (sign-extended); 0 when all or none succeeded.
int32_t RegisterFileFuncs(bool addHelp, bool dialogFlag);
// Unregisters all seventeen ids, whatever the mask, ignoring the host's answers.
void UnregisterFileFuncs();
// The old-style External call: funcNo counted from base over the entries the mask enables
// selects one function, whose parameter text (the first line alone, or the lines in the
// variable-list syntax) is handed to its worker; out then holds the one result line. True when a
// function was selected (success or not); false, with out untouched, otherwise. Exceptions pass
// to the caller, whose own catch-all handles them.
bool OldStyleFileFuncCallback(int32_t base, int32_t funcNo, UniStringList* in, UniStringList* out);

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
