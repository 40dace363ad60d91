// MimeCharSetBench: 1 MiB of text lines (about 70 characters each, some accented, Cyrillic or
// kanji by charset) converted with clsSMTPEmailPart::GetLineByCharSet (BM_Convert), and also
// encoded with QPEncodeLine (BM_ConvertAndQP), in three charsets: UTF-8 (converted here), ISO-8859-1 and Windows-1251 (through
// the host SDK), beside glibc's iconv converting the same UTF-16 lines (one descriptor, opened
// once). Reported in bytes of UTF-16 input per second.
#include <iconv.h>

#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/UniString.h"
#include "mime/clsSMTPEmailPart.h"
#include "platform/fmx/FMWrapper.h"

namespace {

struct stcCharSet {
  char const* name;   // ours
  char const* iconv;  // iconv's
  char const* words[6];
};
stcCharSet const kCharSets[] = {
    {"UTF-8", "UTF-8", {"mail", "caf\xC3\xA9", "\xE6\xBC\xA2\xE5\xAD\x97", "server", "line", "text"}},
    {"ISO-8859-1", "ISO-8859-1", {"mail", "caf\xC3\xA9", "cr\xC3\xA8me", "server", "line", "text"}},
    {"WINDOWS-1251", "CP1251", {"mail", "\xD0\x9F\xD1\x80\xD0\xB8", "\xD0\xB2\xD0\xB5\xD1\x82", "server", "line", "text"}},
};

std::vector<UniString> const& Lines(int which) {
  static std::vector<UniString> lines[3];
  if (lines[which].empty()) {
    size_t bytes = 0;
    uint32_t seed = 7;
    while (bytes < (size_t{1} << 20)) {
      std::string line;
      while (line.size() < 70) {
        seed = seed * 1103515245u + 12345u;
        line += kCharSets[which].words[(seed >> 16) % 6];
        line += ' ';
      }
      UniString text(line.c_str());
      bytes += size_t(text.Length()) * 2;
      lines[which].push_back(text);
    }
  }
  return lines[which];
}

void BM_Convert(benchmark::State& state) {
  int const which = int(state.range(0));
  std::vector<UniString> const& lines = Lines(which);
  UniString const charset(kCharSets[which].name);
  clsSMTPEmailPart part;
  int64_t units = 0;
  for (UniString const& line : lines) units += line.Length();
  for (auto _ : state) {
    for (UniString const& line : lines) {
      AnsiString const converted = part.GetLineByCharSet(line, charset);
      benchmark::DoNotOptimize(converted.c_str());
    }
  }
  state.SetLabel(kCharSets[which].name);
  state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

void BM_ConvertAndQP(benchmark::State& state) {
  int const which = int(state.range(0));
  std::vector<UniString> const& lines = Lines(which);
  UniString const charset(kCharSets[which].name);
  clsSMTPEmailPart part;
  int64_t units = 0;
  for (UniString const& line : lines) units += line.Length();
  for (auto _ : state) {
    for (UniString const& line : lines) {
      AnsiString const encoded = part.QPEncodeLine(part.GetLineByCharSet(line, charset), false);
      benchmark::DoNotOptimize(encoded.c_str());
    }
  }
  state.SetLabel(kCharSets[which].name);
  state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

// The host SDK's conversion alone, line by line as the body conversion calls it.
void BM_HostGetBytes(benchmark::State& state) {
  int const which = int(state.range(0));
  std::vector<UniString> const& lines = Lines(which);
  fmx::int32 const encoding = which == 1 ? fmx::Text::kEncoding_ISO_8859_1 : fmx::Text::kEncoding_Cyrillic_Win;
  int64_t units = 0;
  for (UniString const& line : lines) units += line.Length();
  std::string out(4096, '\0');
  fmx::Text text;
  for (auto _ : state) {
    for (UniString const& line : lines) {
      text.AssignUnicodeWithLength(reinterpret_cast<fmx::unichar16 const*>(line.GetBytes()),
                                   fmx::uint32(line.Length()));
      text.GetBytes(&out[0], fmx::uint32(out.size()), 0, fmx::Text::kSize_End, encoding);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetLabel(kCharSets[which].name);
  state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

void BM_Iconv(benchmark::State& state) {
  int const which = int(state.range(0));
  std::vector<UniString> const& lines = Lines(which);
  iconv_t cd = iconv_open(kCharSets[which].iconv, "UTF-16LE");
  int64_t units = 0;
  for (UniString const& line : lines) units += line.Length();
  std::string out(4096, '\0');
  for (auto _ : state) {
    for (UniString const& line : lines) {
      char* in = const_cast<char*>(reinterpret_cast<char const*>(line.GetBytes()));
      size_t inLeft = size_t(line.Length()) * 2;
      char* o = &out[0];
      size_t outLeft = out.size();
      iconv(cd, &in, &inLeft, &o, &outLeft);
      benchmark::DoNotOptimize(o);
    }
  }
  iconv_close(cd);
  state.SetLabel(kCharSets[which].name);
  state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

BENCHMARK(BM_Convert)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertAndQP)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostGetBytes)->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iconv)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
