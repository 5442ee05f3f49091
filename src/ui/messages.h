// The program's own window and thread messages, all WM_APP + n, with their
// protocols: for every message, who sends it to whom, what its parameters
// carry, who owns what is passed by address and until when, and what
// answers it.
//
// The main thread talks to a worker only by thread messages (ThreadPoster:
// posts repeated every 10 ms until taken). A worker talks to its window by
// synchronous sends, so that what it passes by address stays valid until
// the main thread has handled it; the folder worker's thumbnails alone are
// posted, each in a slot of its own that the main thread hands back.
#pragma once

#include <windows.h>

#include <cstdint>

// ---- Main thread -> folder worker (posted) ----

// Stop. The worker waits until its posted results are handled, releases
// what it holds and answers with MSG_CONTROL / CONTROL_WORKER_EXITED
// (sent); the main window waits for that answer.
constexpr UINT WT_QUIT = WM_APP + 0x00;
// A new listing: wParam the index of the first file (the folders come
// first), lParam the item count. Answer: the scan from that file (below),
// or MSG_REQUEST_ITEM with lParam 1 for an empty listing; nothing when the
// listing holds folders only.
//
// The scan: MSG_REQUEST_ITEM for a batch of untried items, then one
// MSG_THUMBNAIL_READY for each of them in the batch's order, as each is
// made; then the next batch after the last item, and so on, without
// waiting for the main thread (at most a batch ahead of what it has
// stored). Between two batches a quit or a new listing ends the scan, the
// latest WT_NEXT moves it, and queued changes are applied
// (MSG_CHANGES_PENDING). When no untried item is left and every result
// has been handled, the worker waits for the next message.
constexpr UINT WT_START_LIST = WM_APP + 0x01;
// WM_APP + 0x02 is unused: the items come back in MSG_REQUEST_ITEM's batch.
// Go on: lParam the mode (WorkerNext*), wParam the index for
// WorkerNextFromIndex. Posted by the file list when the user scrolls: a
// scan in progress takes the latest one between two batches; an idle
// worker scans again from there.
constexpr UINT WT_NEXT = WM_APP + 0x03;
// List a folder: wParam the tree item's TreeItemRecord (owned by the tree
// item), lParam the HTREEITEM. Only the last of several waiting requests
// counts; a batch in hand is abandoned (its remaining results are not
// posted, and those already posted are dropped by the main thread).
// Answer: MSG_FOLDER_LISTED.
constexpr UINT WT_LIST_FOLDER = WM_APP + 0x04;
// Changes were queued: wParam the queue's block (not read). An idle
// worker scans again, which applies them first; a busy one applies them
// between two batches.
constexpr UINT WT_CHANGES = WM_APP + 0x05;

// WT_NEXT's modes.
constexpr LPARAM WorkerNextAfterCurrent = 0;  // the next untried item after the current one
constexpr LPARAM WorkerNextFromIndex = 1;     // the first untried item from wParam (after a scroll)

// ---- Shell -> panes (posted by SHChangeNotifyRegister) ----

// A change under the tree's (MSG_TREE_CHANGE) or the listed folder's
// (MSG_LIST_CHANGE) registration: wParam and lParam are the shell's lock
// handle and process id for SHChangeNotification_Lock. The pane queues a
// copy and posts WT_CHANGES.
constexpr UINT MSG_TREE_CHANGE = WM_APP + 0x0B;
constexpr UINT MSG_LIST_CHANGE = WM_APP + 0x0C;

// ---- To the main window ----

