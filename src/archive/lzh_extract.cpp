#include "archive/lzh_extract.h"

#include <cstdlib>

#include "archive/checksum.h"
#include "archive/lzh_decode.h"

namespace {

// The bit reader loads four bytes at a time; three spare bytes after the
// data keep its last load inside the buffer.
constexpr uint32_t kSpareBytes = 3;

// True when count bytes could be read at position pos into dst.
bool ReadExactly(FileHandle file, uint64_t pos, uint8_t* dst, size_t count)
{
    if (!FileSeek(file, pos))
        return false;
    size_t got = 0;
    while (got < count) {
        int64_t n = FileRead(file, dst + got, count - got);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// The result for out bytes delivered in dst: the whole member must match
// its CRC-16; a part has nothing to compare with.
int CheckWhole(ArchiveEntry& e, const uint8_t* dst, uint32_t out)
{
    if (out < e.uncompressedSize || Crc16Update(0, dst, out) == e.checksum)
        return kLzhExtractOk;
    if (!e.checksumMismatch)
        e.checksumMismatch = true;
    return kLzhExtractChecksumMismatch;
}

}  // namespace

bool LzhMemberSizePossible(const ArchiveEntry& entry)
{
    uint64_t most = 0;
    if (entry.method == '0') {
        most = entry.compressedSize;
    } else if (entry.method != 'd') {
        uint64_t headBits = entry.method == '6' || entry.method == '7' ? kLhMinBlockHeadBits + 2 : kLhMinBlockHeadBits;
        uint64_t blocks = (uint64_t(entry.compressedSize) * 8 + headBits - 1) / headBits;
        most = blocks * kLhMaxBlockOutput;
    }
    return entry.uncompressedSize <= most;
}

// Copies a stored member or decodes a compressed one into dst.
int ExtractLzhMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit)
{
    if (!reader || !reader->entries || index >= reader->count)
        return kLzhExtractBadIndex;
    ArchiveEntry& e = reader->entries[index];
    if (!LzhMemberSizePossible(e))
        return kLzhExtractImpossibleSize;

    // How much is delivered and how much compressed data is read.
    uint32_t out = outputLimit != 0 && outputLimit < e.uncompressedSize ? outputLimit : e.uncompressedSize;
    uint32_t in = compressedLimit != 0 && compressedLimit < e.compressedSize ? compressedLimit : e.compressedSize;
    if (out > 0 && !dst)
        return kLzhExtractBadIndex;

    // A stored member is copied.
    if (e.method == '0') {
        if (out > 0 && !ReadExactly(reader->file, e.dataPosition, dst, out))
            return kLzhExtractShortData;
        return CheckWhole(e, dst, out);
    }

    // Refuse what the file cannot hold before allocating for it.
    int64_t fileSize = FileSize(reader->file);
    if (fileSize >= 0 && (e.dataPosition > static_cast<uint64_t>(fileSize) ||
                          static_cast<uint64_t>(fileSize) - e.dataPosition < in))
        return kLzhExtractShortData;
    if (!reader->lzhTables) {
        reader->lzhTables = static_cast<LzhTables*>(calloc(1, sizeof(LzhTables)));
        if (!reader->lzhTables)
            return kLzhExtractNoMemory;
    }

    // The compressed bytes with their spare bytes.
    uint8_t* data = static_cast<uint8_t*>(calloc(static_cast<size_t>(in) + kSpareBytes, 1));
    if (!data)
        return kLzhExtractNoMemory;
    if (in > 0 && !ReadExactly(reader->file, e.dataPosition, data, in)) {
        free(data);
        return kLzhExtractShortData;
    }

    // Decode; nothing produced (a bad table, or an empty member) is a failure.
    uint32_t produced = DecodeLh(reader->lzhTables, data, static_cast<size_t>(in) + kSpareBytes, dst, out, e.method);
    free(data);
    return produced == 0 ? kLzhExtractDecodeFailed : CheckWhole(e, dst, out);
}
