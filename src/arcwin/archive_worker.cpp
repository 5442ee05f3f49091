#include "arcwin/archive_worker.h"

#include <cstdlib>

#include "archive/lzh_extract.h"
#include "archive/zip_extract.h"
#include "image/load_image_win.h"
#include "platform/memory_block.h"
#include "ui/job_team.h"
#include "ui/list_thumbnails.h"
#include "ui/messages.h"
#include "ui/owners.h"
#include "viewer/open_path.h"

namespace {

// Holds the reader lock for the life of the object.
class ReaderLockHolder {
public:
    explicit ReaderLockHolder(ArchiveWindowState* state) : lock_(&state->readerLock) { EnterCriticalSection(lock_); }
    ~ReaderLockHolder() { LeaveCriticalSection(lock_); }
    ReaderLockHolder(const ReaderLockHolder&) = delete;
    ReaderLockHolder& operator=(const ReaderLockHolder&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

// Extracts member index into dst with the archive's own extraction.
// Returns true on success, and for a member whose checksum does not match:
// its picture is shown all the same (the entry is marked for the status bar).
bool ExtractMember(ArchiveWindowState* state, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                   uint32_t outputLimit)
{
    ArchiveReader* reader = &state->reader;
    if (state->kind == KindLzh) {
        int r = ExtractLzhMember(reader, index, dst, compressedLimit, outputLimit);
        return r == kLzhExtractOk || r == kLzhExtractChecksumMismatch;
    }
    int r = ExtractZipMember(reader, index, dst, compressedLimit, outputLimit);
    return r == kZipExtractOk || r == kZipExtractChecksumMismatch;
}

// The member's picture in the 24-bit form: its beginning tried, then the
// whole member decoded from a movable block. Returns 0 or -1.
int LoadMemberPicture(ArchiveWindowState* state, uint32_t index, DecodedImage* picture)
{
    const bool inside = index < state->reader.count;
    const wchar_t* name = inside ? state->reader.entries[index].name : nullptr;
    const uint32_t size = inside ? state->reader.entries[index].uncompressedSize : 0;

    // Too small to be any picture.
    if (size <= 16)
        return -1;

    // The beginning: a BMP by its signature whatever its name, else classified.
    MemoryBlock block = nullptr;
    {
        ReaderLockHolder hold(state);
        uint8_t head[MemberHeadCompressedLimit] = {};
        if (!ExtractMember(state, index, head, MemberHeadCompressedLimit, MemberHeadBytes))
            return -1;
        if (!(head[0] == 'B' && head[1] == 'M') && ClassifyHeader(name, head) >= KindZip)
            return -1;

        // The whole member into a movable block.
        ScopedMemoryBlock whole(MemoryBlockAlloc(size));
        if (!whole.get())
            return -1;
        {
            MemoryBlockLockHolder bytes(whole.get());
            if (!bytes.bytes() || !ExtractMember(state, index, bytes.bytes(), 0, 0))
                return -1;
        }
        block = whole.release();
    }

    // Decoded outside the lock: the reader is no longer needed.
    return LoadImageBlock(name, block, picture, 0);
}

// Sends to the archive window, the list view's parent, and waits for its answer.
void SendToWindow(const ArchiveWindowState* state, UINT message, WPARAM wParam, LPARAM lParam)
{
    SendMessageW(GetParent(state->list), message, wParam, lParam);
}

}  // namespace

ThreadPoster ArchiveWorkerPoster(const ArchiveWindowState* state)
{
    return ThreadPoster{state->workerThread, state->workerThreadId};
}

bool PostToArchiveWorker(const ArchiveWindowState* state, UINT message, WPARAM wParam)
{
    return ArchiveWorkerPoster(state).Post(message, wParam, 0);
}

int DecodeMember(ArchiveWindowState* state, ArchiveThumbnail* thumb, uint32_t index)
{
    DecodedImage picture = {};
    if (LoadMemberPicture(state, index, &picture) != 0)
        return -1;

    // A thumbnail keeps the picture's size and depth; the pixels go.
    if (thumb) {
        ScaleToThumbnail(&thumb->block, picture.pixels, picture.width, picture.height,
                         static_cast<ptrdiff_t>(Stride24(picture.width)));
        thumb->info = ImageInfo{picture.width, picture.height, picture.bitsPerPixel};
        ReleaseDecodedImage(&picture);
        return 0;
    }

    // A viewer takes the picture over, titled with the member's name.
    ViewerImage* image = AllocViewerImage();
    if (!image) {
        ReleaseDecodedImage(&picture);
        return -1;
    }
    image->picture = picture;
    SendToWindow(state, MSG_SHOW_MEMBER, reinterpret_cast<WPARAM>(state->reader.entries[index].name),
                 reinterpret_cast<LPARAM>(image));
    return 0;
}

uint32_t StoreArchiveThumbnail(ArchiveWindowState* state, const ArchiveReply* reply)
{
    const int index = static_cast<int>(reply->index);
    auto* record = reply->index < state->reader.count ? &state->itemRecords[reply->index] : nullptr;
    if (reply->thumbnail && record) {
        const int image = AddThumbnailImage(state->imageList, reply->thumbnail->block.pixels);
        if (image >= 0) {
            *record = reply->thumbnail->info;
            SetListViewItemImage(state->list, index, image);
        }
    }
    return static_cast<uint32_t>(SendMessageW(state->list, LVM_GETITEMCOUNT, 0, 0));
}

namespace {

static_assert(MaxBatchJobs <= WorkerBatchMax, "a batch fits its records");

// The worker's own state: the window's record, one thumbnail record for
// each member of a batch, the helpers, and whether the loop ends (with or
// without an answer).
struct ArchiveWorker {
    ArchiveWindowState* state;
    ArchiveThumbnail* thumbs;  // batchMax records
    uint32_t batchMax;
    JobTeam team;
    uint32_t first;  // the batch in hand: its first member
    int results[WorkerBatchMax];
    bool quit;      // AT_QUIT: answered with CONTROL_WORKER_EXITED
    bool finished;  // AT_FINISH: ends without an answer
};

using ArchiveHandler = void (*)(ArchiveWorker*, uint32_t index);

struct ArchiveWorkerRow {
    UINT message;
    ArchiveHandler handler;
};

void OnQuit(ArchiveWorker* w, uint32_t)
{
    w->quit = true;
}

void OnFinish(ArchiveWorker* w, uint32_t)
{
    w->finished = true;
}

// A job of the team: one member's thumbnail. The extraction takes turns on
// the reader lock; the decoding and scaling run side by side.
void MakeMemberThumbnail(void* context, uint32_t job)
{
    ArchiveWorker* w = static_cast<ArchiveWorker*>(context);
    w->results[job] = DecodeMember(w->state, &w->thumbs[job], w->first + job);
}

// AT_RENDER: the thumbnails of the batch from member first on, each
// result (or failure) to the window in member order. A waiting AT_QUIT
// abandons the rest.
void OnRender(ArchiveWorker* w, uint32_t first)
{
    const uint32_t count = w->state->reader.count;
    if (!w->thumbs || first >= count) {
        ArchiveReply reply = {nullptr, first, 1};
        SendToWindow(w->state, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&reply), 0);
        return;
    }
    const uint32_t members = count - first < w->batchMax ? count - first : w->batchMax;
    w->first = first;
    // Each result goes as soon as its member is made, while the team makes
    // the next ones.
    w->team.Begin(members, MakeMemberThumbnail, w);
    bool abandoned = false;
    for (uint32_t i = 0; i < members && !abandoned; ++i) {
        MSG msg;
        abandoned = PeekMessageW(&msg, nullptr, AT_QUIT, AT_QUIT, PM_NOREMOVE);
        if (!abandoned) {
            w->team.WaitJob(i);
            ArchiveReply reply = {w->results[i] == 0 ? &w->thumbs[i] : nullptr, first + i, i + 1 == members};
            SendToWindow(w->state, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&reply), 0);
        }
    }
    w->team.Finish(abandoned);
}

// AT_OPEN: the member opens in a viewer (nothing when it does not decode).
void OnOpen(ArchiveWorker* w, uint32_t index)
{
    DecodeMember(w->state, nullptr, index);
}

const ArchiveWorkerRow ArchiveWorkerHandlers[] = {
    {AT_QUIT, OnQuit},
    {AT_FINISH, OnFinish},
    {AT_RENDER, OnRender},
    {AT_OPEN, OnOpen},
};

}  // namespace

