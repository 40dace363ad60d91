// HostDialogs: what the person at velmora-host does in the plug-in's modal dialogs, read from an
// answers file and played through the window server's driver; a dialog without an answer is
// cancelled and described on the error stream.
// Answers file, one line each (blank lines and lines beginning with '#' skipped):
//   dialog               starts the answer to the next modal dialog shown (a dialog opened from
//                        another one is the next dialog too: its answer is played before the
//                        rest of the one that opened it)
//   click ID [ITEM]      clicks the control with that id (tabs: ITEM the 1-based tab; sliders:
//                        the value)
//   row ID ROW           clicks row ROW (0-based, as shown) of a list
//   double-click ID ROW  double-clicks it
//   type TEXT            types the rest of the line (blanks at its ends dropped)
//   key KEY              presses a key: Return, Enter, Escape, Tab, Backspace or a character code
//   pick TEXT            chooses the menu item of that text (after a click on a pop-up button: in
//                        its menu)
//   close                clicks the window's close box
//   file PATH            the next file dialog chooses PATH; "file" alone cancels it (file
//                        dialogs take these in order, apart from the window answers)
// Interface: ParseDialogAnswers / FormatDialogAnswers (the file, read and written back);
// clsHostDialogs, which takes the window server's show hook while it lives: each modal window
// shown takes the next answer, one action at a time, each performed when the window's modal loop
// asks for the next user action. When a dialog's answer runs out (or it had none) and the window
// is still in front, it is described on the report stream and cancelled: Escape, then its close
// box, then (a notice with only OK) its default button, each only while it stays in front; once
// it is gone, the dialog that opened it takes its next step, so each open dialog is cancelled in
// turn. A window that outlives all of them is left to the window server's idle policy. An action
// the window server cannot do (no such control, a hidden one, no such menu item) ends its
// dialog's answer: it is reported with the window, which is then cancelled, and counted.
// Relies on the window server's driver (platform/carbon/WindowsTesting.h) and the file dialogs'
// test script (platform/carbon/NavigationTesting.h); runs on the thread that shows the dialogs.
// Parsing fails with "line N: ..." and no answers; nothing here throws except std::bad_alloc.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/carbon/MacWindows.h"

struct stcDialogAction {
  enum enumKind { kClick, kRow, kDoubleClick, kType, kKey, kPick, kClose };
  enumKind m_enmKind = kClick;
  int m_intID = 0;    // control id
  int m_intItem = 0;  // click: tab or slider value; row: the row; key: the character code
  std::string m_strText;  // type, pick
};

struct stcDialogAnswers {
  std::vector<std::vector<stcDialogAction>> m_vecDialogs;  // in the order the dialogs show
  struct stcFileAnswer {
    bool m_bolChoose = false;
    std::string m_strPath;
  };
  std::vector<stcFileAnswer> m_vecFiles;  // in the order the file dialogs run
};

bool ParseDialogAnswers(std::string const& text, stcDialogAnswers* answers, std::string* error);
// The answers as a file that reads back the same (window answers first, then file answers).
std::string FormatDialogAnswers(stcDialogAnswers const& answers);

class clsHostDialogs {
 public:
  // Takes the show hook and queues the file answers; report receives the cancelled dialogs.
  clsHostDialogs(stcDialogAnswers answers, std::ostream& report);
  // Gives the show hook back.
  ~clsHostDialogs();
  clsHostDialogs(clsHostDialogs const&) = delete;
  clsHostDialogs& operator=(clsHostDialogs const&) = delete;

  // Writes what the window server could not do of the answers since the last call ("velmora-host:
  // could not do: <action>: <reason>", one line each) to the report stream.
  void ReportRefusals();

  // How many modal dialogs were shown, and how many of them were cancelled for want of an answer.
  int ShownCount() const { return m_intShown; }
  int CancelledCount() const { return m_intCancelled; }
  // How many answers had an action the window server refused (those dialogs are cancelled too).
  int FailedCount() const { return m_intFailed; }

 private:
  struct stcOpen {
    std::vector<stcDialogAction> m_vecLeft;  // the answer's actions not yet queued, in order
    size_t m_intNext = 0;
    int m_intCancelSteps = 0;  // the cancelling steps taken: Escape, close box, default button
    bool m_bolFailed = false;  // an action of its answer was refused
  };
  void Shown(WindowRef window);
  void Step();
  void QueueStep();

  std::vector<std::vector<stcDialogAction>> m_vecDialogs;
  size_t m_intNextDialog = 0;
  std::map<WindowRef, stcOpen> m_mapOpen;
  std::ostream& m_refReport;
  bool m_blnStepQueued = false;
  size_t m_intRefusalsReported = 0;
  size_t m_intRefusalsSeen = 0;           // by the last step
  WindowRef m_hLastAnswered = nullptr;  // whose answer's actions the last step queued
  int m_intShown = 0;
  int m_intCancelled = 0;
  int m_intFailed = 0;
};
