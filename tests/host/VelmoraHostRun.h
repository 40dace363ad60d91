// VelmoraHostRun: a fixture base that runs velmora-host as a person does, against the build's
// bundle, with its preference and temporary folders in a fresh folder (m_strDir/config and
// m_strDir/tmp, or those of a folder given), bounded in time; stdout, stderr, the exit status and
// the wall time are collected.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

struct stcHostRun {
  int m_intExit = -1;
  std::string m_strOut;
  std::string m_strErr;
  double m_dblSeconds = 0;
};

inline std::string ReadHostRunFile(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class VelmoraHostRunTest : public ::testing::Test {
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

  // Runs the program with the arguments; its folders are home/config and home/tmp (made when
  // missing), home being m_strDir unless given.
  stcHostRun Run(std::vector<std::string> const& args, std::string home = std::string()) {
    if (home.empty()) home = m_strDir;
    std::filesystem::create_directories(home + "/config");
    std::filesystem::create_directories(home + "/tmp");
    std::vector<std::string> argv = {"/usr/bin/timeout", "120", VELMORA_HOST_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& arg : argv) cargv.push_back(&arg[0]);
    cargv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home + "/config", "TMPDIR=" + home + "/tmp",
                                    "HOME=" + home, "VELMORA_NO_BROWSER=1", "PATH=/usr/bin:/bin"};
    std::vector<char*> cenv;
    for (std::string& entry : env) cenv.push_back(&entry[0]);
    cenv.push_back(nullptr);

    std::string const out = m_strDir + "/out";
    std::string const err = m_strDir + "/err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    stcHostRun run;
    pid_t pid = 0;
    auto const start = std::chrono::steady_clock::now();
    int const spawned = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.m_dblSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.m_intExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.m_strOut = ReadHostRunFile(out);
    run.m_strErr = ReadHostRunFile(err);
    return run;
  }

  std::string m_strDir;
};
