// The main window "ZaVuvi": starts and stops the process-wide services,
// routes the folder worker's messages, carries out the browser's keys,
// answers its menu, takes a second instance's path and closes in step with
// the folder worker.
#pragma once

#include <windows.h>

#include "ui/browser_state.h"

// Commands of the "&Option" menu (res/resource.h gives the script the same).
constexpr WORD CommandOptions = 31;
constexpr WORD CommandManual = 32;
constexpr WORD CommandVersion = 33;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows PendingPath: selects its folder in the tree (the file opens when
// the listing arrives) or, when the folder is listed, opens it at once.
// Clears a path that does not exist or cannot be parsed and goes on with
// the next queued one.
void OpenPendingPath(BrowserState* state);
