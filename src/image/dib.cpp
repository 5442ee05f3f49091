#include "image/dib.h"

#include <cstring>

namespace {

void PutLE16(uint8_t* at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(uint8_t* at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Exchanges count bytes of a and b through a small buffer on the stack.
void SwapBytes(uint8_t* a, uint8_t* b, size_t count)
{
    uint8_t chunk[256];
    while (count > 0) {
        size_t n = count < sizeof chunk ? count : sizeof chunk;
        memcpy(chunk, a, n);
        memcpy(a, b, n);
        memcpy(b, chunk, n);
        a += n;
        b += n;
        count -= n;
    }
}

}  // namespace

bool FillBmpInfoHeader(uint32_t width, uint32_t height, uint8_t out[kBmpInfoHeaderSize])
{
    uint32_t stride = 0, imageSize = 0;
    if (width > INT32_MAX || height > INT32_MAX || !PixelBufferSize(width, height, 0, &stride, &imageSize))
        return false;

    memset(out, 0, kBmpInfoHeaderSize);
    PutLE32(out + 0, kBmpInfoHeaderSize);                        // biSize
    PutLE32(out + 4, width);                                     // biWidth
    PutLE32(out + 8, static_cast<uint32_t>(-int64_t(height)));  // biHeight: top row first
    PutLE16(out + 12, 1);                                        // biPlanes
    PutLE16(out + 14, 24);                                       // biBitCount
    PutLE32(out + 20, imageSize);                                // biSizeImage; BI_RGB and the rest are 0
    return true;
}

void FlipPixels(DecodedImage* image, int mode)
{
    const size_t width = image->width, height = image->height;
    const size_t stride = size_t(Stride24(image->width));
    uint8_t* pixels = image->pixels;
    if (!pixels || width == 0 || height == 0)
        return;

    // Mirror: exchange pixel j with pixel width - 1 - j, keeping each
    // pixel's blue, green, red order. Done in place, so no buffer is needed.
    if (mode == FlipMirror) {
        for (size_t r = 0; r < height; ++r) {
            uint8_t* row = pixels + r * stride;
            for (size_t j = 0, k = width - 1; j < k; ++j, --k)
                SwapBytes(row + 3 * j, row + 3 * k, 3);
        }
    }

    // Upside down: exchange the pixel bytes of row i and row height - 1 - i.
    if (mode == FlipUpsideDown) {
        for (size_t i = 0; i < height / 2; ++i)
            SwapBytes(pixels + i * stride, pixels + (height - 1 - i) * stride, 3 * width);
    }
}

void BlendOver(DecodedImage* base, const DecodedImage* overlay)
{
    const size_t cols = base->width < overlay->width ? base->width : overlay->width;
    const size_t rows = base->height < overlay->height ? base->height : overlay->height;
    const size_t baseStride = size_t(Stride24(base->width));
    const size_t overlayStride = 4 * size_t(overlay->width);
    if (!base->pixels || !overlay->pixels)
        return;

    for (size_t r = 0; r < rows; ++r) {
        uint8_t* b = base->pixels + r * baseStride;
        const uint8_t* o = overlay->pixels + r * overlayStride;
        for (size_t c = 0; c < cols; ++c, b += 3, o += 4) {
            unsigned a = o[3];
            for (int k = 0; k < 3; ++k)
                b[k] = static_cast<uint8_t>((o[k] * a + b[k] * (255 - a)) / 255);
        }
    }
}
