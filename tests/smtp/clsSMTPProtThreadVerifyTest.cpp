// Tests of the address verification: the MX host chosen from dnsmasq's answers, VRFY and the
// MAIL FROM / RCPT TO fallback at the scripted peer standing in for the mail exchanger, the
// address checks, and a verification over a logged-in session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SMTPTesting.h"
#include <netdb.h>

#include "platform/netdb/netdbTesting.h"
#include "platform/netdb/resolvTesting.h"

namespace {

std::string const kRead = R"({"read": 1})";

class VerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(m_udtDNS.Port(), 0);
    NetDBTestingSetNameServerPort(m_udtDNS.Port());
    NetDBTestingAnswerName("mx10.example.test", "mx10.example.test", {}, {"127.0.0.1"});
    NetDBTestingFailName("mx20.example.test", HOST_NOT_FOUND);
  }
  void TearDown() override {
    NetDBTestingSetNameServerPort(0);
    NetDBTestingClear();
  }
  clsTestNameServer m_udtDNS{{"--mx-host=example.test,mx20.example.test,20",
                              "--mx-host=example.test,mx10.example.test,10",
                              "--mx-host=five.test,mx.five.test,500"}};
};

TEST_F(VerifyTest, AtTheBestMailExchanger) {
  struct {
    char const* what;
    std::string address;
    std::vector<std::string> steps;  // after the greeting and RSET
    bool ok;
    std::string result;  // the address field, or the error after "Verify: "
  } const rows[] = {
      {"VRFY 252, then MAIL FROM and RCPT TO",
       "Someone <a@example.test>",
       {Expect("VRFY a@example.test"), Reply("252 cannot say"), Expect("RSET"), Reply("250 ok"),
        Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"), Expect("RCPT TO:<a@example.test>"),
        Reply("250 ok"), Expect("QUIT"), Reply("221 bye")},
       true, "a@example.test"},
      {"VRFY 250", "b@example.test",
       {Expect("VRFY b@example.test"), Reply("250-Bee"), Reply("250 <b@example.test>"), Expect("QUIT"),
        Reply("221 bye")},
       true, "Bee\r<b@example.test>"},
      {"RCPT TO refused", "c@example.test",
       {Expect("VRFY c@example.test"), Reply("502 no"), Expect("RSET"), Reply("250 ok"),
        Expect("MAIL FROM:<me@velmora.test>"), Reply("250 ok"), Expect("RCPT TO:<c@example.test>"),
        Reply("550 no such user")},
       false, "SMTP Server Error: no such user"},
  };
  for (auto const& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<std::string> steps = {Reply("220 mx"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok")};
    steps.insert(steps.end(), row.steps.begin(), row.steps.end());
    ScriptedPeer peer(Script(steps), 10);
    clsTestSMTPProt prot(10, peer.Port());
    ASSERT_TRUE(prot.StartupProtocol());
    AnsiString result;
    bool ok = prot.Verify(row.address.c_str(), "Me <me@velmora.test>", "127.0.0.1", 2, &result);
    EXPECT_EQ(ok, row.ok) << prot.ErrorString().c_str();
    EXPECT_EQ(std::string(ok ? result.c_str() : prot.ErrorString().c_str()),
              row.ok ? row.result : "Verify: " + row.result);
    EXPECT_EQ(prot.GetConnectionState(), 0);
    EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
  }
}

TEST_F(VerifyTest, AddressesThatCannotBeVerified) {
  struct {
    char const* address;
    char const* error;
  } const rows[] = {
      {"nobody", "Email Address did not have an @ symbol."},
      {"nobody@ ", "Email Address did not have a domain part."},
      {"a@five.test", "Could not lookup MX Record for email address domain."},
      {"<>", "No Email Address to Verify."},
      {"<a@example.test\r\nRSET>", "Email Address to Verify holds a line break or a zero byte."},
  };
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  for (auto const& row : rows) {
    AnsiString result;
    EXPECT_FALSE(prot.Verify(row.address, "me@velmora.test", "127.0.0.1", 2, &result)) << row.address;
    EXPECT_EQ(std::string(prot.ErrorString().c_str()), std::string("Verify: ") + row.error);
  }
}

TEST_F(VerifyTest, OverTheOpenSession) {
  ScriptedPeer peer(Script({Reply("220 hi"), kRead, Reply("250 ok"), Expect("RSET"), Reply("250 ok"),
                            Expect("VRFY d@elsewhere.test"), Reply("251 forwarding"), Expect("QUIT"),
                            Reply("221 bye")}),
                    10);
  clsTestSMTPProt prot(10);
  ASSERT_TRUE(prot.StartupProtocol());
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 2)) << prot.ErrorString().c_str();
  AnsiString result;
  EXPECT_TRUE(prot.Verify("d@elsewhere.test", "me@velmora.test", "", 2, &result)) << prot.ErrorString().c_str();
  EXPECT_EQ(result, AnsiString("forwarding"));
  EXPECT_EQ(prot.GetConnectionState(), 1);
  prot.Disconnect();
  EXPECT_EQ(prot.WarningString(), AnsiString(""));
  EXPECT_TRUE(peer.Finished(5)) << peer.Errors();
}

}  // namespace
