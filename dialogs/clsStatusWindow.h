// clsStatusWindow: the progress window that shows the protocol controller's status text, a
// progress bar and the percentage while a message is being sent; g_udtPluginStatus is its one
// instance, alive from load to unload.
// Interface: Show (a floating window, made on first use; nothing on a server host), Hide,
// IsOpen, SetCustomTitle / UsingCustomTitle, UpdateStatus (takes "Text" and "Progress" of a status
// set while open), GetCoords (the frame's global top-left while open). Closing it by its close box
// stores that top-left as the preferences "LastStatusLeft" and "LastStatusTop" and saves them.
// Status text and progress outlive hiding: a window made later starts with them.
// Relies on clsDynamicWindow and the layout model, the stock message dialog (to report a window
// that cannot be made or built), the preference store and the host type of the plug-in's
// globals (the one tie up to the plug-in layer). Runs on the host's thread; the window takes no
// lock. Never throws; a window that cannot be made is reported in a message dialog and the
// next Show tries again.
#pragma once

#include <cstdint>

#include "core/UniString.h"
#include "dialogs/clsDWLayout.h"

class clsMultiVar;
class clsDynamicWindow;

class clsStatusWindow : public clsDWEvents {
 public:
  clsStatusWindow();
  ~clsStatusWindow() override;
  clsStatusWindow(clsStatusWindow const&) = delete;
  clsStatusWindow& operator=(clsStatusWindow const&) = delete;

  void Show();
  void Hide();
  bool IsOpen() const { return m_blnOpen; }
  bool UsingCustomTitle() const { return m_ustrCustomTitle.IsNotEmpty(); }
  // Stores the title trimmed; an open window shows it, or the product's status title when empty.
  void SetCustomTitle(UniString title);
  // Takes "Text" and "Progress" (negative: indeterminate) from the set while the window is open;
  // ignores it, unlogged, otherwise.
  void UpdateStatus(clsMultiVar* status);
  // Each given pointer 0, then the frame's global left and top while the window is open.
  void GetCoords(int* left, int* top);

  // The user closed the window: its place is kept in the preferences, and it closes.
  void WindowCloseBoxClick(bool* close) override;
  // The window has no button; nothing to do.
  void ButtonClick(int32_t id, bool* close) override;

  // What the window shows now, and how many reports reached it while open.
  UniString StatusText() const { return m_ustrStatus; }
  int32_t Progress() const { return m_intProgress; }
  int32_t UpdateCount() const { return m_intUpdateCount; }
  // The window object, null before the first Show that could make it.
  clsDynamicWindow* Window() const { return m_pudtWindow; }

 private:
  // Builds the description with the current status and makes the floating window; reports a
  // failure in the message dialog and leaves no window.
  void CreateStatusWindow();
  UniString WindowTitle() const;

  clsDynamicWindow* m_pudtWindow;  // owned
  bool m_blnOpen;
  UniString m_ustrStatus;
  int32_t m_intProgress;
  UniString m_ustrCustomTitle;
  int32_t m_intUpdateCount;
};

extern clsStatusWindow g_udtPluginStatus;
