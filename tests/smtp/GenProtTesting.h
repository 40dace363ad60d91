// GenProtTesting: a protocol controller and worker thread for tests of the generic machinery.
// The test thread records every received line and turns it into a "Data Received" event, and
// understands a few test messages besides the generic ones:
//   3001 send a line (and, when asked, wait for one line in reply),
//   3002 negotiate TLS, 3003 send many lines through a send buffer of a given size.
// It can also misbehave on purpose (answer a wrong code, stay silent with or without status,
// throw). The thread can be driven on the test's own thread too (Drive), without a task.
#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/clsDateTime.h"
#include "platform/cf/CFDate.h"
#include "platform/cf/CFRunLoop.h"
#include "smtp/clsGenProt.h"
#include "smtp/clsGenProtThread.h"

enum : int {
  kTestMsgSendLine = 3001,
  kTestMsgNegotiateTLS = 3002,
  kTestMsgSendBuffered = 3003,
  kTestCmdSendLine = 3101,
  kTestCmdSendBuffered = 3103,
  kTestCmdWork = 3199
};

enum enumMisbehave : int {
  kBehaveWell = 0,
  kAnswerWrongCode = 1,      // connect requests are answered with code 1999
  kSilent = 2,               // connect requests are never answered
  kSilentWithStatus = 3,     // connect answered only after a while, publishing status meanwhile
  kThrowOnConnect = 4,       // a connect request throws out of the loop
  kLateAnswer = 5,           // connect answered after a while without status, with an error
  kAnswerPingWrongly = 6     // the start-up's ping is answered with code 1999
};

class clsTestData : public clsGenProtData {
 public:
  AnsiString m_astrLine;
  bool m_bolExpectReply = false;
  bool m_bolCensor = false;
  int m_intLineCount = 0;
  unsigned int m_ulngBufferSize = 0;
};

class clsTestThread : public clsGenProtThread {
 public:
  clsTestThread(clsGenProt* controller, enumMisbehave behave)
      : clsGenProtThread(controller), m_intBehave(behave) {}

  // The connection's descriptor, -1 when there is none.
  int NativeSocket() const { return m_udtSocket == nullptr ? -1 : CFSocketGetNative(m_udtSocket); }
  unsigned int SendBufferUsed() const { return m_ulngSendBufferUsed; }

  void ReceivedNewLine(AnsiString line, bool* addToTranscript) override {
    {
      std::lock_guard<std::mutex> guard(m_mtxLines);
      m_vecLines.push_back(std::string(line.c_str(), size_t(line.Length())));
    }
    if (m_bolCensorReplies) *addToTranscript = false;
    AddDataReceivedEvent();
  }

  bool ProcessThreadMessage(int code, clsGenProtData* data) override {
    if ((m_intBehave == kAnswerWrongCode && code == kGenProtMsgConnect) ||
        (m_intBehave == kAnswerPingWrongly && code == kGenProtMsgPing)) {
      ReplyWithWrongCode();
      return true;
    }
    if (code == kGenProtMsgConnect) {
      if (m_intBehave == kThrowOnConnect) throw std::runtime_error("test crash");
      if (m_intBehave == kSilent) return true;
      if (m_intBehave == kSilentWithStatus || m_intBehave == kLateAnswer) {
        m_dblAnswerAt = CFAbsoluteTimeGetCurrent() + m_dblSilentSeconds;
        m_intTimeout = 1;
        m_bolRequestDone = false;
        m_astrError = AnsiString();
        m_deqCommands.push_back(stcCommand(kTestCmdWork, kCmdStateStart));
        return true;
      }
    }
    if (clsGenProtThread::ProcessThreadMessage(code, data)) return true;
    auto* test = static_cast<clsTestData*>(data);
    if (code < kTestMsgSendLine || code > kTestMsgSendBuffered || test == nullptr) return false;
    m_bolRequestDone = false;
    m_astrError = AnsiString();
    m_udtData = *test;
    if (code == kTestMsgSendLine) m_deqCommands.push_back(stcCommand(kTestCmdSendLine, kCmdStateStart));
    if (code == kTestMsgNegotiateTLS) m_deqCommands.push_back(stcCommand(kCmdNegotiateTLS, kCmdStateStart));
    if (code == kTestMsgSendBuffered) m_deqCommands.push_back(stcCommand(kTestCmdSendBuffered, kCmdStateStart));
    return true;
  }

