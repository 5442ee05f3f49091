// The own-decoder road on arbitrary file images: both pixel forms and the
// thumbnail, exactly as the program and zizeconv run them, and the decoded
// picture scaled into a square of a size taken from the input, as the
// shell's thumbnail handler scales it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/load_image.h"

namespace {

// Pictures whose buffers would pass 1 MB (a 640 x 400 picture still fits) are refused through the memory
// layer's own failure path, so that the fuzzer stays inside its memory limit.
bool Within64MB(size_t size)
{
    return size <= (size_t(1) << 20);
}

// A new block holding the input.
MemoryBlock Block(const uint8_t* data, size_t size)
{
    MemoryBlock block = MemoryBlockAlloc(size);
    uint8_t* at = MemoryBlockLock(block);
    if (at && size)
        memcpy(at, data, size);
    MemoryBlockUnlock(block);
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetAllocationGate(Within64MB);
    for (int withAlpha = 0; withAlpha < 2; ++withAlpha) {
        DecodedImage image{};
        if (LoadOwnImageBlock(Block(data, size), &image, withAlpha) != 0)
            continue;
        if (!withAlpha && size > 0) {
            uint32_t dw, dh;
            FitIntoSquare(image.width, image.height, 1 + 8u * data[size - 1], &dw, &dh);
            std::vector<uint8_t> square(size_t(dw) * dh * 3);
            ScaleToSize(image.pixels, image.width, image.height, ptrdiff_t(Stride24(image.width)), square.data(), dw,
                        dh, ptrdiff_t(dw) * 3);
        }
        ReleaseDecodedImage(&image);
    }
    ThumbnailBlock thumb;
    ImageInfo info{};
    LoadOwnImageThumbnail(Block(data, size), &thumb, &info);
    if (LiveAllocations() != 0)
        __builtin_trap();  // a block or buffer was not released
    return 0;
}
