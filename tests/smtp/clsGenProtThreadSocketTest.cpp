// Tests of the socket side over real connections to the scripted peer on 127.0.0.1: connect
// failures, lines both ways with their transcript, send errors, send buffering as the socket
// stand-in counts it, a peer that stops reading, a peer that closed.
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "GenProtTesting.h"
#include "ScriptedPeer.h"
#include "dialogs/clsStatusWindow.h"
#include "platform/cf/CFSocketTesting.h"
#include "platform/netdb/netdbTesting.h"

namespace {

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::vector<std::string> Transcript(clsGenProt& prot) {
  TStringList lines;
  prot.CopyTranscript(&lines);
  std::vector<std::string> result;
  for (int i = 0; i < lines.Count(); ++i) result.push_back(lines.Strings[unsigned(i)].c_str());
  return result;
}

TEST(clsGenProtThreadSocketTest, ConnectFailures) {
  NetDBTestingFailName("no-such-host.test", HOST_NOT_FOUND);
  int port = ClosedPort();
  struct stcCase {
    char const* m_strName;
    std::string m_strHost;
    std::string m_strError;
  };
  stcCase const cases[] = {
      {"unknown host", "no-such-host.test",
       "Connect: Could not resolve Host Name to IP Address. BSD Error: Unknown host (1)"},
      {"refused", "127.0.0.1",
       "Connect: There was an error connecting to '127.0.0.1:" + std::to_string(port) +
           "'; BSD Error: Connection refused"},
  };
  g_udtPluginStatus.Show();
  clsTestProt prot;
  ASSERT_TRUE(prot.StartupProtocol());
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    EXPECT_FALSE(prot.Connect(c.m_strHost.c_str(), port, 2));
    EXPECT_EQ(std::string(prot.ErrorString().c_str()), c.m_strError);
    EXPECT_EQ(prot.GetConnectionState(), 0);
  }
  // The refused connect ran the clean-ups, which published "Idle.".
  EXPECT_EQ(g_udtPluginStatus.StatusText(), UniString("Idle."));
  g_udtPluginStatus.Hide();
  NetDBTestingClear();
}

// A test thread that lets the test wait until it has received a number of lines, so a step that
// depends on a line the peer sent unasked (a banner) is taken only once that line was read.
class clsLineCountingThread : public clsTestThread {
 public:
  explicit clsLineCountingThread(clsGenProt* controller) : clsTestThread(controller, kBehaveWell) {}
  void ReceivedNewLine(AnsiString line, bool* addToTranscript) override {
    clsTestThread::ReceivedNewLine(line, addToTranscript);
    std::lock_guard<std::mutex> guard(m_mtxCount);
    ++m_intCount;
    m_cndCount.notify_all();
  }
  bool WaitForLines(int count, double seconds) {
    std::unique_lock<std::mutex> lock(m_mtxCount);
    return m_cndCount.wait_for(lock, std::chrono::duration<double>(seconds),
                               [&] { return m_intCount >= count; });
  }

 private:
  std::mutex m_mtxCount;
  std::condition_variable m_cndCount;
  int m_intCount = 0;
};

class clsLineCountingProt : public clsTestProt {
 public:
  clsLineCountingThread* Thread() { return static_cast<clsLineCountingThread*>(m_pudtThread); }
  // A request the thread answers without a command: once answered, the thread has ended the
  // loop turn in which it took it, and with it dropped the events of lines read before.
  bool Ping() { return PostRequest(kGenProtMsgPing, nullptr, kGenProtMsgPing, "Test: ", false); }

 protected:
  void CreateThread() override { m_pudtThread = new clsLineCountingThread(this); }
};

TEST(clsGenProtThreadSocketTest, LinesBothWaysWithTranscript) {
  ScriptedPeer peer(R"([{"reply": "220 hello"}, {"expect": "EHLO me"}, {"reply": "250 fine"},
                        {"expect": "AUTH secret"}, {"reply": "235 in"}, {"stall": 5}])");
  clsLineCountingProt prot;
  ASSERT_TRUE(prot.StartupProtocol());
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 2)) << prot.ErrorString().c_str();
  EXPECT_EQ(prot.GetConnectionState(), 1);
  EXPECT_FALSE(prot.Connect("127.0.0.1", peer.Port(), 2));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Already Connected."));
  // The banner comes unasked: EHLO goes out only once it was read and its event dropped, so
  // neither the banner nor its event is taken for EHLO's reply.
  ASSERT_TRUE(prot.Thread()->WaitForLines(1, 5.0));
  ASSERT_TRUE(prot.Ping()) << prot.ErrorString().c_str();
  clsTestData ehlo;
  ehlo.m_astrLine = "EHLO me";
  ehlo.m_bolExpectReply = true;
  ASSERT_TRUE(prot.Request(kTestMsgSendLine, &ehlo)) << prot.ErrorString().c_str();
  clsTestData auth;
  auth.m_astrLine = "AUTH secret";
  auth.m_bolExpectReply = true;
  auth.m_bolCensor = true;
  ASSERT_TRUE(prot.Request(kTestMsgSendLine, &auth)) << prot.ErrorString().c_str();
  std::vector<std::string> expected = {"> 220 hello", "< EHLO me", "> 250 fine", "< [CENSORED]", "> 235 in"};
  EXPECT_EQ(Transcript(prot), expected);
  prot.Disconnect();
  EXPECT_EQ(prot.GetConnectionState(), 0);
}

