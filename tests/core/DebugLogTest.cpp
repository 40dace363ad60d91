// Tests of the debug log: gating by state and level, tags and "WPE: ", the 32-line back-log, lines
// dropped while the log is busy (another thread, the file step's own logging), the banner, and
// trace-scope indentation and levels. Each test starts and ends with the log off.
#include "core/DebugLog.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/clsDateTime.h"
#include "platform/carbon/Gestalt.h"
#include "platform/cf/CFDate.h"
#include "plugin/PluginGlobals.h"

namespace {

std::vector<std::string> g_lstFile;

std::string Utf8(UniString const& text) { return std::string(text.GetAnsiString(1).c_str()); }
// A line without its "HH:MM:SS " time.
std::string Body(UniString const& line) { return Utf8(line).substr(9); }
void RecordFileLine(UniString const& line) { g_lstFile.push_back(Body(line)); }

std::vector<std::string> BackLog() {
  std::vector<std::string> lines;
  for (UniString const& line : *g_ulstDebugBackLog) lines.push_back(Body(line));
  return lines;
}

// Switches the log on with an empty back-log and file.
void StartLog(int32_t level) {
  InitDebug();
  g_ulstDebugBackLog->Clear();
  g_lstFile.clear();
  g_intDebugLevel = level;
}

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    EndDebug();
    g_intDebugLevel = kDebugNone;
    g_fudtFMProduct = 0;
    g_intDebugIndent = 0;
    g_fnDebugLogFileWriter = RecordFileLine;
    g_lstFile.clear();
    CFAbsoluteTimeClearCurrentForTesting();
    SetGestaltSystemVersionForTesting(0x1068);
  }
};

}  // namespace

TEST_F(DebugLogTest, StateAndLevelsGateBackLogAndFileAndSetTheTag) {
  DebugOutput(kDebugNone, UniString("off"));
  EXPECT_EQ(nullptr, g_ulstDebugBackLog);
  EXPECT_TRUE(g_lstFile.empty());

  using Lines = std::vector<std::string>;
  struct stcCase {
    int32_t configured, level, product;
    bool skip;
    Lines backLog, file;
  };
  stcCase const cases[] = {
      {kDebugNone, kDebugError, 0, false, {"Err : x"}, {}},
      {kDebugNone, kDebugNone, 0, false, {"None: x"}, {"None: x"}},
      {kDebugNone, kDebugFull, 0, false, {}, {}},
      {kDebugNone, -1, 0, false, {"x"}, {"x"}},  // no tag outside 0..5
      {kDebugNone, 7, 4, false, {"WPE: x"}, {}},
      {kDebugFull, kDebugWarning, 0, false, {"Warn: x"}, {"Warn: x"}},
      {kDebugFull, kDebugFull, 4, false, {"WPE: Full: x"}, {"WPE: Full: x"}},
      {kDebugResult, kDebugInfo, 3, false, {"Info: x"}, {}},
      {kDebugResult, kDebugResult, 0, true, {}, {"Res : x"}},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(std::to_string(c.configured) + "/" + std::to_string(c.level));
    StartLog(c.configured);
    g_fudtFMProduct = uint8_t(c.product);
    DebugOutput(static_cast<enumDebugLevel>(c.level), UniString("x"), c.skip);
    EXPECT_EQ(c.backLog, BackLog());
    EXPECT_EQ(c.file, g_lstFile);
    EndDebug();
  }
  EXPECT_EQ(nullptr, g_udtDebugLock);
}

TEST_F(DebugLogTest, BackLogKeepsTheLast32LinesInOrder) {
  StartLog(kDebugNone);
  for (int32_t i = 1; i <= 33; ++i) DebugOutput(kDebugError, UniString(i));
  std::vector<std::string> expected;
  for (int i = 2; i <= 33; ++i) expected.push_back("Err : " + std::to_string(i));
  EXPECT_EQ(expected, BackLog());
}

namespace {
void LoggingFileWriter(UniString const& line) {
  RecordFileLine(line);
  DebugOutput(kDebugNone, UniString("from the file step"));
  clsFuncDebug scope(UniString("FileStep"), kDebugError);
}
}  // namespace

