// Base64Bench: UUEncode against OpenSSL's EVP_EncodeBlock on 1 MiB and 16 MiB of random bytes,
// reported in bytes per second of input. Both write one unbroken Base64 line.
#include <openssl/evp.h>

#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/TextEncoders.h"

namespace {

std::vector<unsigned char> RandomBytes(size_t count) {
  std::vector<unsigned char> data(count);
  std::mt19937 random(42);
  for (auto& byte : data) byte = static_cast<unsigned char>(random());
  return data;
}

void BM_UUEncode(benchmark::State& state) {
  auto data = RandomBytes(size_t(state.range(0)));
  std::vector<char> out(4 * ((data.size() + 2) / 3) + 1);
  for (auto _ : state) {
    int written = UUEncode(data.data(), int(data.size()), out.data());
    benchmark::DoNotOptimize(written);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

void BM_OpenSSL_EVP_EncodeBlock(benchmark::State& state) {
  auto data = RandomBytes(size_t(state.range(0)));
  std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
  for (auto _ : state) {
    int written = EVP_EncodeBlock(out.data(), data.data(), int(data.size()));
    benchmark::DoNotOptimize(written);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(BM_UUEncode)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_OpenSSL_EVP_EncodeBlock)->Arg(1 << 20)->Arg(16 << 20);

}  // namespace

BENCHMARK_MAIN();
