// SMTPTesting: the transcript wait, JSON pieces of peer scripts and the test name server.
#include "SMTPTesting.h"

#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "dialogs/clsStatusWindow.h"
#include <thread>

extern char** environ;

bool clsTestSMTPProt::WaitForTranscriptLine(std::string const& text, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
  while (std::chrono::steady_clock::now() < deadline) {
    for (auto const& line : Transcript()) {
      if (line == text) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

bool clsTestSMTPProt::BreakWaitLoop() {
  if (m_bolGiveUpInData && MPEnterCriticalRegion(m_udtVarLock, kDurationImmediate) == noErr) {
    clsMultiVar::iterator it;
    bool const inData = m_udtStatus.GetVar(UniString("Detail"), it);  // kept: no window takes it
    MPExitCriticalRegion(m_udtVarLock);
    if (inData) {
      m_astrError = "Given up in DATA.";
      return true;
    }
  }
  if (g_udtPluginStatus.IsOpen()) {
    std::string text = g_udtPluginStatus.StatusText().GetAnsiString(1).c_str();
    if (m_vecSeenTexts.empty() || m_vecSeenTexts.back() != text) m_vecSeenTexts.push_back(text);
    if (!m_strCloseAt.empty() && text == m_strCloseAt) {
      bool close = true;
      g_udtPluginStatus.WindowCloseBoxClick(&close);
    }
  }
  return false;
}

std::string JsonText(std::string const& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += char(c);
    } else if (c < 0x20) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\u%04x", c);
      json += escaped;
    } else {
      json += char(c);
    }
  }
  return json + "\"";
}

std::string Reply(std::string const& text) { return "{\"reply\": " + JsonText(text) + "}"; }
std::string Expect(std::string const& text) { return "{\"expect\": " + JsonText(text) + "}"; }

std::string Script(std::vector<std::string> const& steps) {
  std::string json = "[";
  for (size_t i = 0; i < steps.size(); ++i) json += (i > 0 ? ", " : "") + steps[i];
  return json + "]";
}

namespace {

// A UDP port free at this moment on 127.0.0.1.
int FreeUDPPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

// True once something answers a DNS query on the port.
bool Answers(int port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  timeval wait{0, 200000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(uint16_t(port));
  unsigned char const query[] = {0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 4, 'p', 'i', 'n', 'g', 0, 0, 1, 0, 1};
  sendto(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
  unsigned char answer[512];
  bool answered = recv(fd, answer, sizeof answer, 0) > 0;
  close(fd);
  return answered;
}

}  // namespace

clsTestNameServer::clsTestNameServer(std::vector<std::string> const& options) {
  for (int attempt = 0; attempt < 3 && m_intPid <= 0; ++attempt) {
    m_intPort = FreeUDPPort();
    std::vector<std::string> args = {"/usr/sbin/dnsmasq", "--keep-in-foreground", "--conf-file=/dev/null",
                                     "--no-resolv", "--no-hosts", "--listen-address=127.0.0.1",
                                     "--bind-interfaces", "--port=" + std::to_string(m_intPort),
                                     "--pid-file=", "--log-facility=/dev/null"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) continue;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline && !Answers(m_intPort)) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;  // it ended (the port was taken meanwhile): try another
        break;
      }
    }
    m_intPid = pid;
  }
}

clsTestNameServer::~clsTestNameServer() {
  if (m_intPid > 0) {
    kill(m_intPid, SIGTERM);
    waitpid(m_intPid, nullptr, 0);
  }
}
