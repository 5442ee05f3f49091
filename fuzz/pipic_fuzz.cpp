// Feeds arbitrary bytes to the Pi and PIC size queries and decoders: with a
// destination of the reported size, one byte short (which must be refused),
// and with and without alpha.
#include "decode/pi.h"
#include "decode/pic.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Pictures larger than this are only checked for refusing a small destination.
const uint64_t kMaxPixels = 1u << 14;

using SizeQuery = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*);
using Decoder = int (*)(const uint8_t*, size_t, uint8_t*, size_t, int);

// Runs one format's size query and decoder; aborts when a result breaks the contract.
void Exercise(SizeQuery query, Decoder decode, const uint8_t* data, size_t size, int withAlpha, int lowest,
              int highest)
{
    uint8_t small[16];
    uint32_t w = 0, h = 0;
    if (!query(data, size, &w, &h)) {
        // Without a complete header the decoder refuses too.
        if (decode(data, size, small, sizeof small, withAlpha) >= 0)
            std::abort();
        return;
    }

    uint64_t need = uint64_t(w) * h * (withAlpha ? 4 : 3);
    if (uint64_t(w) * h > kMaxPixels) {
        if (decode(data, size, small, sizeof small, withAlpha) >= 0)
            std::abort();
        return;
    }

    std::vector<uint8_t> dst(static_cast<size_t>(need));
    if (need > 0 && decode(data, size, dst.data(), dst.size() - 1, withAlpha) >= 0)
        std::abort();
    int result = decode(data, size, dst.data(), dst.size(), withAlpha);
    if (result >= 0 && (result < lowest || result > highest))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Copy to an exact heap block so that any read past the end is caught.
    std::vector<uint8_t> bytes(data, data + size);
    int withAlpha = static_cast<int>(size & 1);
    Exercise(GetPiSize, DecodePi, bytes.data(), bytes.size(), withAlpha, 1, 8);
    Exercise(GetPicSize, DecodePic, bytes.data(), bytes.size(), withAlpha, 15, 16);
    return 0;
}
