// MimeComposeBench: composing a message with one large attachment, pulled line by line with
// GetLine into a counting sink, as the SMTP transaction pulls it: the first run (the attachment
// read and encoded into its ".att" file) and a later run (the ".att" file read back); and a
// large text body as one long line beside the same bytes in short lines.
//   bench_MimeComposeBench                 Google Benchmark over a 10 MiB attachment
//   bench_MimeComposeBench --compose DIR   one message from DIR/data/big.bin (DIR is made the
//                                          file system's root), printing "first SECONDS",
//                                          "again SECONDS" and "bytes N"; used by
//                                          benchmarks/MimeComposeBench.py beside Python's email
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "core/UniStringList.h"
#include "mime/clsSMTPEmail.h"
#include "platform/carbon/Files.h"

namespace {

// The bytes a server would receive: every line and its CR LF, up to and with ".".
int64_t Pull(clsSMTPEmail& message) {
  if (message.GenerateEmail().IsNotEmpty()) return -1;
  int64_t bytes = 0;
  for (;;) {
    AnsiString const line = message.GetLine();
    bytes += line.Length() + 2;
    if (line.Length() == 1 && line.c_str()[0] == '.') return bytes;
  }
}

void Fill(clsSMTPEmail& message) {
  message.AddTo(UniString("Reader <reader@example.com>"));
  message.SetSubject(UniString("Quarterly figures"));
  message.SetLocalHost(AnsiString("client.example.com"));
  UniStringList body;
  body.Add(UniString("Hello,"));
  body.Add(UniString("the figures are attached."));
  message.AddTextBody(&body);
  message.AddAttachment(UniString("/data/big.bin"));
}

void UseRoot(std::string const& dir) {
  std::filesystem::create_directories(dir + "/chew");
  std::filesystem::create_directories(dir + "/prefs");
  FSStandInSetRoot(dir.c_str());
  FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew");
  FSStandInSetFolder(kUserDomain, kPreferencesFolderType, "/prefs");
}

int Compose(std::string const& dir) {
  UseRoot(dir);
  clsSMTPEmail message;
  Fill(message);
  auto const t0 = std::chrono::steady_clock::now();
  int64_t const bytes = Pull(message);
  auto const t1 = std::chrono::steady_clock::now();
  int64_t const again = Pull(message);
  auto const t2 = std::chrono::steady_clock::now();
  if (bytes < 0 || again < 0) return 1;
  printf("first %.6f\nagain %.6f\nbytes %lld\n", std::chrono::duration<double>(t1 - t0).count(),
         std::chrono::duration<double>(t2 - t1).count(), static_cast<long long>(bytes));
  return 0;
}

struct stcBenchDir {
  std::string strDir;
  stcBenchDir() {
    char pattern[] = "/tmp/mime-compose-bench-XXXXXX";
    strDir = mkdtemp(pattern);
    std::filesystem::create_directories(strDir + "/data");
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
    out.close();
    UseRoot(strDir);
  }
  ~stcBenchDir() {
    FSStandInReset();
    std::error_code ignored;
    std::filesystem::remove_all(strDir, ignored);
  }
};

void BM_ComposeFirstRun(benchmark::State& state) {
  static stcBenchDir dir;
  int64_t bytes = 0;
  for (auto _ : state) {
    clsSMTPEmail message;  // a new message: its attachment is encoded afresh
    Fill(message);
    bytes = Pull(message);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

void BM_ComposeReadBack(benchmark::State& state) {
  static stcBenchDir dir;
  clsSMTPEmail message;
  Fill(message);
  int64_t bytes = Pull(message);
  for (auto _ : state) bytes = Pull(message);
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

// A text body of about state.range(0) MiB of words: one paragraph on one line (the cutter
// makes the wire lines) beside the same bytes in source lines of at most 76 characters. The
// long line should cost no more than about twice the short ones.
UniStringList Words(int64_t bytes, bool oneLine) {
  std::string text;
  std::string line;
  UniStringList body;
  for (int i = 0; int64_t(text.size() + line.size()) < bytes; ++i) {
    std::string const word = "word" + std::to_string(i % 1000);
    if (!oneLine && line.size() + 1 + word.size() > 76) {
      body.Add(UniString(line.c_str()));
      text += line + " ";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (oneLine) {
    body.Add(UniString(line.c_str()));
  } else if (!line.empty()) {
    body.Add(UniString(line.c_str()));
  }
  return body;
}

void TextBody(benchmark::State& state, bool oneLine) {
  static stcBenchDir dir;
  UniStringList body = Words(int64_t(state.range(0)) << 20, oneLine);
  clsSMTPEmail message;
  message.AddTo(UniString("Reader <reader@example.com>"));
  message.SetLocalHost(AnsiString("client.example.com"));
  message.AddTextBody(&body);
  int64_t bytes = 0;
  for (auto _ : state) bytes = Pull(message);
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

void BM_TextOneLongLine(benchmark::State& state) { TextBody(state, true); }
void BM_TextShortLines(benchmark::State& state) { TextBody(state, false); }

BENCHMARK(BM_ComposeFirstRun)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ComposeReadBack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextOneLongLine)->Arg(1)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextShortLines)->Arg(1)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--compose") == 0) return Compose(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
