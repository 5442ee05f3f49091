#include "support/thumbnail_reference.h"

#include <cstring>
#include <vector>

namespace {

// The source pixel of sample j out of 2n, on a line of size pixels: the
// half-pixel nearest to j * (2 size - 1) / (2n - 1), halves rounded up.
uint64_t SamplePixel(uint64_t j, uint64_t size, uint64_t n)
{
    uint64_t den = 2 * n - 1;
    uint64_t halfPixel = (2 * j * (2 * size - 1) + den) / (2 * den);
    return halfPixel / 2;
}

}  // namespace

void ReferenceThumbnail(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* out)
{
    memset(out, 255, 80 * 80 * 3);
    uint64_t dw = 80, dh = 80, top = 0;
    if (width > height) {
        dh = uint64_t(height) * 80 / width;
        top = (80 - dh) / 2;
    } else if (width < height) {
        dw = uint64_t(width) * 80 / height;
    }
    uint64_t left = (80 - dw) / 2;
    if (dw == 0 || dh == 0)
        return;
    std::vector<uint8_t> scaled(dw * dh * 3);
    ReferenceScale(src, width, height, stride, scaled.data(), uint32_t(dw), uint32_t(dh));
    for (uint64_t y = 0; y < dh; ++y)
        memcpy(out + (top + y) * 240 + left * 3, scaled.data() + y * dw * 3, dw * 3);
}

void ReferenceScale(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* out,
                    uint32_t dw, uint32_t dh)
{
    for (uint64_t y = 0; y < dh; ++y) {
        for (uint64_t x = 0; x < dw; ++x) {
            for (int k = 0; k < 3; ++k) {
                unsigned sum = 0;
                for (uint64_t sy = 2 * y; sy < 2 * y + 2; ++sy) {
                    for (uint64_t sx = 2 * x; sx < 2 * x + 2; ++sx) {
                        uint64_t px = SamplePixel(sx, width, dw), py = SamplePixel(sy, height, dh);
                        sum += src[ptrdiff_t(py) * stride + ptrdiff_t(px) * 3 + k];
                    }
                }
                out[(y * dw + x) * 3 + k] = static_cast<uint8_t>(sum / 4);
            }
        }
    }
}
