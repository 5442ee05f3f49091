#include "support/mag_encoder.h"

#include <cstring>
#include <random>

namespace {

// Copy distances as the format defines them: dx in pixels of the 16-colour
// layout (halved at 256 colours), dy in rows, by nibble.
constexpr int kDx[16] = {0, 4, 8, 16, 0, 4, 0, 4, 8, 0, 4, 8, 0, 4, 8, 0};
constexpr int kDy[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};

void PutLE16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

void PutLE32(std::vector<uint8_t>* out, uint32_t v)
{
    PutLE16(out, v & 0xFFFF);
    PutLE16(out, v >> 16);
}

// Returns the nibble that codes the unit at pos: the first matching copy
// vector in preference order starting at first, or 0 for a literal.
int ChooseNibble(const MagPicture& p, const std::vector<uint8_t>& plane, size_t pos, int first)
{
    const uint32_t unit = p.colors256 ? 2 : 4;
    const uint32_t width = p.PlaneWidth();
    for (int k = 0; k < 15; ++k) {
        int n = (first - 1 + k) % 15 + 1;
        uint64_t back = uint64_t(kDy[n]) * width + (p.colors256 ? kDx[n] / 2 : kDx[n]);
        if (back <= pos && memcmp(&plane[pos], &plane[pos - back], unit) == 0)
            return n;
    }
    return 0;
}

// Appends a literal unit's two bytes.
void PutLiteral(const MagPicture& p, const uint8_t* unit, std::vector<uint8_t>* data)
{
    if (p.colors256) {
        data->push_back(unit[0]);
        data->push_back(unit[1]);
    } else {
        data->push_back(uint8_t((unit[0] & 15) << 4 | (unit[1] & 15)));
        data->push_back(uint8_t((unit[2] & 15) << 4 | (unit[3] & 15)));
    }
}

}  // namespace

uint32_t MagPicture::PlaneWidth() const
{
    if (colors256)
        return ((uint32_t(xEnd) & 0xFFFC) | 3) - (uint32_t(xStart) & 0xFFFC) + 1;
    return ((uint32_t(xEnd) & 0xFFF8) | 7) - (uint32_t(xStart) & 0xFFF8) + 1;
}

std::vector<uint8_t> EncodeMag(const MagPicture& p, const MagEncodeOptions& options, MagEncodeStats* stats)
{
    MagEncodeStats local;
    MagEncodeStats& st = stats ? *stats : local;
    st = MagEncodeStats();
    const uint32_t width = p.PlaneWidth();
    const uint32_t height = p.Height();
    const uint32_t unit = p.colors256 ? 2 : 4;
    const uint32_t flagsPerRow = width / (2 * unit);

    // Code every unit, then turn each row's flags into changes of the flag line.
    std::vector<uint8_t> flagLine(flagsPerRow, 0);
    std::vector<uint8_t> flagABits;  // one entry per flag byte
    std::vector<uint8_t> flagB, data;
    size_t pos = 0;
    uint64_t unitIndex = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t i = 0; i < flagsPerRow; ++i) {
            int nibbles[2];
            for (int half = 0; half < 2; ++half, pos += unit, ++unitIndex) {
                int first = options.firstVector;
                if (options.rotateVectors)
                    first = int((uint64_t(first - 1) + unitIndex) % 15) + 1;
                nibbles[half] = options.literalsOnly ? 0 : ChooseNibble(p, p.indices, pos, first);
                if (nibbles[half] == 0)
                    PutLiteral(p, &p.indices[pos], &data);
                st.nibbleUses[nibbles[half]]++;
            }
            uint8_t f = uint8_t(nibbles[0] << 4 | nibbles[1]);
            uint8_t change = f ^ flagLine[i];
            flagLine[i] = f;
            flagABits.push_back(change != 0);
            if (change)
                flagB.push_back(change);
        }
    }

    // An odd flag B size: one more flagged byte that changes nothing.
    if (options.oddFlagB && flagB.size() % 2 == 0) {
        size_t b = 0;
        for (size_t k = 0; k < flagABits.size(); ++k) {
            if (flagABits[k]) {
                ++b;
                continue;
            }
            flagABits[k] = 1;
            flagB.insert(flagB.begin() + b, 0);
            break;
        }
    }

    // Pack flag A, most significant bit first.
    std::vector<uint8_t> flagA((flagABits.size() + 7) / 8, 0);
    for (size_t k = 0; k < flagABits.size(); ++k)
        if (flagABits[k])
            flagA[k / 8] |= uint8_t(0x80 >> (k % 8));

    // Signature, comment, end-of-text mark.
    const std::string text = "MAKI02  " + p.comment + '\x1A';
    std::vector<uint8_t> out(text.begin(), text.end());
    st.headerStart = uint32_t(out.size());

    // Header.
    const uint32_t paletteSize = 3 * p.Colours();
    const uint32_t flagAOffset = 32 + paletteSize + options.offsetBias;
    const uint32_t flagBOffset = flagAOffset + uint32_t(flagA.size());
    const uint32_t flagBSize = uint32_t(flagB.size());
    const uint32_t pixelOffset = flagBOffset + flagBSize + (flagBSize & 1);
    out.push_back(0);  // header start
    out.push_back(0);  // machine code
    out.push_back(0);  // machine flags
    out.push_back(uint8_t((p.colors256 ? 0x80 : 0) | (p.screenModeBits & 0x7F)));
    PutLE16(&out, p.xStart);
    PutLE16(&out, p.yStart);
    PutLE16(&out, p.xEnd);
    PutLE16(&out, p.yEnd);
    PutLE32(&out, flagAOffset);
    PutLE32(&out, flagBOffset);
    PutLE32(&out, flagBSize);
    PutLE32(&out, pixelOffset + options.pixelOffsetSkew);
    PutLE32(&out, uint32_t(data.size()));

    // Palette as green, red, blue.
    for (uint32_t c = 0; c < p.Colours(); ++c) {
        for (int channel : {1, 0, 2}) {
            size_t at = 3 * size_t(c) + channel;
            out.push_back(at < p.palette.size() ? p.palette[at] : 0);
        }
    }

    // The three streams; flag B is padded to an even size.
    out.insert(out.end(), flagA.begin(), flagA.end());
    out.insert(out.end(), flagB.begin(), flagB.end());
    if (flagBSize & 1)
        out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());

    st.flagASize = uint32_t(flagA.size());
    st.flagBSize = flagBSize;
    st.pixelDataSize = uint32_t(data.size());
    return out;
}

