// clsGenProt: the protocol controller's requests, its wait loop and the worker thread's life.
// Posting: under the variable lock the message, its record and a new request serial are set;
// WaitForControllerSignal then turns every millisecond at most, pumping the host's events (the
// thread's wake event ends the pump at once when it answers or publishes), passing a
// published status to the progress window and giving up after twice the time-out without one.
// A request that was given up on is withdrawn under the lock (message cleared, record pointer
// cleared, serial moved on) before its record is deleted. A thread object is freed only after
// its task reported its end through the notify queue.
#include "smtp/clsGenProt.h"

#include <cmath>
#include <new>

#include "core/DebugLog.h"
#include "core/MacOSGlue.h"
#include "dialogs/clsStatusWindow.h"
#include "files/XFileSpec.h"
#include "platform/cf/CFDate.h"
#include "smtp/clsGenProtThread.h"

namespace {

AnsiString Decimal(long value) { return AnsiString(int(value)); }

void PumpEvents(double seconds) { OSX_ProcessMessages(nullptr, seconds); }

char const* const kOutOfSync = "Thread and Controller appear to be out of sync.";

}  // namespace

UniString LogText(AnsiString const& text) {
  constexpr int kMostLogged = 4096;
  if (text.Length() <= kMostLogged) return UniString(text);
  return UniString(AnsiString(text.c_str(), kMostLogged)) + UniString("... (") + UniString(int32_t(text.Length())) +
         UniString(" bytes)");
}

clsGenProt::clsGenProt()
    : m_udtVarLock(nullptr),
      m_bolMessagePending(false),
      m_bolReplyReady(false),
      m_bolConnected(false),
      m_bolBusy(false),
      m_intMessageCode(0),
      m_intReplyCode(0),
      m_pudtRequestData(nullptr),
      m_bolStatusPending(false),
      m_ulngRequestSerial(0),
      m_pudtThread(nullptr),
      m_udtTask(nullptr),
      m_udtTaskEnded(nullptr),
      m_pulstTranscript(nullptr),
      m_intTimeout(30),
      m_dblBoundMargin(5.0),
      m_bolStatusRefresh(false),
      m_bolUnresponsive(false),
      m_bolAutoKill(false),
      m_bolThreadCrashed(false),
      m_udtWakeEvent(nullptr) {
  if (CreateEvent(nullptr, kEventClassGenProtWake, kEventGenProtWake, 0, kEventAttributeNone, &m_udtWakeEvent) != noErr) {
    m_udtWakeEvent = nullptr;
  }
}

clsGenProt::~clsGenProt() {
  if (m_pudtThread != nullptr || m_bolThreadCrashed.load()) ShutdownProtocol();
  delete m_pulstTranscript;
  // A wake the last wait did not take leaves the queue with the controller.
  if (m_udtWakeEvent != nullptr) {
    RemoveEventFromQueue(GetMainEventQueue(), m_udtWakeEvent);
    ReleaseEvent(m_udtWakeEvent);
  }
}

void clsGenProt::WakeController() {
  // Already queued (eventAlreadyPostedErr): the wait has not taken it yet and will turn anyway.
  if (m_udtWakeEvent != nullptr) PostEventToQueue(GetMainEventQueue(), m_udtWakeEvent, kEventPriorityStandard);
}

uint32_t clsGenProt::NowSeconds() {
  double now = CFAbsoluteTimeGetCurrent();
  return now <= 0 ? 0u : uint32_t(std::floor(now));
}

void clsGenProt::CreateThread() {
  m_pudtThread = new (std::nothrow) clsGenProtThread(this);
  if (m_pudtThread == nullptr) m_astrError = "Could not allocate memory for Protocol Thread.";
}

clsGenProtData* clsGenProt::CreateData() {
  clsGenProtData* data = new (std::nothrow) clsGenProtData;
  if (data == nullptr) m_astrError = "Could not allocate memory for Protocol Data.";
  return data;
}

