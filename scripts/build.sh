#!/bin/bash
# Configures and builds one of the two builds.
#   build.sh native|windows [NINJA_TARGET...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
kind="$1"
shift
case "$kind" in
  native) args=() ;;
  windows) args=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake") ;;
  *) echo "usage: build.sh native|windows [TARGET...]" >&2; exit 2 ;;
esac
build="$here/build/$kind"
mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja "${args[@]}" >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; exit 1; }
fi
ninja -C "$build" "$@"
