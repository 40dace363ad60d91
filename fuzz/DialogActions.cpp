// Fuzz target: bytes become what a user (and the dialog's own code) does to dialogs on the
// window server: clicks on controls, derived ids and points, contextual clicks, list rows, keys
// with modifiers, typing, mouse moves, menu picks, the close box, moves and resizes, and calls of
// the control access operations between them. First on a dialog with a control of every kind
// (modeless, modal or floating, its handler perhaps vetoing every close), then on the stock message
// dialog (any type, perhaps with check box), the input dialog and the progress window.
// Checked: nothing crashes or leaks; every modal loop ends (a stuck loop throws and is reported);
// the values a dialog saves stay within what their kinds allow; the stock dialogs answer a
// button they can have.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/clsDynamicWindow.h"
#include "dialogs/clsStatusWindow.h"
#include "platform/carbon/AppleEvents.h"
#include "platform/carbon/MenusTesting.h"
#include "platform/carbon/WindowsTesting.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }

// Hands out the input's bytes; zero once they are used up.
class clsBytes {
 public:
  clsBytes(uint8_t const* data, size_t size) : m_pData(data), m_intSize(size) {}
  bool More() const { return m_intAt < m_intSize; }
  uint8_t Next() { return m_intAt < m_intSize ? m_pData[m_intAt++] : 0; }
  int Signed() { return int(int8_t(Next())); }
  std::string Text() {
    std::string text;
    for (int n = Next() % 12; n > 0; --n) text += char(Next());
    return text;
  }

 private:
  uint8_t const* m_pData;
  size_t m_intSize;
  size_t m_intAt = 0;
};

int32_t const kIDs[] = {1, 2, 3, 4, 10, 11, 12, 13, 14, 20014, 15, 16, 20, 21, 100021, 110021, 120021,
                        130021, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 34, 40, 41, 42, 43, 44,
                        50, 51, 52, 53, 90, 95, 101, 102, 200, 999};
char const* const kMenuTexts[] = {"Name", "Plain", "Select All", "Copy", "Paste", "Cut", "x", "y",
                                  "z", "Close Window", "b", "Alpha", "Undo", "Sub"};

int32_t AnyID(clsBytes& in) { return kIDs[in.Next() % (sizeof kIDs / sizeof kIDs[0])]; }

clsDWLayoutObject WithItems(enumDWLOType kind, int32_t id, std::vector<char const*> const& items) {
  clsDWLayoutObject obj;
  obj.m_enmType = kind;
  obj.m_lngID = id;
  for (char const* item : items) obj.AddItem(U(item));
  obj.m_intValue = 0;
  return obj;
}

// A dialog with a control of every kind, boxes titled and not, a tab control and a radio
// controller with one stray button.
clsDWLayout EveryKind(clsBytes& in) {
  clsDWLayoutObject root;
  root.MakeMeAVBox(100, UniString(), 0, false);
  root.AddButton(1, U("OK"), 0, 0, true, false, true);
  root.AddButton(2, U("Cancel"), 0, 0, false, true, true);
  root.AddSmallButton(3, U("..."), 0, 0);
  UniStringList menu;
  menu.Add(U("Insert>Name;n"));
  menu.Add(U("Insert>Sub>Alpha;a"));
  menu.Add(U("Plain"));
  root.AddButton(4, U("Menu"), 0, 0, false, false, false)->SetContextualMenu(&menu);
  root.AddLabel(10, U("A label that may wrap at its width"), 0, 0, 120, 0);
  root.AddLabel(11, U("http://example.test/"), 0, 0, 0, 0)->AddFeature(1);
  root.AddEdit(12, U("edit"), 80, 0, false, false, false, false)->SetContextualMenu(&menu);
  root.AddEdit(13, U("secret"), 80, 0, true, false, false, false);
  {
    auto multi = root.AddEdit(14, UniString(), 80, 40, false, false, true, false);
    multi->SetText(U("one\rtwo"));
    if (in.Next() & 1) multi->AddFeature(16);
  }
  root.AddEdit(15, U("read only"), 80, 0, false, true, false, false);
  root.AddEdit(16, U("tabs"), 80, 0, false, false, false, false)->AddFeature(16);
  root.AddCheckBox(20, U("Check"), 0, 0, in.Next() & 1);
  {
    clsDWLayoutObject radio = WithItems(DWLO_RadioGroup, 21, {"x", "y", "z"});
    radio.m_ustrLabel = U("Radio");
    radio.m_intValue = in.Signed();
    root.m_vecChildren.push_back(radio);
  }
  {
    auto popup = root.AddComboBox(22, U("x"), 60, false, false);
    for (char const* item : {"x", "y", "z"}) popup->AddItem(U(item));
    popup->m_intValue = in.Signed();
    auto combo = root.AddComboBox(23, U("b"), 60, true, true);
    for (char const* item : {"c", "b", "a"}) combo->AddItem(U(item));
  }
  {
    clsDWLayoutObject list = WithItems(DWLO_ListBox, 24, {"pear", "apple", "fig", "", "kiwi"});
    list.SetFeatures(in.Next() & 3);
    root.m_vecChildren.push_back(list);
  }
  root.AddProgressBar(25, 80)->SetValue(in.Signed());
  root.AddSeparator(26, 40);
  root.AddPicture(27, 0, 0, 0, 0, 0)->AddFeature(1);
  {
    clsDWLayoutObject slider;
    slider.m_enmType = DWLO_Slider;
    slider.m_lngID = 28;
    slider.m_intMaximum = 50;
    slider.m_intValue = 5;
    slider.m_lngAssociateID = 12;
    root.m_vecChildren.push_back(slider);
    clsDWLayoutObject web;
    web.m_enmType = DWLO_WebView;
    web.m_lngID = 29;
    root.m_vecChildren.push_back(web);
  }
  root.m_vecChildren.push_back(WithItems(DWLO_RadioController, 30, {"31", "32", "33"}));
  for (int32_t id : {31, 32, 34}) {
    clsDWLayoutObject button;
    button.m_enmType = DWLO_RadioButton;
    button.m_lngID = id;
    button.m_lngAssociateID = 30;
    button.m_ustrLabel = UniString(id);
    root.m_vecChildren.push_back(button);
  }
  {
    auto tabs = root.AddTabControl(40, 0, 0);
    tabs->m_intValue = in.Signed();
    tabs->AddTab(41, U("One"), true, 0, 0)->AddEdit(43, U("page"), 60, 0, false, false, false, false);
    tabs->AddTab(42, U("Two"), true, 0, 0)->AddCheckBox(44, U("On page"), 0, 0, false);
  }
  root.AddVBox(50, U("Group"), 0, true)->AddCheckBox(51, U("Inside"), 0, 0, true);
  root.AddHBox(52, UniString(), 0, false)->AddLabel(53, U("In a row"), 0, 0, 0, 0);
  clsDWLayout layout;
  layout.SetLayout(root);
  layout.SetTitle(U("Every kind"));
  layout.SetResizable(in.Next() & 1, in.Next() & 1);
  layout.SetLiveResize(true);
  return layout;
}

