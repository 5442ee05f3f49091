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
// nothing; otherwise the item's file is renamed to the new text (keeping an
// extension that the label hid, see RenamedFileName) and the label shows
// it, or "変更出来ませんでした." is shown and nothing changes.
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

// A rename's new file name from the edited label, into name (capacity
// units). Windows hides known extensions, so the label the user edited may
// lack the file's: when the list's label of the file (label) was its file
// name (fileName) without its extension, the new name keeps that
// extension, appended unless the edited text already ends with it (in any
// case), so "b" and "b.MAG" for "a.mag" shown as "a" give "b.mag" and
// "b.MAG", and "b.txt" gives "b.txt.mag" as in Explorer. Otherwise, and for
// an empty text (which the rename refuses), the edited text as it is.
// *shown gets how many units of name the list's label shows. Returns false
// when the name does not fit.
bool RenamedFileName(const wchar_t* fileName, const wchar_t* label, const wchar_t* edited, wchar_t* name,
                     size_t capacity, size_t* shown);

// Builds a rename's new path into newPath (capacity units): oldPath with
// everything after its last separator replaced by name. Returns false for
// an empty name, a name with a separator, or one that would not fit.
bool RenamedPath(const wchar_t* oldPath, const wchar_t* name, wchar_t* newPath, size_t capacity);
