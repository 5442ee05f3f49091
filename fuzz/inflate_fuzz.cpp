// Inflate on arbitrary bytes: the first four choose the output limit.
#include <cstdlib>
#include <cstring>

#include "archive/inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t pick = uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) |
                    (uint32_t(data[3]) << 24);
    uint32_t limit;
    uint32_t kind = pick >> 28;
    if (kind < 8)
        limit = 1 + (pick & 0x1FF);
    else if (kind < 11)
        limit = 1 + (pick & 0x3FFF);
    else if (kind < 14)
        limit = 65536 - 256 + (pick & 0x1FF);
    else if (kind == 14)
        limit = 1 + (pick & 0x1FFFF);
    else
        limit = (pick & 0x3F) == 0 ? 1 + (pick & 0x3FFFFF) : 1 + (pick & 0x3FFFF);
    uint8_t* out = static_cast<uint8_t*>(malloc(limit));
    uint8_t* window = static_cast<uint8_t*>(malloc(kInflateWindowSize));
    if (out && window) {
        InflateState state;
        memset(&state, 0, sizeof state);
        state.window = window;
        int r = Inflate(&state, data + 4, out, static_cast<uint32_t>(size - 4), limit);
        if (state.outputCount > limit || (r == 0 && state.fixedLiteralTable))
            abort();
    }
    free(out);
    free(window);
    return 0;
}
