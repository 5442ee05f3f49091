#include "archive/zip_extract.h"

#include <cwchar>
#include <memory>
#include <new>

#include "archive/checksum.h"
#include "archive/inflate.h"
#include "archive/zip_fields.h"
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

// True for the versions needed to extract that this reader meets: 1.0
// (stored), 2.0 (Deflate, folders) and 4.5 (Zip64).
bool KnownVersion(uint16_t version)
{
    return version == 10 || version == 20 || version == 45;
}

// Whether the local name's n bytes name the same member as the directory's
// entry: for a name taken from a Unicode Path field, the same raw bytes by
// their CRC-32; otherwise the same text, read the same way (the flags
// agree), case included. Returns 0, kZipExtractMismatch or, out of memory,
// kZipExtractInflateFailed.
int CompareLocalName(const ArchiveEntry& e, const uint8_t* bytes, uint32_t n)
{
    if (e.nameSource == kNameUnicodeField)
        return Crc32Update(0, bytes, n) == e.rawNameCrc ? kZipExtractOk : kZipExtractMismatch;
    std::unique_ptr<wchar_t[]> name((e.flags & kZipFlagUtf8) ? ConvertUtf8ArchiveName(bytes, n, nullptr)
                                                             : ConvertArchiveName(bytes, n, nullptr));
    if (!name)
        return kZipExtractInflateFailed;
    return wcscmp(name.get(), e.name ? e.name : L"") == 0 ? kZipExtractOk : kZipExtractMismatch;
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

    // The name and the extra field; the name must be whole.
    uint32_t n = ReadLE16(h, sizeof h, 26);
    uint32_t m = ReadLE16(h, sizeof h, 28);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[n + m + 1]);
    if (!bytes)
        return kZipExtractInflateFailed;
    int64_t got = n + m > 0 ? FileRead(file, bytes.get(), n + m) : 0;
    if (got < static_cast<int64_t>(n))
        return kZipExtractBadLocal;
    const size_t extraSize = static_cast<size_t>(got) - n;

    // Sizes, Zip64 ones from the extra field: with a data descriptor (flag
    // bit 3) the local ones are not compared at all, since writers fill them
    // in partly; both 0 also means they come later.
    uint64_t compressed = ReadLE32(h, sizeof h, 18);
    uint64_t uncompressed = ReadLE32(h, sizeof h, 22);
    ReadZip64Sizes(bytes.get() + n, extraSize, &uncompressed, &compressed, nullptr);
    bool same = compressed == e.compressedSize && uncompressed == e.uncompressedSize;
    if (!(flags & kFlagDescriptor) && !same && !(compressed == 0 && uncompressed == 0))
        return kZipExtractMismatch;

    int r = CompareLocalName(e, bytes.get(), n);
    if (r != kZipExtractOk)
        return r;
    *dataPosition = e.headerPosition + kLocalHeaderSize + n + m;
    return kZipExtractOk;
}

// Inflates in compressed bytes at dataPosition into the first out bytes of
// dst; *crc gets their CRC-32. Returns 0, kZipExtractShortData or
// kZipExtractInflateFailed.
int InflateMember(FileHandle file, uint64_t dataPosition, uint32_t in, uint8_t* dst, uint32_t out, uint32_t* crc)
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
    *crc = state.crc;

    // A stream that ends before the bytes the directory promises is damaged.
    return state.outputCount == out ? kZipExtractOk : kZipExtractInflateFailed;
}

}  // namespace

bool ZipMemberSizePossible(const ArchiveEntry& entry)
{
    uint64_t most = entry.method == 0 ? entry.compressedSize : entry.compressedSize * kDeflateMaxExpansion;
    return entry.uncompressedSize <= most;
}

// Checks the member, then copies or inflates its first bytes into dst; the
// whole member is checked against its CRC-32.
int ExtractZipMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit)
{
    if (!reader || !reader->entries || index >= reader->count)
        return kZipExtractBadIndex;
    ArchiveEntry& e = reader->entries[index];

    // What can be read at all; an empty member needs nothing.
    if (!KnownVersion(e.versionNeeded) || (e.flags & kFlagUnsupported))
        return kZipExtractUnsupported;
    if (e.tooLarge)
        return kZipExtractTooLarge;
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
    // cannot give all its bytes. A deflated member is always inflated, even
    // when its sizes happen to be equal.
    uint32_t crc = 0;
    if (e.method == 0) {
        if (out > e.compressedSize || !ReadExactly(reader->file, dataPosition, dst, out))
            return kZipExtractShortData;
        if (out == e.uncompressedSize)
            crc = Crc32Update(0, dst, out);
    } else {
        r = InflateMember(reader->file, dataPosition, in, dst, out, &crc);
        if (r != kZipExtractOk)
            return r;
    }

    // Only the whole member has a checksum to compare.
    if (out < e.uncompressedSize || crc == e.checksum)
        return kZipExtractOk;
    if (!e.checksumMismatch)
        e.checksumMismatch = true;
    return kZipExtractChecksumMismatch;
}
