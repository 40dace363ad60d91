#!/usr/bin/env bash
# Builds the release benchmarks in build-bench/ and runs each of them (arguments go to every benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
export VELMORA_TEST_RESOURCE_FILE="$PWD/build-bench/resources/Velmora.rsrc"
for b in build-bench/benchmarks/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
