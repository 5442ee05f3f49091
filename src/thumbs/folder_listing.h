// The main thread's side of the folder worker's protocol: filling the file
// list from a folder with standard icons, handing items to the worker,
// putting the worker's thumbnails into the list's image list, letting the
// queued shell changes through, and telling the worker how to go on. The
// On* handlers are the main window's rows for the worker's messages.
#pragma once

#include <windows.h>

#include "browser/folder_tree.h"
#include "ui/browser_state.h"
#include "ui/messages.h"

// Lists the folder of a tree item: folders first, then files (hidden ones
// too), each with its standard icon; registers for the folder's changes
// and posts WT_START_LIST.
void ListFolder(BrowserState* state, TreeItemRecord* folder);

// Hands the worker the records of the items its batch names.
void RequestItems(BrowserState* state, WorkerBatch* batch);

// Puts the worker's result for one item into the image list: reply is the
// WorkerReply (its data none on failure), thumbnail the ThumbnailBlock for
// a picture, 0 for a shell icon.
void StoreThumbnail(BrowserState* state, WPARAM reply, LPARAM thumbnail);

// MSG_REQUEST_ITEM: the records of the batch (lParam 1: the listing is empty).
LRESULT OnWorkerRequestItem(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_THUMBNAIL_READY: the result goes into the list; after the batch's
// last one, the worker goes on.
LRESULT OnWorkerThumbnailReady(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_FOLDER_LISTED: the list shows the tree item from now on; a file
// handed over opens.
LRESULT OnWorkerFolderListed(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_RESTART: an idle worker goes on with the next item.
LRESULT OnWorkerRestart(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_CHANGES_PENDING: the queued changes are applied, then the worker
// resumes its deferred WT_NEXT.
LRESULT OnWorkerChangesPending(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);
