// The folder worker: a message loop plus a table of handlers. It asks the
// main thread for a small batch of list items at a time (four for each
// thread making thumbnails, at most eight), makes their 80 x 80 thumbnails (the picture
// scaled straight from the file, by the worker and its helper threads
// together; or the shell's icon, by the worker alone, in its apartment)
// and posts them one by one in the batch's order, each in a slot of a
// small ring that the main thread hands back once it has stored it. The
// worker goes on with the next batch without waiting, at most a ring
// ahead of the main thread; it never touches the list.
//
// The records of a batch come back inside the request's send. The list
// changes only inside two sends of the worker: MSG_FOLDER_LISTED (after
// which results of the old listing are dropped by their listing number)
// and MSG_CHANGES_PENDING, sent between two batches once every posted
// result has been handled, so that no result's index moves. A quit or a
// new listing waiting in the queue abandons the rest of a batch.
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
#include "thumbs/item_path.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/job_team.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// What an item of the batch is: gone from the list, a picture (or an
// archive) whose thumbnail comes from the file, or any other file, which
// gets the shell's icon.
enum JobKind { JobGone, JobPicture, JobShellIcon };

static_assert(MaxBatchJobs <= WorkerBatchMax, "a batch fits its records");

// One item of the batch: its path, found by the worker, and what the
// thread that takes it makes of it.
struct PictureJob {
    JobKind kind;  // JobPicture until the file is classified
    wchar_t path[MAX_PATH];
    ImageInfo info;
    bool made;
};

// One result on its way to the main thread, with what it points to.
struct ResultSlot {
    WorkerReply reply;
    ImageInfo info;
    ThumbnailBlock thumbnail;
    BYTE icon[WorkerIconBufferBytes];
};

// The ring holds two batches: the team makes one while the main thread
// stores the other.
constexpr uint32_t RingMax = 2 * WorkerBatchMax;

// The worker's own state. The save area holds the live scan position (the
// item count and the current index), so that the adjustments the main
// thread makes to it while it applies changes are the worker's at once.
struct FolderWorker {
    BrowserState* state;
    WorkerSaveArea save;
    bool quit;
    uint32_t batchMax;         // items in a batch (JobBatchSize of the team)
    JobTeam team;              // the worker's helpers
    WorkerBatch batch;         // the batch in hand
    PictureJob jobs[WorkerBatchMax];
    LocalOwner thumbs;         // one ThumbnailBlock a job
    LocalOwner ring;           // ringSize ResultSlots; none: no thumbnails are made
    uint32_t ringSize;
    uint32_t ringNext;         // the slot the next result takes
    uint32_t listing;          // the listing number the results belong to
    LONG postsSeen;            // BrowserState::workerPosts when the queue was last read
    ComPtr<IImageList> systemImages;  // may be missing
    LocalOwner workBuffer;
    ItemPathFinder paths;  // the listed folder, bound in the worker's apartment
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

// The number of item states the scan may read: the main thread keeps the
// table and the save area's count in step; the smaller one is safe.
uint32_t ScanLength(const FolderWorker* w)
{
    const BrowserState* s = w->state;
    if (!s->itemStates)
        return 0;
    return w->save.itemCount < s->itemCount ? w->save.itemCount : s->itemCount;
}

ThumbnailBlock* JobThumbnail(FolderWorker* w, uint32_t job)
{
    return static_cast<ThumbnailBlock*>(w->thumbs.get()) + job;
}

// A job of the team: a file opened and classified; a picture or an
// archive gets its thumbnail straight from the file, any other file is
// left to the shell's icon. Runs on any of the team's threads.
void MakePicture(void* context, uint32_t job)
{
    FolderWorker* w = static_cast<FolderWorker*>(context);
    PictureJob* p = &w->jobs[job];
    if (p->kind != JobPicture)
        return;
    const FileHandle opened = p->path[0] ? OpenAndClassify(p->path, nullptr) : kInvalidFile;
    if (opened == kInvalidFile) {
        p->kind = JobShellIcon;
        return;
    }
    ScopedFile file(opened);
    const int64_t size = FileSize(file.get());
    if (size > 16 && size <= int64_t(UINT32_MAX) && w->thumbs)
        p->made = LoadImageThumbnail(p->path, file.get(), JobThumbnail(w, job), &p->info, uint32_t(size)) == 0;
}

// Any other file: the shell's large icon for it, made an IconImage80 in
// iconBuffer (WorkerIconBufferBytes). Returns false when there is none.
bool MakeShellIcon(FolderWorker* w, const ListItemRecord* record, BYTE* iconBuffer)
{
    BYTE* work = static_cast<BYTE*>(w->workBuffer.get());
    if (!w->systemImages || !record || !work)
        return false;
    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &info, sizeof info,
                        SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_ATTRIBUTES) ||
        (info.dwAttributes & SFGAO_FOLDER))
        return false;
    IconOwner icon;
    if (FAILED(w->systemImages->GetIcon(info.iIcon, ILD_TRANSPARENT, icon.receive())) || !icon)
        return false;
    return IconToThumbnail(icon.get(), iconBuffer, work);
}

