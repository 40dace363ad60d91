// Tests of the stock message and input dialogs through the window server's driver: the button row
// of every type with and without check box, Return and Escape, the check box's state, the label's
// wrap width, the input dialog's focus, answers and log lines, and the windows that cannot be made.
#include "dialogs/MessageDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "platform/carbon/WindowsTesting.h"
#include "tests/support/StockDialogTesting.h"

namespace {

class MessageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    InitDebug();
    m_intLevel = g_intDebugLevel;
    g_intDebugLevel = kDebugFull;
    g_ulstDebugBackLog->Clear();
  }
  void TearDown() override {
    g_intDebugLevel = m_intLevel;
    WindowsResetForTesting();
  }
  static std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (UniString const& line : *g_ulstDebugBackLog) {
      std::string const text = line.GetAnsiString(1).c_str();
      size_t from = std::string::npos;  // the level tag follows the time
      for (char const* tag : {"None: ", "Err : ", "Warn: ", "Res : ", "Info: ", "Full: "}) {
        from = std::min(from, text.find(tag));
      }
      lines.push_back(from == std::string::npos ? text : text.substr(from));
    }
    return lines;
  }
  int32_t m_intLevel = 0;
};

UniString U(char const* utf8) { return UniString(utf8, 1, -1); }

// The views of the front window, looked at while its modal loop runs.
stcControlInfoForTesting FrontControl(SInt32 id) {
  stcControlInfoForTesting info{};
  WindowsControlInfoForTesting(WindowsFindControlForTesting(FrontWindow(), id), &info);
  return info;
}

TEST_F(MessageDialogTest, EveryTypeHasItsRowAndAnswersReturnAndEscape) {
  struct stcCase {
    int m_intType;
    std::vector<std::string> m_vecButtons;
    char const* m_strDefault;
    char const* m_strCancel;
    int m_intReturn, m_intEscape;
  } const cases[] = {
      {0, {"OK"}, "OK", "", 1, 0},
      {1, {"Cancel"}, "Cancel", "Cancel", 2, 2},
      {2, {"Cancel", "OK"}, "OK", "Cancel", 1, 2},
      {3, {"Cancel", "OK"}, "Cancel", "Cancel", 2, 2},
      {4, {"No", "Yes"}, "Yes", "No", 3, 4},
      {5, {"No", "Yes"}, "No", "No", 4, 4},
      {6, {"Yes", "No", "Cancel"}, "Yes", "Cancel", 3, 2},
      {7, {"Yes", "No", "Cancel"}, "No", "Cancel", 4, 2},
      {42, {"OK"}, "OK", "", 1, 0},  // no such type: the OK row, never a window without a button
      {-3, {"OK"}, "OK", "", 1, 0},
  };
  for (auto const& c : cases) {
    for (bool withCheckBox : {false, true}) {
      for (UniChar key : {UniChar(13), UniChar(27)}) {
        SCOPED_TRACE(std::to_string(c.m_intType) + (withCheckBox ? " with check box" : "") +
                     (key == 13 ? " Return" : " Escape"));
        WindowsResetForTesting();
        clsStockDialogRecorder recorder;
        stcControlInfoForTesting label{}, box{}, firstButton{}, lastButton{};
        stcWindowInfoForTesting window{};
        WindowsQueueCallForTesting([&] {
          WindowsInfoForTesting(FrontWindow(), &window);
          label = FrontControl(kMsgDlgLabelID);
          box = FrontControl(kMsgDlgCheckBoxID);
          std::vector<ControlRef> buttons;
          for (ControlRef view : WindowsControlsForTesting(FrontWindow())) {
            stcControlInfoForTesting info{};
            if (WindowsControlInfoForTesting(view, &info) && info.m_enmKind == kViewPushButton) {
              if (buttons.empty()) firstButton = info;
              lastButton = info;
              buttons.push_back(view);
            }
          }
        });
        WindowsQueueKeyForTesting(key);
        if (key == 27 && c.m_intEscape == 0) WindowsQueueKeyForTesting(13);  // Escape did nothing
        bool check = true;
        int const result = MessageDialog(U("Proceed?"), enumMsgDlgType(c.m_intType), U("Ask"),
                                         withCheckBox ? &check : nullptr, UniString(), 0);
        EXPECT_EQ(key == 13 ? c.m_intReturn : (c.m_intEscape != 0 ? c.m_intEscape : c.m_intReturn), result);
        ASSERT_EQ(1u, recorder.Shown().size());
        stcShownStockDialog const& shown = recorder.Shown()[0];
        EXPECT_EQ("Ask", shown.m_strTitle);
        EXPECT_EQ("Proceed?", shown.m_strText);
        EXPECT_EQ(c.m_vecButtons, shown.m_vecButtons);
        EXPECT_EQ(c.m_strDefault, shown.m_strDefaultButton);
        EXPECT_EQ(c.m_strCancel, shown.m_strCancelButton);
        EXPECT_EQ(withCheckBox, shown.m_blnHasCheckBox);
        if (withCheckBox) {
          EXPECT_FALSE(check);  // it starts unchecked and nobody ticked it
          EXPECT_EQ("Do not show this dialog again.", shown.m_strCheckText);
          bool const ownLine = c.m_intType == 6 || c.m_intType == 7;
          if (ownLine) {
            EXPECT_GT(box.m_intY, label.m_intY);
            EXPECT_LT(box.m_intY + box.m_intHeight, firstButton.m_intY);  // a line of its own
          } else {
            EXPECT_LT(box.m_intX + box.m_intWidth, firstButton.m_intX);   // left in the button row
            EXPECT_LT(firstButton.m_intY, box.m_intY + box.m_intHeight);
          }
        }
        if (c.m_vecButtons.size() == 1 && !withCheckBox) {
          // Between two fills: centred in the window.
          int const middle = firstButton.m_intX + firstButton.m_intWidth / 2;
          EXPECT_NEAR((window.m_rctContent.right - window.m_rctContent.left) / 2, middle, 1);
        } else {
          // The last button ends at the right margin, as far right as the text may reach.
          EXPECT_GE(lastButton.m_intX + lastButton.m_intWidth, label.m_intX + label.m_intWidth);
        }
      }
    }
  }
}