// From a worker (sent): lParam CONTROL_WORKER_EXITED, the worker has
// released everything (the window replies, then destroys itself). From the
// file list (sent): lParam CONTROL_KEY, wParam a virtual key that the
// browser carries out. From an archive worker to its window (sent): lParam
// 0, the worker has started.
constexpr UINT MSG_CONTROL = WM_APP + 0x11;
// To itself (sent after WM_COPYDATA, posted for the next queued path): show
// PendingPath.
constexpr UINT MSG_OPEN_PENDING = WM_APP + 0x13;
// From the folder worker (sent): wParam a WorkerBatch naming the items it
// wants, in the order it makes them; the main thread fills in their
// records before the send returns (the batch is the answer). lParam 1: the
// listing is empty, wParam 0, no answer.
constexpr UINT MSG_REQUEST_ITEM = WM_APP + 0x14;
// From the folder worker (posted), once for every item of the batch, in
// the batch's order: wParam a WorkerReply (its data none: the item failed
// and keeps its icon), lParam 0. The reply and what it points to stay the
// worker's; the main thread stores the result unless it belongs to an
// earlier listing, marks the item tried, then hands the slot back (busy 0).
// Nothing answers it. From an archive worker to its window: wParam an
// ArchiveReply, likewise valid until the send returns, once for every
// member of the AT_RENDER batch in member order; answer AT_RENDER of the
// next batch after the batch's last reply, or AT_FINISH after the last
// member.
constexpr UINT MSG_THUMBNAIL_READY = WM_APP + 0x15;
// From the folder worker (sent): wParam the TreeItemRecord and lParam the
// HTREEITEM of the last WT_LIST_FOLDER. The main thread counts one more
// listing (listingNumber) and fills the list. Answer: WT_START_LIST.
constexpr UINT MSG_FOLDER_LISTED = WM_APP + 0x16;
// WM_APP + 0x17 is unused: changes wake an idle worker by themselves.
// From the folder worker (sent) between two batches while changes are
// queued, once the main thread has handled every posted result: wParam
// its WorkerSaveArea, valid until the send returns, which the main thread
// keeps in step while it adds and removes items. The worker goes on when
// the send returns.
constexpr UINT MSG_CHANGES_PENDING = WM_APP + 0x18;

// ---- Archive window -> its worker (posted; wParam the member index for
// AT_RENDER and AT_OPEN, 0 otherwise) ----

// Stop making thumbnails. Answer: MSG_CONTROL / CONTROL_WORKER_EXITED.
constexpr UINT AT_QUIT = WM_APP + 0x00;
// Begin. Answer: MSG_CONTROL with lParam 0.
constexpr UINT AT_START = WM_APP + 0x01;
// Make the thumbnails of the members from wParam on, as many as the
// worker makes at once (JobBatchSize). Answer: MSG_THUMBNAIL_READY for
// each of them.
constexpr UINT AT_RENDER = WM_APP + 0x02;
// The thumbnails are done: the worker ends without an answer; the window
// decodes members itself from now on and waits for the thread's end.
constexpr UINT AT_FINISH = WM_APP + 0x05;
// Decode a member for a viewer. Answer: MSG_SHOW_MEMBER (nothing when the
// member does not decode).
constexpr UINT AT_OPEN = WM_APP + 0x06;

// From an archive worker to its window (sent): wParam the member's name
// (the reader's, valid while the window lives), lParam a filled ViewerImage
// that the window takes over.
constexpr UINT MSG_SHOW_MEMBER = WM_APP + 0x14;

// lParam values of MSG_CONTROL.
constexpr LPARAM CONTROL_WORKER_EXITED = 0x8008;
constexpr LPARAM CONTROL_KEY = 0x800A;

// The hand-over of a second instance: WM_COPYDATA with this dwData and the
// UTF-16 path with its terminator.
constexpr ULONG_PTR COPYDATA_PENDING_PATH = 1;

// The folder worker's save area, passed by address with
// MSG_CHANGES_PENDING (valid until that send returns): the scan position,
// which the main thread keeps in step while it adds and removes list items.
struct WorkerSaveArea {
    uint32_t itemCount;
    int32_t currentIndex;  // -1 = none
};

// The most items in one batch of the folder worker (and members in one of
// an archive worker): JobBatchSize, four for each thread that makes
// thumbnails, at most eight.
constexpr uint32_t WorkerBatchMax = 8;

// The folder worker's request, passed by address with MSG_REQUEST_ITEM
// (valid until that send returns): the list indices it wants; the main
// thread puts each item's ListItemRecord in records (none for an item that
// has gone). The records are borrowed: no change is applied to the list
// while the worker holds a batch.
struct WorkerBatch {
    uint32_t count;
    uint32_t indices[WorkerBatchMax];
    const void* records[WorkerBatchMax];
};

// One result of the folder worker, posted by address with
// MSG_THUMBNAIL_READY: a slot of the worker's small ring, which stays the
// worker's. Clearing busy is the main thread's last touch: the worker may
// then use the slot again.
struct WorkerReply {
    const void* data;       // an ImageInfo (picture), an IconImage80 (icon), none (failure)
    const void* thumbnail;  // the picture's ThumbnailBlock, else none
    uint32_t index;         // the list index
    uint32_t listing;       // BrowserState::listingNumber of the listing it belongs to
    volatile LONG busy;     // 1 from the post until the main thread has handled it
};
