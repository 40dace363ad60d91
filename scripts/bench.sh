#!/usr/bin/env bash
# Builds the release benchmarks in build-bench/ and runs each of them (arguments go to every benchmark),
# then the script benchmarks in benchmarks/*.py.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF
export VELMORA_TEST_RESOURCE_FILE="$PWD/build-bench/resources/Velmora.rsrc"
# postfix's smtp-sink for the SMTP send benchmark (skipped when it cannot be fetched).
if benchmarks/postfix-sink.sh "$PWD/build-bench/cache" 2>/dev/null; then
  export VELMORA_POSTFIX_SINK="$PWD/benchmarks/postfix-sink.sh" VELMORA_POSTFIX_CACHE="$PWD/build-bench/cache"
fi
for b in build-bench/benchmarks/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
# Script benchmarks that time a peer (another process) beside ours, with Debian's Python.
for s in benchmarks/*.py; do
  [ -f "$s" ] || continue
  echo "== $(basename "$s")"
  /usr/bin/python3 "$s" build-bench
done
