#!/bin/bash
# Builds the Windows timing programs and runs one under Wine on a virtual
# screen, in the build's test prefix.
#   bench-wine.sh [PROGRAM] [ARGUMENTS...]   (default: browse_timing)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
program="${1:-browse_timing}"
shift || true
bash "$here/scripts/deps.sh" run
bash "$here/scripts/build.sh" windows "$program" >/dev/null

build="$here/build/windows"
export WINEPREFIX="$build/bench-wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
sh "$here/scripts/ja-locale.sh" "$build/locale"
export LOCPATH="$build/locale"
sh "$here/scripts/wine-prefix.sh" "$WINEPREFIX"
# Scratch folders of earlier runs are removed here: deleting thousands of
# files through Wine takes minutes.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/zize_*_timing
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  env LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 "$build/bench/win/$program.exe" "$@"
