#!/bin/bash
# Builds Zize.exe if needed and starts it under Wine, in a prefix of its own
# with the Japanese fonts set up.
#   run.sh [PATH]   PATH: a picture, archive or folder to show
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/deps.sh" run
bash "$here/scripts/build.sh" windows Zize >/dev/null

build="$here/build/windows"
export WINEPREFIX="$here/build/run-wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
sh "$here/scripts/ja-locale.sh" "$here/build/locale"
export LOCPATH="$here/build/locale"
sh "$here/scripts/wine-prefix.sh" "$WINEPREFIX"

args=()
if [ $# -ge 1 ] && [ -n "$1" ]; then
  path="$1"
  # A Unix path becomes its Windows name on drive Z:.
  if [ -e "$path" ]; then
    path="Z:$(realpath "$path" | sed 's|/|\\|g')"
  fi
  args+=("$path")
fi

run=(env LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 "$build/src/Zize.exe" "${args[@]}")
if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY: running on a virtual screen (xvfb-run)" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "${run[@]}"
fi
exec "${run[@]}"