// Vetoes closes while asked to; answers hyperlinks with an empty URL so no browser is asked.
struct stcFuzzEvents : public clsDWEvents {
  bool m_blnVeto = false;
  void WindowCloseBoxClick(bool* close) override {
    if (m_blnVeto) *close = false;
  }
  void ButtonClick(int32_t, bool* close) override {
    if (m_blnVeto) *close = false;
  }
  void HyperlinkClick(int32_t, UniString* url) override { *url = UniString(); }
};

// Queues up to 40 actions; window is null for a stock dialog (no calls on it then).
void QueueActions(clsBytes& in, clsDynamicWindow* window, stcFuzzEvents* events) {
  for (int n = 0; n < 40 && in.More(); ++n) {
    uint8_t const op = in.Next() % (window != nullptr ? 21 : 12);
    switch (op) {
      case 0: {
        int32_t const id = AnyID(in);
        WindowsQueueClickForTesting(id, in.Signed());
        break;
      }
      case 1: {
        int const x = in.Next() * 2;
        WindowsQueueClickAtForTesting(x, in.Next() * 2);
        break;
      }
      case 2: WindowsQueueContextualClickForTesting(AnyID(in)); break;
      case 3: {
        int32_t const id = AnyID(in);
        uint8_t const row = in.Next();
        WindowsQueueClickRowForTesting(id, row % 7, (row & 0x80) != 0 ? cmdKey : 0);
        break;
      }
      case 4: {
        int32_t const id = AnyID(in);
        WindowsQueueDoubleClickRowForTesting(id, in.Next() % 7);
        break;
      }
      case 5: {
        UniChar const key = in.Next();
        uint8_t const mods = in.Next();
        EventModifiers modifiers = 0;
        if (mods & 1) modifiers |= shiftKey;
        if (mods & 2) modifiers |= optionKey;
        if (mods & 4) modifiers |= controlKey;
        if (mods & 8) modifiers |= cmdKey;
        WindowsQueueKeyForTesting(key, modifiers);
        break;
      }
      case 6: WindowsQueueTypeForTesting(in.Text().c_str()); break;
      case 7: {
        int const x = in.Next() * 2;
        WindowsQueueMouseMoveForTesting(x, in.Next() * 2);
        break;
      }
      case 8: WindowsQueueMenuPickForTesting(kMenuTexts[in.Next() % (sizeof kMenuTexts / sizeof kMenuTexts[0])]); break;
      case 9: WindowsQueueCloseBoxForTesting(); break;
      case 10: {
        int const left = in.Signed() * 12;
        WindowsQueueMoveWindowForTesting(left, in.Signed() * 8);
        break;
      }
      case 11: {
        int const width = in.Next() * 4;
        WindowsQueueResizeWindowForTesting(width, in.Next() * 4);
        break;
      }
      default: {  // the dialog's own code between the user's actions
        int32_t const id = AnyID(in);
        int const value = in.Signed();
        std::string const text = in.Text();
        WindowsQueueCallForTesting([=] {
          UniString const utext(text.c_str(), 1, -1);
          switch (op) {
            case 12: window->UpdateControlValue(id, value); break;
            case 13: value & 1 ? window->InsertEditText(id, utext) : window->UpdateEditText(id, utext); break;
            case 14: value & 1 ? window->CollapseBox(id) : window->ExpandBox(id); break;
            case 15: window->EatKeys(value & 1); break;
            case 16: value & 1 ? window->DisableControl(id) : window->EnableControl(id); break;
            case 17: window->UpdateFocus(id); break;
            case 18: MessageDialog(utext, enumMsgDlgType(value), UniString(), nullptr, UniString(), 0); break;
            case 19: {
              UniStringList lines;
              lines.AddText(utext);
              window->UpdateMultiLineEditText(id, &lines);
              window->GetEditText(id);
              window->GetControlValue(id);
              window->UpdateLabel(id, utext);
              window->UpdateButtonText(id, utext);
              break;
            }
            default:
              events->m_blnVeto = (value & 1) != 0;
              window->UpdateWindowTitle(utext);
              int x = 0, y = 0, w = 0, h = 0;
              window->GetControlBounds(id, &x, &y, &w, &h, value & 2);
              break;
          }
        });
        break;
      }
    }
  }
}

