// The viewer window's commands, keys and context menu.
#pragma once

#include <windows.h>

LRESULT OnViewerContextMenu(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerKeyDown(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerCommand(HWND window, WPARAM wParam, LPARAM lParam);
