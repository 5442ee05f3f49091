// The record that one viewer window owns, and the outer rectangle that a
// viewer window is given from its picture and the screen's work area.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image/decoded_image.h"
#include "ui/window_classes.h"

// One viewer window's picture and display state. The opener fills the
// picture and hands the record to the window, which frees it when it is
// destroyed.
struct ViewerImage {
    DecodedImage picture;  // always the 24-bit form
    HBITMAP bitmap;        // made from the pixels on creation
    HDC memoryDc;          // the bitmap is selected into it for each paint
    uint32_t createdAt;    // timeGetTime() when the window was created
    int32_t scrollX;       // picture pixel at the client area's top-left corner
    int32_t scrollY;       //   (actual-size display only)
    int16_t dragX;         // client point of the last drag step
    int16_t dragY;
    uint8_t fitMode;   // 1 = scaled to fit the window, 0 = actual size
    uint8_t dragging;  // 1 while the left button drags the picture
};

// A viewer window's outer rectangle in screen coordinates; x and y may both
// be CW_USEDEFAULT.
struct ViewerPlacement {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Placement results: the picture fits at actual size, or a set of the two
// clip bits.
constexpr int32_t PlacementFits = -1;
constexpr int32_t PlacementClipWidth = 1;
constexpr int32_t PlacementClipHeight = 2;

// The width and height that the frame of a WS_OVERLAPPEDWINDOW window
// without menu adds to its client area.
struct FrameExtra {
    int32_t fx;
    int32_t fy;
};

// Every viewer window has this style.
constexpr DWORD ViewerWindowStyle = WS_VISIBLE | WS_OVERLAPPEDWINDOW;

