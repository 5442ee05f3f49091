// The arithmetic of the panes: the split while it is dragged and a saved
// split brought into the window's reach.
#include <gtest/gtest.h>

#include "browser/pane_layout.h"

TEST(PaneLayout, TheDraggedSplitKeepsFourPixelsOnBothSidesAndTheRightEdge)
{
    // Pane from 10 to 510 on screen, pressed 2 pixels from the strip's edge.
    SplitWidths split = ComputeSplit(248, 2, 10, 510);
    EXPECT_EQ(250, split.left);
    EXPECT_EQ(250, split.right);
    split = ComputeSplit(-900, 2, 10, 510);
    EXPECT_EQ(MinPaneWidth, split.left);
    EXPECT_EQ(496, split.right);
    split = ComputeSplit(2000, 2, 10, 510);
    EXPECT_EQ(496, split.left);
    EXPECT_EQ(MinPaneWidth, split.right);
}

TEST(PaneLayout, ASavedSplitOutOfReachIsMovedInsideTheWindow)
{
    EXPECT_EQ(288, ReachableSplit(288, 640));
    EXPECT_EQ(396, ReachableSplit(600, 400));        // saved on a wider screen
    EXPECT_EQ(MinPaneWidth, ReachableSplit(0, 400)); // no strip at all
    EXPECT_EQ(MinPaneWidth, ReachableSplit(-50, 400));
    EXPECT_EQ(MinPaneWidth, ReachableSplit(300, 6)); // too narrow for both panes
}

TEST(PaneLayout, ResizingKeepsTheSplitAndNeverGivesNegativeSizes)
{
    PaneLayout layout = ComputePaneLayout(700, 400, 20, 150);
    EXPECT_EQ(380, layout.paneHeight);
    EXPECT_EQ(150, layout.leftWidth);
    EXPECT_EQ(550, layout.rightWidth);
    layout = ComputePaneLayout(100, 10, 20, 150);
    EXPECT_EQ(0, layout.paneHeight);
    EXPECT_EQ(0, layout.rightWidth);
}
