// The main window's children: the status bar, the two panes of class
// "ZaraZaduz" with the folder tree and the file list, and the splitter
// strip at the left pane's right edge by which the split is moved.
#pragma once

#include <windows.h>

#include "ui/browser_state.h"
#include "ui/window_classes.h"

LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The status bar's control id.
constexpr int StatusBarId = 20;

// Creates the status bar, the standard icons, both panes with their
// records, the folder tree and the file list, waits for the folder worker's
// queue, sets the tree up with the start folder (or the executable's
// folder) selected and subclasses the file list. splitPosition is the left
// pane's width.
void CreateMainChildren(BrowserState* state, int splitPosition, LPCITEMIDLIST startFolder = nullptr);

// Places the status bar and both panes after a change of the main window's
// size; the split stays where it is.
void LayoutMainWindow(BrowserState* state);

// Whether the window is the pane with the splitter strip.
inline bool HasNeighbour(const PaneRecord* pane)
{
    return pane && pane->neighbour;
}
