#include "arcwin/archive_window.h"

// No archive window is opened yet: every message takes the default processing.
LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// Until the archive window lists members, an archive opens no window; the
// handle it was given is closed so that nothing stays open.
HWND CreateArchiveWindow(const wchar_t*, FileHandle file, FileKind)
{
    FileClose(file);
    return nullptr;
}
