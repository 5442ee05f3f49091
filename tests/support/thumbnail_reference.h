// A slow, obviously correct thumbnail for tests: every sample is placed by
// the rounding rule itself rather than by accumulators.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the 80 x 80 thumbnail (blue, green, red, 240 bytes a row) of a
// 24-bit picture into out (19,200 bytes).
void ReferenceThumbnail(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* out);