// Whether the main thread has posted anything since the worker last looked
// into its queue between two batches. Looking into the queue costs a round
// trip to the server under Wine (as much as a small thumbnail); reading
// the count does not.
bool NewPosts(const FolderWorker* w)
{
    return InterlockedCompareExchange(&w->state->workerPosts, 0, 0) != w->postsSeen;
}

// Whether a quit or a new listing waits: the scan then ends, and the batch
// in hand is abandoned.
bool InterruptWaiting(const FolderWorker* w)
{
    MSG msg;
    return NewPosts(w) && (PeekMessageW(&msg, nullptr, WT_QUIT, WT_QUIT, PM_NOREMOVE) ||
                           PeekMessageW(&msg, nullptr, WT_LIST_FOLDER, WT_LIST_FOLDER, PM_NOREMOVE));
}

bool ChangesQueued(const FolderWorker* w)
{
    SharedLockHolder lock;
    return w->state->changeCount != 0;
}

ResultSlot* Slot(FolderWorker* w, uint32_t i)
{
    return static_cast<ResultSlot*>(w->ring.get()) + i;
}

// Waits until the main thread has handed slot back. The wait is rare (the
// ring holds two batches) and short, so it is a sleep rather than an
// event that the main thread would have to set for every result. A main
// window that has gone hands nothing back any more: its slots are free.
void WaitHanded(FolderWorker* w, ResultSlot* slot)
{
    for (int slept = 0; InterlockedCompareExchange(&slot->reply.busy, 0, 0) != 0; ++slept) {
        Sleep(1);
        if (slept % 100 == 99 && !IsWindow(w->state->mainWindow))
            InterlockedExchange(&slot->reply.busy, 0);
    }
}

// Waits until every posted result has been handled: the list may then
// change under the main thread's hands.
void WaitAllHanded(FolderWorker* w)
{
    for (uint32_t i = 0; i < w->ringSize; ++i)
        WaitHanded(w, Slot(w, i));
}

// The items of this listing whose results are on their way, into out
// (RingMax). Read before the item states: a slot is handed back only after
// its item has been marked tried.
uint32_t ResultsOnTheirWay(FolderWorker* w, uint32_t* out)
{
    uint32_t count = 0;
    for (uint32_t i = 0; i < w->ringSize; ++i) {
        ResultSlot* slot = Slot(w, i);
        if (InterlockedCompareExchange(&slot->reply.busy, 0, 0) != 0 && slot->reply.listing == w->listing)
            out[count++] = slot->reply.index;
    }
    return count;
}

