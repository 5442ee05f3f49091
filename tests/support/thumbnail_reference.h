// A slow, obviously correct thumbnail for tests: every sample is placed by
// the rounding rule itself rather than by accumulators.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the 80 x 80 thumbnail (blue, green, red, 240 bytes a row) of a
// 24-bit picture into out (19,200 bytes).
void ReferenceThumbnail(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* out);

// The same rule for any output size: writes dh rows of dw pixels (blue,
// green, red, 3 x dw bytes a row) of the picture scaled to dw x dh.
void ReferenceScale(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* out,
                    uint32_t dw, uint32_t dh);
