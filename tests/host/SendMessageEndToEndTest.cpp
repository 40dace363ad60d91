// End-to-end tests of sending through velmora-host: the plug-in loaded from its bundle in its own
// process, set up by Configure calls and sending with SendMessage to aiosmtpd on 127.0.0.1
// (tools/peer/smtp_server.py: plain, STARTTLS, TLS from the start with a self-signed certificate
// made by openssl, AUTH PLAIN, LOGIN, CRAM-MD5 and the automatic choice, a wrong password, a
// refused recipient) and to scripted faulty servers (tools/peer/scripted_peer.py: a close in the
// middle of DATA, a stall after the greeting and silence after the final dot ended by a close,
// with a 2-second time-out). Each failure must be a clear "ERROR: SendMessage: " result within
// the time-out and a margin, and a send to a working server in the same process must then go
// through. And the main job, scripts/demo.sh, run against this build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/host/VelmoraHostRun.h"
#include "tests/smtp/SMTPTesting.h"
#include "tests/smtp/ScriptedPeer.h"

namespace {

class SendMessageEndToEndTest : public VelmoraHostRunTest {
 protected:
  // aiosmtpd in a mode ("plain", "starttls", "tls"), knowing one user, writing what it takes to out.
  static std::unique_ptr<ScriptedPeer> Server(std::string const& mode, std::string const& exclude,
                                              std::string const& refuse, std::string const& out) {
    TestCertificate const& cert = MakeTestCertificate();
    std::string const config = "{\"mode\": " + JsonText(mode) + ", \"cert\": " + JsonText(cert.m_strCert) +
                               ", \"key\": " + JsonText(cert.m_strKey) + ", \"out\": " + JsonText(out) +
                               ", \"users\": {\"carol\": \"s3cret\"}, \"exclude\": " + exclude +
                               ", \"refuse\": " + refuse + "}";
    return std::make_unique<ScriptedPeer>(config, 60, "tools/peer/smtp_server.py");
  }

  static std::string Set(std::string const& name, std::string const& value) {
    return "Velmora_Configure( \"Set\" ; \"" + name + "\" ; \"" + value + "\" )";
  }
};

char const kSend[] = "Velmora_SendMessage( \"dave@example.test\" ; \"Hello\" ; \"one\xC2\xB6two\" )";
char const kSent[] = "Email Sent Successfully.";

// A scripted server's greeting, and EHLO, RSET, MAIL, RCPT and DATA answered.
std::string const kUpToData =
    "{\"reply\": \"220 fault.test ESMTP\"}, {\"expect\": \"EHLO localhost\"}, {\"reply\": \"250 fault.test\"}, "
    "{\"expect\": \"RSET\"}, {\"reply\": \"250 OK\"}, {\"expect\": \"MAIL FROM:<carol@example.test>\"}, "
    "{\"reply\": \"250 OK\"}, {\"expect\": \"RCPT TO:<dave@example.test>\"}, {\"reply\": \"250 OK\"}, "
    "{\"expect\": \"DATA\"}, {\"reply\": \"354 go ahead\"}";

TEST_F(SendMessageEndToEndTest, EachWayOfConnectingAndLoggingInDelivers) {
  struct stcCase {
    char const* m_strName;
    char const* m_strMode;
    char const* m_strExclude;  // mechanisms the server does not offer
    std::vector<std::pair<std::string, std::string>> m_vecSettings;
    char const* m_strAuthCount;  // AUTH successes the server counted
  } const cases[] = {
      {"plain", "plain", "[]", {}, "0"},
      {"STARTTLS", "starttls", "[]", {{"TLSType", "AfterConnect"}}, "0"},
      {"TLS from the start", "tls", "[]", {{"TLSType", "BeforeConnect"}}, "0"},
      {"AUTH PLAIN", "plain", "[\"LOGIN\", \"CRAM-MD5\"]", {{"AuthType", "PLAIN"}}, "1"},
      {"AUTH LOGIN", "plain", "[\"PLAIN\", \"CRAM-MD5\"]", {{"AuthType", "LOGIN"}}, "1"},
      {"AUTH CRAM-MD5", "plain", "[\"PLAIN\", \"LOGIN\"]", {{"AuthType", "CRAM-MD5"}}, "1"},
      {"AUTH automatic", "plain", "[]", {{"AuthType", "Auto"}}, "1"},
      {"AUTH LOGIN after STARTTLS", "starttls", "[\"PLAIN\", \"CRAM-MD5\"]",
       {{"TLSType", "AfterConnect"}, {"AuthType", "LOGIN"}}, "1"},
  };
  int index = 0;
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    std::string const home = m_strDir + "/case" + std::to_string(++index);
    std::string const out = home + "-received";
    std::unique_ptr<ScriptedPeer> server = Server(c.m_strMode, c.m_strExclude, "[]", out);
    ASSERT_GT(server->Port(), 0) << server->Errors();
    std::vector<std::string> args = {Set("Host", "127.0.0.1"), Set("Port", std::to_string(server->Port())),
                                     Set("From", "Carol <carol@example.test>"), Set("Username", "carol"),
                                     Set("Password", "s3cret"), Set("Timeout", "5")};
    for (auto const& setting : c.m_vecSettings) args.push_back(Set(setting.first, setting.second));
    args.push_back(kSend);
    stcHostRun const run = Run(args, home);
    EXPECT_EQ(0, run.m_intExit) << run.m_strOut << run.m_strErr;
    EXPECT_NE(std::string::npos, run.m_strOut.find(kSent)) << run.m_strOut;
    std::vector<std::map<std::string, std::string>> const received = ReadReceivedMessages(out);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ("carol@example.test", received[0].at("mail_from"));
    EXPECT_EQ("dave@example.test", received[0].at("rcpt_tos"));
    EXPECT_EQ(c.m_strAuthCount, received[0].at("auth_count"));
    EXPECT_EQ("Hello", received[0].at("subject"));
    EXPECT_EQ("one\\r\\ntwo\\r\\n", received[0].at("part.0.text"));
  }
}

