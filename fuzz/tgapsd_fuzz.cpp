// Arbitrary bytes into the MAKI01, TGA and PSD size queries and decoders.
// Each decoder gets a destination of exactly the size its query reports
// (pictures above a small cap are only sized) and, once, one byte too few,
// which it must refuse without writing.
#include <cstdint>
#include <cstdlib>

#include "decode/maki01.h"
#include "decode/psd.h"
#include "decode/tga.h"

namespace {

constexpr uint64_t kMaxPicture = 16 * 1024;

using SizeQuery = bool (*)(const uint8_t*, size_t, uint32_t*, uint32_t*);
using Decoder = int (*)(const uint8_t*, size_t, uint8_t*, size_t, int);

void Exercise(SizeQuery query, Decoder decode, const uint8_t* data, size_t size, int withAlpha)
{
    uint32_t width = 0, height = 0;
    if (!query(data, size, &width, &height))
        return;
    uint64_t bytes = uint64_t(width) * height * (withAlpha ? 4 : 3);
    if (bytes > kMaxPicture)
        return;

    // Exactly sized: whatever the result, nothing is written past the end.
    uint8_t* dst = static_cast<uint8_t*>(std::malloc(bytes > 0 ? bytes : 1));
    if (!dst)
        return;
    decode(data, size, dst, bytes, withAlpha);

    // One byte short: refused.
    if (bytes > 0 && decode(data, size, dst, bytes - 1, withAlpha) >= 0)
        __builtin_trap();
    std::free(dst);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // libFuzzer hands over a heap copy of exactly size bytes, so the
    // sanitizers see any read past the input.
    int withAlpha = size > 0 ? (data[size - 1] & 1) : 0;
    Exercise(GetMaki01Size, DecodeMaki01, data, size, withAlpha);
    Exercise(GetTgaSize, DecodeTga, data, size, withAlpha);
    Exercise(GetPsdSize, DecodePsd, data, size, withAlpha);
    return 0;
}
