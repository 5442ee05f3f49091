#include "viewer/viewer_window.h"

// No viewer is opened yet: every message takes the default processing.
LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
