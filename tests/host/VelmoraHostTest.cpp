// Tests of velmora-host as a person runs it, against the build's bundle, with its preference
// and temporary folders in a fresh folder: the results it prints, its exit status (0, 1 on an
// "ERROR:" result, a call it cannot make or a dialog answer it cannot carry out, 2 when the
// plug-in does not load or start, 64 for a wrong command line), fields and variables as
// parameters, calls from a script, preferences that outlive one run, and the configuration
// dialog answered from a --dialogs file or cancelled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/host/VelmoraHostRun.h"

namespace {

using stcRun = stcHostRun;
using VelmoraHostTest = VelmoraHostRunTest;
std::string ReadFile(std::string const& path) { return ReadHostRunFile(path); }

TEST_F(VelmoraHostTest, PrintsResultsAndAnswersWithItsExitStatus) {
  std::ofstream(m_strDir + "/answers") << "dialog\nclick 1\n";
  std::ofstream(m_strDir + "/bad-answers") << "dialog\nclick one\n";
  // Send with no To: the notice about it, then the compose dialog, are cancelled in turn.
  std::ofstream(m_strDir + "/send-answers") << "dialog\nclick 200\n";
  std::ofstream(m_strDir + "/failing-answers") << "dialog\nclick 999\nclick 200\n";
  std::string const host = "Velmora_Configure( \"Set\" ; \"Host\" ; \"127.0.0.1\" )";
  struct stcCase {
    std::vector<std::string> args;
    int exit;
    char const* out;
  } const cases[] = {
      {{"Velmora_Version", "velmora_versionautoupdate( \"x\" )", "Velmora_Version( \"AutoUpdate\" )"},
       0,
       "Velmora v.1.1.3\n01010300\n1.0103\n"},
      {{"Velmora_Configure( \"GET\" ; \"Nothing\" )", "Velmora_Version"},
       1,
       "ERROR: Configure: Could not Get Preference: Unknown Preference Name: Nothing\nVelmora v.1.1.3\n"},
      {{"Velmora_NoSuchFunction", "Velmora_Version"}, 1, "Velmora v.1.1.3\n"},
      {{"Velmora_Version( \"open", "Velmora_Version"}, 1, "Velmora v.1.1.3\n"},
      {{"Velmora_GetDialogValue"}, 1, ""},  // below the registered minimum: not called
      {{"--app-type", "3", "Velmora_Version"}, 2, ""},
      {{"--api-version", "49", "Velmora_Version"}, 2, ""},
      {{"--bundle", "/nonexistent/Velmora.bundle", "Velmora_Version"}, 2, ""},
      {{"--progress", "--dialogs", m_strDir + "/answers", "Velmora_Version"}, 0, "Velmora v.1.1.3\n"},
      {{"--dialogs", m_strDir + "/send-answers", host, "Velmora_ShowMessageDialog"},
       0,
       "Preference Set.\nMessage Dialog was Cancelled.\n"},
      {{"--dialogs", m_strDir + "/failing-answers", host, "Velmora_ShowMessageDialog"},
       1,
       "Preference Set.\nMessage Dialog was Cancelled.\n"},
      // command-line mistakes
      {{"--dialogs", m_strDir + "/bad-answers", "Velmora_Version"}, 64, ""},
      {{"--dialogs", m_strDir + "/none", "Velmora_Version"}, 64, ""},
      {{"--app-type"}, 64, ""},
      {{"--unknown"}, 64, ""},
      // The plug-in offers no File_* function by itself; --file-functions offers those of its mask.
      {{"Velmora_File_FolderExists( \"/\" )", "Velmora_Version"}, 1, "Velmora v.1.1.3\n"},
      {{"--file-functions", "0x40", "Velmora_File_FolderExists( \"/\" )", "Velmora_File_Exists( \"/\" )"}, 1, "1\n"},
      {{"--file-functions", "all", "Velmora_Version"}, 64, ""},
  };
  for (stcCase const& c : cases) {
    stcRun const run = Run(c.args);
    EXPECT_EQ(c.exit, run.m_intExit) << c.args[0] << "\n" << run.m_strErr;
    EXPECT_EQ(c.out, run.m_strOut) << c.args[0];
  }
}

// Fields and variables stand as parameters with what --field, --container and --var give them;
// what goes wrong is said on stderr.
TEST_F(VelmoraHostTest, ParametersFromTheRecordAndWhatWentWrong) {
  std::ofstream(m_strDir + "/in.txt") << "hello";
  std::filesystem::create_directories(m_strDir + "/exported");
  struct stcCase {
    std::vector<std::string> args;
    int exit;
    std::string out;
    char const* err;  // a text stderr holds
  } const cases[] = {
      {{"--field", "People::Host=mail.example.test", "--var", "$what=Host",
        "Velmora_Configure( \"Set\" ; $what ; people::host )", "Velmora_Configure( \"Get\" ; \"Host\" )"},
       0,
       "Preference Set.\nmail.example.test\n",
       "loaded"},
      {{"--file-functions", "0x20", "--container", "People::Photo=" + m_strDir + "/in.txt",
        "Velmora_File_Export( People::Photo ; \"" + m_strDir + "/exported\" )"},
       0,
       "Exported file to: " + m_strDir + "/exported/in.txt\n",
       "loaded"},
      {{"Velmora_Configure( \"Get\" ; People::Nope )"}, 1, "", "no field People::Nope in the record"},
      {{"Velmora_Version( Container( \"\" ) )"}, 1, "", "cannot read a container's file: no file is named"},
      {{"Velmora_GetDialogValue"}, 1, "", "Velmora_GetDialogValue takes 1 parameter, not 0"},
      {{"--bogus"}, 64, "", "unknown option --bogus"},
      {{"--field", "NoEquals"}, 64, "", "--field needs NAME=VALUE, not NoEquals"},
  };
  for (stcCase const& c : cases) {
    stcRun const run = Run(c.args);
    EXPECT_EQ(c.exit, run.m_intExit) << c.args.back() << "\n" << run.m_strErr;
    EXPECT_EQ(c.out, run.m_strOut) << c.args.back();
    EXPECT_NE(std::string::npos, run.m_strErr.find(c.err)) << run.m_strErr;
  }
  EXPECT_EQ("hello", ReadFile(m_strDir + "/exported/in.txt"));
}

TEST_F(VelmoraHostTest, ScriptsAndPreferencesThatOutliveARun) {
  std::ofstream(m_strDir + "/script") << "# set up the server\n"
                                      << "Velmora_Configure( \"Set\" ; \"Host\" ; \"mail.example.test\" )\n\n"
                                      << "   Velmora_Configure( \"SET\" ; \"TextFooter\" ; \"Thanks\xC2\xB6the team\" )\r\n";
  stcRun const first = Run({"--script", m_strDir + "/script"});
  EXPECT_EQ(0, first.m_intExit) << first.m_strErr;
  EXPECT_EQ("Preference Set.\nPreference Set.\n", first.m_strOut);
  std::string const folder = m_strDir + "/config/QRV/Velmora/1.1/";
  EXPECT_NE(std::string::npos, ReadFile(folder + "Velmora Prefs").find("Host=\"mail.example.test\""));
  EXPECT_EQ("\xEF\xBB\xBFThanks\rthe team", ReadFile(folder + "Velmora TextFooter"));

  stcRun const second = Run({"Velmora_Configure( \"GET\" ; \"host\" )", "Velmora_Configure(\"get\";\"TextFooter\")"});
  EXPECT_EQ(0, second.m_intExit) << second.m_strErr;
  EXPECT_EQ("mail.example.test\nThanks\nthe team\n", second.m_strOut);

  stcRun const missing = Run({"--script", m_strDir + "/no such script"});
  EXPECT_EQ(64, missing.m_intExit);
}

TEST_F(VelmoraHostTest, TheConfigurationDialogTakesItsAnswersOrIsCancelled) {
  std::ofstream(m_strDir + "/answers") << "# the Authentication tab, then the port on the Advanced tab\n"
                                       << "dialog\nclick 101 2\nclick 310\npick Login\nclick 312\ntype carol\n"
                                       << "click 101 3\nclick 318\nkey Backspace\nkey Backspace\ntype 587\n"
                                       << "click 200\n";
  std::vector<std::string> const calls = {"Velmora_Configure", "Velmora_Configure( \"Get\" ; \"AuthType\" )",
                                          "Velmora_Configure( \"Get\" ; \"Username\" )",
                                          "Velmora_Configure( \"Get\" ; \"Port\" )"};
  struct stcCase {
    bool m_bolAnswered;
    int m_intExit;
    char const* m_strOut;
  } const cases[] = {
      {true, 0, "Configuration Dialog Shown.\nLogin\ncarol\n587\n"},
      // cancelled: nothing stored
      {false, 1,
       "Configuration Dialog Shown.\n"
       "ERROR: Configure: Could not Get Preference: Unknown Preference Name: AuthType\n"
       "ERROR: Configure: Could not Get Preference: Unknown Preference Name: Username\n"
       "ERROR: Configure: Could not Get Preference: Unknown Preference Name: Port\n"},
  };
  for (stcCase const& c : cases) {
    std::vector<std::string> args = calls;
    if (c.m_bolAnswered) args.insert(args.begin(), {"--dialogs", m_strDir + "/answers"});
    std::string const home = m_strDir + (c.m_bolAnswered ? "/answered" : "/cancelled");
    stcRun const run = Run(args, home);
    EXPECT_EQ(c.m_intExit, run.m_intExit) << run.m_strErr;
    EXPECT_EQ(c.m_strOut, run.m_strOut);
    EXPECT_EQ(c.m_bolAnswered, run.m_strErr.find("no answer for this dialog") == std::string::npos) << run.m_strErr;
    EXPECT_EQ(std::string::npos, run.m_strErr.find("could not do")) << run.m_strErr;
  }
}

}  // namespace