// A reply that never comes ends the request after the connection's time-out, and the
// connection is closed after it.
TEST(clsGenProtThreadSocketTest, ReplyWaitIsBounded) {
  ScriptedPeer peer(R"([{"expect": "NOOP"}, {"stall": 10}])");
  clsTestProt prot;
  ASSERT_TRUE(prot.StartupProtocol());
  ASSERT_TRUE(prot.Connect("127.0.0.1", peer.Port(), 1));
  clsTestData noop;
  noop.m_astrLine = "NOOP";
  noop.m_bolExpectReply = true;
  EXPECT_FALSE(prot.Request(kTestMsgSendLine, &noop));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Test: Timed out waiting for the server to respond."));
  EXPECT_EQ(prot.GetConnectionState(), 0);
}

// Sends on a thread driven on the test's own thread.
class clsDirectConnection {
 public:
  explicit clsDirectConnection(int port, int timeout = 2) : m_udtThread(&m_udtProt, kBehaveWell) {
    m_udtProt.MakeTranscript();
    m_udtThread.BeginDirect();
    m_udtThread.SetConnection("127.0.0.1", port, timeout);
    m_udtThread.QueueCommand(kCmdConnect, kCmdStateStart);
    m_bolOK = m_udtThread.Drive(3.0) && m_udtThread.Connected();
  }
  ~clsDirectConnection() { m_udtThread.EndDirect(); }
  clsTestProt m_udtProt;
  clsTestThread m_udtThread;
  bool m_bolOK;
};

TEST(clsGenProtThreadSocketTest, SendErrorsAndClosedPeer) {
  ScriptedPeer peer(R"([{"expect": "BYE"}, {"close": true}])");
  clsDirectConnection connection(peer.Port());
  ASSERT_TRUE(connection.m_bolOK);
  clsTestThread& thread = connection.m_udtThread;
  thread.SendData("", true, false);
  EXPECT_EQ(thread.ErrorString(), AnsiString("Nothing to Send."));
  EXPECT_TRUE(thread.Events().empty());
  thread.SendData("BYE\r\n", true, false);
  // The peer is gone (its process ended, so its close has reached this side of the loopback): a
  // large send fails with the system's reason (never a SIGPIPE), and once the close is seen the
  // thread is no longer connected.
  ASSERT_TRUE(peer.Finished());
  std::string big(4 << 20, 'x');
  thread.SendData(AnsiString(big.data(), int(big.size())), false, false);
  std::string error = thread.ErrorString().c_str();
  EXPECT_EQ(error.rfind("There was an error sending the data.  BSD Error: ", 0), 0u) << error;
  CFStringRef mode = CFStringCreateWithCString(nullptr, "QRV_GenProtRunLoopMode", kCFStringEncodingUTF8);
  for (int i = 0; i < 50 && thread.Connected(); ++i) CFRunLoopRunInMode(mode, 0.01, false);
  CFRelease(mode);
  EXPECT_FALSE(thread.Connected());
  thread.SendData("x", false, false);
  EXPECT_EQ(thread.ErrorString(), AnsiString("Not Connected."));
}

TEST(clsGenProtThreadSocketTest, PeerThatStopsReadingTimesOut) {
  ScriptedPeer peer(R"([{"stall": 60}])", 60);
  clsDirectConnection connection(peer.Port(), 1);
  ASSERT_TRUE(connection.m_bolOK);
  std::string big(24 << 20, 'x');
  connection.m_udtThread.SendData(AnsiString(big.data(), int(big.size())), false, false);
  EXPECT_EQ(connection.m_udtThread.ErrorString(),
            AnsiString("Timed out trying to send the data.  BSD Error: Connection timed out (110)"));
}

