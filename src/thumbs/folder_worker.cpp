// The folder worker: a message loop plus a table of handlers. It asks the
// main thread for one list item at a time, makes its 80 x 80 thumbnail
// (the picture scaled straight from the file, or the shell's icon) and
// hands it back; between two items it lets the main thread apply the
// queued shell changes. Everything goes to the main window by synchronous
// sends, so what the worker passes by address stays valid until handled.
//
// One scan runs at a time: every MSG_REQUEST_ITEM that names an item is
// answered by exactly one WT_RENDER_ITEM, and while that answer is
// outstanding a WT_NEXT is a second start of the scan and is dropped. Thus
// no change is ever applied while an item's record waits in the queue.
#include "thumbs/folder_worker.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>

#include "browser/list_item.h"
#include "browser/standard_icons.h"
#include "image/classify.h"
#include "image/load_image_win.h"
#include "image/shared_lock_win.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// The worker's own state. The save area holds the live scan position (the
// item count and the current index), so that the adjustments the main
// thread makes to it while it applies changes are the worker's at once.
struct FolderWorker {
    BrowserState* state;
    WorkerSaveArea save;
    bool done;          // no item with state 0 was left
    bool awaitingItem;  // a MSG_REQUEST_ITEM waits for its WT_RENDER_ITEM
    bool quit;
    ComPtr<IImageList> systemImages;  // may be missing
    LocalOwner iconBuffer;
    LocalOwner workBuffer;
};

using WorkerHandler = void (*)(FolderWorker*, WPARAM, LPARAM);

struct WorkerRow {
    UINT message;
    WorkerHandler handler;
};

LRESULT SendToMain(FolderWorker* w, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageW(w->state->mainWindow, message, wParam, lParam);
}

// Asks the main thread for item index; it answers with WT_RENDER_ITEM.
void RequestIndex(FolderWorker* w, uint32_t index)
{
    w->awaitingItem = true;
    SendToMain(w, MSG_REQUEST_ITEM, index, 0);
}

// The number of item states the scan may read: the main thread keeps the
// table and the save area's count in step; the smaller one is safe.
uint32_t ScanLength(const FolderWorker* w)
{
    const BrowserState* s = w->state;
    if (!s->itemStates)
        return 0;
    return w->save.itemCount < s->itemCount ? w->save.itemCount : s->itemCount;
}

// The first untried item from start to the end, else from 0; -1 when none.
int32_t FindUntried(const FolderWorker* w, int64_t start)
{
    return FindUntriedItem(w->state->itemStates, ScanLength(w), start);
}

void SendFailure(FolderWorker* w)
{
    SendToMain(w, MSG_THUMBNAIL_READY, 0, 0);
}

// A picture or an archive: the thumbnail straight from the open file.
void RenderPicture(FolderWorker* w, const wchar_t* path, FileHandle opened, uint32_t index)
{
    ImageInfo info = {};
    SharedThumbnail& shared = SharedThumbnailRecord();
    bool made = false;
    {
        ScopedFile file(opened);
        const int64_t size = FileSize(file.get());
        if (size > 16 && size <= int64_t(UINT32_MAX) && shared.colour)
            made = LoadImageThumbnail(path, file.get(), shared.colour, &info, uint32_t(size)) == 0;
    }
    if (!made) {
        SendFailure(w);
        return;
    }
    WorkerReply reply = {&info, index};
    SendToMain(w, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&reply), reinterpret_cast<LPARAM>(&shared));
}

// Any other file: the shell's large icon for it, made an IconImage80.
void RenderShellIcon(FolderWorker* w, const ListItemRecord* record, uint32_t index)
{
    BYTE* iconBuffer = static_cast<BYTE*>(w->iconBuffer.get());
    BYTE* work = static_cast<BYTE*>(w->workBuffer.get());
    if (!w->systemImages || !iconBuffer || !work) {
        SendFailure(w);
        return;
    }
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &info, sizeof info,
                        SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_ATTRIBUTES) ||
        (info.dwAttributes & SFGAO_FOLDER)) {
        SendFailure(w);
        return;
    }
    IconOwner icon;
    if (FAILED(w->systemImages->GetIcon(info.iIcon, ILD_TRANSPARENT, icon.receive())) || !icon) {
        SendFailure(w);
        return;
    }
    const bool made = IconToThumbnail(icon.get(), iconBuffer, work);
    icon.reset();
    if (!made) {
        SendFailure(w);
        return;
    }
    WorkerReply reply = {iconBuffer, index};
    SendToMain(w, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&reply), 0);
}

