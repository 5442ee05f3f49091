// How large an archive window is: from its member count, the list view's
// icon spacing, the work area and the frame.
#pragma once

#include <cstdint>

// The screen facts that the size depends on.
struct ArchiveMetrics {
    uint32_t spacingX;      // the list view's large-icon spacing
    uint32_t spacingY;
    uint32_t workWidth;     // the primary display's work area
    uint32_t workHeight;
    uint32_t frameWidth;    // what AdjustWindowRect adds to a client area
    uint32_t frameHeight;
    uint32_t vScrollWidth;  // SM_CXVSCROLL
    uint32_t statusHeight;  // the status bar's height
};

struct ArchiveSize {
    uint32_t width;
    uint32_t height;
};

// The client area wanted for count members: up to five icons a row and up
// to five rows, limited to the work area.
ArchiveSize ArchiveClientSize(uint32_t count, const ArchiveMetrics& metrics);

// The outer size of the window for count members: the client area with its
// frame, a vertical scroll bar from 26 members on, 24 pixels more width,
// and the status bar below.
ArchiveSize ArchiveWindowSize(uint32_t count, const ArchiveMetrics& metrics);
