#!/bin/bash
# Builds the libFuzzer targets (clang, ASan, UBSan) and runs each of them.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Seeds: every fixture file, plus fuzz/seeds/TARGET/ when it exists; the
# corpus grows in build/fuzz/corpus/TARGET. A crash stops the run with the
# reproducer in build/fuzz/artifacts/.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/deps.sh" fuzz
mkdir -p "$here/build"
seconds="${1:-60}"
shift || true
build="$here/build/fuzz"
fixtures="$here/../shared/fixtures"

CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZIZE_FUZZ=ON -DZIZE_TESTS=OFF -DZIZE_SANITIZE=OFF >"$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
ninja -C "$build" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$here"/fuzz/*_fuzz.cpp; do
    [ -e "$f" ] && targets+=("$(basename "$f" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets"
  exit 0
fi

mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$here/fuzz/seeds/$t" ] && seeds+=("$here/fuzz/seeds/$t")
  [ -d "$fixtures" ] && seeds+=("$fixtures")
  echo "== $t: ${seconds}s"
  "$build/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$t-" "$corpus" "${seeds[@]}" 2>"$build/$t.log" \
    || { tail -60 "$build/$t.log"; echo "FAIL: $t found a fault"; exit 1; }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$t.log" | sed "s/^/   /"
done
echo "fuzzing passed: ${#targets[@]} targets"