// Lines are collected until the next would overflow the buffer; a piece longer than the buffer
// goes out directly after the flush, with its wait entry and event. Each write leaves at once
// (no Nagle delay): the short "." after a full buffer must not wait for the server's delayed ACK.
// While buffering, the socket holds a write's short last part back for the next write (fewer,
// full segments); turning buffering off lets go, so nothing waits behind the end of the data.
TEST(clsGenProtThreadSocketTest, SendBufferingAsCounted) {
  ScriptedPeer peer(R"([{"sink": true}])");
  clsDirectConnection connection(peer.Port());
  ASSERT_TRUE(connection.m_bolOK);
  clsTestThread& thread = connection.m_udtThread;
  int noDelay = 0;
  socklen_t size = sizeof noDelay;
  ASSERT_EQ(getsockopt(thread.NativeSocket(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
  EXPECT_NE(noDelay, 0);
  auto corked = [&thread] {
    int value = -1;
    socklen_t length = sizeof value;
    getsockopt(thread.NativeSocket(), IPPROTO_TCP, TCP_CORK, &value, &length);
    return value;
  };
  EXPECT_EQ(corked(), 0);
  std::string line(74, 'l');
  line += "\r\n";
  thread.EnableSendBuffering(1460);
  EXPECT_NE(corked(), 0);
  CFSocketTestingResetCounters();
  for (int i = 0; i < 19; ++i) thread.SendData(AnsiString(line.c_str()), false, false);
  EXPECT_EQ(CFSocketTestingSendCount(), 0);  // 19 * 76 = 1444 bytes fit
  thread.SendData(AnsiString(line.c_str()), false, false);
  EXPECT_EQ(CFSocketTestingSendCount(), 1);
  EXPECT_EQ(CFSocketTestingBytesSent(), 1444);
  EXPECT_TRUE(thread.Events().empty());
  std::string big(2000, 'b');
  thread.SendData(AnsiString(big.c_str()), false, false);
  EXPECT_EQ(CFSocketTestingSendCount(), 3);  // the flush of 76, then the 2000 directly
  EXPECT_EQ(CFSocketTestingBytesSent(), 1444 + 76 + 2000);
  EXPECT_EQ(std::vector<int>(thread.Events().begin(), thread.Events().end()), std::vector<int>{kEventDataSent});
  EXPECT_EQ(thread.Commands().front().m_intCode, kEventDataSent);
  thread.FlushSendBuffer();
  EXPECT_NE(corked(), 0);
  thread.EnableSendBuffering(4096);  // another size: the old buffer is let go, then a new one held
  EXPECT_NE(corked(), 0);
  thread.DisableSendBuffering();
  EXPECT_EQ(corked(), 0);
  EXPECT_EQ(CFSocketTestingSendCount(), 3);
}

// A line that finds the buffer without room for it sends the buffer first, through SendLine as
// through SendData. When that send fails, the buffer message is the error, no event is added and
// the line is neither sent nor buffered: the buffer keeps what it held.
TEST(clsGenProtThreadSocketTest, LineThatFindsTheBufferFull) {
  struct Row {
    char const* name;
    bool viaSendLine;
    bool peerGone;
  };
  for (Row const& row : {Row{"SendData", false, false}, Row{"SendLine", true, false},
                         Row{"SendData, peer gone", false, true}, Row{"SendLine, peer gone", true, true}}) {
    SCOPED_TRACE(row.name);
    ScriptedPeer peer(row.peerGone ? R"([{"expect": "BYE"}, {"close": true}])" : R"([{"sink": true}])");
    clsDirectConnection connection(peer.Port());
    ASSERT_TRUE(connection.m_bolOK);
    clsTestThread& thread = connection.m_udtThread;
    if (row.peerGone) {
      // A send large enough to meet the peer's reset: every later send fails at once.
      thread.SendData("BYE\r\n", false, false);
      ASSERT_TRUE(peer.Finished());
      std::string big(4 << 20, 'x');
      thread.SendData(AnsiString(big.data(), int(big.size())), false, false);
      ASSERT_GT(thread.ErrorString().Length(), 0);
      thread.Events().clear();
      thread.Commands().clear();
    }
    std::string text(74, 'l');
    AnsiString line(text.c_str());
    AnsiString lineWithEnd((text + "\r\n").c_str());
    auto send = [&] {
      if (row.viaSendLine) {
        thread.SendLine(line, true, false, false);
      } else {
        thread.SendData(lineWithEnd, false, false);
      }
    };
    thread.EnableSendBuffering(1460);
    CFSocketTestingResetCounters();
    for (int i = 0; i < 19; ++i) send();
    EXPECT_EQ(CFSocketTestingSendCount(), 0);
    EXPECT_EQ(thread.SendBufferUsed(), 1444u);
    send();
    EXPECT_EQ(CFSocketTestingSendCount(), 1);
    std::string error = thread.ErrorString().c_str();
    if (row.peerGone) {
      EXPECT_EQ(error.rfind("There was an error sending the buffer data.  BSD Error: ", 0), 0u) << error;
      EXPECT_EQ(CFSocketTestingBytesSent(), 0);
      EXPECT_EQ(thread.SendBufferUsed(), 1444u);
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(CFSocketTestingBytesSent(), 1444);
      EXPECT_EQ(thread.SendBufferUsed(), 76u);
    }
    EXPECT_TRUE(thread.Events().empty());
    EXPECT_TRUE(thread.Commands().empty());
    thread.DisableSendBuffering();
    EXPECT_EQ(CFSocketTestingSendCount(), 2);
    EXPECT_EQ(CFSocketTestingBytesSent(), row.peerGone ? 0 : 1444 + 76);
  }
}

}  // namespace
