// Tests of the entry point through the host model: Init's answers and the shutdown after a
// refusal, GetString's texts and the bound on the caller's buffer, idle levels, ignored call
// codes, and a crash inside a call: a crash log naming the call
// code and the host's resource file current again.
#include "plugin/frame/PluginMain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/PluginGlobals.h"
#include "plugin/frame/clsFMPScripts.h"
#include "plugin/frame/clsPluginVars.h"
#include "tests/plugin/PluginFrameFixture.h"

namespace {

std::vector<fmx::int16> const kAllIds = {10, 20, 30, 1000, 1003, 1002};

std::vector<fmx::int16> RegisteredIds(FmxTestHost const& host) {
  std::vector<fmx::int16> ids;
  for (auto const& function : host.Functions()) ids.push_back(function.functionId);
  return ids;
}

class PluginMainTest : public PluginFrameFixture {};

TEST_F(PluginMainTest, InitChecksTheHostAndShutsDownWhateverItRefuses) {
  struct stcCase {
    fmx::int16 api;
    fmx::uchar type;
    fmx::int16 refuse;  // a function id the host refuses, 0 for none
    FMX_IntPtr answer;
    char const* trace;
  } const cases[] = {
      {49, 1, 0, -1, "Cannot load: Wrong API version."},
      {256, 1, 0, -1, "Cannot load: Wrong API version."},
      {50, 2, 0, 51, nullptr},
      {255, 0, 0, 51, nullptr},
      {51, 3, 0, -2, "Cannot load: Wrong FM Application. (Client-side plug-in attempting to be loaded on server.)"},
      {51, 1, 20, -2, nullptr},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(std::to_string(c.api) + "/" + std::to_string(c.type) + "/" + std::to_string(c.refuse));
    FmxTestHost host;
    host.SetEntryPoint(FMExternCallProc);
    host.SetResourceID(m_shtPluginFile);
    if (c.refuse) host.RefuseRegistration(c.refuse, 960);
    g_intDebugLevel = kDebugError;
    m_vecLogLines.clear();
    EXPECT_EQ(c.answer, host.Init(c.api, c.type));
    if (c.trace) {
      EXPECT_EQ(1u, LinesWith(c.trace));
    }
    if (c.answer == 51) {
      EXPECT_EQ(kAllIds, RegisteredIds(host));
      EXPECT_NE(nullptr, m_udtPluginVars);
      EXPECT_EQ(c.type, g_fudtFMProduct);
      host.Shutdown();
    } else {
      // The shutdown ran at once: every id unregistered, the File functions' first (after
      // GetDialogValue alone got in), no plug-in state, the debug log switched off.
      std::vector<fmx::int16> const& requests = host.UnregisterRequests();
      ASSERT_GT(requests.size(), kAllIds.size());
      EXPECT_EQ(kAllIds, std::vector<fmx::int16>(requests.end() - kAllIds.size(), requests.end()));
      EXPECT_TRUE(host.Functions().empty());
      EXPECT_FALSE(g_bolDebugInitialized);
    }
    EXPECT_EQ(nullptr, m_udtPluginVars);
    EXPECT_EQ(m_shtHostFile, CurResFile());
  }
}

TEST_F(PluginMainTest, GetStringWritesItsTextsWithinTheCallersBuffer) {
  g_intDebugLevel = kDebugFull;
  EXPECT_EQ("Velmora", m_udtHost.GetString(128));
  EXPECT_EQ("Velmora 1.1.3 - An easy to use Email Plug-in for FileMaker Pro.", m_udtHost.GetString(129));
  EXPECT_EQ("QRVe1YnYYnn", m_udtHost.GetString(131));

  struct stcCase {
    fmx::uchar id;
    FMX_IntPtr units;  // parameter 3
    std::u16string written;
  } const cases[] = {
      {130, 16, u""},
      {129, 16, u"Velmora 1.1.3 -"},
      {128, 8, u"Velmora"},
      {128, 7, u"Velmor"},
      {128, 1, u""},
      {131, 0, u"QRVe1YnYYnn"},  // no size: the whole text
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(std::to_string(c.id) + "/" + std::to_string(c.units));
    std::vector<fmx::unichar16> buffer(80, 0xBEEF);
    m_udtHost.Call(kFMXT_GetString, c.id, 0, c.units, reinterpret_cast<FMX_IntPtr>(buffer.data()));
    size_t const written = c.id == 130 ? 0 : c.written.size() + 1;
    for (size_t i = 0; i < c.written.size(); ++i) EXPECT_EQ(c.written[i], buffer[i]);
    if (written > 0) {
      EXPECT_EQ(0, buffer[c.written.size()]);
    }
    for (size_t i = written; i < buffer.size(); ++i) ASSERT_EQ(0xBEEF, buffer[i]) << "unit " << i << " overwritten";
  }
  EXPECT_EQ(1u, LinesWith("Unknown ID: 130"));
  EXPECT_EQ(m_shtHostFile, CurResFile());
}

// Each idle call below level 4 runs one script event and, when the host lends an environment,
// one SQL statement.
TEST_F(PluginMainTest, IdleAsksForTheEnvironmentOnlyAtLevelsBelowFour) {
  ASSERT_TRUE(Start());
  m_ulstSQLQueue = new UniStringList;
  m_ulstSQLQueue->Add(UniString("SELECT 1"));
  m_ulstSQLQueue->Add(UniString("SELECT 2"));
  m_ulstSQLQueue->Add(UniString("SELECT 3"));
  for (char const* script : {"first", "second", "third"}) {
    clsFMPScriptItem* item = new clsFMPScriptItem;
    item->m_enmType = kScriptEventImmediate;
    item->m_ustrFileName = UniString("Orders");
    item->m_ustrScriptName = UniString(script);
    if (g_udtFMPScripts.m_udtLastImmediate)
      g_udtFMPScripts.m_udtLastImmediate->m_udtNext = item;
    else
      g_udtFMPScripts.m_udtFirstImmediate = item;
    g_udtFMPScripts.m_udtLastImmediate = item;
  }
  auto started = [this] {
    std::string names;
    for (auto const& request : m_udtHost.ScriptRequests()) names += (names.empty() ? "" : " ") + request.scriptName;
    return names;
  };

  m_udtHost.Idle(4);
  EXPECT_EQ(0, m_udtHost.CurrentEnvRequests());
  EXPECT_EQ("", started());
  m_udtHost.Idle(0);
  EXPECT_EQ("first", started());
  ASSERT_EQ(1u, m_udtHost.SQLRequests().size());
  EXPECT_EQ("SELECT 1", m_udtHost.SQLRequests()[0].statement);
  m_udtHost.SetCurrentEnvError(1);
  m_udtHost.Idle(0);
  EXPECT_EQ(2, m_udtHost.CurrentEnvRequests());
  EXPECT_EQ("first second", started()) << "the script queue does not wait for an environment";
  EXPECT_EQ(1u, m_udtHost.SQLRequests().size()) << "no environment: the statements wait";
  m_udtHost.SetCurrentEnvError(0);
  m_udtHost.Idle(3);
  EXPECT_EQ("first second third", started());
  ASSERT_EQ(2u, m_udtHost.SQLRequests().size());
  EXPECT_EQ("SELECT 2", m_udtHost.SQLRequests()[1].statement);
  EXPECT_EQ(1u, m_ulstSQLQueue->Count());

  // Codes the entry point does not handle change nothing and leave the host's file current.
  for (fmx::uchar code : {fmx::uchar(2), fmx::uchar(6), fmx::uchar(8), fmx::uchar(200)}) {
    m_udtHost.Call(code, 0, 0, 0, 12345);
    EXPECT_EQ(12345, m_udtHost.CallBlock().result);
    EXPECT_EQ(m_shtHostFile, CurResFile());
  }
  EXPECT_EQ(3, m_udtHost.CurrentEnvRequests());
  Stop();
  EXPECT_EQ(nullptr, m_ulstSQLQueue) << "the shutdown deletes the statement list";
}

TEST_F(PluginMainTest, ACrashInACallIsLoggedAndLeavesTheHostsFileCurrent) {
  ASSERT_TRUE(Start());
  m_udtHost.ThrowOnNextCall(FmxTestHost::kCallCurrentEnv);
  m_udtHost.Idle(1);
  EXPECT_EQ(m_shtHostFile, CurResFile());
  std::string const log = Read("/Desktop/Velmora Crash Log.txt");
  EXPECT_NE(std::string::npos, log.find("CrashingFunction: kFMXT_Idle")) << log;
  m_udtHost.Idle(1);  // the plug-in goes on working
  EXPECT_EQ(1, m_udtHost.CurrentEnvRequests());
}

}  // namespace
