#!/bin/bash
# Runs "zizeconv convert" on trees of fixtures: a good tree (folders, fixture
# archives, archives built from fixture pictures, an archive inside an
# archive) whose PNGs are decoded and compared with the expected pixels, with
# --jobs 1 and 4, a second run, --alpha and --format bmp; a damaged tree that
# gives one failure line per fault and writes nothing outside OUTDIR; and a
# run killed midway that leaves no partial PNG.
#   zizeconv_convert_test.sh FIXTURES NATIVE(0|1) TREE_COMMAND... -- ZIZECONV_COMMAND...
set -u
fixtures="$1"
native="$2"
shift 2
tree=()
while [ "$1" != -- ]; do tree+=("$1"); shift; done
shift
if [ ! -f "$fixtures/MANIFEST.tsv" ]; then
  if [ -n "${CI:-}" ]; then echo "fixtures missing at $fixtures"; exit 1; fi
  echo "fixtures missing at $fixtures: skipped"; exit 0
fi
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
logs="$(mktemp -d)"
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work" "$logs"' EXIT
fail=0
bad() { echo "FAIL $*"; fail=1; }
# The summary's three counts, "N K M", from a run's stdout.
counts() { sed -nE 's/^converted ([0-9]+), skipped ([0-9]+), failed ([0-9]+)\r?$/\1 \2 \3/p' "$1"; }

# The good tree: the fixtures that decode, a few archives, and the archives
# that the tree builder makes from fixture pictures.
good="$work/good"
mkdir -p "$good/zipped" "$good/archives" "$work/bad/sub"
expect="$logs/expect.tsv"
while IFS=$'\t' read -r path expected compare undefined; do
  mkdir -p "$good/own/$(dirname "$path")"
  cp "$fixtures/$path" "$good/own/$path"
  printf '%s\t%s\t%s\t%s\n' "own/$path.png" "$fixtures/$expected" "$compare" "$undefined" >>"$expect"
  name="$(basename "$path")"
  case "$name" in
    s05_edges_8x3_mag16x.mag|s07_text_123x77_pi16.pi|s07_text_123x77_p2ss_24.p2|t20_s07_text_123x77_rgb15_topleft.tga|P14_s08_checker_33x65_bitmap1_rle.psd)
      for in in zipped/pics.zip zipped/nest.zip/inner/pics.zip; do
        printf '%s\t%s\t%s\t%s\n' "$in/a/$name.png" "$fixtures/$expected" "$compare" "$undefined" >>"$expect"
      done ;;
  esac
done < <(awk -F'\t' 'NR > 1 && ($7 == "exact" || $7 == "size") { print $1 "\t" $6 "\t" $7 "\t" $8 }' "$fixtures/MANIFEST.tsv")
for a in l02_lh5_lv0.lzh l03_lh5_lv1_dir.lzh l10_sjis_lh5_lv2.lzh z01_stored.zip; do
  cp "$fixtures/archives/$a" "$good/archives/"
done
echo "not a picture" >"$good/own/readme.txt"
"${tree[@]}" "$fixtures" "$good" "$work/bad" || { echo "FAIL: the tree builder"; exit 1; }
mv "$good/alpha.tga.bgra" "$logs/"

# Member names, Shift-JIS ones included, give the output paths.
names="archives/l02_lh5_lv0.lzh/s07_text_123x77_mag16.mag.png
archives/l03_lh5_lv1_dir.lzh/pics/s03_noise_17x13_pi16.pi.png
archives/l03_lh5_lv1_dir.lzh/s12_pal256_64x64_mag256.mag.png
archives/l10_sjis_lh5_lv2.lzh/日本語/絵.pi.png
archives/l10_sjis_lh5_lv2.lzh/画像ソフト表.mag.png
archives/z01_stored.zip/s02_plasma_320x200_pi256.pi.png
zipped/nest.zip/sjis.lzh/日本語/絵.pi.png
zipped/modern.zip/日本語/絵.mag.png
zipped/modern.zip/画像/絵.mag.png
zipped/modern.zip/z64.mag.png
alpha.tga.png"

# Run 1 (one thread) and run 2 (four threads) give the same files.
"$@" convert --jobs 1 "$good" "$work/out1" >"$logs/out1" 2>"$logs/err1" || bad "run 1: status $?: $(cat "$logs/err1")"
"$@" convert --jobs 4 "$good" "$work/out4" >"$logs/out4" 2>"$logs/err4" || bad "run 2: status $?"
grep -F "$good" "$logs/err1" && bad "run 1 reported failures"
read -r converted skipped failed <<<"$(counts "$logs/out1")"
total=$(find "$work/out1" -type f | wc -l)
[ "${converted:-x}" = "$total" ] && [ "$failed" = 0 ] || bad "run 1 summary '$(cat "$logs/out1")' for $total files"
# Natively the PNG member of z01_stored.zip is counted as skipped.
[ "$skipped" = $((native == 1 ? 1 : 0)) ] || bad "run 1 skipped $skipped"
while read -r n; do [ -f "$work/out1/$n" ] || bad "missing output $n"; done <<<"$names"
[ -z "$(find "$work/out1" -name '*.part')" ] || bad "temporary files left"
diff -r "$work/out1" "$work/out4" >/dev/null || bad "--jobs 1 and --jobs 4 differ"

