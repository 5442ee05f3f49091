// The main thread's side of the folder worker: filling the file list from a
// folder with standard icons, handing items to the worker, and putting the
// worker's thumbnails into the list's image list.
#pragma once

#include <windows.h>

#include "browser/folder_tree.h"
#include "ui/browser_state.h"

// Lists the folder of a tree item: folders first, then files (hidden ones
// too), each with its standard icon; registers for the folder's changes
// and posts WT_START_LIST.
void ListFolder(BrowserState* state, TreeItemRecord* folder);

// Hands list item index to the worker (WT_RENDER_ITEM).
void RequestItem(BrowserState* state, WPARAM index);

// Puts the worker's result for one item into the image list: reply is the
// WorkerReply (0 on failure), shared the shared thumbnail record for a
// picture, 0 for a shell icon.
void StoreThumbnail(BrowserState* state, WPARAM reply, LPARAM shared);
