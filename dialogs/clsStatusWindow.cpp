// clsStatusWindow: the progress window. Its description is a status label (101) above a row
// (200) of a progress bar (102) and its percentage (103); the window floats, widens but does not
// heighten, and takes the default placement of the window half. Reports that arrive while the
// window is closed are ignored and not logged.
#include "dialogs/clsStatusWindow.h"

#include <new>

#include "core/DebugLog.h"
#include "core/clsMultiVar.h"
#include "core/clsSingleVar.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"

clsStatusWindow g_udtPluginStatus;

namespace {

char const kProductName[] = "Velmora";

enum : int32_t {
  kStatusRootID = 100,
  kStatusLabelID = 101,
  kStatusBarID = 102,
  kStatusPercentID = 103,
  kStatusRowID = 200
};

// The first host type that is a server product, where no window is shown.
constexpr uint8_t kFirstServerProduct = 3;

UniString Percent(int32_t progress) { return UniString(progress) + UniString("%"); }

}  // namespace

clsStatusWindow::clsStatusWindow()
    : m_pudtWindow(nullptr), m_blnOpen(false), m_ustrStatus("Idle."), m_intProgress(0), m_intUpdateCount(0) {}

clsStatusWindow::~clsStatusWindow() { delete m_pudtWindow; }

UniString clsStatusWindow::WindowTitle() const {
  if (m_ustrCustomTitle.IsNotEmpty()) return m_ustrCustomTitle;
  return UniString(kProductName) + UniString(" Status");
}

void clsStatusWindow::CreateStatusWindow() {
  clsDWLayoutObject root;
  root.MakeMeAVBox(kStatusRootID, UniString(), 0, false);
  auto label = root.AddLabel(kStatusLabelID, m_ustrStatus, 250, 0, 0, 0);
  label->SetFeatures(2);  // takes the window's width
  auto row = root.AddHBox(kStatusRowID, UniString(), 0, false);
  row->AddProgressBar(kStatusBarID, 150)->SetValue(m_intProgress);
  row->AddLabel(kStatusPercentID, Percent(m_intProgress), 30, 0, 0, 0);
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(WindowTitle());
  layout.SetResizable(true, false);
  layout.SetLiveResize(true);

  m_pudtWindow = new (std::nothrow) clsDynamicWindow;
  if (m_pudtWindow == nullptr) {
    MessageDialog(UniString("Could not create status window!"), kMsgDlgOK, UniString(), nullptr,
                  UniString(), 0);
    return;
  }
  m_pudtWindow->SetWindowType(2);
  m_pudtWindow->SetEventsObject(this);
  if (!m_pudtWindow->BuildWindow(layout, 0, 0, 0, 0)) {
    MessageDialog(UniString("Could not build status window!"), kMsgDlgOK, UniString(), nullptr,
                  UniString(), 0);
    delete m_pudtWindow;
    m_pudtWindow = nullptr;
  }
}

void clsStatusWindow::Show() {
  if (g_fudtFMProduct >= kFirstServerProduct || m_blnOpen) return;
  if (m_pudtWindow == nullptr) CreateStatusWindow();
  if (m_pudtWindow == nullptr) return;
  m_pudtWindow->MyShow();
  m_blnOpen = true;
}

void clsStatusWindow::Hide() {
  if (!m_blnOpen || m_pudtWindow == nullptr) return;
  m_pudtWindow->MyClose();
  m_blnOpen = false;
}

void clsStatusWindow::SetCustomTitle(UniString title) {
  m_ustrCustomTitle = title.Trim();
  if (m_blnOpen && m_pudtWindow != nullptr) m_pudtWindow->UpdateWindowTitle(WindowTitle());
}

void clsStatusWindow::UpdateStatus(clsMultiVar* status) {
  if (status == nullptr || !m_blnOpen || m_pudtWindow == nullptr) return;
  ++m_intUpdateCount;
  UniString logText;
  clsMultiVar::iterator it;
  if (status->GetVar(UniString("Text"), it)) {
    m_ustrStatus = it->GetValue_AsString();
    m_pudtWindow->UpdateLabel(kStatusLabelID, m_ustrStatus);
    logText += UniString("Text: ") + m_ustrStatus;
  }
  if (status->GetVar(UniString("Progress"), it)) {
    clsSingleVar progress(*it);
    progress.CoerceVarType(kVarTypeInteger);
    m_intProgress = progress.GetIntegerValue();
    m_pudtWindow->UpdateControlValue(kStatusBarID, m_intProgress);
    UniString progressText;
    if (m_intProgress < 0) {
      m_pudtWindow->UpdateLabel(kStatusPercentID, UniString());
      progressText = UniString("Progress: indeterminate");
    } else {
      m_pudtWindow->UpdateLabel(kStatusPercentID, Percent(m_intProgress));
      if (m_intProgress != 0) progressText = UniString("Progress: ") + Percent(m_intProgress);
    }
    if (progressText.IsNotEmpty()) {
      if (logText.IsNotEmpty()) logText += UniString("; ");
      logText += progressText;
    }
  }
  if (logText.IsNotEmpty()) DebugOutput(kDebugFull, UniString("StatusWindow: ") + logText);
}

void clsStatusWindow::GetCoords(int* left, int* top) {
  if (left != nullptr) *left = 0;
  if (top != nullptr) *top = 0;
  if (!m_blnOpen || m_pudtWindow == nullptr || m_pudtWindow->GetWindowRef() == nullptr) return;
  Rect frame;
  if (GetWindowBounds(m_pudtWindow->GetWindowRef(), kWindowStructureRgn, &frame) != noErr) return;
  if (left != nullptr) *left = frame.left;
  if (top != nullptr) *top = frame.top;
}

void clsStatusWindow::WindowCloseBoxClick(bool* close) {
  int left = 0, top = 0;
  GetCoords(&left, &top);
  g_udtPrefs.SetIntegerPref(UniString("LastStatusLeft"), left);
  g_udtPrefs.SetIntegerPref(UniString("LastStatusTop"), top);
  g_udtPrefs.SavePrefs();
  if (close != nullptr) *close = true;
  m_blnOpen = false;
}

void clsStatusWindow::ButtonClick(int32_t id, bool* close) { (void)id, (void)close; }
