// Tests of the mail transaction: messages sent to aiosmtpd (plain, STARTTLS, TLS from the start;
// PLAIN, LOGIN and CRAM-MD5) and read back by Python's email; recipients refused and accepted,
// DATA refused, a server that closes or stalls in the middle, a message the writer cannot finish
// and addresses that would inject commands, against the scripted peer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SMTPTesting.h"
#include "mime/MimeMessageFixture.h"
#include "dialogs/clsStatusWindow.h"
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
    A::SetList(*message, A::BCCs, {"Hid <hid@velmora.test>"});
    EXPECT_TRUE(prot.SendOneEmail(message.get(), true)) << prot.ErrorString().c_str();
    prot.Disconnect();
    EXPECT_EQ(prot.WarningString(), AnsiString(""));
    ++sent;
    auto messages = ReadReceivedMessages(out);
    ASSERT_EQ(messages.size(), size_t(sent));
    auto& got = messages.back();
    EXPECT_EQ(got["mail_from"], "me@velmora.test");
    EXPECT_EQ(got["rcpt_tos"], "ann@velmora.test,bob@velmora.test,hid@velmora.test");
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
  // A line the server sends before the command it would answer is no answer to it.
  auto stray = [](std::string const& reply) { return R"({"raw": ")" + Hex(reply + "\r\n250 stray\r\n") + R"("})"; };
  std::vector<std::string> const strayEnvelope = {Expect("RSET"), Reply("250 ok"), Expect("MAIL FROM:<me@velmora.test>"),
                                                  stray("250 ok")};
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
      {"a stray 250 before the 550 to RCPT",
       {{{"a@x.test"}, false, "SMTP Server Error: no such user"}},
       join({strayEnvelope, {Expect("RCPT TO:<a@x.test>"), Reply("550 no such user")}, quit}), false},
      {"a stray 250 before the 550 to the second RCPT",
       {{{"a@x.test", "b@x.test"}, true, "SMTP Server Error: no"}},
       join({envelope, {Expect("RCPT TO:<a@x.test>"), stray("250 ok"), Expect("RCPT TO:<b@x.test>"), Reply("550 no")},
             quit}),
       false},
      {"a stray 250 before the 554 to the final dot",
       {{{"b@x.test"}, true, "SMTP Server Error: refused"}},
       join({envelope, {Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), stray("354 go"),
                        R"({"data": true})", Reply("554 refused")}, quit}),
       false},
      {"an attachment missing before anything is sent",
       {{{"b@x.test"}, true, "Attachment does not exist: /Users/bob/data/gone.bin", "gone.bin"}}, quit, false},
      {"attachments too large for the parts' sizes, refused before anything is sent",
       {{{"b@x.test"}, true, "Attachment is too large (2 GB or larger): /Users/bob/data/4g1000.bin", "4g1000.bin"},
        {{"b@x.test"}, true, "Attachment is too large (2 GB or larger): /Users/bob/data/2g1.bin", "2g1.bin"}},
       quit, false},
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
  // Sparse: they take no room, and nothing may read them.
  Write("/Users/bob/data/4g1000.bin", "");
  Write("/Users/bob/data/2g1.bin", "");
  ASSERT_EQ(0, truncate(Real("/Users/bob/data/4g1000.bin").c_str(), (off_t(1) << 32) + 1000));
  ASSERT_EQ(0, truncate(Real("/Users/bob/data/2g1.bin").c_str(), (off_t(1) << 31) + 1));
  clsTestSMTPProt prot(10);
  prot.SetDataEndWait(2);  // the stall after the final dot outlasts it
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

// A message whose encoded copies are not kept loses them as soon as its final "." is out, before
// the server's reply (the peer waits for the deletion before it answers); a kept one keeps them.
TEST_F(MailTest, EncodedCopiesNotKeptGoOnceTheDataIsOut) {
  std::string const copy = Real("/chew/Tarnix Temp/a.bin.att");
  for (bool const keep : {true, false}) {
    SCOPED_TRACE(keep ? "kept" : "not kept");
    std::vector<std::string> steps = {Reply("220 hi"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok"),
                                      Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"),
                                      Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("354 go"),
                                      R"({"data": true})"};
    if (!keep) steps.push_back("{\"gone\": [" + JsonText(copy) + ", 5]}");
    for (auto const& step : {Reply("250 queued"), Expect("QUIT"), Reply("221 bye")}) steps.push_back(step);
    ScriptedPeer peer(Script(steps), 15);
    clsTestSMTPProt prot(10);
    ASSERT_TRUE(prot.StartupProtocol());
    prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSNone, false);
    ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 5)) << prot.ErrorString().c_str();
    auto message = Message({"b@x.test"});
    message->SetKeepEncodedFiles(keep);
    EXPECT_TRUE(prot.SendOneEmail(message.get(), true)) << prot.ErrorString().c_str();
    EXPECT_EQ(access(copy.c_str(), F_OK) == 0, keep);
    prot.Disconnect();
    EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
    message.reset();
    EXPECT_NE(access(copy.c_str(), F_OK), 0) << "the part's end deletes a kept copy";
  }
}

