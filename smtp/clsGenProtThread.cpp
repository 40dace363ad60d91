// clsGenProtThread: the worker's loop, the hand-over with the controller, the command queue with
// its events and bounded waits, the generic commands and status publishing.
// The loop sleeps in its run loop (0.01 s at most) only while nothing is to be done: not while a
// command is at the front of the queue, a wait at the front is already met (or ended by an error)
// or a finished request is still to be answered.
#include "smtp/clsGenProtThread.h"

#include <cmath>
#include <new>
#include <utility>

#include "core/DebugLog.h"
#include "platform/cf/CFDate.h"
#include "smtp/clsGenProt.h"

namespace {

constexpr double kOneYear = 365.0 * 24 * 3600;

// Leaves the controller's lock when the scope ends, also by an exception.
class clsLockExit {
 public:
  explicit clsLockExit(MPCriticalRegionID lock) : m_udtLock(lock) {}
  ~clsLockExit() { MPExitCriticalRegion(m_udtLock); }
  clsLockExit(clsLockExit const&) = delete;
  clsLockExit& operator=(clsLockExit const&) = delete;

 private:
  MPCriticalRegionID m_udtLock;
};

}  // namespace

OSStatus GPThread_EntryPoint(void* parameter) {
  auto* controller = static_cast<clsGenProt*>(parameter);
  if (controller == nullptr || controller->m_pudtThread == nullptr) return 0;
  clsGenProtThread* thread = controller->m_pudtThread;
  try {
    thread->Execute();
  } catch (...) {
    controller->ThreadCrashed();
  }
  return 0;
}

void GPThread_IdleTimerCallback(CFRunLoopTimerRef, void*) {}

clsGenProtThread::clsGenProtThread(clsGenProt* controller)
    : m_udtSocket(nullptr),
      m_udtSocketSource(nullptr),
      m_udtAddrChangeSource(nullptr),
      m_udtTLSContext(nullptr),
      m_udtIdleTimer(nullptr),
      m_dblLastActivity(0),
      m_pbytTLSBuffer(nullptr),
      m_ulngTLSCapacity(0),
      m_ulngTLSStart(0),
      m_ulngTLSEnd(0),
      m_bolTLSHandshaking(false),
      m_udtAddrChangeStore(nullptr),
      m_pbytReceiveBuffer(nullptr),
      m_pbytSendBuffer(nullptr),
      m_ulngReceiveStart(0),
      m_ulngReceiveEnd(0),
      m_ulngReceiveCapacity(0),
      m_ulngSendBufferSize(0),
      m_ulngSendBufferUsed(0),
      m_bolCRAtEnd(false),
      m_bolTLSActive(false),
      m_bolSendBuffering(false),
      m_pulstLocalIPs(nullptr),
      m_pulstLocalHosts(nullptr),
      m_ulngLastStatusTime(0),
      m_pudtController(controller),
      m_intPort(0),
      m_intTimeout(30),
      m_intIdleTimeout(15),
      m_bolRunning(true),
      m_bolRequestDone(false),
      m_bolConnected(false),
      m_bolLineMode(false),
      m_bolAbort(false),
      m_dblBoundUntil(0),
      m_dblLastWaitSeen(0),
      m_ulngServingSerial(0),
      m_bolCloseAfterRequest(false),
      m_bolInputRejected(false),
      m_bolTLSPeerClosed(false),
      m_bolStatusUnpublished(false),
      m_udtMode(nullptr),
      m_udtLock(nullptr),
      m_udtRequestSource(nullptr),
      m_udtRunLoop(nullptr) {
  CFRunLoopSourceContext context{};
  context.perform = [](void*) {};  // being signalled is the whole message
  m_udtRequestSource = CFRunLoopSourceCreate(nullptr, 0, &context);
}

void clsGenProtThread::WakeForRequest() {
  CFRunLoopRef loop = m_udtRunLoop.load();
  if (loop == nullptr || m_udtRequestSource == nullptr) return;
  CFRunLoopSourceSignal(m_udtRequestSource);
  CFRunLoopWakeUp(loop);
}

