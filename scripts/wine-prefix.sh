#!/bin/sh
# Creates a Wine prefix for Zize if it does not exist yet, without network or
# dialogs, and configures it once: no crash dialog, windows not handed to a
# window manager (Xvfb has none, and hiding a managed window waits 2 s for
# one to answer), the Japanese fonts that
# the program asks for replaced by the IPA fonts, Wine's marlett font for
# caption buttons.
#   wine-prefix.sh PREFIX
set -u
prefix="$1"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
log="$prefix.log"

if [ -f "$prefix/.zize-ready" ]; then
  exit 0
fi
mkdir -p "$prefix"

if [ ! -f "$prefix/system.reg" ]; then
  $wine wineboot -i </dev/null >>"$log" 2>&1
fi

reg="$prefix/zize-settings.reg"
{
  printf '\377\376'
  iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ 明朝"="IPAMincho"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Mincho"="IPAMincho"
"MS UI Gothic"="IPAPGothic"
"メイリオ"="IPAPGothic"
"Meiryo"="IPAPGothic"
"Meiryo UI"="IPAPGothic"
"Yu Gothic UI"="IPAPGothic"
REG
} >"$reg"
$wine regedit /S "$reg" </dev/null >>"$log" 2>&1 || { echo "regedit failed, see $log" >&2; exit 1; }

if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
fi

# Let the server write the registry and exit before the prefix is used.
timeout 120 wineserver -w </dev/null >/dev/null 2>&1
touch "$prefix/.zize-ready"
