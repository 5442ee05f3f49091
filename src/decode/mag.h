// MAG pictures ("MAKI02  "), 16 and 256 colours.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the picture size from a MAG header: the width in whole flag units
// (8 pixels at 16 colours, 4 at 256) from the header's x range, the height
// from its y range. Returns false, writing nothing, when the source has no
// 0x1A or ends inside the header's coordinates.
bool GetMagSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes a MAG picture into tightly packed top-down rows of blue, green,
// red (and alpha 255 when withAlpha is set). Returns 4 or 8, the colour
// depth, or -1 when the header is incomplete, the picture is empty, dst is
// smaller than width x height x (3 + withAlpha) or a work buffer cannot be had.
int DecodeMag(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
