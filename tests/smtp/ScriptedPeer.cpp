// ScriptedPeer: process handling for the scripted peer, the test certificate and the messages
// the aiosmtpd server received.
#include "ScriptedPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

ScriptedPeer::ScriptedPeer(std::string const& script, double timeLimitSeconds, std::string const& tool) {
  char errorTemplate[] = "/tmp/velmora-peer-XXXXXX";
  int errorFD = mkstemp(errorTemplate);
  m_strErrorFile = errorTemplate;
  int pipeFDs[2];
  if (errorFD < 0 || pipe(pipeFDs) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFDs[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errorFD, 2);
  posix_spawn_file_actions_addclose(&actions, pipeFDs[0]);
  std::string path = std::string(VELMORA_SOURCE_DIR) + "/" + tool;
  std::string limit = std::to_string(timeLimitSeconds);
  std::vector<char*> argv = {const_cast<char*>("/usr/bin/python3"), const_cast<char*>(path.c_str()),
                             const_cast<char*>(script.c_str()), const_cast<char*>(limit.c_str()), nullptr};
  if (posix_spawn(&m_intPid, "/usr/bin/python3", &actions, nullptr, argv.data(), environ) != 0) m_intPid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFDs[1]);
  close(errorFD);
  // The first line of its output is the port; wait for it a bounded time.
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (m_intPid > 0 && std::chrono::steady_clock::now() < deadline) {
    pollfd p{pipeFDs[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(pipeFDs[0], &c, 1) != 1) break;
    if (c == '\n') break;
    line += c;
  }
  close(pipeFDs[0]);
  m_intPort = std::atoi(line.c_str());
}

ScriptedPeer::~ScriptedPeer() {
  if (m_intPid > 0 && m_intStatus == -1) {
    kill(m_intPid, SIGKILL);
    waitpid(m_intPid, &m_intStatus, 0);
  }
  if (!m_strErrorFile.empty()) unlink(m_strErrorFile.c_str());
}

bool ScriptedPeer::Finished(double seconds) {
  if (m_intPid <= 0) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
  while (m_intStatus == -1) {
    int status = 0;
    pid_t done = waitpid(m_intPid, &status, WNOHANG);
    if (done == m_intPid) {
      m_intStatus = status;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(m_intStatus) && WEXITSTATUS(m_intStatus) == 0;
}

std::string ScriptedPeer::Errors() const {
  std::ifstream in(m_strErrorFile);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TestCertificate const& MakeTestCertificate() {
  static TestCertificate s_udtCert = [] {
    TestCertificate cert;
    char folder[] = "/tmp/velmora-cert-XXXXXX";
    if (mkdtemp(folder) == nullptr) return cert;
    cert.m_strCert = std::string(folder) + "/cert.pem";
    cert.m_strKey = std::string(folder) + "/key.pem";
    std::string command = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
                          "-subj /CN=localhost -keyout " + cert.m_strKey + " -out " + cert.m_strCert +
                          " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) cert = TestCertificate();
    return cert;
  }();
  return s_udtCert;
}

std::vector<std::map<std::string, std::string>> ReadReceivedMessages(std::string const& path) {
  std::vector<std::map<std::string, std::string>> messages(1);
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "--") {
      messages.emplace_back();
      continue;
    }
    size_t tab = line.find('\t');
    if (tab != std::string::npos) messages.back()[line.substr(0, tab)] = line.substr(tab + 1);
  }
  messages.pop_back();
  return messages;
}
