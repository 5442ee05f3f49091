// The queue through which the shell's change notifications reach the
// folder tree and the file list: the panes append to it as notifications
// arrive; the main thread applies it only when the folder worker pauses
// between two files. Guarded by SharedLock, because the worker reads the
// count.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "ui/messages.h"

// ChangeRecord sources.
constexpr LONG ChangeFromList = 0;
constexpr LONG ChangeFromTree = 1;

// Appends a record with copies of the two lists (either may be none).
// Returns false when memory is short; the queue is then unchanged.
bool AppendChange(LPCITEMIDLIST first, LPCITEMIDLIST second, LONG event, LONG source);

// Applies every queued change in order (the tree's to the folder tree, the
// list's to the file list with the worker's save area), then empties the
// queue.
void ApplyChanges(WorkerSaveArea* saveArea);

// Empties the queue, releasing every copied list. The caller holds
// SharedLock while the worker may be reading the count.
void FreeChanges();