// WT_START_LIST: a new listing of count items, the files from first on.
void OnStartList(FolderWorker* w, WPARAM first, LPARAM count)
{
    w->save.itemCount = uint32_t(count);
    w->done = true;
    if (count == 0)
        SendToMain(w, MSG_REQUEST_ITEM, 0, 1);
    else if (first >= WPARAM(count))
        return;
    else {
        w->done = false;
        RequestIndex(w, uint32_t(first));
    }
}

// WT_RENDER_ITEM: the item the worker asked for (no record when it has
// gone from the list). Its state becomes 2 whatever the result, so that it
// is tried once per listing.
void OnRenderItem(FolderWorker* w, WPARAM recordParam, LPARAM indexParam)
{
    if (!w->awaitingItem)
        return;
    w->awaitingItem = false;
    const uint32_t index = uint32_t(indexParam);
    const ListItemRecord* record = reinterpret_cast<const ListItemRecord*>(recordParam);
    w->save.currentIndex = int32_t(index);
    SetItemState(w->state, index, ItemTried);
    if (!record) {
        SendFailure(w);
        return;
    }

    wchar_t path[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(record->absolute, path))
        path[0] = L'\0';
    const FileHandle file = path[0] ? OpenAndClassify(path, nullptr) : kInvalidFile;
    if (file != kInvalidFile)
        RenderPicture(w, path, file, index);
    else
        RenderShellIcon(w, record, index);
}

// WT_NEXT: goes on after the current item, from wParam, or resumes the
// WT_NEXT that queued changes deferred.
void OnNext(FolderWorker* w, WPARAM wParam, LPARAM modeParam)
{
    if (w->awaitingItem)
        return;
    uint64_t from = wParam;
    uint64_t mode = uint64_t(modeParam);
    if (mode == uint64_t(WorkerNextResume)) {
        from = w->save.nextWParam;
        mode = w->save.nextMode;
    }

    // Queued changes are applied first, while no item is held.
    DWORD changes;
    {
        SharedLockHolder lock;
        changes = w->state->changeCount;
    }
    if (changes != 0) {
        w->save.nextWParam = from;
        w->save.nextMode = mode;
        SendToMain(w, MSG_CHANGES_PENDING, reinterpret_cast<WPARAM>(&w->save), 0);
        return;
    }

    int64_t start = 0;
    if (mode == uint64_t(WorkerNextAfterCurrent))
        start = w->save.currentIndex < 0 ? -1 : int64_t(w->save.currentIndex) + 1;
    else if (mode == uint64_t(WorkerNextFromIndex))
        start = from > uint64_t(INT32_MAX) ? int64_t(INT32_MAX) : int64_t(from);
    const int32_t k = FindUntried(w, start);
    if (k < 0) {
        w->done = true;
        return;
    }
    w->save.currentIndex = k;
    RequestIndex(w, uint32_t(k));
}

// WT_CHANGES: an idle worker is woken so that the changes get applied.
void OnChanges(FolderWorker* w, WPARAM, LPARAM)
{
    if (!w->done)
        return;
    w->done = false;
    SendToMain(w, MSG_RESTART, 0, 0);
}

// WT_LIST_FOLDER: every waiting message is taken; the last folder request
// counts. A waiting WT_QUIT wins over the listing and WT_CHANGES is kept;
// WT_START_LIST, WT_RENDER_ITEM and WT_NEXT belong to the listing that is
// being replaced (their records are freed with it) and are dropped.
void OnListFolder(FolderWorker* w, WPARAM record, LPARAM treeItem)
{
    bool changes = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.hwnd) {
            DispatchMessageW(&msg);
            continue;
        }
        if (msg.message == WT_LIST_FOLDER) {
            record = msg.wParam;
            treeItem = msg.lParam;
        } else if (msg.message == WT_QUIT) {
            w->quit = true;
        } else if (msg.message == WT_CHANGES) {
            changes = true;
        }
    }
    if (w->quit)
        return;

    SendToMain(w, MSG_FOLDER_LISTED, record, treeItem);

    // Nothing of the old listing is held; the new one starts with WT_START_LIST.
    w->save.itemCount = 0;
    w->save.currentIndex = -1;
    w->done = true;
    w->awaitingItem = false;
    if (changes)
        OnChanges(w, 0, 0);
}

void OnQuit(FolderWorker* w, WPARAM, LPARAM)
{
    w->quit = true;
}

