// The 80 x 80 thumbnails of the file list and the archive windows: a picture
// of any size fitted into the square on white, keeping its aspect ratio.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kThumbnailSide = 80;
constexpr uint32_t kThumbnailRowBytes = kThumbnailSide * 3;
constexpr uint32_t kThumbnailBytes = kThumbnailRowBytes * kThumbnailSide;

// 80 rows of 80 pixels (blue, green, red), 240 bytes a row without
// padding, top row first.
struct ThumbnailBlock {
    uint8_t pixels[kThumbnailBytes];
};

// Fits a 24-bit picture (blue, green, red, top row first, rows stride bytes
// apart; stride may be negative for bottom-up memory) into thumb, centred on
// white. width and height must be at least 1; all of thumb is overwritten.
void ScaleToThumbnail(ThumbnailBlock* thumb, const uint8_t* src, uint32_t width, uint32_t height,
                      ptrdiff_t stride);

// Writes dh rows of dw pixels (each at most 80) at dst, row y at
// dst + 240 * y, starting (80 - dw) / 2 pixels into the row. Each pixel is
// the mean of a 2 x 2 grid of point samples of the (wLast + 1) x (hLast + 1)
// source, placed by integer accumulators. Used by ScaleToThumbnail.
void Resample2x2(const uint8_t* src, uint8_t* dst, uint32_t wLast, uint32_t hLast, uint32_t dw,
                 uint32_t dh, ptrdiff_t stride);

// Scales a 24-bit picture (width x height, rows stride bytes apart) by the
// same 2 x 2 sampling to dw x dh pixels of blue, green, red at dst, rows
// dstStride bytes apart. Returns false when a size is 0 or the work memory
// (a few bytes per output column) cannot be had; dst is untouched then.
bool ScaleToSize(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* dst,
                 uint32_t dw, uint32_t dh, ptrdiff_t dstStride);

// The size of a width x height picture fitted into a side x side square
// with its proportions kept: the longer side becomes side, the shorter one
// is truncated but at least 1.
void FitIntoSquare(uint32_t width, uint32_t height, uint32_t side, uint32_t* dw, uint32_t* dh);