clsGenProtThread::~clsGenProtThread() {
  if (m_udtTLSContext != nullptr) {
    SSLClose(m_udtTLSContext);
    SSLDisposeContext(m_udtTLSContext);
  }
  if (m_udtSocketSource != nullptr) {
    CFRunLoopSourceInvalidate(m_udtSocketSource);
    CFRelease(m_udtSocketSource);
  }
  if (m_udtSocket != nullptr) {
    CFSocketInvalidate(m_udtSocket);
    CFRelease(m_udtSocket);
  }
  if (m_udtAddrChangeSource != nullptr) {
    CFRunLoopSourceInvalidate(m_udtAddrChangeSource);
    CFRelease(m_udtAddrChangeSource);
  }
  if (m_udtAddrChangeStore != nullptr) CFRelease(m_udtAddrChangeStore);
  if (m_udtIdleTimer != nullptr) {
    CFRunLoopTimerInvalidate(m_udtIdleTimer);
    CFRelease(m_udtIdleTimer);
  }
  if (m_udtRequestSource != nullptr) {
    CFRunLoopSourceInvalidate(m_udtRequestSource);
    CFRelease(m_udtRequestSource);
  }
  if (CFRunLoopRef loop = m_udtRunLoop.load()) CFRelease(loop);
  delete[] m_pbytTLSBuffer;
  delete[] m_pbytReceiveBuffer;
  delete[] m_pbytSendBuffer;
  delete m_pulstLocalIPs;
  delete m_pulstLocalHosts;
}

double clsGenProtThread::Now() { return CFAbsoluteTimeGetCurrent(); }

bool clsGenProtThread::MayIdle() const {
  if (m_bolRequestDone) return false;
  if (m_deqCommands.empty()) return true;
  int const front = m_deqCommands.front().m_intCode;
  if (front >= 7) return false;
  // A wait that an event already met, or that an error ends, is no reason to sleep: a reply
  // that came in with the last bytes is taken in the next turn, not 0.01 s later.
  if (m_astrError.Length() > 0) return false;
  for (int event : m_deqEvents) {
    if (event == front || event == kEventDisconnectDone) return false;
  }
  return true;
}

void clsGenProtThread::Execute() {
  clsFuncDebug scope(UniString("ThreadExecute"));
  m_udtMode = CFStringCreateWithCString(nullptr, "QRV_GenProtRunLoopMode", kCFStringEncodingUTF8);
  m_udtLock = m_pudtController->m_udtVarLock;
  m_dblLastActivity = Now() + kOneYear;
  m_udtIdleTimer = CFRunLoopTimerCreate(nullptr, Now() + kOneYear, double(m_intIdleTimeout), 0, 0,
                                        GPThread_IdleTimerCallback, nullptr);
  if (m_udtIdleTimer == nullptr) {
    m_astrError = "Could not create Idle Timer";
    scope.Output(kDebugError, LogText(m_astrError));
  } else {
    CFRunLoopAddTimer(CFRunLoopGetCurrent(), m_udtIdleTimer, m_udtMode);
    if (m_udtRequestSource != nullptr && m_udtRunLoop.load() == nullptr) {
      CFRunLoopRef loop = CFRunLoopGetCurrent();
      CFRetain(loop);
      CFRunLoopAddSource(loop, m_udtRequestSource, m_udtMode);
      m_udtRunLoop.store(loop);
      // The controller posts its first request (the start-up ping) before the task runs: the
      // first turn takes it at once instead of after a whole sleep.
      CFRunLoopSourceSignal(m_udtRequestSource);
    }
    scope.Output(kDebugInfo, UniString("Entering Thread Run Loop"));
    m_bolAbort.store(false);
    m_bolRunning = true;
    try {
      RunLoop(scope);
    } catch (...) {
      // The task ends by the exception: what the loop holds is released first.
      ReleaseLoopObjects();
      throw;
    }
    scope.Output(kDebugInfo, UniString("Exited Thread Run Loop"));
    // Nothing of a connection stays behind in this task's run loop.
    if (m_udtSocket != nullptr || m_udtTLSContext != nullptr) CleanupSocket();
  }
  ReleaseLoopObjects();
}

