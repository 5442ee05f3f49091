#include "image/decoded_image.h"

#include <cstring>

#include "platform/memory_block.h"

bool PixelBufferSize(uint32_t width, uint32_t height, int withAlpha, uint32_t* stride, uint32_t* bytes)
{
    if (width == 0 || height == 0)
        return false;
    const uint64_t limit = UINT32_MAX;

    // A stride under 2^32 times a height under 2^32 cannot wrap 64 bits. The
    // packed 3 x width rows are never longer than the padded ones, so the
    // work buffer fits whenever the 24-bit buffer does.
    uint64_t rowBytes = FormStride(width, withAlpha);
    if (rowBytes > limit)
        return false;
    uint64_t total = rowBytes * height;
    if (total > limit)
        return false;
    *stride = static_cast<uint32_t>(rowBytes);
    *bytes = static_cast<uint32_t>(total);
    return true;
}

void ReleaseDecodedImage(DecodedImage* image)
{
    FixedFree(image->pixels);
    image->pixels = nullptr;
    image->width = image->height = image->bitsPerPixel = 0;
}

void SpreadPackedRows(uint8_t* pixels, uint32_t width, uint32_t height, size_t stride)
{
    // The rows move from the bottom up: a row's new place never covers a row
    // that has yet to move, so the padded buffer can be the decoder's packed
    // work buffer.
    const size_t rowBytes = 3 * size_t(width);
    for (size_t r = height; r-- > 0;) {
        memmove(pixels + r * stride, pixels + r * rowBytes, rowBytes);
        memset(pixels + r * stride + rowBytes, 0, stride - rowBytes);
    }
}
