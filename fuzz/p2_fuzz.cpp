// Arbitrary bytes into the P2 size query and decoder: the destination sized
// from the reported size (capped), and also too small by one pixel and by one
// byte, which must be refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/p2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A heap copy of exactly the input, so that any read past it is caught.
    std::vector<uint8_t> source(data, data + size);
    uint32_t width = 0, height = 0;
    if (!GetP2Size(source.data(), source.size(), &width, &height))
        return 0;
    uint64_t pixels = uint64_t(width) * height;
    if (pixels > (uint64_t(1) << 22))
        return 0;
    int withAlpha = size > 0 ? data[size - 1] & 1 : 0;
    size_t bytes = static_cast<size_t>(pixels) * (withAlpha ? 4 : 3);
    std::vector<uint8_t> dst(bytes);
    int result = DecodeP2(source.data(), source.size(), dst.data(), dst.size(), withAlpha);
    if (result >= 0 && result != 8 && result != 15 && result != 24)
        abort();

    // Too small: refused, nothing written past the smaller size.
    if (bytes > 0 && result >= 0) {
        std::vector<uint8_t> small(bytes - 1);
        if (DecodeP2(source.data(), source.size(), small.data(), small.size(), withAlpha) >= 0)
            abort();
    }
    return 0;
}
