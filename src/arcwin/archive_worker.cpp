#include "arcwin/archive_worker.h"

#include <cstdlib>

#include "archive/lzh_extract.h"
#include "archive/zip_extract.h"
#include "image/load_image_win.h"
#include "platform/memory_block.h"
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
        uint8_t head[kMemberHeadCompressedLimit] = {};
        if (!ExtractMember(state, index, head, kMemberHeadCompressedLimit, kMemberHeadBytes))
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

bool PostToArchiveWorker(const ArchiveWindowState* state, UINT message, WPARAM wParam)
{
    while (!PostThreadMessageW(state->workerThreadId, message, wParam, 0)) {
        DWORD code = 0;
        if (!state->workerThread || !GetExitCodeThread(state->workerThread, &code) || code != STILL_ACTIVE)
            return false;
        Sleep(10);
    }
    return true;
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
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = static_cast<int>(reply->index);
    if (reply->thumbnail && SendMessageW(state->list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
        WindowDc dc(state->list);
        GdiObjectOwner colour(CreateDIBitmap(dc.get(), &state->colourHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
        GdiObjectOwner mask(CreateDIBitmap(dc.get(), &state->maskHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
        if (colour && mask) {
            auto* colourInfo = reinterpret_cast<const BITMAPINFO*>(&state->colourHeader);
            auto* maskInfo = reinterpret_cast<const BITMAPINFO*>(&state->maskHeader);
            SetDIBits(dc.get(), static_cast<HBITMAP>(mask.get()), 0, kThumbnailSide, state->maskBits, maskInfo,
                      DIB_RGB_COLORS);
            SetDIBits(dc.get(), static_cast<HBITMAP>(colour.get()), 0, kThumbnailSide,
                      reply->thumbnail->block.pixels, colourInfo, DIB_RGB_COLORS);
            if (auto* record = reinterpret_cast<ImageInfo*>(item.lParam))
                *record = reply->thumbnail->info;
            int image = ImageList_Add(state->imageList, static_cast<HBITMAP>(colour.get()),
                                      static_cast<HBITMAP>(mask.get()));
            if (image >= 0) {
                item.mask = LVIF_IMAGE;
                item.iImage = image;
                SendMessageW(state->list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            }
        }
    }
    return static_cast<uint32_t>(SendMessageW(state->list, LVM_GETITEMCOUNT, 0, 0));
}

DWORD WINAPI ArchiveWorkerMain(void* parameter)
{
    auto* state = static_cast<ArchiveWindowState*>(parameter);

    // The queue exists before the window's first post can fail for long;
    // nothing happens before the start signal.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    auto* thumb = static_cast<ArchiveThumbnail*>(calloc(1, sizeof(ArchiveThumbnail)));
    GetMessageW(&msg, nullptr, 0, 0);
    SendToWindow(state, MSG_CONTROL, 0, 0);

    // Thumbnails and openings in the order they were asked for.
    bool quit = false;
    while (!quit && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const uint32_t index = static_cast<uint32_t>(msg.wParam);
        switch (msg.message) {
        case AT_QUIT:
            quit = true;
            break;
        case AT_FINISH:
            free(thumb);
            return 0;
        case AT_RENDER: {
            ArchiveReply reply = {nullptr, index};
            if (thumb && DecodeMember(state, thumb, index) == 0)
                reply.thumbnail = thumb;
            SendToWindow(state, MSG_THUMBNAIL_READY, reinterpret_cast<WPARAM>(&reply), 0);
            break;
        }
        case AT_OPEN:
            DecodeMember(state, nullptr, index);
            break;
        default:
            break;
        }
    }

    // Only a window that is closing waits for this answer.
    free(thumb);
    if (quit)
        SendToWindow(state, MSG_CONTROL, 0, CONTROL_WORKER_EXITED);
    return 0;
}
