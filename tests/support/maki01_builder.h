// Builds MAKI01 files from an index plane, for tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Maki01Picture {
    char variant = 'A';             // 'A': rows XOR-coded two apart, 'B': four apart
    uint8_t palette[16][3] = {};    // green, red, blue, as stored
    uint16_t xStart = 0, yStart = 0, xEnd = 640, yEnd = 400;
    std::vector<uint8_t> indices;   // 640 per row, top row first, values 0 to 15
    size_t pixelAPadding = 0;       // unused bytes left at the end of the first pixel block
};

// Returns the file: header, flag A, flag B and the two pixel blocks.
std::vector<uint8_t> BuildMaki01(const Maki01Picture& picture);

// Offsets of the file's parts, as BuildMaki01 lays them out.
constexpr size_t kMaki01FlagA = 96;
constexpr size_t kMaki01FlagB = 1096;