void clsGenProtThread::ReleaseLoopObjects() {
  if (CFRunLoopRef loop = m_udtRunLoop.load()) {
    if (m_udtRequestSource != nullptr) CFRunLoopRemoveSource(loop, m_udtRequestSource, m_udtMode);
  }
  if (m_udtIdleTimer != nullptr) {
    CFRunLoopRemoveTimer(CFRunLoopGetCurrent(), m_udtIdleTimer, m_udtMode);
    CFRunLoopTimerInvalidate(m_udtIdleTimer);
    CFRelease(m_udtIdleTimer);
    m_udtIdleTimer = nullptr;
  }
  if (m_udtMode != nullptr) CFRelease(m_udtMode);
  m_udtMode = nullptr;
}

void clsGenProtThread::RunLoop(clsFuncDebug& scope) {
  while (m_bolRunning) {
    if (m_bolAbort.load()) {
      scope.Output(kDebugInfo, UniString("Thread Loop Aborted."));
      break;
    }
    CFRunLoopRunInMode(m_udtMode, MayIdle() ? 0.01 : 0.0, false);
    HandOver();
    if (m_deqCommands.empty()) {
      m_deqEvents.clear();
    } else {
      ProcessCommandQueue();
    }
    PublishQueueBound();
    CloseIfRequestFailedConnection();
    if (Now() > m_dblLastActivity + m_intIdleTimeout) {
      IdleTimeout();
      m_dblLastActivity = Now();
    }
  }
}

void clsGenProtThread::PublishQueueBound() {
  // A wait in front ends by its deadline. The step that follows a wait, and an answer not yet
  // handed over, come within a turn or two: they count as inside the wait for a moment, so that
  // the controller does not give up between a wait and the next. A command that stays in front
  // longer is no bounded wait.
  double const now = Now();
  double bound = 0;
  if (!m_deqCommands.empty() && m_deqCommands.front().m_intCode < 7 && m_deqCommands.front().m_dblDeadline > 0) {
    bound = m_deqCommands.front().m_dblDeadline;
    m_dblLastWaitSeen = now;
  } else if (m_bolRequestDone || now - m_dblLastWaitSeen < 0.5) {
    bound = now;
  }
  m_dblBoundUntil.store(bound);
}

bool clsGenProtThread::RequestGivenUp() const {
  return m_ulngServingSerial != m_pudtController->m_ulngRequestSerial.load();
}

void clsGenProtThread::HandOver() {
  if (MPEnterCriticalRegion(m_udtLock, kDurationImmediate) != noErr) return;
  clsGenProt* controller = m_pudtController;
  bool wake = false;
  {
    clsLockExit exit(m_udtLock);
    bool const replyBefore = controller->m_bolReplyReady;
    bool const statusBefore = controller->m_bolStatusPending;
    HandOverLocked();
    wake = (!replyBefore && controller->m_bolReplyReady) || (!statusBefore && controller->m_bolStatusPending);
  }
  // Woken after the lock is left, so that the controller finds it free.
  if (wake) controller->WakeController();
}

void clsGenProtThread::HandOverLocked() {
  clsGenProt* controller = m_pudtController;
  if (m_bolStatusUnpublished) {
    HandStatusToController();
    m_bolStatusUnpublished = false;
    m_ulngLastStatusTime = clsGenProt::NowSeconds();
  }
  bool abandoned = m_ulngServingSerial != controller->m_ulngRequestSerial;
  if (m_bolRequestDone) {
    m_bolRequestDone = false;
    if (abandoned) {
      DebugOutput(kDebugWarning, UniString("Dropping the answer to a request the controller gave up on."));
    } else {
      ProcessRequestDone(controller->m_pudtRequestData);
    }
  }
  // A request given up on while still running ends through its clean-ups before the next one
  // is taken. What runs between requests (a keep-alive) is no request: IsThreadBusy says.
  bool running = IsThreadBusy();
  if (abandoned && running && (m_astrError.Length() == 0)) {
    m_astrError = "The request was given up on.";
    m_bolCloseAfterRequest = true;
  }
  if (controller->m_bolMessagePending && (!abandoned || !running)) {
    controller->m_bolMessagePending = false;
    m_ulngServingSerial = controller->m_ulngRequestSerial;
    ProcessThreadMessage(controller->m_intMessageCode, controller->m_pudtRequestData);
    controller->m_intMessageCode = 0;
  }
  controller->m_bolConnected = m_bolConnected;
  controller->m_bolBusy = IsThreadBusy();
}

