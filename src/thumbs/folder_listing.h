// The main thread's side of the folder worker's protocol: filling the file
// list from a folder with standard icons, handing items to the worker,
// putting the worker's thumbnails into the list's image list and letting
// the queued shell changes through. The On* handlers are the main window's
// rows for the worker's messages.
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

// Puts the worker's result for one item into the image list (nothing for
// a failure, whose data is none).
void StoreThumbnail(BrowserState* state, const WorkerReply* reply);

// MSG_REQUEST_ITEM: the records of the batch (lParam 1: the listing is empty).
LRESULT OnWorkerRequestItem(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_THUMBNAIL_READY: the result goes into the list and the item is
// marked tried, unless it belongs to an earlier listing; the slot goes
// back to the worker.
LRESULT OnWorkerThumbnailReady(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_FOLDER_LISTED: one more listing; the list shows the tree item from
// now on; a file handed over opens.
LRESULT OnWorkerFolderListed(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);

// MSG_CHANGES_PENDING: the queued changes are applied; the worker goes on
// when the send returns.
LRESULT OnWorkerChangesPending(BrowserState* state, HWND window, WPARAM wParam, LPARAM lParam);