bool clsGenProt::GrabVarLock() {
  OSStatus result = MPEnterCriticalRegion(m_udtVarLock, 30000);
  if (result == noErr) return true;
  if (result == kMPTimeoutErr) {
    m_astrError = "Timed out trying to talk to Thread.";
  } else if (result == kMPDeletedErr) {
    m_astrError = "The Variable Lock (Critical Region) was deleted.";
  } else {
    m_astrError = AnsiString("Couldn't get Variable Lock; Unknown Error: ") + Decimal(result);
  }
  DebugOutput(kDebugError, UniString("GrabVarLock: Error: ") + LogText(m_astrError));
  return false;
}

OSStatus clsGenProt::ReleaseVarLock() { return MPExitCriticalRegion(m_udtVarLock); }

void clsGenProt::CopyTranscript(TStringList* lines) {
  if (lines == nullptr) return;
  std::lock_guard<std::mutex> guard(m_mtxTranscript);
  lines->Assign(m_pulstTranscript);
}

bool clsGenProt::WaitForControllerSignal() {
  clsFuncDebug scope(UniString("WaitForControllerSignal"));
  uint32_t lastSign = NowSeconds();
  bool result = false;
  bool windowShown = g_udtPluginStatus.IsOpen();
  for (;;) {
    if (ReapCrashedThread()) break;
    if (m_pudtThread == nullptr) break;
    if (BreakWaitLoop()) break;
    PumpEvents(0.001);
    windowShown = windowShown || g_udtPluginStatus.IsOpen();
    // An answer that is there when the limit is reached still counts: the lock is tried first.
    bool expired = NowSeconds() > lastSign + 2u * uint32_t(m_intTimeout) && !ThreadInBoundedWait(windowShown);
    OSStatus lock = MPEnterCriticalRegion(m_udtVarLock, kDurationImmediate);
    if (lock == kMPDeletedErr) {
      m_astrError = "The Variable Lock (Critical Region) was deleted.";
      break;
    }
    if (lock == noErr) {
      if (m_bolStatusPending) {
        m_bolStatusPending = false;
        lastSign = NowSeconds();
        expired = false;
        if (g_udtPluginStatus.IsOpen()) {
          g_udtPluginStatus.UpdateStatus(&m_udtStatus);
          m_udtStatus.Clear();
        }
      }
      if (m_bolReplyReady) {
        result = true;
        break;
      }
      ReleaseVarLock();
    }
    if (expired) {
      m_bolUnresponsive = true;
      m_astrError = "Timed out waiting for Thread to Respond.";
      break;
    }
  }
  // One more event for the host, if one is queued; the answer is not held up waiting for one.
  PumpEvents(kEventDurationNoWait);
  if (m_astrError.Length() > 0) scope.Output(kDebugError, LogText(m_astrError));
  return result;
}

bool clsGenProt::ThreadInBoundedWait(bool windowShown) const {
  // A closed progress window that was open is the user's way out of a long wait.
  if (windowShown && !g_udtPluginStatus.IsOpen()) return false;
  double bound = m_pudtThread == nullptr ? 0 : m_pudtThread->BoundUntil();
  return bound > 0 && CFAbsoluteTimeGetCurrent() <= bound + m_dblBoundMargin;
}

