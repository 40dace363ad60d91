// Tests of the e-mail functions' callback, called as the host calls it: the parameter count, the
// first parameter that cannot be read ending the call before any worker sees a value, what the
// optional parameters accept, an id the callback does not serve, and a host call that throws in
// the middle of a worker (crash text, crash log, the host's resource file current again).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebugLogFile.h"
#include "plugin/frame/EmailFunctions.h"
#include "tests/plugin/EmailFunctionsFixture.h"

namespace {

class PluginFunctionCallbackTest : public EmailFunctionsFixture {};

TEST_F(PluginFunctionCallbackTest, ParametersAreCheckedBeforeAnyWorkerRuns) {
  fmx::Data const container = FmxTestHost::ContainerData({{"FILE", "data"}});
  std::string const noHost =
      "Missing or Invalid SMTP Host. (Please use Velmora's Configuration Dialog to define a Host.)";
  struct stcRow {
    char const* what;
    short id;
    std::vector<fmx::Data> parameters;
    std::string result;
  } const rows[] = {
      {"SendMessage needs two", 20, {T("jane@example.test")}, "ERROR: SendMessage: Incorrect number of parameters."},
      {"a container as To", 20, {container, T("Hi")}, "ERROR: SendMessage: The 'To' parameter must be text."},
      {"a failing second parameter stops the call", 20, {T("not an address"), container},
       "ERROR: SendMessage: The 'Subject' parameter must be text."},
      {"a number as attachment", 20, {T("jane@example.test"), T("Hi"), T(""), FmxTestHost::NumberData(3)},
       "ERROR: SendMessage: The 'Attachment1' parameter must be either a Path and File Name or a Container field."},
      {"an empty To reaches the worker", 20, {T(""), T("")},
       "ERROR: SendMessage: You must specify the Recipient Email Address ('To' parameter)."},
      {"SendEmail maybe", 30, {T(""), T(""), T(""), T(""), T(""), T(""), T(""), T(""), T("maybe")},
       "ERROR: ShowMessageDialog: The 'SendEmail' parameter must be true or false."},
      {"SendEmail 0", 30, {T(""), T(""), T(""), T(""), T(""), T(""), T(""), T(""), FmxTestHost::NumberData(0)},
       "ERROR: ShowMessageDialog: " + noHost},
      {"SendEmail yes", 30, {T(""), T(""), T(""), T(""), T(""), T(""), T(""), T(""), T("yes")},
       "ERROR: ShowMessageDialog: " + noHost},
      {"SendEmail OFF", 30, {T(""), T(""), T(""), T(""), T(""), T(""), T(""), T(""), T("OFF")},
       "ERROR: ShowMessageDialog: " + noHost},
      {"a container as attachment, none at all", 30, {T(""), T(""), T(""), container},
       "ERROR: ShowMessageDialog: " + noHost},
      {"GetDialogValue before any message", 10, {T("to")}, ""},
      {"GetDialogValue of a container", 10, {container}, "ERROR: GetDialogValue: The 'Which' parameter must be text."},
      {"an id it does not serve", 40, {T("x")}, "ERROR: PluginFunctionCallback: Unknown Plug-in Function."},
  };
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.what);
    fmx::DataVect parameters;
    for (fmx::Data const& parameter : row.parameters) parameters.PushBack(parameter);
    fmx::Data result;
    EXPECT_EQ(0, PluginFunctionCallback(row.id, m_udtHost.Environment(), parameters, result));
    EXPECT_EQ(row.result, FmxTestHost::TextOf(result));
    EXPECT_EQ(m_shtHostFile, CurResFile());
  }
}

// At level Info the callback's tracer names the function it serves: its indent, the callback's
// name and the function's; the Configure callback likewise, the Version callback not.
TEST_F(PluginFunctionCallbackTest, TheFunctionNameGoesThroughTheTracerAtLevelInfo) {
  struct stcRow {
    short id;
    std::vector<fmx::Data> parameters;
    char const* line;  // the one Info line after its level; null: none
  } const rows[] = {
      {10, {T("to")}, " PluginFunctionCallback: GetDialogValue"},
      {20, {T("jane@example.test")}, " PluginFunctionCallback: SendMessage"},
      {30, {T(""), T(""), T(""), T(""), T(""), T(""), T(""), T(""), T("maybe")},
       " PluginFunctionCallback: ShowMessageDialog"},
      {1002, {T("GET"), T("Host"), T("x")}, " ConfigureCallback: Configure"},
      {1000, {}, nullptr},
  };
  for (stcRow const& row : rows) {
    SCOPED_TRACE(row.id);
    g_intDebugLevel = kDebugInfo;
    m_vecLogLines.clear();
    Call(row.id, row.parameters);
    g_intDebugLevel = kDebugNone;
    // Each line is the time, the level and the text; the Info lines are the ones asked about.
    std::vector<std::string> info;
    for (std::string const& line : m_vecLogLines)
      if (line.size() > 9 && line.compare(9, 5, "Info:") == 0) info.push_back(line.substr(14));
    std::vector<std::string> const expected =
        row.line ? std::vector<std::string>{std::string(" ") + row.line} : std::vector<std::string>{};
    EXPECT_EQ(expected, info);
  }
}

TEST_F(PluginFunctionCallbackTest, AHostCallThrowingInsideAWorkerLeavesACrashLog) {
  Settings(kSender);
  m_udtHost.ThrowOnNextCall(FmxTestHost::kCallEvaluate);
  std::string const result = Call(20, {T("jane@example.test"), T("Order <<$order>>")});
  EXPECT_EQ("ERROR: PluginFunctionCallback: Crash Log Generated: " +
                std::string(g_ustrCrashLogFileName.GetAnsiString(1).c_str()),
            result);
  EXPECT_EQ(m_shtHostFile, CurResFile());
  std::string const log = Read("/Desktop/Velmora Crash Log.txt");
  EXPECT_NE(std::string::npos, log.find("CrashingFunction: SendMessage")) << log;
  // The plug-in goes on answering.
  EXPECT_EQ("ERROR: SendMessage: Incorrect number of parameters.", Call(20, {T("jane@example.test")}));
}

}  // namespace
