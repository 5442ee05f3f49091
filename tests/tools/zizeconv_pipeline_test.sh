#!/bin/bash
# Runs the zizeconv forms that go through the loading pipeline: decode to
# .bmp and (with --alpha) .bgra, and thumb to .bgr and .bmp, on MAG fixtures.
#   zizeconv_pipeline_test.sh FIXTURES_DIR COMMAND...   (COMMAND runs zizeconv)
set -u
fixtures="$1"
shift
if [ ! -f "$fixtures/MANIFEST.tsv" ]; then
  if [ -n "${CI:-}" ]; then echo "fixtures missing at $fixtures"; exit 1; fi
  echo "fixtures missing at $fixtures: skipped"; exit 0
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail=0

# Rows of 128 and 640 pixels need no padding, so the BMP's pixel bytes are
# the expected decoding's bytes; a 20-pixel row (60 bytes) neither.
for name in s07_text_123x77_mag16e s01_grad_640x400_mag16 s03_noise_17x13_mag256x; do
  mag="$fixtures/mag/$name.mag"
  "$@" decode "$mag" "$out/$name.bmp" || { echo "FAIL $name: decode .bmp"; fail=1; continue; }
  [ "$(head -c 2 "$out/$name.bmp")" = BM ] || { echo "FAIL $name: not a BMP"; fail=1; }
  cmp -s -i 54:8 "$out/$name.bmp" "$mag.bgr" || { echo "FAIL $name: BMP pixels differ"; fail=1; }

  "$@" decode --alpha "$mag" "$out/$name.bgra" || { echo "FAIL $name: decode --alpha"; fail=1; continue; }
  cmp -s -n 8 "$out/$name.bgra" "$mag.bgr" || { echo "FAIL $name: .bgra size"; fail=1; }
  pixels=$(( ($(stat -c %s "$mag.bgr") - 8) / 3 ))
  [ "$(stat -c %s "$out/$name.bgra")" = $((8 + 4 * pixels)) ] || { echo "FAIL $name: .bgra length"; fail=1; }

  "$@" thumb "$mag" "$out/$name.thumb.bgr" >/dev/null || { echo "FAIL $name: thumb .bgr"; fail=1; continue; }
  [ "$(od -An -tu4 -N8 "$out/$name.thumb.bgr" | tr -s ' ')" = " 80 80" ] || { echo "FAIL $name: thumb size"; fail=1; }
  [ "$(stat -c %s "$out/$name.thumb.bgr")" = 19208 ] || { echo "FAIL $name: thumb length"; fail=1; }
  "$@" thumb "$mag" "$out/$name.thumb.bmp" >/dev/null || { echo "FAIL $name: thumb .bmp"; fail=1; continue; }
  cmp -s -i 54:8 "$out/$name.thumb.bmp" "$out/$name.thumb.bgr" || { echo "FAIL $name: thumb .bmp differs"; fail=1; }
done

# Refusals: a status of 1 or 2 and one line on stderr.
mag="$fixtures/mag/s05_edges_8x3_mag16x.mag"
for args in "decode --alpha $mag $out/x.bmp" "thumb $fixtures/archives/z01_stored.zip $out/x.bgr" \
            "thumb $mag $out/x.gif" "thumb $fixtures/README.md $out/x.bgr"; do
  # shellcheck disable=SC2086
  if "$@" $args 2>"$out/err" >/dev/null; then echo "FAIL '$args' succeeded"; fail=1; fi
  [ "$(wc -l <"$out/err")" = 1 ] || { echo "FAIL '$args': stderr: $(cat "$out/err")"; fail=1; }
done
[ $fail = 0 ] && echo "zizeconv pipeline forms: all passed"
exit $fail