bool clsGenProt::PostRequest(int message, clsGenProtData* data, int expectedReply,
                             AnsiString prefix, bool asWarning) {
  AnsiString lockPrefix = prefix;
  AnsiString threadPrefix = prefix;
  if (message == kGenProtMsgShutdown) threadPrefix = "Shutdown Protocol: ";
  AnsiString& target = asWarning ? m_astrWarning : m_astrError;

  if (!GrabVarLock()) {
    AnsiString reason = m_astrError;
    if (asWarning) m_astrError = AnsiString();
    target = lockPrefix + reason;
    return false;
  }
  m_astrThreadError = AnsiString();
  m_pudtRequestData = data;
  m_intMessageCode = message;
  m_bolMessagePending = true;
  m_bolReplyReady = false;
  ++m_ulngRequestSerial;
  ReleaseVarLock();
  if (m_pudtThread != nullptr) m_pudtThread->WakeForRequest();

  if (!WaitForControllerSignal()) {
    AnsiString reason = m_astrError;
    // Withdraw the request, so that the thread never reads the record after it is deleted and
    // a late answer does not count for the next request.
    if (m_pudtThread != nullptr && MPEnterCriticalRegion(m_udtVarLock, 30000) == noErr) {
      m_bolMessagePending = false;
      m_pudtRequestData = nullptr;
      m_bolReplyReady = false;
      ++m_ulngRequestSerial;
      ReleaseVarLock();
    }
    if (asWarning) m_astrError = AnsiString();
    target = lockPrefix + reason;
    return false;
  }
  bool success = false;
  if (m_intReplyCode != expectedReply) {
    m_pudtRequestData = nullptr;
    m_bolReplyReady = false;
    ++m_ulngRequestSerial;
    ReleaseVarLock();
    target = threadPrefix + kOutOfSync;
  } else {
    m_bolReplyReady = false;
    m_pudtRequestData = nullptr;
    success = (m_astrThreadError.Length() == 0);
    if (!success) target = threadPrefix + m_astrThreadError;
    m_astrThreadError = AnsiString();  // read once; it is emptied at the next post anyway
    ReleaseVarLock();
  }
  return success;
}

void clsGenProt::AbortThread(char const* logPrefix) {
  if (m_pudtThread == nullptr) return;
  DebugOutput(kDebugInfo, UniString(logPrefix) + UniString("Attempting to abort thread."));
  m_pudtThread->SetAbort();
  if (m_udtTask == nullptr || m_udtTaskEnded == nullptr) return;
  // The loop sees the flag at its next turn; every wait of its own is bounded, so the task ends.
  uint32_t started = NowSeconds();
  uint32_t lastLog = started;
  for (;;) {
    PumpEvents(0.001);
    if (MPWaitOnQueue(m_udtTaskEnded, nullptr, nullptr, nullptr, 10) != kMPTimeoutErr) break;
    uint32_t now = NowSeconds();
    if (now >= lastLog + 5) {
      lastLog = now;
      DebugOutput(kDebugWarning, UniString(logPrefix) + UniString("Still waiting for the thread to stop."));
    }
  }
  m_udtTask = nullptr;
}

void clsGenProt::FreeThreadAndLock(char const* logPrefix) {
  if (m_pudtThread != nullptr) {
    DebugOutput(kDebugInfo, UniString(logPrefix) + UniString("Freeing Thread"));
    delete m_pudtThread;
  }
  m_pudtThread = nullptr;
  if (m_udtVarLock != nullptr) {
    DebugOutput(kDebugInfo, UniString(logPrefix) + UniString("Freeing Variable Lock (Critical Region)"));
    MPDeleteCriticalRegion(m_udtVarLock);
    m_udtVarLock = nullptr;
  }
  if (m_udtTaskEnded != nullptr) {
    MPDeleteQueue(m_udtTaskEnded);
    m_udtTaskEnded = nullptr;
  }
  m_udtTask = nullptr;
}

bool clsGenProt::ReapCrashedThread() {
  if (!m_bolThreadCrashed.load()) return false;
  m_bolThreadCrashed.store(false);
  if (m_udtTask != nullptr && m_udtTaskEnded != nullptr) {
    MPWaitOnQueue(m_udtTaskEnded, nullptr, nullptr, nullptr, kDurationForever);
  }
  DebugOutput(kDebugInfo, UniString("Setting Thread Instance to NULL."));
  FreeThreadAndLock("");
  m_astrError = "The Protocol Thread has Crashed.";
  return true;
}

void clsGenProt::ThreadCrashed() {
  clsFuncDebug scope(UniString("ThreadCrashed"));
  scope.Output(kDebugError, UniString("The Protocol Thread has Crashed."));
  m_bolThreadCrashed.store(true);
  WakeController();
}

