// Where a viewer window opens and how large it is, as a function of the
// picture, the work area and the frame.
#include <gtest/gtest.h>

#include "viewer/placement.h"

namespace {

// A 1920 x 1040 work area, a 16 x 39 frame and 17-pixel scroll bars.
const PlacementMetrics Screen = {1920, 1040, FrameExtra{16, 39}, 17, 17};

struct Placed {
    int32_t result;
    ViewerPlacement at;
};

Placed Place(uint32_t w, uint32_t h, uint8_t fitMode)
{
    Placed placed = {};
    placed.result = PlaceViewer(w, h, fitMode, Screen, &placed.at);
    return placed;
}

void ExpectPlacement(const Placed& placed, int32_t result, int32_t x, int32_t y, int32_t w, int32_t h)
{
    EXPECT_EQ(result, placed.result);
    EXPECT_EQ(x, placed.at.x);
    EXPECT_EQ(y, placed.at.y);
    EXPECT_EQ(w, placed.at.width);
    EXPECT_EQ(h, placed.at.height);
}

TEST(ViewerPlacement, PictureAndFrameEqualToTheWorkAreaFitInBothModes)
{
    for (uint8_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        ExpectPlacement(Place(1904, 1001, mode), PlacementFits, CW_USEDEFAULT, CW_USEDEFAULT, 1920, 1040);
        ExpectPlacement(Place(1, 1, mode), PlacementFits, CW_USEDEFAULT, CW_USEDEFAULT, 17, 40);
    }
    // One pixel more in either direction no longer fits (at actual size the
    // bar for the clipped direction then takes the other one too).
    EXPECT_EQ(PlacementClipWidth, Place(1905, 1001, 1).result);
    EXPECT_EQ(PlacementClipHeight, Place(1904, 1002, 1).result);
    EXPECT_EQ(PlacementClipWidth | PlacementClipHeight, Place(1905, 1001, 0).result);
}

TEST(ViewerPlacement, ActualSizeClipsToTheWorkAreaWithRoomForALoneBar)
{
    // Too wide: the height gains the horizontal bar.
    ExpectPlacement(Place(3000, 500, 0), PlacementClipWidth, 0, 242, 1920, 556);
    // Too wide, and the bar no longer fits under the picture: both clipped.
    ExpectPlacement(Place(3000, 990, 0), PlacementClipWidth | PlacementClipHeight, 0, 0, 1920, 1040);
    ExpectPlacement(Place(3000, 984, 0), PlacementClipWidth, 0, 0, 1920, 1040);
    // Too high: the width gains the vertical bar.
    ExpectPlacement(Place(500, 2000, 0), PlacementClipHeight, 693, 0, 533, 1040);
    ExpectPlacement(Place(1890, 2000, 0), PlacementClipWidth | PlacementClipHeight, 0, 0, 1920, 1040);
    ExpectPlacement(Place(3000, 3000, 0), PlacementClipWidth | PlacementClipHeight, 0, 0, 1920, 1040);
}

TEST(ViewerPlacement, FitModeKeepsTheProportionsOfTheClippedSide)
{
    ExpectPlacement(Place(4000, 1000, 1), PlacementClipWidth, 0, 262, 1920, 516);
    ExpectPlacement(Place(500, 2000, 1), PlacementClipHeight, 826, 0, 267, 1040);
    // Both clipped: the width is filled when the height then fits ...
    ExpectPlacement(Place(8000, 2000, 1), PlacementClipWidth | PlacementClipHeight, 0, 262, 1920, 516);
    // ... else the height is.
    ExpectPlacement(Place(4000, 3000, 1), PlacementClipWidth | PlacementClipHeight, 284, 0, 1351, 1040);
}

TEST(ViewerPlacement, FittedSideOnePixelPastTheWorkAreaStartsAtTheOrigin)
{
    // 3808 x 2002 has the work area's inner proportions exactly: filling the
    // height gives a width of 1921, one more than the work area.
    const Placed placed = Place(3808, 2002, 1);
    ExpectPlacement(placed, PlacementClipWidth | PlacementClipHeight, 0, 0, 1921, 1040);
}

}  // namespace
