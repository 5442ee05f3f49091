// Photoshop documents ("8BPS"): the merged picture, raw or PackBits planes
// of 1, 8 or 16 bits in the bitmap, greyscale, indexed, RGB, CMYK,
// multichannel, duotone and Lab modes.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the width (32-bit big-endian at 18) and height (at 14). False
// (nothing written) when the source is shorter than 22 bytes.
bool GetPsdSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes into tightly packed top-down rows of blue, green, red (+ alpha when
// withAlpha is set). Returns 1 for bitmap mode and 8 x channels otherwise;
// for a depth other than 1, 8 or 16 writes a zero picture and returns 2 to
// the power of the channel count's low 5 bits. Returns -1 when the header is
// missing, dst is too small, a plane would not fit in 32 bits or the work
// buffer cannot be had.
int DecodePsd(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