bool clsGenProt::StartupProtocol() {
  clsFuncDebug scope(UniString("StartupProtocol"));
  ReapCrashedThread();
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  m_bolUnresponsive = false;
  if (m_pudtThread != nullptr) {
    m_astrWarning = "StartupProtocol called when the Protocol is already started.";
    return true;
  }

  bool started = false;
  do {
    CreateThread();
    if (m_astrError.Length() > 0 || m_pudtThread == nullptr) break;
    OSStatus result = MPCreateCriticalRegion(&m_udtVarLock);
    if (result != noErr) {
      m_udtVarLock = nullptr;
      m_astrError = AnsiString("Could not create Protocol Variable Lock (Critical Region); MacError: ") +
                    XFileSpec::GetMacError(result).GetAnsiString(1);
      break;
    }
    result = MPCreateQueue(&m_udtTaskEnded);
    if (result != noErr) {
      m_udtTaskEnded = nullptr;
      m_astrError = AnsiString("StartupProtocol: Could not start thread. Error Code: ") + Decimal(result);
      break;
    }
    if (!GrabVarLock()) {
      m_astrError = AnsiString("StartupProtocol: ") + m_astrError;
      break;
    }
    m_astrThreadError = AnsiString();
    m_pudtRequestData = nullptr;
    m_intMessageCode = kGenProtMsgPing;
    m_bolMessagePending = true;
    m_bolReplyReady = false;
    ++m_ulngRequestSerial;
    ReleaseVarLock();

    result = MPCreateTask(GPThread_EntryPoint, this, 32768, m_udtTaskEnded, nullptr, nullptr, 0, &m_udtTask);
    if (result != noErr) {
      m_udtTask = nullptr;
      m_astrError = AnsiString("StartupProtocol: Could not start thread. Error Code: ") + Decimal(result);
      break;
    }
    if (!WaitForControllerSignal()) {
      m_astrError = AnsiString("StartupProtocol: ") + m_astrError;
      break;
    }
    if (m_intReplyCode != kGenProtMsgPing) {
      ReleaseVarLock();
      m_astrError = AnsiString("StartupProtocol: ") + kOutOfSync;
      break;
    }
    m_bolReplyReady = false;
    if (m_astrThreadError.Length() > 0) m_astrError = AnsiString("StartupProtocol: ") + m_astrThreadError;
    ReleaseVarLock();
    started = (m_astrError.Length() == 0);
  } while (false);

  if (!started) {
    AbortThread("");
    FreeThreadAndLock("");
    scope.Output(kDebugError, LogText(m_astrError));
  }
  return started;
}

void clsGenProt::ShutdownProtocol() {
  clsFuncDebug scope(UniString("ShutdownProtocol"));
  ReapCrashedThread();
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  if (m_pudtThread == nullptr) {
    m_astrWarning = "ShutdownProtocol: Thread is NULL.";
    return;
  }
  PostRequest(kGenProtMsgShutdown, nullptr, kGenProtMsgShutdown, "ShutdownProtocol: ", true);
  if (m_bolThreadCrashed.load()) {
    ReapCrashedThread();
    m_astrError = AnsiString();
    return;
  }
  // After a clean answer the loop ends by itself; otherwise it is told to. Either way the
  // object is freed only once its task has ended.
  if (m_astrWarning.Length() > 0) {
    AbortThread("");
  } else if (m_udtTask != nullptr && m_udtTaskEnded != nullptr) {
    MPWaitOnQueue(m_udtTaskEnded, nullptr, nullptr, nullptr, kDurationForever);
  }
  FreeThreadAndLock("");
}

bool clsGenProt::IsProtocolStarted() {
  ReapCrashedThread();
  if (m_bolAutoKill && m_bolUnresponsive) {
    DebugOutput(kDebugInfo, UniString("IsProtocolStarted: Thread is currently Unresponsive, and we're set to auto kill."));
    AbortThread("IsProtocolStarted: ");
    FreeThreadAndLock("IsProtocolStarted: ");
    m_bolUnresponsive = false;
  }
  return m_pudtThread != nullptr;
}

