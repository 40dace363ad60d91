// DebugLog: the leveled debug log and its trace scopes.
// DebugOutput(level, text) records one line; clsFuncDebug logs the entry and exit of a named
// operation. Nothing is logged until InitDebug has run, so code may trace from the start.
// Never throws; a line that meets a busy log is dropped.
#pragma once

#include <cstdint>

#include "core/UniString.h"

enum enumDebugLevel : int32_t {
  kDebugNone = 0,
  kDebugError = 1,
  kDebugWarning = 2,
  kDebugResult = 3,
  kDebugInfo = 4,
  kDebugFull = 5
};

extern int32_t g_intDebugLevel;
extern bool g_bolDebugInitialized;

void DebugOutput(enumDebugLevel level, UniString text, bool skipBackLog = false);
void InitDebug();

class clsFuncDebug {
 public:
  clsFuncDebug(UniString name, enumDebugLevel level = kDebugFull);
  ~clsFuncDebug();
  clsFuncDebug(clsFuncDebug const&) = delete;
  clsFuncDebug& operator=(clsFuncDebug const&) = delete;

  void Output(enumDebugLevel level, UniString text);

 private:
  UniString m_ustrName;
  enumDebugLevel m_intLevel;
};
