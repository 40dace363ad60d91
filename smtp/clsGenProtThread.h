// clsGenProtThread: the protocol worker thread. It runs on its own Multiprocessing task, in a
// run loop of its own in the private mode "QRV_GenProtRunLoopMode". Each turn it takes the
// controller's message under the controller's lock (only ever tried, never waited for),
// answers it, publishes its connected and busy flags, and advances its command queue: commands
// are small state machines {code, state} that do one step and queue the next, interleaved with
// wait entries (codes below 7) that events from the socket callbacks satisfy.
// Interface: the generic commands Connect (1001), Disconnect (1002), NegotiateTLS (1003); the
// socket side (SendData, SendLine, send buffering, ReceivedNewLine, transcript, CleanupSocket);
// the TLS session (handshake, TLSError); the local identity (GetLocalIP, GetLocalHost); status
// publishing (UpdateStatus with "Text", "Progress", "Detail"). The SMTP thread derives from it
// and overrides the six virtual operations.
// Every wait in the queue ends after the connection's time-out (30 s when below 1) with an error
// text unless a wait entry names its own; the request then ends through its clean-ups and the
// connection closes. The moment by which the current wait (a queued wait, the handshake or a
// blocking send) is bound to end is published (BoundUntil), so that the controller does not give
// up on a request that is still inside a bounded wait. A request the controller gave up on is
// seen by RequestGivenUp at once, also in the middle of a step. Received lines and TLS records without an end are capped at 64 KiB.
// Relies on platform/cf (run loop, socket), platform/security (TLS), platform/systemconfiguration
// and platform/netdb (local identity), core. Everything but the abort flag is used only on the
// worker's task, and the request source, which the controller signals so that a posted
// request is taken at once instead of at the end of the thread's 0.01 s sleep.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/AnsiString.h"
#include "core/TStringList.h"
#include "core/UniString.h"
#include "core/DebugLog.h"
#include "core/clsDateTime.h"
#include "core/clsMultiVar.h"
#include "platform/carbon/Navigation.h"  // CFArray
#include "platform/mp/Multiprocessing.h"
#include "platform/cf/CFData.h"
#include "platform/cf/CFRunLoop.h"
#include "platform/cf/CFSocket.h"
#include "platform/security/SecureTransport.h"
#include "platform/systemconfiguration/SCDynamicStore.h"

class clsGenProt;
class clsGenProtData;

// One entry of the command queue. Codes below 7 are waits for that event (6 satisfies any
// wait); codes from 1001 up are commands. A wait ends with an error after waitSeconds (0: the
// connection's time-out), counted from the turn it first reaches the front of the queue.
struct stcCommand {
  stcCommand(int code = 0, int state = 0, int waitSeconds = 0)
      : m_intCode(code), m_intState(state), m_intWaitSeconds(waitSeconds), m_dblDeadline(0) {}
  int m_intCode;
  int m_intState;
  int m_intWaitSeconds;
  double m_dblDeadline;  // absolute time; 0 until the wait reaches the front
};

// Command codes, their states and the events.
enum : int {
  kCmdConnect = 1001,
  kCmdDisconnect = 1002,
  kCmdNegotiateTLS = 1003,
  kCmdStateStart = 1,
  kCmdStateCleanup = 2,
  kCmdStateConnected = 10102,
  kEventConnectionDone = 2,
  kEventDataSent = 4,
  kEventDataReceived = 5,
  kEventDisconnectDone = 6
};

// The task's entry: runs the controller's thread object; an exception that leaves its loop is
// recorded through clsGenProt::ThreadCrashed.
OSStatus GPThread_EntryPoint(void* controller);
void GPThread_IdleTimerCallback(CFRunLoopTimerRef timer, void* info);
void GPThread_CFSocketCallback(CFSocketRef socket, CFSocketCallBackType type, CFDataRef address,
                               void const* data, void* info);
OSStatus GPThread_TLSReadCallback(SSLConnectionRef connection, void* data, size_t* length);
OSStatus GPThread_TLSWriteCallback(SSLConnectionRef connection, void const* data, size_t* length);
void GPThread_GetIPFromValueCallback(void const* key, void const* value, void* context);
void GPThread_IPAddrsChangedCallback(SCDynamicStoreRef store, CFArrayRef changedKeys, void* info);

class clsGenProtThread {
 public:
  explicit clsGenProtThread(clsGenProt* controller);
  virtual ~clsGenProtThread();
  clsGenProtThread(clsGenProtThread const&) = delete;
  clsGenProtThread& operator=(clsGenProtThread const&) = delete;

  // The loop; returns when shut down or aborted.
  void Execute();

