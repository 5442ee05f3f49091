// The arithmetic of the main window's panes: where the two panes go when
// the main window changes size, and where the split goes while it is
// dragged. Pure functions of numbers, tested without windows.
#pragma once

// The panes' places after a change of the main window's client size.
struct PaneLayout {
    int paneHeight;
    int leftWidth;
    int rightWidth;
};

// The split never moves: the left pane keeps leftWidth and the right pane
// takes the rest, never less than 0. The panes stand above the status bar.
PaneLayout ComputePaneLayout(int clientWidth, int clientHeight, int statusHeight, int leftWidth);

// The widths of both panes while the split is dragged.
struct SplitWidths {
    int left;
    int right;
};

// x is the pointer's x in the left pane, grabOffset the distance from the
// press to the pane's right edge; leftEdge and neighbourRight are the left
// pane's left edge and the right pane's right edge on screen. Each pane
// keeps at least MinPaneWidth pixels and the right edge stays where it is.
constexpr int MinPaneWidth = 4;
SplitWidths ComputeSplit(int x, int grabOffset, int leftEdge, int neighbourRight);

// A saved split brought into reach of a client area clientWidth wide: the
// strip at the left pane's right edge must lie inside the window and both
// panes keep MinPaneWidth, so a split wider than the window (saved on a
// larger screen) or narrower than the strip is moved in. A client area too
// narrow for both minimums gives MinPaneWidth.
int ReachableSplit(int split, int clientWidth);
