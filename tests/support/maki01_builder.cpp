#include "support/maki01_builder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kWidth = 640;

void PutBE16(std::vector<uint8_t>* out, size_t at, uint32_t v)
{
    (*out)[at] = static_cast<uint8_t>(v >> 8);
    (*out)[at + 1] = static_cast<uint8_t>(v);
}

}  // namespace

std::vector<uint8_t> BuildMaki01(const Maki01Picture& picture)
{
    // The XOR coding over the plane's rows (the decoder undoes it downwards).
    size_t rows = std::min<size_t>(picture.indices.size() / kWidth, 400);
    size_t headerRows = uint16_t(picture.yEnd - picture.yStart);
    std::vector<uint8_t> plane(400 * kWidth, 0);
    std::copy(picture.indices.begin(), picture.indices.begin() + rows * kWidth, plane.begin());
    std::vector<uint8_t> coded = plane;
    size_t distance = picture.variant == 'A' ? 2 : (picture.variant == 'B' && headerRows > 4 ? 4 : 0);
    if (distance)
        for (size_t p = distance * kWidth; p < coded.size(); ++p)
            coded[p] = plane[p] ^ plane[p - distance * kWidth];

    // Flags: one bit per pixel pair that is not 0, four pairs to a flag.
    std::vector<uint8_t> flags(400 * 80, 0);
    for (size_t y = 0; y < 400; ++y)
        for (size_t j = 0; j < 320; ++j)
            if (coded[y * kWidth + 2 * j] | coded[y * kWidth + 2 * j + 1])
                flags[y * 80 + j / 4] |= uint8_t(8 >> (j % 4));

    // Flag A marks the 4-row blocks of a column that flag B holds.
    std::vector<uint8_t> flagA(1000, 0), flagB;
    for (size_t b = 0; b < 100; ++b) {
        for (size_t c = 0; c < 80; ++c) {
            const uint8_t* f = &flags[4 * b * 80 + c];
            uint8_t p = uint8_t(f[0] << 4 | f[80]);
            uint8_t q = uint8_t(f[160] << 4 | f[240]);
            if (p | q) {
                size_t bit = b * 80 + c;
                flagA[bit / 8] |= uint8_t(0x80 >> (bit % 8));
                flagB.push_back(p);
                flagB.push_back(q);
            }
        }
    }

    // Pixel bytes for the flagged pairs: rows 0 to 199, then the rest.
    std::vector<uint8_t> pixelA, pixelB;
    for (size_t y = 0; y < 400; ++y) {
        std::vector<uint8_t>& block = y < 200 ? pixelA : pixelB;
        for (size_t j = 0; j < 320; ++j)
            if (flags[y * 80 + j / 4] & (8 >> (j % 4)))
                block.push_back(uint8_t(coded[y * kWidth + 2 * j] << 4 | coded[y * kWidth + 2 * j + 1]));
    }
    pixelA.insert(pixelA.end(), picture.pixelAPadding, 0x5A);

    std::vector<uint8_t> out(kMaki01FlagB, 0);
    std::memcpy(out.data(), picture.variant == 'B' ? "MAKI01B " : "MAKI01A ", 8);
    std::memcpy(out.data() + 8, "ZIZE    test builder    ", 24);
    PutBE16(&out, 32, uint32_t(flagB.size()));
    PutBE16(&out, 34, uint32_t(pixelA.size()));
    PutBE16(&out, 36, uint32_t(pixelB.size()));
    PutBE16(&out, 40, picture.xStart);
    PutBE16(&out, 42, picture.yStart);
    PutBE16(&out, 44, picture.xEnd);
    PutBE16(&out, 46, picture.yEnd);
    std::memcpy(out.data() + 48, picture.palette, 48);
    std::copy(flagA.begin(), flagA.end(), out.begin() + kMaki01FlagA);
    out.insert(out.end(), flagB.begin(), flagB.end());
    out.insert(out.end(), pixelA.begin(), pixelA.end());
    out.insert(out.end(), pixelB.begin(), pixelB.end());
    return out;
}
