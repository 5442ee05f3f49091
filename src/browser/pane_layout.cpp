#include "browser/pane_layout.h"

PaneLayout ComputePaneLayout(int clientWidth, int clientHeight, int statusHeight, int leftWidth)
{
    PaneLayout layout;
    layout.paneHeight = clientHeight - statusHeight;
    if (layout.paneHeight < 0)
        layout.paneHeight = 0;
    layout.leftWidth = leftWidth;
    layout.rightWidth = clientWidth - leftWidth;
    if (layout.rightWidth < 0)
        layout.rightWidth = 0;
    return layout;
}

SplitWidths ComputeSplit(int x, int grabOffset, int leftEdge, int neighbourRight)
{
    // The left pane follows the pointer, keeping its minimum.
    SplitWidths split;
    split.left = x + grabOffset;
    if (split.left < MinPaneWidth)
        split.left = MinPaneWidth;

    // The right pane keeps its right edge and its own minimum, which may
    // push the split back to the left.
    split.right = neighbourRight - split.left - leftEdge;
    if (split.right < MinPaneWidth) {
        split.right = MinPaneWidth;
        split.left = neighbourRight - leftEdge - MinPaneWidth;
        if (split.left < MinPaneWidth)
            split.left = MinPaneWidth;
    }
    return split;
}

int ReachableSplit(int split, int clientWidth)
{
    const int widest = clientWidth - MinPaneWidth;
    if (split > widest)
        split = widest;
    if (split < MinPaneWidth)
        split = MinPaneWidth;
    return split;
}
