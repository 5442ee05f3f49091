// Window procedures as tables of message handlers. Each window's record is
// attached to it once (AttachRecord, usually in WM_NCCREATE or WM_CREATE
// from the creation parameter) and fetched once per message by the
// dispatch, which hands it to the handler; handlers crack their arguments
// with windowsx.h and return what the procedure returns (0 when handled).
#pragma once

#include <windows.h>
#include <windowsx.h>

#include <cstddef>

// The record attached to a window of this process, or nullptr. A window of
// another process holds an address of that process, which must not be read.
template <typename Record>
Record* RecordOf(HWND window)
{
    DWORD process = 0;
    if (!window || !GetWindowThreadProcessId(window, &process) || process != GetCurrentProcessId())
        return nullptr;
    return reinterpret_cast<Record*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

inline void AttachRecord(HWND window, void* record)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
}

inline void DetachRecord(HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

// The record passed as the creation parameter of WM_NCCREATE and WM_CREATE.
template <typename Record>
Record* CreationRecord(LPARAM lParam)
{
    const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    return create ? static_cast<Record*>(create->lpCreateParams) : nullptr;
}

// One row of a window's table: the message and its handler. The handler
// gets the window's record (nullptr before it is attached; the creation
// parameter for WM_NCCREATE and WM_CREATE).
template <typename Record>
struct MessageRow {
    UINT message;
    LRESULT (*handle)(Record* record, HWND window, WPARAM wParam, LPARAM lParam);
};

// Calls the table's handler of the message with the window's record, or
// DefWindowProcW when the table has none.
template <typename Record, size_t N>
LRESULT DispatchMessageTable(const MessageRow<Record> (&table)[N], HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam)
{
    for (const MessageRow<Record>& row : table) {
        if (row.message != message)
            continue;
        Record* record = (message == WM_NCCREATE || message == WM_CREATE) ? CreationRecord<Record>(lParam)
                                                                           : RecordOf<Record>(window);
        return row.handle(record, window, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
