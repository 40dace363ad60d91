// PluginExternal: the host's older External call (a function number and one text parameter in a
// memory handle, the result text into another handle) and the conversions between such handles
// and the plug-in's strings.
// Interface: PluginExternal / Internal_PluginExternal (the File_* functions the selection mask
// enables are offered the call first; -1 is the version query; every other number is refused),
// ExtractFromFMX_Hdl (handle bytes to lines: CR ends a line, LF and zero bytes are skipped),
// InsertIntoFMX_Hdl (a text, lines joined by CR, or raw bytes into a handle, at most 63,997
// bytes, no terminating zero), ConvertCharToFMPSet (Windows Western byte to its Mac OS Roman
// counterpart, one to one over all 256 bytes).
// Handle text is in the host-handle code page (encoding 3 of UniString); the handles are reached
// only through the host call block's handle services (gFMX_ExternCallPtr).
// Relies on plugin/PluginGlobals.h for the call block, the File functions' old-style dispatch,
// DoVersion, the crash log and the stock message dialog. Host thread only.
// Failures: Internal_PluginExternal always writes a result text, "ERROR: ..." on failure, and
// catches every exception (crash log, then its path as the result); the handle writers answer
// false when the host reports a memory error after the resize.
#pragma once

#include <cstdint>

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "core/UniStringList.h"

// The most bytes written into a result handle.
const int32_t kMaxHandleTextBytes = 63997;

void PluginExternal(int32_t functionNumber, char** parameterHandle, char** resultHandle);
void Internal_PluginExternal(int32_t functionNumber, char** parameterHandle, char** resultHandle);

// Empties lines and fills it from the handle; true when the handle held a byte of 128 or above.
bool ExtractFromFMX_Hdl(char** handle, UniStringList* lines, bool unused);
// True when the handle was resized without a memory error.
bool InsertIntoFMX_Hdl(char** handle, UniString text, bool unused);
bool InsertIntoFMX_Hdl(char** handle, UniStringList* lines, bool unused);
// Bytes as they are when raw, else each through ConvertCharToFMPSet(byte, 0).
bool InsertIntoFMX_Hdl(char** handle, AnsiString text, bool raw);

// Direction 0 converts through the table; any other direction returns the byte unchanged.
unsigned char ConvertCharToFMPSet(unsigned char c, int direction);