void clsGenProtThread::ProcessRequestDone(clsGenProtData*) {
  // Handed over, not copied: the request is over, and the text may be long.
  m_pudtController->m_astrThreadError = std::move(m_astrError);
  m_astrError = AnsiString();
  m_pudtController->m_intReplyCode = kGenProtReplyRequestDone;
  m_pudtController->m_bolReplyReady = true;
}

bool clsGenProtThread::ProcessThreadMessage(int code, clsGenProtData* data) {
  clsGenProt* controller = m_pudtController;
  switch (code) {
    case kGenProtMsgPing:
      controller->m_intReplyCode = kGenProtMsgPing;
      controller->m_bolReplyReady = true;
      return true;
    case kGenProtMsgShutdown:
      m_bolRunning = false;
      controller->m_intReplyCode = kGenProtMsgShutdown;
      controller->m_bolReplyReady = true;
      return true;
    case kGenProtMsgConnect:
      m_bolRequestDone = false;
      m_astrError = AnsiString();
      if (data == nullptr) {
        m_astrError = "Data is NULL.";
        m_bolRequestDone = true;
      } else {
        m_astrHost = data->m_astrHost;
        m_intPort = data->m_intPort;
        m_intTimeout = data->m_intTimeout;
        m_deqCommands.push_back(stcCommand(kCmdConnect, kCmdStateStart));
      }
      return true;
    case kGenProtMsgDisconnect:
      m_bolRequestDone = false;
      m_astrError = AnsiString();
      m_deqCommands.push_back(stcCommand(kCmdDisconnect, kCmdStateStart));
      return true;
    default:
      m_astrError = "Unhandled Thread Message.";
      return false;
  }
}

bool clsGenProtThread::ProcessCommandQueue() {
  if (m_deqCommands.empty()) return true;
  if (m_astrError.Length() > 0) {
    while (!m_deqCommands.empty() && m_deqCommands.front().m_intCode <= 6) m_deqCommands.pop_front();
    if (m_deqCommands.empty()) {
      m_bolRequestDone = true;
      return true;
    }
    m_deqCommands.front().m_intState = kCmdStateCleanup;
  } else if (m_deqCommands.front().m_intCode < 7) {
    stcCommand& wait = m_deqCommands.front();
    for (auto it = m_deqEvents.begin(); it != m_deqEvents.end(); ++it) {
      if (*it == wait.m_intCode || *it == kEventDisconnectDone) {
        m_deqEvents.erase(it);
        m_deqCommands.pop_front();
        return true;
      }
    }
    // Every wait is bounded: by its own time or the connection's time-out.
    double now = Now();
    if (wait.m_dblDeadline == 0) {
      wait.m_dblDeadline = now + (wait.m_intWaitSeconds > 0 ? wait.m_intWaitSeconds : EffectiveTimeout());
    } else if (now > wait.m_dblDeadline) {
      if (wait.m_intCode == kEventConnectionDone) {
        m_astrError = AnsiString("Timed out connecting to '") + m_astrHost + AnsiString(":") +
                      AnsiString(m_intPort) + AnsiString("'.");
      } else {
        m_astrError = "Timed out waiting for the server to respond.";
      }
      DebugOutput(kDebugError, LogText(m_astrError));
      m_bolCloseAfterRequest = true;
    }
    return true;
  }
  switch (m_deqCommands.front().m_intCode) {
    case kCmdConnect: Connect(); return true;
    case kCmdDisconnect: Disconnect(); return true;
    case kCmdNegotiateTLS: NegotiateTLS(); return true;
    default: return false;
  }
}

