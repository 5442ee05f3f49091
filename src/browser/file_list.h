// The file list in the right pane: inserting, finding and opening items,
// the selection on the status bar, its subclass procedure, its
// notifications and the shell changes queued for it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "browser/list_item.h"
#include "ui/browser_state.h"
#include "ui/messages.h"

// Makes the record of the item absolute of folder and inserts it at index
// with its display name and standard icon. Returns the item's index, or -1.
int InsertListItem(BrowserState* state, LPCITEMIDLIST absolute, IShellFolder* folder, int index);

// Selects and shows the item whose file-system path is path. Returns its
// index, or -1.
int SelectListItemByPath(BrowserState* state, const wchar_t* path);

// Opens the file in PendingPath when it exists, selecting it when the list
// shows it; clears PendingPath, then asks for the next queued path.
void OpenPendingFile(BrowserState* state);

// Opens an item: a folder through the tree, a file through OpenPath, and
// with OpenAnyFile other files through the shell's default verb.
void OpenListItem(BrowserState* state, ListItemRecord* record);

// Shows the selection on the status bar: nothing, the picture's name and
// size, "1個選択" or "%d個選択".
void UpdateSelectionStatus(BrowserState* state);

// The list's own window procedure: the saved procedure first; after
// scrolling, the first visible item is kept for the worker.
LRESULT CALLBACK FileListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The first item, in index order, whose icon reaches into the client area
// (its bottom edge at or below the top), or -1.
int FirstVisibleListItem(HWND list);

// The list's notification handler, called by the right pane.
void HandleListNotify(BrowserState* state, NMHDR* header);

// Applies one queued shell change to the list, keeping the item states and
// the worker's save area in step.
void ApplyListChange(BrowserState* state, const ChangeRecord& change, WorkerSaveArea* saveArea);

// Gives the list back its own procedure, detaches and destroys its image
// list, deletes its items and releases the standard icons.
void TearDownFileList(BrowserState* state);
