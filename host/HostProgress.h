// HostProgress: velmora-host's view of the plug-in's floating windows (the progress window of a
// send): while it runs, a watcher looks at the visible floating windows every few milliseconds
// and prints a line whenever what one shows changes, and one when it closes:
//   progress: <title>: <its texts, top to bottom, separated by " | ">
//   progress: <title>: closed
// Interface: clsHostProgress(out, interval) starts the watcher, Stop (and the destructor) ends
// it after a last look; Poll looks once, on the caller's thread.
// Relies on the window server's inspection calls (platform/carbon/WindowsTesting.h), which are
// thread-safe; changes shorter than the interval may go unseen. Nothing throws except
// std::bad_alloc and std::system_error (a thread that cannot start).
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>

#include "platform/carbon/MacWindows.h"

class clsHostProgress {
 public:
  clsHostProgress(std::ostream& out, std::chrono::milliseconds interval);
  ~clsHostProgress();
  clsHostProgress(clsHostProgress const&) = delete;
  clsHostProgress& operator=(clsHostProgress const&) = delete;

  void Stop();
  void Poll();

 private:
  std::ostream& m_refOut;
  std::chrono::milliseconds m_intInterval;
  std::mutex m_mtxLock;  // the shown lines and the stop flag
  std::condition_variable m_cndStop;
  bool m_blnStop = false;
  std::map<WindowRef, std::pair<std::string, std::string>> m_mapShown;  // title and last line printed
  std::thread m_thdWatcher;
};
