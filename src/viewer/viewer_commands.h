// The viewer window's commands, keys and context menu.
#pragma once

#include <windows.h>

#include "viewer/viewer_image.h"

LRESULT OnViewerContextMenu(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerKeyDown(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerCommand(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
