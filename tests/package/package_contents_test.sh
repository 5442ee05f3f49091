#!/bin/bash
# The release package as a user downloads it: scripts/package.sh makes it,
# it is unzipped into a fresh folder, and its contents are checked there:
# exactly the listed files, binaries stripped, importing only Windows' own
# DLLs. package_test.exe then starts the programs from that folder.
#   package_contents_test.sh SOURCE_DIR BUILD_DIR VERSION
set -uo pipefail
src="$1"
build="$2"
version="$3"
work="$build/package-test"
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/fresh"
zip=$(bash "$src/scripts/package.sh" "$work/dist" | tail -1)
[ "$zip" = "$work/dist/Zize-$version-win64.zip" ] || fail "package.sh made '$zip'"
unzip -q "$zip" -d "$work/fresh" || fail "cannot unzip $zip"

# Exactly these files, in one folder named after the version.
want="Zize-$version/LICENSE.txt Zize-$version/README.md Zize-$version/Zize.chm Zize-$version/Zize.exe Zize-$version/ZizeCodec.dll Zize-$version/zizeconv.exe"
got=$(cd "$work/fresh" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[ "$got" = "$want" ] || fail "contents: $got"

dir="$work/fresh/Zize-$version"
bins=("$dir/Zize.exe" "$dir/ZizeCodec.dll" "$dir/zizeconv.exe")
for bin in "${bins[@]}"; do
  if x86_64-w64-mingw32-objdump -h "$bin" | grep -q '\.debug'; then
    fail "$bin is not stripped"
  fi
  x86_64-w64-mingw32-objdump -t "$bin" | grep -q 'no symbols' || fail "$bin keeps its symbol table"
done
bash "$src/scripts/check-imports.sh" "${bins[@]}" || fail "foreign imports"

# The import check itself refuses a DLL that Windows does not ship.
printf '#include <pthread.h>\nint f(void) { return (int)(long long)pthread_self(); }\n' > "$work/foreign.c"
x86_64-w64-mingw32-gcc-posix -shared "$work/foreign.c" -o "$work/foreign.dll" -lpthread || fail "cannot build the probe DLL"
if bash "$src/scripts/check-imports.sh" "$work/foreign.dll" >/dev/null; then
  fail "check-imports.sh accepted libwinpthread-1.dll"
fi
echo "package: $zip checked"