// The reply to the final "." at a scale of seconds: the product waits at least 600 s for it
// (the connection's time-out when longer) and its controller gives up after 60 s without a
// status; each row keeps the order of the times of the case it stands for.
struct stcFinalDotRow {
  char const* what;
  int timeout;         // the connection's
  int dataEndWait;     // in place of 600 s
  int controllerWait;  // the controller gives up after twice this (in place of 30 s)
  double stall;        // the server's silence after "."
  bool reply;          // then "250", else nothing (the script ends and closes)
  std::string error;   // after "SendOneEmail: "; empty: sent
  bool closeWindow;    // the user closes the progress window during the send
};

void RunFinalDotRows(std::vector<stcFinalDotRow> const& rows, std::unique_ptr<clsSMTPEmail> (*make)()) {
  for (auto const& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::string> steps = {Reply("220 hi"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok"),
                                      Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"),
                                      Expect("RCPT TO:<b@x.test>"), Reply("250 ok"), Expect("DATA"), Reply("354 go"),
                                      R"({"data": true})", "{\"stall\": " + std::to_string(row.stall) + "}"};
    if (row.reply) {
      for (auto const& step : {Reply("250 queued"), Expect("QUIT"), Reply("221 bye")}) steps.push_back(step);
    }
    ScriptedPeer peer(Script(steps), 15);
    clsTestSMTPProt prot(row.controllerWait);
    prot.SetDataEndWait(row.dataEndWait);
    ASSERT_TRUE(prot.StartupProtocol());
    prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSNone, false);
    ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), row.timeout)) << prot.ErrorString().c_str();
    g_udtPluginStatus.Show();
    {
      // The window starts this send with no text: what the last row left there is no step of it.
      clsMultiVar blank;
      blank.SetStringVar(UniString("Text"), UniString());
      g_udtPluginStatus.UpdateStatus(&blank);
    }
    if (row.closeWindow) prot.CloseWindowAt("Sending DATA...");
    auto message = make();
    auto const start = std::chrono::steady_clock::now();
    bool const sent = prot.SendOneEmail(message.get(), true);
    double const took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<std::string> const texts = prot.SeenStatusTexts();
    g_udtPluginStatus.Hide();
    if (row.error.empty()) {
      EXPECT_TRUE(sent) << prot.ErrorString().c_str();
      EXPECT_GE(took, row.stall);
      // Meanwhile the progress window kept the step it was in.
      auto data = std::find(texts.begin(), texts.end(), "Sending DATA...");
      ASSERT_NE(data, texts.end());
      std::string seen;
      for (std::string const& text : texts) seen += "[" + text + "]";
      EXPECT_LE(texts.end() - data, 2) << seen;
      if (texts.end() - data == 2) {
        EXPECT_EQ(texts.back(), "Idle");
      }
      prot.Disconnect();
    } else {
      EXPECT_FALSE(sent);
      EXPECT_EQ(std::string(prot.ErrorString().c_str()), "SendOneEmail: " + row.error);
      double const bound = row.closeWindow ? 2.0 * row.controllerWait : std::max(row.timeout, row.dataEndWait);
      EXPECT_GE(took, bound - 1.0);
      EXPECT_LT(took, bound + 2.0);
    }
    EXPECT_TRUE(peer.Finished(8)) << peer.Errors();
  }
}

std::unique_ptr<clsSMTPEmail> FinalDotMessage() {
  auto message = std::make_unique<clsSMTPEmail>();
  message->AddTo(Uni("b@x.test"));
  A::Set(*message, A::From, "Me <me@velmora.test>");
  message->SetSubject(Uni("Slow"));
  UniStringList body;
  body.Add(Uni("one line"));
  message->AddTextBody(&body);
  return message;
}

TEST_F(MailTest, TheReplyToTheFinalDotIsWaitedForLong) {
  RunFinalDotRows({{"Timeout 5, reply after 12 s", 1, 8, 3, 1.5, true, "", false},
                   {"Timeout 120, reply after 70 s", 6, 8, 1, 3.3, true, "", false},
                   {"a Timeout longer than the least wait", 2, 1, 3, 1.5, true, "", false}},
                  FinalDotMessage);
}

TEST_F(MailTest, TheReplyToTheFinalDotThatNeverComes) {
  RunFinalDotRows({{"ends after the longer bound", 1, 3, 1, 4, false, "Timed out waiting for the server to respond.", false},
                   {"the user closes the progress window", 1, 8, 1, 3.5, false,
                    "Timed out waiting for Thread to Respond.", true}},
                  FinalDotMessage);
}

