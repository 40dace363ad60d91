// EmailFunctions: what the frame's registration, entry point and Configure worker call of the
// e-mail functions and of the configuration dialog: the callback of GetDialogValue, SendMessage
// and ShowMessageDialog (ids 10, 20 and 30), and the dialog class that the host's configure
// button and the Configure function show.
// Interface: PluginFunctionCallback; clsNewCfgDlg (built empty, Show(tab name) runs it modally,
// saves the preferences on OK and answers the tab name when it named one of the tabs, else an
// empty text). Both are defined by their own units in this library (the e-mail callback and the
// configuration dialog).
// Relies on the host SDK's calculation-engine types, the dialog engine's handler interface and
// core/UniString.h. Host thread only. The callback answers the host 0 on every path and reports
// failures as "ERROR: " result texts.
#pragma once

#include <vector>

#include "core/UniString.h"
#include "dialogs/clsDWLayout.h"
#include "platform/fmx/FMXCalcEngine.h"
#include "platform/fmx/FMXData.h"

class clsDynamicWindow;

// The host's callback of the e-mail functions.
fmx::errcode PluginFunctionCallback(short functionId, fmx::ExprEnv const& environment, fmx::DataVect const& parameters,
                                    fmx::Data& result);

// The configuration dialog: one object per call that shows it (held in g_udtNewCfgDlg).
class clsNewCfgDlg : public clsDWEvents {
 public:
  clsNewCfgDlg();
  ~clsNewCfgDlg() override;
  clsNewCfgDlg(clsNewCfgDlg const&) = delete;
  clsNewCfgDlg& operator=(clsNewCfgDlg const&) = delete;

  // Builds the dialog opened at the named tab ("Basics", "Authentication", "Advanced", "About",
  // "Debug", any case and blanks), runs it modally and saves the preferences after OK.
  UniString Show(UniString tabName);
  // Builds the layout and the window into m_pudtWindow (null when that fails); answers as Show.
  UniString CreateConfigDialog(UniString tabName);
  // Writes the settings from the window's layout copy to the preference store and saves it.
  void SaveThePrefs();
  // True while a configuration dialog runs its modal loop: a host call that arrives meanwhile
  // must neither delete that dialog nor show another.
  static bool IsAnyShown();

  void ButtonClick(int32_t id, bool* close) override;
  void RadioGroupChange(int32_t id) override;
  void ComboBoxChange(int32_t id) override;

  bool m_bolSavePrefs;             // set by a successful OK
  clsDynamicWindow* m_pudtWindow;  // owned; the dialog's window while one is built

  // The controls whose setting is stored over several lines, which none of them can show as it
  // is, with the text and value each showed: OK leaves such a setting as it is stored while its
  // control still shows what it showed.
  struct stcShownSetting {
    int32_t m_lngID;
    UniString m_ustrText;
    int32_t m_lngValue;
  };
  std::vector<stcShownSetting> m_vecSeveralLines;

 private:
  // Whether the control is one of those and still shows the text (an edit) or value it showed.
  bool KeptAsStored(int32_t id, UniString const& text, int32_t value) const;
};
