// Tests of the configuration dialog through the window server's driver, in the plug-in frame's
// temporary root (the preference file under "/prefs"): the page asked for and the answer, the
// Debug page by name or by Shift and Control, the settings shown from the preference file and
// written back by OK, OK's check of the sender, Cancel, and the debug level changed at once with
// what it writes to the log.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/DebugLog.h"
#include "core/DebugLogFile.h"
#include "core/MacOSGlue.h"
#include "dialogs/clsDynamicWindow.h"
#include "platform/carbon/Keys.h"
#include "platform/carbon/WindowsTesting.h"
#include "plugin/PluginGlobals.h"
#include "plugin/clsPrefs.h"
#include "plugin/frame/EmailFunctions.h"
#include "plugin/frame/clsPluginVars.h"
#include "tests/plugin/PluginFrameFixture.h"
#include "tests/support/StockDialogTesting.h"

namespace {

std::string S(UniString const& text) { return text.GetAnsiString(1).c_str(); }
UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

// What the front window shows of one control.
stcControlInfoForTesting Front(SInt32 id) {
  stcControlInfoForTesting info{};
  info.m_intValue = -99;
  WindowsControlInfoForTesting(WindowsFindControlForTesting(FrontWindow(), id), &info);
  return info;
}

// The visible tab page (102 to 106), 0 when none is.
int VisiblePage() {
  for (SInt32 page : {102, 103, 104, 105, 106})
    if (Front(page).m_blnVisible) return page;
  return 0;
}

class clsNewCfgDlgTest : public PluginFrameFixture {
 protected:
  void SetUp() override {
    PluginFrameFixture::SetUp();
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    SetKeyMapForTesting(nullptr);
    m_intProduct = g_fudtFMProduct;
    g_fudtFMProduct = 1;
  }
  void TearDown() override {
    g_fudtFMProduct = m_intProduct;
    SetKeyMapForTesting(nullptr);
    ResetStatusWindow();
    WindowsResetForTesting();
    PluginFrameFixture::TearDown();
  }

  // Turns to a page (1-based) as a click on its tab would. The driver clicks a control at its
  // centre, which on a tab control lies on the page's views, so the page is turned directly.
  static void TurnToPage(clsNewCfgDlg& dialog, int page) {
    WindowsQueueCallForTesting([&dialog, page] { dialog.m_pudtWindow->UpdateControlValue(101, page); });
  }

  // Clears the focused-to-be field by backspaces and types the text.
  static void Retype(SInt32 id, size_t oldLength, char const* text) {
    WindowsQueueClickForTesting(id);
    for (size_t i = 0; i < oldLength; ++i) WindowsQueueKeyForTesting(8);
    WindowsQueueTypeForTesting(text);
  }

  std::string Pref(char const* name) { return S(g_udtPrefs.GetStringPref(U(name), U("<unset>"))); }

