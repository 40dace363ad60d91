// VarListBench: reading and writing variable lists the size of a large preference file
// (100, 1,000 and 10,000 entries of integers, quoted strings and floats, one entry a line).
// Reading uses the preference loader's flags (duplicate names refused, line ends delimit);
// writing quotes strings and skips lists, as the preference saver does. Each run reports
// entries per second and the time per entry ("per_entry"), so growth with size shows.
#include <string>

#include <benchmark/benchmark.h>

#include "core/UniStringList.h"
#include "core/clsMultiVar.h"

namespace {

UniStringList PreferenceLines(int count) {
  UniStringList lines;
  for (int i = 0; i < count; ++i) {
    std::string line = "Pref" + std::to_string(i) + "=";
    switch (i % 3) {
      case 0: line += std::to_string(i * 7919); break;
      case 1: line += "\"smtp.example.com\\; user \\\"" + std::to_string(i) + "\\\" \\\\ end\""; break;
      default: line += std::to_string(i) + ".2500"; break;
    }
    lines.Add(UniString(line.c_str()));
  }
  return lines;
}

void ReportPerEntry(benchmark::State& state, int count) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
  state.counters["per_entry"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ParseVariables(benchmark::State& state) {
  int const count = static_cast<int>(state.range(0));
  UniStringList lines = PreferenceLines(count);
  for (auto _ : state) {
    clsMultiVar vars;
    UniString error = vars.ParseVariables(&lines, true, false, true);
    if (error.IsNotEmpty() || vars.Count() != static_cast<unsigned int>(count)) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(vars);
  }
  ReportPerEntry(state, count);
}

void BM_GetVarsAsList(benchmark::State& state) {
  int const count = static_cast<int>(state.range(0));
  UniStringList lines = PreferenceLines(count);
  clsMultiVar vars;
  vars.ParseVariables(&lines, true, false, true);
  for (auto _ : state) {
    UniStringList out;
    vars.GetVarsAsList(&out, true, true);
    benchmark::DoNotOptimize(out);
  }
  ReportPerEntry(state, count);
}

}  // namespace

BENCHMARK(BM_ParseVariables)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetVarsAsList)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
