#!/bin/bash
# Checks that each Windows executable given imports only DLLs that every
# Windows system has (Wine would hide a missing one: its prefix has extras).
#   system_dlls_test.sh EXE...
set -u
allowed="kernel32.dll msvcrt.dll user32.dll gdi32.dll gdiplus.dll comctl32.dll comdlg32.dll shell32.dll
shlwapi.dll ole32.dll oleaut32.dll winmm.dll advapi32.dll version.dll"
fail=0
for exe in "$@"; do
  file "$exe" | grep -q 'PE32+ executable.*x86-64' || { echo "FAIL $exe is not a PE32+ x86-64 executable"; fail=1; }
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u); do
    case " $(echo $allowed) " in
      *" $dll "*) ;;
      *) echo "FAIL $exe imports $dll"; fail=1 ;;
    esac
  done
done
file "$1" | grep -q '(GUI)' || { echo "FAIL $1 is not a GUI executable"; fail=1; }
[ $fail -eq 0 ] && echo "only system DLLs imported"
exit $fail
