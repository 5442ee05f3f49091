// DecodeLh on arbitrary bytes for each method, and ReadLzhDirectory with
// ExtractLzhMember on arbitrary archives in memory.
#include <cstdlib>
#include <cstring>

#include "archive/lzh_decode.h"
#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The raw decoder: the first bytes choose the method and the output count.
    if (size >= 3) {
        LzhTables* tables = static_cast<LzhTables*>(calloc(1, sizeof(LzhTables)));
        const uint32_t letters[5] = {'4', '5', '6', '7', 'x'};
        uint32_t out = (static_cast<uint32_t>(data[1]) | (static_cast<uint32_t>(data[2]) << 8)) * 4 + 1;
        uint8_t* dst = static_cast<uint8_t*>(malloc(out));
        if (tables && dst)
            DecodeLh(tables, data + 3, size - 3, dst, out, letters[data[0] % 5]);
        free(dst);
        free(tables);
    }

    // The archive path.
    ArchiveReader reader;
    reader.file = FileOpenMemory(data, size);
    if (reader.file == kInvalidFile)
        return 0;
    if (ReadLzhDirectory(&reader, reader.file, 0) == kLzhDirOk) {
        uint32_t members = reader.count < 16 ? reader.count : 16;
        for (uint32_t i = 0; i < members; ++i) {
            uint32_t size32 = reader.entries[i].uncompressedSize;
            const uint32_t limits[3][2] = {{768, 18}, {0, size32 < (1u << 18) ? 0 : (1u << 18)}, {1, 1}};
            for (const auto& l : limits) {
                uint32_t out = l[1] != 0 && l[1] < size32 ? l[1] : size32;
                uint8_t* dst = static_cast<uint8_t*>(malloc(out ? out : 1));
                if (dst)
                    ExtractLzhMember(&reader, i, dst, l[0], l[1]);
                free(dst);
            }
        }
        ExtractLzhMember(&reader, reader.count, nullptr, 0, 0);
    }
    CloseArchive(&reader);
    return 0;
}
