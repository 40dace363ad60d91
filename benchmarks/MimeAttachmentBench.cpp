// MimeAttachmentBench: an attachment part's Base64 lines for 10 and 100 MiB files, against a
// plain C loop doing the same work on the same file: 45-byte reads through a 16 KiB stdio
// buffer, OpenSSL's EVP_EncodeBlock, and the lines written with CR LF to a second file; and for
// the read-back, the part reading its ".att" file against fgets over that file. The files lie in
// a temporary folder that is the File Manager stand-in's root, made once and removed at exit.
// Reported in bytes of the attached file per second (the encoding times as the process's CPU time,
// since the part encodes on a thread of its own); "rss_growth_kib" is how much the peak
// resident size grew during the run (flat memory: near 0 for either size).
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include "core/UniString.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/carbon/Files.h"

namespace {

long PeakRSSKiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct stcBenchRoot {
  std::string strRoot;
  stcBenchRoot() {
    char pattern[] = "/tmp/mime-attach-bench-XXXXXX";
    strRoot = mkdtemp(pattern);
    std::filesystem::create_directories(strRoot + "/data");
    std::filesystem::create_directories(strRoot + "/chew");
    for (int mib : {10, 100}) {
      std::ofstream out(strRoot + "/data/f" + std::to_string(mib) + ".bin", std::ios::binary);
      std::string block(1 << 20, '\0');
      uint32_t seed = uint32_t(mib);
      for (int m = 0; m < mib; ++m) {
        for (char& c : block) {
          seed = seed * 1103515245u + 12345u;
          c = char(seed >> 24);
        }
        out << block;
      }
    }
    FSStandInSetRoot(strRoot.c_str());
    FSStandInSetFolder(kOnSystemDisk, kChewableItemsFolderType, "/chew");
  }
  ~stcBenchRoot() {
    FSStandInReset();
    std::error_code ignored;
    std::filesystem::remove_all(strRoot, ignored);
  }
};

stcBenchRoot& Root() {
  static stcBenchRoot root;
  return root;
}

std::string DataPath(int mib) { return Root().strRoot + "/data/f" + std::to_string(mib) + ".bin"; }

// The plain loop: 45-byte reads, EVP_EncodeBlock, a line and CR LF written.
void BM_PlainEncode(benchmark::State& state) {
  int const mib = int(state.range(0));
  std::string const in = DataPath(mib), out = Root().strRoot + "/plain.att";
  long const before = PeakRSSKiB();
  for (auto _ : state) {
    FILE* src = fopen(in.c_str(), "rb");
    FILE* dst = fopen(out.c_str(), "wb");
    setvbuf(src, nullptr, _IOFBF, 16384);
    setvbuf(dst, nullptr, _IOFBF, 16384);
    unsigned char data[45];
    unsigned char line[64];
    size_t n;
    while ((n = fread(data, 1, sizeof data, src)) > 0) {
      int const length = EVP_EncodeBlock(line, data, int(n));
      line[length] = '\r';
      line[length + 1] = '\n';
      fwrite(line, 1, size_t(length) + 2, dst);
    }
    fclose(src);
    fclose(dst);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(mib) << 20));
  state.counters["rss_growth_kib"] = double(PeakRSSKiB() - before);
}

void BM_PlainReadBack(benchmark::State& state) {
  int const mib = int(state.range(0));
  std::string const att = Root().strRoot + "/plain.att";
  {
    // The file the plain encoder writes, made here so this case stands on its own.
    std::string const in = DataPath(mib);
    FILE* src = fopen(in.c_str(), "rb");
    FILE* dst = fopen(att.c_str(), "wb");
    unsigned char data[45], line[64];
    size_t n;
    while ((n = fread(data, 1, sizeof data, src)) > 0) {
      int const length = EVP_EncodeBlock(line, data, int(n));
      fwrite(line, 1, size_t(length), dst);
      fwrite("\r\n", 1, 2, dst);
    }
    fclose(src);
    fclose(dst);
  }
  long const before = PeakRSSKiB();
  for (auto _ : state) {
    FILE* src = fopen(att.c_str(), "rb");
    setvbuf(src, nullptr, _IOFBF, 16384);
    char line[128];
    size_t lines = 0;
    while (fgets(line, sizeof line, src) != nullptr) ++lines;
    benchmark::DoNotOptimize(lines);
    fclose(src);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(mib) << 20));
  state.counters["rss_growth_kib"] = double(PeakRSSKiB() - before);
}

// The part's first run: the file read, encoded and written to its ".att" file.
void BM_PartEncode(benchmark::State& state) {
  int const mib = int(state.range(0));
  UniString const entry(("/data/f" + std::to_string(mib) + ".bin").c_str());
  Root();
  long const before = PeakRSSKiB();
  for (auto _ : state) {
    clsSMTPEmailPart part;
    part.SetupAttachment(entry, UniString("UTF-8"));
    part.StartAttachment();
    AnsiString line;
    while (part.EncodeAttachmentLine(&line)) {
    }
    state.PauseTiming();
    part.Clear();  // deletes the ".att" file
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(mib) << 20));
  state.counters["rss_growth_kib"] = double(PeakRSSKiB() - before);
}

// Later runs: the part reads its ".att" file back.
void BM_PartReadBack(benchmark::State& state) {
  int const mib = int(state.range(0));
  UniString const entry(("/data/f" + std::to_string(mib) + ".bin").c_str());
  Root();
  clsSMTPEmailPart part;
  part.SetupAttachment(entry, UniString("UTF-8"));
  part.StartAttachment();
  AnsiString line;
  while (part.EncodeAttachmentLine(&line)) {
  }
  long const before = PeakRSSKiB();
  for (auto _ : state) {
    part.SetupAttachment(entry, UniString("UTF-8"));
    part.StartAttachment();
    while (part.EncodeAttachmentLine(&line)) {
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(mib) << 20));
  state.counters["rss_growth_kib"] = double(PeakRSSKiB() - before);
}

BENCHMARK(BM_PlainEncode)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_PartEncode)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_PlainReadBack)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartReadBack)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
