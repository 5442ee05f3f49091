#include "archive/zip_extract.h"

#include <cwchar>
#include <memory>
#include <new>

#include "archive/inflate.h"
#include "decode/byte_reader.h"

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagUnsupported = 0x0011;  // encryption, and bit 4 (enhanced deflating)

// True when count bytes could be read at position pos into dst.
bool ReadExactly(FileHandle file, uint64_t pos, uint8_t* dst, size_t count)
{
    return FileSeek(file, pos) && FileRead(file, dst, count) == static_cast<int64_t>(count);
}

// Compares the local header with the directory's entry. Returns 0 and the
// position of the member's data, or the code of the difference.
int CheckLocalHeader(FileHandle file, const ArchiveEntry& e, uint64_t* dataPosition)
{
    uint8_t h[kLocalHeaderSize];
    if (!ReadExactly(file, e.headerPosition, h, sizeof h) || ReadLE32(h, sizeof h, 0) != kLocalSignature)
        return kZipExtractBadLocal;

    // Method, version and flags.
    uint16_t version = ReadLE16(h, sizeof h, 4);
    uint16_t flags = ReadLE16(h, sizeof h, 6);
    uint16_t method = ReadLE16(h, sizeof h, 8);
    if (method & ~8u)
        return kZipExtractUnsupported;
    if (version != e.versionNeeded || flags != e.flags || method != e.method)
        return kZipExtractMismatch;

    // Sizes: with a data descriptor (flag bit 3) the local ones are not
    // compared at all, since writers fill them in partly; both 0 also means
    // they come later.
    uint32_t compressed = ReadLE32(h, sizeof h, 18);
    uint32_t uncompressed = ReadLE32(h, sizeof h, 22);
    bool same = compressed == e.compressedSize && uncompressed == e.uncompressedSize;
    if (!(flags & kFlagDescriptor) && !same && !(compressed == 0 && uncompressed == 0))
        return kZipExtractMismatch;

    // The name must be the directory's, exactly.
    uint32_t n = ReadLE16(h, sizeof h, 26);
    uint32_t m = ReadLE16(h, sizeof h, 28);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[n + 1]);
    if (!bytes)
        return kZipExtractInflateFailed;
    if (n > 0 && FileRead(file, bytes.get(), n) != static_cast<int64_t>(n))
        return kZipExtractBadLocal;
    std::unique_ptr<wchar_t[]> name(ConvertArchiveName(bytes.get(), n, nullptr));
    if (!name)
        return kZipExtractInflateFailed;
    if (wcscmp(name.get(), e.name ? e.name : L"") != 0)
        return kZipExtractMismatch;

    *dataPosition = e.headerPosition + kLocalHeaderSize + n + m;
    return kZipExtractOk;
}

// Inflates in compressed bytes at dataPosition into the first out bytes of
// dst. Returns 0, kZipExtractShortData or kZipExtractInflateFailed.
int InflateMember(FileHandle file, uint64_t dataPosition, uint32_t in, uint8_t* dst, uint32_t out)
{
    // Refuse what the file cannot hold before allocating for it.
    int64_t fileSize = FileSize(file);
    if (fileSize >= 0 && (dataPosition > static_cast<uint64_t>(fileSize) ||
                          static_cast<uint64_t>(fileSize) - dataPosition < in))
        return kZipExtractShortData;

    // The compressed bytes.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[in ? in : 1]);
    if (!data)
        return kZipExtractInflateFailed;
    if (in > 0 && !ReadExactly(file, dataPosition, data.get(), in))
        return kZipExtractShortData;

    // The decoder with its window.
    std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[kInflateWindowSize]);
    if (!window)
        return kZipExtractInflateFailed;
    InflateState state = {};
    state.window = window.get();
    if (Inflate(&state, data.get(), dst, in, out) != kInflateOk)
        return kZipExtractInflateFailed;

    // A stream that ends before the bytes the directory promises is damaged.
    return state.outputCount == out ? kZipExtractOk : kZipExtractInflateFailed;
}

}  // namespace

bool ZipMemberSizePossible(const ArchiveEntry& entry)
{
    uint64_t most = entry.method == 0 ? entry.compressedSize : entry.compressedSize * kDeflateMaxExpansion;
    return entry.uncompressedSize <= most;
}

// Checks the member, then copies or inflates its first bytes into dst.
int ExtractZipMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit)
{
    if (!reader || !reader->entries || index >= reader->count)
        return kZipExtractBadIndex;
    const ArchiveEntry& e = reader->entries[index];

    // What can be read at all; an empty member needs nothing.
    if ((e.versionNeeded != 10 && e.versionNeeded != 20) || (e.flags & kFlagUnsupported))
        return kZipExtractUnsupported;
    if (e.uncompressedSize == 0)
        return kZipExtractOk;
    if (!ZipMemberSizePossible(e))
        return kZipExtractImpossibleSize;
    if (!dst)
        return kZipExtractBadIndex;

    uint64_t dataPosition = 0;
    int r = CheckLocalHeader(reader->file, e, &dataPosition);
    if (r != kZipExtractOk)
        return r;

    // How much is delivered and how much compressed data is read.
    uint32_t out = outputLimit != 0 && outputLimit < e.uncompressedSize ? outputLimit : e.uncompressedSize;
    uint32_t in = compressedLimit != 0 && compressedLimit < e.compressedSize ? compressedLimit : e.compressedSize;

    // A stored member is copied; one whose data is shorter than its size
    // cannot give all its bytes.
    if (e.method == 0) {
        if (out > e.compressedSize)
            return kZipExtractShortData;
        return ReadExactly(reader->file, dataPosition, dst, out) ? kZipExtractOk : kZipExtractShortData;
    }

    // A deflated member is always inflated, even when its sizes happen to be equal.
    return InflateMember(reader->file, dataPosition, in, dst, out);
}
