// clsGenProt: the protocol controller, the half of the protocol machinery that lives on the
// host's thread. It owns one worker thread (clsGenProtThread) run by a Multiprocessing task, and
// one critical region, the variable lock, that guards the fields the two share: a message with
// its request record going to the thread, a reply with the thread's error text coming back, the
// status the thread publishes and its connected and busy flags.
// Interface: StartupProtocol, ShutdownProtocol, IsProtocolStarted, Connect, Disconnect,
// GetConnectionState, CheckForStatusUpdates, ErrorString; derived controllers (clsSMTPProt)
// override CreateThread, CreateData, Connect and Disconnect and post their own messages with
// PostRequest. Connect refuses a port outside 0 to 65535 before anything is sent to the thread.
// Every request is synchronous: post under the lock, then WaitForControllerSignal pumps the
// host's events and passes status to g_udtPluginStatus until the thread answers (the thread
// posts a wake event when it answers or publishes, so the pump returns at once); the wait gives
// up after twice the time-out without a status, unless the thread is still inside a bounded wait
// of its own (then it waits for that bound and a margin, or until the user closes the progress
// window that was open). A request given up on is withdrawn, and the
// thread's late answer to it is dropped. A crashed thread is cleaned up on this thread, and a
// thread object is freed only after its task has ended.
// Relies on platform/mp (task, lock, queue), core (strings, debug log, event pump), files
// (error texts), dialogs/clsStatusWindow.h. Never throws to its caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/AnsiString.h"
#include "core/TStringList.h"
#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "platform/carbon/CarbonEvents.h"
#include "platform/mp/Multiprocessing.h"

class clsGenProtThread;

// An error or warning text as a debug line: the text itself, or for one longer than 4096 bytes
// its start and its length (a server's reply can run to many megabytes).
UniString LogText(AnsiString const& text);

// The request record that goes with a message; made and deleted by the controller.
class clsGenProtData {
 public:
  clsGenProtData() : m_astrHost(), m_intPort(0), m_intTimeout(30) {}
  virtual ~clsGenProtData() = default;

  AnsiString m_astrHost;
  int m_intPort;
  int m_intTimeout;  // seconds
};

// Messages from the controller to the thread, and the thread's replies.
enum : int {
  kGenProtMsgPing = 1001,
  kGenProtMsgShutdown = 1002,
  kGenProtMsgConnect = 1003,
  kGenProtMsgDisconnect = 1004,
  kGenProtReplyRequestDone = 1003
};

// The event by which the thread ends the controller's wait for events at once when it has set
// reply ready or status pending. No handler takes it: it only makes the wait loop turn.
enum : UInt32 { kEventClassGenProtWake = 0x56475077 /* 'VGPw' */, kEventGenProtWake = 1 };

class clsGenProt {
 public:
  clsGenProt();
  virtual ~clsGenProt();
  clsGenProt(clsGenProt const&) = delete;
  clsGenProt& operator=(clsGenProt const&) = delete;

  bool StartupProtocol();
  void ShutdownProtocol();
  // True while a worker thread object exists (a crashed thread is cleaned up first).
  bool IsProtocolStarted();
  virtual bool Connect(AnsiString host, int port, int timeout);
  virtual void Disconnect();
  // 1 connected, 0 not connected, -1 unknown (the lock could not be had).
  int GetConnectionState();
  // The texts themselves (a caller that keeps one takes a copy): an error text holds a server's
  // whole reply, which can be many megabytes.
  AnsiString const& ErrorString() const { return m_astrError; }
  AnsiString const& WarningString() const { return m_astrWarning; }
  clsGenProtThread* GetThread() const { return m_pudtThread; }
  void CheckForStatusUpdates(bool force);
  // Called on the worker's task when its loop ended by an exception: only records the crash;
  // the controller cleans up on its own thread.
  void ThreadCrashed();
  // Called by the thread (without the variable lock) after it set reply ready or status
  // pending: the controller's wait for events ends at once. The controller's one wake event is
  // queued at most once, however often this is called before the wait takes it.
  void WakeController();

  bool GrabVarLock();
  OSStatus ReleaseVarLock();
  // Returns true with the variable lock held when the thread has answered.
  bool WaitForControllerSignal();

  // A copy of the protocol transcript (empty when there is none).
  void CopyTranscript(TStringList* lines);

 protected:
  virtual void CreateThread();
  virtual clsGenProtData* CreateData();
  virtual bool BreakWaitLoop() { return false; }

  // Posts a message with its record, waits and checks the reply code. The prefix leads every
  // error text; with asWarning the texts go to the warning text instead. True when the thread
  // answered the expected code with an empty error text.
  bool PostRequest(int message, clsGenProtData* data, int expectedReply, AnsiString prefix,
                   bool asWarning);
  // False, with the error text naming the port, for a port above 65535 or below 0, which the
  // socket would cut to another port; 0 stands for the protocol's default port.
  bool CheckPort(int port);
  // Sets the thread's abort flag and waits, pumping the host's events, until its task ended.
  void AbortThread(char const* logPrefix);
  // Frees the thread object (its task has ended) and deletes the variable lock and the queue.
  void FreeThreadAndLock(char const* logPrefix);
  // Cleans up after a thread whose loop ended by an exception; true when there was one.
  bool ReapCrashedThread();
  // True while the thread is inside a bounded wait whose bound (and margin) is not yet past, and
  // the user did not close the progress window that was open during the wait.
  bool ThreadInBoundedWait(bool windowShown) const;
  // Whole seconds of the clock that the wait loop and the thread's status use.
  static uint32_t NowSeconds();

  friend class clsGenProtThread;
  friend int32_t GPThread_EntryPoint(void* controller);

  MPCriticalRegionID m_udtVarLock;
  // Shared with the thread: read and written only while the variable lock is held.
  bool m_bolMessagePending;
  bool m_bolReplyReady;
  bool m_bolConnected;
  bool m_bolBusy;
  int m_intMessageCode;
  int m_intReplyCode;
  clsGenProtData* m_pudtRequestData;
  AnsiString m_astrThreadError;
  bool m_bolStatusPending;
  clsMultiVar m_udtStatus;
  // Counts the requests posted and given up on; the thread answers only the current one. Written
  // under the lock; the thread also reads it without the lock in the middle of a long step.
  std::atomic<uint32_t> m_ulngRequestSerial;

  clsGenProtThread* m_pudtThread;
  MPTaskID m_udtTask;
  MPQueueID m_udtTaskEnded;  // receives the task's end
  AnsiString m_astrError;
  AnsiString m_astrWarning;
  TStringList* m_pulstTranscript;
  std::mutex m_mtxTranscript;  // the thread appends, the controller makes and clears
  int m_intTimeout;            // seconds; the wait gives up after twice this
  // While the thread is inside a bounded wait, the wait gives up only this long after its bound.
  double m_dblBoundMargin;
  bool m_bolStatusRefresh;
  bool m_bolUnresponsive;
  bool m_bolAutoKill;
  std::atomic<bool> m_bolThreadCrashed;
  EventRef m_udtWakeEvent;  // null when it could not be made: the wait then turns every 0.001 s
};
