// ReadLzhDirectory with ExtractLzhMember on arbitrary archives in memory:
// each member as a preview (18 bytes from at most 768), whole (up to 8 KB:
// longer outputs only repeat the same decoding steps, and keeping each run
// short lets the fuzzer try many more archives) and as one byte from one,
// then an index past the end; a checksum mismatch must mark its entry.
#include <cstdlib>
#include <cstring>

#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The directory, then the first 8 members under three pairs of limits.
    ArchiveReader reader;
    reader.file = FileOpenMemory(data, size);
    if (reader.file == kInvalidFile)
        return 0;
    if (ReadLzhDirectory(&reader, reader.file, 0) == kLzhDirOk) {
        uint32_t members = reader.count < 8 ? reader.count : 8;
        for (uint32_t i = 0; i < members; ++i) {
            uint32_t size32 = reader.entries[i].uncompressedSize;
            const uint32_t limits[3][2] = {{768, 18}, {0, size32 < (1u << 13) ? 0 : (1u << 13)}, {1, 1}};
            for (const auto& l : limits) {
                uint32_t out = l[1] != 0 && l[1] < size32 ? l[1] : size32;
                uint8_t* dst = static_cast<uint8_t*>(malloc(out ? out : 1));
                // A checksum mismatch is only found on a whole member, and marks it.
                if (dst && ExtractLzhMember(&reader, i, dst, l[0], l[1]) == kLzhExtractChecksumMismatch &&
                    (out != size32 || !reader.entries[i].checksumMismatch))
                    abort();
                free(dst);
            }
        }
        ExtractLzhMember(&reader, reader.count, nullptr, 0, 0);
    }
    CloseArchive(&reader);
    return 0;
}
