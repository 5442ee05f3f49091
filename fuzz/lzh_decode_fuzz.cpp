// DecodeLh on arbitrary bytes for each method with arbitrary output counts.
// Input: a method selector, the output count less one (16 bits), a byte
// that picks a shorter count, then the stream.
#include <cstdlib>
#include <cstring>

#include "archive/lzh_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const uint32_t letters[5] = {'4', '5', '6', '7', 'x'};
    const uint32_t method = letters[data[0] % 5];
    const uint32_t out = (static_cast<uint32_t>(data[1]) | (static_cast<uint32_t>(data[2]) << 8)) + 1;
    const uint32_t shorter = static_cast<uint32_t>((static_cast<uint64_t>(out) * data[3]) >> 8) + 1;

    // The stream in a buffer of its exact size, so that any read past it faults.
    const size_t streamSize = size - 4;
    uint8_t* stream = static_cast<uint8_t*>(malloc(streamSize ? streamSize : 1));
    LzhTables* tables = static_cast<LzhTables*>(calloc(1, sizeof(LzhTables)));
    uint8_t* whole = static_cast<uint8_t*>(malloc(out));
    uint8_t* head = static_cast<uint8_t*>(malloc(shorter));
    if (stream && tables && whole && head) {
        if (streamSize)
            memcpy(stream, data + 4, streamSize);
        uint32_t n = DecodeLh(tables, stream, streamSize, whole, out, method);
        uint32_t m = DecodeLh(tables, stream, streamSize, head, shorter, method);

        // Either all or nothing; a shorter count reads a prefix of the same
        // blocks, so it cannot fail where the longer one succeeded.
        if ((n != 0 && n != out) || (m != 0 && m != shorter))
            abort();
        if (n != 0 && (m == 0 || memcmp(whole, head, shorter) != 0))
            abort();
    }
    free(head);
    free(whole);
    free(tables);
    free(stream);
    return 0;
}
