// Arbitrary bytes as an icon group directory and as an icon image: every
// entry id of the directory is read, and the image is composed into an
// 80 x 80 icon image of exactly the size it needs, then into one a byte
// too small, which must be refused without a write.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/icon_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // libFuzzer hands over a heap copy of exactly size bytes, so the
    // sanitizers see any read past the input.
    // The entries counted lie within the directory; one past the last
    // that does gives 0.
    const size_t entries = IconGroupEntryCount(data, size);
    const size_t present = size >= 6 ? (size - 6) / 14 : 0;
    if (entries > present || IconGroupEntryId(data, size, present) != 0)
        __builtin_trap();
    unsigned sum = 0;
    for (size_t e = 0; e < entries; ++e)
        sum += IconGroupEntryId(data, size, e);

    IconLayout layout;
    if (ReadIconLayout(data, size, &layout) && (layout.totalBytes > size || IconImageClass(layout) > 3))
        __builtin_trap();

    uint8_t* out = static_cast<uint8_t*>(std::malloc(IconImage80UsedBytes));
    if (!out)
        return 0;
    ComposeIconImage(data, size, out, IconImage80UsedBytes);
    out[0] ^= uint8_t(sum);
    std::memset(out, 0x5A, IconImage80UsedBytes - 1);
    if (ComposeIconImage(data, size, out, IconImage80UsedBytes - 1) || out[0] != 0x5A)
        __builtin_trap();
    std::free(out);
    return 0;
}
