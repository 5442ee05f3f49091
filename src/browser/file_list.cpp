#include "browser/file_list.h"

#include "browser/standard_icons.h"
#include "ui/message_table.h"

LRESULT CALLBACK FileListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BrowserState* state = RecordOf<BrowserState>(window);
    WNDPROC saved = state ? state->listSavedProc : nullptr;
    if (!saved)
        return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = CallWindowProcW(saved, window, message, wParam, lParam);

    // The worker goes on from the first item the user can see.
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) {
        const int first = FirstVisibleListItem(window);
        if (first >= 0)
            state->firstVisibleIndex = first;
    }
    return result;
}

int FirstVisibleListItem(HWND list)
{
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        RECT icon = {};
        icon.left = LVIR_ICON;
        if (SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&icon)) && icon.bottom >= 0)
            return i;
    }
    return -1;
}

void HandleListNotify(BrowserState* state, const NMHDR* header)
{
    // Every key goes to the main window, which acts on the browser's keys.
    if (header->code == LVN_KEYDOWN) {
        const NMLVKEYDOWN* key = reinterpret_cast<const NMLVKEYDOWN*>(header);
        SendMessageW(state->mainWindow, MSG_CONTROL, key->wVKey, CONTROL_KEY);
    }
}

void ApplyListChange(BrowserState*, const ChangeRecord&, WorkerSaveArea*)
{
    // The list holds no shell items until a folder is listed; nothing to follow.
}

void TearDownFileList(BrowserState* state)
{
    HWND list = state->right.control;
    if (list && state->listSavedProc) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->listSavedProc));
        state->listSavedProc = nullptr;
    }
    if (list) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    }
    if (state->listImages) {
        ImageList_Destroy(state->listImages);
        state->listImages = nullptr;
    }
    for (int32_t& index : state->imageIndex)
        index = -1;
    ReleaseStandardIcons();
}