int clsGenProt::GetConnectionState() {
  if (m_pudtThread == nullptr) {
    DebugOutput(kDebugFull, UniString("GetConnectionState: Not Connected"));
    return 0;
  }
  AnsiString saved = m_astrError;
  bool locked = GrabVarLock();
  m_astrError = saved;
  if (!locked) {
    DebugOutput(kDebugFull, UniString("GetConnectionState: Unknown"));
    return -1;
  }
  bool connected = m_bolConnected;
  ReleaseVarLock();
  DebugOutput(kDebugFull, UniString(connected ? "GetConnectionState: Connected" : "GetConnectionState: Not Connected"));
  return connected ? 1 : 0;
}

bool clsGenProt::Connect(AnsiString host, int port, int timeout) {
  clsFuncDebug scope(UniString("Connect"));
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  bool success = false;
  if (!IsProtocolStarted()) {
    if (m_astrError.Length() == 0) m_astrError = "Protocol is not running.";
  } else if (GetConnectionState() == 1) {
    m_astrError = "Already Connected.";
  } else if (!CheckPort(port)) {
    // The error text names the port; nothing is connected.
  } else if (clsGenProtData* data = CreateData()) {
    {
      std::lock_guard<std::mutex> guard(m_mtxTranscript);
      if (m_pulstTranscript == nullptr) {
        m_pulstTranscript = new (std::nothrow) TStringList;
      } else {
        m_pulstTranscript->Clear();
      }
    }
    data->m_astrHost = host;
    data->m_intPort = port;
    data->m_intTimeout = timeout;
    success = PostRequest(kGenProtMsgConnect, data, kGenProtReplyRequestDone, "Connect: ", false);
    if (success) scope.Output(kDebugInfo, UniString("Connected."));
    delete data;
    CheckForStatusUpdates(true);
  } else {
    m_astrError = AnsiString("Connect: ") + m_astrError;
  }
  if (m_astrError.Length() > 0) scope.Output(kDebugError, LogText(m_astrError));
  if (m_astrWarning.Length() > 0) scope.Output(kDebugWarning, LogText(m_astrWarning));
  return success;
}

bool clsGenProt::CheckPort(int port) {
  if (port >= 0 && port <= 65535) return true;
  m_astrError = AnsiString("Invalid Port: ") + AnsiString(port) + AnsiString(" (a port must be from 1 to 65535).");
  return false;
}

void clsGenProt::Disconnect() {
  clsFuncDebug scope(UniString("Disconnect"));
  m_astrError = AnsiString();
  m_astrWarning = AnsiString();
  if (!IsProtocolStarted()) {
    m_astrWarning = "Protocol is not running.";
  } else {
    if (GetConnectionState() != 1) {
      scope.Output(kDebugWarning,
                   UniString("The thread is saying it's not connected (or can't determine if it's connected).. "
                             "we'll ask it to disconnect anyway, to make sure everything is reset."));
    }
    PostRequest(kGenProtMsgDisconnect, nullptr, kGenProtReplyRequestDone, "Disconnect: ", false);
    CheckForStatusUpdates(true);
  }
  if (m_astrError.Length() > 0) scope.Output(kDebugError, LogText(m_astrError));
  if (m_astrWarning.Length() > 0) scope.Output(kDebugWarning, LogText(m_astrWarning));
}

void clsGenProt::CheckForStatusUpdates(bool force) {
  if (force) m_bolStatusRefresh = true;
  if (m_udtVarLock == nullptr) return;
  OSStatus lock = MPEnterCriticalRegion(m_udtVarLock, kDurationImmediate);
  if (lock == kMPDeletedErr) {
    DebugOutput(kDebugWarning, UniString("CheckForStatusUpdates: The Variable Lock (Critical Region) was deleted."));
    return;
  }
  if (lock != noErr) return;
  if (m_bolStatusPending || m_bolStatusRefresh) {
    m_bolStatusPending = false;
    m_bolStatusRefresh = false;
    if (g_udtPluginStatus.IsOpen() && m_udtStatus.IsNotEmpty()) {
      g_udtPluginStatus.UpdateStatus(&m_udtStatus);
      m_udtStatus.Clear();
    }
  }
  ReleaseVarLock();
}
