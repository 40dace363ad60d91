// Fuzz target: bytes cut at fuzzer-chosen points and handed to the worker thread's socket data
// callback, then a close in line mode. Must never crash, and the lines delivered must be exactly
// the input cut at every CR LF, CR or LF (a CR ending one batch and a LF starting the next count
// as one line end), with an unterminated rest delivered on the close.
// Input: byte 0 is the number of cuts (mod 16), the next that many bytes the batch lengths; the
// rest is the received data.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "smtp/clsGenProt.h"
#include "smtp/clsGenProtThread.h"

namespace {

class clsLineThread : public clsGenProtThread {
 public:
  explicit clsLineThread(clsGenProt* controller) : clsGenProtThread(controller) { m_bolLineMode = true; }
  void ReceivedNewLine(AnsiString line, bool*) override {
    m_vecLines.emplace_back(line.c_str(), size_t(line.Length()));
  }
  std::vector<std::string> m_vecLines;
};

std::vector<std::string> ExpectedLines(std::string const& data) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < data.size(); ++i) {
    char c = data[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size == 0) return 0;
  size_t cuts = data[0] % 16;
  if (size < 1 + cuts) return 0;
  std::vector<size_t> lengths(data + 1, data + 1 + cuts);
  std::string payload(reinterpret_cast<char const*>(data + 1 + cuts), size - 1 - cuts);

  clsGenProt controller;
  clsLineThread thread(&controller);
  size_t at = 0;
  size_t next = 0;
  while (at < payload.size()) {
    size_t count = next < lengths.size() && lengths[next] > 0 ? lengths[next] : payload.size() - at;
    ++next;
    if (count > payload.size() - at) count = payload.size() - at;
    CFDataRef batch = CFDataCreate(nullptr, reinterpret_cast<UInt8 const*>(payload.data() + at), CFIndex(count));
    thread.SocketDataAvailable(nullptr, nullptr, batch);
    CFRelease(batch);
    at += count;
  }
  thread.SocketSessionClosed(nullptr, nullptr);
  if (thread.m_vecLines != ExpectedLines(payload)) std::abort();
  return 0;
}
