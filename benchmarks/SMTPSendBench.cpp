// SMTPSendBench: sending one message with a 10 MiB attachment (about 14 MB on the wire) to
// postfix's smtp-sink on 127.0.0.1, three ways in one run:
//   BM_CurlUpload      curl uploading the same message, prebuilt as a file (the peer)
//   BM_SendOneEmail    Connect, SendOneEmail, Disconnect through the SMTP controller
//   BM_WriterAlone     the message writer alone: GenerateEmail and GetLine up to "."
// Each reports MB/s and CPU seconds per MB ("cpu_s_per_MB": curl's own CPU for the upload, the
// process's CPU for ours). The bar: send minus writer at most 1.0x curl's wall time; the
// comparison is printed after the run. The sink is started through benchmarks/postfix-sink.sh,
// named with its cache folder by VELMORA_POSTFIX_SINK and VELMORA_POSTFIX_CACHE (scripts/bench.sh
// sets both once the package is at hand); without them every benchmark is skipped.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/UniStringList.h"
#include "mime/clsSMTPEmail.h"
#include "platform/carbon/Files.h"
#include "smtp/clsSMTPProt.h"

extern char** environ;

namespace {

double g_dblCurlWall = 0, g_dblSendWall = 0, g_dblWriterWall = 0;

double CPUSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(uint16_t(port));
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Fill(clsSMTPEmail& message) {
  message.AddTo(UniString("Reader <reader@example.com>"));
  message.SetSubject(UniString("Quarterly figures"));
  UniStringList body;
  body.Add(UniString("Hello,"));
  body.Add(UniString("the figures are attached."));
  message.AddTextBody(&body);
  message.AddAttachment(UniString("/data/big.bin"));
}

// Every line of the message with its CR LF, "." included when withEnd.
int64_t Pull(clsSMTPEmail& message, std::ofstream* out) {
  if (message.GenerateEmail().IsNotEmpty()) return -1;
  int64_t bytes = 0;
  for (;;) {
    AnsiString const line = message.GetLine();
    bool const end = line.Length() == 1 && line.c_str()[0] == '.';
    bytes += line.Length() + 2;
    if (end) return bytes;
    if (out != nullptr) {
      out->write(line.c_str(), line.Length());
      out->write("\r\n", 2);
    }
  }
}

// The folder, the message, the sink and the controller, made once for the whole run.
struct stcSendBench {
  std::string strDir, strMessageFile;
  int intPort = 0;
  pid_t intSink = -1;
  int64_t lngBytes = 0;
  clsSMTPEmail udtMessage;
  clsSMTPProt udtProt;
  bool bolReady = false;
  std::string strWhyNot;

