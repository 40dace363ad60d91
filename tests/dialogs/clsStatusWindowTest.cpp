// Tests of the progress window through the window server: what a status report changes on screen
// and in the debug log, reports reaching a closed window, titles, a server host, a window that
// cannot be built, and the close event keeping the window's place in the preferences.
#include "dialogs/clsStatusWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "core/clsMultiVar.h"
#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/CarbonEvents.h"
#include "platform/carbon/WindowsTesting.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"
#include "tests/support/StockDialogTesting.h"
#include "tests/support/TempFileSystemRoot.h"

namespace {

class clsStatusWindowTest : public clsTempFileSystemRootTest {
 protected:
  void SetUp() override {
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    InitDebug();
    m_intLevel = g_intDebugLevel;
    g_intDebugLevel = kDebugFull;
    g_ulstDebugBackLog->Clear();
  }
  void TearDown() override {
    g_intDebugLevel = m_intLevel;
    g_fudtFMProduct = 0;
    WindowsResetForTesting();
    if (!m_strRoot.empty()) RemoveRoot();
  }
  static std::vector<std::string> StatusLogLines() {
    std::vector<std::string> lines;
    for (UniString const& line : *g_ulstDebugBackLog) {
      std::string const text = line.GetAnsiString(1).c_str();
      size_t const at = text.find("StatusWindow: ");
      if (at != std::string::npos) lines.push_back(text.substr(at));
    }
    return lines;
  }
  int32_t m_intLevel = 0;
};

stcControlInfoForTesting View(clsStatusWindow const& status, SInt32 id) {
  stcControlInfoForTesting info{};
  EXPECT_NE(nullptr, status.Window());
  if (status.Window() != nullptr) {
    WindowsControlInfoForTesting(WindowsFindControlForTesting(status.Window()->GetWindowRef(), id), &info);
  }
  return info;
}

std::string Title(clsStatusWindow const& status) {
  stcWindowInfoForTesting info{};
  WindowsInfoForTesting(status.Window()->GetWindowRef(), &info);
  return info.m_strTitle;
}

struct stcReportCase {
  char const* m_strName;
  bool m_bolOpen;
  char const* m_strText;      // null: no "Text" entry
  char const* m_strProgress;  // null: no "Progress" entry
  char const* m_strExpectText;
  int32_t m_intExpectProgress;
  int32_t m_intExpectCount;
  char const* m_strPercent;   // label 103 afterwards
  bool m_blnIndeterminate;
  std::vector<std::string> m_vecLog;
};

TEST_F(clsStatusWindowTest, ReportsReachOnlyAnOpenWindow) {
  stcReportCase const cases[] = {
      {"closed window ignores", false, "Sending...", "40", "Idle.", 0, 0, "0%", false, {}},
      {"text and progress", true, "Sending...", "40", "Sending...", 40, 1, "40%", false,
       {"StatusWindow: Text: Sending...; Progress: 40%"}},
      {"progress alone keeps the text", true, nullptr, "40", "Idle.", 40, 1, "40%", false,
       {"StatusWindow: Progress: 40%"}},
      {"text alone keeps the progress", true, "Connecting...", nullptr, "Connecting...", 0, 1, "0%",
       false, {"StatusWindow: Text: Connecting..."}},
      {"progress 0 is not logged", true, "x", "0", "x", 0, 1, "0%", false, {"StatusWindow: Text: x"}},
      {"progress given as text", true, "x", "\"75\"", "x", 75, 1, "75%", false,
       {"StatusWindow: Text: x; Progress: 75%"}},
      {"indeterminate progress", true, "x", "-1", "x", -1, 1, "", true,
       {"StatusWindow: Text: x; Progress: indeterminate"}},
      {"neither entry", true, nullptr, nullptr, "Idle.", 0, 1, "0%", false, {}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    g_ulstDebugBackLog->Clear();
    clsStatusWindow window;
    window.Show();
    if (!c.m_bolOpen) window.Hide();
    clsMultiVar status;
    if (c.m_strText != nullptr) status.SetStringVar(UniString("Text"), UniString(c.m_strText));
    if (c.m_strProgress != nullptr) status.SetVar(UniString("Progress"), UniString(c.m_strProgress));
    status.SetStringVar(UniString("Other"), UniString("never read"));
    window.UpdateStatus(&status);
    window.UpdateStatus(nullptr);
    EXPECT_EQ(window.StatusText(), UniString(c.m_strExpectText));
    EXPECT_EQ(window.Progress(), c.m_intExpectProgress);
    EXPECT_EQ(window.UpdateCount(), c.m_intExpectCount);
    EXPECT_EQ(c.m_vecLog, StatusLogLines());
    EXPECT_EQ(c.m_strExpectText, View(window, 101).m_strText);
    EXPECT_EQ(c.m_strPercent, View(window, 103).m_strText);
    EXPECT_EQ(c.m_blnIndeterminate, View(window, 102).m_blnIndeterminate);
    if (!c.m_blnIndeterminate) {
      EXPECT_EQ(std::max(0, c.m_intExpectProgress), View(window, 102).m_intValue);
    }
  }
}

TEST_F(clsStatusWindowTest, AFloatingWindowThatWidensAndTakesItsTitle) {
  clsStatusWindow window;
  EXPECT_EQ(nullptr, window.Window());  // made on the first Show
  window.SetCustomTitle(UniString("  Sending mail \t"));
  EXPECT_TRUE(window.UsingCustomTitle());
  window.Show();
  ASSERT_TRUE(window.IsOpen());
  stcWindowInfoForTesting info{};
  ASSERT_TRUE(WindowsInfoForTesting(window.Window()->GetWindowRef(), &info));
  EXPECT_EQ(kFloatingWindowClass, info.m_ulngClass);
  EXPECT_TRUE(info.m_blnVisible);
  EXPECT_EQ("Sending mail", info.m_strTitle);
  EXPECT_EQ(3000, info.m_udtMaxSize.width);
  EXPECT_EQ(info.m_udtMinSize.height, info.m_udtMaxSize.height);
  EXPECT_GE(View(window, 101).m_intWidth, 250);
  // A blank title stores nothing and the open window shows the product's status title.
  window.SetCustomTitle(UniString("   "));
  EXPECT_FALSE(window.UsingCustomTitle());
  EXPECT_EQ("Velmora Status", Title(window));
  // Hiding keeps the window for the next Show.
  clsDynamicWindow* const made = window.Window();
  window.Hide();
  EXPECT_FALSE(window.IsOpen());
  window.Show();
  EXPECT_EQ(made, window.Window());
  EXPECT_EQ(1u, WindowsListForTesting().size());
}

TEST_F(clsStatusWindowTest, ServerHostsAndBuildFailuresLeaveNoWindow) {
  clsStatusWindow window;
  g_fudtFMProduct = 3;
  window.Show();
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(nullptr, window.Window());
  g_fudtFMProduct = 1;
  clsStockDialogRecorder dialogs;
  WindowsFailForTesting(kWindowsFailCreateWindow, 1);
  window.Show();  // the message dialog is answered by Return
  EXPECT_FALSE(window.IsOpen());
  EXPECT_EQ(nullptr, window.Window());
  ASSERT_EQ(1u, dialogs.Shown().size());
  EXPECT_EQ("Could not build status window!", dialogs.Shown()[0].m_strText);
  window.Show();  // tries again
  EXPECT_TRUE(window.IsOpen());
  EXPECT_EQ("Idle.", View(window, 101).m_strText);
}

TEST_F(clsStatusWindowTest, ClosingKeepsTheWindowsPlaceInThePreferences) {
  ASSERT_TRUE(MakeRoot("velmora-status", {"/prefs"}));
  ASSERT_EQ(noErr, InstallRoot());
  ASSERT_EQ(noErr, FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs"));
  clsStatusWindow window;
  int left = -1, top = -1;
  window.GetCoords(&left, &top);
  EXPECT_EQ(0, left);
  EXPECT_EQ(0, top);
  window.Show();
  WindowsQueueMoveWindowForTesting(300, 200);
  WindowsDispatchAllForTesting();
  window.GetCoords(&left, nullptr);
  EXPECT_EQ(300, left);
  // The window floats without a close box; the close event reaches it as the system sends it.
  WindowRef const ref = window.Window()->GetWindowRef();
  EventRef event = nullptr;
  ASSERT_EQ(noErr, CreateEvent(nullptr, kEventClassWindow, kEventWindowClose, 0, kEventAttributeNone, &event));
  SetEventParameter(event, kEventParamDirectObject, typeWindowRef, sizeof ref, &ref);
  EXPECT_EQ(noErr, SendEventToEventTarget(event, GetWindowEventTarget(ref)));
  ReleaseEvent(event);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_FALSE(IsWindowVisible(ref));
  EXPECT_EQ(300, g_udtPrefs.GetIntegerPref(UniString("LastStatusLeft"), -1));
  EXPECT_EQ(200, g_udtPrefs.GetIntegerPref(UniString("LastStatusTop"), -1));
  std::string const saved = Read("/prefs/QRV/Velmora/1.1/Velmora Prefs");
  EXPECT_NE(std::string::npos, saved.find("LastStatusLeft=300")) << saved;
  EXPECT_NE(std::string::npos, saved.find("LastStatusTop=200")) << saved;
}

}  // namespace
