// A decoded picture as the loaders hand it over, in one of two pixel forms:
// 24-bit (blue, green, red, rows padded to a multiple of 4 bytes) or 32-bit
// (blue, green, red, straight alpha), top row first in both.
#pragma once

#include <cstddef>
#include <cstdint>

struct DecodedImage {
    uint32_t width;         // pixels per row, never 0 after a successful load
    uint32_t height;        // rows, never 0 after a successful load
    uint32_t bitsPerPixel;  // the source's bit depth, informative only
    uint8_t* pixels;        // a fixed block (FixedAlloc) the caller frees with FixedFree
};

// The size and depth of a picture without its pixels.
struct ImageInfo {
    uint32_t width;
    uint32_t height;
    uint32_t bitsPerPixel;
};

// Returns the row stride of the 24-bit form, (3 * width + 3) with the two low
// bits cleared, in 64 bits so that no width wraps.
inline uint64_t Stride24(uint32_t width)
{
    return (3 * uint64_t(width) + 3) & ~uint64_t(3);
}

// Returns the row stride of the form that withAlpha chooses.
inline uint64_t FormStride(uint32_t width, int withAlpha)
{
    return withAlpha ? 4 * uint64_t(width) : Stride24(width);
}

// Computes the stride and the whole buffer size of the form that withAlpha
// chooses. Returns false when width or height is 0 or when the buffer, or the
// packed work buffer of width x height x 3 bytes that the 24-bit form is made
// from, would not fit in 32 bits.
bool PixelBufferSize(uint32_t width, uint32_t height, int withAlpha, uint32_t* stride, uint32_t* bytes);

// Spreads width x height packed rows (3 x width bytes each) at the start of
// pixels out to stride bytes a row, in place, zeroing the padding. pixels
// must hold stride x height bytes, stride at least 3 x width.
void SpreadPackedRows(uint8_t* pixels, uint32_t width, uint32_t height, size_t stride);

// Frees the picture's pixels and clears the record.
void ReleaseDecodedImage(DecodedImage* image);
