// The PIC decoder: 15- and 16-bit colour pictures coded as runs in reading
// order, new colours from a 128-entry cache of recent colours, and chains
// that carry a colour down into the rows below.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the picture's width and height from a PIC header; the height is
// doubled for type byte 0x21. Returns false, and writes nothing, when the
// signature is missing or the header needs bytes beyond the source.
bool GetPicSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// Decodes a 15- or 16-bit PIC picture into width x height tightly packed
// top-down pixels of blue, green, red (and alpha 255 when withAlpha is set),
// with width and height as GetPicSize gives them. Returns the colour bits,
// 15 or 16, or -1 for other colour bits, an incomplete header, a dst that is
// too small or a work buffer that cannot be had.
int DecodePic(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);
