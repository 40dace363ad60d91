// HostProgress: the watcher thread and the line a floating window makes.
#include "host/HostProgress.h"

#include <set>
#include <vector>

#include "platform/carbon/WindowsTesting.h"

namespace {

// "<title>: <texts>" of a visible floating window, and its title; empty for any other window.
std::string Line(WindowRef window, std::string* title) {
  stcWindowInfoForTesting info{};
  if (!WindowsInfoForTesting(window, &info) || !info.m_blnVisible || info.m_ulngClass != kFloatingWindowClass) {
    return std::string();
  }
  *title = info.m_strTitle;
  std::string line = info.m_strTitle + ":";
  char const* separator = " ";
  for (ControlRef view : WindowsControlsForTesting(window)) {
    stcControlInfoForTesting control{};
    if (!WindowsControlInfoForTesting(view, &control) || !control.m_blnVisible ||
        control.m_enmKind != kViewStaticText) {
      continue;
    }
    line += separator + control.m_strText;
    separator = " | ";
  }
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

}  // namespace

clsHostProgress::clsHostProgress(std::ostream& out, std::chrono::milliseconds interval)
    : m_refOut(out), m_intInterval(interval) {
  m_thdWatcher = std::thread([this]() {
    std::unique_lock<std::mutex> lock(m_mtxLock);
    while (!m_blnStop) {
      lock.unlock();
      Poll();
      lock.lock();
      m_cndStop.wait_for(lock, m_intInterval, [this]() { return m_blnStop; });
    }
  });
}

clsHostProgress::~clsHostProgress() { Stop(); }

void clsHostProgress::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mtxLock);
    m_blnStop = true;
  }
  m_cndStop.notify_all();
  if (m_thdWatcher.joinable()) {
    m_thdWatcher.join();
    Poll();
  }
}

void clsHostProgress::Poll() {
  std::vector<std::pair<WindowRef, std::pair<std::string, std::string>>> seen;  // title, line
  for (WindowRef window : WindowsListForTesting()) {
    std::string title;
    std::string line = Line(window, &title);
    if (!line.empty()) seen.push_back({window, {std::move(title), std::move(line)}});
  }
  std::lock_guard<std::mutex> lock(m_mtxLock);
  std::set<WindowRef> visible;
  for (auto& entry : seen) {
    visible.insert(entry.first);
    std::pair<std::string, std::string>& shown = m_mapShown[entry.first];
    if (shown.second == entry.second.second) continue;
    shown = entry.second;
    m_refOut << "progress: " << shown.second << "\n";
  }
  for (auto it = m_mapShown.begin(); it != m_mapShown.end();) {
    if (visible.count(it->first)) {
      ++it;
      continue;
    }
    m_refOut << "progress: " << it->second.first << ": closed\n";
    it = m_mapShown.erase(it);
  }
  m_refOut.flush();
}
