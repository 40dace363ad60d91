// Tests of the protocol controller: start-up and shut-down, the request hand-over with its
// failures (no thread, wrong answer, silence, crash), status reaching the progress window, and
// that failed start-ups leave nothing behind.
#include "smtp/clsGenProt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "GenProtTesting.h"
#include "dialogs/clsStatusWindow.h"
#include "platform/carbon/CarbonEvents.h"
#include "platform/mp/MultiprocessingTesting.h"

namespace {

// Posts requests as PostRequest does, without its wait, so that a test sees what the thread
// leaves in the main event queue for the waiting controller.
class clsWakeProt : public clsTestProt {
 public:
  using clsTestProt::clsTestProt;
  void Post(int message, clsGenProtData* data) {
    ASSERT_TRUE(GrabVarLock());
    m_pudtRequestData = data;
    m_intMessageCode = message;
    m_bolMessagePending = true;
    m_bolReplyReady = false;
    ++m_ulngRequestSerial;
    ReleaseVarLock();
    m_pudtThread->WakeForRequest();
  }
  // Reply ready and status pending as the thread left them; with clear, the reply is taken.
  void Shared(bool* reply, bool* status, bool clear) {
    ASSERT_TRUE(GrabVarLock());
    *reply = m_bolReplyReady;
    *status = m_bolStatusPending;
    if (clear && m_bolReplyReady) {
      m_bolReplyReady = false;
      m_pudtRequestData = nullptr;
    }
    ReleaseVarLock();
  }
};

TEST(clsGenProtTest, LifeCycleWithoutAThread) {
  clsTestProt prot;
  EXPECT_FALSE(prot.Connect("127.0.0.1", 25, 1));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Protocol is not running."));
  prot.Disconnect();
  EXPECT_EQ(prot.ErrorString(), AnsiString(""));
  EXPECT_EQ(prot.WarningString(), AnsiString("Protocol is not running."));
  EXPECT_EQ(prot.GetConnectionState(), 0);
  prot.ShutdownProtocol();
  EXPECT_EQ(prot.WarningString(), AnsiString("ShutdownProtocol: Thread is NULL."));

  ASSERT_TRUE(prot.StartupProtocol()) << prot.ErrorString().c_str();
  EXPECT_TRUE(prot.StartupProtocol());
  EXPECT_EQ(prot.WarningString(), AnsiString("StartupProtocol called when the Protocol is already started."));
  EXPECT_EQ(MPTestingLiveTaskCount(), 1);
  EXPECT_EQ(prot.GetConnectionState(), 0);
  // Disconnect is posted even when not connected, and ends cleanly.
  prot.Disconnect();
  EXPECT_EQ(prot.ErrorString(), AnsiString(""));
  prot.ShutdownProtocol();
  EXPECT_EQ(prot.WarningString(), AnsiString(""));
  EXPECT_FALSE(prot.IsProtocolStarted());
  EXPECT_EQ(MPTestingLiveTaskCount(), 0);
}

// Each way a start-up can fail leaves no thread, no lock and no task, and the next start works.
TEST(clsGenProtTest, FailedStartupsLeaveNothing) {
  struct stcCase {
    char const* m_strName;
    enumMisbehave m_intBehave;
    int m_intInject;  // 1 thread object, 2 lock, 3 task
    char const* m_strError;
  };
  stcCase const cases[] = {
      {"thread object", kBehaveWell, 1, "Could not allocate memory for Protocol Thread."},
      {"lock", kBehaveWell, 2, "Could not create Protocol Variable Lock (Critical Region); MacError: "},
      {"task", kBehaveWell, 3, "StartupProtocol: Could not start thread. Error Code: -29294"},
      {"wrong answer", kAnswerPingWrongly, 0, "StartupProtocol: Thread and Controller appear to be out of sync."},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    clsTestProt prot(c.m_intBehave);
    if (c.m_intInject == 1) prot.FailNextThreadCreation();
    if (c.m_intInject == 2) MPTestingFailNextRegionCreation(kMPInsufficientResourcesErr);
    if (c.m_intInject == 3) MPTestingFailNextTaskCreation(kMPInsufficientResourcesErr);
    EXPECT_FALSE(prot.StartupProtocol());
    std::string error = prot.ErrorString().c_str();
    EXPECT_EQ(error.substr(0, std::string(c.m_strError).size()), c.m_strError);
    EXPECT_FALSE(prot.IsProtocolStarted());
    EXPECT_FALSE(prot.HasLock());
    EXPECT_EQ(MPTestingLiveTaskCount(), 0);
  }
  clsTestProt prot;
  EXPECT_TRUE(prot.StartupProtocol());
}

// The thread's answers to a connect request: a wrong code, silence, silence with status, a
// crash; the controller's texts, and what state the controller is left in.
TEST(clsGenProtTest, ThreadAnswersThatGoWrong) {
  struct stcCase {
    char const* m_strName;
    enumMisbehave m_intBehave;
    bool m_bolResult;
    char const* m_strError;
    bool m_bolStillStarted;
  };
  stcCase const cases[] = {
      {"wrong code", kAnswerWrongCode, false, "Connect: Thread and Controller appear to be out of sync.", true},
      {"silent", kSilent, false, "Connect: Timed out waiting for Thread to Respond.", true},
      {"status keeps the wait alive", kSilentWithStatus, true, "", true},
      {"crash", kThrowOnConnect, false, "Connect: The Protocol Thread has Crashed.", false},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    clsTestProt prot(c.m_intBehave, 1);
    ASSERT_TRUE(prot.StartupProtocol());
    EXPECT_EQ(prot.Connect("127.0.0.1", 1, 1), c.m_bolResult);
    EXPECT_EQ(prot.ErrorString(), AnsiString(c.m_strError));
    EXPECT_EQ(prot.IsProtocolStarted(), c.m_bolStillStarted);
    EXPECT_EQ(prot.Unresponsive(), c.m_intBehave == kSilent);
    if (!c.m_bolStillStarted) {
      EXPECT_EQ(MPTestingLiveTaskCount(), 0);
      EXPECT_TRUE(prot.StartupProtocol()) << prot.ErrorString().c_str();
    }
  }
}

// A request given up on is withdrawn; the thread's late answer never counts for the next one.
TEST(clsGenProtTest, LateAnswerDoesNotCountForTheNextRequest) {
  clsTestProt prot(kLateAnswer, 1);
  ASSERT_TRUE(prot.StartupProtocol());
  prot.TestThread()->m_dblSilentSeconds = 3.5;
  EXPECT_FALSE(prot.Connect("127.0.0.1", 1, 1));
  EXPECT_EQ(prot.ErrorString(), AnsiString("Connect: Timed out waiting for Thread to Respond."));
  // The late answer (with its error) arrives before the next request and is dropped.
  usleep(1500 * 1000);
  prot.Disconnect();
  EXPECT_EQ(prot.ErrorString(), AnsiString(""));
  EXPECT_EQ(prot.WarningString(), AnsiString(""));
}

TEST(clsGenProtTest, StatusReachesAnOpenProgressWindow) {
  g_udtPluginStatus.Show();
  int32_t before = g_udtPluginStatus.UpdateCount();
  {
    clsTestProt prot;
    ASSERT_TRUE(prot.StartupProtocol());
    prot.Disconnect();
  }
  EXPECT_GT(g_udtPluginStatus.UpdateCount(), before);
  EXPECT_EQ(g_udtPluginStatus.StatusText(), UniString("Idle."));
  EXPECT_EQ(g_udtPluginStatus.Progress(), 0);
  g_udtPluginStatus.Hide();
}

// The thread's answer and its first status each put the controller's wake event in the main
// queue, so the wait's pump returns at once instead of at the end of its slice; the one event
// is queued once however often the thread wakes before it is taken, and it leaves the queue
// with its controller.
TEST(clsGenProtTest, ThreadWakesTheWaitingControllerWithOneEvent) {
  EventQueueRef queue = GetMainEventQueue();
  EventTypeSpec const wake = {kEventClassGenProtWake, kEventGenProtWake};
  EventRef event = nullptr;
  bool reply = false;
  bool status = false;
  {
    clsWakeProt prot(kSilentWithStatus);
    ASSERT_TRUE(prot.StartupProtocol());
    FlushEventQueue(queue);

    prot.Post(kGenProtMsgPing, nullptr);
    ASSERT_EQ(ReceiveNextEvent(1, &wake, 30.0, false, &event), noErr);
    prot.Shared(&reply, &status, true);
    EXPECT_TRUE(reply);
    ASSERT_EQ(ReceiveNextEvent(1, &wake, kEventDurationNoWait, true, &event), noErr);
    ReleaseEvent(event);

    // The connect is answered after 3 s, with a status every turn until then: the first status
    // wakes the controller long before the answer.
    prot.TestThread()->m_dblSilentSeconds = 3.0;
    clsTestData data;
    prot.Post(kGenProtMsgConnect, &data);
    ASSERT_EQ(ReceiveNextEvent(1, &wake, 30.0, false, &event), noErr);
    prot.Shared(&reply, &status, false);
    EXPECT_TRUE(status);
    EXPECT_FALSE(reply);
    // Left in the queue: the answer finds it there and adds none.
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {
      usleep(1000);
      prot.Shared(&reply, &status, true);
    } while (!reply && std::chrono::steady_clock::now() < limit);
    ASSERT_TRUE(reply);
    EXPECT_EQ(GetNumEventsInQueue(queue), ItemCount(1));
    ASSERT_EQ(ReceiveNextEvent(1, &wake, kEventDurationNoWait, true, &event), noErr);
    ReleaseEvent(event);
    EXPECT_EQ(GetNumEventsInQueue(queue), ItemCount(0));

    // A wake no wait took is gone with its controller.
    prot.ShutdownProtocol();
    prot.WakeController();
    prot.WakeController();
    EXPECT_EQ(GetNumEventsInQueue(queue), ItemCount(1));
  }
  EXPECT_EQ(GetNumEventsInQueue(queue), ItemCount(0));
}

}  // namespace
