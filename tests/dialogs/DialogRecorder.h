// DialogRecorder: a dialog handler for the window tests that notes every slot it hears as one
// short line ("button 1 closes", "list 7 0 multiple", "menu 10 Name;n"), can veto closes, close
// its window when shown and rewrite a hyperlink's URL; and Info(), a view of a dialog by id.
// Test code only; relies on the dialog engine and the window server's inspection calls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/WindowsTesting.h"

struct stcDialogRecorder : public clsDWEvents {
  std::vector<std::string> m_vecCalls;
  bool m_blnVetoClose = false;   // close box: keep open; buttons: the opposite of the engine
  bool m_blnCloseOnShow = false;
  bool m_blnRewriteURL = false;  // HyperlinkClick leaves m_strURL as the URL
  std::string m_strURL;
  clsDynamicWindow* m_pWindow = nullptr;

  static std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
  void Note(std::string const& what) { m_vecCalls.push_back(what); }

  void WindowShow() override {
    Note("show");
    if (m_blnCloseOnShow && m_pWindow != nullptr) m_pWindow->MyClose();
  }
  void WindowCloseBoxClick(bool* close) override {
    Note("closebox");
    if (m_blnVetoClose) *close = false;
  }
  void ButtonClick(int32_t id, bool* close) override {
    Note("button " + std::to_string(id) + (*close ? " closes" : ""));
    if (m_blnVetoClose) *close = !*close;
  }
  void HyperlinkClick(int32_t id, UniString* url) override {
    Note("link " + std::to_string(id) + " " + S(*url));
    if (m_blnRewriteURL) *url = UniString(m_strURL.c_str(), 1, -1);
  }
  void RadioControllerChange(int32_t id) override { Note("controller " + std::to_string(id)); }
  void EditChange(int32_t id) override { Note("editchange " + std::to_string(id)); }
  void EditKeyPress(int32_t id, unsigned short key, int modifiers, bool* pass) override {
    (void)pass;
    Note("key " + std::to_string(id) + " " + std::to_string(key) + " " + std::to_string(modifiers));
  }
  void CheckBoxChange(int32_t id) override { Note("check " + std::to_string(id)); }
  void RadioGroupChange(int32_t id) override { Note("radio " + std::to_string(id)); }
  void ComboBoxChange(int32_t id) override { Note("combo " + std::to_string(id)); }
  void ListBoxChange(int32_t id, int row, bool multiple) override {
    Note("list " + std::to_string(id) + " " + std::to_string(row) + (multiple ? " multiple" : ""));
  }
  void ListBoxDoubleClick(int32_t id, int row, bool multiple) override {
    Note("double " + std::to_string(id) + " " + std::to_string(row) + (multiple ? " multiple" : ""));
  }
  void ContextualMenuClick(int32_t id, UniString text, UniString tag) override {
    Note("menu " + std::to_string(id) + " " + S(text) + ";" + S(tag));
  }
};

// The view of the window's control with this ControlID id.
inline stcControlInfoForTesting Info(clsDynamicWindow& window, int32_t id) {
  stcControlInfoForTesting info{};
  EXPECT_TRUE(WindowsControlInfoForTesting(WindowsFindControlForTesting(window.GetWindowRef(), id), &info))
      << "no control " << id;
  return info;
}
