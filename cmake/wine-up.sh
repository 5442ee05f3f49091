#!/bin/sh
# Prepares the build's Wine prefix (once) and starts a persistent wineserver
# with one warm-up process. Every standard stream is detached: the server and
# the services it starts inherit them, and a pipe held open would make ctest
# wait for them.
build="$1"
source_dir="$2"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_DATA_HOME="$build/xdg"
export DISPLAY=":$(cat "$build/xvfb.display")"
sh "$source_dir/scripts/ja-locale.sh" "$build/locale" || exit 1
export LOCPATH="$build/locale"
sh "$source_dir/scripts/wine-prefix.sh" "$WINEPREFIX" || exit 1
# Test folders that an interrupted earlier run could not remove.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/zize-test-* "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/zize-test-*
wineserver -p </dev/null >/dev/null 2>&1
LC_ALL=ja_JP.UTF-8 /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
echo "wineserver ready for $WINEPREFIX"
