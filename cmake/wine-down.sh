#!/bin/sh
# Stops the persistent wineserver of the build's prefix and everything it runs.
WINEPREFIX="$1/wineprefix" wineserver -k </dev/null >/dev/null 2>&1
exit 0
