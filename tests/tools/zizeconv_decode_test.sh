#!/bin/bash
# Runs "zizeconv decode" on the MAG fixtures and compares the .bgr output
# with the expected decodings; checks the PNG output where the build has it,
# and that failures leave no output file behind.
#   zizeconv_decode_test.sh FIXTURES_DIR PNG(0|1) COMMAND...   (COMMAND runs zizeconv)
set -u
fixtures="$1"
png="$2"
shift 2
if [ ! -f "$fixtures/MANIFEST.tsv" ]; then
  if [ -n "${CI:-}" ]; then echo "fixtures missing at $fixtures"; exit 1; fi
  echo "fixtures missing at $fixtures: skipped"; exit 0
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

fail=0
checked=0
while IFS='|' read -r path width height expected compare; do
  name="$(basename "$path")"
  if ! "$@" decode "$fixtures/$path" "$out/$name.bgr" 2>"$out/err"; then
    echo "FAIL $path: decode failed: $(cat "$out/err")"; fail=1; continue
  fi
  if [ "$compare" = exact ]; then
    cmp -s "$out/$name.bgr" "$fixtures/$expected" || { echo "FAIL $path: pixels differ"; fail=1; }
  fi
  # The size in the .bgr header, as the manifest gives it.
  size=$(od -An -tu4 -N8 "$out/$name.bgr" | tr -s ' ')
  [ "$size" = " $width $height" ] || { echo "FAIL $path: size '$size', expected $width $height"; fail=1; }
  # info reports the same size.
  "$@" info "$fixtures/$path" | grep -q ", $width x $height, depth " || { echo "FAIL $path: info"; fail=1; }
  if [ "$png" = 1 ]; then
    "$@" decode "$fixtures/$path" "$out/$name.PNG" 2>"$out/err" || { echo "FAIL $path: png: $(cat "$out/err")"; fail=1; }
    [ "$(head -c 8 "$out/$name.PNG" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] \
      || { echo "FAIL $path: not a PNG file"; fail=1; }
  fi
  checked=$((checked + 1))
done < <(awk -F'\t' 'NR > 1 && $2 == "MAG (MAKI02)" { print $1 "|" $4 "|" $5 "|" $6 "|" $7 }' "$fixtures/MANIFEST.tsv")

# Failures: one line on stderr, a non-zero status and no output file.
expect_failure() {
  local what="$1" target="$2"
  shift 2
  rm -f "$out/err"
  if "$@" 2>"$out/err" >/dev/null; then echo "FAIL $what: succeeded"; fail=1; fi
  [ "$(wc -l <"$out/err")" = 1 ] || { echo "FAIL $what: expected one line on stderr, got: $(cat "$out/err")"; fail=1; }
  [ ! -e "$target" ] || { echo "FAIL $what: left $target behind"; fail=1; }
}
mag="$fixtures/mag/s05_edges_8x3_mag16x.mag"
expect_failure "not a picture" "$out/readme.bgr" "$@" decode "$fixtures/README.md" "$out/readme.bgr"
expect_failure "missing file" "$out/missing.bgr" "$@" decode "$fixtures/no-such-file.mag" "$out/missing.bgr"
expect_failure "unknown extension" "$out/edges.xyz" "$@" decode "$mag" "$out/edges.xyz"
expect_failure "no extension" "$out/edges" "$@" decode "$mag" "$out/edges"
expect_failure "unwritable output" "$out/no-such-dir/edges.bgr" "$@" decode "$mag" "$out/no-such-dir/edges.bgr"
head -c 20 "$mag" >"$out/cut.mag"
expect_failure "header cut short" "$out/cut.bgr" "$@" decode "$out/cut.mag" "$out/cut.bgr"
if [ "$png" != 1 ]; then
  expect_failure "png without libpng" "$out/edges.png" "$@" decode "$mag" "$out/edges.png"
fi
"$@" --help | grep -q "decode FILE OUT" || { echo "FAIL: --help does not list decode"; fail=1; }

echo "$checked MAG fixtures decoded"
[ "$checked" -ge 5 ] || { echo "FAIL: too few fixtures found"; fail=1; }
exit $fail
