// HostDialogs: the answers file read line by line, and the answers played one action at a time.
// Only one step of ours waits in the driver's queue at any time, so a dialog that opens from
// inside another one's action gets its answer played first; a pick that follows an action is
// queued with it, so a pop-up menu opened by the action takes it.
#include "host/HostDialogs.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "platform/carbon/NavigationTesting.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

struct stcKeyName {
  char const* m_strName;
  int m_intCode;
};
stcKeyName const kKeyNames[] = {{"Return", 13}, {"Enter", 3}, {"Escape", 27}, {"Tab", 9}, {"Backspace", 8}};

bool ReadInt(std::string const& text, int* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long const number = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || number < INT_MIN || number > INT_MAX) return false;
  *value = int(number);
  return true;
}

std::vector<std::string> Words(std::string const& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// The line's action; empty error when it is one.
bool ReadAction(std::string const& verb, std::string const& rest, stcDialogAction* action, std::string* error) {
  std::vector<std::string> const args = Words(rest);
  auto numbers = [&](size_t least, size_t most) {
    if (args.size() < least || args.size() > most) return false;
    if (!args.empty() && !ReadInt(args[0], &action->m_intID)) return false;
    return args.size() < 2 || ReadInt(args[1], &action->m_intItem);
  };
  if (verb == "click") {
    action->m_enmKind = stcDialogAction::kClick;
    if (!numbers(1, 2)) *error = "click needs a control id and may take an item number";
  } else if (verb == "row" || verb == "double-click") {
    action->m_enmKind = verb == "row" ? stcDialogAction::kRow : stcDialogAction::kDoubleClick;
    if (!numbers(2, 2) || action->m_intItem < 0) *error = verb + " needs a control id and a row from 0";
  } else if (verb == "type" || verb == "pick") {
    action->m_enmKind = verb == "type" ? stcDialogAction::kType : stcDialogAction::kPick;
    action->m_strText = rest;
    if (rest.empty()) *error = verb + " needs a text";
  } else if (verb == "key") {
    action->m_enmKind = stcDialogAction::kKey;
    bool found = args.size() == 1;
    if (found) {
      found = false;
      for (stcKeyName const& key : kKeyNames) {
        if (args[0] == key.m_strName) {
          action->m_intItem = key.m_intCode;
          found = true;
        }
      }
      if (!found) found = ReadInt(args[0], &action->m_intItem) && action->m_intItem > 0 && action->m_intItem <= 0xFFFF;
    }
    if (!found) *error = "key needs Return, Enter, Escape, Tab, Backspace or a character code from 1 to 65535";
  } else if (verb == "close") {
    action->m_enmKind = stcDialogAction::kClose;
    if (!args.empty()) *error = "close takes nothing";
  } else {
    *error = "unknown action '" + verb + "'";
  }
  return error->empty();
}

bool IsModal(WindowRef window) {
  stcWindowInfoForTesting info{};
  if (window == nullptr || !WindowsInfoForTesting(window, &info) || !info.m_blnVisible) return false;
  return info.m_ulngModality != kWindowModalityNone || info.m_ulngClass == kAlertWindowClass ||
         info.m_ulngClass == kMovableAlertWindowClass || info.m_ulngClass == kModalWindowClass ||
         info.m_ulngClass == kMovableModalWindowClass;
}

void Queue(stcDialogAction const& action) {
  switch (action.m_enmKind) {
    case stcDialogAction::kClick:
      WindowsQueueClickForTesting(action.m_intID, action.m_intItem);
      break;
    case stcDialogAction::kRow:
      WindowsQueueClickRowForTesting(action.m_intID, action.m_intItem);
      break;
    case stcDialogAction::kDoubleClick:
      WindowsQueueDoubleClickRowForTesting(action.m_intID, action.m_intItem);
      break;
    case stcDialogAction::kType:
      WindowsQueueTypeForTesting(action.m_strText.c_str());
      break;
    case stcDialogAction::kKey:
      WindowsQueueKeyForTesting(UniChar(action.m_intItem));
      break;
    case stcDialogAction::kPick:
      WindowsQueueMenuPickForTesting(action.m_strText.c_str());
      break;
    case stcDialogAction::kClose:
      WindowsQueueCloseBoxForTesting();
      break;
  }
}

}  // namespace

