#!/bin/bash
# Makes a ZIP (Deflate) and an LZH (-lh5-) archive of pictures from the
# fixtures and times the archive window on both under Wine.
#   bench-archive.sh [MEMBERS]   (default 500)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
members="${1:-500}"
fixtures="$here/../shared/fixtures"
bash "$here/scripts/deps.sh" test
bash "$here/scripts/build.sh" native zizeconv >/dev/null
zizeconv="$here/build/native/tools/zizeconv/zizeconv"

# The pictures: own formats as they are, and the 640 x 400 MAG as BMP.
work="$here/build/bench-archive"
rm -rf "$work"
mkdir -p "$work/pictures"
"$zizeconv" decode "$fixtures/mag/s01_grad_640x400_mag16.mag" "$work/grad.bmp" >/dev/null
sources=("$fixtures/mag/s01_grad_640x400_mag16.mag" "$fixtures/maki01/s10_stripe2_640x400_maki.mki"
         "$fixtures/pi/s02_plasma_320x200_pi16.pi" "$fixtures/p2/mb2_p2_15.p2" "$work/grad.bmp")
for ((i = 0; i < members; i++)); do
  source="${sources[$((i % ${#sources[@]}))]}"
  cp "$source" "$work/pictures/p$(printf %05d "$i").${source##*.}"
done
(cd "$work/pictures" && zip -q -9 ../pictures.zip ./* && lha -aq ../pictures.lzh ./* >/dev/null)

to_windows() { echo "Z:$(realpath "$1" | sed 's|/|\\|g')"; }
bash "$here/scripts/bench-wine.sh" archive_timing "$(to_windows "$work/pictures.zip")" \
  "$(to_windows "$work/pictures.lzh")" 2>&1 | grep -v '^X connection\|^wine:'
