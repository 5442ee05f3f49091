// Window procedures as tables of message handlers. Each window's record is
// attached to it at WM_NCCREATE (the creation parameter, or a record that
// the window's own maker builds from it) and detached at WM_NCDESTROY; the
// dispatch fetches it once per message and hands it to the handler. A
// handler is only ever called with a record: messages that arrive before
// WM_NCCREATE or after the record is gone go to DefWindowProcW. Handlers
// crack their arguments with windowsx.h and return what the procedure
// returns (0 when handled).
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

// One row of a window's table: the message and its handler, which gets the
// window's record.
template <typename Record>
struct MessageRow {
    UINT message;
    LRESULT (*handle)(Record* record, HWND window, WPARAM wParam, LPARAM lParam);
};

// How a window gets its record and gives it up. make builds the record from
// the WM_NCCREATE parameter (none fails the creation); release frees it once
// the window no longer holds it: at WM_NCDESTROY, or when WM_CREATE fails.
// Without release the record belongs to whoever made the window, and a
// failed WM_CREATE leaves it to that creator.
template <typename Record>
struct RecordLife {
    Record* (*make)(LPARAM createParam);
    void (*release)(Record* record);
};

// The life of a record that is the creation parameter and is owned elsewhere.
template <typename Record>
constexpr RecordLife<Record> BorrowedRecord()
{
    return RecordLife<Record>{CreationRecord<Record>, nullptr};
}

// Calls the table's handler of the message with the window's record, or
// DefWindowProcW when the table has none or the window has no record.
template <typename Record, size_t N>
LRESULT DispatchMessageTable(const MessageRow<Record> (&table)[N], const RecordLife<Record>& life, HWND window,
                             UINT message, WPARAM wParam, LPARAM lParam)
{
    // Creation: the record is attached before any handler may need it.
    if (message == WM_NCCREATE) {
        Record* made = life.make(lParam);
        if (!made)
            return FALSE;
        AttachRecord(window, made);
    }

    Record* record = RecordOf<Record>(window);
    LRESULT result = 0;
    bool handled = false;
    if (record) {
        for (const MessageRow<Record>& row : table) {
            if (row.message == message) {
                result = row.handle(record, window, wParam, lParam);
                handled = true;
                break;
            }
        }
    }
    if (!handled)
        result = DefWindowProcW(window, message, wParam, lParam);

    // A failed WM_CREATE or the window's end: the record goes.
    const bool failedCreate = message == WM_CREATE && result == -1;
    if (record && (failedCreate || message == WM_NCDESTROY)) {
        DetachRecord(window);
        if (life.release)
            life.release(record);
    }
    return result;
}

template <typename Record, size_t N>
LRESULT DispatchMessageTable(const MessageRow<Record> (&table)[N], HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam)
{
    return DispatchMessageTable(table, BorrowedRecord<Record>(), window, message, wParam, lParam);
}
