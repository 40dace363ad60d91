// DebugLog: one line is built and recorded under the log's critical region, which writers only
// try (a wait of zero), and under the busy flag, which also stops the file step's own logging
// from coming back in (the region is recursive, so it alone would not). Everything that can be
// decided without the lock (log off, Full line while the level is lower, busy) is decided before
// any text is built. The back-log is changed only while the region is held.
#include "core/DebugLog.h"

#include <new>

#include "core/DebugLogFile.h"
#include "core/MacOSGlue.h"
#include "core/clsDateTime.h"
#include "plugin/PluginGlobals.h"

int32_t g_intDebugLevel = kDebugNone;
bool g_bolDebugInitialized = false;
std::atomic<bool> g_bolDebugOutputBusy{false};
bool g_bolDebugIncludeMSecs = false;
std::atomic<int32_t> g_intDebugIndent{0};
MPCriticalRegionID g_udtDebugLock = nullptr;
UniStringList* g_ulstDebugBackLog = nullptr;
DebugLogFileWriterProc g_fnDebugLogFileWriter = DoDebugLogFile;

namespace {

char const kProductName[] = "Velmora";
char const kProductVersion[] = "1.1.3";
unsigned int const kBackLogLines = 32;
int32_t const kMaxIndent = 50;
uint8_t const kProductWebPublishing = 4;

char const* LevelTag(int32_t level) {
  switch (level) {
    case kDebugNone: return "None: ";
    case kDebugError: return "Err : ";
    case kDebugWarning: return "Warn: ";
    case kDebugResult: return "Res : ";
    case kDebugInfo: return "Info: ";
    case kDebugFull: return "Full: ";
    default: return nullptr;
  }
}

// The gates that need no lock: a line failing them would be dropped by DebugOutput anyway.
bool LineMayBeRecorded(enumDebugLevel level) {
  if (!g_bolDebugInitialized) return false;
  if (level == kDebugFull && g_intDebugLevel != kDebugFull) return false;
  return !g_bolDebugOutputBusy.load();
}

// As many spaces as open scopes, at most 50.
UniString Indentation() {
  int32_t depth = g_intDebugIndent.load();
  if (depth > kMaxIndent) depth = kMaxIndent;
  if (depth < 0) depth = 0;
  return UniString::StringOfChar(static_cast<unsigned short>(' '), depth);
}

// Releases a line's claim on every way out: busy flag first, then the region.
class clsDebugLineClaim {
 public:
  explicit clsDebugLineClaim(MPCriticalRegionID lock) : m_udtLock(lock) {}
  ~clsDebugLineClaim() {
    g_bolDebugOutputBusy.store(false);
    MPExitCriticalRegion(m_udtLock);
  }
  clsDebugLineClaim(clsDebugLineClaim const&) = delete;
  clsDebugLineClaim& operator=(clsDebugLineClaim const&) = delete;

 private:
  MPCriticalRegionID m_udtLock;
};

}  // namespace

void DebugOutput(enumDebugLevel level, UniString text, bool skipBackLog) {
  if (!LineMayBeRecorded(level)) return;
  MPCriticalRegionID lock = g_udtDebugLock;
  if (lock == nullptr) return;
  if (MPEnterCriticalRegion(lock, kDurationImmediate) != noErr) return;
  // The crash log takes the flag without the region, so the flag is claimed, not merely tested.
  if (g_bolDebugOutputBusy.exchange(true)) {
    MPExitCriticalRegion(lock);
    return;
  }
  clsDebugLineClaim claim(lock);

  try {
    clsDateTime now;
    now.SetToNow();
    UniString line(now.GetTimeAsString(g_bolDebugIncludeMSecs));
    line += UniString(" ");
    if (g_fudtFMProduct == kProductWebPublishing) line += UniString("WPE: ");
    if (char const* tag = LevelTag(level)) line += UniString(tag);
    line += text;

    if (g_bolDebugInitialized && g_ulstDebugBackLog != nullptr && !skipBackLog) {
      while (g_ulstDebugBackLog->Count() >= kBackLogLines) g_ulstDebugBackLog->Delete(0u);
      g_ulstDebugBackLog->Add(line);
    }

    if (level <= g_intDebugLevel && g_fnDebugLogFileWriter != nullptr) g_fnDebugLogFileWriter(line);
  } catch (...) {
    // A line that cannot be recorded is dropped; the log never disturbs its caller.
  }
}

void InitDebug() {
  if (g_bolDebugInitialized) return;

  UniStringList* backLog = new (std::nothrow) UniStringList;
  if (backLog == nullptr) return;
  delete g_ulstDebugBackLog;
  g_ulstDebugBackLog = backLog;
  g_bolDebugInitialized = true;

  if (g_udtDebugLock == nullptr) {
    MPCriticalRegionID lock = nullptr;
    if (MPCreateCriticalRegion(&lock) == noErr) g_udtDebugLock = lock;
  }

  clsDateTime now;
  now.SetToNow();
  DebugOutput(kDebugError, UniString("*** ") + UniString(kProductName) + UniString(" v.") +
                               UniString(kProductVersion));
  DebugOutput(kDebugError,
              UniString("*** ") + UniString(GetMacOSVersion(nullptr, nullptr, nullptr)));
  DebugOutput(kDebugError, UniString("*** File DateTime Stamp: ") + UniString(now.GetAsString()));
}

void EndDebug() {
  if (!g_bolDebugInitialized) return;
  // The flag goes first so that nothing starts a line on what is being freed.
  g_bolDebugInitialized = false;
  delete g_ulstDebugBackLog;
  g_ulstDebugBackLog = nullptr;
  if (g_udtDebugLock != nullptr) {
    MPDeleteCriticalRegion(g_udtDebugLock);
    g_udtDebugLock = nullptr;
  }
}

clsFuncDebug::clsFuncDebug(UniString name, enumDebugLevel level)
    : m_ustrName(name), m_intLevel(level) {
  if (LineMayBeRecorded(m_intLevel)) {
    DebugOutput(m_intLevel, Indentation() + UniString("==>> ") + m_ustrName);
  }
  g_intDebugIndent.fetch_add(1);
}

clsFuncDebug::~clsFuncDebug() {
  int32_t depth = g_intDebugIndent.load();
  while (depth > 0 && !g_intDebugIndent.compare_exchange_weak(depth, depth - 1)) {
  }
  if (LineMayBeRecorded(m_intLevel)) {
    DebugOutput(m_intLevel, Indentation() + UniString("<<== ") + m_ustrName);
  }
}

void clsFuncDebug::Output(enumDebugLevel level, UniString text) {
  enumDebugLevel effective = level < m_intLevel ? level : m_intLevel;
  if (!LineMayBeRecorded(effective)) return;
  DebugOutput(effective, Indentation() + m_ustrName + UniString(": ") + text);
}
