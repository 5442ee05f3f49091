// zizeconv list: the members of a ZIP or LZH archive, in archive order.
#include <cstdio>

#include "archive/lzh_directory.h"
#include "archive/zip_directory.h"
#include "image/classify.h"
#include "cli.h"

namespace {

// True when the archive's first bytes classify as LZH; leaves the position anywhere.
bool IsLzh(const std::wstring& path, FileHandle file)
{
    uint8_t header[kClassifyHeaderSize] = {};
    if (!FileSeek(file, 0) || FileRead(file, header, sizeof header) != static_cast<int64_t>(sizeof header))
        return false;
    return ClassifyHeader(path.c_str(), header) == KindLzh;
}

const char* MethodName(uint32_t method, bool lzh)
{
    if (lzh)
        return method == '0' ? "-lh0-" : method == '4' ? "-lh4-" : method == '5' ? "-lh5-" : method == '6' ? "-lh6-"
             : method == '7' ? "-lh7-" : method == 'd' ? "-lhd-" : "other";
    return method == 0 ? "stored" : method == 8 ? "deflated" : "other";
}

}  // namespace

int CmdList(const Args& args)
{
    if (args.size() != 1) {
        PrintError("list: give one archive");
        return 2;
    }
    ArchiveReader reader;
    reader.file = FileOpenRead(args[0].c_str());
    if (reader.file == kInvalidFile) {
        PrintError(WideToUtf8(args[0]) + ": cannot open the file");
        return 1;
    }
    bool lzh = IsLzh(args[0], reader.file);
    int r = lzh ? ReadLzhDirectory(&reader, reader.file, 0) : ReadZipDirectory(&reader, reader.file, 0);
    if (r != 0) {
        PrintError(WideToUtf8(args[0]) + (lzh ? ": cannot read the LZH directory (code " : ": cannot read the ZIP directory (code ") + std::to_string(r) + ")");
        CloseArchive(&reader);
        return 1;
    }

    // index, method, compressed size, size, stored checksum, name
    for (uint32_t i = 0; i < reader.count; ++i) {
        const ArchiveEntry& e = reader.entries[i];
        char line[128];
        if (e.tooLarge)
            snprintf(line, sizeof line, "%u\t%s(%u)\t4G+\t4G+\t", i, MethodName(e.method, lzh), e.method);
        else
            snprintf(line, sizeof line, "%u\t%s(%u)\t%u\t%u\t", i, MethodName(e.method, lzh), e.method,
                     e.compressedSize, e.uncompressedSize);
        char checksum[16];
        snprintf(checksum, sizeof checksum, lzh ? "%04x\t" : "%08x\t", e.checksum);
        PrintLine(line + std::string(checksum) + WideToUtf8(e.name));
    }
    CloseArchive(&reader);
    return 0;
}
