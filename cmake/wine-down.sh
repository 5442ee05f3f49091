#!/bin/sh
# Stops the persistent wineserver of the build's prefix and everything it runs.
WINEPREFIX="$1/wineprefix" wineserver -k </dev/null >/dev/null 2>&1
# Whatever test folder a killed process still held goes now.
rm -rf "$1"/wineprefix/drive_c/users/*/Temp/zize-test-* "$1"/wineprefix/drive_c/users/*/AppData/Local/Temp/zize-test-*
exit 0
