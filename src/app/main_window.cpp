#include "app/main_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/browser_keys.h"
#include "app/settings.h"
#include "browser/change_queue.h"
#include "browser/file_list.h"
#include "browser/folder_tree.h"
#include "browser/pane_window.h"
#include "dialogs/manual.h"
#include "dialogs/options_dialog.h"
#include "dialogs/version_box.h"
#include "image/imaging_services_win.h"
#include "image/shared_lock_win.h"
#include "thumbs/folder_listing.h"
#include "thumbs/folder_worker.h"
#include "ui/browser_state.h"
#include "ui/message_table.h"
#include "ui/messages.h"
#include "ui/owners.h"
#include "viewer/open_path.h"

namespace {

// Starts the services and the folder worker. Without the worker or its
// ready event the window cannot work: the creation fails (the start-up
// then shows its failure box) instead of waiting for a worker that never
// comes.
LRESULT OnCreate(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    state->mainWindow = window;

    // Common controls, the shared lock, the imaging library.
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    InitSharedLock();
    StartImagingServices();

    // The worker and the event by which it says that its queue exists.
    state->workerReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (state->workerReady)
        state->workerThread = CreateThread(nullptr, 0, FolderWorkerThread, state, 0, &state->workerThreadId);
    if (!state->workerThread) {
        if (state->workerReady)
            CloseHandle(state->workerReady);
        state->workerReady = nullptr;
        StopImagingServices();
        DeleteSharedLock();
        state->mainWindow = nullptr;
        return -1;
    }
    SetThreadPriority(state->workerThread, THREAD_PRIORITY_BELOW_NORMAL);
    return 0;
}

// Stops the services in order and ends the message loop. No picture is
// loaded after the imaging library stops, also not for a message that is
// still queued for a viewer window.
LRESULT OnDestroy(BrowserState* state, HWND, WPARAM, LPARAM)
{
    if (state->workerReady) {
        CloseHandle(state->workerReady);
        state->workerReady = nullptr;
    }
    TearDownFileList(state);
    StopImagingServices();
    WriteSettings();
    DeleteSharedLock();
    PostQuitMessage(0);
    return 0;
}

// While the frame is dragged the list is not arranged at every step.
LRESULT OnSize(BrowserState* state, HWND, WPARAM, LPARAM)
{
    if ((state->flags & SizingInProgress) && state->right.control) {
        const LONG_PTR style = GetWindowLongPtrW(state->right.control, GWL_STYLE);
        if (style & LVS_AUTOARRANGE)
            SetWindowLongPtrW(state->right.control, GWL_STYLE, style & ~LONG_PTR(LVS_AUTOARRANGE));
    }
    if (state->flags & SizingInProgress)
        state->flags |= ArrangeSuspended;
    LayoutMainWindow(state);
    return 0;
}

LRESULT OnEnterSizeMove(BrowserState* state, HWND, WPARAM, LPARAM)
{
    state->flags |= SizingInProgress;
    state->flags &= ~ArrangeSuspended;
    return 0;
}

// The list is arranged once, at the end of the drag.
LRESULT OnExitSizeMove(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    state->flags &= ~SizingInProgress;
    if (!(state->flags & ArrangeSuspended))
        return 0;
    if (state->right.control) {
        const LONG_PTR style = GetWindowLongPtrW(state->right.control, GWL_STYLE);
        SetWindowLongPtrW(state->right.control, GWL_STYLE, style | LVS_AUTOARRANGE);
    }
    LayoutMainWindow(state);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

// The focus goes back to the tree or the list, whichever had it when
// another application was activated.
LRESULT OnActivate(BrowserState* state, HWND, WPARAM wParam, LPARAM)
{
    const WORD how = LOWORD(wParam);
    if (how == WA_INACTIVE) {
        HWND focus = GetFocus();
        state->flags &= ~(TreeHadFocus | ListHadFocus);
        if (focus && focus == state->left.control)
            state->flags |= TreeHadFocus;
        else if (focus && focus == state->right.control)
            state->flags |= ListHadFocus;
    } else if (how == WA_ACTIVE) {
        const uint32_t had = state->flags & (TreeHadFocus | ListHadFocus);
        if (had == TreeHadFocus && state->left.control)
            SetFocus(state->left.control);
        else if (had == ListHadFocus && state->right.control)
            SetFocus(state->right.control);
        state->flags &= ~(TreeHadFocus | ListHadFocus);
    }
    return 0;
}

// Withdraws the change registrations and asks the worker to stop; the
// window stays until the worker says it has ended.
LRESULT OnClose(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    for (int which = 0; which < 2; ++which) {
        if (state->changeRegistration[which] != NoChangeRegistration) {
            SHChangeNotifyDeregister(state->changeRegistration[which]);
            state->changeRegistration[which] = NoChangeRegistration;
        }
        SharedLockHolder lock;  // the worker reads the change count under it
        FreeChanges();
    }

    // Without a running worker nobody would answer: close at once.
    if (!PostToWorker(WT_QUIT, 0, 0))
        DestroyWindow(window);
    return 0;
}

// A second instance's path: take it, then show it. While an earlier path
// still waits for its folder's listing, the new one waits behind it, so
// that several starts in a row (several files opened at once from
// Explorer) open every file.
LRESULT OnCopyData(BrowserState*, HWND window, WPARAM, LPARAM lParam)
{
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!data || data->dwData != COPYDATA_PENDING_PATH || !data->lpData)
        return 0;
    const wchar_t* path = static_cast<const wchar_t*>(data->lpData);
    const size_t units = data->cbData / sizeof(wchar_t);
    if (PendingPath[0] != L'\0') {
        QueuePendingPath(path, units);
        return 0;
    }
    SetPendingPath(path, units);
    SendMessageW(window, MSG_OPEN_PENDING, 0, 0);
    return 0;
}

LRESULT OnKeyDown(BrowserState*, HWND window, WPARAM wParam, LPARAM)
{
    if (wParam == VK_F5)
        SendMessageW(window, MSG_CONTROL, wParam, CONTROL_KEY);
    return 0;
}

// The "&Option" menu: the options dialog, whose result applies to what is
// opened next and is written at exit; the manual; the version box.
LRESULT OnCommand(BrowserState* state, HWND window, WPARAM wParam, LPARAM)
{
    switch (LOWORD(wParam)) {
    case CommandOptions:
        StoreOptionsResult(state, RunOptionsDialog(window, state));
        break;
    case CommandManual:
        OpenManual(window, state->exeDir);
        break;
    case CommandVersion:
        RunVersionBox(window);
        break;
    default:
        break;
    }
    return 0;
}

// The worker's exit lets the window go; keys of the browser are carried out.
LRESULT OnControl(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam)
{
    if (lParam == CONTROL_WORKER_EXITED) {
        ReplyMessage(0);
        DestroyWindow(window);
    } else if (lParam == CONTROL_KEY) {
        HandleBrowserKey(state, static_cast<UINT>(wParam));
    }
    return 0;
}

LRESULT OnOpenPending(BrowserState* state, HWND, WPARAM, LPARAM)
{
    // A posted request finds nothing pending: the next queued path, if any.
    if (PendingPath[0] == L'\0' && !TakeQueuedPendingPath())
        return 0;
    OpenPendingPath(state);
    return 0;
}

const MessageRow<BrowserState> MainHandlers[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_SIZE, OnSize},
    {WM_ENTERSIZEMOVE, OnEnterSizeMove},
    {WM_EXITSIZEMOVE, OnExitSizeMove},
    {WM_ACTIVATE, OnActivate},
    {WM_CLOSE, OnClose},
    {WM_COPYDATA, OnCopyData},
    {WM_KEYDOWN, OnKeyDown},
    {WM_COMMAND, OnCommand},
    {MSG_CONTROL, OnControl},
    {MSG_OPEN_PENDING, OnOpenPending},
    // The folder worker's messages, answered by its main-thread side.
    {MSG_REQUEST_ITEM, OnWorkerRequestItem},
    {MSG_THUMBNAIL_READY, OnWorkerThumbnailReady},
    {MSG_FOLDER_LISTED, OnWorkerFolderListed},
    {MSG_CHANGES_PENDING, OnWorkerChangesPending},
};

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(MainHandlers, window, message, wParam, lParam);
}

void OpenPendingPath(BrowserState* state)
{
    // A path that names nothing, or whose folder the shell cannot parse,
    // is dropped, and the next queued one is shown.
    if (PendingPath[0] == L'\0')
        return;
    ItemIdListOwner folder(FolderOfPath(PendingPath, nullptr));
    HWND tree = state->left.control;
    HTREEITEM item = folder && tree ? FindTreeItem(tree, TVI_ROOT, folder.get()) : nullptr;
    if (!item) {
        ClearPendingPath();
        if (TakeQueuedPendingPath())
            PostMessageW(state->mainWindow, MSG_OPEN_PENDING, 0, 0);
        return;
    }

    // Listed already: the file is opened at once. Otherwise selecting the
    // folder lists it, and the file is opened when the listing arrives.
    if (item == TreeView_GetSelection(tree) && item == state->selectedTreeItem) {
        OpenPendingFile(state);
        return;
    }
    TreeView_SelectItem(tree, item);
}
