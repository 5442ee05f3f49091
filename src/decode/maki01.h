// MAKI version 1 pictures ("MAKI01A ", "MAKI01B "): 16 colours on a fixed
// 640 x 400 plane.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the picture's extents from the header: x end - x start and
// y end - y start, unsigned 32-bit. False (nothing written) when the source
// is shorter than the header fields.
bool GetMaki01Size(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes into tightly packed top-down rows of blue, green, red (+ 255 when
// withAlpha is set). Returns 4, or -1 when the header is missing, dst is too
// small or a work buffer cannot be had.
int DecodeMaki01(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
