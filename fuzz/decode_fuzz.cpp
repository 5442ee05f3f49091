// Fuzzes the decoder front end on arbitrary bytes: detection, the size
// query and every decoder reached through DecodeImage, with destinations of
// exactly the reported size (both pixel widths) and ones too small by a byte
// or more, which must be refused.
//
// Seeds in fuzz/seeds/decode_fuzz/ are small MAG files written by the test
// encoder (tests/support/mag_encoder.h): 16 and 256 colours, every copy
// vector, an odd flag B size, an x start off the unit boundary.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "decode/dispatch.h"

namespace {

// Pictures larger than this are only sized, not decoded, so that each run
// stays short; the decoders' loops do not depend on the picture's size.
constexpr uint64_t kMaxPixels = uint64_t(1) << 16;

// Decodes into the last dstSize bytes of block, so that the destination
// ends exactly where the heap block does, and returns the result.
int DecodeAtEnd(const ImageDecoder& decoder, uint8_t* block, size_t blockSize, size_t dstSize, int withAlpha)
{
    return DecodeImage(&decoder, block + (blockSize - dstSize), dstSize, withAlpha);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImageDecoder decoder;
    DetectDecoderType(&decoder, data, size);
    uint32_t width = 0, height = 0;
    bool sized = GetImageSize(&decoder, &width, &height);
    uint64_t pixels = uint64_t(width) * height;

    // Without a size, or with one too large to decode here, a small
    // destination must be refused.
    if (!sized || pixels > kMaxPixels) {
        uint8_t small[16];
        if (DecodeImage(&decoder, small, sizeof small, 1) != 0)
            abort();
        return 0;
    }

    // One heap block holds the largest destination; each decode uses its tail.
    size_t blockSize = size_t(pixels) * 4 + 1;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[blockSize]);
    if (!block)
        return 0;
    for (int withAlpha = 0; withAlpha <= 1; ++withAlpha) {
        size_t need = size_t(pixels) * (3 + withAlpha);
        if (DecodeAtEnd(decoder, block.get(), blockSize, need, withAlpha) < 0)
            abort();
        // A destination short of the picture is refused.
        if (need > 0 && (DecodeAtEnd(decoder, block.get(), blockSize, need - 1, withAlpha) != 0 ||
                         DecodeAtEnd(decoder, block.get(), blockSize, need / 2, withAlpha) != 0))
            abort();
    }
    return 0;
}
