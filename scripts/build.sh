#!/usr/bin/env bash
# build.sh [DIR] [cmake options...]: configures (once) and builds the project in DIR (default build/).
# Parallel jobs: JOBS, else CMAKE_BUILD_PARALLEL_LEVEL, else one per core.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" -j "${JOBS:-${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}}"
