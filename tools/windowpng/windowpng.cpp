// windowpng: shows a dialog of the dialog engine on the headless window server and writes the
// window, as realised, to a PNG file, so a person can look at a dialog.
//   windowpng OUT.png message TEXT [TYPE [CHECKTEXT]]   the stock message dialog (type 0 to 7)
//   windowpng OUT.png input PROMPT [password]           the stock input dialog
//   windowpng OUT.png status [TEXT [PROGRESS]]          the progress window
//   windowpng OUT.png sample                            a dialog with a control of most kinds
// A modal dialog is drawn once it is shown and then answered with Return. Exit status 0 when the
// picture was written, 1 on a failure (told on stderr), 2 for a wrong command line (a message type
// other than 0 to 7 among them). Texts are UTF-8.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "WindowPNG.h"
#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "dialogs/clsStatusWindow.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }

int Usage() {
  std::fprintf(stderr,
               "usage: windowpng OUT.png message TEXT [TYPE [CHECKTEXT]]\n"
               "       windowpng OUT.png input PROMPT [password]\n"
               "       windowpng OUT.png status [TEXT [PROGRESS]]\n"
               "       windowpng OUT.png sample\n");
  return 2;
}

// The message type argument: a whole number from 0 to 7.
bool ParseMessageType(char const* text, enumMsgDlgType* type) {
  char* end = nullptr;
  errno = 0;
  long const value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < kMsgDlgOK || value > kMsgDlgYesNoDefaultCancel) {
    return false;
  }
  *type = enumMsgDlgType(value);
  return true;
}

bool Write(WindowRef window, char const* path) {
  std::string error;
  if (WriteWindowPNG(window, path, &error)) return true;
  std::fprintf(stderr, "windowpng: %s: %s\n", path, error.c_str());
  return false;
}

clsDWLayout Sample() {
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddLabel(1, U("A dialog with a control of most kinds, as the window server holds it."), 0, 0, 360, 0);
  root.AddLabel(2, U("http://example.test/"), 0, 0, 0, 0)->AddFeature(1);
  {
    auto tabs = root.AddTabControl(3, 0, 0);
    tabs->m_intValue = 1;
    auto fields = tabs->AddTab(4, U("Fields"), true, 0, 0);
    fields->AddEdit(10, U("plain text"), 160, 0, false, false, false, false);
    fields->AddEdit(11, U("secret"), 160, 0, true, false, false, false);
    fields->AddEdit(12, UniString(), 160, 48, false, false, true, false)->SetText(U("two lines\rof text"));
    auto combo = fields->AddComboBox(13, U("editable"), 120, true, false);
    combo->AddItem(U("editable"));
    combo->AddItem(U("other"));
    tabs->AddTab(5, U("Other"), true, 0, 0)->AddLabel(14, U("second page"), 0, 0, 0, 0);
  }
  {
    auto row = root.AddHBox(20, UniString(), 0, false);
    auto left = row->AddVBox(21, U("Choices"), 0, true);
    left->AddCheckBox(22, U("Ticked"), 0, 0, true);
    left->AddCheckBox(23, U("Not ticked"), 0, 0, false);
    auto popup = left->AddComboBox(24, U("Second"), 100, false, false);
    popup->AddItem(U("First"));
    popup->AddItem(U("Second"));
    popup->m_intValue = 1;
    clsDWLayoutObject radio;
    radio.m_enmType = DWLO_RadioGroup;
    radio.m_lngID = 25;
    radio.m_ustrLabel = U("Radio group");
    radio.AddItem(U("One"));
    radio.AddItem(U("Two"));
    radio.m_intValue = 1;
    row->m_vecChildren.push_back(radio);
    clsDWLayoutObject list;
    list.m_enmType = DWLO_ListBox;
    list.m_lngID = 26;
    for (char const* item : {"apple", "fig", "pear"}) list.AddItem(U(item));
    list.m_intMinHeight = 80;
    row->m_vecChildren.push_back(list);
  }
  root.AddSeparator(30, 0);
  root.AddProgressBar(31, 200)->SetValue(60);
  {
    clsDWLayoutObject slider;
    slider.m_enmType = DWLO_Slider;
    slider.m_lngID = 32;
    slider.m_intValue = 30;
    root.m_vecChildren.push_back(slider);
  }
  {
    auto buttons = root.AddHBox(40, UniString(), 0, false);
    buttons->AddSmallButton(41, U("..."), 0, 0);
    buttons->AddFill(42);
    buttons->AddButton(2, U("Cancel"), 0, 0, false, true, true);
    buttons->AddButton(1, U("OK"), 0, 0, true, false, true);
  }
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(U("Sample"));
  return layout;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  char const* const path = argv[1];
  std::string const kind = argv[2];
  bool written = false;
  // A modal dialog is drawn from inside its loop; Return then answers it.
  auto drawFront = [&] { written = Write(FrontWindow(), path); };
  if (kind == "message" && argc >= 4 && argc <= 6) {
    enumMsgDlgType type = kMsgDlgOK;
    if (argc >= 5 && !ParseMessageType(argv[4], &type)) {
      std::fprintf(stderr, "windowpng: no message type \"%s\": the message types are 0 to 7\n", argv[4]);
      return 2;
    }
    WindowsQueueCallForTesting(drawFront);
    bool check = false;
    MessageDialog(U(argv[3]), type, UniString(), argc == 6 ? &check : nullptr,
                  argc == 6 ? U(argv[5]) : UniString(), 0);
  } else if (kind == "input" && (argc == 4 || argc == 5)) {
    bool const password = argc == 5 && std::strcmp(argv[4], "password") == 0;
    if (argc == 5 && !password) return Usage();
    WindowsQueueCallForTesting(drawFront);
    UniString value;
    InputDialog(U(argv[3]), &value, password, U("Input"), 0);
  } else if (kind == "status" && argc <= 5) {
    g_udtPluginStatus.Show();
    clsMultiVar status;
    if (argc >= 4) status.SetStringVar(U("Text"), U(argv[3]));
    if (argc >= 5) status.SetIntegerVar(U("Progress"), std::atoi(argv[4]));
    g_udtPluginStatus.UpdateStatus(&status);
    if (g_udtPluginStatus.Window() != nullptr) written = Write(g_udtPluginStatus.Window()->GetWindowRef(), path);
    g_udtPluginStatus.Hide();
  } else if (kind == "sample" && argc == 3) {
    clsDWLayout layout = Sample();
    clsDynamicWindow window;
    if (window.BuildWindow(layout, 0, 0, 0, 0)) {
      window.MyShow();
      window.UpdateFocus(10);
      window.UpdateControlValue(26, 1);
      written = Write(window.GetWindowRef(), path);
    }
  } else {
    return Usage();
  }
  if (!written) {
    std::fprintf(stderr, "windowpng: no window was drawn\n");
    return 1;
  }
  return 0;
}
