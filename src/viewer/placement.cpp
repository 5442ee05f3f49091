#include "viewer/placement.h"

namespace {

// (a x b) / c in unsigned arithmetic, the product taken in 64 bits so that
// no picture size wraps it; c is never 0 for a loaded picture.
uint32_t ScaleDown(uint32_t a, uint32_t b, uint32_t c)
{
    if (c == 0)
        return 0;
    return static_cast<uint32_t>(uint64_t(a) * b / c);
}

}  // namespace

FrameExtra GetFrameExtra()
{
    RECT rect = {0, 0, 256, 256};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    return FrameExtra{(rect.right - rect.left) - 256, (rect.bottom - rect.top) - 256};
}

PlacementMetrics GetPlacementMetrics()
{
    PlacementMetrics metrics = {};
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    metrics.workWidth = static_cast<uint32_t>(work.right - work.left);
    metrics.workHeight = static_cast<uint32_t>(work.bottom - work.top);
    metrics.frame = GetFrameExtra();
    metrics.vScrollWidth = static_cast<uint32_t>(GetSystemMetrics(SM_CXVSCROLL));
    metrics.hScrollHeight = static_cast<uint32_t>(GetSystemMetrics(SM_CYHSCROLL));
    return metrics;
}

int32_t PlaceViewer(uint32_t width, uint32_t height, uint8_t fitMode, const PlacementMetrics& metrics,
                    ViewerPlacement* placement)
{
    const uint32_t workW = metrics.workWidth;
    const uint32_t workH = metrics.workHeight;
    const uint32_t fx = static_cast<uint32_t>(metrics.frame.fx);
    const uint32_t fy = static_cast<uint32_t>(metrics.frame.fy);
    const uint32_t wantW = width + fx;
    const uint32_t wantH = height + fy;

    // The whole picture fits at actual size: the system picks the position.
    if (workW >= wantW && workH >= wantH) {
        *placement = ViewerPlacement{CW_USEDEFAULT, CW_USEDEFAULT, static_cast<int32_t>(wantW),
                                     static_cast<int32_t>(wantH)};
        return PlacementFits;
    }

    uint32_t w = wantW;
    uint32_t h = wantH;
    int32_t result = 0;
    if (fitMode == 0) {
        // Actual size: clip to the work area and leave room for a lone bar.
        if (workW < wantW) {
            w = workW;
            result |= PlacementClipWidth;
        }
        if (workH < wantH) {
            h = workH;
            result |= PlacementClipHeight;
        }
        if (result == PlacementClipWidth) {
            h += metrics.hScrollHeight;
            if (workH < h) {
                h = workH;
                result = PlacementClipWidth | PlacementClipHeight;
            }
        } else if (result == PlacementClipHeight) {
            w += metrics.vScrollWidth;
            if (workW < w) {
                w = workW;
                result = PlacementClipWidth | PlacementClipHeight;
            }
        }
    } else {
        // Fit: fill the clipped direction and keep the picture's proportions.
        if (workW < wantW)
            result |= PlacementClipWidth;
        if (workH < wantH)
            result |= PlacementClipHeight;
        const uint32_t widthFilledH = fy + 1 + ScaleDown(workW - fx, height, width);
        const uint32_t heightFilledW = fx + 1 + ScaleDown(workH - fy, width, height);
        if (result == PlacementClipWidth || (result == 3 && widthFilledH <= workH)) {
            w = workW;
            h = widthFilledH;
        } else {
            h = workH;
            w = heightFilledW;
        }
    }

    // A fitted side can come out one pixel past the work area when the
    // proportions match it exactly; the window then starts at the origin
    // instead of at a wrapped-around position far off the screen.
    const uint32_t x = w <= workW ? (workW - w) / 2 : 0;
    const uint32_t y = h <= workH ? (workH - h) / 2 : 0;
    *placement = ViewerPlacement{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w),
                                 static_cast<int32_t>(h)};
    return result;
}

int32_t ComputeViewerPlacement(const ViewerImage* image, ViewerPlacement* placement)
{
    return PlaceViewer(image->picture.width, image->picture.height, image->fitMode, GetPlacementMetrics(),
                       placement);
}
