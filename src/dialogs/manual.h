// The manual "Zize.chm" beside the executable.
#pragma once

#include <windows.h>

// Opens the manual "Zize.chm" of the executable directory (with its
// trailing separator) with the shell's "open" verb. Nothing is shown when
// that fails.
void OpenManual(HWND owner, const wchar_t* exeDir);
