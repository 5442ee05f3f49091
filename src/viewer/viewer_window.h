// The viewer window class "RezaDiz": one picture in a window of its own.
#pragma once

#include <windows.h>

LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
