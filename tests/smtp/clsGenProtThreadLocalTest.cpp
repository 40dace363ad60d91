// Tests of the local identity: the connected socket's own address and its reverse name, the
// fallbacks to the dynamic store's addresses and to the host name list, and a change of the
// machine's addresses emptying the caches.
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include "GenProtTesting.h"
#include "ScriptedPeer.h"
#include "platform/netdb/netdbTesting.h"
#include "platform/systemconfiguration/SCDynamicStoreTesting.h"

namespace {

std::string LocalHostName() {
  char name[128] = {0};
  gethostname(name, 127);
  return name;
}

class clsLocalIdentityTest : public ::testing::Test {
 protected:
  void TearDown() override {
    NetDBTestingClear();
    SCDynamicStoreTestingUseRealAddresses();
  }
};

TEST_F(clsLocalIdentityTest, ConnectedAnswersFromTheSocket) {
  struct stcCase {
    char const* m_strName;
    char const* m_strReverse;  // empty: the reverse look-up fails
    char const* m_strHost;
  };
  stcCase const cases[] = {
      {"reverse name", "loopback.test", "loopback.test"},
      {"reverse fails, host list", "", "official.test"},
  };
  NetDBTestingAnswerName(LocalHostName(), "official.test", {"alias.test"}, {"127.0.0.1"});
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    NetDBTestingAnswerAddr("127.0.0.1", c.m_strReverse, HOST_NOT_FOUND);
    ScriptedPeer peer(R"([{"stall": 5}])");
    clsTestProt prot;
    clsTestThread thread(&prot, kBehaveWell);
    thread.BeginDirect();
    thread.SetConnection("127.0.0.1", peer.Port(), 2);
    thread.QueueCommand(kCmdConnect, kCmdStateStart);
    ASSERT_TRUE(thread.Drive(3.0));
    EXPECT_EQ(thread.GetLocalIP(), AnsiString("127.0.0.1"));
    EXPECT_EQ(thread.GetLocalHost(), AnsiString(c.m_strHost));
    TStringList hosts;
    thread.GetLocalHostList(&hosts);
    if (*c.m_strReverse == 0) {
      ASSERT_EQ(hosts.Count(), 2);
      EXPECT_EQ(hosts.Strings[1], AnsiString("alias.test"));
    }
    thread.EndDirect();
  }
}

TEST_F(clsLocalIdentityTest, UnconnectedUsesTheStoreAndFollowsChanges) {
  clsTestProt prot;
  clsTestThread thread(&prot, kBehaveWell);
  SCDynamicStoreTestingSetAddresses({});
  EXPECT_EQ(thread.GetLocalIP(), AnsiString(""));
  SCDynamicStoreTestingSetAddresses({"192.0.2.7", "198.51.100.1"});
  EXPECT_EQ(thread.GetLocalIP(), AnsiString("192.0.2.7"));
  // The list is kept until the store reports a change, which reaches the thread when its run
  // loop runs in the default mode.
  SCDynamicStoreTestingSetAddresses({"203.0.113.9"});
  EXPECT_EQ(thread.GetLocalIP(), AnsiString("192.0.2.7"));
  SCDynamicStoreTestingSignalChange();
  CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.1, false);
  EXPECT_EQ(thread.GetLocalIP(), AnsiString("203.0.113.9"));
  thread.CleanupSocket();
  EXPECT_EQ(SCDynamicStoreTestingNotifiedStoreCount(), 0);
}

}  // namespace