// A server that ends its TLS session with close_notify, over TLS from the start and after
// STARTTLS, and then sends a byte, a line in clear or nothing while it keeps the connection
// open: the connect ends at once as for a closed connection, and the next send goes through.
TEST_F(MailTest, ATLSCloseNotifyEndsTheRequestAndTheNextSendWorks) {
  TestCertificate const& cert = MakeTestCertificate();
  ASSERT_FALSE(cert.m_strCert.empty());
  std::string const startTLS = R"({"starttls": [)" + JsonText(cert.m_strCert) + ", " + JsonText(cert.m_strKey) + "]}";
  std::vector<std::string> const implicit = {startTLS};
  std::vector<std::string> const afterStartTLS = {Reply("220 hi"), kRead, Reply("250 ok"), Expect("STARTTLS"),
                                                  Reply("220 go ahead"), startTLS, kRead};
  struct {
    char const* what;
    std::string after;  // what follows the close_notify
  } const tails[] = {
      {"then one byte", R"({"raw": "41"})"},
      {"then a line in clear", R"({"raw": ")" + Hex("250 plain text\r\n") + R"("})"},
      {"alone", ""},
  };
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  for (enumSMTPTLSType tls : {kSMTPTLSImmediate, kSMTPTLSStartTLS}) {
    for (auto const& tail : tails) {
      SCOPED_TRACE(std::string(tls == kSMTPTLSImmediate ? "TLS from the start, " : "STARTTLS, ") + tail.what);
      std::vector<std::string> steps = tls == kSMTPTLSImmediate ? implicit : afterStartTLS;
      steps.push_back(R"({"closenotify": true})");
      if (!tail.after.empty()) steps.push_back(tail.after);
      steps.push_back(R"({"stall": 1.5})");
      ScriptedPeer peer(Script(steps), 10);
      prot.SetAuthentication(kSMTPAuthNone, "", "", "", tls, false);
      auto const start = std::chrono::steady_clock::now();
      EXPECT_FALSE(prot.Connect("127.0.0.1", peer.Port(), 1));
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
      EXPECT_EQ(std::string(prot.ErrorString().c_str()), "Connect: Response Queue is Empty!");
      EXPECT_EQ(prot.GetConnectionState(), 0);

      ScriptedPeer good(Script({Reply("220 hi"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok"),
                                Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"), Expect("RCPT TO:<b@x.test>"),
                                Reply("250 ok"), Expect("DATA"), Reply("354 go"), R"({"data": true})",
                                Reply("250 queued"), Expect("QUIT"), Reply("221 bye")}),
                        10);
      prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSNone, false);
      ASSERT_TRUE(prot.Connect("127.0.0.1", good.Port(), 1)) << prot.ErrorString().c_str();
      auto message = Message({"b@x.test"});
      EXPECT_TRUE(prot.SendOneEmail(message.get(), true)) << prot.ErrorString().c_str();
      prot.Disconnect();
      EXPECT_TRUE(good.Finished(5)) << good.Errors();
      EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
    }
  }
  // Between requests: the connection is closed at once, and a send finds it so.
  ScriptedPeer idle(Script({startTLS, Reply("220 hi"), kRead, Reply("250 ok"), R"({"stall": 0.3})",
                            R"({"closenotify": true})", R"({"raw": "41"})", R"({"stall": 1})"}),
                    10);
  prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSImmediate, false);
  ASSERT_TRUE(prot.Connect("127.0.0.1", idle.Port(), 1)) << prot.ErrorString().c_str();
  auto const start = std::chrono::steady_clock::now();
  while (prot.GetConnectionState() != 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
    usleep(10 * 1000);
  }
  EXPECT_EQ(prot.GetConnectionState(), 0);
  auto message = Message({"b@x.test"});
  EXPECT_FALSE(prot.SendOneEmail(message.get(), true));
  EXPECT_EQ(std::string(prot.ErrorString().c_str()), "Not Connected.");
  EXPECT_TRUE(idle.Finished(5)) << idle.Errors();
}

// The controller gives up while the message goes out (the server reads slowly): the thread pulls
// no further line, sends no ".", and the server takes no message.
TEST_F(MailTest, NoLineGoesOutAfterTheRequestWasGivenUp) {
  Write("/Users/bob/data/huge.bin", std::string(8 << 20, 'q'));  // more than the socket buffers hold
  ScriptedPeer peer(Script({Reply("220 hi"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok"),
                            Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"), Expect("RCPT TO:<b@x.test>"),
                            Reply("250 ok"), Expect("DATA"), Reply("354 go"), R"({"stall": 2})",
                            R"({"nodot": true})"}),
                    20);
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  prot.SetAuthentication(kSMTPAuthNone, "", "", "", kSMTPTLSNone, false);
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 5)) << prot.ErrorString().c_str();
  prot.GiveUpInData();
  auto message = Message({"b@x.test"}, "huge.bin");
  EXPECT_FALSE(prot.SendOneEmail(message.get(), true));
  EXPECT_EQ(std::string(prot.ErrorString().c_str()), "SendOneEmail: Given up in DATA.");
  EXPECT_TRUE(peer.Finished(15)) << peer.Errors();
  // The controller did not wait for the thread it gave up on: the message may go only once the
  // thread has ended.
  prot.ShutdownProtocol();
}

}  // namespace
