// XFileStreamBench: line reading and writing through XFileStream against the standard library
// doing the same work on the same 64 MiB text file (LF line ends, mostly ASCII with two- and
// three-byte UTF-8 characters in about one word of seven, lines of 20 to 120 bytes), made once
// in a temporary folder and removed at exit. Reading: std::getline on an std::ifstream, then
// ReadLine into an AnsiString and into a UniString from UTF-8 (encoding 1), both through a
// 16384-byte buffer. Writing: the file's lines written with fwrite and with WriteBytes through
// the write-behind buffer. Long lines: the same 1 MiB of text read as one line (a long
// preference value) and as 16384 lines of 64 bytes, through XStream's reader (as the
// string-list files read), as text and as bytes; a long line must cost about what its bytes
// cost. Reported in bytes per second.
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/AnsiString.h"
#include "core/UniString.h"
#include "files/XFileSpec.h"
#include "files/XFileStream.h"

namespace {

constexpr size_t kFileBytes = size_t{64} << 20;

// The temporary folder with the text file, made on first use and removed at exit.
struct stcBenchFile {
  std::string strFolder;
  std::string strPath;
  std::vector<std::string> lines;  // with their LF
  stcBenchFile() {
    char pattern[] = "/tmp/xfilestream-bench-XXXXXX";
    strFolder = mkdtemp(pattern);
    strPath = strFolder + "/text.txt";
    // About one word in seven carries a two- or three-byte character.
    static char const* const kWords[] = {
        "mail", "server", "r\xC3\xA9sum\xC3\xA9", "line", "to", "header", "and", "attachment",
        "of", "the", "message", "12,50 \xE2\x82\xAC", "body", "sent", "from", "a", "reply",
        "Stra\xC3\x9F\x65", "subject", "with", "date"};
    uint32_t seed = 12345;
    auto next = [&seed]() {
      seed = seed * 1103515245u + 12345u;
      return (seed >> 16) & 0x7FFF;
    };
    size_t total = 0;
    while (total < kFileBytes) {
      std::string line;
      size_t const target = 20 + next() % 100;
      while (line.size() < target) {
        line += kWords[next() % (sizeof kWords / sizeof kWords[0])];
        line += ' ';
      }
      line += '\n';
      total += line.size();
      lines.push_back(line);
    }
    std::ofstream out(strPath, std::ios::binary);
    for (std::string const& line : lines) out << line;
  }
  ~stcBenchFile() { std::filesystem::remove_all(strFolder); }
};

stcBenchFile& BenchFile() {
  static stcBenchFile file;
  return file;
}

// 1 MiB of UTF-8 text as one line and as lines of 64 bytes (63 and an LF), made on first use
// in the bench folder.
constexpr size_t kLongLineBytes = size_t{1} << 20;
struct stcLongLineFiles {
  std::string strOneLine;
  std::string strShortLines;
  stcLongLineFiles() {
    std::string const& folder = BenchFile().strFolder;
    strOneLine = folder + "/one-line.txt";
    strShortLines = folder + "/short-lines.txt";
    std::string text;
    text.reserve(kLongLineBytes);
    while (text.size() < kLongLineBytes) text += "K=\"v\xC3\xA9v\" ";
    text.resize(kLongLineBytes);
    std::string shortLines = text;
    for (size_t i = 63; i < shortLines.size(); i += 64) shortLines[i] = '\n';
    std::ofstream(strOneLine, std::ios::binary) << text;
    std::ofstream(strShortLines, std::ios::binary) << shortLines;
  }
};

stcLongLineFiles& LongLineFiles() {
  static stcLongLineFiles files;
  return files;
}

XFileSpec Spec(std::string const& path) {
  XFileSpec spec;
  spec.ParsePath(UniString(path.c_str(), 1, static_cast<int>(path.size())));
  return spec;
}

void BM_StdGetline(benchmark::State& state) {
  stcBenchFile& file = BenchFile();
  size_t bytes = 0;
  for (auto _ : state) {
    std::ifstream in(file.strPath, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) bytes += line.size() + 1;
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// Reads the whole file line by line through a 16384-byte buffer; readLine(stream, &line)
// reads one line and answers its byte count.
template <typename Line, typename ReadOne>
void ReadAllLines(benchmark::State& state, ReadOne readLine) {
  stcBenchFile& file = BenchFile();
  XFileSpec const spec = Spec(file.strPath);
  size_t bytes = 0;
  for (auto _ : state) {
    XFileStream stream(16384);
    if (!stream.AttachToFile(spec, 0, "XFSDataFork")) {
      state.SkipWithError("Could not attach to the text file");
      return;
    }
    Line line;
    while (!stream.AtEnd()) bytes += readLine(stream, &line);
    benchmark::DoNotOptimize(line);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_ReadLineAnsi(benchmark::State& state) {
  ReadAllLines<AnsiString>(state, [](XFileStream& stream, AnsiString* line) {
    return stream.ReadLine(line, kLineEndingLF, false);
  });
}

void BM_ReadLineUTF8(benchmark::State& state) {
  ReadAllLines<UniString>(state, [](XFileStream& stream, UniString* line) {
    return stream.ReadLine(line, kLineEndingLF, 1, false, false);
  });
}

// state.range(0): 1 the single 1 MiB line, 0 the short lines; range(1): 1 text, 0 bytes.
// The stream is used as an XStream, so every line goes through XStream's own reader.
void BM_ReadLineLong(benchmark::State& state) {
  stcLongLineFiles& files = LongLineFiles();
  XFileSpec const spec = Spec(state.range(0) != 0 ? files.strOneLine : files.strShortLines);
  bool const text = state.range(1) != 0;
  size_t bytes = 0;
  for (auto _ : state) {
    XFileStream file(16384);
    if (!file.AttachToFile(spec, 0, "XFSDataFork")) {
      state.SkipWithError("Could not attach to the text file");
      return;
    }
    XStream& stream = file;
    UniString uniLine;
    AnsiString ansiLine;
    while (!stream.AtEnd()) {
      bytes += static_cast<size_t>(text ? stream.ReadLine(&uniLine, kLineEndingNone, 1, false, true)
                                        : stream.ReadLine(&ansiLine, kLineEndingNone, true));
    }
    benchmark::DoNotOptimize(uniLine);
    benchmark::DoNotOptimize(ansiLine);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_Fwrite(benchmark::State& state) {
  stcBenchFile& file = BenchFile();
  std::string const path = file.strFolder + "/fwrite.txt";
  size_t bytes = 0;
  for (auto _ : state) {
    FILE* out = fopen(path.c_str(), "wb");
    if (out == nullptr) {
      state.SkipWithError("Could not create the output file");
      return;
    }
    for (std::string const& line : file.lines) bytes += fwrite(line.data(), 1, line.size(), out);
    fclose(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_WriteBytes(benchmark::State& state) {
  stcBenchFile& file = BenchFile();
  XFileSpec const spec = Spec(file.strFolder + "/stream.txt");
  size_t bytes = 0;
  for (auto _ : state) {
    XFileStream stream(16384);
    if (!stream.AttachToFile(spec, 1, "XFSDataFork") || !stream.SetSize(0, 0)) {
      state.SkipWithError("Could not create the output file");
      return;
    }
    for (std::string const& line : file.lines) {
      bytes += static_cast<size_t>(stream.WriteBytes(
          reinterpret_cast<unsigned char const*>(line.data()), static_cast<int32_t>(line.size())));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK(BM_StdGetline)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadLineAnsi)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadLineUTF8)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadLineLong)
    ->ArgNames({"one_line", "text"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Fwrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