TEST_F(DebugLogTest, LinesMeetingABusyLogAreDropped) {
  StartLog(kDebugNone);
  std::promise<void> held, release;
  std::thread holder([&, done = release.get_future()] {
    OSStatus entered = MPEnterCriticalRegion(g_udtDebugLock, kDurationForever);
    held.set_value();
    done.wait();
    if (entered == noErr) MPExitCriticalRegion(g_udtDebugLock);
  });
  held.get_future().wait();
  DebugOutput(kDebugNone, UniString("region held elsewhere"));
  release.set_value();
  holder.join();

  g_fnDebugLogFileWriter = LoggingFileWriter;
  DebugOutput(kDebugNone, UniString("kept"));
  EXPECT_EQ((std::vector<std::string>{"None: kept"}), BackLog());
  EXPECT_EQ((std::vector<std::string>{"None: kept"}), g_lstFile);
  EXPECT_FALSE(g_bolDebugOutputBusy);
  EXPECT_EQ(0, g_intDebugIndent);
}

TEST_F(DebugLogTest, ScopesIndentUpTo50AndNeverBelowZero) {
  StartLog(kDebugFull);
  {
    std::vector<std::unique_ptr<clsFuncDebug>> scopes;
    for (int i = 0; i < 60; ++i) scopes.push_back(std::make_unique<clsFuncDebug>(UniString("S")));
    scopes.back()->Output(kDebugFull, UniString("deep"));
    while (!scopes.empty()) scopes.pop_back();
  }
  EXPECT_EQ(0, g_intDebugIndent);
  ASSERT_EQ(121u, g_lstFile.size());
  EXPECT_EQ("Full: " + std::string(3, ' ') + "==>> S", g_lstFile[3]);
  EXPECT_EQ("Full: " + std::string(50, ' ') + "S: deep", g_lstFile[60]);
  EXPECT_EQ("Full: " + std::string(3, ' ') + "<<== S", g_lstFile[117]);
  {
    clsFuncDebug outer(UniString("Outer")), inner(UniString("Inner"));
    g_intDebugIndent = 1;  // more scopes close than the counter knows of
  }
  EXPECT_EQ(0, g_intDebugIndent);

  // A scope's lines log at the more important of its level and the one asked for.
  StartLog(kDebugNone);
  {
    clsFuncDebug warning(UniString("W"), kDebugWarning), info(UniString("I"), kDebugInfo);
    warning.Output(kDebugFull, UniString("a"));
    info.Output(kDebugError, UniString("b"));
    clsFuncDebug full(UniString("F"));  // no lines while the level is below Full, still nests
    EXPECT_EQ(3, g_intDebugIndent);
  }
  EXPECT_EQ((std::vector<std::string>{"Warn: ==>> W", "Info:  ==>> I", "Warn:   W: a", "Err :   I: b",
                                      "Info:  <<== I", "Warn: <<== W"}),
            BackLog());
}

TEST_F(DebugLogTest, InitDebugTwiceLogsOneBanner) {
  CFAbsoluteTimeSetCurrentForTesting(250000000.0);
  SetGestaltSystemVersionForTesting(0x1049);
  clsDateTime now;
  now.SetToNow();
  InitDebug();
  InitDebug();
  EXPECT_EQ((std::vector<std::string>{"Err : *** Velmora v.1.1.3", "Err : *** Mac OS X 10.4.9 (Intel)",
                                      "Err : *** File DateTime Stamp: " +
                                          std::string(now.GetAsString().c_str())}),
            BackLog());
  EXPECT_TRUE(g_lstFile.empty()) << "the configured level is still None";
}

TEST_F(DebugLogTest, ThreadsShareTheBusyFlagAndIndentation) {
  StartLog(kDebugFull);
  g_fnDebugLogFileWriter = nullptr;
  auto work = [] {
    for (int i = 0; i < 2000; ++i) clsFuncDebug(UniString("Worker")).Output(kDebugInfo, UniString("step"));
  };
  std::thread first(work), second(work);
  first.join();
  second.join();
  EXPECT_EQ(0, g_intDebugIndent);
  EXPECT_FALSE(g_bolDebugOutputBusy);
  EXPECT_LE(g_ulstDebugBackLog->Count(), 32u);
}