const WorkerRow WorkerHandlers[] = {
    {WT_QUIT, OnQuit},
    {WT_START_LIST, OnStartList},
    {WT_RENDER_ITEM, OnRenderItem},
    {WT_NEXT, OnNext},
    {WT_LIST_FOLDER, OnListFolder},
    {WT_CHANGES, OnChanges},
};

void Dispatch(FolderWorker* w, const MSG& msg)
{
    for (const WorkerRow& row : WorkerHandlers) {
        if (row.message == msg.message) {
            row.handler(w, msg.wParam, msg.lParam);
            return;
        }
    }
}

// DIB rows are padded to a multiple of 4 bytes.
size_t DibRowBytes(size_t width, size_t bits)
{
    return (width * bits + 31) / 32 * 4;
}

}  // namespace

bool IconToThumbnail(HICON icon, BYTE* iconBuffer, BYTE* work)
{
    ICONINFO parts = {};
    if (!GetIconInfo(icon, &parts))
        return false;
    GdiObjectOwner colour(parts.hbmColor);
    GdiObjectOwner mask(parts.hbmMask);
    BITMAP colourInfo = {};
    BITMAP maskInfo = {};
    if (!colour || !mask || !GetObjectW(colour.get(), sizeof colourInfo, &colourInfo) ||
        !GetObjectW(mask.get(), sizeof maskInfo, &maskInfo))
        return false;

    // A square colour icon whose header, colour rows and mask rows fit.
    const LONG side = colourInfo.bmWidth;
    if (side <= 0 || side > LONG(IconImage80Side) || colourInfo.bmHeight != side || maskInfo.bmWidth != side ||
        maskInfo.bmHeight != side)
        return false;
    const size_t colourBytes = DibRowBytes(size_t(side), 32) * size_t(side);
    const size_t maskBytes = DibRowBytes(size_t(side), 1) * size_t(side);
    const size_t total = sizeof(BITMAPINFOHEADER) + colourBytes + maskBytes;
    if (total > WorkerIconWorkBytes)
        return false;

    // Both read bottom-up; each call has a header (and palette room) of its own.
    WindowDc screen(nullptr);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD palette[2];
    } maskHeader = {};
    maskHeader.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), side, side, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    BYTE* maskRows = work + sizeof(BITMAPINFOHEADER) + colourBytes;
    if (!screen.get() || GetDIBits(screen.get(), static_cast<HBITMAP>(mask.get()), 0, UINT(side), maskRows,
                                   reinterpret_cast<BITMAPINFO*>(&maskHeader), DIB_RGB_COLORS) != side)
        return false;
    BITMAPINFO colourHeader = {};
    colourHeader.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), side, side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    if (GetDIBits(screen.get(), static_cast<HBITMAP>(colour.get()), 0, UINT(side),
                  work + sizeof(BITMAPINFOHEADER), &colourHeader, DIB_RGB_COLORS) != side)
        return false;

    // The icon image header: the height counts both halves.
    const BITMAPINFOHEADER header = {
        sizeof(BITMAPINFOHEADER), side, 2 * side, 1, 32, BI_RGB, DWORD(colourBytes + maskBytes), 0, 0, 0, 0};
    std::memcpy(work, &header, sizeof header);
    return ComposeIconImage(work, total, iconBuffer, WorkerIconBufferBytes);
}

// Makes its message queue and buffers, signals the worker-ready event, then
// handles messages until WT_QUIT, which it answers with
// CONTROL_WORKER_EXITED.
DWORD WINAPI FolderWorkerThread(void* param)
{
    FolderWorker w = {};
    w.state = static_cast<BrowserState*>(param);
    w.save.currentIndex = -1;
    w.done = true;

    // The queue, the shell's apartment, the system image list and buffers.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(SHGetImageList(SHIL_LARGE, __uuidof(IImageList), w.systemImages.receiveVoid())))
        w.systemImages.reset();
    w.iconBuffer.reset(LocalAlloc(LMEM_FIXED, WorkerIconBufferBytes));
    w.workBuffer.reset(LocalAlloc(LMEM_FIXED, WorkerIconWorkBytes));
    SetEvent(w.state->workerReady);

    // Until WT_QUIT (or the end of the queue).
    while (!w.quit && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd)
            DispatchMessageW(&msg);
        else
            Dispatch(&w, msg);
    }

    // Everything is released before the main window may go.
    w.iconBuffer.reset();
    w.workBuffer.reset();
    w.systemImages.reset();
    if (SUCCEEDED(com))
        CoUninitialize();
    SendMessageW(w.state->mainWindow, MSG_CONTROL, 0, CONTROL_WORKER_EXITED);
    return 0;
}
