// Tests of the idle queues with the clock pinned: which script event runs when (immediate,
// date-time, interval, idle; priorities; the later of two due timed events first), what stays
// queued, retries of a refused start up to the 21st refusal, and the SQL queue's one statement
// per call with its trace cut to 100 characters.
#include "plugin/frame/clsFMPScripts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "platform/cf/CFDate.h"
#include "plugin/PluginGlobals.h"
#include "tests/support/FmxTestHost.h"

namespace {

// 2020-01-01 00:00:00 GMT in CoreFoundation's seconds and in Unix seconds.
const double kStart = 599529600.0;
const uint32_t kStartUnix = 1577836800u;

std::vector<std::string>* g_vecLines = nullptr;

class clsFMPScriptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gFMX_ExternCallPtr = &m_udtHost.CallBlock();
    At(0);
    g_vecLines = &m_vecLines;
    m_fnWriter = g_fnDebugLogFileWriter;
    g_fnDebugLogFileWriter = [](UniString const& line) { g_vecLines->push_back(line.GetAnsiString(1).c_str()); };
    InitDebug();
    g_intDebugLevel = kDebugFull;
  }
  void TearDown() override {
    g_udtFMPScripts.RemAllEvents();
    g_udtCurrFMPScriptItem = nullptr;
    CleanUpSQLQueue();
    EndDebug();
    g_intDebugLevel = kDebugNone;
    g_fnDebugLogFileWriter = m_fnWriter;
    gFMX_ExternCallPtr = nullptr;
    CFAbsoluteTimeClearCurrentForTesting();
  }

  // "now" is seconds after the start.
  static void At(uint32_t seconds) { CFAbsoluteTimeSetCurrentForTesting(kStart + seconds); }

  // Appends an event to the timed list (or the immediate one) and returns it.
  clsFMPScriptItem* Add(int32_t type, char const* script, bool immediate = false) {
    clsFMPScriptItem* item = new clsFMPScriptItem;
    item->m_enmType = type;
    item->m_ustrFileName = UniString("Orders");
    item->m_ustrScriptName = UniString(script);
    item->m_udtWhen.SetAsSeconds(kStartUnix);
    clsFMPScriptItem*& first = immediate ? g_udtFMPScripts.m_udtFirstImmediate : g_udtFMPScripts.m_udtFirstTimed;
    clsFMPScriptItem*& last = immediate ? g_udtFMPScripts.m_udtLastImmediate : g_udtFMPScripts.m_udtLastTimed;
    if (last)
      last->m_udtNext = item;
    else
      first = item;
    last = item;
    return item;
  }

  // The scripts the host was asked to start, in order, joined by blanks.
  std::string Started() const {
    std::string names;
    for (auto const& request : m_udtHost.ScriptRequests()) names += (names.empty() ? "" : " ") + request.scriptName;
    return names;
  }
  static size_t Count(clsFMPScriptItem* first) {
    size_t n = 0;
    for (; first; first = first->m_udtNext) ++n;
    return n;
  }
  size_t LinesWith(std::string const& text) const {
    size_t n = 0;
    for (auto const& line : m_vecLines) n += line.find(text) != std::string::npos;
    return n;
  }

  FmxTestHost m_udtHost;
  std::vector<std::string> m_vecLines;
  DebugLogFileWriterProc m_fnWriter = nullptr;
};

TEST_F(clsFMPScriptsTest, EventsRunWhenDueAndRepeatOnlyWhenAsked) {
  ProcessFMPScripts(true, kScriptPriorityNormal, 0);
  EXPECT_EQ("", Started()) << "empty queues start nothing";

  clsFMPScriptItem* dated = Add(kScriptEventDateTime, "dated");
  dated->m_udtWhen.SetAsSeconds(kStartUnix + 50);
  clsFMPScriptItem* every = Add(kScriptEventInterval, "every");
  every->m_ulngSeconds = 30;
  every->m_bolRepeat = true;
  clsFMPScriptItem* once = Add(kScriptEventInterval, "once");
  once->m_ulngSeconds = 40;
  clsFMPScriptItem* idle = Add(kScriptEventIdle, "idle");
  idle->m_ulngSeconds = 10;
  idle->m_bolRepeat = true;
  clsFMPScriptItem* unnamed = Add(kScriptEventImmediate, "", true);
  unnamed->m_ustrScriptName = UniString();
  Add(kScriptEventImmediate, "low", true)->m_enmPriority = enumScriptPriority(-1);

  struct stcStep {
    uint32_t at;
    char const* started;  // all starts so far
    size_t timed;         // events left in the timed list
    size_t immediate;
  } const steps[] = {
      {0, "", 4, 1},                 // the unnamed immediate event goes without a start
      {0, "", 4, 1},                 // the low one is below the minimum; nothing timed is due
      {30, "every", 4, 1},           // repeating: stays
      {45, "every once", 3, 1},      // not repeating: gone after it ran
      {55, "every once dated", 2, 1},
      {59, "every once dated", 2, 1},  // 29 seconds since "every" last fired
      {60, "every once dated every", 2, 1},
  };
  for (stcStep const& s : steps) {
    At(s.at);
    ProcessFMPScripts(true, kScriptPriorityNormal, 0);
    EXPECT_EQ(s.started, Started()) << "at " << s.at;
    EXPECT_EQ(s.timed, Count(g_udtFMPScripts.m_udtFirstTimed)) << "at " << s.at;
    EXPECT_EQ(s.immediate, Count(g_udtFMPScripts.m_udtFirstImmediate)) << "at " << s.at;
    EXPECT_EQ(nullptr, g_udtCurrFMPScriptItem);
  }
  EXPECT_EQ(0u, LinesWith("Found an Idle Event.")) << "idle events need an idle start";

  // With an idle start, an idle event fires once per idle spell.
  uint32_t const idleSince = kStartUnix + 100;
  At(105);
  ProcessFMPScripts(true, kScriptPriorityNormal, idleSince);
  At(111);
  ProcessFMPScripts(true, kScriptPriorityNormal, idleSince);
  ProcessFMPScripts(true, kScriptPriorityNormal, idleSince);
  EXPECT_EQ("every once dated every every idle", Started());
  EXPECT_EQ(4u, LinesWith("Found an Internval Event."));
  At(112);
  ProcessFMPScripts(true, kScriptPriorityNormal, kStartUnix + 110);  // a new spell resets it
  EXPECT_EQ(1u, LinesWith("Reset an Idle Event."));
  At(121);
  ProcessFMPScripts(true, kScriptPriorityNormal, kStartUnix + 110);
  EXPECT_EQ("every once dated every every idle idle", Started());

  // Taking the last events out keeps the list's last pointer right for a later append.
  g_udtFMPScripts.RemEvent(idle);
  EXPECT_EQ(every, g_udtFMPScripts.m_udtLastTimed);
  clsFMPScriptItem* next = Add(kScriptEventImmediate, "next");
  EXPECT_EQ(next, every->m_udtNext);
}

