// Tests of velmora-host's dialog answers and progress lines, in-process over the window server:
// the answers file read and refused, stock dialogs answered, a dialog opened from inside another
// one answered before the rest of its opener, tab pages picked, dialogs without an answer (or whose answer runs
// out or fails) cancelled and described, each open one in turn, file dialog answers queued, and the
// progress window's lines.
#include "host/HostDialogs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/clsMultiVar.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "dialogs/clsStatusWindow.h"
#include "host/HostProgress.h"
#include "platform/carbon/NavigationTesting.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }
std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }

class HostDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
  }
  void TearDown() override { WindowsResetForTesting(); }
};

TEST_F(HostDialogsTest, AnswersFilesAreReadOrRefusedByLine) {
  struct stcCase {
    char const* m_strText;
    char const* m_strRead;  // written back; null: refused
    char const* m_strError;
  } const cases[] = {
      {"# the compose dialog\n\ndialog\n  click 3 2\r\ntype  Hello, world  \nkey Return\nkey 9\n"
       "row 40 0\ndouble-click 40 +2\npick Insert Field\nclose\ndialog\nfile /tmp/a b.txt\nfile\n",
       "dialog\nclick 3 2\ntype Hello, world\nkey 13\nkey 9\nrow 40 0\ndouble-click 40 2\npick Insert Field\n"
       "close\ndialog\nfile /tmp/a b.txt\nfile\n",
       ""},
      {"", "", ""},
      {"click 1\n", nullptr, "line 1: click comes before the first 'dialog' line"},
      {"dialog\n\npress 1\n", nullptr, "line 3: unknown action 'press'"},
      {"dialog now\n", nullptr, "line 1: dialog takes nothing"},
      {"dialog\nclick\n", nullptr, "line 2: click needs a control id and may take an item number"},
      {"dialog\nclick 1 2 3\n", nullptr, "line 2: click needs a control id and may take an item number"},
      {"dialog\nclick 99999999999\n", nullptr, "line 2: click needs a control id and may take an item number"},
      {"dialog\nrow 40 -1\n", nullptr, "line 2: row needs a control id and a row from 0"},
      {"dialog\nkey Space\n", nullptr,
       "line 2: key needs Return, Enter, Escape, Tab, Backspace or a character code from 1 to 65535"},
      {"dialog\nkey 0\n", nullptr,
       "line 2: key needs Return, Enter, Escape, Tab, Backspace or a character code from 1 to 65535"},
      {"dialog\ntype   \n", nullptr, "line 2: type needs a text"},
      {"dialog\nclose box\n", nullptr, "line 2: close takes nothing"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strText);
    stcDialogAnswers answers;
    std::string error;
    bool const read = ParseDialogAnswers(c.m_strText, &answers, &error);
    EXPECT_EQ(c.m_strRead != nullptr, read);
    EXPECT_EQ(c.m_strError, error);
    if (read) {
      EXPECT_EQ(c.m_strRead, FormatDialogAnswers(answers));
    }
  }
}

stcDialogAnswers Answers(char const* text) {
  stcDialogAnswers answers;
  std::string error;
  EXPECT_TRUE(ParseDialogAnswers(text, &answers, &error)) << error;
  return answers;
}