TEST_F(MessageDialogTest, CheckBoxReportsTickedOnlyWhenTicked) {
  struct stcCase {
    char const* m_strName;
    bool m_blnTick;
    bool m_blnBoxFails;
    char const* m_strCheckText;
    bool m_blnExpect;
    char const* m_strShownText;
  } const cases[] = {
      {"ticked", true, false, "Remember", true, "Remember"},
      {"left alone", false, false, "", false, "Do not show this dialog again."},
      // A box that was never made holds the value below 0: not ticked.
      {"no check box control", false, true, "", false, ""},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    if (c.m_blnBoxFails) WindowsFailViewKindForTesting(kViewCheckBox);
    clsStockDialogRecorder recorder;
    QueueStockDialogAnswer(kMsgDlgButtonOK, c.m_blnTick);
    bool check = !c.m_blnExpect;
    EXPECT_EQ(1, MessageDialog(U("Text"), kMsgDlgOK, UniString(), &check, U(c.m_strCheckText), 0));
    EXPECT_EQ(c.m_blnExpect, check);
    ASSERT_EQ(1u, recorder.Shown().size());
    EXPECT_EQ(c.m_strShownText, recorder.Shown()[0].m_strCheckText);
    EXPECT_TRUE(WindowsRefusalsForTesting().empty() || c.m_blnBoxFails);
  }
}

TEST_F(MessageDialogTest, LabelWrapsAtTheWidthRule) {
  std::string paragraph;
  for (int i = 0; i < 400; ++i) paragraph += "word ";  // 2,000 characters, one paragraph
  std::string const lines = std::string(120, 'x') + "\r" + "short";
  struct stcCase {
    char const* m_strName;
    std::string m_strText;
    int m_intWidth;
    int m_intMinLabel, m_intMaxLabel;
  } const cases[] = {
      {"paragraph, width 0", paragraph, 0, 300, 400},
      {"paragraph, width 250", paragraph, 250, 150, 250},
      {"lines, width 0: not wrapped", lines, 0, 401, 5000},
      {"lines, width 250", lines, 250, 100, 250},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    for (bool input : {false, true}) {
      WindowsResetForTesting();
      int width = 0;
      WindowsQueueCallForTesting([&] { width = FrontControl(kMsgDlgLabelID).m_intWidth; });
      if (input) {
        UniString value;
        InputDialog(U(c.m_strText.c_str()), &value, false, UniString(), c.m_intWidth);
      } else {
        SimpleMessageDialog(U(c.m_strText.c_str()), c.m_intWidth, kMsgDlgOK);
      }
      EXPECT_GE(width, c.m_intMinLabel) << (input ? "input" : "message");
      EXPECT_LE(width, c.m_intMaxLabel) << (input ? "input" : "message");
    }
  }
}