TEST_F(clsFMPScriptsTest, TheLaterOfTwoDueTimedEventsRunsFirst) {
  Add(kScriptEventDateTime, "first");
  clsFMPScriptItem* interval = Add(kScriptEventInterval, "second");
  interval->m_ulngSeconds = 10;
  At(20);
  ProcessFMPScripts(true, kScriptPriorityNormal, 0);
  EXPECT_EQ("second", Started());
  ProcessFMPScripts(true, kScriptPriorityNormal, 0);
  EXPECT_EQ("second first", Started());
  ASSERT_EQ(nullptr, g_udtFMPScripts.m_udtFirstTimed);
  EXPECT_EQ(nullptr, g_udtFMPScripts.m_udtLastTimed);
}

TEST_F(clsFMPScriptsTest, ARefusedStartIsTriedUntilThe21stRefusal) {
  m_udtHost.SetStartScriptError(3);
  clsFMPScriptItem* item = Add(kScriptEventImmediate, "stubborn", true);
  item->m_ustrParameter = UniString("p");
  item->m_bytScriptControl = 2;
  for (int call = 1; call <= 21; ++call) {
    ProcessFMPScripts(true, kScriptPriorityNormal, 0);
    ASSERT_EQ(size_t(call), m_udtHost.ScriptRequests().size());
    EXPECT_EQ(call < 21 ? item : nullptr, g_udtCurrFMPScriptItem) << "after refusal " << call;
  }
  EXPECT_EQ(nullptr, g_udtFMPScripts.m_udtFirstImmediate);
  EXPECT_EQ(1u, LinesWith("ProcessFMPScripts: failure: giving up"));
  EXPECT_EQ(21u, LinesWith("DoFMPScript: FMX_StartScript returned an error: 3"));
  FmxTestHost::stcScriptRequest const& request = m_udtHost.ScriptRequests()[0];
  EXPECT_EQ("Orders", request.fileName);
  EXPECT_TRUE(request.hasParameter);
  EXPECT_EQ("p", request.parameter);
  EXPECT_EQ(2, request.control);
  ProcessFMPScripts(true, kScriptPriorityNormal, 0);
  EXPECT_EQ(21u, m_udtHost.ScriptRequests().size());
}

TEST_F(clsFMPScriptsTest, OneStatementPerCallWhateverItsOutcome) {
  fmx::ExprEnv env;
  EXPECT_FALSE(ProcessSQLQueue(env));
  m_ulstSQLQueue = new UniStringList;
  std::string const longStatement = "SELECT " + std::string(120, 'x');
  m_ulstSQLQueue->Add(UniString(longStatement.c_str()));
  m_ulstSQLQueue->Add(UniString("SELECT 2"));
  m_udtHost.SetSQLAnswer(8309);
  EXPECT_TRUE(ProcessSQLQueue(env));
  m_udtHost.SetSQLAnswer(0);
  EXPECT_TRUE(ProcessSQLQueue(env));
  EXPECT_FALSE(ProcessSQLQueue(env));
  ASSERT_EQ(2u, m_udtHost.SQLRequests().size());
  EXPECT_EQ(longStatement, m_udtHost.SQLRequests()[0].statement);
  EXPECT_EQ(44, m_udtHost.SQLRequests()[0].colSep);
  EXPECT_EQ(13, m_udtHost.SQLRequests()[0].rowSep);
  EXPECT_EQ(1u, LinesWith("ExecuteSQL (first 100 chars): " + longStatement.substr(0, 100)));
  EXPECT_EQ(0u, LinesWith("ExecuteSQL (first 100 chars): " + longStatement.substr(0, 101)));
  EXPECT_EQ(1u, LinesWith("ProcessSQLQueue: ExecuteSQL returned: 8309"));
  EXPECT_EQ(1u, LinesWith("ProcessSQLQueue: Success."));
}

}  // namespace