TEST_F(HostDialogsTest, StockDialogsTakeTheirAnswersOrAreCancelledAndDescribed) {
  struct stcCase {
    char const* m_strAnswers;
    int m_intMessage, m_intInput;  // the two dialogs' results
    char const* m_strInput;        // what the input dialog's field held
    int m_intCancelled;
    char const* m_strReported;     // a text the report holds; null: no report
  } const cases[] = {
      {"dialog\nclick 1\ndialog\ntype alice\nkey Return\n", 1, 1, "alice", 0, nullptr},
      {"dialog\nkey Escape\ndialog\nclick 95\ntype bob\nclick 2\n", 2, 2, "bob", 0, nullptr},
      // no answers at all: Escape presses each dialog's Cancel
      {"", 2, 2, "", 2, "static text id 101 frame"},
      // the input dialog's answer runs out with the window still open
      {"dialog\nclick 1\ndialog\ntype carol\n", 1, 2, "carol", 1, "Your name?"},
      {"dialog\ndialog\n", 2, 2, "", 2, "Send it?"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strAnswers);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    std::ostringstream report;
    clsHostDialogs dialogs(Answers(c.m_strAnswers), report);
    EXPECT_EQ(c.m_intMessage, MessageDialog(U("Send it?"), kMsgDlgCancelOK, U("Velmora"), nullptr, UniString(), 0));
    UniString value;
    EXPECT_EQ(c.m_intInput, InputDialog(U("Your name?"), &value, false, U("Velmora"), 0));
    EXPECT_EQ(c.m_strInput, S(value));
    EXPECT_EQ(2, dialogs.ShownCount());
    EXPECT_EQ(c.m_intCancelled, dialogs.CancelledCount());
    if (c.m_strReported == nullptr) {
      EXPECT_EQ("", report.str());
    } else {
      EXPECT_NE(std::string::npos, report.str().find("no answer for this dialog; it is cancelled:\nwindow \"Velmora\""))
          << report.str();
      EXPECT_NE(std::string::npos, report.str().find(c.m_strReported)) << report.str();
    }
    EXPECT_TRUE(WindowsRefusalsForTesting().empty());
  }
}

// A modal window whose button 7 asks a question in a stock dialog before the window goes on.
class clsAskingWindow : public clsDWEvents {
 public:
  void ButtonClick(int32_t id, bool* close) override {
    if (id == 7) {
      m_intAnswer = MessageDialog(U("Really?"), m_enmAskType, UniString(), nullptr, UniString(), 0);
      *close = false;
    } else {
      m_intClosedBy = id;
    }
  }
  enumMsgDlgType m_enmAskType = kMsgDlgNoYes;
  int m_intAnswer = -1;
  int m_intClosedBy = -1;
};

TEST_F(HostDialogsTest, ADialogOpenedFromAnotherTakesTheNextAnswerFirstAndTabsArePicked) {
  std::ostringstream report;
  clsHostDialogs dialogs(Answers("dialog\nclick 101 2\nclick 7\nclick 101 1\nclick 5\ntype after\nclick 1\n"
                                 "dialog\nclick 3\n"),
                         report);
  // Two tab pages; the first one's edit field covers the middle of the tab control.
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  auto tabs = root.AddTabControl(101, 0, 0);
  tabs->AddTab(102, U("Text"), true, 0, 0)->AddEdit(5, UniString(), 300, 120, false, false, false, false);
  tabs->AddTab(106, U("Question"), true, 0, 0)->AddButton(7, U("Ask"), 0, 0, false, false, false);
  root.AddButton(1, U("OK"), 0, 0, true, false, true);
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(U("Asking"));
  clsAskingWindow events;
  clsDynamicWindow window;
  window.SetWindowType(1);
  window.SetEventsObject(&events);
  ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
  window.MyShow();
  EXPECT_EQ(3, events.m_intAnswer);
  EXPECT_EQ(1, events.m_intClosedBy);
  EXPECT_EQ("after", S(window.GetEditText(5)));
  EXPECT_EQ(2, dialogs.ShownCount());
  EXPECT_EQ(0, dialogs.CancelledCount());
  EXPECT_EQ("", report.str());
  EXPECT_TRUE(WindowsRefusalsForTesting().empty());
}

