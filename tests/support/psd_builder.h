// Builds Photoshop documents (the merged picture only), for tests and
// benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PsdDocument {
    uint16_t channels = 3;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t depth = 8;
    uint16_t mode = 3;                    // 0 bitmap, 1 grey, 2 indexed, 3 RGB, 4 CMYK, 7, 8, 9 Lab
    std::vector<uint8_t> colourData;      // indexed: 256 red, 256 green, 256 blue
    std::vector<uint8_t> resources;
    std::vector<uint8_t> layers;
    uint16_t compression = 0;             // 0 raw, 1 PackBits
    std::vector<std::vector<uint8_t>> planes;  // one per channel, rows of RowBytes() each
    bool rowsEndWithNoOp = false;         // PackBits: a 128 header after every row
    std::vector<uint8_t> stream;          // when not empty: the image data after the row counts

    // Bytes in one row of a plane.
    size_t RowBytes() const { return depth == 1 ? (width + 7) / 8 : size_t(width) * depth / 8; }
};

// Returns the file; PackBits documents get their row byte counts.
std::vector<uint8_t> BuildPsd(const PsdDocument& document);

// PackBits codes count bytes: runs of three or more equal bytes as repeats,
// the rest as literals. Never writes a 128 header.
std::vector<uint8_t> EncodePackBits(const uint8_t* data, size_t count);