void clsGenProtThread::Connect() {
  clsFuncDebug scope(UniString("Connect"));
  AnsiString saved;
  stcCommand command;
  if (!TakeFrontCommand(&command, &saved)) return;
  switch (command.m_intState) {
    case kCmdStateStart: {
      scope.Output(kDebugInfo, UniString("State: Start"));
      UpdateStatus(UniString("Connecting..."), 101);
      m_bolRequestDone = false;
      if (m_bolConnected) {
        m_astrError = "Already Connected.";
        EndFailedStart();
        break;
      }
      // A socket kept from an earlier connection is released first.
      if (m_udtSocket != nullptr || m_udtTLSContext != nullptr) ReleaseConnectionObjects();
      m_bolInputRejected = false;
      m_bolTLSPeerClosed = false;
      m_bolCloseAfterRequest = false;
      OpenConnection();
      EndFailedStart();
      break;
    }
    case kCmdStateConnected:
      scope.Output(kDebugInfo, UniString("State: Connected"));
      m_dblLastActivity = Now();
      m_deqCommands.push_front(stcCommand(kCmdConnect, kCmdStateCleanup));
      break;
    default:
      scope.Output(kDebugInfo, UniString("State: Cleanup"));
      if (saved.Length() > 0) m_astrError = std::move(saved);
      if (m_astrError.Length() > 0) {
        m_deqCommands.push_front(stcCommand(kCmdDisconnect, kCmdStateCleanup));
      } else if (m_deqCommands.empty()) {
        UpdateStatus(UniString("Idle."), 0);
        m_bolRequestDone = true;
      }
      break;
  }
}

bool clsGenProtThread::TakeFrontCommand(stcCommand* command, AnsiString* saved) {
  *saved = std::move(m_astrError);
  m_astrError = AnsiString();
  if (m_deqCommands.empty()) {
    m_astrError = "Command Queue is Empty.";
    return false;
  }
  *command = m_deqCommands.front();
  m_deqCommands.pop_front();
  return true;
}

void clsGenProtThread::EndFailedStart() {
  // Nothing queued behind a failed start: the request ends now with the error (the queue is
  // not looked at again while it is empty).
  if ((m_astrError.Length() == 0) || !m_deqCommands.empty()) return;
  m_bolRequestDone = true;
  if (m_udtSocket != nullptr) ReleaseConnectionObjects();
}

void clsGenProtThread::CloseIfRequestFailedConnection() {
  if (!m_bolRequestDone || !m_bolCloseAfterRequest) return;
  m_bolCloseAfterRequest = false;
  if (m_udtSocket != nullptr || m_bolConnected) CleanupSocket();
}

void clsGenProtThread::Disconnect() {
  clsFuncDebug scope(UniString("Disconnect"));
  AnsiString saved;
  stcCommand command;
  if (!TakeFrontCommand(&command, &saved)) return;
  if (command.m_intState == kCmdStateStart) {
    scope.Output(kDebugInfo, UniString("State: Start"));
    UpdateStatus(UniString("Disconnecting..."), 101);
    m_bolRequestDone = false;
    if (!m_bolConnected) {
      scope.Output(kDebugWarning, UniString("Disconnected called when not actually connected."));
    } else if (m_ulngSendBufferUsed > 0) {
      FlushSendBuffer();
    }
    m_deqCommands.push_front(stcCommand(kCmdDisconnect, kCmdStateCleanup));
    return;
  }
  scope.Output(kDebugInfo, UniString("State: Cleanup"));
  m_dblLastActivity = Now() + kOneYear;
  if (saved.Length() > 0) m_astrError = std::move(saved);
  if (m_deqCommands.empty()) {
    UpdateStatus(UniString("Idle."), 0);
    m_bolRequestDone = true;
    m_bolCloseAfterRequest = false;
    CleanupSocket();
  }
}

void clsGenProtThread::NegotiateTLS() {
  clsFuncDebug scope(UniString("NegotiateTLS"));
  AnsiString saved;
  stcCommand command;
  if (!TakeFrontCommand(&command, &saved)) return;
  if (command.m_intState == kCmdStateStart) {
    scope.Output(kDebugInfo, UniString("State: Start"));
    UpdateStatus(UniString("Negotiating TLS..."), 101);
    m_bolRequestDone = false;
    if (m_bolTLSActive) {
      m_astrError = "TLS is already Negotiated.";
    } else {
      DoHandshake();
    }
    m_deqCommands.push_front(stcCommand(kCmdNegotiateTLS, kCmdStateCleanup));
    return;
  }
  scope.Output(kDebugInfo, UniString("State: Cleanup"));
  if (saved.Length() > 0) m_astrError = std::move(saved);
  if (m_astrError.Length() > 0 && m_udtTLSContext != nullptr && !m_bolTLSActive) {
    SSLDisposeContext(m_udtTLSContext);
    m_udtTLSContext = nullptr;
  }
  if (m_deqCommands.empty()) {
    UpdateStatus(UniString("Idle."), 0);
    m_bolRequestDone = true;
  }
}

