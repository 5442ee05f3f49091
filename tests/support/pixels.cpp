#include "support/pixels.h"

#include <cstring>

#include "platform/memory_block.h"

void MakeImage(OwnedImage* out, uint32_t width, uint32_t height, int withAlpha, uint32_t seed)
{
    ReleaseDecodedImage(&out->image);
    uint32_t stride = 0, bytes = 0;
    if (!PixelBufferSize(width, height, withAlpha, &stride, &bytes))
        return;
    uint8_t* pixels = FixedAlloc(bytes);
    if (!pixels)
        return;
    memset(pixels, 0xCD, bytes);
    const uint32_t step = withAlpha ? 4 : 3;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = pixels + size_t(y) * stride + size_t(x) * step;
            p[0] = static_cast<uint8_t>(x * 7 + seed);
            p[1] = static_cast<uint8_t>(y * 13 + seed * 3);
            p[2] = static_cast<uint8_t>((x ^ y) + 101 + seed);
            if (withAlpha)
                p[3] = static_cast<uint8_t>(x * 31 + y * 17 + seed);
        }
    }
    out->image = DecodedImage{width, height, 24, pixels};
}

std::vector<uint8_t> PackedRows(const DecodedImage& image)
{
    std::vector<uint8_t> rows;
    size_t stride = size_t(Stride24(image.width));
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + y * stride;
        rows.insert(rows.end(), row, row + 3 * size_t(image.width));
    }
    return rows;
}
