#!/bin/bash
# Builds the benchmarks (Release, no sanitizers) and runs them.
#   scripts/bench.sh [GOOGLE_BENCHMARK_ARGUMENTS...]   e.g. --benchmark_filter=Mag
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/deps.sh" bench
mkdir -p "$here/build"
build="$here/build/bench"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIZE_SANITIZE=OFF -DZIZE_BENCH=ON \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
ninja -C "$build" zize_bench >/dev/null
exec "$build/bench/zize_bench" "$@"
