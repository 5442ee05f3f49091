// Builds TGA files from pixel values in file order, for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TgaImage {
    uint8_t imageType = 2;          // 1, 2, 3 uncompressed; 9, 10, 11 run-length coded
    uint8_t mapType = 0;
    uint16_t firstEntry = 0;
    uint16_t mapLength = 0;
    uint8_t mapEntrySize = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 24;
    uint8_t descriptor = 0;         // 0x20 top-left; 0x40 two-way, 0x80 four-way interleave
    std::vector<uint8_t> id;
    std::vector<uint8_t> map;       // the colour map's entries as stored
    std::vector<uint8_t> pixels;    // pixel values in file order, (depth + 7) / 8 bytes each
};

// Returns the file. Run-length types get runs of equal values as run packets
// and the rest as raw packets, both up to 128 pixels and across row ends.
std::vector<uint8_t> BuildTga(const TgaImage& image);

// Run-length codes count pixel values of size bytes each.
std::vector<uint8_t> EncodeTgaRle(const uint8_t* pixels, size_t count, size_t size);