int ItemCount(clsDWLayoutObject const& obj) {
  return obj.m_pulstItems != nullptr ? int(obj.m_pulstItems->Count()) : 0;
}

// What a close saves stays within each kind's range.
void CheckSaved(clsDWLayoutObject& node) {
  for (clsDWLayoutObject& child : node.m_vecChildren) {
    CheckSaved(child);
    int const v = child.m_intValue;
    int const items = ItemCount(child);
    switch (child.m_enmType) {
      case DWLO_CheckBox: Check(v == 0 || v == 1 || v == -1); break;
      case DWLO_RadioGroup:  // -1: no button chosen
      case DWLO_ComboBox:
      case DWLO_ListBox: Check(v >= -1 && v < std::max(items, 1)); break;
      case DWLO_Slider:
      case DWLO_ProgressBar: Check(v == -1 || (v >= child.m_intMinimum && v <= child.m_intMaximum)); break;
      default: break;
    }
  }
}

void RunEveryKind(clsBytes& in) {
  clsDWLayout layout = EveryKind(in);
  int32_t const type = in.Next() % 3;
  stcFuzzEvents events;
  clsDynamicWindow window;
  window.SetWindowType(type);
  window.SetEventsObject(&events);
  Check(window.BuildWindow(layout, 0, 0, 0, 0));
  QueueActions(in, &window, &events);
  if (type == 1) {
    // Whatever came before, closing from the code ends the loop.
    WindowsQueueCallForTesting([&] {
      events.m_blnVeto = false;
      window.MyClose();
    });
    window.MyShow();
  } else {
    window.MyShow();
    WindowsDispatchAllForTesting();
    window.MyClose();
  }
  Check(!window.IsShown());
  CheckSaved(window.GetLayout());
  window.DestroyWindow();
}

void RunStockDialogs(clsBytes& in) {
  int const type = in.Signed();
  bool const withCheck = in.Next() & 1;
  std::string const text = in.Text();
  QueueActions(in, nullptr, nullptr);
  bool check = false;
  int const button = MessageDialog(UniString(text.c_str(), 1, -1), enumMsgDlgType(type), U("Fuzz"),
                                   withCheck ? &check : nullptr, UniString(), in.Next());
  Check(button >= 0 && button <= 4);
  if (type < 2 || type > 7) Check(button == 0 || button == (type == 1 ? 2 : 1));
  WindowsResetForTesting();
  WindowsSetStuckModeForTesting(kWindowsStuckThrow);

  UniString value = U("start");
  bool const password = in.Next() & 1;
  QueueActions(in, nullptr, nullptr);
  int const answer = InputDialog(U("Prompt"), &value, password, UniString(), 0);
  Check(answer >= 0 && answer <= 2);
  WindowsResetForTesting();
  WindowsSetStuckModeForTesting(kWindowsStuckThrow);

  clsStatusWindow status;
  status.SetCustomTitle(UniString(in.Text().c_str(), 1, -1));
  status.Show();
  for (int n = in.Next() % 4; n > 0; --n) {
    clsMultiVar report;
    if (in.Next() & 1) report.SetStringVar(U("Text"), UniString(in.Text().c_str(), 1, -1));
    if (in.Next() & 1) report.SetIntegerVar(U("Progress"), in.Signed());
    status.UpdateStatus(&report);
  }
  QueueActions(in, nullptr, nullptr);
  WindowsDispatchAllForTesting();
  status.Hide();
  Check(!status.IsOpen());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("VELMORA_NO_BROWSER", "1", 1);
  AESetBrowserLaunchEnabledForTesting(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  WindowsResetForTesting();
  MenusResetForTesting();
  WindowsSetStuckModeForTesting(kWindowsStuckThrow);
  clsBytes in(data, size);
  try {
    RunEveryKind(in);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    RunStockDialogs(in);
  } catch (WindowsStuckError const&) {
    std::abort();  // a modal loop that would never end
  }
  WindowsResetForTesting();
  MenusResetForTesting();
  return 0;
}
