// SMTPTesting: the SMTP controller as tests drive it. The test controller waits a chosen time
// for its thread (not 60 s), lets tests post the verification message no operation sends, and
// shifts the thread's idle clock so that its keep-alive is due at once; its thread connects a
// verification to a chosen port instead of 25. Servers: the scripted peer (tools/peer) for
// faults, tools/peer/smtp_server.py (aiosmtpd) for a real server, dnsmasq for MX records.
#pragma once

#include <string>
#include <vector>

#include "core/AnsiString.h"
#include "smtp/clsSMTPProt.h"
#include "smtp/clsSMTPProtThread.h"

enum : int { kTestMsgShiftIdleClock = 3901 };

class clsTestSMTPThread : public clsSMTPProtThread {
 public:
  using clsSMTPProtThread::clsSMTPProtThread;
  bool ProcessThreadMessage(int code, clsGenProtData* data) override {
    if (code != kTestMsgShiftIdleClock) return clsSMTPProtThread::ProcessThreadMessage(code, data);
    m_astrError = AnsiString();
    m_dblLastActivity = Now() - 3600;  // the keep-alive is due in this very turn
    m_bolRequestDone = true;
    return true;
  }  void SetDataEndWait(int seconds) { m_intDataEndWait = seconds; }
};

class clsTestSMTPProt : public clsSMTPProt {
 public:
  explicit clsTestSMTPProt(int waitSeconds = 10, int verifyPort = 25) : m_intVerifyPort(verifyPort) {
    m_intTimeout = waitSeconds;
  }
  // The wait gives up after twice this many seconds without a status (60 s in the product).
  void SetControllerWait(int seconds) { m_intTimeout = seconds; }
  // The least wait for the reply to the final "." of threads made from now on (600 s).
  void SetDataEndWait(int seconds) { m_intDataEndWait = seconds; }
  // The user closes the progress window (its close box handler) once it shows this text.
  void CloseWindowAt(std::string const& text) { m_strCloseAt = text; }
  // The wait gives up (as after its time-out) once the thread published a status with "Detail",
  // the writer's progress during DATA.
  void GiveUpInData() { m_bolGiveUpInData = true; }
  // The progress window's texts as the wait loop saw them, each change once.
  std::vector<std::string> SeenStatusTexts() const { return m_vecSeenTexts; }

  // Posts the verification message; *result receives the address field that comes back.
  bool Verify(AnsiString address, AnsiString from, AnsiString dnsServer, int timeout, AnsiString* result) {
    m_astrError = AnsiString();
    auto* data = static_cast<clsSMTPProtData*>(CreateData());
    data->m_astrVerifyAddress = address;
    data->m_astrFrom = from;
    data->m_astrDNSServer = dnsServer;
    data->m_intVerifyTimeout = timeout;
    bool ok = PostRequest(kSMTPMsgVerifyEmail, data, kGenProtReplyRequestDone, "Verify: ", false);
    *result = data->m_astrVerifyAddress;
    delete data;
    return ok;
  }
  bool ShiftIdleClock() {
    m_astrError = AnsiString();
    return PostRequest(kTestMsgShiftIdleClock, nullptr, kGenProtReplyRequestDone, "Shift: ", false);
  }
  std::vector<std::string> Transcript() {
    TStringList lines;
    CopyTranscript(&lines);
    std::vector<std::string> out;
    for (int i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Strings[unsigned(i)].c_str());
    return out;
  }
  // Waits up to seconds for a transcript line equal to text.
  bool WaitForTranscriptLine(std::string const& text, double seconds);

 protected:
  void CreateThread() override {
    auto* thread = new clsTestSMTPThread(this);
    thread->SetVerifyPort(m_intVerifyPort);
    if (m_intDataEndWait > 0) thread->SetDataEndWait(m_intDataEndWait);
    m_pudtThread = thread;
  }
  bool BreakWaitLoop() override;

 private:
  int m_intVerifyPort;
  int m_intDataEndWait = 0;
  std::vector<std::string> m_vecSeenTexts;
  std::string m_strCloseAt;
  bool m_bolGiveUpInData = false;
};

// The first line of the scripted peer's script list as JSON text, from lines of JSON objects.
std::string Script(std::vector<std::string> const& steps);
// {"reply": text} and {"expect": text} as JSON.
std::string Reply(std::string const& text);
std::string Expect(std::string const& text);
std::string JsonText(std::string const& text);

// dnsmasq on 127.0.0.1 at a free port, with the given --mx-host and other options.
class clsTestNameServer {
 public:
  explicit clsTestNameServer(std::vector<std::string> const& options);
  ~clsTestNameServer();
  int Port() const { return m_intPort; }

 private:
  int m_intPid = -1;
  int m_intPort = 0;
};
