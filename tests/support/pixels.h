// Small pictures for tests: DecodedImage records in either pixel form whose
// buffers come from the loaders' own allocator.
#pragma once

#include <cstdint>
#include <vector>

#include "image/decoded_image.h"

// Owns a DecodedImage and frees its pixels at the end of its scope.
struct OwnedImage {
    DecodedImage image{};
    OwnedImage() = default;
    ~OwnedImage() { ReleaseDecodedImage(&image); }
    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
};

// Fills a width x height picture in the chosen form; pixel (x, y) of the
// 24-bit form gets colour bytes made from x, y and seed, padding bytes 0xCD.
void MakeImage(OwnedImage* out, uint32_t width, uint32_t height, int withAlpha, uint32_t seed = 0);

// The packed rows (3 x width bytes each) of a picture in the 24-bit form.
std::vector<uint8_t> PackedRows(const DecodedImage& image);
