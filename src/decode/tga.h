// TGA pictures: uncompressed and run-length coded; 8-bit mapped or grey,
// 15/16-, 24- and 32-bit pixels; either row order; 2- and 4-way interleave.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the width and height of the header (16-bit little-endian at 12 and
// 14). False (nothing written) when the source is shorter than 16 bytes.
bool GetTgaSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes into tightly packed top-down rows of blue, green, red (+ alpha
// when withAlpha is set). Returns the pixel depth byte (8, 15, 16, 24 or 32),
// or -1 when the header is missing, the depth is none of those, dst is too
// small or the colour map table cannot be had.
int DecodeTga(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
