// The file list in the right pane: its subclass procedure, its
// notifications and the shell changes queued for it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/browser_state.h"
#include "ui/messages.h"

// The list's own window procedure: the saved procedure first; after
// scrolling, the first visible item is kept for the worker.
LRESULT CALLBACK FileListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The first item, in index order, whose icon reaches into the client area
// (its bottom edge at or below the top), or -1.
int FirstVisibleListItem(HWND list);

// The list's notification handler, called by the right pane.
void HandleListNotify(BrowserState* state, const NMHDR* header);

// Applies one queued shell change to the list, keeping the item states and
// the worker's save area in step.
void ApplyListChange(BrowserState* state, const ChangeRecord& change, WorkerSaveArea* saveArea);

// Gives the list back its own procedure, detaches and destroys its image
// list, deletes its items and releases the standard icons.
void TearDownFileList(BrowserState* state);
