// What the user does to files from the list: renaming an item by editing
// its label, deleting the selected items to the recycle bin and dragging
// them out to any drop target. The list itself follows through the shell's
// change notifications, which each operation also sends (moves made with
// MoveFileW notify nothing by themselves under Wine).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/browser_state.h"

// The end of a label edit (LVN_ENDLABELEDITW): a cancelled edit does
// nothing; otherwise the item's file is renamed to the new text and the
// label shows it, or "変更出来ませんでした." is shown and nothing changes.
// A name with a path separator, or one that makes the path too long for
// the program's buffers, is refused the same way.
void RenameListItem(BrowserState* state, const NMLVDISPINFOW* info);

// Deletes the selected items to the recycle bin in one shell operation,
// with the shell's own confirmation. A failure shows "削除出来ませんでした.";
// a cancelled confirmation is silent.
void DeleteSelectedItems(BrowserState* state);

// Runs the platform's drag loop over the selected items with the one drop
// source; the items may be copied or moved.
void DragSelectedItems(BrowserState* state);

// Builds a rename's new path into newPath (capacity units): oldPath with
// everything after its last separator replaced by name. Returns false for
// an empty name, a name with a separator, or one that would not fit.
bool RenamedPath(const wchar_t* oldPath, const wchar_t* name, wchar_t* newPath, size_t capacity);
