// The Pi decoder: 16- and 256-colour pictures (signature "Pi") coded as
// copies of pixel pairs from four nearby positions and literal colours
// against a move-to-front table per previous colour.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the picture's width and height from a Pi header. Returns false, and
// writes nothing, when the signature is missing or the header needs bytes
// beyond the source.
bool GetPiSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes a Pi picture into width x height tightly packed top-down pixels of
// blue, green, red (and alpha 255 when withAlpha is set). Returns the depth
// byte of the header (1 to 8; 4 and 8 in practice), or -1 when the header is
// incomplete, the depth is outside 1 to 8, dst is too small or a work buffer
// cannot be had.
int DecodePi(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
