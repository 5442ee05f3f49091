// The archive window class "ZuzeDod": the members of one ZIP or LZH archive.
#pragma once

#include <windows.h>

LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
