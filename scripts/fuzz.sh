#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds every libFuzzer target with clang 14 in build-fuzz/ and runs each
# for SECONDS (default 30), as many at once as there are cores; FUZZ_BUILD_DIR picks another build
# folder. Fails when a target finds a crash, a leak or a hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bd="${FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang-14 CXX=clang++-14 ./scripts/build.sh "$bd" -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
export VELMORA_TEST_RESOURCE_FILE="$PWD/$bd/resources/Velmora.rsrc"
export VELMORA_NO_BROWSER=1
mkdir -p "$bd/corpus" "$bd/artifacts"

run_one() {
  local target=$1 seconds=$2 bd=$3
  local name corpus
  name=$(basename "$target")
  corpus="$bd/corpus/$name"
  mkdir -p "$corpus"
  local seeds=()
  [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$bd/artifacts/$name-" "$corpus" "${seeds[@]}" > "$bd/$name.log" 2>&1; then
    echo "!! $name failed:"; tail -n 60 "$bd/$name.log"
    return 1
  fi
  echo "== $name ($seconds s): $(grep -E 'stat::number_of_executed_units' "$bd/$name.log" | tr -s ' ')"
}
export -f run_one

targets=()
for target in "$bd"/fuzz/fuzz_*; do
  [ -x "$target" ] && targets+=("$target")
done
[ ${#targets[@]} -gt 0 ] || exit 0
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$bd"
