// Arbitrary bytes into the P2 size query and decoder: the destination sized
// from the reported size (capped), and also too small by one byte, which must be refused.
//
// Seeds in fuzz/seeds/p2_fuzz/ were made with the test encoders of
// tests/support/p2_encoder.h: MakeP2TestPicture(depth, 9, 7, 12, depth) as
// one P2SS block (ss_*.p2) and one P2SF block with long runs (sf_*.p2), and
// MakeP2TestPicture(depth, 6, 5, 40, depth + 1) as four overlapping blocks
// of all kinds (multi_*.p2); at 8 bits with a 16-entry palette.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decode/p2.h"

// Decoding time grows with the canvas; this keeps executions fast.
const uint64_t kMaxPixels = 4096;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A heap copy of exactly the input, so that any read past it is caught.
    std::vector<uint8_t> source(data, data + size);
    uint32_t width = 0, height = 0;
    if (!GetP2Size(source.data(), source.size(), &width, &height))
        return 0;
    uint64_t pixels = uint64_t(width) * height;
    int withAlpha = size > 0 ? data[size - 1] & 1 : 0;

    // Canvases past the cap only meet a small destination, which is refused.
    if (pixels > kMaxPixels) {
        std::vector<uint8_t> small(kMaxPixels * 3);
        if (DecodeP2(source.data(), source.size(), small.data(), small.size(), withAlpha) >= 0)
            abort();
        return 0;
    }
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
