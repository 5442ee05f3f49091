// The browser's keys: from the file list every key, from the folder tree
// and the main window F5 only.
#pragma once

#include <windows.h>

#include "ui/browser_state.h"

void HandleBrowserKey(BrowserState* state, UINT key);