void clsGenProtThread::AddConnectionEvent() {
  m_deqEvents.push_back(kEventConnectionDone);
  DebugOutput(kDebugInfo, UniString("Connection Done"));
}
void clsGenProtThread::AddDataSentEvent() {
  m_deqEvents.push_back(kEventDataSent);
  DebugOutput(kDebugInfo, UniString("Data Sent"));
}
void clsGenProtThread::AddDataReceivedEvent() {
  m_deqEvents.push_back(kEventDataReceived);
  DebugOutput(kDebugInfo, UniString("Data Received"));
}
void clsGenProtThread::AddDisconnectEvent() {
  m_deqEvents.push_back(kEventDisconnectDone);
  DebugOutput(kDebugInfo, UniString("Disconnect Done"));
}

void clsGenProtThread::UpdateIdleTimeout() { m_dblLastActivity = Now(); }

namespace {

UniString TextOf(clsMultiVar& status) {
  clsMultiVar::iterator it;
  return status.GetVar(UniString("Text"), it) ? it->GetValue_AsString() : UniString();
}

int32_t ProgressOf(clsMultiVar& status) {
  clsMultiVar::iterator it;
  if (!status.GetVar(UniString("Progress"), it)) return 101;
  clsSingleVar value(*it);
  value.CoerceVarType(kVarTypeInteger);
  return value.GetIntegerValue();
}

}  // namespace

void clsGenProtThread::UpdateStatus(UniString text, int progress) {
  uint32_t now = clsGenProt::NowSeconds();
  bool textChanged = !(text == TextOf(m_udtStatus));
  bool progressChanged = progress < 101 && progress != ProgressOf(m_udtStatus);
  uint32_t half = uint32_t(m_intTimeout < 1 ? 30 : m_intTimeout) / 2;
  if (!textChanged && !progressChanged && m_ulngLastStatusTime + half > now) return;
  m_udtStatus.Clear();
  m_udtStatus.SetStringVar(UniString("Text"), text);
  if (progress < 101) m_udtStatus.SetIntegerVar(UniString("Progress"), int32_t(progress));
  PublishStatus(now);
}

// A status the controller has not passed on yet keeps the values the newer one does not carry,
// so that a step's "Text" is not lost to a "Detail" published in the same turn.
void clsGenProtThread::HandStatusToController() {
  clsGenProt* controller = m_pudtController;
  if (!controller->m_bolStatusPending) {
    controller->m_udtStatus = m_udtStatus;
  } else {
    for (clsSingleVar const& entry : m_udtStatus) {
      clsMultiVar::iterator it;
      if (controller->m_udtStatus.GetVar(entry.GetName(), it)) {
        *it = entry;
      } else {
        clsSingleVar copy(entry);
        controller->m_udtStatus.AddVar(&copy, true);
      }
    }
  }
  controller->m_bolStatusPending = true;
}

void clsGenProtThread::PublishStatus(uint32_t now) {
  // A busy lock keeps the status for the next hand-over instead of losing it.
  m_bolStatusUnpublished = true;
  if (MPEnterCriticalRegion(m_udtLock, kDurationImmediate) != noErr) return;
  bool const wasPending = m_pudtController->m_bolStatusPending;
  HandStatusToController();
  m_pudtController->m_bolStatusPending = true;
  m_bolStatusUnpublished = false;
  MPExitCriticalRegion(m_udtLock);
  m_ulngLastStatusTime = now;
  if (!wasPending) m_pudtController->WakeController();
}

void clsGenProtThread::UpdateStatus(clsMultiVar* status) {
  if (status == nullptr) return;
  uint32_t now = clsGenProt::NowSeconds();
  uint32_t half = uint32_t(m_intTimeout < 1 ? 30 : m_intTimeout) / 2;
  if (*status == m_udtStatus && m_ulngLastStatusTime + half > now) return;
  m_udtStatus = *status;
  PublishStatus(now);
}
