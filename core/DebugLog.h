// DebugLog: the leveled debug log and its trace scopes.
// Interface: DebugOutput(level, text, skipBackLog) records one line: the time of day, "WPE: " on
// the Web Publishing Engine, the level's tag and the text; lines of levels 0 to 4 enter the
// 32-line back-log (Full lines only when the configured level is Full), and lines at or below the
// configured level go to the log file through g_fnDebugLogFileWriter. InitDebug switches the log
// on (back-log, lock, three banner lines), EndDebug switches it off again. clsFuncDebug logs the
// entry and exit of a named operation, indented by the nesting of open scopes.
// Relies on core/UniString.h, core/UniStringList.h, core/clsDateTime.h, core/MacOSGlue.h, the
// Multiprocessing critical regions and the plug-in frame's g_fudtFMProduct.
// Never throws and never blocks: nothing is logged while the log is off, and a line that meets a
// busy log (another thread writing, or a line logged from inside the file step) is dropped.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/UniString.h"
#include "core/UniStringList.h"
#include "platform/mp/Multiprocessing.h"

enum enumDebugLevel : int32_t {
  kDebugNone = 0,
  kDebugError = 1,
  kDebugWarning = 2,
  kDebugResult = 3,
  kDebugInfo = 4,
  kDebugFull = 5
};

// Configured level ("DebugLevel"): lines at or below it reach the file.
extern int32_t g_intDebugLevel;
// Set by InitDebug, cleared by EndDebug; nothing is logged while it is false.
extern bool g_bolDebugInitialized;
// Set while a line (or a crash log) is being written; a line that finds it set is dropped.
// Shared by every thread that logs, hence atomic.
extern std::atomic<bool> g_bolDebugOutputBusy;
// Line times with fractional seconds; off unless a developer switches it on.
extern bool g_bolDebugIncludeMSecs;
// Nesting depth of open trace scopes, one counter for all threads; never below 0.
extern std::atomic<int32_t> g_intDebugIndent;
// Guards the writing of a line; writers only try it. Null while the log is off.
extern MPCriticalRegionID g_udtDebugLock;
// The last lines, oldest first, at most 32; owned here, null while the log is off.
extern UniStringList* g_ulstDebugBackLog;

// Appends one finished line to the debug log file; null means there is no file. It is called
// holding the log's lock with the busy flag set, so whatever it logs itself is dropped.
// Points at DoDebugLogFile (core/DebugLogFile.h) from the start; tests may point it elsewhere.
typedef void (*DebugLogFileWriterProc)(UniString const& line);
extern DebugLogFileWriterProc g_fnDebugLogFileWriter;

void DebugOutput(enumDebugLevel level, UniString text, bool skipBackLog = false);
// What a trace shows in place of a secret (a password, an AUTH line's credentials).
constexpr char kDebugCensoredText[] = "[CENSORED]";
// Switches the log on when it is off; a second call changes nothing.
void InitDebug();
// Switches the log off when it is on: frees the back-log and deletes the lock. Part of the
// common shut-down, which runs after every other thread that logs has stopped.
void EndDebug();

class clsFuncDebug {
 public:
  clsFuncDebug(UniString name, enumDebugLevel level = kDebugFull);
  ~clsFuncDebug();
  clsFuncDebug(clsFuncDebug const&) = delete;
  clsFuncDebug& operator=(clsFuncDebug const&) = delete;

  // Logs name + ": " + text at the more important of the two levels.
  void Output(enumDebugLevel level, UniString text);

 private:
  UniString m_ustrName;
  enumDebugLevel m_intLevel;
};
