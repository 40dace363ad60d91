// clsStatusWindow: the progress window's state and its status reports. Reports that arrive
// while the window is closed are ignored and not logged.
#include "dialogs/clsStatusWindow.h"

#include "core/DebugLog.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"

clsStatusWindow g_udtPluginStatus;

clsStatusWindow::clsStatusWindow()
    : m_blnOpen(false), m_ustrStatus("Idle."), m_intProgress(0), m_intUpdateCount(0) {}

clsStatusWindow::~clsStatusWindow() = default;

void clsStatusWindow::Show() { m_blnOpen = true; }

void clsStatusWindow::Hide() { m_blnOpen = false; }

void clsStatusWindow::UpdateStatus(clsMultiVar* status) {
  if (status == nullptr || !m_blnOpen) return;
  ++m_intUpdateCount;
  UniString logText;
  clsMultiVar::iterator it;
  if (status->GetVar(UniString("Text"), it)) {
    m_ustrStatus = it->GetValue_AsString();
    logText += UniString("Text: ") + m_ustrStatus;
  }
  if (status->GetVar(UniString("Progress"), it)) {
    clsSingleVar progress(*it);
    progress.CoerceVarType(kVarTypeInteger);
    m_intProgress = progress.GetIntegerValue();
    UniString piece;
    if (m_intProgress < 0) {
      piece = UniString("Progress: indeterminate");
    } else if (m_intProgress != 0) {
      piece = UniString("Progress: ") + UniString(m_intProgress) + UniString("%");
    }
    if (!piece.IsEmpty()) {
      if (!logText.IsEmpty()) logText += UniString("; ");
      logText += piece;
    }
  }
  if (!logText.IsEmpty()) DebugOutput(kDebugFull, UniString("StatusWindow: ") + logText);
}