# Every PNG decodes whole; the fixtures' pixels are as expected.
{
  sed "s|^|$work/out1/|" "$expect"
  find "$work/out1" -name '*.png' -printf '%p\t\tcomplete\t\n'
} | python3 "$here/png_check.py" || fail=1
[ "$(wc -l <"$expect")" -ge 30 ] || bad "too few fixtures compared"

# A second run converts nothing.
"$@" convert "$good" "$work/out1" >"$logs/again" 2>&1 || bad "second run: status $?"
[ "$(counts "$logs/again")" = "0 $((converted + skipped)) 0" ] || bad "second run: $(cat "$logs/again")"

# --alpha keeps transparency and writes opaque pictures as RGB.
s01="$good/own/mag/s01_grad_640x400_mag16.mag"
"$@" convert --alpha --quiet "$good/alpha.tga" "$s01" "$work/alpha" >"$logs/alpha" 2>&1 || bad "--alpha: status $?"
[ -s "$logs/alpha" ] && bad "--quiet printed: $(cat "$logs/alpha")"
printf '%s\t%s\texact\t\n' "$work/alpha/alpha.tga.png" "$logs/alpha.tga.bgra" \
  "$work/alpha/s01_grad_640x400_mag16.mag.png" "$fixtures/mag/s01_grad_640x400_mag16.mag.bgr" | python3 "$here/png_check.py" || fail=1

# --format bmp: rows of 128 and 640 pixels need no padding.
"$@" convert --format bmp "$good/own/mag" "$work/bmp" >/dev/null 2>&1 || bad "--format bmp: status $?"
for n in s01_grad_640x400_mag16 s07_text_123x77_mag16e; do
  cmp -s -i 54:8 "$work/bmp/$n.mag.bmp" "$fixtures/mag/$n.mag.bgr" || bad "--format bmp: $n"
done

# The damaged tree: one failure line each, nothing written outside OUTDIR.
b="$work/bad"
mag="$fixtures/mag/s05_edges_8x3_mag16x.mag"
head -c 20 "$fixtures/mag/s01_grad_640x400_mag16.mag" >"$b/cut.mag"
head -c 10 "$fixtures/pi/s03_noise_17x13_pi256.pi" >"$b/short.pi"
{ printf 'N'; tail -c +2 "$mag"; } >"$b/flipped.mag"
head -c 2000 "$fixtures/archives/z01_stored.zip" >"$b/cut.zip"
{ head -c 2 "$fixtures/archives/l02_lh5_lv0.lzh"; printf 'x'; tail -c +4 "$fixtures/archives/l02_lh5_lv0.lzh"; } >"$b/flip.lzh"
cp "$mag" "$b/sub/fine.mag"
echo "notes" >"$b/sub/notes.txt"
want=("slip.zip/../evil1.mag: unsafe name" "slip.zip//evil2.mag: unsafe name" "slip.zip/C:/evil3.mag: unsafe name"
      "slip.zip/a/../../evil4.mag: unsafe name" 'slip.zip/..\evil5.mag: unsafe name' "slip.zip/CON.mag: unsafe name"
      "slip.zip/xxxxxxxxxx" "giga.zip/giga.mag: damaged: the member claims 3000000000 bytes"
      "deep.zip/l2.zip/l3.zip/l4.zip: refused depth" "broken.zip/broken.mag: damaged: the member cannot be extracted"
      "cut.mag: damaged" "short.pi: not a picture" "flipped.mag: not a picture" "cut.zip: " "flip.lzh: "
      "slip.zip/../evil7.mag: unsafe name" "crc.zip/bad.mag: checksum mismatch")
if [ "$native" = 1 ]; then
  ln -s .. "$b/sub/loop"
  ln -s nowhere "$b/gone.mag"
  mkfifo "$b/pipe.mag"
  want+=("sub/loop: cannot read" "gone.mag: cannot read" "pipe.mag: cannot read")
  if [ "$(id -u)" != 0 ]; then
    cp "$mag" "$b/locked.mag" && chmod 000 "$b/locked.mag"
    want+=("locked.mag: cannot read")
  fi
