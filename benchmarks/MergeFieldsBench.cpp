// MergeFieldsBench: merge fields over the same markers and text once as one long line and once
// in short lines of eight markers (about 70 characters each), with a host that answers every
// calculation with a short value. Arguments: the number of markers (10,000 to 80,000). Counters:
// markers per second. The target is the long line within 2x of the short lines, the time
// growing with the number of markers, not with its square.
#include <string>

#include <benchmark/benchmark.h>

#include "core/UniStringList.h"
#include "fuzz/FuzzHost.h"
#include "plugin/frame/clsPluginVars.h"

namespace {

class clsBenchHost : public clsFuzzHostBase {
 public:
  fmx::errcode Evaluate(fmx::ExprEnv const&, fmx::Text const&, fmx::Data& result) override {
    fmx::Text text;
    text.Assign("Ann");
    result.SetAsText(text, fmx::Locale(fmx::Locale::kType_Current));
    return 0;
  }
};

int const kMarkersPerShortLine = 8;

// One piece of text with one marker; the lines are made of these.
std::string const kPiece = "Dear <<First>>,";

void Install() {
  static clsBenchHost host;
  fmx::InstallHostServices(&host);
}

void BM_MergeOneLongLine(benchmark::State& state) {
  Install();
  int const markers = int(state.range(0));
  std::string text;
  for (int i = 0; i < markers; ++i) text += kPiece;
  UniString const line(text.c_str());
  clsPluginVars vars;
  for (auto _ : state) {
    UniString merged = vars.DoMergeLine(line, fmx::ExprEnv());
    benchmark::DoNotOptimize(merged);
  }
  state.counters["markers/s"] = benchmark::Counter(double(markers), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_MergeShortLines(benchmark::State& state) {
  Install();
  int const markers = int(state.range(0));
  std::string short_line;
  for (int i = 0; i < kMarkersPerShortLine; ++i) short_line += kPiece;
  UniString const line(short_line.c_str());
  clsPluginVars vars;
  UniStringList lines;
  for (auto _ : state) {
    state.PauseTiming();
    lines.Clear();
    for (int i = 0; i < markers / kMarkersPerShortLine; ++i) lines.Add(line);
    state.ResumeTiming();
    vars.DoMergeText(&lines, fmx::ExprEnv());
    benchmark::DoNotOptimize(lines);
  }
  state.counters["markers/s"] = benchmark::Counter(double(markers), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_MergeOneLongLine)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeShortLines)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