TEST_F(SendMessageEndToEndTest, FailuresAreReportedInTimeAndTheNextSendWorks) {
  std::string const goodOut = m_strDir + "/good-received";
  std::unique_ptr<ScriptedPeer> const good = Server("plain", "[]", "[]", goodOut);
  ASSERT_GT(good->Port(), 0) << good->Errors();
  struct stcCase {
    char const* m_strName;
    char const* m_strServer;  // "aiosmtpd" with a wrong password or a refused recipient, else a script
    std::string m_strScript;
    std::string m_strError;   // the failed send's result
  } const cases[] = {
      {"wrong password", "aiosmtpd", "",
       "ERROR: SendMessage: Connect: SMTP Server Error: 5.7.8 Authentication credentials invalid"},
      {"refused recipient", "aiosmtpd-refusing", "",
       "ERROR: SendMessage: SendOneEmail: SMTP Server Error: 5.1.1 Recipient address rejected"},
      {"close in the middle of DATA", "script", "[" + kUpToData + ", {\"read\": 3}, {\"close\": true}]",
       "ERROR: SendMessage: SendOneEmail: Response Queue is Empty!"},
      {"stall after the greeting", "script", "[{\"reply\": \"220 fault.test ESMTP\"}, {\"stall\": 15}]",
       "ERROR: SendMessage: Connect: Timed out waiting for the server to respond."},
      {"message refused after the final dot", "script",
       "[" + kUpToData + ", {\"data\": true}, {\"reply\": \"554 5.6.0 message refused\"}, {\"read\": 1}]",
       "ERROR: SendMessage: SendOneEmail: SMTP Server Error: 5.6.0 message refused"},
      // The answer to "." is waited for far longer than the Timeout; a close ends that wait.
      {"silence after the final dot, then a close", "script",
       "[" + kUpToData + ", {\"data\": true}, {\"stall\": 3}]",
       "ERROR: SendMessage: SendOneEmail: Response Queue is Empty!"},
  };
  int const timeout = 2;
  double const margin = 6;  // start-up, the second send and a loaded machine
  int index = 0;
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    std::string const home = m_strDir + "/case" + std::to_string(++index);
    std::unique_ptr<ScriptedPeer> faulty;
    std::string const name = c.m_strName;
    if (std::string(c.m_strServer) == "script") {
      faulty = std::make_unique<ScriptedPeer>(c.m_strScript, 30);
    } else {
      faulty = Server("plain", "[]", c.m_strServer == std::string("aiosmtpd-refusing") ? "[\"dave@example.test\"]" : "[]",
                      home + "-received");
    }
    ASSERT_GT(faulty->Port(), 0) << faulty->Errors();
    std::vector<std::string> args = {Set("Host", "127.0.0.1"), Set("Port", std::to_string(faulty->Port())),
                                     Set("From", "carol@example.test"), Set("Timeout", std::to_string(timeout))};
    if (name == "wrong password") {
      args.push_back(Set("AuthType", "PLAIN"));
      args.push_back(Set("Username", "carol"));
      args.push_back(Set("Password", "wrong"));
    }
    args.push_back(kSend);
    args.push_back(Set("Port", std::to_string(good->Port())));
    args.push_back(Set("AuthType", "None"));
    args.push_back(kSend);
    stcHostRun const run = Run(args, home);
    EXPECT_EQ(1, run.m_intExit) << run.m_strErr;
    EXPECT_LT(run.m_dblSeconds, timeout + margin);
    // Settings answer one line each; then the failed send, the two settings and the good send.
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = run.m_strOut.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(run.m_strOut.substr(at, end - at));
    ASSERT_EQ(args.size(), lines.size()) << run.m_strOut;
    EXPECT_EQ(c.m_strError, lines[lines.size() - 4]);
    EXPECT_EQ(kSent, lines.back());
  }
  EXPECT_EQ(6u, ReadReceivedMessages(goodOut).size());
}

TEST_F(SendMessageEndToEndTest, TheDemoDeliversWhatItSends) {
  std::string const command = "VELMORA_BUILD_DIR='" VELMORA_BINARY_DIR "' TMPDIR='" + m_strDir + "' '" +
                              VELMORA_SOURCE_DIR "/scripts/demo.sh' > '" + m_strDir + "/demo.out' 2>&1";
  int const status = std::system(command.c_str());
  std::string const out = ReadHostRunFile(m_strDir + "/demo.out");
  EXPECT_EQ(0, status) << out;
  EXPECT_NE(std::string::npos, out.find("Everything arrived as sent")) << out;
  EXPECT_EQ(std::string::npos, out.find("DIFFERENCE")) << out;
}

}  // namespace
