// Tests of the worker thread's command queue and loop: waits and events, requests that end on
// an error, the idle time-out only while connected (on a shifted clock), and received bytes cut
// into lines.
#include "smtp/clsGenProtThread.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <vector>

#include "GenProtTesting.h"
#include "ScriptedPeer.h"
#include "platform/cf/CFDate.h"

namespace {

TEST(clsGenProtThreadTest, WaitsAndEvents) {
  struct stcCase {
    char const* m_strName;
    std::vector<int> m_vecEvents;
    int m_intWait;
    std::vector<int> m_vecEventsAfter;
    bool m_bolWaitDone;
  };
  stcCase const cases[] = {
      {"wait for 5 keeps the 4", {4, 5}, 5, {4}, true},
      {"6 ends any wait", {4, 6}, 2, {4}, true},
      {"nothing yet", {4}, 5, {4}, false},
      {"oldest match first", {5, 5}, 5, {5}, true},
  };
  clsTestProt prot;
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    clsTestThread thread(&prot, kBehaveWell);
    thread.Events().assign(c.m_vecEvents.begin(), c.m_vecEvents.end());
    thread.QueueCommand(c.m_intWait, 0);
    thread.QueueCommand(kCmdDisconnect, kCmdStateCleanup);
    EXPECT_TRUE(thread.ProcessCommandQueue());
    EXPECT_EQ(std::vector<int>(thread.Events().begin(), thread.Events().end()), c.m_vecEventsAfter);
    EXPECT_EQ(thread.Commands().front().m_intCode, c.m_bolWaitDone ? kCmdDisconnect : c.m_intWait);
  }
}

TEST(clsGenProtThreadTest, RequestsEndingOnAnError) {
  clsTestProt prot;
  // A connect message without its record ends at once.
  {
    clsTestThread thread(&prot, kBehaveWell);
    thread.BeginDirect();
    EXPECT_TRUE(thread.ProcessThreadMessage(kGenProtMsgConnect, nullptr));
    EXPECT_EQ(thread.ErrorString(), AnsiString("Data is NULL."));
    EXPECT_TRUE(thread.Drive(0.1));
    thread.EndDirect();
  }
  // An error while a wait is at the front: with no command behind it the request ends at once;
  // with one, that command's clean-up runs and keeps the error.
  {
    clsTestThread thread(&prot, kBehaveWell);
    thread.BeginDirect();
    thread.QueueCommand(kEventDataReceived, 0);
    thread.SetError("Broken.");
    EXPECT_TRUE(thread.Drive(0.1));
    EXPECT_TRUE(thread.Commands().empty());
    thread.QueueCommand(kEventDataReceived, 0);
    thread.QueueCommand(kCmdDisconnect, kCmdStateStart);
    thread.SetError("Broken.");
    EXPECT_TRUE(thread.Drive(0.1));
    EXPECT_EQ(thread.ErrorString(), AnsiString("Broken."));
    thread.EndDirect();
  }
  // A wait that nothing satisfies ends after the connection's time-out, with a text.
  {
    clsTestThread thread(&prot, kBehaveWell);
    thread.BeginDirect();
    thread.SetTimeout(1);
    thread.QueueCommand(kEventDataReceived, 0);
    thread.QueueCommand(kCmdDisconnect, kCmdStateCleanup);
    EXPECT_TRUE(thread.Drive(3.0));
    EXPECT_EQ(thread.ErrorString(), AnsiString("Timed out waiting for the server to respond."));
    thread.EndDirect();
  }
}

// Received bytes in batches, cut into lines; a close in line mode delivers the rest.
TEST(clsGenProtThreadTest, ReceivedBytesBecomeLines) {
  struct stcCase {
    char const* m_strName;
    std::vector<std::string> m_vecBatches;
    bool m_bolCloseAfter;
    std::vector<std::string> m_vecLines;
  };
  stcCase const cases[] = {
      {"two lines in one batch", {"xy\r\nzw\r\n"}, false, {"xy", "zw"}},
      {"CR at the end, LF next", {"xy\r", "\nzw\r\n"}, false, {"xy", "zw"}},
      {"lone LF and lone CR", {"x\ny\rz\r\n"}, false, {"x", "y", "z"}},
      {"empty lines", {"\r\n\r\n"}, false, {"", ""}},
      {"partial line waits", {"ab", "c"}, false, {}},
      {"partial line on close", {"ab", "c"}, true, {"abc"}},
      {"byte by byte", {"a", "\r", "\n", "b", "\n"}, false, {"a", "b"}},
      {"CR then CR", {"a\r", "\rb\n"}, false, {"a", "", "b"}},
  };
  clsTestProt prot;
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    clsTestThread thread(&prot, kBehaveWell);
    thread.SetLineMode(true);
    for (auto const& batch : c.m_vecBatches) {
      CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<UInt8 const*>(batch.data()), CFIndex(batch.size()));
      thread.SocketDataAvailable(nullptr, nullptr, data);
      CFRelease(data);
    }
    if (c.m_bolCloseAfter) thread.SocketSessionClosed(nullptr, nullptr);
    EXPECT_EQ(thread.Lines(), c.m_vecLines);
  }
}

// A peer that never ends a line cannot make the buffer grow without limit.
TEST(clsGenProtThreadTest, UnterminatedLineIsCapped) {
  clsTestProt prot;
  clsTestThread thread(&prot, kBehaveWell);
  std::string chunk(4096, 'a');
  for (int i = 0; i < 20; ++i) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<UInt8 const*>(chunk.data()), CFIndex(chunk.size()));
    thread.SocketDataAvailable(nullptr, nullptr, data);
    CFRelease(data);
  }
  EXPECT_EQ(thread.ErrorString(), AnsiString("The server sent a line longer than 65536 bytes."));
  EXPECT_LE(thread.PendingReceived(), clsGenProtThread::kMaxPendingLine);
  EXPECT_TRUE(thread.Lines().empty());
}

class clsIdleCountThread : public clsTestThread {
 public:
  using clsTestThread::clsTestThread;
  void IdleTimeout() override { ++m_intIdle; }
  std::atomic<int> m_intIdle{0};
};

class clsIdleCountProt : public clsTestProt {
 protected:
  void CreateThread() override { m_pudtThread = new clsIdleCountThread(this, kBehaveWell); }
};

TEST(clsGenProtThreadTest, IdleTimeoutOnlyWhileConnected) {
  ScriptedPeer peer("[{\"stall\": 10}]");
  clsIdleCountProt prot;
  ASSERT_TRUE(prot.StartupProtocol());
  auto* thread = static_cast<clsIdleCountThread*>(prot.GetThread());
  auto shiftedFor = [](double seconds) {
    CFAbsoluteTimeSetOffsetForTesting(seconds);
    usleep(150 * 1000);
    CFAbsoluteTimeClearCurrentForTesting();
    usleep(50 * 1000);
  };
  shiftedFor(20);
  EXPECT_EQ(thread->m_intIdle.load(), 0);
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 2)) << prot.ErrorString().c_str();
  shiftedFor(20);
  EXPECT_EQ(thread->m_intIdle.load(), 1);
  prot.Disconnect();
  shiftedFor(20);
  EXPECT_EQ(thread->m_intIdle.load(), 1);
}

}  // namespace
