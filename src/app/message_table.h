// Window procedures as tables of message handlers: each handler returns
// what the procedure returns for its message (0 when handled).
#pragma once

#include <windows.h>

#include <cstddef>

struct MessageHandler {
    UINT message;
    LRESULT (*handle)(HWND window, WPARAM wParam, LPARAM lParam);
};

// Calls the table's handler of the message, or DefWindowProcW.
template <size_t N>
LRESULT DispatchMessageTable(const MessageHandler (&table)[N], HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam)
{
    for (const MessageHandler& entry : table)
        if (entry.message == message)
            return entry.handle(window, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}