  uint8_t m_intProduct = 1;
};

TEST_F(clsNewCfgDlgTest, OpensTheAskedPageAndAnswersItsName) {
  struct stcCase {
    char const* m_strTab;
    bool m_blnShiftControl;
    uint8_t m_intProduct;
    char const* m_strAnswer;
    int m_intPage;         // the visible page; 0: no dialog was shown
    bool m_blnDebugPage;
    int m_intButtonRow;
  } const cases[] = {
      {" advanced ", false, 1, " advanced ", 103, false, 734},  // blanks kept in the answer
      {"Basics", false, 1, "Basics", 102, false, 734},
      {"", false, 1, "", 102, false, 734},
      {"authentication", false, 1, "authentication", 106, false, 734},
      {"no such tab", false, 1, "", 102, false, 734},
      {"debug", false, 1, "debug", 105, true, 738},
      {" About", true, 1, " About", 104, true, 738},  // Shift and Control held: the Debug page too
      {"no such tab", true, 1, "", 102, true, 738},
      {"Advanced", false, 3, "", 0, false, 0},  // a server product shows nothing
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(std::string("tab \"") + c.m_strTab + "\"" + (c.m_blnShiftControl ? " shift+control" : ""));
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    SetKeyDownForTesting(56, c.m_blnShiftControl);
    SetKeyDownForTesting(59, c.m_blnShiftControl);
    g_fudtFMProduct = c.m_intProduct;
    clsNewCfgDlg dialog;
    int page = 0;
    bool debugPage = false, row734 = false, row738 = false;
    std::vector<std::string> tabs;
    WindowsQueueCallForTesting([&] {
      page = VisiblePage();
      tabs = Front(101).m_vecItems;
      clsDWLayout& layout = dialog.m_pudtWindow->GetLayout();
      layout.FindControlWithID(105, debugPage);
      layout.FindControlWithID(734, row734);
      layout.FindControlWithID(738, row738);
    });
    WindowsQueueClickForTesting(201);  // Cancel
    EXPECT_EQ(c.m_strAnswer, S(dialog.Show(U(c.m_strTab))));
    EXPECT_EQ(nullptr, dialog.m_pudtWindow);
    EXPECT_EQ(c.m_intPage, page);
    if (c.m_intPage == 0) {
      EXPECT_EQ(2u, WindowsQueuedActionCountForTesting());  // nothing ran
      continue;
    }
    std::vector<std::string> names = {"Basics", "Authentication", "Advanced", "About"};
    if (c.m_blnDebugPage) names.push_back("Debug");
    EXPECT_EQ(names, tabs);
    EXPECT_EQ(c.m_blnDebugPage, debugPage);
    // With the Debug page, 734 is its level row and the button row is 738.
    EXPECT_TRUE(row734);
    EXPECT_EQ(c.m_intButtonRow == 738, row738);
  }
}

TEST_F(clsNewCfgDlgTest, WindowThatCannotBeBuiltIsToldAndSavesNothing) {
  InitDebug();
  WindowsFailForTesting(kWindowsFailCreateWindow, 1);
  clsStockDialogRecorder shown;
  clsNewCfgDlg dialog;
  EXPECT_EQ(" About ", S(dialog.Show(U(" About "))));
  ASSERT_EQ(1u, shown.Shown().size());
  EXPECT_EQ("Could not build configuration dialog!", shown.Shown()[0].m_strText);
  size_t failed = 0;
  for (UniString const& line : *g_ulstDebugBackLog) failed += S(line).find("CreateConfigDialog failed.") != std::string::npos;
  EXPECT_EQ(1u, failed);
  EXPECT_EQ(nullptr, dialog.m_pudtWindow);
}

// The preference file's settings in the fields, the user's changes, and what OK writes back.
TEST_F(clsNewCfgDlgTest, SettingsShownAndWrittenBackByOK) {
  struct stcCase {
    char const* m_strName;
    std::string m_strPrefs;  // the preference file's entries
    // shown
    char const* m_strFromName;
    char const* m_strFromEmail;
    int m_intAuth, m_intTLS, m_intCharSet;
    bool m_blnUserEnabled;
    char const* m_strPort;
    int m_intAddHelp;
    std::function<void(clsNewCfgDlg&)> m_fnUser;  // what the user does before OK
    // written
    char const* m_strFrom;
    char const* m_strAuthType;
    char const* m_strTLSType;
    char const* m_strCharSet;
    int m_intPort;
    bool m_blnAddHelp;
  } const cases[] = {
      {"quoted name kept through the round trip",
       "From=\"\\\"Jane Doe\\\" <jane@example.test>\";AuthType=\" login \";TLSType=\"afterconnect\";"
       "CharSet=\"utf-8\";Port=2525;AddHelp=0;Username=\"jane\"",
       "Jane Doe", "jane@example.test", 2, 1, 21, true, "2525", 0, [](clsNewCfgDlg&) {},
       "\"Jane Doe\" <jane@example.test>", "Login", "AfterConnect", "UTF-8", 2525, false},
      {"no name, an unknown type and charset; Plain chosen enables the log-in fields",
       "From=\"jane@example.test\";AuthType=\"XOAUTH\";TLSType=\"sometimes\";CharSet=\"EBCDIC\"",
       "", "jane@example.test", 0, 0, 0, false, "25", 1,
       [](clsNewCfgDlg& dialog) {
         TurnToPage(dialog, 2);
         WindowsQueueClickForTesting(310);
         WindowsQueueMenuPickForTesting("Plain");
         WindowsQueueCallForTesting([] {
           for (SInt32 id : {311, 312, 313, 314}) EXPECT_TRUE(Front(id).m_blnActive) << id;
         });
         WindowsQueueClickForTesting(317);
         WindowsQueueMenuPickForTesting("Before Connect (Alt. Port)");
       },
       "<jane@example.test>", "Plain", "BeforeConnect", "ISO-8859-1", 25, true},
      {"an invalid sender shows empty fields; no charset stored selects none; letters as port",
       "From=\"not an address\";Port=2525",
       "", "", 0, 0, -1, false, "2525", 1,
       [](clsNewCfgDlg& dialog) {
         WindowsQueueClickForTesting(309);
         WindowsQueueTypeForTesting(" bob@example.test ");
         TurnToPage(dialog, 3);
         Retype(318, 4, "abc");
         WindowsQueueClickForTesting(304);
       },
       "<bob@example.test>", "None", "None", "", 0, false},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    WritePrefs(c.m_strPrefs);
    clsNewCfgDlg dialog;
    WindowsQueueCallForTesting([&] {
      EXPECT_EQ(c.m_strFromName, Front(316).m_strText);
      EXPECT_EQ(c.m_strFromEmail, Front(309).m_strText);
      EXPECT_EQ(c.m_intAuth + 1, Front(310).m_intValue);  // popup values count from 1
      EXPECT_EQ(c.m_intTLS + 1, Front(317).m_intValue);
      EXPECT_EQ(c.m_intCharSet + 1, Front(315).m_intValue);
      EXPECT_EQ(22u, Front(315).m_vecItems.size());
      for (SInt32 id : {311, 312, 313, 314}) EXPECT_EQ(c.m_blnUserEnabled, Front(id).m_blnActive) << id;
      EXPECT_TRUE(Front(314).m_blnPassword);
      EXPECT_EQ(c.m_strPort, Front(318).m_strText);
      EXPECT_EQ(c.m_intAddHelp, Front(304).m_intValue);
    });
    c.m_fnUser(dialog);
    WindowsQueueClickForTesting(200);  // OK
    EXPECT_EQ("", S(dialog.Show(U("nothing"))));
    EXPECT_EQ(std::vector<std::string>(), WindowsRefusalsForTesting());
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    EXPECT_EQ(c.m_strFrom, Pref("From"));
    EXPECT_EQ(c.m_strAuthType, Pref("AuthType"));
    EXPECT_EQ(c.m_strTLSType, Pref("TLSType"));
    EXPECT_EQ(c.m_strCharSet, Pref("CharSet"));
    EXPECT_EQ(c.m_intPort, g_udtPrefs.GetIntegerPref(U("Port"), -1));
    EXPECT_EQ(c.m_blnAddHelp, g_udtPrefs.GetBooleanPref(U("AddHelp"), !c.m_blnAddHelp));
    EXPECT_EQ("smtp.example.com", Pref("Host"));
    // Saved to the file: a fresh look at the files gives the same sender.
    Later();
    g_udtPrefs.LoadPrefs();
    EXPECT_EQ(c.m_strFrom, Pref("From"));
  }
}

// The sender typed in every form the address check cleans: OK stores it, and opening the dialog
// again and pressing OK gives the same preference file, byte for byte. A name the cleaned form
// keeps goes to From Name when that is empty; a From Name given wins.
TEST_F(clsNewCfgDlgTest, SenderRoundTripKeepsThePreferenceBytes) {
  struct stcCase {
    char const* m_strName;   // typed into From Name
    char const* m_strEmail;  // typed into From Email
    char const* m_strFrom;   // stored after the first OK
    char const* m_strShownName;
    char const* m_strShownEmail;
  } const cases[] = {
      {"", "bob@example.test", "<bob@example.test>", "", "bob@example.test"},
      {"", " bob@example.test ", "<bob@example.test>", "", "bob@example.test"},
      {"", "[bob@example.test]", "<bob@example.test>", "", "bob@example.test"},
      {"", "Bob <bob@example.test>", "\"Bob\" <bob@example.test>", "Bob", "bob@example.test"},
      {"Jane", "Bob <bob@example.test>", "\"Jane\" <bob@example.test>", "Jane", "bob@example.test"},
      {" Jane ", "<bob@example.test>", "\"Jane\" <bob@example.test>", "Jane", "bob@example.test"},
      {"", "\"Bob Smith\" <bob@example.test>", "\"Bob Smith\" <bob@example.test>", "Bob Smith",
       "bob@example.test"},
      {"Jane Doe", "\"Bob Smith\" <bob@example.test>", "\"Jane Doe\" <bob@example.test>", "Jane Doe",
       "bob@example.test"},
      {"", "bob@example.test (Bob)", "\"(Bob)\" <bob@example.test>", "(Bob)", "bob@example.test"},
      {"", "Bob <bob@example.test> (work)", "\"Bob (work)\" <bob@example.test>", "Bob (work)",
       "bob@example.test"},
      {"O\"Brien", "a@example.test", "\"O\\\"Brien\" <a@example.test>", "O\"Brien", "a@example.test"},
      {"Bob \"The Builder\" Smith", "bob@example.test", "\"Bob \\\"The Builder\\\" Smith\" <bob@example.test>",
       "Bob \"The Builder\" Smith", "bob@example.test"},
      {"C:\\Users\\bob", "bob@example.test", "\"C:\\\\Users\\\\bob\" <bob@example.test>", "C:\\Users\\bob",
       "bob@example.test"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(std::string(c.m_strName) + " / " + c.m_strEmail);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    WritePrefs("From=\"<x@example.test>\"");
    {
      clsNewCfgDlg dialog;
      Retype(316, 0, c.m_strName);
      Retype(309, 14, c.m_strEmail);
      WindowsQueueClickForTesting(200);
      dialog.Show(UniString());
    }
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    EXPECT_EQ(c.m_strFrom, Pref("From"));
    std::string const first = Read(kSystemPrefs);
    for (int again = 0; again < 2; ++again) {
      clsNewCfgDlg dialog;
      WindowsQueueCallForTesting([&] {
        EXPECT_EQ(c.m_strShownName, Front(316).m_strText);
        EXPECT_EQ(c.m_strShownEmail, Front(309).m_strText);
      });
      WindowsQueueClickForTesting(200);
      dialog.Show(UniString());
      EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
      EXPECT_EQ(first, Read(kSystemPrefs)) << "OK number " << again + 2;
    }
  }
}

// A Username and Password set by Configure over two lines are lists, which no field can show as
// they are. Opening the dialog changes nothing stored; OK leaves them as stored while their fields
// are unchanged, stores a field the user cleared of its line break, and refuses one changed but
// still holding it (Cancel on the message, then a one-line value); the Host and Port typed meanwhile
// are saved, and after a fresh start every setting reads back, the password scrambled on disk.
TEST_F(clsNewCfgDlgTest, SettingsOverSeveralLinesSurviveOKAndARestart) {
  struct stcCase {
    char const* m_strName;
    std::function<void()> m_fnUsername;  // what the user does to the Username field
    char const* m_strMessage;            // the refusal shown, or ""
    char const* m_strUsername;           // stored after OK
  } const cases[] = {
      {"left alone", [] {}, "", "bob\rsmith"},
      {"cleared and retyped", [] { Retype(312, 9, "bob"); }, "", "bob"},
      {"changed with its line break",
       [] {
         Retype(312, 0, "x");
         WindowsQueueClickForTesting(200);
         QueueStockDialogAnswer(1);
         WindowsQueueCallForTesting([] {
           EXPECT_EQ(106, VisiblePage());
           EXPECT_TRUE(Front(312).m_blnFocused);
         });
         Retype(312, 10, "carol");
       },
       "The Username cannot hold a line break. Remove it, or press Cancel to keep the setting as it is stored.",
       "carol"},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strName);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    WritePrefs("");
    ASSERT_TRUE(Start());
    for (std::vector<std::string> const& set :
         std::vector<std::vector<std::string>>{{"SET", "Host", "old.example.test"},
                                               {"SET", "AuthType", "Login"},
                                               {"SET", "Password", "secret1\rline2"},
                                               {"SET", "Username", "bob\rsmith"},
                                               {"SET", "Port", "25"}}) {
      ASSERT_EQ("Preference Set.", CallText(1002, set)) << set[1];
    }
    std::string const before = Read(kSystemPrefs);
    clsStockDialogRecorder shown;
    WindowsQueueCallForTesting([&] { EXPECT_EQ(before, Read(kSystemPrefs)) << "opening stores nothing"; });
    c.m_fnUsername();
    WindowsQueueCallForTesting([] { g_udtNewCfgDlg->m_pudtWindow->UpdateControlValue(101, 1); });
    Retype(308, 16, "smtp.example.test");
    WindowsQueueCallForTesting([] { g_udtNewCfgDlg->m_pudtWindow->UpdateControlValue(101, 3); });
    Retype(318, 2, "2525");
    WindowsQueueClickForTesting(200);
    EXPECT_EQ("Configuration Dialog Shown. (Initial Tab: Authentication)", CallText(1002, {"Authentication"}));
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    EXPECT_EQ(std::vector<std::string>(), WindowsRefusalsForTesting());
    ASSERT_EQ(*c.m_strMessage ? 1u : 0u, shown.Shown().size());
    if (*c.m_strMessage) {
      EXPECT_EQ(c.m_strMessage, shown.Shown()[0].m_strText);
    }

    for (int start = 0; start < 2; ++start) {
      SCOPED_TRACE(start ? "after a fresh start" : "after OK");
      EXPECT_EQ("smtp.example.test", CallText(1002, {"GET", "Host"}));
      EXPECT_EQ("2525", CallText(1002, {"GET", "Port"}));
      EXPECT_EQ("Login", CallText(1002, {"GET", "AuthType"}));
      EXPECT_EQ(c.m_strUsername, CallText(1002, {"GET", "Username"}));
      EXPECT_EQ("secret1\rline2", CallText(1002, {"GET", "Password"}));
      Stop();
      ResetPrefsForTesting();  // a new process: the store knows only what the files hold
      Later();
      ASSERT_TRUE(Start());
    }
    std::string const password = Read("/prefs/QRV/Velmora/1.1/Velmora Password");
    EXPECT_EQ(std::string::npos, password.find("secret1")) << "scrambled line by line";
    EXPECT_EQ(std::string::npos, password.find("line2"));
    Stop();
  }
}

// The host's preference call and Configure both show the dialog on a client host; what the host
// offers afterwards follows AddHelp and UseNewFunctions as they changed while it was open.
// Turned off, UseNewFunctions leaves Version and Configure registered, so that Configure can turn
// it on again without a restart. A server product gets no dialog from the preference call.
TEST_F(clsNewCfgDlgTest, RegistrationFollowsTheSettingsChangedInTheDialog) {
  ASSERT_TRUE(Start());
  std::vector<fmx::int16> const all = {10, 20, 30, 1000, 1003, 1002};
  std::vector<fmx::int16> const kept = {1000, 1002};
  enum enumChange { kToggleAddHelp, kUseNewOff, kUseNewOn };
  struct stcStep {
    char const* m_strName;
    bool m_blnPreferenceCall;  // else Configure without parameters
    enumChange m_enmChange;
    std::vector<fmx::int16> m_vecRegistered;
    bool m_blnHelp;
  } const steps[] = {
      {"AddHelp off by the preference call", true, kToggleAddHelp, all, false},
      {"AddHelp on again through Configure", false, kToggleAddHelp, all, true},
      {"UseNewFunctions off by the preference call", true, kUseNewOff, kept, true},
      {"UseNewFunctions on again through Configure", false, kUseNewOn, all, true},
      {"UseNewFunctions off through Configure", false, kUseNewOff, kept, true},
      {"UseNewFunctions on again by the preference call", true, kUseNewOn, all, true},
  };
  for (stcStep const& step : steps) {
    SCOPED_TRACE(step.m_strName);
    bool shown = false;
    WindowsQueueCallForTesting([&] {
      shown = g_udtNewCfgDlg != nullptr;
      if (step.m_enmChange == kToggleAddHelp) g_udtNewCfgDlg->m_pudtWindow->UpdateControlValue(101, 3);
      if (step.m_enmChange != kToggleAddHelp)
        g_udtPrefs.SetBooleanPref(U("UseNewFunctions"), step.m_enmChange == kUseNewOn);
    });
    if (step.m_enmChange == kToggleAddHelp) WindowsQueueClickForTesting(304);
    WindowsQueueClickForTesting(200);
    if (step.m_blnPreferenceCall) {
      m_udtHost.AppPreferences();
    } else {
      EXPECT_EQ("Configuration Dialog Shown.", CallText(1002, {}));
    }
    EXPECT_TRUE(shown);
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    EXPECT_EQ(nullptr, g_udtNewCfgDlg);
    std::vector<fmx::int16> ids;
    for (auto const& function : m_udtHost.Functions()) ids.push_back(function.functionId);
    EXPECT_EQ(step.m_vecRegistered, ids);
    FmxTestHost::stcFunction const* configure = m_udtHost.FindFunction(1002);
    ASSERT_NE(nullptr, configure);
    EXPECT_EQ(step.m_blnHelp, configure->prototype.find("\r/*") != std::string::npos);
  }

  g_fudtFMProduct = 3;
  bool shown = false;
  WindowsQueueCallForTesting([&] { shown = true; });
  g_intDebugLevel = kDebugInfo;
  m_udtHost.AppPreferences();
  g_intDebugLevel = kDebugNone;
  EXPECT_FALSE(shown);
  EXPECT_EQ(1u, WindowsQueuedActionCountForTesting());
  // Not even asked: the dialog's own refusal on a server product is not reached.
  EXPECT_EQ(0u, LinesWith("Creating Config Dialog"));
  EXPECT_EQ(0u, LinesWith("Er.. we are running under server"));
  WindowsResetForTesting();
  g_fudtFMProduct = 1;
}

// Host calls that arrive while the dialog runs its modal loop leave that dialog alone: another
// dialog is refused with an error text (the preference call, which has no result, tells it in
// a message), a GET still answers, and the running dialog goes on to save on OK.
TEST_F(clsNewCfgDlgTest, HostCallsDuringTheModalLoopLeaveTheRunningDialogAlone) {
  WritePrefs("Host=\"mail.example.test\"");
  ASSERT_TRUE(Start());
  clsStockDialogRecorder messages;
  clsNewCfgDlg* running = nullptr;
  std::vector<std::string> answers;
  WindowsQueueCallForTesting([&] {
    running = g_udtNewCfgDlg;
    answers.push_back(CallText(1002, {}));
    answers.push_back(CallText(1000, {"about"}));
    answers.push_back(CallText(1002, {"GET", "Host"}));
    m_udtHost.AppPreferences();
    EXPECT_EQ(running, g_udtNewCfgDlg);
  });
  QueueStockDialogAnswer(1);  // the preference call's message
  Retype(308, 17, "smtp.example.test");
  WindowsQueueClickForTesting(200);
  EXPECT_EQ("Configuration Dialog Shown.", CallText(1002, {}));
  EXPECT_NE(nullptr, running);
  std::string const refused =
      "ERROR: Configure: Could not Show Configuration Dialog: The Configuration Dialog is already shown.";
  EXPECT_EQ((std::vector<std::string>{refused, refused, "mail.example.test"}), answers);
  ASSERT_EQ(1u, messages.Shown().size());
  EXPECT_EQ("Error Showing Configuration Dialog: The Configuration Dialog is already shown.",
            messages.Shown()[0].m_strText);
  EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
  EXPECT_EQ("smtp.example.test", Pref("Host"));
  EXPECT_EQ(nullptr, g_udtNewCfgDlg);
}

// OK with a sender that does not clean keeps the dialog open on the Basics page with the focus in
// From Email; the next OK with a good one closes it with the cleaned address stored.
TEST_F(clsNewCfgDlgTest, OKRefusesAMissingOrInvalidSender) {
  struct stcCase {
    char const* m_strTyped;
    char const* m_strMessage;
  } const cases[] = {
      {"", "You must specify a From Email Address."},
      {"not an address", "The From Email Address appears to be invalid."},
      {"jane@@example.test", "The From Email Address appears to be invalid."},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.m_strTyped);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    WritePrefs("From=\"Jane <jane@example.test>\"");
    clsStockDialogRecorder shown;
    clsNewCfgDlg dialog;
    Retype(309, 17, c.m_strTyped);
    TurnToPage(dialog, 3);  // OK from another page
    WindowsQueueClickForTesting(200);
    QueueStockDialogAnswer(1);
    WindowsQueueCallForTesting([] {
      EXPECT_EQ(102, VisiblePage());
      EXPECT_TRUE(Front(309).m_blnFocused);
    });
    Retype(309, std::string(c.m_strTyped).size(), " jim@example.test ");
    WindowsQueueClickForTesting(200);
    dialog.Show(U("basics"));
    ASSERT_EQ(1u, shown.Shown().size());
    EXPECT_EQ(c.m_strMessage, shown.Shown()[0].m_strText);
    EXPECT_EQ("\"Jane\" <jim@example.test>", Pref("From"));
  }
}

