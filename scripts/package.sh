#!/bin/bash
# Builds the Windows programs and makes the release package
# dist/Zize-VERSION-win64.zip: one folder Zize-VERSION holding Zize.exe,
# ZizeCodec.dll, zizeconv.exe (stripped), Zize.chm, README.md and
# LICENSE.txt. VERSION comes from project() in CMakeLists.txt.
#   package.sh [OUT_DIR]   (default: dist beside the sources)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$here/dist}"
bash "$here/scripts/deps.sh" run
bash "$here/scripts/build.sh" windows Zize ZizeCodec zizeconv zize_manual >/dev/null

build="$here/build/windows"
version=$(sed -n 's/^#define ZIZE_VERSION_STRING "\(.*\)"$/\1/p' "$build/res/zize_version.h")
[ -n "$version" ] || { echo "package.sh: no version in $build/res/zize_version.h" >&2; exit 1; }
name="Zize-$version"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$build/src/Zize.exe" "$build/src/ZizeCodec.dll" "$build/tools/zizeconv/zizeconv.exe" \
   "$build/src/Zize.chm" "$here/README.md" "$stage/$name/"
# Windows' Notepad reads the licence without knowing the extensionless name.
cp "$here/LICENSE" "$stage/$name/LICENSE.txt"
x86_64-w64-mingw32-strip --strip-all "$stage/$name/Zize.exe" "$stage/$name/ZizeCodec.dll" "$stage/$name/zizeconv.exe"
bash "$here/scripts/check-imports.sh" "$stage/$name/Zize.exe" "$stage/$name/ZizeCodec.dll" "$stage/$name/zizeconv.exe" >/dev/null \
  || { bash "$here/scripts/check-imports.sh" "$stage/$name"/*.exe "$stage/$name"/*.dll >&2; exit 1; }

mkdir -p "$out"
zip="$out/$name-win64.zip"
rm -f "$zip"
(cd "$stage" && zip -q -X -r "$zip" "$name")
echo "$zip"