// Hands item job's result to the main thread in the next slot of the
// ring, once the main thread has handed that slot back: the picture's
// thumbnail, the shell's icon, or a failure.
void PostResult(FolderWorker* w, uint32_t job)
{
    ResultSlot* slot = Slot(w, w->ringNext);
    w->ringNext = (w->ringNext + 1) % w->ringSize;
    WaitHanded(w, slot);

    const PictureJob& p = w->jobs[job];
    const ListItemRecord* record = static_cast<const ListItemRecord*>(w->batch.records[job]);
    slot->reply = WorkerReply{nullptr, nullptr, w->batch.indices[job], w->listing, 1};
    if (p.made) {
        slot->info = p.info;
        std::memcpy(&slot->thumbnail, JobThumbnail(w, job), sizeof slot->thumbnail);
        slot->reply.data = &slot->info;
        slot->reply.thumbnail = &slot->thumbnail;
    } else if (p.kind == JobShellIcon && MakeShellIcon(w, record, slot->icon)) {
        slot->reply.data = slot->icon;
    }

    // A full queue is waited out; a window that has gone takes nothing.
    while (!PostMessageW(w->state->mainWindow, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&slot->reply), 0)) {
        if (!IsWindow(w->state->mainWindow)) {
            InterlockedExchange(&slot->reply.busy, 0);
            return;
        }
        Sleep(10);
    }
}

// The next batch of the scan from start: asked for, made, and its results
// posted in the batch's order, each as soon as it is made. Returns false
// when no untried item is left (items on their way do not count).
bool RunBatch(FolderWorker* w, int64_t start)
{
    WorkerBatch& batch = w->batch;
    batch = WorkerBatch{};
    uint32_t onTheirWay[RingMax];
    const uint32_t skipped = ResultsOnTheirWay(w, onTheirWay);
    batch.count = FindUntriedBatch(w->state->itemStates, ScanLength(w), start, w->batchMax, batch.indices,
                                   onTheirWay, skipped);
    if (batch.count == 0)
        return false;
    SendToMain(w, MSG_REQUEST_ITEM, reinterpret_cast<WPARAM>(&batch), 0);
    w->save.currentIndex = int32_t(batch.indices[batch.count - 1]);

    // The paths are found here, in the worker's apartment; the team opens
    // the files.
    for (uint32_t i = 0; i < batch.count; ++i) {
        PictureJob& p = w->jobs[i];
        p = PictureJob{};
        const ListItemRecord* record = static_cast<const ListItemRecord*>(batch.records[i]);
        if (!record)
            continue;
        w->paths.Find(record->absolute, p.path);
        p.kind = JobPicture;
    }

    // Each result goes as soon as its item is made, while the team makes
    // the next ones.
    w->team.Begin(batch.count, MakePicture, w);
    bool abandoned = false;
    for (uint32_t i = 0; i < batch.count && !abandoned; ++i) {
        abandoned = InterruptWaiting(w);
        if (!abandoned) {
            w->team.WaitJob(i);
            PostResult(w, i);
        }
    }
    w->team.Finish(abandoned);
    return true;
}

int64_t AfterCurrent(const FolderWorker* w)
{
    return w->save.currentIndex < 0 ? -1 : int64_t(w->save.currentIndex) + 1;
}

int64_t ScanStart(const FolderWorker* w, WPARAM from, LPARAM mode)
{
    if (mode == WorkerNextFromIndex)
        return from > WPARAM(INT32_MAX) ? int64_t(INT32_MAX) : int64_t(from);
    return AfterCurrent(w);
}

// The queued changes, applied by the main thread once it has handled
// every posted result, so that no index of a result moves under it.
void ApplyQueuedChanges(FolderWorker* w)
{
    WaitAllHanded(w);
    SendToMain(w, MSG_CHANGES_PENDING, reinterpret_cast<WPARAM>(&w->save), 0);
}