// OK with a Port that is no port keeps the dialog open on the Advanced page with the focus in
// Port: numbers past 65535 (also those that wrap to a small one in 32 bits) and negative ones.
// Letters stand for the default and pass; the next OK with a good port stores it.
TEST_F(clsNewCfgDlgTest, OKRefusesAPortOutsideTheRange) {
  for (char const* typed : {"65561", "-1", "4294967321", "0x10019", "99999999999999999999"}) {
    SCOPED_TRACE(typed);
    WindowsResetForTesting();
    WindowsSetStuckModeForTesting(kWindowsStuckThrow);
    WritePrefs("From=\"<jane@example.test>\";Port=2525");
    clsStockDialogRecorder shown;
    clsNewCfgDlg dialog;
    Retype(318, 4, typed);
    TurnToPage(dialog, 1);
    WindowsQueueClickForTesting(200);
    QueueStockDialogAnswer(1);
    WindowsQueueCallForTesting([] {
      EXPECT_EQ(103, VisiblePage());
      EXPECT_TRUE(Front(318).m_blnFocused);
    });
    Retype(318, std::string(typed).size(), " 587 ");
    WindowsQueueClickForTesting(200);
    dialog.Show(U("advanced"));
    EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
    ASSERT_EQ(1u, shown.Shown().size());
    EXPECT_EQ("The Port must be a number from 1 to 65535.", shown.Shown()[0].m_strText);
    EXPECT_EQ(587, g_udtPrefs.GetIntegerPref(U("Port"), -1));
  }
}

