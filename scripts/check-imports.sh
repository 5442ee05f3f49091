#!/bin/bash
# Checks that Windows binaries import only DLLs that come with Windows
# itself (Wine ships others, such as zlib1.dll, and would hide a missing
# one). Prints each foreign import and exits 1 when there is one.
#   check-imports.sh FILE...
set -uo pipefail
objdump=x86_64-w64-mingw32-objdump
# Windows' own DLLs that the program may use, in lower case.
allowed=" kernel32.dll user32.dll gdi32.dll gdiplus.dll comctl32.dll comdlg32.dll shell32.dll shlwapi.dll "
allowed+="ole32.dll oleaut32.dll advapi32.dll winmm.dll version.dll windowscodecs.dll propsys.dll msvcrt.dll "
bad=0
for file in "$@"; do
  names=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  if [ -z "$names" ]; then
    echo "$file: no import table found"
    bad=1
  fi
  for name in $names; do
    if [[ "$allowed" != *" $name "* ]]; then
      echo "$file: imports $name, which Windows does not ship"
      bad=1
    fi
  done
done
[ $bad -eq 0 ] && echo "imports: only Windows' own DLLs"
exit $bad
