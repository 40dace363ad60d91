// UniStringBench: UniString conversions against iconv doing the same work, on about 1 MiB of
// mixed text: UTF-8 to UniString and back, and the code pages in both directions: Mac OS Roman
// (encodings 2 and 3, each its own table), Windows-1252 (encoding 4) and Shift_JIS (encoding 5). Reported in bytes per second of the byte side.
// The code pages come from the plug-in's resource file (VELMORA_TEST_RESOURCE_FILE); a
// benchmark whose code page cannot be loaded reports an error and is skipped.
#include <iconv.h>

#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/UniConverter.h"
#include "core/UniString.h"
#include "tests/support/TestResources.h"

namespace {

constexpr size_t kTextBytes = 1 << 20;

// A sample repeated until its UTF-8 form reaches about 1 MiB.
std::string Repeat(std::string const& sample) {
  std::string text;
  text.reserve(kTextBytes + sample.size());
  while (text.size() < kTextBytes) text += sample;
  return text;
}

// Mixed UTF-8: mostly ASCII prose with accented Latin letters, Greek, CJK and a euro sign.
std::string const& MixedUTF8() {
  static std::string const text = Repeat(
      "Dear customer, your order n\xC2\xB0 4711 for the cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e "
      "(12,50 \xE2\x82\xAC) has shipped. \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1, "
      "\xE4\xBD\xA0\xE5\xA5\xBD, Stra\xC3\x9F" "e 5, M\xC3\xBCnchen.\r\n");
  return text;
}

// Text of a code page's repertoire, as UTF-8, converted to the code page once with iconv.
std::string CodePageBytes(char const* iconvName, std::string const& utf8) {
  iconv_t cd = iconv_open(iconvName, "UTF-8");
  std::vector<char> out(utf8.size() * 2 + 16);
  char* src = const_cast<char*>(utf8.data());
  size_t srcLeft = utf8.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  return std::string(out.data(), size_t(dst - out.data()));
}

std::string const& MacRomanBytes() {
  static std::string const text = CodePageBytes(
      "MACINTOSH", Repeat("Caf\xC3\xA9 cr\xC3\xA8me, \xC5\x93uvre \xE2\x80\x9Cna\xC3\xAFve\xE2\x80\x9D "
                          "\xE2\x80\x93 12,50 \xC2\xA3, \xCF\x80 \xE2\x89\xA0 \xE2\x88\x9E, "
                          "Stra\xC3\x9F" "e 5, M\xC3\xBCnchen.\r\n"));
  return text;
}

std::string const& Windows1252Bytes() {
  static std::string const text = CodePageBytes(
      "CP1252", Repeat("Caf\xC3\xA9 cr\xC3\xA8me, \xC5\x93uvre \xE2\x80\x9Cna\xC3\xAFve\xE2\x80\x9D "
                       "\xE2\x80\x93 12,50 \xE2\x82\xAC, Stra\xC3\x9F" "e 5, M\xC3\xBCnchen.\r\n"));
  return text;
}

std::string const& ShiftJISBytes() {
  static std::string const text = CodePageBytes(
      "SHIFT_JIS", Repeat("Order 4711: \xE3\x81\x94\xE6\xB3\xA8\xE6\x96\x87\xE3\x81\x82\xE3\x82\x8A"
                          "\xE3\x81\x8C\xE3\x81\xA8\xE3\x81\x86\xE3\x81\x94\xE3\x81\x96\xE3\x81\x84"
                          "\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82 \xEF\xBD\xB6\xEF\xBE\x80\xEF\xBD\xB6"
                          "\xEF\xBE\x85 Tokyo \xE6\x9D\xB1\xE4\xBA\xAC\r\n"));
  return text;
}

// Runs iconv over the whole input into a ready output buffer.
size_t RunIconv(iconv_t cd, std::string const& in, std::vector<char>& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  return out.size() - dstLeft;
}

bool CodePageReady(benchmark::State& state, int encoding) {
  if (OpenVelmoraTestResources() == noErr && GetUniConverter(encoding) != nullptr) return true;
  state.SkipWithError("code page tables not available (VELMORA_TEST_RESOURCE_FILE)");
  return false;
}

// ---- bytes to text ----

void DecodeWithUniString(benchmark::State& state, std::string const& bytes, int encoding) {
  if (encoding != 1 && !CodePageReady(state, encoding)) return;
  for (auto _ : state) {
    UniString text(bytes.data(), encoding, int(bytes.size()));
    benchmark::DoNotOptimize(text.GetBytes());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void DecodeWithIconv(benchmark::State& state, std::string const& bytes, char const* iconvName) {
  iconv_t cd = iconv_open("UTF-16LE", iconvName);
  for (auto _ : state) {
    // Allocated per call, as the UniString decode allocates its result.
    std::vector<char> out(bytes.size() * 2 + 16);
    benchmark::DoNotOptimize(RunIconv(cd, bytes, out));
  }
  iconv_close(cd);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// ---- text to bytes ----

void EncodeWithUniString(benchmark::State& state, std::string const& bytes, int encoding) {
  if (encoding != 1 && !CodePageReady(state, encoding)) return;
  UniString text(bytes.data(), encoding, int(bytes.size()));
  for (auto _ : state) {
    char* out = text.GetCString(encoding);
    benchmark::DoNotOptimize(out);
    delete[] out;
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void EncodeWithIconv(benchmark::State& state, std::string const& bytes, char const* iconvName) {
  std::string units;
  {
    iconv_t cd = iconv_open("UTF-16LE", iconvName);
    std::vector<char> out(bytes.size() * 2 + 16);
    units.assign(out.data(), RunIconv(cd, bytes, out));
    iconv_close(cd);
  }
  iconv_t cd = iconv_open(iconvName, "UTF-16LE");
  for (auto _ : state) {
    std::vector<char> out(units.size() / 2 * 3 + 16);
    benchmark::DoNotOptimize(RunIconv(cd, units, out));
  }
  iconv_close(cd);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_UTF8Decode_UniString(benchmark::State& state) { DecodeWithUniString(state, MixedUTF8(), 1); }
void BM_UTF8Decode_Iconv(benchmark::State& state) { DecodeWithIconv(state, MixedUTF8(), "UTF-8"); }
void BM_UTF8Encode_UniString(benchmark::State& state) { EncodeWithUniString(state, MixedUTF8(), 1); }
void BM_UTF8Encode_Iconv(benchmark::State& state) { EncodeWithIconv(state, MixedUTF8(), "UTF-8"); }
void BM_CodePage2Decode_UniString(benchmark::State& state) { DecodeWithUniString(state, MacRomanBytes(), 2); }
void BM_CodePage2Decode_Iconv(benchmark::State& state) { DecodeWithIconv(state, MacRomanBytes(), "MACINTOSH"); }
void BM_CodePage2Encode_UniString(benchmark::State& state) { EncodeWithUniString(state, MacRomanBytes(), 2); }
void BM_CodePage2Encode_Iconv(benchmark::State& state) { EncodeWithIconv(state, MacRomanBytes(), "MACINTOSH"); }
void BM_CodePage3Decode_UniString(benchmark::State& state) { DecodeWithUniString(state, MacRomanBytes(), 3); }
void BM_CodePage3Decode_Iconv(benchmark::State& state) { DecodeWithIconv(state, MacRomanBytes(), "MACINTOSH"); }
void BM_CodePage3Encode_UniString(benchmark::State& state) { EncodeWithUniString(state, MacRomanBytes(), 3); }
void BM_CodePage3Encode_Iconv(benchmark::State& state) { EncodeWithIconv(state, MacRomanBytes(), "MACINTOSH"); }
void BM_Windows1252Decode_UniString(benchmark::State& state) { DecodeWithUniString(state, Windows1252Bytes(), 4); }
void BM_Windows1252Decode_Iconv(benchmark::State& state) { DecodeWithIconv(state, Windows1252Bytes(), "CP1252"); }
void BM_Windows1252Encode_UniString(benchmark::State& state) { EncodeWithUniString(state, Windows1252Bytes(), 4); }
void BM_Windows1252Encode_Iconv(benchmark::State& state) { EncodeWithIconv(state, Windows1252Bytes(), "CP1252"); }
void BM_ShiftJISDecode_UniString(benchmark::State& state) { DecodeWithUniString(state, ShiftJISBytes(), 5); }
void BM_ShiftJISDecode_Iconv(benchmark::State& state) { DecodeWithIconv(state, ShiftJISBytes(), "SHIFT_JIS"); }
void BM_ShiftJISEncode_UniString(benchmark::State& state) { EncodeWithUniString(state, ShiftJISBytes(), 5); }
void BM_ShiftJISEncode_Iconv(benchmark::State& state) { EncodeWithIconv(state, ShiftJISBytes(), "SHIFT_JIS"); }

BENCHMARK(BM_UTF8Decode_UniString);
BENCHMARK(BM_UTF8Decode_Iconv);
BENCHMARK(BM_UTF8Encode_UniString);
BENCHMARK(BM_UTF8Encode_Iconv);
BENCHMARK(BM_CodePage2Decode_UniString);
BENCHMARK(BM_CodePage2Decode_Iconv);
BENCHMARK(BM_CodePage2Encode_UniString);
BENCHMARK(BM_CodePage2Encode_Iconv);
BENCHMARK(BM_CodePage3Decode_UniString);
BENCHMARK(BM_CodePage3Decode_Iconv);
BENCHMARK(BM_CodePage3Encode_UniString);
BENCHMARK(BM_CodePage3Encode_Iconv);
BENCHMARK(BM_Windows1252Decode_UniString);
BENCHMARK(BM_Windows1252Decode_Iconv);
BENCHMARK(BM_Windows1252Encode_UniString);
BENCHMARK(BM_Windows1252Encode_Iconv);
BENCHMARK(BM_ShiftJISDecode_UniString);
BENCHMARK(BM_ShiftJISDecode_Iconv);
BENCHMARK(BM_ShiftJISEncode_UniString);
BENCHMARK(BM_ShiftJISEncode_Iconv);

}  // namespace

BENCHMARK_MAIN();