// Cancel writes nothing, but a level chosen on the Debug page is in effect at once and stays.
// From None, the lines kept in memory reach the file between the Begin and End lines, then the
// level line and the header; back to None, only the time stamp and the level line are written.
TEST_F(clsNewCfgDlgTest, DebugLevelChangesAtOnceAndStaysAfterCancel) {
  InitDebug();
  g_intDebugLevel = kDebugNone;
  g_ustrDebugLogFileName = U("/Desktop/Velmora Debug Log.txt");
  g_ustrFMVersionStr = U("Pro 10.0v3");
  WritePrefs("Host=\"mail.example.test\"");
  std::vector<std::string> afterError;
  std::string refreshed;
  std::vector<std::string> keptWhileOff;
  clsNewCfgDlg dialog;
  WindowsQueueCallForTesting([&] {
    DebugOutput(kDebugError, U("kept while off"));
    for (UniString const& line : *g_ulstDebugBackLog) keptWhileOff.push_back(S(line));
  });
  WindowsQueueClickForTesting(305);
  WindowsQueueMenuPickForTesting("Error");
  WindowsQueueCallForTesting([&] {
    afterError = m_vecLogLines;
    EXPECT_EQ("/Desktop/Velmora Debug Log.txt", Front(306).m_strText);
  });
  WindowsQueueClickForTesting(203);  // Refresh
  WindowsQueueCallForTesting([&] { refreshed = Front(307 + 20000).m_strText; });
  WindowsQueueClickForTesting(305);
  WindowsQueueMenuPickForTesting("None (Off)");
  TurnToPage(dialog, 1);
  WindowsQueueClickForTesting(308);
  WindowsQueueTypeForTesting(".changed");
  WindowsQueueClickForTesting(201);
  EXPECT_EQ("DEBUG", S(dialog.Show(U("DEBUG"))));
  EXPECT_EQ(std::vector<std::string>(), WindowsRefusalsForTesting());
  EXPECT_EQ(kDebugNone, g_intDebugLevel);
  EXPECT_EQ("mail.example.test", Pref("Host"));

  auto tail = [](std::string const& line) {
    size_t const at = line.find("Err : ");
    return at == std::string::npos ? line : line.substr(at + 6);
  };
  // The lines kept while the log was off, in order between Begin and End, then the level and header.
  ASSERT_EQ(keptWhileOff.size() + 7, afterError.size());
  EXPECT_EQ("kept while off", tail(keptWhileOff.back()));
  EXPECT_EQ("Begin : Debug Back Log Entries", tail(afterError[0]));
  for (size_t i = 0; i < keptWhileOff.size(); ++i) EXPECT_EQ(keptWhileOff[i], tail(afterError[1 + i]));
  size_t const end = afterError.size() - 6;
  EXPECT_EQ("End : Debug Back Log Entries", tail(afterError[end]));
  std::string const stamp = "*** File DateTime Stamp: ";
  std::vector<std::string> const header = {"Debug Level Set to \"Error\"", "*** Velmora v.1.1.3",
                                           "*** " + std::string(GetMacOSVersion(nullptr, nullptr, nullptr).c_str()),
                                           "*** FileMaker Version: Pro 10.0v3"};
  for (size_t i = 0; i < header.size(); ++i) EXPECT_EQ(header[i], tail(afterError[end + 1 + i]));
  EXPECT_EQ(0u, tail(afterError.back()).find(stamp));
  EXPECT_NE(std::string::npos, refreshed.find("Debug Level Set to \"Error\""));
  EXPECT_EQ(std::string::npos, refreshed.find("*** Velmora v.1.1.3"));  // kept out of the back-log

  // Back to None: nothing more reaches the file; the back-log ends with the stamp and the level.
  EXPECT_EQ(afterError.size(), m_vecLogLines.size());
  std::vector<std::string> last;
  for (UniString const& line : *g_ulstDebugBackLog) last.push_back(S(line));
  ASSERT_GE(last.size(), 2u);
  EXPECT_EQ(0u, tail(last[last.size() - 2]).find("File DateTime Stamp: "));
  EXPECT_EQ("Debug Level Set to \"None\"", tail(last.back()));
}

}  // namespace
