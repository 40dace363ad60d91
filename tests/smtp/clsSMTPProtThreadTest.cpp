// Tests of the SMTP session against the scripted peer: banners, EHLO and HELO, STARTTLS, AUTH
// answers real servers rarely give, overlong and unasked replies, a stalled server, the
// keep-alive NOOP; a session refused at any step still ends with QUIT (the peer expects it).
// One controller runs every row, so each row also shows that the next Connect works after the
// last one failed.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SMTPTesting.h"
#include "core/TextEncoders.h"

namespace {

std::string Repeat(std::string const& line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line;
  return text;
}

bool Has(std::vector<std::string> const& lines, std::string const& prefix) {
  for (auto const& line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

int CountOf(std::vector<std::string> const& lines, std::string const& prefix) {
  int count = 0;
  for (auto const& line : lines) count += line.compare(0, prefix.size(), prefix) == 0;
  return count;
}

std::string const kRead = R"({"read": 1})";
std::string const kQuit = Expect("QUIT") + ", " + Reply("221 bye");

TEST(clsSMTPProtThreadTest, ConnectDialogue) {
  TestCertificate const& cert = MakeTestCertificate();
  ASSERT_FALSE(cert.m_strCert.empty());
  std::string const startTLS = R"({"starttls": [)" + JsonText(cert.m_strCert) + ", " + JsonText(cert.m_strKey) + "]}";
  std::string const plainUP = std::string("AUTH PLAIN ") + UUEncodeString(AnsiString("u\0u\0p", 5)).c_str();
  struct {
    char const* what;
    std::vector<std::string> steps;
    enumSMTPTLSType tls;
    enumSMTPAuthType auth;
    std::string error;            // after "Connect: "; empty for success
    std::vector<std::string> sent;  // transcript lines (prefixes) that must be there
  } const rows[] = {
      {"banner refused", {Reply("554 go away"), kQuit}, kSMTPTLSNone, kSMTPAuthNone, "SMTP Server Error: go away", {}},
      {"two-line banner greeted once",
       {Reply("220-hello"), Reply("220 there"), kRead, Reply("250 ok"), kQuit}, kSMTPTLSNone, kSMTPAuthNone, "",
       {"< EHLO "}},
      {"a continuation without a code",
       {Reply("220-a"), Reply("no code here"), Reply("220 c"), kRead, Reply("250 ok"), kQuit}, kSMTPTLSNone,
       kSMTPAuthNone, "", {}},
      {"a code alone", {Reply("220 hi"), kRead, Reply("250"), kQuit}, kSMTPTLSNone, kSMTPAuthNone, "", {}},
      {"EHLO refused, HELO accepted, no AUTH",
       {Reply("220 hi"), kRead, Reply("502 no"), kRead, Reply("250 hi"), kQuit}, kSMTPTLSNone, kSMTPAuthLogin, "",
       {"< HELO "}},
      {"EHLO and HELO refused", {Reply("220 hi"), kRead, Reply("502 no ehlo"), kRead, Reply("501 no helo"), kQuit},
       kSMTPTLSNone, kSMTPAuthNone, "SMTP Server Error: EHlo failed: no ehlo; Helo failed: no helo", {}},
      {"banner without a code", {Reply("hello there"), kQuit}, kSMTPTLSNone, kSMTPAuthNone,
       "SMTP Server did not respond with a proper status code. It returned: hello there", {}},
      {"STARTTLS refused",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect("STARTTLS"), Reply("454 TLS not available"), kQuit},
       kSMTPTLSStartTLS, kSMTPAuthNone, "SMTP Server Error: TLS not available", {}},
      {"STARTTLS wanted, EHLO refused: no HELO in clear", {Reply("220 hi"), kRead, Reply("502 no"), kQuit},
       kSMTPTLSStartTLS, kSMTPAuthNone, "SMTP Server Error: EHlo failed: no", {}},
      {"a reply in clear after STARTTLS's 220 is dropped",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect("STARTTLS"),
        R"({"raw": ")" + Hex("220 go ahead\r\n554 injected\r\n") + R"("})", startTLS, kRead, Reply("250 ok"), kQuit},
       kSMTPTLSStartTLS, kSMTPAuthNone, "", {"< STARTTLS"}},
      {"every mechanism refused",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect("AUTH CRAM-MD5"), Reply("504 no cram"), Expect("AUTH LOGIN"),
        Reply("535 no login"), Expect(plainUP), Reply("535 bad"), kQuit},
       kSMTPTLSNone, kSMTPAuthAutomatic,
       "Could not Authenticate with any of the known Authentication Types; Last SMTP Server Error: bad", {}},
      {"503 to PLAIN counts as success",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect(plainUP), Reply("503 already"), kQuit}, kSMTPTLSNone,
       kSMTPAuthPlain, "", {"< [CENSORED]"}},
      {"454 to PLAIN is a failure",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect(plainUP), Reply("454 try later"), kQuit}, kSMTPTLSNone,
       kSMTPAuthPlain, "SMTP Server Error: try later", {}},
      {"LOGIN refused",
       {Reply("220 hi"), kRead, Reply("250 ok"), Expect("AUTH LOGIN"), Reply("334 VXNlcm5hbWU6"), Expect("dQ=="),
        Reply("334 UGFzc3dvcmQ6"), Expect("cA=="), Reply("535 wrong"), kQuit},
       kSMTPTLSNone, kSMTPAuthLogin, "SMTP Server Error: wrong", {}},
      {"334 without a challenge", {Reply("220 hi"), kRead, Reply("250 ok"), Expect("AUTH CRAM-MD5"), Reply("334"), kQuit},
       kSMTPTLSNone, kSMTPAuthCRAMMD5, "SMTP Server Error: Server did not send an MD5 Challenge.", {}},
      {"endless continuation lines", {R"({"raw": ")" + Hex(Repeat("220-x\r\n", 1001)) + R"("})"}, kSMTPTLSNone,
       kSMTPAuthNone, "The server sent a reply of more than 1000 lines.", {}},
      {"replies nobody asked for", {R"({"raw": ")" + Hex(Repeat("220 x\r\n", 101)) + R"("})"}, kSMTPTLSNone,
       kSMTPAuthNone, "The server sent more than 100 replies that were not asked for.", {}},
      {"a server that stalls after EHLO", {Reply("220 hi"), kRead, R"({"stall": 3})"}, kSMTPTLSNone, kSMTPAuthNone,
       "Timed out waiting for the server to respond.", {}},
  };
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol()) << prot.ErrorString().c_str();
  for (auto const& row : rows) {
    SCOPED_TRACE(row.what);
    ScriptedPeer peer(Script(row.steps), 10);
    ASSERT_GT(peer.Port(), 0);
    prot.SetAuthentication(row.auth, "u", "p", "", row.tls, false);
    auto started = std::chrono::steady_clock::now();
    bool connected = prot.Connect("127.0.0.1", peer.Port(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    if (row.error.empty()) {
      EXPECT_TRUE(connected) << prot.ErrorString().c_str();
      std::vector<std::string> transcript = prot.Transcript();
      for (auto const& line : row.sent) EXPECT_TRUE(Has(transcript, line)) << line;
      EXPECT_EQ(CountOf(transcript, "< EHLO "), row.tls == kSMTPTLSStartTLS ? 2 : 1);
      EXPECT_LE(CountOf(transcript, "< HELO "), 1);
      prot.Disconnect();
      EXPECT_EQ(prot.WarningString(), AnsiString(""));
    } else {
      EXPECT_FALSE(connected);
      EXPECT_EQ(std::string(prot.ErrorString().c_str()), "Connect: " + row.error);
      EXPECT_EQ(prot.GetConnectionState(), 0);
    }
    EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
  }
}

TEST(clsSMTPProtThreadTest, KeepAliveBetweenRequestsChangesNothing) {
  ScriptedPeer peer(Script({Reply("220 hi"), kRead, Reply("250 ok"), Expect("NOOP"), Reply("500 what"), kQuit}), 10);
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  prot.Disconnect();  // never connected: only a warning
  EXPECT_EQ(prot.ErrorString(), AnsiString(""));
  EXPECT_FALSE(prot.SendOneEmail(nullptr, true));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Not Connected."));
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 2)) << prot.ErrorString().c_str();
  EXPECT_FALSE(prot.Connect("127.0.0.1", peer.Port(), 2));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Already Connected."));
  EXPECT_FALSE(prot.SendOneEmail(nullptr, true));
  EXPECT_EQ(prot.ErrorString(), AnsiString("SendOneEmail: Email is NULL."));
  ASSERT_TRUE(prot.ShiftIdleClock()) << prot.ErrorString().c_str();
  EXPECT_TRUE(prot.WaitForTranscriptLine("> 500 what", 5));
  EXPECT_EQ(prot.GetConnectionState(), 1);
  prot.Disconnect();
  EXPECT_EQ(prot.ErrorString(), AnsiString(""));
  EXPECT_EQ(prot.WarningString(), AnsiString("")) << prot.WarningString().c_str();
  EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
}

}  // namespace
