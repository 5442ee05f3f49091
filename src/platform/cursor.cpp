#include "platform/cursor.h"

#ifdef _WIN32
#include <windows.h>

void ShowWaitCursor(bool wait)
{
    SetCursor(LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

#else

void ShowWaitCursor(bool) {}
#endif
