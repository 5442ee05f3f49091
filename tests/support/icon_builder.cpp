#include "support/icon_builder.h"

namespace {

size_t RowBytes(uint32_t width, uint32_t bits)
{
    return (size_t(width) * bits + 31) / 32 * 4;
}

void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

uint32_t Colours(const TestIconImage& image)
{
    if (image.bits > 8)
        return 0;
    return image.colours ? image.colours : 1u << image.bits;
}

uint32_t GreenBits(const TestIconImage& image)
{
    return image.fields565 ? 6 : 5;
}

uint8_t Widen(uint32_t v, uint32_t n)
{
    return uint8_t(v << (8 - n) | v >> (2 * n - 8));
}

// One colour row, y from the top, padded.
void PixelRow(const TestIconImage& image, uint32_t y, std::vector<uint8_t>& out)
{
    const size_t start = out.size();
    const uint8_t tag = uint8_t(image.id);
    for (uint32_t x = 0; x < image.width; ++x) {
        if (image.bits == 32) {
            out.insert(out.end(), {uint8_t(x), uint8_t(y), tag, uint8_t(255 - x)});
        } else if (image.bits == 24) {
            out.insert(out.end(), {uint8_t(x), uint8_t(y), tag});
        } else if (image.bits == 16) {
            const uint32_t g = GreenBits(image);
            Put16(out, (x & 31) | (y & ((1u << g) - 1)) << 5 | (tag & 31u) << (5 + g));
        } else {
            const uint32_t perByte = 8 / image.bits;
            if (x % perByte == 0)
                out.push_back(0);
            const uint32_t shift = (perByte - 1 - x % perByte) * image.bits;
            out.back() |= uint8_t((x + 3 * y) % Colours(image) << shift);
        }
    }
    out.resize(start + RowBytes(image.width, image.bits), 0);
}

}  // namespace

std::vector<uint8_t> BuildIconImage(const TestIconImage& image)
{
    const uint32_t w = image.width;
    const uint32_t colours = Colours(image);
    const bool fields = image.bits == 16 && image.fields565;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, w);
    Put32(out, 2 * w);
    Put16(out, 1);
    Put16(out, image.bits);
    Put32(out, fields ? 3 : 0);
    Put32(out, uint32_t(RowBytes(w, image.bits) * w + RowBytes(w, 1) * w));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, image.bits <= 8 && colours < (1u << image.bits) ? colours : 0);
    Put32(out, 0);
    if (fields) {
        Put32(out, 0xF800);
        Put32(out, 0x07E0);
        Put32(out, 0x001F);
    }
    for (uint32_t k = 0; k < colours; ++k)
        out.insert(out.end(), {uint8_t(k), uint8_t(image.id), uint8_t(255 - k), 0});
    for (uint32_t y = w; y-- > 0;)
        PixelRow(image, y, out);
    for (uint32_t y = w; y-- > 0;) {
        const size_t start = out.size();
        out.resize(start + RowBytes(w, 1), 0);
        for (uint32_t x = 0; x < w; ++x)
            if (IconPatternTransparent(x, y))
                out[start + x / 8] |= uint8_t(0x80 >> x % 8);
    }
    return out;
}

std::vector<uint8_t> BuildIconGroup(const std::vector<uint16_t>& ids, int count)
{
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, count < 0 ? uint32_t(ids.size()) : uint32_t(count));
    for (uint16_t id : ids) {
        out.insert(out.end(), {48, 48, 0, 0});  // the sizes are not read
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, 0);
        Put16(out, id);
    }
    return out;
}

std::array<uint8_t, 4> IconPatternPixel(const TestIconImage& image, uint32_t x, uint32_t y)
{
    const uint8_t tag = uint8_t(image.id);
    switch (image.bits) {
    case 32:
        return {uint8_t(x), uint8_t(y), tag, uint8_t(255 - x)};
    case 24:
        return {uint8_t(x), uint8_t(y), tag, 0};
    case 16: {
        const uint32_t g = GreenBits(image);
        return {Widen(x & 31, 5), Widen(y & ((1u << g) - 1), g), Widen(tag & 31u, 5), 0};
    }
    default: {
        const uint32_t k = (x + 3 * y) % Colours(image);
        return {uint8_t(k), tag, uint8_t(255 - k), 0};
    }
    }
}

bool IconPatternTransparent(uint32_t x, uint32_t y)
{
    return (x + 2 * y) % 5 == 0;
}
