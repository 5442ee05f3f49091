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

// Starts the services; results are not examined.
LRESULT OnCreate(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    if (!state)
        return -1;
    AttachRecord(window, state);
    state->mainWindow = window;

    // Common controls, the shared lock, the imaging library.
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    InitSharedLock();
    StartImagingServices();

    // The worker and the event by which it says that its queue exists.
    state->workerReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    state->workerThread = CreateThread(nullptr, 0, FolderWorkerThread, state, 0, &state->workerThreadId);
    if (state->workerThread)
        SetThreadPriority(state->workerThread, THREAD_PRIORITY_BELOW_NORMAL);
    return 0;
}

// Stops the services in order and ends the message loop. No picture is
// loaded after the imaging library stops, also not for a message that is
// still queued for a viewer window.
LRESULT OnDestroy(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    if (!state)
        return 0;
    if (state->workerReady) {
        CloseHandle(state->workerReady);
        state->workerReady = nullptr;
    }
    TearDownFileList(state);
    StopImagingServices();
    WriteSettings();
    DeleteSharedLock();
    DetachRecord(window);
    PostQuitMessage(0);
    return 0;
}

// While the frame is dragged the list is not arranged at every step.
LRESULT OnSize(BrowserState* state, HWND, WPARAM, LPARAM)
{
    if (!state)
        return 0;
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
    if (state) {
        state->flags |= SizingInProgress;
        state->flags &= ~ArrangeSuspended;
    }
    return 0;
}

// The list is arranged once, at the end of the drag.
LRESULT OnExitSizeMove(BrowserState* state, HWND window, WPARAM, LPARAM)
{
    if (!state)
        return 0;
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
    if (!state)
        return 0;
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
    if (!state)
        return 0;
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

// A second instance's path: take it, then show it.
LRESULT OnCopyData(BrowserState*, HWND window, WPARAM, LPARAM lParam)
{
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data && data->lpData)
        SetPendingPath(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    else
        ClearPendingPath();
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
    if (!state)
        return 0;
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
    } else if (lParam == CONTROL_KEY && state) {
        HandleBrowserKey(state, static_cast<UINT>(wParam));
    }
    return 0;
}

LRESULT OnOpenPending(BrowserState*, HWND, WPARAM, LPARAM)
{
    OpenPendingPath();
    return 0;
}

// Tells the worker to go on: from the first visible item after the user
// has scrolled (mode 1), else with the next item without a thumbnail
// (mode 0). Each retry reads the index again.
void PostNextFromVisible(BrowserState* state)
{
    for (;;) {
        const int32_t first = state->firstVisibleIndex;
        const bool fromVisible = first != -1;
        if (PostThreadMessageW(state->workerThreadId, WT_NEXT, fromVisible ? WPARAM(first) : 0, fromVisible ? 1 : 0)) {
            if (fromVisible)
                state->firstVisibleIndex = -1;
            return;
        }
        if (!WorkerRunning())
            return;
        Sleep(10);
    }
}

// The worker asks for a list item (lParam 1: the listing is empty).
LRESULT OnRequestItem(BrowserState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    if (state && lParam == 0)
        RequestItem(state, wParam);
    return 0;
}

LRESULT OnThumbnailReady(BrowserState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    if (!state)
        return 0;
    StoreThumbnail(state, wParam, lParam);
    PostNextFromVisible(state);
    return 0;
}

// A folder's listing arrives: the list shows the tree item from now on.
LRESULT OnFolderListed(BrowserState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    if (!state)
        return 0;
    state->selectedTreeItem = reinterpret_cast<HTREEITEM>(lParam);
    ListFolder(state, reinterpret_cast<TreeItemRecord*>(wParam));

    // A file given by the command line or a second start opens now.
    if (PendingPath[0] != L'\0')
        OpenPendingFileInList();
    return 0;
}

LRESULT OnRestart(BrowserState* state, HWND, WPARAM, LPARAM)
{
    if (!state)
        return 0;
    PostToWorker(WT_NEXT, 0, 0);
    state->firstVisibleIndex = -1;
    return 0;
}

// Between two files the worker lets the queued changes through, then goes on.
LRESULT OnChangesPending(BrowserState* state, HWND, WPARAM wParam, LPARAM)
{
    if (!state)
        return 0;
    ApplyChanges(reinterpret_cast<WorkerSaveArea*>(wParam));
    PostToWorker(WT_NEXT, wParam, 2);
    state->firstVisibleIndex = -1;
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
    {MSG_REQUEST_ITEM, OnRequestItem},
    {MSG_THUMBNAIL_READY, OnThumbnailReady},
    {MSG_FOLDER_LISTED, OnFolderListed},
    {MSG_RESTART, OnRestart},
    {MSG_CHANGES_PENDING, OnChangesPending},
};

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(MainHandlers, window, message, wParam, lParam);
}

void OpenPendingPath()
{
    // A path that names nothing, or whose folder the shell cannot parse,
    // is dropped.
    if (PendingPath[0] == L'\0')
        return;
    ItemIdListOwner folder(FolderOfPath(PendingPath, nullptr));
    if (!folder) {
        ClearPendingPath();
        return;
    }

    // The folder's tree item, found from the root.
    HWND tree = Browser.left.control;
    HTREEITEM item = tree ? FindTreeItem(tree, TVI_ROOT, folder.get()) : nullptr;
    if (!item) {
        ClearPendingPath();
        return;
    }

    // Listed already: the file is opened at once. Otherwise selecting the
    // folder lists it, and the file is opened when the listing arrives.
    if (item == TreeView_GetSelection(tree)) {
        OpenPendingFileInList();
        return;
    }
    TreeView_SelectItem(tree, item);
}

void OpenPendingFileInList()
{
    if (PendingPath[0] != L'\0' && GetFileAttributesW(PendingPath) != INVALID_FILE_ATTRIBUTES &&
        SelectListItemByPath() >= 0)
        OpenPath(PendingPath);
    ClearPendingPath();
}
