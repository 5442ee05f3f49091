// The pane window class "ZaraZaduz": the two panes of the main window.
#pragma once

#include <windows.h>

LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
