#!/bin/sh
# Stops the Xvfb that xvfb-up.sh started.
build="$1"
if [ -s "$build/xvfb.pid" ]; then
  kill "$(cat "$build/xvfb.pid")" 2>/dev/null
fi
rm -f "$build/xvfb.display" "$build/xvfb.pid"
exit 0
