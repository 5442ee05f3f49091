#include "arcwin/archive_window.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <new>
#include <vector>

#include "arcwin/archive_layout.h"
#include "arcwin/archive_worker.h"
#include "archive/lzh_directory.h"
#include "archive/zip_directory.h"
#include "ui/browser_access.h"
#include "ui/list_thumbnails.h"
#include "ui/message_table.h"
#include "ui/messages.h"
#include "ui/owners.h"
#include "viewer/open_path.h"
#include "viewer/placement.h"

namespace {

constexpr int ArchiveStatusBarId = 20;
constexpr UINT ItemTextCapacity = 260;
// The image list holds only the thumbnails made, so it starts small and
// grows, instead of reserving 80 x 80 pixels for every member at once.
constexpr uint32_t ImageListStart = 64;
constexpr int ImageListGrowth = 32;

// The shell's file icon at 80 x 80: its icon group 1, or else its first icon.
HICON LoadFileIcon()
{
    ModuleOwner shell(LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HICON icon = nullptr;
    if (shell)
        icon = static_cast<HICON>(LoadImageW(shell.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, 80, 80, 0));
    if (!icon)
        ExtractIconExW(L"shell32.dll", 0, &icon, nullptr, 1);
    return icon;
}

// Releases everything the record holds, then the record. The worker has
// stopped by then.
void FreeArchiveState(ArchiveWindowState* state)
{
    CloseArchive(&state->reader);
    if (state->imageList)
        ImageList_Destroy(state->imageList);
    free(state->itemRecords);
    delete[] state->path;
    if (state->workerThread)
        CloseHandle(state->workerThread);
    DeleteCriticalSection(&state->readerLock);
    delete state;
}

// True while the worker thread has not ended.
bool WorkerRunning(const ArchiveWindowState* state)
{
    return ArchiveWorkerPoster(state).Running();
}

// Waits for the worker to end while answering what it sends meanwhile (a
// member it still opens, its last thumbnail).
void WaitForWorker(const ArchiveWindowState* state)
{
    HANDLE thread = state->workerThread;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The archive's directory read into the record's reader. Returns true when
// it lists at least one member.
bool ReadDirectory(ArchiveWindowState* state)
{
    ArchiveReader* reader = &state->reader;
    reader->file = state->file;
    int r = state->kind == KindLzh ? ReadLzhDirectory(reader, reader->file, 0)
                                   : ReadZipDirectory(reader, reader->file, 0);
    return r == 0 && reader->count > 0;
}

// The size facts of this window's list and status bar on this screen.
ArchiveMetrics GetArchiveMetrics(const ArchiveWindowState* state)
{
    ArchiveMetrics m = {};
    DWORD spacing = static_cast<DWORD>(SendMessageW(state->list, LVM_GETITEMSPACING, FALSE, 0));
    m.spacingX = LOWORD(spacing);
    m.spacingY = HIWORD(spacing);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    m.workWidth = static_cast<uint32_t>(work.right - work.left);
    m.workHeight = static_cast<uint32_t>(work.bottom - work.top);
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    m.frameWidth = static_cast<uint32_t>(frame.right - frame.left);
    m.frameHeight = static_cast<uint32_t>(frame.bottom - frame.top);
    m.vScrollWidth = static_cast<uint32_t>(GetSystemMetrics(SM_CXVSCROLL));
    RECT status = {};
    GetWindowRect(state->status, &status);
    m.statusHeight = static_cast<uint32_t>(status.bottom - status.top);
    return m;
}

// Makes the image list with the file icon, sizes the window to the member
// count and lists every member by name. Returns false when memory is short.
bool FillList(ArchiveWindowState* state, HWND window)
{
    const uint32_t count = state->reader.count;

    // The image list, starting with the file icon.
    state->imageList = ImageList_Create(kThumbnailSide, kThumbnailSide, ILC_COLOR24 | ILC_MASK,
                                        static_cast<int>(std::min(count + 3, ImageListStart)), ImageListGrowth);
    SendMessageW(state->list, LVM_SETITEMCOUNT, count, 0);
    SendMessageW(state->list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(state->imageList));
    IconOwner icon(LoadFileIcon());
    state->fileIcon = state->imageList && icon ? ImageList_ReplaceIcon(state->imageList, -1, icon.get()) : -1;

    // The window from the member count and the icon spacing.
    const ArchiveSize size = ArchiveWindowSize(count, GetArchiveMetrics(state));
    SetWindowPos(window, nullptr, 0, 0, static_cast<int>(size.width), static_cast<int>(size.height),
                 SWP_NOMOVE | SWP_NOZORDER);

    // The records behind the items.
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SendMessageW(state->list, WM_SETREDRAW, FALSE, 0);
    state->itemRecords = static_cast<ImageInfo*>(calloc(count, sizeof(ImageInfo)));
    const bool ok = state->itemRecords != nullptr;

    // One item per member, in member order.
    for (uint32_t i = 0; ok && i < count; ++i) {
        wchar_t text[ItemTextCapacity] = {};
        const wchar_t* name = state->reader.entries[i].name;
        wcsncpy(text, name ? name : L"", ItemTextCapacity - 1);
        InsertListViewItem(state->list, static_cast<int>(i), text, state->fileIcon,
                           reinterpret_cast<LPARAM>(&state->itemRecords[i]));
    }
    SendMessageW(state->list, LVM_ENSUREVISIBLE, 0, FALSE);
    SendMessageW(state->list, WM_SETREDRAW, TRUE, 0);
    SetCursor(previous ? LoadCursorW(nullptr, IDC_ARROW) : nullptr);
    return ok;
}

// Starts the worker and asks for member 0's thumbnail. Without a worker the
// members are decoded here when opened.
void StartWorker(ArchiveWindowState* state)
{
    DWORD id = 0;
    state->workerThread = CreateThread(nullptr, 0, ArchiveWorkerMain, state, 0, &id);
    state->workerThreadId = id;
    if (!state->workerThread) {
        state->thumbnailsDone = 1;
        return;
    }
    SetThreadPriority(state->workerThread, THREAD_PRIORITY_BELOW_NORMAL);
    PostToArchiveWorker(state, AT_START, 0);
    SetFocus(state->list);
    PostToArchiveWorker(state, AT_RENDER, 0);
}

// The window's record, made from the opener's creation record as the
// window is created: the archive's directory is read here, so a damaged or
// empty archive makes no window. The record takes the file (also when it
// then fails and closes it).
ArchiveWindowState* MakeArchiveState(LPARAM createParam)
{
    ArchiveWindowCreation* creation = CreationRecord<ArchiveWindowCreation>(createParam);
    if (!creation)
        return nullptr;
    auto* state = new (std::nothrow) ArchiveWindowState{};
    const size_t pathLength = wcslen(creation->path);
    wchar_t* path = new (std::nothrow) wchar_t[pathLength + 1];
    if (!state || !path) {
        delete state;
        delete[] path;
        return nullptr;
    }
    wmemcpy(path, creation->path, pathLength + 1);
    InitializeCriticalSection(&state->readerLock);
    state->path = path;
    state->instance = ProgramInstance();
    state->kind = creation->kind;
    state->file = creation->file;
    creation->taken = true;
    if (!ReadDirectory(state)) {
        FreeArchiveState(state);
        return nullptr;
    }
    return state;
}

// The children, the list and the worker; without them no window.
LRESULT OnCreate(ArchiveWindowState* state, HWND window, WPARAM, LPARAM)
{
    state->status = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM | SBARS_SIZEGRIP, L"", window,
                                        ArchiveStatusBarId);
    SendMessageW(state->status, SB_SIMPLE, TRUE, 0);
    state->list = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, WC_LISTVIEWW, L"",
                                  WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_AUTOARRANGE | LVS_SHOWSELALWAYS, 0, 0, 0,
                                  0, window, nullptr, state->instance, nullptr);
    if (!state->status || !state->list || !FillList(state, window))
        return -1;
    StartWorker(state);
    return 0;
}

LRESULT OnSize(ArchiveWindowState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    if (!state->status || !state->list)
        return 0;
    SendMessageW(state->status, WM_SIZE, wParam, lParam);
    RECT status = {};
    GetWindowRect(state->status, &status);
    const int height = HIWORD(lParam) - (status.bottom - status.top);
    SetWindowPos(state->list, nullptr, 0, 0, LOWORD(lParam), std::max(height, 0), SWP_NOMOVE | SWP_NOZORDER);
    return 0;
}

// A worker making thumbnails is asked to stop and the window goes when it
// answers. One that was told AT_FINISH ends without answering, so the
// window waits for its end before it goes.
LRESULT OnClose(ArchiveWindowState* state, HWND window, WPARAM, LPARAM)
{
    if (WorkerRunning(state)) {
        if (!state->thumbnailsDone) {
            PostToArchiveWorker(state, AT_QUIT, 0);
            return 0;
        }
        WaitForWorker(state);
    }
    DestroyWindow(window);
    return 0;
}

// The member under the mouse pointer, or -1.
int ItemUnderPointer(const ArchiveWindowState* state)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(state->list, &hit.pt);
    int item = static_cast<int>(SendMessageW(state->list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return item >= 0 && (hit.flags & LVHT_ONITEM) ? item : -1;
}

// The selection in the status bar: one member with its size and depth once
// known (and a warning when its checksum did not match), else how many are
// selected.
void ShowSelection(const ArchiveWindowState* state)
{
    const int selected = static_cast<int>(SendMessageW(state->list, LVM_GETSELECTEDCOUNT, 0, 0));
    const wchar_t* name = nullptr;
    const ImageInfo* info = nullptr;
    bool damaged = false;
    if (selected == 1) {
        const int item = static_cast<int>(SendMessageW(state->list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
        if (item >= 0 && static_cast<uint32_t>(item) < state->reader.count) {
            name = state->reader.entries[item].name;
            info = &state->itemRecords[item];
            damaged = state->reader.entries[item].checksumMismatch && info->width && info->height;
        }
    }
    std::vector<wchar_t> text((name ? wcslen(name) : 0) + 96, L'\0');
    FormatSelectionStatus(text.data(), text.size(), selected, name, info);
    if (damaged)
        wcsncat(text.data(), L" : チェックサムが一致しません", text.size() - wcslen(text.data()) - 1);
    SetStatusBarText(state->status, text.data());
}

LRESULT OnNotify(ArchiveWindowState* state, HWND, WPARAM, LPARAM lParam)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->hwndFrom != state->list)
        return 0;
    switch (header->code) {
    case LVN_ITEMCHANGED:
        ShowSelection(state);
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_RETURN) {
            for (int i = -1; (i = static_cast<int>(SendMessageW(state->list, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;)
                OpenArchiveMember(state, static_cast<uint32_t>(i));
        }
        break;
    case NM_DBLCLK: {
        const int item = ItemUnderPointer(state);
        if (item >= 0)
            OpenArchiveMember(state, static_cast<uint32_t>(item));
        break;
    }
    default:
        break;
    }
    return 0;
}

// The worker's start signal is ignored; its end lets the window go, unless
// the window is already going.
LRESULT OnControl(ArchiveWindowState* state, HWND window, WPARAM, LPARAM lParam)
{
    if (lParam != CONTROL_WORKER_EXITED)
        return 0;
    ReplyMessage(0);
    if (!state->destroying)
        DestroyWindow(window);
    return 0;
}

LRESULT OnShowMember(ArchiveWindowState*, HWND, WPARAM wParam, LPARAM lParam)
{
    CreateViewerWindow(reinterpret_cast<const wchar_t*>(wParam), reinterpret_cast<ViewerImage*>(lParam));
    return 0;
}

// Stores one thumbnail; after a batch's last, asks for the next batch, or
// tells the worker that there is no more: members are decoded here from
// then on.
LRESULT OnThumbnailReady(ArchiveWindowState* state, HWND, WPARAM wParam, LPARAM)
{
    const auto* reply = reinterpret_cast<const ArchiveReply*>(wParam);
    if (!reply)
        return 0;
    const uint32_t count = StoreArchiveThumbnail(state, reply);
    if (!reply->last)
        return 0;
    const uint32_t next = reply->index + 1;
    if (next < count) {
        PostToArchiveWorker(state, AT_RENDER, next);
    } else {
        PostToArchiveWorker(state, AT_FINISH, 0);
        state->thumbnailsDone = 1;
    }
    return 0;
}

// A window destroyed while its worker still runs (the program ending)
// stops the worker first: it reads the record, which goes when the window
// has gone (FreeArchiveState at WM_NCDESTROY).
LRESULT OnDestroy(ArchiveWindowState* state, HWND, WPARAM, LPARAM)
{
    state->destroying = true;
    if (WorkerRunning(state)) {
        if (!state->thumbnailsDone)
            PostToArchiveWorker(state, AT_QUIT, 0);
        WaitForWorker(state);
    }
    return 0;
}

const MessageRow<ArchiveWindowState> ArchiveHandlers[] = {
    {WM_CREATE, OnCreate},
    {WM_SIZE, OnSize},
    {WM_CLOSE, OnClose},
    {WM_NOTIFY, OnNotify},
    {MSG_CONTROL, OnControl},
    {MSG_SHOW_MEMBER, OnShowMember},
    {MSG_THUMBNAIL_READY, OnThumbnailReady},
    {WM_DESTROY, OnDestroy},
};

constexpr RecordLife<ArchiveWindowState> ArchiveRecordLife = {MakeArchiveState, FreeArchiveState};

}  // namespace

void OpenArchiveMember(ArchiveWindowState* state, uint32_t index)
{
    if (state->thumbnailsDone)
        DecodeMember(state, nullptr, index);
    else
        PostToArchiveWorker(state, AT_OPEN, index);
}

LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(ArchiveHandlers, ArchiveRecordLife, window, message, wParam, lParam);
}
