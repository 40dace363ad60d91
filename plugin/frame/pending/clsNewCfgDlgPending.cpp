// clsNewCfgDlgPending: stands in for the configuration dialog while this library has no unit
// defining it (plugin/frame/CMakeLists.txt adds this file only then): Show opens nothing, saves
// nothing and answers the tab name when it names one of the dialog's tabs.
#include "plugin/frame/EmailFunctions.h"

clsNewCfgDlg::clsNewCfgDlg() : m_bolSavePrefs(false), m_pudtWindow(nullptr) {}

clsNewCfgDlg::~clsNewCfgDlg() = default;

UniString clsNewCfgDlg::Show(UniString tabName) { return CreateConfigDialog(tabName); }

UniString clsNewCfgDlg::CreateConfigDialog(UniString tabName) {
  UniString const wanted = tabName.Trim().UpperCase();
  for (char const* tab : {"BASICS", "AUTHENTICATION", "ADVANCED", "ABOUT", "DEBUG"})
    if (wanted == UniString(tab)) return tabName;
  return UniString();
}

void clsNewCfgDlg::ButtonClick(int32_t, bool*) {}
void clsNewCfgDlg::RadioGroupChange(int32_t) {}
void clsNewCfgDlg::ComboBoxChange(int32_t) {}
