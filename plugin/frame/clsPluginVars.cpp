// clsPluginVars: the plug-in state's life, and the globals that hold it.
#include "plugin/frame/clsPluginVars.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <new>
#include <random>

#include "core/DebugLog.h"
#include "files/XFileSpec.h"
#include "platform/carbon/Events.h"
#include "plugin/frame/clsSendValues.h"

clsPluginVars* m_udtPluginVars = nullptr;
clsNewCfgDlg* g_udtNewCfgDlg = nullptr;

namespace {
bool g_bolFailNextPluginVars = false;
}  // namespace

void FailNextPluginVarsForTesting() { g_bolFailNextPluginVars = true; }

clsPluginVars::clsPluginVars()
    : m_udtSendValues(nullptr),
      m_ulstMergeLines(nullptr),
      m_ulstTempFiles(nullptr),
      m_bolCustomStatusTitle(false),
      m_bolMessageCallRunning(false) {
  clsFuncDebug dbg(UniString("clsPluginVars Constructor"));
  if (g_bolFailNextPluginVars) {
    g_bolFailNextPluginVars = false;
    throw std::bad_alloc();
  }
}

clsPluginVars::~clsPluginVars() {
  clsFuncDebug dbg(UniString("clsPluginVars Destructor"));
  delete m_udtSendValues;
  m_udtSendValues = nullptr;
  delete m_ulstMergeLines;
  m_ulstMergeLines = nullptr;
  if (m_ulstTempFiles != nullptr) {
    for (UniString const& path : *m_ulstTempFiles) {
      XFileSpec file;
      if (file.Set(path)) file.XRemoveFile();
    }
    delete m_ulstTempFiles;
    m_ulstTempFiles = nullptr;
  }
}

clsMessageCallScope::clsMessageCallScope() : m_pudtVars(m_udtPluginVars) {
  if (m_pudtVars != nullptr) m_pudtVars->m_bolMessageCallRunning = true;
}

clsMessageCallScope::~clsMessageCallScope() {
  if (m_pudtVars != nullptr) m_pudtVars->m_bolMessageCallRunning = false;
}

bool IsMessageCallRunning() { return m_udtPluginVars != nullptr && m_udtPluginVars->m_bolMessageCallRunning; }

UniString MessageCallRunningText() {
  return UniString("A message is being sent (or composed in the message dialog); try again when it is done.");
}

void Internal_PluginInit() {
  clsFuncDebug dbg(UniString("Internal Plugin Init"));
  if (m_udtPluginVars == nullptr) {
    try {
      m_udtPluginVars = new clsPluginVars;
    } catch (...) {
      m_udtPluginVars = nullptr;
    }
  }
  // Every process draws its own sequence, so the unique IDs (Message-IDs, boundaries) of
  // processes started within one tick, or on other hosts, differ: the system's random source,
  // with the wall clock, the process id and the tick count mixed in should it have none.
  unsigned int seed = static_cast<unsigned int>(TickCount());
  try {
    std::random_device source;
    seed ^= source();
  } catch (std::exception const&) {
  }
  auto const now = std::chrono::system_clock::now().time_since_epoch().count();
  seed ^= static_cast<unsigned int>(now) ^ static_cast<unsigned int>(now >> 32);
  seed ^= static_cast<unsigned int>(getpid()) * 2654435761u;
  srand(seed);
}
