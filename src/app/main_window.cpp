#include "app/main_window.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include "app/browser_state.h"
#include "app/message_table.h"
#include "app/messages.h"
#include "app/settings.h"
#include "image/shared_lock_win.h"
#include "thumbs/folder_worker.h"

namespace {

ULONG_PTR gdiplusToken = 0;

// True while the folder worker thread exists and has not ended.
bool WorkerRunning()
{
    DWORD code = 0;
    return Browser.workerThread && GetExitCodeThread(Browser.workerThread, &code) && code == STILL_ACTIVE;
}

// Starts the services; results are not examined.
LRESULT OnCreate(HWND window, WPARAM, LPARAM)
{
    Browser.mainWindow = window;

    // Common controls, the shared lock, the imaging library.
    InitCommonControls();
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    InitSharedLock();
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);

    // The worker and the event by which it says that its queue exists.
    Browser.workerReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Browser.workerThread = CreateThread(nullptr, 0, FolderWorkerThread, &Browser, 0, &Browser.workerThreadId);
    if (Browser.workerThread)
        SetThreadPriority(Browser.workerThread, THREAD_PRIORITY_BELOW_NORMAL);
    return 0;
}

// Stops the services in order and ends the message loop.
LRESULT OnDestroy(HWND, WPARAM, LPARAM)
{
    if (Browser.workerReady) {
        CloseHandle(Browser.workerReady);
        Browser.workerReady = nullptr;
    }
    Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
    WriteSettings();
    DeleteSharedLock();
    PostQuitMessage(0);
    return 0;
}

// Withdraws the change registrations and asks the worker to stop; the
// window stays until the worker says it has ended.
LRESULT OnClose(HWND window, WPARAM, LPARAM)
{
    for (int which = 0; which < 2; ++which) {
        if (Browser.changeRegistration[which] != NoChangeRegistration) {
            SHChangeNotifyDeregister(Browser.changeRegistration[which]);
            Browser.changeRegistration[which] = NoChangeRegistration;
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
LRESULT OnCopyData(HWND window, WPARAM, LPARAM lParam)
{
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data && data->lpData)
        SetPendingPath(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    else
        ClearPendingPath();
    SendMessageW(window, MSG_OPEN_PENDING, 0, 0);
    return 0;
}

// The worker's control messages: its exit lets the window go.
LRESULT OnControl(HWND window, WPARAM, LPARAM lParam)
{
    if (lParam == CONTROL_WORKER_EXITED) {
        ReplyMessage(0);
        DestroyWindow(window);
    }
    return 0;
}

LRESULT OnOpenPending(HWND, WPARAM, LPARAM)
{
    OpenPendingPath();
    return 0;
}

const MessageHandler MainHandlers[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_CLOSE, OnClose},
    {WM_COPYDATA, OnCopyData},
    {MSG_CONTROL, OnControl},
    {MSG_OPEN_PENDING, OnOpenPending},
};

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(MainHandlers, window, message, wParam, lParam);
}

bool PostToWorker(UINT message, WPARAM wParam, LPARAM lParam)
{
    while (!PostThreadMessageW(Browser.workerThreadId, message, wParam, lParam)) {
        if (!WorkerRunning())
            return false;
        Sleep(10);
    }
    return true;
}

void FreeChanges()
{
    if (Browser.changeCount == 0)
        return;
    ChangeRecord* records = static_cast<ChangeRecord*>(GlobalLock(Browser.changeQueue));
    if (records) {
        for (DWORD i = 0; i < Browser.changeCount; ++i) {
            ILFree(records[i].first);
            ILFree(records[i].second);
        }
        GlobalUnlock(Browser.changeQueue);
    }
    GlobalFree(Browser.changeQueue);
    Browser.changeQueue = nullptr;
    Browser.changeCount = 0;
}

void OpenPendingPath()
{
    // A path that names nothing, or whose folder the shell cannot parse,
    // is dropped.
    if (PendingPath[0] == L'\0')
        return;
    LPITEMIDLIST folder = FolderOfPath(PendingPath, nullptr);
    if (!folder) {
        ClearPendingPath();
        return;
    }

    // The folder is shown by selecting it in the folder tree; while the
    // main window has no tree, there is no item for it and the path ends here.
    ClearPendingPath();
    CoTaskMemFree(folder);
}
