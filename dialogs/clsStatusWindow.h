// clsStatusWindow: the progress window that shows the protocol controller's status while a
// message is being sent; g_udtPluginStatus is its one instance, alive from load to unload.
// Interface: Show, Hide, IsOpen, UpdateStatus (reads "Text" and "Progress" of a status set).
// For now it holds the window's state without a window on screen: it records the last status
// text and progress it was given, which tests read back. Runs on the host's thread; never throws.
#pragma once

#include <cstdint>

#include "core/UniString.h"

class clsMultiVar;

class clsStatusWindow {
 public:
  clsStatusWindow();
  ~clsStatusWindow();
  clsStatusWindow(clsStatusWindow const&) = delete;
  clsStatusWindow& operator=(clsStatusWindow const&) = delete;

  void Show();
  void Hide();
  bool IsOpen() const { return m_blnOpen; }
  // Takes "Text" and "Progress" from the set while the window is open; ignores it otherwise.
  void UpdateStatus(clsMultiVar* status);

  // What the window shows now, and how many reports reached it while open.
  UniString StatusText() const { return m_ustrStatus; }
  int32_t Progress() const { return m_intProgress; }
  int32_t UpdateCount() const { return m_intUpdateCount; }

 private:
  bool m_blnOpen;
  UniString m_ustrStatus;
  int32_t m_intProgress;
  int32_t m_intUpdateCount;
};

extern clsStatusWindow g_udtPluginStatus;