// Waits for the start signal, then handles thumbnails and openings in the
// order they were asked for until AT_QUIT (answered) or AT_FINISH (not).
DWORD WINAPI ArchiveWorkerMain(void* parameter)
{
    ArchiveWorker w = {};
    w.state = static_cast<ArchiveWindowState*>(parameter);

    // The queue exists before the window's first post can fail for long;
    // nothing happens before the start signal. Without memory for the
    // batch's records the worker makes one thumbnail at a time.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const uint32_t threads = JobThreadCount();
    w.batchMax = 1;
    w.thumbs = static_cast<ArchiveThumbnail*>(calloc(WorkerBatchMax, sizeof(ArchiveThumbnail)));
    if (w.thumbs)
        w.batchMax = JobBatchSize(1 + w.team.Start(threads - 1));
    else
        w.thumbs = static_cast<ArchiveThumbnail*>(calloc(1, sizeof(ArchiveThumbnail)));
    GetMessageW(&msg, nullptr, 0, 0);
    SendToWindow(w.state, MSG_CONTROL, 0, 0);

    while (!w.quit && !w.finished && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        for (const ArchiveWorkerRow& row : ArchiveWorkerHandlers) {
            if (row.message == msg.message) {
                row.handler(&w, static_cast<uint32_t>(msg.wParam));
                break;
            }
        }
    }

    // Only a window that is closing waits for this answer.
    w.team.Stop();
    free(w.thumbs);
    if (w.quit)
        SendToWindow(w.state, MSG_CONTROL, 0, CONTROL_WORKER_EXITED);
    return 0;
}
