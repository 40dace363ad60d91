// Tests of the mail transaction: messages sent to aiosmtpd (plain, STARTTLS, TLS from the start;
// PLAIN, LOGIN and CRAM-MD5) and read back by Python's email; recipients refused and accepted,
// DATA refused, a server that closes or stalls in the middle, a message the writer cannot finish
// and addresses that would inject commands, against the scripted peer.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SMTPTesting.h"
#include "mime/MimeMessageFixture.h"
#include "platform/carbon/FilesTesting.h"

using mimecheck::Uni;
using A = clsSMTPEmailTestAccess;

namespace {

std::string const kRead = R"({"read": 1})";

bool Has(std::vector<std::string> const& lines, std::string const& text) {
  for (auto const& line : lines) {
    if (line == text) return true;
  }
  return false;
}

class MailTest : public clsMimeMessageTest {
 protected:
  void SetUp() override {
    clsMimeMessageTest::SetUp();
    for (int i = 0; i < 3000; ++i) m_strAttachment += char(i * 7);
    Write("/Users/bob/data/a.bin", m_strAttachment);
    Write("/Users/bob/data/big.bin", std::string(2 << 20, 'z'));
  }
  void TearDown() override {
    FSStandInTestClearFaults();
    clsMimeMessageTest::TearDown();
  }
  std::unique_ptr<clsSMTPEmail> Message(std::vector<std::string> const& tos, std::string const& attachment = "a.bin",
                                        std::string const& from = "Me <me@velmora.test>") {
    auto message = std::make_unique<clsSMTPEmail>();
    for (auto const& to : tos) message->AddTo(Uni(to));
    A::Set(*message, A::From, from);
    message->SetSubject(Uni("Greetings"));
    UniStringList body;
    body.Add(Uni("first line"));
    body.Add(Uni(".a line with a dot"));
    message->AddTextBody(&body);
    if (!attachment.empty()) message->AddAttachment(Uni("~/data/" + attachment));
    return message;
  }
  std::string m_strAttachment;
};

TEST_F(MailTest, DeliveredToARealServer) {
  TestCertificate const& cert = MakeTestCertificate();
  ASSERT_FALSE(cert.m_strCert.empty());
  std::string const password70(70, 'k');
  struct {
    char const* what;
    char const* mode;
    enumSMTPTLSType tls;
    enumSMTPAuthType auth;
    std::string password;      // what the client says; the server knows "secret" and password70
    std::string exclude;       // a mechanism the server does not offer
    std::string error;         // of Connect; empty for success
    char const* firstAuthLine; // the transcript's AUTH line
  } const rows[] = {
      {"plain, no AUTH", "plain", kSMTPTLSNone, kSMTPAuthNone, "", "", "", nullptr},
      {"PLAIN", "plain", kSMTPTLSNone, kSMTPAuthPlain, "secret", "", "", "< [CENSORED]"},
      {"PLAIN refused", "plain", kSMTPTLSNone, kSMTPAuthPlain, "wrong", "",
       "Connect: SMTP Server Error: 5.7.8 Authentication credentials invalid", "< [CENSORED]"},
      {"LOGIN", "plain", kSMTPTLSNone, kSMTPAuthLogin, "secret", "", "", "< AUTH LOGIN"},
      {"LOGIN refused", "plain", kSMTPTLSNone, kSMTPAuthLogin, "wrong", "",
       "Connect: SMTP Server Error: 5.7.8 Authentication credentials invalid", "< AUTH LOGIN"},
      {"CRAM-MD5 with a 70-byte password", "plain", kSMTPTLSNone, kSMTPAuthCRAMMD5, password70, "", "",
       "< AUTH CRAM-MD5"},
      {"automatic falls back to LOGIN", "plain", kSMTPTLSNone, kSMTPAuthAutomatic, "secret", "CRAM-MD5", "",
       "< AUTH CRAM-MD5"},
      {"STARTTLS required, LOGIN", "starttls", kSMTPTLSStartTLS, kSMTPAuthLogin, "secret", "", "", "< AUTH LOGIN"},
      {"TLS from the start, PLAIN", "tls", kSMTPTLSImmediate, kSMTPAuthPlain, "secret", "", "", "< [CENSORED]"},
  };
  clsTestSMTPProt prot(20);
  ASSERT_TRUE(prot.StartupProtocol());
  int sent = 0;
  std::string const out = Real("/received.txt");
  for (auto const& row : rows) {
    SCOPED_TRACE(row.what);
    std::string config = "{\"mode\": " + JsonText(row.mode) + ", \"cert\": " + JsonText(cert.m_strCert) +
                         ", \"key\": " + JsonText(cert.m_strKey) + ", \"out\": " + JsonText(out) +
                         ", \"users\": {\"mel\": \"secret\", \"kim\": " + JsonText(password70) + "}" +
                         ", \"exclude\": [" + (row.exclude.empty() ? "" : JsonText(row.exclude)) + "]}";
    ScriptedPeer server(config, 20, "tools/peer/smtp_server.py");
    ASSERT_GT(server.Port(), 0);
    char const* user = row.password == password70 ? "kim" : "mel";
    prot.SetAuthentication(row.auth, user, row.password.c_str(), "", row.tls, false);
    bool connected = prot.Connect("127.0.0.1", server.Port(), 5);
    std::vector<std::string> transcript = prot.Transcript();
    if (row.firstAuthLine != nullptr) {
      auto auth = std::find_if(transcript.begin(), transcript.end(),
                               [](std::string const& line) { return line.rfind("< AUTH", 0) == 0 || line == "< [CENSORED]"; });
      ASSERT_NE(auth, transcript.end());
      EXPECT_EQ(*auth, row.firstAuthLine);
      if (row.auth == kSMTPAuthLogin) {
        // The user name and the password never reach the transcript.
        ASSERT_LT(auth + 4, transcript.end());
        EXPECT_EQ(*(auth + 2), "< [CENSORED]");
        EXPECT_EQ(*(auth + 4), "< [CENSORED]");
      }
    }
    if (!row.error.empty()) {
      EXPECT_FALSE(connected);
      EXPECT_EQ(std::string(prot.ErrorString().c_str()), row.error);
      continue;
    }
    ASSERT_TRUE(connected) << prot.ErrorString().c_str();
    auto message = Message({"Ann <ann@velmora.test>", "bob@velmora.test"});
    EXPECT_TRUE(prot.SendOneEmail(message.get(), true)) << prot.ErrorString().c_str();
    prot.Disconnect();
    EXPECT_EQ(prot.WarningString(), AnsiString(""));
    ++sent;
    auto messages = ReadReceivedMessages(out);
    ASSERT_EQ(messages.size(), size_t(sent));
    auto& got = messages.back();
    EXPECT_EQ(got["mail_from"], "me@velmora.test");
    EXPECT_EQ(got["rcpt_tos"], "ann@velmora.test,bob@velmora.test");
    EXPECT_EQ(got["auth_count"], row.auth == kSMTPAuthNone ? "0" : "1");
    EXPECT_EQ(got["subject"], "Greetings");
    EXPECT_EQ(got["defects"], "0");
    EXPECT_EQ(got["part.0.text"], "first line\\r\\n.a line with a dot");
    EXPECT_EQ(got["part.1.filename"], "a.bin");
    EXPECT_EQ(got["part.1.size"], std::to_string(m_strAttachment.size()));
  }
}

TEST_F(MailTest, TransactionsThatGoWrong) {
  std::vector<std::string> const hello = {Reply("220 hi"), kRead, Reply("250 ok")};
  std::vector<std::string> const envelope = {Expect("RSET"), Reply("250 ok"), Expect("MAIL FROM:<me@velmora.test>"),
                                             Reply("250 ok")};
  std::vector<std::string> const data = {Expect("DATA"), Reply("354 go"), R"({"data": true})", Reply("250 queued")};
  std::vector<std::string> const quit = {Expect("QUIT"), Reply("221 bye")};
  auto join = [](std::initializer_list<std::vector<std::string>> pieces) {
    std::vector<std::string> all;
    for (auto const& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
    return all;
  };
  struct stcSend {
    std::vector<std::string> tos;
    bool breakOnBad;
    std::string error;  // after "SendOneEmail: "; empty for success, "*" for any error
    std::string attachment = "a.bin";
    std::string from = "Me <me@velmora.test>";
  };
  struct {
    char const* what;
    std::vector<stcSend> sends;
    std::vector<std::string> steps;  // after the greeting
    bool closed;                     // the connection is closed after the last send
  } const rows[] = {
      {"one recipient refused",
       {{{"a@x.test"}, false, "SMTP Server Error: no such user"}},
       join({envelope, {Expect("RCPT TO:<a@x.test>"), Reply("550 no such user")}, quit}), false},
      {"two recipients refused",
       {{{"a@x.test", "b@x.test"}, false, "No Valid Recipients Found."}},
       join({envelope, {Expect("RCPT TO:<a@x.test>"), Reply("550 no"), Expect("RCPT TO:<b@x.test>"), Reply("550 no")},
             quit}),
       false},
      {"first refused, second accepted",
       {{{"a@x.test", "b@x.test"}, false, ""}},
       join({envelope, {Expect("RCPT TO:<a@x.test>"), Reply("550 no"), Expect("RCPT TO:<b@x.test>"), Reply("250 ok")},
             data, quit}),
       false},
      {"refused recipient ends the send when asked to",
       {{{"a@x.test", "b@x.test"}, true, "SMTP Server Error: no"}},
       join({envelope, {Expect("RCPT TO:<a@x.test>"), Reply("550 no")}, quit}), false},
      {"blank entry and 251",
       {{{"Nobody <>", "b@x.test"}, false, ""}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("251 will forward")}, data, quit}), false},
      {"a recipient that would inject a command",
       {{{"<a@x.test\r\nRSET>", "b@x.test"}, false, ""}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok")}, data, quit}), false},
      {"a sender that would inject a command",
       {{{"b@x.test"}, true, "From Email Address holds a line break or a zero byte.", "a.bin",
         "<me@velmora.test\nRSET>"}},
       join({{Expect("RSET"), Reply("250 ok")}, quit}), false},
      {"DATA refused, then a send on the same session",
       {{{"b@x.test"}, true, "SMTP Server Error: no data"}, {{"b@x.test"}, true, ""}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("554 no data")},
             envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok")}, data, quit}),
       false},
      {"an attachment missing before anything is sent",
       {{{"b@x.test"}, true, "Attachment does not exist: /Users/bob/data/gone.bin", "gone.bin"}}, quit, false},
      {"the writer cannot read the attachment: no final dot, connection closed",
       {{{"b@x.test"}, true, "*", "big.bin"}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("354 go"),
                        R"({"nodot": true})"}}),
       true},
      {"the server closes in the middle of DATA",
       {{{"b@x.test"}, true, "*", "big.bin"}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("354 go"),
                        R"({"readbytes": 100})", R"({"close": true})"}}),
       true},
      {"the server stalls after the final dot",
       {{{"b@x.test"}, true, "Timed out waiting for the server to respond."}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("354 go"),
                        R"({"data": true})", R"({"stall": 3})"}}),
       true},
  };
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  for (auto const& row : rows) {
    SCOPED_TRACE(row.what);
    ScriptedPeer peer(Script(join({hello, row.steps})), 10);
    prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSNone, false);
    ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 1)) << prot.ErrorString().c_str();
    for (auto const& send : row.sends) {
      if (send.attachment == "big.bin" && std::string(row.what).find("writer") != std::string::npos) {
        FSStandInTestFailNext("FSReadFork", "/Users/bob/data/big.bin", ioErr);
      }
      auto message = Message(send.tos, send.attachment, send.from);
      bool sentOK = prot.SendOneEmail(message.get(), send.breakOnBad);
      std::string error = prot.ErrorString().c_str();
      if (send.error.empty()) {
        EXPECT_TRUE(sentOK) << error;
        std::vector<std::string> transcript = prot.Transcript();
        EXPECT_TRUE(Has(transcript, "< Sent Email Content"));
        EXPECT_TRUE(Has(transcript, "< Subject: Greetings"));
        EXPECT_TRUE(Has(transcript, "< "));  // the empty line that ends the header block
        EXPECT_FALSE(Has(transcript, "< first line"));
      } else if (send.error == "*") {
        EXPECT_FALSE(sentOK);
        EXPECT_EQ(error.substr(0, 14), "SendOneEmail: ");
        EXPECT_GT(error.size(), 14u);
      } else {
        EXPECT_FALSE(sentOK);
        EXPECT_EQ(error, "SendOneEmail: " + send.error);
      }
    }
    EXPECT_EQ(prot.GetConnectionState(), row.closed ? 0 : 1);
    prot.Disconnect();
    EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
  }
}

}  // namespace
