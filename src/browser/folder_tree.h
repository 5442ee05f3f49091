// The folder tree in the left pane: its notifications and the shell
// changes queued for it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ui/browser_state.h"

// The tree's notification handler, called by the left pane.
void HandleTreeNotify(BrowserState* state, const NMHDR* header);

// Applies one queued shell change to the tree.
void ApplyTreeChange(BrowserState* state, const ChangeRecord& change);
