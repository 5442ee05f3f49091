#!/bin/bash
# The compiled manual read back with CHMLib's tools (libchm-bin), not with the
# compiler's own library: every page that the table of contents names is in
# the file, every page in the file is named by the table of contents and by
# the index, every page declares and is in code page 932, and every link
# between pages leads to a page in the file.
#   chm_contents_test.sh Zize.chm
set -uo pipefail
chm="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The pages stored in the file, without their leading "/".
enum_chmLib "$chm" >"$work/listing" || { echo "FAIL: enum_chmLib cannot read $chm"; exit 1; }
awk '$NF ~ /^\/[^\/#$:]+\.html?$/ { print substr($NF, 2) }' "$work/listing" | sort -u >"$work/pages"
[ -s "$work/pages" ] || fail "no pages in $chm"

extract_chmLib "$chm" "$work/x" >/dev/null || { echo "FAIL: extract_chmLib cannot unpack $chm"; exit 1; }

# The targets ("Local" values, anchors dropped) of a sitemap file in code page 932.
targets() {
  iconv -f CP932 -t UTF-8 "$1" | grep -io '<param name="Local" value="[^"]*"' |
    sed -E 's/.*value="([^"#]*).*/\1/' | sort -u
}
for kind in hhc hhk; do
  files=("$work"/x/*.$kind)
  if [ ${#files[@]} -ne 1 ] || [ ! -f "${files[0]}" ]; then
    fail "expected one .$kind file in $chm"
    : >"$work/$kind"
    continue
  fi
  targets "${files[0]}" >"$work/$kind" || fail "${files[0]##*/} is not in code page 932"
done
[ -s "$work/hhc" ] || fail "the table of contents names no page"

while read -r page; do
  grep -qxF "$page" "$work/pages" || fail "the table of contents names $page, which is not in the file"
done <"$work/hhc"
while read -r page; do
  grep -qxF "$page" "$work/pages" || fail "the index names $page, which is not in the file"
done <"$work/hhk"

while read -r page; do
  grep -qxF "$page" "$work/hhc" || fail "$page is not in the table of contents"
  grep -qxF "$page" "$work/hhk" || fail "$page is not in the index"
  text="$work/x/$page"
  grep -qi 'charset=shift_jis' "$text" || fail "$page does not declare charset=shift_jis"
  iconv -f CP932 -t UTF-8 "$text" >/dev/null 2>&1 || fail "$page is not in code page 932"
  for link in $(grep -io 'href="[^"#:]*\.html' "$text" | sed -E 's/^href="//I'); do
    grep -qxF "$link" "$work/pages" || fail "$page links to $link, which is not in the file"
  done
done <"$work/pages"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "$(wc -l <"$work/pages") pages, all in the table of contents and the index"