std::vector<uint8_t> MagExpectedPixels(const MagPicture& p, bool withAlpha)
{
    std::vector<uint8_t> out;
    out.reserve(p.indices.size() * (withAlpha ? 4 : 3));
    for (uint8_t index : p.indices) {
        size_t at = 3 * size_t(index);
        auto channel = [&](size_t k) { return at + k < p.palette.size() ? p.palette[at + k] : uint8_t(0); };
        out.push_back(channel(2));
        out.push_back(channel(1));
        out.push_back(channel(0));
        if (withAlpha)
            out.push_back(255);
    }
    return out;
}

MagPicture MakeMagPicture(bool colors256, uint16_t xStart, uint16_t yStart, uint32_t width, uint32_t height,
                          MagPattern pattern, uint32_t seed)
{
    MagPicture p;
    p.colors256 = colors256;
    p.xStart = xStart;
    p.yStart = yStart;
    p.xEnd = uint16_t(xStart + width - 1);
    p.yEnd = uint16_t(yStart + height - 1);
    std::mt19937 rng(seed);

    // A palette of distinct colours.
    for (uint32_t c = 0; c < p.Colours(); ++c) {
        p.palette.push_back(uint8_t(rng()));
        p.palette.push_back(uint8_t(c * 7 + 1));
        p.palette.push_back(uint8_t(rng()));
    }

    const uint32_t w = p.PlaneWidth();
    const uint32_t h = p.Height();
    const uint32_t colours = p.Colours();
    p.indices.resize(size_t(w) * h);
    const uint8_t flat = uint8_t(rng() % colours);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            MagPattern here = pattern;
            if (pattern == MagPattern::Mixed) {
                static const MagPattern kinds[3] = {MagPattern::Flat, MagPattern::Blocks, MagPattern::Noise};
                here = kinds[(x / 24 + y / 20) % 3];
            }
            uint8_t v = flat;
            if (here == MagPattern::Blocks)
                v = uint8_t(((y / 32) * 5 + (x / 32) * 3 + 1) % colours);
            else if (here == MagPattern::Noise)
                v = uint8_t(rng() % colours);
            p.indices[size_t(y) * w + x] = v;
        }
    }
    return p;
}
