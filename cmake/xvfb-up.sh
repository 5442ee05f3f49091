#!/bin/sh
# Starts a private Xvfb on a free display; writes its number and pid into the build folder.
build="$1"
rm -f "$build/xvfb.display" "$build/xvfb.pid"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$build/xvfb.display" </dev/null >/dev/null 2>&1 &
echo $! >"$build/xvfb.pid"
i=0
while [ ! -s "$build/xvfb.display" ]; do
  i=$((i + 1))
  if [ $i -gt 200 ]; then
    echo "Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.1
done
echo "Xvfb on :$(cat "$build/xvfb.display")"