  bool ProcessCommandQueue() override {
    if (!m_deqCommands.empty() && m_deqCommands.front().m_intCode == kTestCmdWork) {
      // Silent but alive: a new status every quarter second until the answer is due.
      double now = CFAbsoluteTimeGetCurrent();
      if (m_intBehave == kSilentWithStatus) UpdateStatus(UniString("Working ") + UniString(int32_t(now * 4)), 101);
      if (now >= m_dblAnswerAt) {
        m_deqCommands.pop_front();
        if (m_intBehave == kLateAnswer) m_astrError = "Late answer.";
        m_bolRequestDone = true;
      }
      return true;
    }
    if (clsGenProtThread::ProcessCommandQueue()) return true;
    AnsiString saved = m_astrError;
    m_astrError = AnsiString();
    stcCommand command = m_deqCommands.front();
    m_deqCommands.pop_front();
    if (command.m_intState == kCmdStateStart) {
      m_bolLineMode = true;
      m_deqCommands.push_front(stcCommand(command.m_intCode, kCmdStateCleanup));
      if (command.m_intCode == kTestCmdSendLine) {
        if (m_udtData.m_bolExpectReply) m_deqCommands.push_front(stcCommand(kEventDataReceived, 0));
        SendLine(m_udtData.m_astrLine, true, true, m_udtData.m_bolCensor);
      } else {
        EnableSendBuffering(m_udtData.m_ulngBufferSize);
        for (int i = 0; i < m_udtData.m_intLineCount && m_astrError.Length() == 0; ++i) {
          SendLine(m_udtData.m_astrLine, true, false, false);
        }
        if (m_astrError.Length() == 0) DisableSendBuffering();
      }
      return true;
    }
    if (saved.Length() > 0) m_astrError = saved;
    if (m_deqCommands.empty()) m_bolRequestDone = true;
    return true;
  }

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(m_mtxLines);
    return m_vecLines;
  }

  // Driving the thread on the calling thread, without a task or a controller lock: the private
  // mode is set up, commands can be queued, and Drive turns the run loop and the queue until
  // the request is done or the time is up.
  void BeginDirect() {
    if (m_udtMode == nullptr) {
      m_udtMode = CFStringCreateWithCString(nullptr, "QRV_GenProtRunLoopMode", kCFStringEncodingUTF8);
    }
  }
  void EndDirect() {
    CleanupSocket();
    if (m_udtMode != nullptr) CFRelease(m_udtMode);
    m_udtMode = nullptr;
  }
  bool Drive(double seconds) {
    double end = CFAbsoluteTimeGetCurrent() + seconds;
    while (CFAbsoluteTimeGetCurrent() < end) {
      CFRunLoopRunInMode(m_udtMode, MayIdle() ? 0.01 : 0.0, false);
      if (m_deqCommands.empty()) {
        m_deqEvents.clear();
      } else {
        ProcessCommandQueue();
      }
      CloseIfRequestFailedConnection();
      if (m_bolRequestDone) {
        m_bolRequestDone = false;
        return true;
      }
    }
    return false;
  }
  void QueueCommand(int code, int state) { m_deqCommands.push_back(stcCommand(code, state)); }
  void SetConnection(AnsiString host, int port, int timeout) {
    m_astrHost = host;
    m_intPort = port;
    m_intTimeout = timeout;
  }
  void SetLineMode(bool on) { m_bolLineMode = on; }
  bool Connected() const { return m_bolConnected; }
  std::deque<stcCommand>& Commands() { return m_deqCommands; }
  std::deque<int>& Events() { return m_deqEvents; }
  void SetError(AnsiString text) { m_astrError = text; }
  void SetIdleTimeout(int seconds) { m_intIdleTimeout = seconds; }
  double LastActivity() const { return m_dblLastActivity; }
  void SetLastActivity(double when) { m_dblLastActivity = when; }
  void SetTimeout(int seconds) { m_intTimeout = seconds; }
  clsMultiVar Status() const { return m_udtStatus; }
  void SetCensorReplies(bool on) { m_bolCensorReplies = on; }
  unsigned int PendingReceived() const { return m_ulngReceiveEnd - m_ulngReceiveStart; }

  double m_dblSilentSeconds = 3.0;

 private:
  void ReplyWithWrongCode();

  enumMisbehave m_intBehave;
  std::mutex m_mtxLines;
  std::vector<std::string> m_vecLines;
  clsTestData m_udtData;
  double m_dblAnswerAt = 0;
  bool m_bolCensorReplies = false;
};

class clsTestProt : public clsGenProt {
 public:
  explicit clsTestProt(enumMisbehave behave = kBehaveWell, int waitTimeout = 30)
      : m_intBehave(behave) {
    m_intTimeout = waitTimeout;
  }
  ~clsTestProt() override { ShutdownProtocol(); }

  bool Request(int message, clsTestData* data) {
    m_astrError = AnsiString();
    m_astrWarning = AnsiString();
    bool result = PostRequest(message, data, kGenProtReplyRequestDone, "Test: ", false);
    CheckForStatusUpdates(true);
    return result;
  }
  clsTestThread* TestThread() { return static_cast<clsTestThread*>(m_pudtThread); }
  void MakeTranscript() {
    std::lock_guard<std::mutex> guard(m_mtxTranscript);
    if (m_pulstTranscript == nullptr) m_pulstTranscript = new TStringList;
  }
  bool Unresponsive() const { return m_bolUnresponsive; }
  bool HasLock() const { return m_udtVarLock != nullptr; }
  void SetAutoKill(bool on) { m_bolAutoKill = on; }
  void FailNextThreadCreation() { m_bolFailCreate = true; }

 protected:
  void CreateThread() override {
    if (m_bolFailCreate) {
      m_bolFailCreate = false;
      m_astrError = "Could not allocate memory for Protocol Thread.";
      return;
    }
    m_pudtThread = new clsTestThread(this, m_intBehave);
  }
  clsGenProtData* CreateData() override { return new clsTestData; }

 private:
  friend class clsTestThread;
  enumMisbehave m_intBehave;
  bool m_bolFailCreate = false;
  void ReplyWrong() {
    m_intReplyCode = 1999;
    m_bolReplyReady = true;
  }
};

inline void clsTestThread::ReplyWithWrongCode() {
  static_cast<clsTestProt*>(m_pudtController)->ReplyWrong();
}
