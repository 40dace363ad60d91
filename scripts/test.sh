#!/usr/bin/env bash
# Builds if needed and runs every test.
#   scripts/test.sh             the normal build in build/
#   scripts/test.sh --sanitize  the AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/test.sh --tsan      the ThreadSanitizer build in build-tsan/ (CI runs the threaded
#                               transport's tests there, with the encoding thread's: -R '^(smtp|platform|mime)\.')
# Extra arguments after those go to ctest (for example -R UniString). Tests run at once:
# CTEST_PARALLEL_LEVEL, else one per core; builds as scripts/build.sh (JOBS, CMAKE_BUILD_PARALLEL_LEVEL).
# Test names are "<subsystem>.<Suite>.<Test>".
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
opts=()
case "${1:-}" in
  --sanitize)
    shift
    dir=build-asan
    opts=(-DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVELMORA_BENCHMARKS=OFF)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ;;
  --tsan)
    shift
    dir=build-tsan
    opts=(-DVELMORA_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCHMARKS=OFF)
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    ;;
esac
./scripts/build.sh "$dir" "${opts[@]}"
ctest --test-dir "$dir" --output-on-failure -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}" --timeout 300 "$@"
