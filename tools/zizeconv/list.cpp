// zizeconv list: the members of a ZIP archive, in archive order.
#include <cstdio>

#include "archive/zip_directory.h"
#include "cli.h"

namespace {

const char* MethodName(uint32_t method)
{
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
    int r = ReadZipDirectory(&reader, reader.file, 0);
    if (r != kZipDirOk) {
        PrintError(WideToUtf8(args[0]) + ": cannot read the ZIP directory (code " + std::to_string(r) + ")");
        CloseArchive(&reader);
        return 1;
    }

    // index, method, compressed size, size, name
    for (uint32_t i = 0; i < reader.count; ++i) {
        const ArchiveEntry& e = reader.entries[i];
        char line[96];
        snprintf(line, sizeof line, "%u\t%s(%u)\t%u\t%u\t", i, MethodName(e.method), e.method, e.compressedSize,
                 e.uncompressedSize);
        PrintLine(line + WideToUtf8(e.name));
    }
    CloseArchive(&reader);
    return 0;
}
