#include "arcwin/archive_window.h"

// No archive window is opened yet: every message takes the default processing.
LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
