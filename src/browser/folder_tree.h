// The folder tree in the left pane: the shell's namespace from the desktop
// down, folders only, filled lazily as folders are expanded; selecting a
// folder lists it in the file list. It follows the shell's change
// notifications through the change queue.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstddef>

#include "ui/browser_state.h"

// The record behind one tree item (its lParam), owned by the item and
// freed when the item is deleted.
struct TreeItemRecord {
    IShellFolder* folder;   // one owned reference: the item's own folder
    LPITEMIDLIST absolute;  // the item's full list from the desktop; CoTaskMemFree
    LPITEMIDLIST relative;  // its last ID, inside absolute
    ULONG attributes;       // as reported when the item was made
};

// Sets the tree up: the small system icons, the excluded IDs, the desktop
// root, the change registration, the items down to the start folder (or
// the executable's folder). Returns the item to select, or none.
HTREEITEM InitFolderTree(HWND tree, HWND mainWindow, LPCITEMIDLIST startFolder);

// Inserts the folder childId of parentFolder under parent after
// insertAfter. Returns the new item, or insertAfter when the child is
// skipped (not a folder, an archive, an excluded ID, no names).
HTREEITEM InsertFolderItem(HWND tree, LPCITEMIDLIST parentList, LPCITEMIDLIST childId, IShellFolder* parentFolder,
                           HTREEITEM parent, HTREEITEM insertAfter);

// Fills an item's children the first time it is expanded.
void ExpandFolderItem(HWND tree, HTREEITEM item);

// Walks down from start (the first root item for TVI_ROOT) along the IDs
// of absolute, expanding on the way. Returns the item, or none.
HTREEITEM FindTreeItem(HWND tree, HTREEITEM start, LPCITEMIDLIST absolute);

// Searches the items that exist already, depth first from first, for the
// one whose absolute list equals absolute. Returns it, or none.
HTREEITEM FindLoadedTreeItem(HWND tree, HTREEITEM first, LPCITEMIDLIST absolute);

// How many tree item records exist (made and not yet freed).
size_t LiveTreeRecordCount();

// The record of a tree item, or none.
TreeItemRecord* TreeRecordOf(HWND tree, HTREEITEM item);

// The record of the folder that the file list shows (BrowserState's
// selected tree item), or none.
TreeItemRecord* SelectedFolderRecord(const BrowserState* state);

// The tree's notification handler, called by the left pane.
void HandleTreeNotify(BrowserState* state, NMHDR* header);

// Applies one queued shell change of the tree's registration.
void ApplyTreeChange(BrowserState* state, const ChangeRecord& change);
