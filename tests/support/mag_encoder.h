// A MAG encoder for tests and benchmarks: writes valid 16- and 256-colour
// files from a plane of colour indices, with knobs that steer it through
// every copy vector, literal units, odd flag B sizes and odd stored offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture as MAG stores it.
struct MagPicture {
    bool colors256 = false;
    uint8_t screenModeBits = 0;  // bits of the screen mode byte besides bit 7 (set from colors256)
    std::string comment;         // the free text between the signature and 0x1A
    uint16_t xStart = 0;
    uint16_t yStart = 0;
    uint16_t xEnd = 7;  // inclusive
    uint16_t yEnd = 0;  // inclusive
    // 16 or 256 entries of red, green, blue; missing entries are written black.
    std::vector<uint8_t> palette;
    // PlaneWidth() x Height() colour indices, rows top first.
    std::vector<uint8_t> indices;

    // The decoded width: the x range widened to whole 8-pixel (16 colours)
    // or 4-pixel (256 colours) flag bytes.
    uint32_t PlaneWidth() const;
    uint32_t Height() const { return uint32_t(yEnd) - yStart + 1; }
    uint32_t Colours() const { return colors256 ? 256 : 16; }
};

struct MagEncodeOptions {
    // Copy vectors are tried from this nibble (1 to 15) on, wrapping; with
    // rotateVectors the starting nibble moves on by one for every unit, so a
    // picture with repeats ends up using all of them.
    int firstVector = 1;
    bool rotateVectors = false;
    bool literalsOnly = false;  // every unit literal
    // Adds one flag B byte of 0 (a change that changes nothing) when the
    // natural flag B size is even, so that the size is odd.
    bool oddFlagB = false;
    // Added to every stored stream offset (flag A, flag B, pixel data);
    // decoders use only their differences.
    uint32_t offsetBias = 0;
    // Added to the stored pixel data offset alone, which decoders ignore.
    uint32_t pixelOffsetSkew = 0;
};

// What the encoder made, for tests to check that a case really happened.
struct MagEncodeStats {
    uint64_t nibbleUses[16] = {};  // units coded by each nibble (0: literal)
    uint32_t flagASize = 0;
    uint32_t flagBSize = 0;
    uint32_t pixelDataSize = 0;
    uint32_t headerStart = 0;  // offset just after the 0x1A
};

std::vector<uint8_t> EncodeMag(const MagPicture& picture, const MagEncodeOptions& options = {},
                               MagEncodeStats* stats = nullptr);

// The decoder output the picture must give: blue, green, red (+ 255) per pixel.
std::vector<uint8_t> MagExpectedPixels(const MagPicture& picture, bool withAlpha);

// Picture content for round trips.
enum class MagPattern {
    Flat,      // one colour: every copy vector matches
    Blocks,    // 32 x 32 squares: every copy vector matches inside one, few across edges
    Noise,     // random indices: mostly literal units
    Mixed,     // blocks of the three above
};

// A picture of the given visible size at the given origin, filled by the
// pattern from a seeded generator, with a seeded palette.
MagPicture MakeMagPicture(bool colors256, uint16_t xStart, uint16_t yStart, uint32_t width, uint32_t height,
                          MagPattern pattern, uint32_t seed);
