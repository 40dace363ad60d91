// DebugLogFile: the debug log's file and the crash log.
// Interface: DoDebugLogFile(line), the debug log's file step (g_fnDebugLogFileWriter points at
// it), appends one line to "Velmora Debug Log.txt"; DoCrashLog(function) appends one crash
// record to "Velmora Crash Log.txt". Each file is found in the first usable of: the path last
// written (g_ustrDebugLogFileName, g_ustrCrashLogFileName), the desktop, the plug-in's folder
// (debug log only), the startup volume's root, the preferences folder's "QRV/Velmora/1.1", and
// the temporary-items folder; a missing file is created there with creator 'R*ch' and type
// 'TEXT'. Lines are UTF-8, each ended by one CR, and only ever appended.
// Relies on files/XFileSpec.h and files/XFileStream.h (unbuffered, data fork), core/DebugLog.h
// for the busy flag, the lock and the back-log, core/clsDateTime.h and core/MacOSGlue.h.
// Failures are silent: a line or record that cannot be written is simply not written, and the
// cached path keeps its earlier value. Nothing throws.
#pragma once

#include "core/UniString.h"

// POSIX paths of the log files last written; empty until the first successful write.
extern UniString g_ustrDebugLogFileName;
extern UniString g_ustrCrashLogFileName;

// Appends one finished debug line to the debug log file. Called by DebugOutput holding the
// log's lock with the busy flag set, so the file layer's own logging is dropped meanwhile.
void DoDebugLogFile(UniString const& line);

// Appends one crash record naming the function that caught the failure, with the debug
// back-log when it can be read safely. Writes nothing while a debug line (or another crash
// record) is being written.
void DoCrashLog(UniString crashingFunction);
