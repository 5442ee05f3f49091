// BMP files of pictures in the 24-bit form: a 54-byte header (14-byte file
// header, then the 40-byte top-down info header), then the rows as stored.
#pragma once

#include <cstdint>

#include "image/decoded_image.h"

constexpr uint32_t kBmpHeaderSize = 54;

// Writes the 54 header bytes of a BMP file of a width x height picture.
// Returns false when the picture is too large for the format's 32-bit fields.
bool FillBmpHeader(uint32_t width, uint32_t height, uint8_t out[kBmpHeaderSize]);

// Writes the picture as a BMP file at path, replacing any file there; the
// row padding is written as zeros. Returns 0, or -1 when the file cannot be
// created or written or the picture is too large for the format.
int WriteBmpFile(const DecodedImage* image, const wchar_t* path);
