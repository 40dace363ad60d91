// Tests of Version, VersionAutoUpdate and Configure as the host calls them after Init: the
// version answers, GET and SET of preferences with what reaches the preference file, the names
// and values the file cannot hold, the debug-level sequence with its log lines, and the
// configuration dialog's answers.
#include "plugin/frame/ConfigureFunctions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/carbon/WindowsTesting.h"
#include "plugin/PluginGlobals.h"
#include "plugin/frame/clsPluginVars.h"
#include "tests/plugin/PluginFrameFixture.h"

namespace {

fmx::Data Container() { return FmxTestHost::ContainerData({{"JPEG", "x"}}); }

class ConfigureFunctionsTest : public PluginFrameFixture {
 protected:
  void SetUp() override {
    PluginFrameFixture::SetUp();
    ASSERT_TRUE(Start());
  }
  std::string Version(std::vector<std::string> const& texts) { return CallText(1000, texts); }
  std::string Configure(std::vector<std::string> const& texts) { return CallText(1002, texts); }
  std::string Call(fmx::int16 id, std::vector<fmx::Data> const& parameters) {
    fmx::Data result;
    EXPECT_EQ(0, m_udtHost.CallFunctionWith(id, parameters, result));
    return FmxTestHost::TextOf(result);
  }
  std::string PrefsFile() { return Exists(kSystemPrefs) ? Read(kSystemPrefs) : std::string("<none>"); }
};

TEST_F(ConfigureFunctionsTest, VersionAnswers) {
  struct stcCase {
    fmx::int16 id;
    std::vector<std::string> parameters;
    char const* answer;
  } const cases[] = {
      {1000, {}, "Velmora v.1.1.3"},
      {1000, {"no option"}, "Velmora v.1.1.3"},
      {1000, {"AutoUpdate"}, "1.0103"},
      {1000, {" auto update "}, "1.0103"},
      {1000, {"Auto Update"}, "1.0103"},
      {1003, {}, "01010300"},
      {1003, {"about", "x"}, "01010300"},
      {1000, {"  about "}, "Configuration Dialog Shown. (Initial Tab: ABOUT)"},
      {1000, {"configure"}, "Configuration Dialog Shown."},
      {1002, {" advanced "}, "Configuration Dialog Shown. (Initial Tab: advanced)"},
      {1002, {"no such tab"}, "Configuration Dialog Shown."},
      {1002, {}, "Configuration Dialog Shown."},
  };
  for (stcCase const& c : cases) EXPECT_EQ(c.answer, CallText(c.id, c.parameters)) << c.id << " " << c.parameters.size();

  // Version reads a container as no parameter and keeps the positions of the others.
  Configure({"set", "Port", "587"});
  EXPECT_EQ("fallback", Call(1000, {FmxTestHost::TextData("GET"), Container(), FmxTestHost::TextData("fallback")}));
  EXPECT_EQ("587", Call(1000, {FmxTestHost::TextData("get"), FmxTestHost::TextData("Port"), Container()}));

  g_fudtFMProduct = 3;
  EXPECT_EQ(
      "ERROR: Configure: You cannot open the Configuration Dialog with this FileMaker Product (Server, Web Publishing "
      "Engine).",
      Configure({}));
  EXPECT_EQ(m_shtHostFile, CurResFile());
}

TEST_F(ConfigureFunctionsTest, SetAndGetReachThePreferenceFile) {
  struct stcStep {
    std::vector<std::string> parameters;  // for Configure
    char const* answer;
  } const steps[] = {
      {{"GET", "Host"}, "ERROR: Configure: Could not Get Preference: Unknown Preference Name: Host"},
      {{"GET", " Host ", "x"}, "x"},
      {{"GET", "Host", "<blank>"}, ""},
      {{"Set", " Host ", "mail.example.test"}, "Preference Set."},
      {{"get", "HOST"}, "mail.example.test"},
      {{"SET", "Port", "587"}, "Preference Set."},
      {{"GET", "Port", "25"}, "587"},
      {{"SET", "SMTPPassword", "s3cret"}, "Preference Set."},
      {{"GET", "smtppassword"}, "s3cret"},
      // Lines become a list preference, whichever line end they use.
      {{"SET", "TextFooter", "line 1\rline 2"}, "Preference Set."},
      {{"GET", "TextFooter"}, "line 1\rline 2"},
      {{"SET", "HTMLFooter", "<p>\n</p>"}, "Preference Set."},
      {{"GET", "HTMLFooter"}, "<p>\r</p>"},
      {{"SET", "Signature", "a\r\nb"}, "Preference Set."},
      {{"GET", "Signature"}, "a\rb"},
  };
  for (stcStep const& s : steps) EXPECT_EQ(s.answer, Configure(s.parameters)) << s.parameters[0] << " " << s.parameters[1];
  std::string const prefs = PrefsFile();
  EXPECT_NE(std::string::npos, prefs.find("Host=\"mail.example.test\"")) << prefs;
  EXPECT_NE(std::string::npos, prefs.find("Port=\"587\"")) << prefs;
  EXPECT_EQ(std::string::npos, prefs.find("s3cret")) << "passwords are stored scrambled";
  EXPECT_EQ(std::string(kBOM) + "line 1\rline 2", Read("/prefs/QRV/Velmora/1.1/Velmora TextFooter"));
  EXPECT_EQ(std::string(kBOM) + "<p>\r</p>", Read("/prefs/QRV/Velmora/1.1/Velmora HTMLFooter"));

  // A fresh start reads back what was stored.
  Stop();
  Later();
  ASSERT_TRUE(Start());
  EXPECT_EQ("mail.example.test", Configure({"GET", "Host"}));
  EXPECT_EQ("line 1\rline 2", Configure({"GET", "TextFooter"}));
  EXPECT_EQ("s3cret", Configure({"GET", "SMTPPassword"}));
}

TEST_F(ConfigureFunctionsTest, NamesThePreferenceFileCannotHoldAreRefused) {
  ASSERT_EQ("Preference Set.", Configure({"SET", "Host", "mail.example.test"}));
  std::string const before = PrefsFile();
  for (char const* name : {"a=b", "x;y", "say \"hi\"", "it's", "{b}", "$v", "a\rb", "a\nb"}) {
    EXPECT_EQ(std::string("ERROR: Configure: Could not Set Preference: Invalid Preference Name: ") + name,
              Configure({"SET", name, "value"}))
        << name;
  }
  EXPECT_EQ("ERROR: Configure: Could not Set Preference: Invalid Preference Name: ", Configure({"SET", " ", "v"}));
  EXPECT_EQ(before, PrefsFile());
  EXPECT_EQ("fallback", Configure({"GET", "a=b", "fallback"}));

  EXPECT_EQ("ERROR: Configure: The 'PrefValue' parameter must be text.",
            Call(1002, {FmxTestHost::TextData("SET"), FmxTestHost::TextData("Host"), Container()}));
  EXPECT_EQ("mail.example.test", Configure({"GET", "Host"}));
}

TEST_F(ConfigureFunctionsTest, DebugLevelSequence) {
  g_fnDebugLogFileWriter = DoDebugLogFile;
  Configure({"GET", "Nothing"});  // a line for the back-log while logging is off
  ASSERT_EQ(kDebugNone, g_intDebugLevel);

  std::string const full = Configure({"set", "debug level", " full "});
  ASSERT_FALSE(g_ustrDebugLogFileName.IsEmpty());
  std::string const path = g_ustrDebugLogFileName.GetAnsiString(1).c_str();
  EXPECT_EQ("Debug Level Set to \"Full\"; File Location=" + path, full);
  EXPECT_EQ(kDebugFull, g_intDebugLevel);
  EXPECT_NE(std::string::npos, PrefsFile().find("DebugLevel=\"Full\""));
  std::string const log = Read("/Desktop/Velmora Debug Log.txt");
  size_t at = 0;
  for (char const* line :
       {"Begin : Debug Back Log Entries", "Could not Get Preference: Unknown Preference Name: Nothing",
        "End : Debug Back Log Entries", "Setting Debug Level to \"Full\"", "*** Velmora v.1.1.3", "*** Mac OS X",
        "*** FileMaker Version: 12.0v5", "*** File DateTime Stamp: "}) {
    size_t const found = log.find(line, at);
    ASSERT_NE(std::string::npos, found) << line << " in order in\n" << log;
    at = found;
  }

  struct stcStep {
    std::vector<std::string> parameters;
    std::string answer;
  } const steps[] = {
      {{"GET", "DebugLevel"}, "Debug Level Set to \"Full\""},
      {{"SET", "DEBUGLEVEL", "warning"}, "Debug Level Set to \"Warning\"; File Location=" + path},
      {{"SET", "DebugLevel", "loud noises"}, "ERROR: Configure: Could not Set Preference: Unknown Debug Level: Loud Noises"},
      {{"GET", "Debug Level"}, "Debug Level Set to \"Warning\""},
      {{"SET", "DebugLevel", "Off"}, "Debug Level Set to \"None\"; File Location=" + path},
      {{"SET", "DebugLevel", "none"}, "Debug Level Set to \"None\""},
      {{"GET", "DebugLevel"}, "Debug Level Set to \"None\""},
  };
  for (stcStep const& s : steps) EXPECT_EQ(s.answer, Configure(s.parameters)) << s.parameters[1] << " " << s.parameters.size();
  EXPECT_EQ(std::string::npos, PrefsFile().find("DebugLevel")) << PrefsFile();
  EXPECT_NE(std::string::npos, Read("/Desktop/Velmora Debug Log.txt").find("Setting Debug Level to \"None\""));
}

// With the log at Full no password reaches it: the parameter and result traces of a SET or GET of
// a password, through Configure and Version, show it censored, and so does everything the
// dialog, the preference save and the load after a restart write. Another setting's traces keep
// its value.
TEST_F(ConfigureFunctionsTest, PasswordsNeverReachTheLog) {
  ASSERT_EQ(0u, Configure({"SET", "DebugLevel", "Full"}).find("Debug Level Set to \"Full\""));
  std::string const secret = "Pa55w0rd-XYZ";
  struct stcStep {
    fmx::int16 id;
    std::vector<std::string> parameters;
    std::string answer;
  } const steps[] = {
      {1002, {"Set", "Password", secret}, "Preference Set."},
      {1002, {"Get", "Password"}, secret},
      {1002, {"GET", " SMTP password ", secret + "-default"}, secret + "-default"},
      {1000, {"set", "password", secret + "-v"}, "Preference Set."},
      {1000, {" get ", "Password"}, secret + "-v"},
      {1002, {"Set", "Host", "mail.example.test"}, "Preference Set."},
      {1002, {"Get", "Host"}, "mail.example.test"},
      {1002, {"SET", "AuthType", "Login"}, "Preference Set."},
  };
  for (stcStep const& s : steps) EXPECT_EQ(s.answer, CallText(s.id, s.parameters)) << s.parameters[1];
  std::string const unknown = "ERROR: Configure: Could not Get Preference: Unknown Preference Name: NoPassword";
  EXPECT_EQ(unknown, Configure({"GET", "NoPassword"}));
  EXPECT_EQ(3u, LinesWith("As text (up to 30 chars): [CENSORED]"));
  EXPECT_EQ(3u, LinesWith("Callback: [CENSORED]"));
  EXPECT_EQ(1u, LinesWith("As text (up to 30 chars): \"mail.example.test\""));
  EXPECT_EQ(1u, LinesWith("ConfigureCallback: mail.example.test"));
  EXPECT_EQ(1u, LinesWith("ConfigureCallback: " + unknown));

  // The dialog shows the password and OK saves it with a new one typed; a restart loads it.
  WindowsQueueClickForTesting(314);
  for (size_t i = 0; i < secret.size() + 2; ++i) WindowsQueueKeyForTesting(8);
  WindowsQueueTypeForTesting((secret + "-d").c_str());
  WindowsQueueClickForTesting(200);
  EXPECT_EQ("Configuration Dialog Shown. (Initial Tab: authentication)", Configure({"authentication"}));
  EXPECT_EQ(std::vector<std::string>(), WindowsRefusalsForTesting());
  EXPECT_EQ(0u, WindowsQueuedActionCountForTesting());
  Stop();
  Later();
  ASSERT_TRUE(Start());
  ASSERT_EQ(kDebugFull, g_intDebugLevel);
  EXPECT_EQ(secret + "-d", Configure({"GET", "Password"}));
  EXPECT_EQ(4u, LinesWith("Callback: [CENSORED]"));

  for (std::string const& line : m_vecLogLines) EXPECT_EQ(std::string::npos, line.find(secret)) << line;
  for (UniString const& line : *g_ulstDebugBackLog)
    EXPECT_EQ(std::string::npos, std::string(line.GetAnsiString(1).c_str()).find(secret));
}

}  // namespace
