// FileFuncsBench: the container export and import against the standard library doing the same
// work. Export: a 64 MiB container stream written to a file by DoFileExport, beside fwrite of the
// same bytes in 4,096-byte chunks; import: a 64 MiB file read into a container by DoFileImport,
// beside one fread of it into a new buffer. The export also reports its heap growth (peak live bytes
// above those at its start, counted by this program's operator new) for 1 and 64 MiB, which must
// not grow with the stream (the last call's, after the first has filled the one-time caches). Files live in a temporary folder removed at exit.
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/UniString.h"
#include "core/clsMultiVar.h"
#include "filefuncs/ContainerImport.h"
#include "filefuncs/FileFuncs.h"
#include "platform/fmx/FMWrapper.h"
#include "tests/support/TestResources.h"

// ---- heap accounting: live bytes and their peak, for every operator new of the program ----
namespace {
std::atomic<int64_t> g_lngLiveBytes{0};
std::atomic<int64_t> g_lngPeakBytes{0};

void* Allocate(size_t size) {
  void* block = malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  int64_t const live = g_lngLiveBytes += int64_t(malloc_usable_size(block));
  int64_t peak = g_lngPeakBytes.load();
  while (live > peak && !g_lngPeakBytes.compare_exchange_weak(peak, live)) {
  }
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  g_lngLiveBytes -= int64_t(malloc_usable_size(block));
  free(block);
}
}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, std::nothrow_t const&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, std::nothrow_t const&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }

namespace {

constexpr size_t kMiB = size_t{1} << 20;

UniString U(std::string const& text) { return UniString(text.c_str(), 1, int(text.size())); }

std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t seed = 12345;
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = char(seed >> 24);
  }
  return bytes;
}

// The temporary folder, made on first use and removed at exit.
struct stcBenchFolder {
  std::string strFolder;
  stcBenchFolder() {
    char pattern[] = "/tmp/filefuncs-bench-XXXXXX";
    strFolder = mkdtemp(pattern);
    OpenVelmoraTestResources();
    std::ofstream(strFolder + "/in.bin", std::ios::binary) << Bytes(64 * kMiB);
  }
  ~stcBenchFolder() { std::filesystem::remove_all(strFolder); }
};

stcBenchFolder& Folder() {
  static stcBenchFolder folder;
  return folder;
}

void BM_FwriteChunks(benchmark::State& state) {
  std::string const path = Folder().strFolder + "/fwrite.bin";
  std::string const bytes = Bytes(size_t(state.range(0)) * kMiB);
  for (auto _ : state) {
    FILE* out = fopen(path.c_str(), "wb");
    for (size_t offset = 0; offset < bytes.size(); offset += 4096) {
      fwrite(bytes.data() + offset, 1, std::min<size_t>(4096, bytes.size() - offset), out);
    }
    fclose(out);
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_DoFileExport(benchmark::State& state) {
  std::string const path = Folder().strFolder + "/export.bin";
  std::string const bytes = Bytes(size_t(state.range(0)) * kMiB);
  fmx::BinaryData streams;
  streams.Add(fmx::QuadChar('F', 'I', 'L', 'E'), fmx::uint32(bytes.size()), bytes.data());
  fmx::Data container;
  container.SetBinaryData(streams, true);
  int64_t growth = 0;
  for (auto _ : state) {
    clsMultiVar params;
    params.AddStringVar(U("Path"), U(Folder().strFolder), true);
    params.AddStringVar(U("SaveAs"), U("export.bin"), true);
    int64_t const start = g_lngLiveBytes.load();
    g_lngPeakBytes = start;
    clsSingleVar const result = DoFileExport(container, &params);
    growth = g_lngPeakBytes.load() - start;  // the last call's, after the one-time caches
    state.PauseTiming();
    if (result.GetValue_AsString().Left(7) == U("ERROR: ")) state.SkipWithError("export failed");
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.counters["heap_growth_bytes"] = double(growth);
}

void BM_FreadWhole(benchmark::State& state) {
  std::string const path = Folder().strFolder + "/in.bin";
  size_t const size = std::filesystem::file_size(path);
  for (auto _ : state) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    FILE* in = fopen(path.c_str(), "rb");
    benchmark::DoNotOptimize(fread(buffer.get(), 1, size, in));
    fclose(in);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_DoFileImport(benchmark::State& state) {
  std::string const path = Folder().strFolder + "/in.bin";
  size_t const size = std::filesystem::file_size(path);
  for (auto _ : state) {
    clsMultiVar params;
    params.AddStringVar(U("File"), U(path), true);
    fmx::Data result;
    if (DoFileImport(&params, result).IsNotEmpty()) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

}  // namespace

BENCHMARK(BM_FwriteChunks)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoFileExport)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FreadWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoFileImport)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
