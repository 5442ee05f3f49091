// Pixel operations on a picture in the 24-bit form: the top-down bitmap
// header that the screen and BMP files use, flipping in place, and blending
// a 32-bit picture with alpha over it.
#pragma once

#include <cstdint>

#include "image/decoded_image.h"

constexpr uint32_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBmpFileHeaderSize = 14;

// Flip modes.
enum : int {
    FlipMirror = 1,      // every row left to right
    FlipUpsideDown = 2,  // rows top to bottom
};

// Writes the 40-byte little-endian 24-bit top-down BITMAPINFOHEADER of a
// width x height picture: height negated, one plane, BI_RGB, image size
// stride x height, everything else 0. Returns false when the picture is too
// large for the header's signed 32-bit fields or its image size.
bool FillBmpInfoHeader(uint32_t width, uint32_t height, uint8_t out[kBmpInfoHeaderSize]);

// Mirrors every row (mode 1) or turns the picture upside down (mode 2), in
// place; the middle row of an odd height stays, padding bytes are not moved,
// any other mode changes nothing.
void FlipPixels(DecodedImage* image, int mode);

// Composes overlay (32-bit form, straight alpha) over base (24-bit form) in
// place, both aligned at the top-left corner, over the rectangle they share:
// each colour byte becomes (overlay * a + base * (255 - a)) / 255, truncated.
void BlendOver(DecodedImage* base, const DecodedImage* overlay);