// The window cancelled in turn after the notice it opened, and answers the window server refuses:
// no modal loop is ever left to the idle policy.
TEST_F(HostDialogsTest, AnswersThatRunOutOrFailCancelEachOpenDialogInTurn) {
  struct stcCase {
    char const* m_strAnswers;
    int m_intAnswer;    // the notice's result; -1: not shown
    int m_intClosedBy;  // the window's button
    int m_intCancelled, m_intFailed;
    char const* m_strReported;
  } const cases[] = {
      // the notice has only OK: it is dismissed with it, then the window is cancelled
      {"dialog\nclick 7\n", 1, 2, 2, 0, "no answer for this dialog; it is cancelled:\nwindow \"Asking\""},
      {"dialog\nclick 999\nclick 1\n", -1, 2, 0, 1,
       "could not do: click 999: no such control\nvelmora-host: the answer for this dialog failed"},
      {"dialog\nclick 7\nclick 1\ndialog\nrow 5 0\n", 1, 1, 0, 1, "could not do: row click 5"},
  };
  for (stcCase const& c : cases) {
    SCOPED_TRACE(c.m_strAnswers);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    std::ostringstream report;
    clsHostDialogs dialogs(Answers(c.m_strAnswers), report);
    clsDWLayoutObject root;
    root.MakeMeAVBox(100, UniString(), 0, false);
    root.AddButton(7, U("Ask"), 0, 0, false, false, false);
    root.AddButton(2, U("Cancel"), 0, 0, false, true, true);
    root.AddButton(1, U("OK"), 0, 0, true, false, true);
    clsDWLayout layout;
    layout.SetLayout(root);
    layout.SetTitle(U("Asking"));
    clsAskingWindow events;
    events.m_enmAskType = kMsgDlgOK;
    clsDynamicWindow window;
    window.SetWindowType(1);
    window.SetEventsObject(&events);
    ASSERT_TRUE(window.BuildWindow(layout, 0, 0, 0, 0));
    EXPECT_NO_THROW(window.MyShow());
    EXPECT_EQ(c.m_intAnswer, events.m_intAnswer);
    EXPECT_EQ(c.m_intClosedBy, events.m_intClosedBy);
    EXPECT_EQ(c.m_intCancelled, dialogs.CancelledCount());
    EXPECT_EQ(c.m_intFailed, dialogs.FailedCount());
    EXPECT_NE(std::string::npos, report.str().find(c.m_strReported)) << report.str();
    EXPECT_EQ(std::vector<std::string>(), WindowsPolicyStepsForTesting());
  }
}

TEST_F(HostDialogsTest, FileDialogAnswersAreQueuedInOrder) {
  NavTestReset();
  std::ostringstream report;
  clsHostDialogs dialogs(Answers("file /tmp/one.txt\nfile\n"), report);
  EXPECT_EQ(2u, NavTestQueuedRuns());
  NavTestReset();
}

// A text buffer that tells when it was flushed: every look of the watcher ends with a flush.
class clsFlushSignal : public std::stringbuf {
 public:
  bool WaitForFlush(std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(m_mtxFlushes);
    return m_cndFlushed.wait_for(lock, limit, [this] { return m_intFlushes > 0; });
  }

 protected:
  int sync() override {
    std::lock_guard<std::mutex> guard(m_mtxFlushes);
    ++m_intFlushes;
    m_cndFlushed.notify_all();
    return std::stringbuf::sync();
  }

 private:
  std::mutex m_mtxFlushes;
  std::condition_variable m_cndFlushed;
  int m_intFlushes = 0;
};

TEST_F(HostDialogsTest, TheProgressWindowIsPrintedWhenWhatItShowsChanges) {
  clsFlushSignal buffer;
  std::ostream out(&buffer);
  clsHostProgress progress(out, std::chrono::hours(1));  // looks only when asked, and at the stop
  // The watcher's own first look, made as it starts, is over before there is anything to see:
  // otherwise it may fall between the two changes of one status report.
  ASSERT_TRUE(buffer.WaitForFlush(std::chrono::seconds(10)));
  clsStatusWindow status;
  status.Show();
  progress.Poll();
  clsMultiVar report;
  report.SetStringVar(U("Text"), U("Sending Message..."));
  report.SetVar(U("Progress"), U("40"));
  status.UpdateStatus(&report);
  progress.Poll();
  progress.Poll();  // nothing changed
  status.Hide();
  progress.Stop();
  EXPECT_EQ("progress: Velmora Status: Idle. | 0%\n"
            "progress: Velmora Status: Sending Message... | 40%\n"
            "progress: Velmora Status: closed\n",
            buffer.str());
}

}  // namespace
