// Fuzz target: server bytes cut at fuzzer-chosen points and handed to the SMTP thread's socket
// data callback, so that every line goes through the reply parser, then a close in line mode;
// afterwards the connect dialogue's banner and EHLO steps take what replies there are. Must never
// crash or grow without bound: no reply holds more lines than the cap, no more replies are held
// than the cap, every code is three digits or none. Else the target aborts.
// Input: byte 0 is the number of cuts (mod 16), the next that many bytes the batch lengths; the
// rest is the received data.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "smtp/clsSMTPProt.h"
#include "smtp/clsSMTPProtThread.h"

namespace {

class clsFuzzThread : public clsSMTPProtThread {
 public:
  explicit clsFuzzThread(clsGenProt* controller) : clsSMTPProtThread(controller) { m_bolLineMode = true; }
  void Check() const {
    if (m_deqResponses.size() > kMaxHeldReplies) std::abort();
    for (auto const& reply : m_deqResponses) {
      if (reply.LineCount() > kMaxReplyLines || reply.m_intCode < 0 || reply.m_intCode > 999) std::abort();
    }
  }
  void Steps() {
    for (int state : {kConnectGetServerBanner, kConnectParseEHloResp, kConnectParseStartTLSResp}) {
      m_astrError = AnsiString();
      m_deqCommands.push_back(stcCommand(kSMTPCmdConnect, state));
      for (int turn = 0; turn < 8 && !m_deqCommands.empty(); ++turn) ProcessCommandQueue();
      m_deqCommands.clear();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size == 0) return 0;
  size_t cuts = data[0] % 16;
  if (size < 1 + cuts) return 0;
  std::vector<size_t> lengths(data + 1, data + 1 + cuts);
  std::string payload(reinterpret_cast<char const*>(data + 1 + cuts), size - 1 - cuts);

  clsSMTPProt controller;
  clsFuzzThread thread(&controller);
  size_t at = 0;
  size_t next = 0;
  while (at < payload.size()) {
    size_t count = next < lengths.size() && lengths[next] > 0 ? lengths[next] : payload.size() - at;
    ++next;
    if (count > payload.size() - at) count = payload.size() - at;
    CFDataRef batch = CFDataCreate(nullptr, reinterpret_cast<UInt8 const*>(payload.data() + at), CFIndex(count));
    thread.SocketDataAvailable(nullptr, nullptr, batch);
    CFRelease(batch);
    thread.Check();
    at += count;
  }
  thread.SocketSessionClosed(nullptr, nullptr);
  thread.Check();
  thread.Steps();
  return 0;
}
