#!/usr/bin/env bash
# Builds the release benchmarks in build-bench/ and runs each of them, five times over with the runs
# shuffled (arguments go to every benchmark),
# then the script benchmarks in benchmarks/*.py, and ends with one table of every benchmark: its
# figure, its peer's from the same run, the ratio, the target and whether it is met
# (benchmarks/BenchTable.py). Each program's results are kept in build-bench/bench-results/.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
./scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
export VELMORA_TEST_RESOURCE_FILE="$PWD/build-bench/resources/Velmora.rsrc"
results="$PWD/build-bench/bench-results"
rm -rf "$results"
mkdir -p "$results"
export VELMORA_BENCH_RESULTS="$results"
# postfix's smtp-sink for the SMTP send benchmark (skipped when it cannot be fetched).
if benchmarks/postfix-sink.sh "$PWD/build-bench/cache" 2>/dev/null; then
  export VELMORA_POSTFIX_SINK="$PWD/benchmarks/postfix-sink.sh" VELMORA_POSTFIX_CACHE="$PWD/build-bench/cache"
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for b in build-bench/benchmarks/bench_*; do
  [ -x "$b" ] || continue
  name=$(basename "$b")
  echo "== $name"
  # Each benchmark is run five times, the runs of a program's benchmarks shuffled together, so
  # that a change in the machine's pace falls on a figure and its peer's alike; the table takes
  # the least time of each. A benchmark that fails is reported in the table as not measured; the run goes on.
  "$b" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true --benchmark_min_time=0.2 \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json "$@" || echo "$name failed ($?)"
done
# Script benchmarks that time a peer (another process) beside ours, with Debian's Python.
for s in benchmarks/*.py; do
  [ -f "$s" ] || continue
  [ "$(basename "$s")" = BenchTable.py ] && continue
  echo "== $(basename "$s")"
  /usr/bin/python3 "$s" build-bench || echo "$(basename "$s") failed ($?)"
done
echo
echo "== Every benchmark of this run (load average $load_before at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(nproc) CPUs; $(($(date +%s) - started)) s)"
/usr/bin/python3 benchmarks/BenchTable.py "$results"
