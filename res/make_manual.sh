#!/bin/bash
# Compiles the manual into a CHM file.
#   make_manual.sh SOURCE_DIR OUTPUT.chm
# The sources in SOURCE_DIR are kept in UTF-8; the help viewer reads the
# project files and pages in code page 932, so each text file is converted
# (iconv stops the build at a character that code page 932 lacks) into a work
# folder beside the output, and chmcmd (fp-utils) compiles it there.
set -euo pipefail
src="$1"
out="$2"
work="$(dirname "$out")/manual-cp932"
rm -rf "$work"
mkdir -p "$work"
for file in "$src"/*; do
  name="$(basename "$file")"
  case "$name" in
    *.html|*.hhp|*.hhc|*.hhk|*.css) iconv -f UTF-8 -t CP932 "$file" >"$work/$name" ;;
    *) cp "$file" "$work/$name" ;;
  esac
done
if ! (cd "$work" && chmcmd Zize.hhp >chmcmd.log 2>&1); then
  cat "$work/chmcmd.log" >&2
  exit 1
fi
if grep -qi 'error' "$work/chmcmd.log"; then
  cat "$work/chmcmd.log" >&2
  exit 1
fi
mv "$work/Zize.chm" "$out"
