// The archive window's worker thread: the members' thumbnails a small batch
// at a time in member order (made by the worker and a helper thread a
// further processor, handed back one by one), and members decoded for
// viewer windows, all from memory.
#pragma once

#include <windows.h>

#include <cstdint>

#include "arcwin/archive_window.h"
#include "image/thumbnail.h"
#include "ui/thread_poster.h"

// The worker's one thumbnail record: the scaled picture and the full
// picture's size and depth.
struct ArchiveThumbnail {
    ThumbnailBlock block;
    ImageInfo info;
};

// Passed by address with MSG_THUMBNAIL_READY, valid until that send
// returns: the thumbnail record, or none when the attempt failed, the
// member it belongs to, and whether it is the batch's last reply.
struct ArchiveReply {
    const ArchiveThumbnail* thumbnail;
    uint32_t index;
    uint32_t last;
};

// Bytes of a member's beginning that are tried, and the compressed bytes
// read for them.
constexpr uint32_t MemberHeadBytes = 18;
constexpr uint32_t MemberHeadCompressedLimit = 768;

// The worker thread's entry; parameter is the ArchiveWindowState.
DWORD WINAPI ArchiveWorkerMain(void* parameter);

// The window's worker thread, to post to.
ThreadPoster ArchiveWorkerPoster(const ArchiveWindowState* state);

// Posts a message to the worker, retrying every 10 ms until its queue takes
// it; gives up once the thread has ended. Returns true when posted.
bool PostToArchiveWorker(const ArchiveWindowState* state, UINT message, WPARAM wParam);

// Makes member index's thumbnail into thumb, or, without thumb, decodes the
// member into a new ViewerImage and sends MSG_SHOW_MEMBER to the archive
// window. Returns 0, or non-zero when the member is too small, cannot be
// extracted, is no picture or cannot be decoded.
int DecodeMember(ArchiveWindowState* state, ArchiveThumbnail* thumb, uint32_t index);

// Puts the reply's thumbnail into the image list as the image of its item
// and copies its size record. Returns the list view's item count.
uint32_t StoreArchiveThumbnail(ArchiveWindowState* state, const ArchiveReply* reply);
