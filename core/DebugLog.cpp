// DebugLog: the log is off until InitDebug switches it on; while it is off every call returns
// at once. The line building, back-log and file step are filled in with the log's own unit.
#include "core/DebugLog.h"

int32_t g_intDebugLevel = kDebugNone;
bool g_bolDebugInitialized = false;

void DebugOutput(enumDebugLevel level, UniString text, bool skipBackLog) {
  (void)level;
  (void)text;
  (void)skipBackLog;
  if (!g_bolDebugInitialized) return;
}

void InitDebug() {}

clsFuncDebug::clsFuncDebug(UniString name, enumDebugLevel level)
    : m_ustrName(name), m_intLevel(level) {}

clsFuncDebug::~clsFuncDebug() {}

void clsFuncDebug::Output(enumDebugLevel level, UniString text) {
  (void)level;
  (void)text;
}