  virtual void IdleTimeout() {}
  virtual void ReceivedNewLine(AnsiString line, bool* addToTranscript);
  virtual void ProcessRequestDone(clsGenProtData* data);
  virtual bool ProcessThreadMessage(int code, clsGenProtData* data);
  virtual bool ProcessCommandQueue();
  virtual bool IsThreadBusy() { return !m_deqCommands.empty(); }

  // Commands.
  void Connect();
  void Disconnect();
  void NegotiateTLS();

  void AddConnectionEvent();
  void AddDataSentEvent();
  void AddDataReceivedEvent();
  void AddDisconnectEvent();

  // Status for the controller: progress 0..100, 101 or more for none.
  void UpdateStatus(UniString text, int progress);
  void UpdateStatus(clsMultiVar* status);
  void UpdateIdleTimeout();

  // Sockets.
  void SocketSessionConnected(CFSocketRef socket, CFDataRef address, long error);
  void SocketDataAvailable(CFSocketRef socket, CFDataRef address, CFDataRef data);
  void SocketSessionClosed(CFSocketRef socket, CFDataRef address);
  bool ProcessReceivedData();
  void SendData(AnsiString const& data, bool addToTranscript, bool censor);
  void SendLine(AnsiString const& line, bool appendCRLF, bool addToTranscript, bool censor);
  int InternalSendData(unsigned char const* bytes, int length);
  void EnableSendBuffering(unsigned int size);
  void FlushSendBuffer();
  void DisableSendBuffering();
  void AddToTranscript(AnsiString line);
  void CleanupSocket();
  bool IsTLSActive() const { return m_bolTLSActive; }

  // TLS.
  OSStatus SocketTLSRead(void* data, size_t* length);
  OSStatus SocketTLSWrite(void const* data, size_t* length);
  static AnsiString TLSError(long code);

  // Local identity.
  AnsiString GetLocalIP();
  AnsiString GetLocalHost();
  void GetLocalIPList(TStringList* list);
  void GetLocalHostList(TStringList* list);
  void NewIPAddr(AnsiString address);
  void IPAddrsChanged();

  // Set by the controller from its thread; the loop ends at its next turn.
  void SetAbort() { m_bolAbort.store(true); }
  AnsiString ErrorString() const { return m_astrError; }
  // Absolute time by which the wait the thread is in now ends (0: in no bounded wait); read by
  // the controller from its own thread.
  double BoundUntil() const { return m_dblBoundUntil.load(); }

  // Longest unterminated line or pending TLS data accepted from a peer.
  static constexpr unsigned int kMaxPendingLine = 65536;
  static constexpr unsigned int kMaxPendingTLS = 65536 + 18432;

 protected:
  // The connection's time-out in seconds as the waits use it: 30 when below 1.
  int EffectiveTimeout() const { return m_intTimeout < 1 ? 30 : m_intTimeout; }
  // Makes room for count more bytes after *end in a buffer that grows in 1024-byte steps;
  // false when memory ran out (the old buffer stays).
  static bool GrowBuffer(unsigned char** buffer, unsigned int* capacity, unsigned int start,
                         unsigned int end, unsigned int count);
  // The peer's TLS close_notify was read: the connection is closing. What follows it is dropped
  // unread, the connection counts as closed by the peer (event 6), and it is cleaned up now when
  // idle or after the running request (inStep: always after it).
  void TLSClosedByPeer(bool inStep);
  // Decrypts what the TLS buffer holds until it is empty, Secure Transport needs more, the peer
  // closed the session, or a call takes nothing (a loop that makes no progress ends).
  void DrainTLSBuffer();
  // Fails the connection: the error text is set and, when a request is running, the request
  // ends through its clean-ups and the connection closes after it; when idle it closes now.
  void FailConnection(AnsiString text);
  // Closes the TLS session and the socket with its source; the fields of the connection stay.
  void ReleaseConnectionObjects();
  // The opening of every command step: keeps the error text in *saved and clears it, then takes
  // the front entry; false (and "Command Queue is Empty.") when there is none.
  bool TakeFrontCommand(stcCommand* command, AnsiString* saved);
  // Appends received bytes to a buffer that grows in 1024-byte steps; bytes that do not fit are
  // dropped with the warning (which names the buffer). Returns the count taken.
  static unsigned int AppendReceived(unsigned char** buffer, unsigned int* capacity, unsigned int start,
                                     unsigned int* end, UInt8 const* bytes, unsigned int count,
                                     char const* bufferName);
  // A failed Start with nothing queued behind it ends the request at once.
  void EndFailedStart();
  // After a request that ended on a wait time-out or a capped buffer, the connection closes.
  void CloseIfRequestFailedConnection();
  // Start state of Connect: socket, host resolution, asynchronous connect.
  void OpenConnection();
  // The handshake loop of NegotiateTLS.
  void DoHandshake();
  // The turns of Execute's loop until it is shut down or aborted.
  void RunLoop(clsFuncDebug& scope);
  // Releases the idle timer and the mode name at the loop's end.
  void ReleaseLoopObjects();
  // Under the lock: the thread's status set into the controller's, merged with one not passed on.
  void HandStatusToController();
  // Hands the thread's status set to the controller (lock only tried; kept when busy).
  void PublishStatus(uint32_t now);
  // Hand-over with the controller for one loop turn (lock only tried); wakes the controller
  // when it set reply ready or status pending.
  void HandOver();
  // The hand-over itself, under the lock.
  void HandOverLocked();
  // Whether the loop may sleep this turn: not while a command is in front, the wait in front is
  // met or ended, or an answer waits.
  bool MayIdle() const;
  // The deadline of the wait at the front of the queue, or 0, as BoundUntil.
  void PublishQueueBound();
  // True when the controller gave up on the request being served (it posted or withdrew since).
  bool RequestGivenUp() const;
  static double Now();

