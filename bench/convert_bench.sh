#!/bin/bash
# Times "zizeconv convert" (Release build) on 1,000 fixture pictures of mixed
# formats: 800 files in 10 folders and 200 members of 20 ZIP archives.
# Reports files per second with --jobs 1 and --jobs 2, the speed-up, and the
# share of time in reading and decoding versus PNG writing, from a run that
# writes BMP (whose writing is a plain copy) against the PNG run.
#   bench/convert_bench.sh [FIXTURES]   (default: ../shared/fixtures)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
fixtures="${1:-$here/../shared/fixtures}"
bash "$here/scripts/deps.sh" bench
build="$here/build/bench"
mkdir -p "$build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIZE_SANITIZE=OFF -DZIZE_BENCH=ON \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
ninja -C "$build" zizeconv >/dev/null
zizeconv="$build/tools/zizeconv/zizeconv"

# The tree: the fixtures that decode, repeated.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mapfile -t pictures < <(awk -F'\t' 'NR > 1 && $7 == "exact" { print $1 }' "$fixtures/MANIFEST.tsv")
for i in $(seq 0 799); do
  p="${pictures[$((i % ${#pictures[@]}))]}"
  mkdir -p "$work/tree/f$((i % 10))"
  cp "$fixtures/$p" "$work/tree/f$((i % 10))/$i-$(basename "$p")"
done
python3 - "$fixtures" "$work/tree" "${pictures[@]}" <<'EOF'
import sys, zipfile
fixtures, tree, pictures = sys.argv[1], sys.argv[2], sys.argv[3:]
for a in range(20):
    with zipfile.ZipFile("%s/a%02d.zip" % (tree, a), "w", zipfile.ZIP_DEFLATED) as z:
        for m in range(10):
            p = pictures[(a * 10 + m) % len(pictures)]
            z.write("%s/%s" % (fixtures, p), "%d-%s" % (m, p))
EOF

calc() { awk "BEGIN { print $1 }"; }
# Seconds of one run into a fresh folder.
run() {
  rm -rf "$work/out"
  local start end
  start=$(date +%s.%N)
  "$zizeconv" convert --quiet "$@" "$work/tree" "$work/out"
  end=$(date +%s.%N)
  calc "$end - $start"
}
best() {  # the best of three runs
  local b=999999 t
  for _ in 1 2 3; do
    t=$(run "$@")
    b=$(calc "($t < $b) ? $t : $b")
  done
  echo "$b"
}
files=$(find "$work/tree" -type f ! -name '*.zip' | wc -l)
files=$((files + 200))
png1=$(best --jobs 1)
png2=$(best --jobs 2)
bmp1=$(best --jobs 1 --format bmp)
printf 'pictures: %d (%d in archives)\n' "$files" 200
printf -- '--jobs 1: %.3f s, %.0f files/s\n' "$png1" "$(calc "$files / $png1")"
printf -- '--jobs 2: %.3f s, %.0f files/s, speed-up %.2fx\n' "$png2" "$(calc "$files / $png2")" \
  "$(calc "$png1 / $png2")"
printf 'time share (--jobs 1): reading and decoding %.0f%%, PNG writing %.0f%% (BMP run %.3f s)\n' \
  "$(calc "100 * $bmp1 / $png1")" "$(calc "100 * ($png1 - $bmp1) / $png1")" "$bmp1"
