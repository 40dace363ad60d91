#!/usr/bin/env bash
# Builds if needed and runs every test.
#   scripts/test.sh             the normal build in build/
#   scripts/test.sh --sanitize  the AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
# Extra arguments after those go to ctest (for example -R UniString).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  shift
  dir=build-asan
  opts=(-DVELMORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
./scripts/build.sh "$dir" "${opts[@]}"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300 "$@"