fi
# Failure lines join a folder's path and its entries with the platform's separator.
sep=/
[ "$native" = 1 ] || sep='\'
touch "$logs/marker"
"$@" convert --jobs 2 "$b" "$work/outbad" >"$logs/outbad" 2>"$logs/errbad"
status=$?
[ "$status" = 1 ] || bad "damaged tree: status $status"
lines=$(grep -cF "$b" "$logs/errbad")
[ "$lines" = ${#want[@]} ] || bad "damaged tree: $lines failure lines, expected ${#want[@]}: $(cat "$logs/errbad")"
for w in "${want[@]}"; do
  [ "$(grep -cF "$b$sep$w" "$logs/errbad")" = 1 ] || bad "damaged tree: no line '$w'"
done
[ "$(counts "$logs/outbad")" = "3 0 ${#want[@]}" ] || bad "damaged tree summary: $(cat "$logs/outbad")"
# A picture whose checksum does not match is written all the same.
for n in slip.zip/ok.mag.png deep.zip/l2.zip/l3.zip/at3.mag.png sub/fine.mag.png crc.zip/bad.mag.png; do
  [ -f "$work/outbad/$n" ] || bad "damaged tree: $n not converted"
done
outside=$(find "$work" -type f -newer "$logs/marker" ! -path "$work/outbad*" ! -path "$b/sub/loop*" 2>/dev/null)
[ -z "$outside" ] || bad "written outside OUTDIR: $outside"
[ ! -e /evil2.mag ] || bad "/evil2.mag written"

# extract refuses a member whose checksum does not match unless asked to
# keep it; list shows the stored checksums.
"$@" extract "$b/crc.zip" 0 "$work/crc.mag" 2>"$logs/crc" && bad "extract of a damaged member succeeded"
grep -q "checksum mismatch" "$logs/crc" || bad "extract: $(cat "$logs/crc")"
[ -e "$work/crc.mag" ] && bad "extract wrote a damaged member"
"$@" extract --keep-damaged "$b/crc.zip" 0 "$work/crc.mag" 2>"$logs/crc" || bad "extract --keep-damaged: status $?"
cmp -s "$work/crc.mag" "$mag" || bad "extract --keep-damaged: the bytes differ"
"$@" list "$b/crc.zip" | grep -qP '^0\tstored\(0\)\t\d+\t\d+\tdeadbeef\tbad\.mag\r?$' || bad "list: $("$@" list "$b/crc.zip")"
"$@" list "$fixtures/archives/l06_lh7_lv2.lzh" | grep -qP '\t066e\ts02_plasma_320x200_pi256\.pi\r?$' || bad "list: no CRC-16"

# Outputs past 260 characters (extended-length paths on Windows). Wine
# writes such paths even without the \\?\ prefix, so under Wine this shows
# that the extended-length road works, not that the plain one would fail.
long="$work/long/$(printf 'a%.0s' $(seq 1 120))/$(printf 'b%.0s' $(seq 1 120))"
"$@" convert --quiet "$mag" "$long" >"$logs/long" 2>&1 || bad "long output path: status $?: $(cat "$logs/long")"
[ -f "$long/s05_edges_8x3_mag16x.mag.png" ] || bad "long output path: no PNG"

# A run killed midway leaves complete PNGs only; the next run finishes it.
big="$work/big"
mkdir -p "$big"
for i in $(seq 1 150); do cp "$s01" "$big/p$i.mag"; done
"$@" convert --jobs 1 "$big" "$work/outkill" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 1 600); do
  [ "$(find "$work/outkill" -name '*.png' 2>/dev/null | wc -l)" -ge 2 ] && break
  sleep 0.1
done
kill -9 "$pid" 2>/dev/null || bad "the run ended before it could be killed"
wait "$pid" 2>/dev/null
kept=$(find "$work/outkill" -name '*.png' | wc -l)
[ "$kept" -ge 2 ] && [ "$kept" -lt 150 ] || bad "killed run left $kept PNGs"
find "$work/outkill" -name '*.png' -printf '%p\t\tcomplete\t\n' | python3 "$here/png_check.py" || fail=1
"$@" convert "$big" "$work/outkill" >"$logs/resume" 2>&1 || bad "resumed run: status $?"
[ "$(counts "$logs/resume")" = "$((150 - kept)) $kept 0" ] || bad "resumed run: $(cat "$logs/resume")"
[ -z "$(find "$work/outkill" -name '*.part')" ] || bad "resumed run left temporary files"
for f in "$work"/outkill/*.png; do cmp -s "$f" "$work/outkill/p1.mag.png" || { bad "$f differs"; break; }; done

# Help and usage errors.
"$@" convert --help | grep -q -- "--jobs N" || bad "convert --help"
"$@" convert --jobs 0 "$good" "$work/x" 2>/dev/null; [ $? = 2 ] || bad "--jobs 0 accepted"
"$@" convert --alpha --format bmp "$good" "$work/x" 2>/dev/null; [ $? = 2 ] || bad "--alpha with bmp accepted"

[ $fail = 0 ] && echo "zizeconv convert: all passed ($converted converted in the good tree)"
exit $fail
