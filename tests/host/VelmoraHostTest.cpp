// Tests of velmora-host as a person runs it, against the build's bundle, with its preference
// and temporary folders in a fresh folder: the results it prints, its exit status (0, 1 on an
// "ERROR:" result or a call it cannot make, 2 when the plug-in does not load or start), calls
// from a script, and preferences that outlive one run.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct stcRun {
  int m_intExit = -1;
  std::string m_strOut;
  std::string m_strErr;
};

std::string ReadFile(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class VelmoraHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velmora-hostrun-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_strDir = pattern;
    std::filesystem::create_directories(m_strDir + "/config");
    std::filesystem::create_directories(m_strDir + "/tmp");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_strDir, ignored);
  }

  // Runs the program (bounded in time) with the arguments; stdout and stderr go to files.
  stcRun Run(std::vector<std::string> const& args) {
    std::vector<std::string> argv = {"/usr/bin/timeout", "120", VELMORA_HOST_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& arg : argv) cargv.push_back(&arg[0]);
    cargv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + m_strDir + "/config", "TMPDIR=" + m_strDir + "/tmp",
                                    "HOME=" + m_strDir, "VELMORA_NO_BROWSER=1", "PATH=/usr/bin:/bin"};
    std::vector<char*> cenv;
    for (std::string& entry : env) cenv.push_back(&entry[0]);
    cenv.push_back(nullptr);

    std::string const out = m_strDir + "/out";
    std::string const err = m_strDir + "/err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    stcRun run;
    pid_t pid = 0;
    int const spawned = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.m_intExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.m_strOut = ReadFile(out);
    run.m_strErr = ReadFile(err);
    return run;
  }

  std::string m_strDir;
};

TEST_F(VelmoraHostTest, PrintsResultsAndAnswersWithItsExitStatus) {
  std::ofstream(m_strDir + "/answers") << "dialog\nclick 1\n";
  std::ofstream(m_strDir + "/bad-answers") << "dialog\nclick one\n";
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
      {{"--dialogs", m_strDir + "/bad-answers", "Velmora_Version"}, 2, ""},
      {{"--dialogs", m_strDir + "/none", "Velmora_Version"}, 2, ""},
      {{"--app-type"}, 2, ""},
      {{"--unknown"}, 2, ""},
  };
  for (stcCase const& c : cases) {
    stcRun const run = Run(c.args);
    EXPECT_EQ(c.exit, run.m_intExit) << c.args[0] << "\n" << run.m_strErr;
    EXPECT_EQ(c.out, run.m_strOut) << c.args[0];
  }
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
  EXPECT_EQ(2, missing.m_intExit);
}

}  // namespace
