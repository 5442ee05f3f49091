// The main window "ZaVuvi": starts and stops the process-wide services,
// takes a second instance's path and closes in step with the folder worker.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Posts a thread message to the folder worker, repeating every 10 ms until
// the worker's queue accepts it. Returns false at once when there is no
// running worker to post to.
bool PostToWorker(UINT message, WPARAM wParam, LPARAM lParam);

// Empties the change queue, releasing every copied item-ID list.
void FreeChanges();

// Shows PendingPath: clears a path that does not exist or cannot be parsed.
void OpenPendingPath();
