// ScriptedPeer: runs tools/peer/scripted_peer.py (Debian's /usr/bin/python3) on 127.0.0.1 with a
// JSON script (or another tool of the same calling convention, such as tools/peer/smtp_server.py
// with its configuration), learns its port, and on destruction ends it by its process id and collects it.
// ReadReceivedMessages reads what tools/peer/smtp_server.py wrote of each accepted message.
// Finished() waits (bounded) for the peer to end and tells whether its script passed.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::string const& script, double timeLimitSeconds = 20.0,
                        std::string const& tool = "tools/peer/scripted_peer.py");
  ~ScriptedPeer();
  ScriptedPeer(ScriptedPeer const&) = delete;
  ScriptedPeer& operator=(ScriptedPeer const&) = delete;

  int Port() const { return m_intPort; }
  // Waits up to the given time for the peer to end; true when its script ran to the end.
  bool Finished(double seconds = 10.0);
  // What the peer wrote to standard error (its failure reason).
  std::string Errors() const;

 private:
  pid_t m_intPid = -1;
  int m_intPort = 0;
  int m_intStatus = -1;
  std::string m_strErrorFile;
};

// A self-signed certificate and key made by openssl in a temporary folder, once per process.
struct TestCertificate {
  std::string m_strCert;
  std::string m_strKey;
};
TestCertificate const& MakeTestCertificate();

// What the aiosmtpd server wrote for each message to its "out" file: "key<TAB>value" rows, "--"
// after each message; one map per message, in order.
std::vector<std::map<std::string, std::string>> ReadReceivedMessages(std::string const& path);

// Bytes as lower-case hex, the form of a scripted step's "raw" bytes.
inline std::string Hex(std::string const& bytes) {
  static char const kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}
