#!/bin/sh
# Generates the ja_JP.UTF-8 locale into DIR (once), for Wine processes: with
# it Wine uses code page 932 and still writes UTF-8 file names on the Unix side.
#   ja-locale.sh DIR
dir="$1"
[ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ] && exit 0
mkdir -p "$dir"
localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" >/dev/null 2>&1
[ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ] || { echo "cannot generate the ja_JP.UTF-8 locale" >&2; exit 1; }
