#!/usr/bin/env bash
# Runs the whole suite many times on a loaded machine, to find tests that fail now and then.
# Not run by CI: it takes many minutes and loads the machine on purpose.
#   scripts/stress.sh [REPEATS]   (default 20)
# Steps, each timed and counted:
#   1. builds build/ and build-asan/ (ASan + UBSan), as scripts/test.sh does;
#   2. starts a full build of the project in a throwaway folder in the background (without
#      ccache, again and again) so the tests compete with compilers for the cores;
#   3. ctest --repeat until-fail:REPEATS over the whole suite in build/, then in build-asan/;
#   4. each test binary of both builds as one process, shuffled and repeated three times (ctest
#      runs each case in a process of its own, which hides what one test leaves to the next);
#   5. ends the background build (by its process group) and prints the figures.
# Environment: STRESS_JOBS (ctest's -j, default 8), LOAD_JOBS (the background build's -j,
# default 4), JOBS (the builds of step 1, default 3). The exit code is 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
repeats="${1:-20}"
jobs="${STRESS_JOBS:-8}"
load_jobs="${LOAD_JOBS:-4}"
export JOBS="${JOBS:-3}"
log_dir="$(mktemp -d /tmp/velmora-stress-XXXXXX)"
load_dir="$(mktemp -d /tmp/velmora-stress-load-XXXXXX)"
summary=()
failed=0

echo "stress: logs in $log_dir"
./scripts/build.sh build >"$log_dir/build.log" 2>&1 || { echo "stress: build/ failed"; exit 1; }
./scripts/build.sh build-asan -DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVELMORA_BENCHMARKS=OFF \
  >"$log_dir/build-asan.log" 2>&1 || { echo "stress: build-asan/ failed"; exit 1; }

# The load: a clean full build, over and over, in its own process group.
set -m
(
  export CCACHE_DISABLE=1
  cmake -S . -B "$load_dir" -G Ninja -DVELMORA_BENCHMARKS=OFF >/dev/null 2>&1
  while true; do
    cmake --build "$load_dir" --clean-first -j "$load_jobs" >/dev/null 2>&1
  done
) &
load_pid=$!
set +m
end_load() {
  kill -- -"$load_pid" 2>/dev/null
  wait "$load_pid" 2>/dev/null
  rm -rf "$load_dir"
}
trap end_load EXIT

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# ctest over the whole suite, each test repeated until it fails (at most REPEATS times).
run_ctest() {
  local dir="$1" name="$2" start end out tests bad
  start=$(date +%s)
  ctest --test-dir "$dir" --repeat until-fail:"$repeats" -j "$jobs" --timeout 300 \
    >"$log_dir/ctest-$name.log" 2>&1
  end=$(date +%s)
  out="$log_dir/ctest-$name.log"
  tests=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$out" | tail -1)
  bad=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$out" | tail -1)
  tests=${tests:-0}
  bad=${bad:-"?"}
  [ "$bad" = "0" ] || failed=1
  summary+=("ctest $name: $tests tests x up to $repeats runs, $bad failing, $((end - start)) s")
  grep -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|SEGFAULT' "$out" | sed 's/^/    /' >>"$log_dir/failures.txt"
}

# Every test binary of the build as one process, shuffled, three times over.
run_binaries() {
  local dir="$1" name="$2" start end bin base runs=0 bad=0
  start=$(date +%s)
  for bin in "$dir"/tests/*_tests; do
    [ -x "$bin" ] || continue
    base=$(basename "$bin")
    runs=$((runs + 1))
    if ! (cd "$dir/tests" && VELMORA_TEST_RESOURCE_FILE="$root/$dir/resources/Velmora.rsrc" \
          VELMORA_NO_BROWSER=1 timeout 1800 "./$base" --gtest_shuffle --gtest_repeat=3) \
          >"$log_dir/$name-$base.log" 2>&1; then
      bad=$((bad + 1))
      failed=1
      echo "    $name $base: $(grep -m1 -E 'FAILED  \]|cannot end|ERROR: |Abort' "$log_dir/$name-$base.log")" \
        >>"$log_dir/failures.txt"
    fi
  done
  end=$(date +%s)
  summary+=("binaries $name: $runs binaries x 3 shuffled runs in one process each, $bad failing, $((end - start)) s")
}

touch "$log_dir/failures.txt"
run_ctest build normal
run_ctest build-asan asan
run_binaries build normal
run_binaries build-asan asan
end_load
trap - EXIT

echo "stress: load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
for line in "${summary[@]}"; do echo "stress: $line"; done
if [ -s "$log_dir/failures.txt" ]; then
  echo "stress: failures:"
  cat "$log_dir/failures.txt"
fi
exit "$failed"
