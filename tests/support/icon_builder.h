// Builds icon images and icon group directories of known patterns, the
// same as tests/gui/icon_test_dll/make_test_icons.py writes into the test
// library. With x and y counted from the top-left pixel and tag the image's
// id:
//   32 bits: blue x, green y, red tag, alpha 255 - x
//   24 bits: blue x, green y, red tag
//   16 bits: blue x, green y, red tag, each kept to its field's low bits
//   palette: index (x + 3y) mod colours; entry k = blue k, green tag,
//            red 255 - k, reserved 0
//   mask:    transparent (1) where (x + 2y) mod 5 = 0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TestIconImage {
    uint16_t id;  // also the tag in its pattern
    uint32_t width;
    uint32_t bits;
    uint32_t colours = 0;      // palette entries (0: 1 << bits); written as "colours used" when below that
    bool fields565 = false;    // 16 bits: bit fields 5-6-5 instead of plain 5-5-5
};

// The icon image: 40-byte header, bit fields or palette, colour rows and
// mask rows, bottom-up.
std::vector<uint8_t> BuildIconImage(const TestIconImage& image);

// A group directory listing the ids (count: the count written, when not
// the number of ids).
std::vector<uint8_t> BuildIconGroup(const std::vector<uint16_t>& ids, int count = -1);

// The 4 bytes that pixel (x, y) of the image becomes in an 80 x 80 icon image.
std::array<uint8_t, 4> IconPatternPixel(const TestIconImage& image, uint32_t x, uint32_t y);

// Whether pixel (x, y) of every pattern is transparent.
bool IconPatternTransparent(uint32_t x, uint32_t y);