// The scan from start, batch after batch, until no untried item is left or
// a quit or a new listing waits. Between two batches the user's latest
// scroll moves it and queued changes are applied. At the end, once every
// result is stored, changes that came meanwhile are applied and the scan
// looks again.
void Scan(FolderWorker* w, int64_t start)
{
    if (!w->ring)
        return;
    for (;;) {
        // What was posted meanwhile: counted first, so that a post that
        // comes while the queue is read is looked for next time.
        const LONG posts = InterlockedCompareExchange(&w->state->workerPosts, 0, 0);
        if (posts != w->postsSeen) {
            if (InterruptWaiting(w))
                return;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, WT_NEXT, WT_NEXT, PM_REMOVE))
                start = ScanStart(w, msg.wParam, msg.lParam);
            while (PeekMessageW(&msg, nullptr, WT_CHANGES, WT_CHANGES, PM_REMOVE)) {
            }
            w->postsSeen = posts;
        }
        if (ChangesQueued(w)) {
            ApplyQueuedChanges(w);
            start = AfterCurrent(w);
        } else if (RunBatch(w, start)) {
            start = AfterCurrent(w);
        } else {
            WaitAllHanded(w);
            if (!ChangesQueued(w))
                return;
        }
    }
}

// WT_START_LIST: a new listing of count items, the files from first on.
void OnStartList(FolderWorker* w, WPARAM first, LPARAM count)
{
    w->save.itemCount = uint32_t(count);
    if (count == 0)
        SendToMain(w, MSG_REQUEST_ITEM, 0, 1);
    else if (first < WPARAM(count))
        Scan(w, int64_t(first));
}

// WT_NEXT: the scan goes on from the first visible item, or after the
// current one.
void OnNext(FolderWorker* w, WPARAM from, LPARAM mode)
{
    Scan(w, ScanStart(w, from, mode));
}

// WT_CHANGES: the scan goes on after the current item, with the changes
// applied first.
void OnChanges(FolderWorker* w, WPARAM, LPARAM)
{
    Scan(w, AfterCurrent(w));
}

// WT_LIST_FOLDER: every waiting message is taken; the last folder request
// counts. A waiting WT_QUIT wins over the listing and WT_CHANGES is kept;
// WT_START_LIST and WT_NEXT belong to the listing that is being replaced
// and are dropped.
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

    // The main thread counts the listing inside the send; results of the
    // old one that are still on their way are dropped.
    SendToMain(w, MSG_FOLDER_LISTED, record, treeItem);
    w->listing = w->state->listingNumber;

    // Nothing of the old listing is held; the new one starts with WT_START_LIST.
    w->paths.Reset();
    w->save.itemCount = 0;
    w->save.currentIndex = -1;
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

    // The queue, the shell's apartment, the system image list and buffers.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(SHGetImageList(SHIL_LARGE, __uuidof(IImageList), w.systemImages.receiveVoid())))
        w.systemImages.reset();
    w.workBuffer.reset(LocalAlloc(LMEM_FIXED, WorkerIconWorkBytes));

    // The helpers: one a further processor. Without memory for their
    // thumbnails the worker makes them alone, one at a time.
    const uint32_t threads = JobThreadCount();
    w.thumbs.reset(LocalAlloc(LMEM_FIXED, WorkerBatchMax * sizeof(ThumbnailBlock)));
    w.batchMax = 1;
    if (w.thumbs)
        w.batchMax = JobBatchSize(1 + w.team.Start(threads - 1));
    w.ringSize = 2 * w.batchMax;
    w.ring.reset(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, w.ringSize * sizeof(ResultSlot)));
    w.listing = w.state->listingNumber;
    SetEvent(w.state->workerReady);

    // Until WT_QUIT (or the end of the queue).
    while (!w.quit && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd)
            DispatchMessageW(&msg);
        else
            Dispatch(&w, msg);
    }

    // Everything is released before the main window may go; the ring only
    // after the main thread has handled its last result.
    w.team.Stop();
    if (w.ring)
        WaitAllHanded(&w);
    w.thumbs.reset();
    w.workBuffer.reset();
    w.systemImages.reset();
    w.paths.Reset();
    if (SUCCEEDED(com))
        CoUninitialize();
    w.ring.reset();
    SendMessageW(w.state->mainWindow, MSG_CONTROL, 0, CONTROL_WORKER_EXITED);
    return 0;
}