  stcSendBench() {
    char const* script = getenv("VELMORA_POSTFIX_SINK");
    char const* cache = getenv("VELMORA_POSTFIX_CACHE");
    if (script == nullptr || *script == '\0' || cache == nullptr || *cache == '\0') {
      strWhyNot = "VELMORA_POSTFIX_SINK and VELMORA_POSTFIX_CACHE are not set (scripts/bench.sh sets them)";
      return;
    }
    char pattern[] = "/tmp/smtp-send-bench-XXXXXX";
    strDir = mkdtemp(pattern);
    for (char const* sub : {"/data", "/chew", "/prefs"}) std::filesystem::create_directories(strDir + sub);
    {
      std::ofstream out(strDir + "/data/big.bin", std::ios::binary);
      std::string block(1 << 20, '\0');
      uint32_t seed = 1;
      for (int m = 0; m < 10; ++m) {
        for (char& c : block) {
          seed = seed * 1103515245u + 12345u;
          c = char(seed >> 24);
        }
        out << block;
      }
    }
    FSStandInSetRoot(strDir.c_str());
    FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew");
    FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
    Fill(udtMessage);
    udtMessage.SetLocalHost(AnsiString("client.example.com"));
    strMessageFile = strDir + "/message.eml";
    std::ofstream file(strMessageFile, std::ios::binary);
    lngBytes = Pull(udtMessage, &file);
    file.close();
    intPort = FreePort();
    // The script execs smtp-sink: the child is the sink itself.
    intSink = Spawn({script, cache, "127.0.0.1:" + std::to_string(intPort), "100"});
    for (int i = 0; i < 500 && intSink > 0 && !Accepts(intPort); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (intSink <= 0 || !Accepts(intPort)) {
      strWhyNot = "smtp-sink did not start";
      return;
    }
    if (!udtProt.StartupProtocol()) {
      strWhyNot = udtProt.ErrorString().c_str();
      return;
    }
    bolReady = lngBytes > 0;
  }
  ~stcSendBench() {
    if (intSink > 0) {
      kill(intSink, SIGTERM);
      waitpid(intSink, nullptr, 0);
    }
    udtProt.ShutdownProtocol();
    FSStandInReset();
    std::error_code ignored;
    if (!strDir.empty()) std::filesystem::remove_all(strDir, ignored);
  }
};

stcSendBench& Bench() {
  static stcSendBench bench;
  return bench;
}

void Report(benchmark::State& state, double cpu, double wall, double* average) {
  double const mb = double(Bench().lngBytes) / 1e6;
  state.SetBytesProcessed(int64_t(state.iterations()) * Bench().lngBytes);
  state.counters["cpu_s_per_MB"] = cpu / double(state.iterations()) / mb;
  *average = wall / double(state.iterations());
}

void BM_CurlUpload(benchmark::State& state) {
  stcSendBench& bench = Bench();
  if (!bench.bolReady) return state.SkipWithError(bench.strWhyNot.c_str());
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double const before = CPUSeconds(RUSAGE_CHILDREN);
    auto const t0 = std::chrono::steady_clock::now();
    pid_t pid = Spawn({"/usr/bin/curl", "-s", "--url", "smtp://127.0.0.1:" + std::to_string(bench.intPort),
                       "--mail-from", "sender@example.com", "--mail-rcpt", "reader@example.com", "-T",
                       bench.strMessageFile});
    int status = 0;
    waitpid(pid, &status, 0);
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += CPUSeconds(RUSAGE_CHILDREN) - before;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return state.SkipWithError("curl failed");
  }
  Report(state, cpu, wall, &g_dblCurlWall);
}

void BM_SendOneEmail(benchmark::State& state) {
  stcSendBench& bench = Bench();
  if (!bench.bolReady) return state.SkipWithError(bench.strWhyNot.c_str());
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double const before = CPUSeconds(RUSAGE_SELF);
    auto const t0 = std::chrono::steady_clock::now();
    bool ok = bench.udtProt.Connect("127.0.0.1", bench.intPort, 30) &&
              bench.udtProt.SendOneEmail(&bench.udtMessage, true);
    std::string error = bench.udtProt.ErrorString().c_str();
    bench.udtProt.Disconnect();
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += CPUSeconds(RUSAGE_SELF) - before;
    if (!ok) return state.SkipWithError(error.c_str());
  }
  Report(state, cpu, wall, &g_dblSendWall);
}

void BM_WriterAlone(benchmark::State& state) {
  stcSendBench& bench = Bench();
  if (!bench.bolReady) return state.SkipWithError(bench.strWhyNot.c_str());
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    double const before = CPUSeconds(RUSAGE_SELF);
    auto const t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Pull(bench.udtMessage, nullptr));
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu += CPUSeconds(RUSAGE_SELF) - before;
  }
  Report(state, cpu, wall, &g_dblWriterWall);
}

BENCHMARK(BM_CurlUpload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_SendOneEmail)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_WriterAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_dblCurlWall > 0 && g_dblSendWall > 0 && g_dblWriterWall > 0) {
    double const ratio = (g_dblSendWall - g_dblWriterWall) / g_dblCurlWall;
    printf("send %.1f ms - writer %.1f ms = %.1f ms beside curl %.1f ms: %.2fx (bar 1.0x) %s\n",
           g_dblSendWall * 1e3, g_dblWriterWall * 1e3, (g_dblSendWall - g_dblWriterWall) * 1e3,
           g_dblCurlWall * 1e3, ratio, ratio <= 1.0 ? "met" : "NOT met");
  }
  return 0;
}
