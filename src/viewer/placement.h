// Where a viewer window goes and how large it is: from the picture's size,
// its display mode, the work area and the frame.
#pragma once

#include <cstdint>

#include "viewer/viewer_image.h"

// The screen facts that the placement depends on.
struct PlacementMetrics {
    uint32_t workWidth;   // the primary display's work area
    uint32_t workHeight;
    FrameExtra frame;
    uint32_t vScrollWidth;    // SM_CXVSCROLL
    uint32_t hScrollHeight;   // SM_CYHSCROLL
};

// Asks AdjustWindowRect what the frame of a viewer window adds to a
// 256 x 256 client area.
FrameExtra GetFrameExtra();

// Reads the work area's size, the frame and the scroll bar sizes.
PlacementMetrics GetPlacementMetrics();

// The placement rule on given metrics: a picture of width x height in
// fitMode (1 fit, 0 actual size). Returns PlacementFits or the clip bits.
// Unsigned arithmetic throughout; the position is measured from the
// screen's origin.
int32_t PlaceViewer(uint32_t width, uint32_t height, uint8_t fitMode, const PlacementMetrics& metrics,
                    ViewerPlacement* placement);

// The placement of image's picture in its fit mode on this screen.
int32_t ComputeViewerPlacement(const ViewerImage* image, ViewerPlacement* placement);