TEST_F(MessageDialogTest, InputDialogFocusAnswersAndLogLines) {
  struct stcCase {
    char const* m_strName;
    bool m_blnNullValue;
    bool m_blnPassword;
    char const* m_strInitial;
    std::vector<int> m_vecClicks;  // after typing "abc"
    int m_intResult;
    char const* m_strValue;
    char const* m_strLog;
  } const cases[] = {
      {"OK", false, false, "x", {1}, 1, "xabc", "Info: Input Dialog: Name?; Result: xabc"},
      {"Cancel keeps the typed text", false, false, "", {2}, 2, "abc", "Info: Input Dialog: Name?; Result: abc"},
      {"password", false, true, "", {1}, 1, "abc", "Info: Input Dialog: Name?; Result: [CENSORED]"},
      {"no value: no window", true, false, "", {}, 0, "", "Info: Input Dialog: Name?; Result: "},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    g_ulstDebugBackLog->Clear();
    clsStockDialogRecorder recorder;
    bool focused = false;
    WindowsQueueCallForTesting([&] { focused = FrontControl(kMsgDlgEditID).m_blnFocused; });
    if (!c.m_blnNullValue) {
      WindowsQueueTypeForTesting("abc");
      for (int id : c.m_vecClicks) WindowsQueueClickForTesting(id);
    }
    UniString value = U(c.m_strInitial);
    int const result = InputDialog(U("Name?"), c.m_blnNullValue ? nullptr : &value, c.m_blnPassword,
                                   U("Who"), 0);
    EXPECT_EQ(c.m_intResult, result);
    EXPECT_EQ(std::vector<std::string>{c.m_strLog}, LogLines());
    if (c.m_blnNullValue) {
      EXPECT_TRUE(recorder.Shown().empty());
      EXPECT_TRUE(WindowsListForTesting().empty());
      WindowsDispatchAllForTesting();
      continue;
    }
    EXPECT_TRUE(focused);
    EXPECT_EQ(U(c.m_strValue), value);
    ASSERT_EQ(1u, recorder.Shown().size());
    EXPECT_EQ(c.m_blnPassword, recorder.Shown()[0].m_blnPassword);
    EXPECT_EQ((std::vector<std::string>{"Cancel", "OK"}), recorder.Shown()[0].m_vecButtons);
  }
}

TEST_F(MessageDialogTest, OnlyTheInputDialogWidensAndOnlyItTakesTheFocus) {
  for (bool input : {false, true}) {
    SCOPED_TRACE(input ? "input" : "message");
    WindowsResetForTesting();
    stcWindowInfoForTesting before{}, after{};
    WindowsQueueCallForTesting([&] { WindowsInfoForTesting(FrontWindow(), &before); });
    WindowsQueueResizeWindowForTesting(900, 900);
    WindowsQueueCallForTesting([&] { WindowsInfoForTesting(FrontWindow(), &after); });
    if (input) {
      UniString value;
      InputDialog(U("Prompt"), &value, false, UniString(), 0);
    } else {
      MessageDialog(U("Message"), kMsgDlgOK, UniString(), nullptr, UniString(), 0);
    }
    int const heightBefore = before.m_rctContent.bottom - before.m_rctContent.top;
    EXPECT_EQ(heightBefore, after.m_rctContent.bottom - after.m_rctContent.top);
    EXPECT_EQ(input ? 900 : before.m_rctContent.right - before.m_rctContent.left,
              after.m_rctContent.right - after.m_rctContent.left);
    EXPECT_EQ(input, before.m_hFocus != nullptr);
    EXPECT_EQ(kMovableModalWindowClass, before.m_ulngClass);
  }
}

TEST_F(MessageDialogTest, AWindowThatCannotBeMadeAnswersZero) {
  WindowsFailForTesting(kWindowsFailCreateWindow, 2);
  EXPECT_EQ(0, MessageDialog(U("Lost"), kMsgDlgOK, UniString(), nullptr, UniString(), 0));
  UniString value = U("kept?");
  EXPECT_EQ(0, InputDialog(U("Ask"), &value, false, UniString(), 0));
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_EQ((std::vector<std::string>{"Info: Message Dialog: Lost", "Err : Could not build Message Dialog!",
                                      "Err : Could not build Input Dialog!",
                                      "Info: Input Dialog: Ask; Result: "}),
            LogLines());
  EXPECT_TRUE(WindowsListForTesting().empty());
}

// A dialog opened from a button's handler runs its own loop and returns before the outer one goes on.
TEST_F(MessageDialogTest, ADialogOpenedFromAHandlerRunsItsOwnLoop) {
  clsStockDialogRecorder recorder;
  WindowsQueueCallForTesting([] {
    QueueStockDialogAnswer(kMsgDlgButtonYes);
    EXPECT_EQ(3, MessageDialog(U("Inner?"), kMsgDlgNoYes, UniString(), nullptr, UniString(), 0));
    QueueStockDialogAnswer(kMsgDlgButtonCancel);
  });
  EXPECT_EQ(2, MessageDialog(U("Outer"), kMsgDlgCancelOK, UniString(), nullptr, UniString(), 0));
  ASSERT_EQ(2u, recorder.Shown().size());
  EXPECT_EQ("Inner?", recorder.Shown()[1].m_strText);
}

}  // namespace