  CFSocketRef m_udtSocket;
  CFRunLoopSourceRef m_udtSocketSource;
  CFRunLoopSourceRef m_udtAddrChangeSource;
  SSLContextRef m_udtTLSContext;
  CFRunLoopTimerRef m_udtIdleTimer;
  double m_dblLastActivity;  // absolute time
  unsigned char* m_pbytTLSBuffer;
  unsigned int m_ulngTLSCapacity;
  unsigned int m_ulngTLSStart;
  unsigned int m_ulngTLSEnd;
  bool m_bolTLSHandshaking;
  SCDynamicStoreRef m_udtAddrChangeStore;
  unsigned char* m_pbytReceiveBuffer;
  unsigned char* m_pbytSendBuffer;
  // The socket SendLine last found valid, so that a message's lines ask once: the socket is
  // invalidated only where it is released (ReleaseConnectionObjects), which clears this.
  CFSocketRef m_udtCheckedSocket = nullptr;
  // SendLine's line with its CR LF, kept from line to line so a message's lines allocate nothing.
  std::vector<char> m_vecSendLineBytes;
  AnsiString m_astrSendLine;
  unsigned int m_ulngReceiveStart;
  unsigned int m_ulngReceiveEnd;
  unsigned int m_ulngReceiveCapacity;
  unsigned int m_ulngSendBufferSize;
  unsigned int m_ulngSendBufferUsed;
  bool m_bolCRAtEnd;
  bool m_bolTLSActive;
  bool m_bolSendBuffering;
  AnsiString m_astrLocalIP;
  AnsiString m_astrLocalHost;
  TStringList* m_pulstLocalIPs;
  TStringList* m_pulstLocalHosts;
  clsMultiVar m_udtStatus;
  uint32_t m_ulngLastStatusTime;
  clsGenProt* m_pudtController;
  AnsiString m_astrError;
  AnsiString m_astrHost;
  int m_intPort;
  int m_intTimeout;
  int m_intIdleTimeout;
  bool m_bolRunning;
  bool m_bolRequestDone;
  bool m_bolConnected;
  bool m_bolLineMode;
  std::deque<stcCommand> m_deqCommands;
  std::deque<int> m_deqEvents;
  std::atomic<bool> m_bolAbort;
  std::atomic<double> m_dblBoundUntil;
  double m_dblLastWaitSeen;  // when a wait with a deadline was last in front

  // The request being served (its serial) and whether the connection closes when it ends.
  uint32_t m_ulngServingSerial;
  bool m_bolCloseAfterRequest;
  bool m_bolInputRejected;  // a capped buffer overflowed: further input is dropped
  bool m_bolTLSPeerClosed;  // the peer's close_notify was read: no further record is read
  bool m_bolStatusUnpublished;  // the status met a busy lock; the next hand-over passes it on
  CFStringRef m_udtMode;
  MPCriticalRegionID m_udtLock;  // the controller's variable lock, as the task started
  // Signalled by the controller after it posted a request; in the thread's run loop while the
  // loop runs. The run loop is kept (retained) until the object is deleted.
  CFRunLoopSourceRef m_udtRequestSource;
  std::atomic<CFRunLoopRef> m_udtRunLoop;

 public:
  // Called by the controller (on its own thread) after posting a request: ends the thread's
  // current sleep in its run loop.
  void WakeForRequest();
};
