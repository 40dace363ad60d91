// Benchmarks of the protocol worker: 14 MB of 76-byte lines through SendLine and a send buffer
// of 1460 bytes (one TCP segment) or 65536 (the size the message data is sent with) to a local
// sink, beside send() of the same bytes in writes of that size (target: within 1.5x); and the CPU an idle worker thread uses, beside a bare 10 ms poll() loop
// (target: within 2x).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/smtp/GenProtTesting.h"

namespace {

constexpr int kLineCount = 14000000 / 76;

// Accepts one connection on 127.0.0.1 and reads until it closes.
class clsSink {
 public:
  clsSink() {
    m_intListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_intListen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_intListen, 1);
    socklen_t length = sizeof address;
    getsockname(m_intListen, reinterpret_cast<sockaddr*>(&address), &length);
    m_intPort = ntohs(address.sin_port);
    m_udtThread = std::thread([this] {
      int fd = accept(m_intListen, nullptr, nullptr);
      static char buffer[1 << 16];
      while (fd >= 0 && recv(fd, buffer, sizeof buffer, 0) > 0) {
      }
      if (fd >= 0) close(fd);
    });
  }
  ~clsSink() {
    m_udtThread.join();
    close(m_intListen);
  }
  int m_intPort = 0;

 private:
  int m_intListen = -1;
  std::thread m_udtThread;
};

void BM_SendLineThroughBuffer(benchmark::State& state) {
  std::string text(74, 'x');
  AnsiString line(text.c_str());
  for (auto _ : state) {
    state.PauseTiming();
    clsSink sink;
    clsTestProt prot;
    clsTestThread thread(&prot, kBehaveWell);
    thread.BeginDirect();
    thread.SetConnection("127.0.0.1", sink.m_intPort, 30);
    thread.QueueCommand(kCmdConnect, kCmdStateStart);
    if (!thread.Drive(5.0)) state.SkipWithError("no connection");
    state.ResumeTiming();
    thread.EnableSendBuffering(unsigned(state.range(0)));
    for (int i = 0; i < kLineCount; ++i) thread.SendLine(line, true, false, false);
    thread.DisableSendBuffering();
    state.PauseTiming();
    thread.EndDirect();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kLineCount * 76);
}
BENCHMARK(BM_SendLineThroughBuffer)->Arg(1460)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawSendInWrites(benchmark::State& state) {
  size_t const size = size_t(state.range(0));
  std::string bytes;
  for (int i = 0; i < kLineCount; ++i) bytes += std::string(74, 'x') + "\r\n";
  for (auto _ : state) {
    state.PauseTiming();
    clsSink sink;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(sink.m_intPort));
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    state.ResumeTiming();
    for (size_t at = 0; at < bytes.size(); at += size) {
      size_t count = std::min<size_t>(size, bytes.size() - at);
      size_t done = 0;
      while (done < count) {
        ssize_t sent = send(fd, bytes.data() + at + done, count - done, MSG_NOSIGNAL);
        if (sent <= 0) break;
        done += size_t(sent);
      }
    }
    state.PauseTiming();
    close(fd);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_RawSendInWrites)->Arg(1460)->Arg(65536)->Unit(benchmark::kMillisecond)->UseRealTime();

double ProcessCPUSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used per second of wall time while only the measured loop runs.
void BM_IdleWorkerThread(benchmark::State& state) {
  clsTestProt prot;
  if (!prot.StartupProtocol()) state.SkipWithError("no thread");
  double cpu = 0;
  for (auto _ : state) {
    double before = ProcessCPUSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cpu += ProcessCPUSeconds() - before;
  }
  state.counters["cpu_per_s"] = cpu / double(state.iterations());
}
BENCHMARK(BM_IdleWorkerThread)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BarePollLoop(benchmark::State& state) {
  std::atomic<bool> running{true};
  std::thread loop([&running] {
    while (running.load()) poll(nullptr, 0, 10);
  });
  double cpu = 0;
  for (auto _ : state) {
    double before = ProcessCPUSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cpu += ProcessCPUSeconds() - before;
  }
  running.store(false);
  loop.join();
  state.counters["cpu_per_s"] = cpu / double(state.iterations());
}
BENCHMARK(BM_BarePollLoop)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
