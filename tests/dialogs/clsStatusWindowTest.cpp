// Tests of the progress window's status reports: what is taken from a report, and that reports
// reaching a closed window change nothing.
#include "dialogs/clsStatusWindow.h"

#include <gtest/gtest.h>

#include "core/clsMultiVar.h"

namespace {

struct stcReportCase {
  char const* m_strName;
  bool m_bolOpen;
  char const* m_strText;  // null: no "Text" entry
  char const* m_strProgress;  // null: no "Progress" entry
  char const* m_strExpectText;
  int32_t m_intExpectProgress;
  int32_t m_intExpectCount;
};

TEST(clsStatusWindowTest, ReportsReachOnlyAnOpenWindow) {
  stcReportCase const cases[] = {
      {"closed window ignores", false, "Sending...", "40", "Idle.", 0, 0},
      {"text and progress", true, "Sending...", "40", "Sending...", 40, 1},
      {"progress alone keeps the text", true, nullptr, "40", "Idle.", 40, 1},
      {"text alone keeps the progress", true, "Connecting...", nullptr, "Connecting...", 0, 1},
      {"progress given as text", true, "x", "\"75\"", "x", 75, 1},
      {"indeterminate progress", true, "x", "-1", "x", -1, 1},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    clsStatusWindow window;
    if (c.m_bolOpen) window.Show();
    clsMultiVar status;
    if (c.m_strText != nullptr) status.SetStringVar(UniString("Text"), UniString(c.m_strText));
    if (c.m_strProgress != nullptr) status.SetVar(UniString("Progress"), UniString(c.m_strProgress));
    window.UpdateStatus(&status);
    window.UpdateStatus(nullptr);
    EXPECT_EQ(window.StatusText(), UniString(c.m_strExpectText));
    EXPECT_EQ(window.Progress(), c.m_intExpectProgress);
    EXPECT_EQ(window.UpdateCount(), c.m_intExpectCount);
  }
}

}  // namespace
