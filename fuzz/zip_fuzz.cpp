// ReadZipDirectory and ExtractZipMember on arbitrary archives in memory,
// Zip64 records, UTF-8 names and checksums included. Besides the
// sanitizers, the results must keep their promises: a name's length is
// its length, a too large member is refused as such, and a checksum
// mismatch marks its entry.
#include <cstdlib>
#include <cwchar>

#include "archive/zip_directory.h"
#include "archive/zip_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ArchiveReader reader;
    reader.file = FileOpenMemory(data, size);
    if (reader.file == kInvalidFile)
        return 0;
    if (ReadZipDirectory(&reader, reader.file, 0) == kZipDirOk) {
        // Every member three ways: a preview, a capped whole, and a tiny one.
        uint32_t members = reader.count < 16 ? reader.count : 16;
        for (uint32_t i = 0; i < members; ++i) {
            const ArchiveEntry& e = reader.entries[i];
            if (!e.name || wcslen(e.name) != e.nameLength || e.nameSource > kNameUnicodeField)
                abort();
            uint32_t size32 = e.uncompressedSize;
            const uint32_t limits[3][2] = {{768, 18}, {0, size32 < (1u << 18) ? 0 : (1u << 18)}, {1, 1}};
            for (const auto& l : limits) {
                uint32_t out = l[1] != 0 && l[1] < size32 ? l[1] : size32;
                uint8_t* dst = static_cast<uint8_t*>(malloc(out ? out : 1));
                if (dst) {
                    int r = ExtractZipMember(&reader, i, dst, l[0], l[1]);
                    if ((e.tooLarge && r != kZipExtractTooLarge && r != kZipExtractUnsupported) ||
                        (r == kZipExtractChecksumMismatch && (!e.checksumMismatch || out != size32)))
                        abort();
                }
                free(dst);
            }
        }
        ExtractZipMember(&reader, reader.count, nullptr, 0, 0);
    }
    CloseArchive(&reader);
    CloseArchive(&reader);
    return 0;
}