bool ParseDialogAnswers(std::string const& text, stcDialogAnswers* answers, std::string* error) {
  stcDialogAnswers read;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line.erase(line.find_last_not_of(" \t\r") + 1);
    size_t const first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    size_t const verbEnd = std::min(line.find_first_of(" \t", first), line.size());
    std::string const verb = line.substr(first, verbEnd - first);
    size_t const restAt = line.find_first_not_of(" \t", verbEnd);
    std::string const rest = restAt == std::string::npos ? std::string() : line.substr(restAt);
    std::string problem;
    if (verb == "dialog") {
      if (!rest.empty()) problem = "dialog takes nothing";
      else read.m_vecDialogs.emplace_back();
    } else if (verb == "file") {
      read.m_vecFiles.push_back({!rest.empty(), rest});
    } else {
      stcDialogAction action;
      if (ReadAction(verb, rest, &action, &problem)) {
        if (read.m_vecDialogs.empty()) problem = verb + " comes before the first 'dialog' line";
        else read.m_vecDialogs.back().push_back(action);
      }
    }
    if (!problem.empty()) {
      *error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  *answers = std::move(read);
  return true;
}

std::string FormatDialogAnswers(stcDialogAnswers const& answers) {
  std::string out;
  for (std::vector<stcDialogAction> const& dialog : answers.m_vecDialogs) {
    out += "dialog\n";
    for (stcDialogAction const& action : dialog) {
      switch (action.m_enmKind) {
        case stcDialogAction::kClick:
          out += "click " + std::to_string(action.m_intID) + " " + std::to_string(action.m_intItem);
          break;
        case stcDialogAction::kRow:
        case stcDialogAction::kDoubleClick:
          out += std::string(action.m_enmKind == stcDialogAction::kRow ? "row " : "double-click ") +
                 std::to_string(action.m_intID) + " " + std::to_string(action.m_intItem);
          break;
        case stcDialogAction::kType:
          out += "type " + action.m_strText;
          break;
        case stcDialogAction::kKey:
          out += "key " + std::to_string(action.m_intItem);
          break;
        case stcDialogAction::kPick:
          out += "pick " + action.m_strText;
          break;
        case stcDialogAction::kClose:
          out += "close";
          break;
      }
      out += "\n";
    }
  }
  for (stcDialogAnswers::stcFileAnswer const& file : answers.m_vecFiles) {
    out += file.m_bolChoose ? "file " + file.m_strPath + "\n" : "file\n";
  }
  return out;
}

clsHostDialogs::clsHostDialogs(stcDialogAnswers answers, std::ostream& report)
    : m_vecDialogs(std::move(answers.m_vecDialogs)), m_refReport(report) {
  for (stcDialogAnswers::stcFileAnswer const& file : answers.m_vecFiles) {
    NavTestQueueRun(file.m_bolChoose ? NavTestChoose(file.m_strPath) : NavTestCancel());
  }
  WindowsSetShowHookForTesting([this](WindowRef window) { Shown(window); });
}

clsHostDialogs::~clsHostDialogs() { WindowsSetShowHookForTesting(nullptr); }

void clsHostDialogs::ReportRefusals() {
  std::vector<std::string> const refusals = WindowsRefusalsForTesting();
  for (size_t i = m_intRefusalsReported; i < refusals.size(); ++i)
    m_refReport << "velmora-host: could not do: " << refusals[i] << "\n";
  m_intRefusalsReported = refusals.size();
  m_refReport.flush();
}

void clsHostDialogs::Shown(WindowRef window) {
  if (!IsModal(window)) return;
  ++m_intShown;
  stcOpen open;
  if (m_intNextDialog < m_vecDialogs.size()) open.m_vecLeft = std::move(m_vecDialogs[m_intNextDialog++]);
  m_mapOpen[window] = std::move(open);
  QueueStep();
}

void clsHostDialogs::QueueStep() {
  if (m_blnStepQueued) return;
  m_blnStepQueued = true;
  WindowsQueueCallForTesting([this]() { Step(); });
}

// Runs as a user action: the front modal window gets its next action, or is cancelled. An action
// of its answer that the window server refused ends the answer: the rest of it was written for a
// window in another state.
void clsHostDialogs::Step() {
  m_blnStepQueued = false;
  WindowRef const window = FrontNonFloatingWindow();
  if (!IsModal(window)) return;
  stcOpen& open = m_mapOpen[window];
  std::vector<std::string> const refusals = WindowsRefusalsForTesting();
  size_t const seen = m_intRefusalsSeen;
  m_intRefusalsSeen = refusals.size();
  if (refusals.size() > seen && m_hLastAnswered == window && open.m_intCancelSteps == 0) {
    ++m_intFailed;
    for (size_t i = std::max(m_intRefusalsReported, seen); i < refusals.size(); ++i)
      m_refReport << "velmora-host: could not do: " << refusals[i] << "\n";
    m_intRefusalsReported = refusals.size();
    m_refReport << "velmora-host: the answer for this dialog failed at that action; it is cancelled:\n"
                << WindowsDescribeForTesting(window);
    m_refReport.flush();
    open.m_intNext = open.m_vecLeft.size();
    open.m_bolFailed = true;
  }
  if (open.m_intNext < open.m_vecLeft.size()) {
    m_hLastAnswered = window;
    Queue(open.m_vecLeft[open.m_intNext++]);
    while (open.m_intNext < open.m_vecLeft.size() &&
           open.m_vecLeft[open.m_intNext].m_enmKind == stcDialogAction::kPick) {
      Queue(open.m_vecLeft[open.m_intNext++]);
    }
    QueueStep();
    return;
  }
  // Cancelling: Escape (the cancel button), then the close box, then the default button, each
  // only while the window is still in front and only what the window has; the one that opened
  // it gets its turn once it is gone, as the step queued after each of these runs in its loop.
  m_hLastAnswered = nullptr;
  stcWindowInfoForTesting info{};
  WindowsInfoForTesting(window, &info);
  bool queued = false;
  while (!queued && open.m_intCancelSteps < 3) {
    switch (open.m_intCancelSteps++) {
      case 0:
        if (!open.m_bolFailed) {
          ++m_intCancelled;
          m_refReport << "velmora-host: no answer for this dialog; it is cancelled:\n"
                      << WindowsDescribeForTesting(window);
          m_refReport.flush();
        }
        WindowsQueueKeyForTesting(27);
        queued = true;
        break;
      case 1:
        if (info.m_blnHasCloseBox) {
          WindowsQueueCloseBoxForTesting();
          queued = true;
        }
        break;
      default: {
        // A window that offers no way back (a notice with just OK) is dismissed by its default button.
        if (info.m_hDefaultButton == nullptr) break;
        stcControlInfoForTesting button{};
        if (WindowsControlInfoForTesting(info.m_hDefaultButton, &button) &&
            WindowsFindControlForTesting(window, button.m_udtID.id) == info.m_hDefaultButton) {
          WindowsQueueClickForTesting(button.m_udtID.id);
        } else {
          WindowsQueueKeyForTesting(13);
        }
        queued = true;
        break;
      }
    }
  }
  if (!queued) return;  // the window server's idle policy has the last word
  QueueStep();
}
