#include "archive/zip_directory.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/zip_fields.h"
#include "decode/byte_reader.h"
#include "platform/cursor.h"

namespace {

// Record signatures, read as little-endian 32-bit values.
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kDescriptorSignature = 0x08074B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordRead = 20;
constexpr size_t kEndRecordSize = 22;
constexpr uint64_t kLargestComment = 65535;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRead = 56;
constexpr size_t kLargestExtra = 65535;
constexpr uint64_t kLargestPosition = uint64_t(1) << 62;

// Reads of a file at absolute positions through a cache, so that the walk's
// many small reads do not each reach the operating system.
class CachedFile {
public:
    static constexpr size_t kCacheSize = 65536;

    explicit CachedFile(FileHandle file) : file_(file), cache_(new (std::nothrow) uint8_t[kCacheSize]) {}
    bool ok() const { return cache_ != nullptr; }

    // Copies up to count bytes from position pos; returns how many there were.
    size_t ReadAt(uint64_t pos, uint8_t* dst, size_t count)
    {
        if (pos >= cacheStart_ && pos - cacheStart_ <= cacheLength_ &&
            cacheLength_ - (pos - cacheStart_) >= count) {
            memcpy(dst, cache_.get() + (pos - cacheStart_), count);
            return count;
        }
        if (count >= kCacheSize)
            return Direct(pos, dst, count);

        // Refill from pos; what the file holds there may be less than asked.
        cacheStart_ = pos;
        cacheLength_ = 0;
        int64_t got = FileSeek(file_, pos) ? FileRead(file_, cache_.get(), kCacheSize) : -1;
        if (got <= 0)
            return 0;
        cacheLength_ = static_cast<size_t>(got);
        size_t n = count < cacheLength_ ? count : cacheLength_;
        memcpy(dst, cache_.get(), n);
        return n;
    }

private:
    size_t Direct(uint64_t pos, uint8_t* dst, size_t count)
    {
        int64_t got = FileSeek(file_, pos) ? FileRead(file_, dst, count) : -1;
        return got > 0 ? static_cast<size_t>(got) : 0;
    }

    FileHandle file_;
    std::unique_ptr<uint8_t[]> cache_;
    uint64_t cacheStart_ = 0;
    size_t cacheLength_ = 0;
};

// Walks the records from start to the end record. Returns true and its
// position when found; false when the walk runs off the file.
bool WalkToEndRecord(CachedFile& in, uint64_t start, uint64_t* found)
{
    uint64_t p = start;
    uint8_t h[kCentralHeaderSize];
    std::unique_ptr<uint8_t[]> extra;
    for (;;) {
        if (in.ReadAt(p, h, 4) < 4)
            return false;
        uint32_t signature = ReadLE32(h, 4, 0);

        // A local header: cross its name, extra field and data.
        if (signature == kLocalSignature) {
            if (in.ReadAt(p, h, kLocalHeaderSize) < kLocalHeaderSize)
                return false;
            uint64_t compressed = ReadLE32(h, sizeof h, 18);
            uint32_t n = ReadLE16(h, sizeof h, 26);
            uint32_t m = ReadLE16(h, sizeof h, 28);

            // A Zip64 member's compressed size is in its extra field; one
            // that no file can hold ends the walk before p could wrap.
            if (compressed == kZip64Marker) {
                if (!extra)
                    extra.reset(new (std::nothrow) uint8_t[kLargestExtra]);
                if (!extra)
                    return false;
                uint64_t uncompressed = ReadLE32(h, sizeof h, 22);
                size_t got = in.ReadAt(p + kLocalHeaderSize + n, extra.get(), m);
                ReadZip64Sizes(extra.get(), got, &uncompressed, &compressed, nullptr);
                if (compressed >= kLargestPosition)
                    return false;
            }
            p += kLocalHeaderSize + compressed + n + m;

        // A data descriptor: its signature, CRC and compressed size.
        } else if (signature == kDescriptorSignature) {
            p += 12;

        // A central header: cross its name, extra field and comment.
        } else if (signature == kCentralSignature) {
            if (in.ReadAt(p, h, 34) < 34)
                return false;
            p += kCentralHeaderSize + uint64_t(ReadLE16(h, sizeof h, 28)) + ReadLE16(h, sizeof h, 30) +
                 ReadLE16(h, sizeof h, 32);

        } else if (signature == kEndSignature) {
            *found = p;
            return true;
        } else {
            p += 4;
        }
    }
}

// Searches the end record's signature backwards from the end of the file,
// over the largest comment's reach. Returns true and its position when found.
bool SearchEndRecordBackwards(FileHandle file, uint64_t start, uint64_t* found)
{
    int64_t size = FileSize(file);
    if (size < 0 || static_cast<uint64_t>(size) < start + kEndRecordSize)
        return false;
    uint64_t end = static_cast<uint64_t>(size);
    uint64_t from = end - start > kEndRecordSize + kLargestComment ? end - kEndRecordSize - kLargestComment : start;

    // One read of the tail, then the search in memory.
    size_t length = static_cast<size_t>(end - from);
    std::unique_ptr<uint8_t[]> tail(new (std::nothrow) uint8_t[length]);
    if (!tail || !FileSeek(file, from) || FileRead(file, tail.get(), length) != static_cast<int64_t>(length))
        return false;
    for (size_t at = length - kEndRecordSize + 1; at-- > 0;) {
        if (ReadLE32(tail.get(), length, at) == kEndSignature) {
            *found = from + at;
            return true;
        }
    }
    return false;
}

// Reads one central header at *pos into entry and moves *pos past it;
// bytes has room for a name and an extra field. Returns kZipDirOk,
// kZipDirBadCentral or kZipDirNoMemory.
int ReadCentralHeader(CachedFile& in, uint64_t* pos, ArchiveEntry* entry, uint8_t* bytes)
{
    uint8_t h[kCentralHeaderSize];
    if (in.ReadAt(*pos, h, sizeof h) < sizeof h || ReadLE32(h, sizeof h, 0) != kCentralSignature)
        return kZipDirBadCentral;

    // The fields kept.
    entry->versionNeeded = ReadLE16(h, sizeof h, 6);
    entry->flags = ReadLE16(h, sizeof h, 8);
    entry->method = ReadLE16(h, sizeof h, 10);
    entry->checksum = ReadLE32(h, sizeof h, 16);
    uint64_t compressed = ReadLE32(h, sizeof h, 20);
    uint64_t uncompressed = ReadLE32(h, sizeof h, 24);
    uint64_t offset = ReadLE32(h, sizeof h, 42);
    uint32_t n = ReadLE16(h, sizeof h, 28);
    uint32_t m = ReadLE16(h, sizeof h, 30);
    uint32_t k = ReadLE16(h, sizeof h, 32);

    // The name must be whole; of the extra field, what the file holds is read.
    if (n > 0 && in.ReadAt(*pos + sizeof h, bytes, n) < n)
        return kZipDirBadCentral;
    const uint8_t* extra = bytes + n;
    size_t extraSize = m > 0 ? in.ReadAt(*pos + sizeof h + n, bytes + n, m) : 0;

    // Zip64 sizes and offset. A member past 32 bits is kept as too large:
    // no memory block could hold it.
    ReadZip64Sizes(extra, extraSize, &uncompressed, &compressed, &offset);
    entry->headerPosition = offset;
    entry->tooLarge = uncompressed > 0xFFFFFFFFu || compressed > 0xFFFFFFFFu;
    entry->compressedSize = entry->tooLarge ? 0xFFFFFFFFu : static_cast<uint32_t>(compressed);
    entry->uncompressedSize = entry->tooLarge ? 0xFFFFFFFFu : static_cast<uint32_t>(uncompressed);

    // The name: UTF-8 by flag bit 11 or a Unicode Path field, else the ANSI code page.
    entry->name = DecodeZipName(bytes, n, entry->flags, extra, extraSize, &entry->nameLength, &entry->nameSource,
                                &entry->rawNameCrc);
    if (!entry->name)
        return kZipDirNoMemory;

    // Past the extra field and the comment.
    *pos += sizeof h + uint64_t(n) + m + k;
    return kZipDirOk;
}

// The Zip64 end record, found through the locator just before the end
// record: when both are there, its entry count and directory offset
// replace those of the end record (whose fields may only say "see Zip64").
// Without them, or when the locator points to no Zip64 end record, the end
// record's values stay. Returns false for a Zip64 end record of another disk.
bool ReadZip64End(CachedFile& in, uint64_t start, uint64_t endPos, uint64_t* count, uint64_t* offset)
{
    uint8_t l[kZip64LocatorSize];
    if (endPos - start < kZip64LocatorSize || in.ReadAt(endPos - kZip64LocatorSize, l, sizeof l) < sizeof l ||
        ReadLE32(l, sizeof l, 0) != kZip64LocatorSignature)
        return true;
    uint64_t at = ReadZipLE64(l, sizeof l, 8);
    uint8_t z[kZip64EndRead];
    if (at > endPos - start || in.ReadAt(start + at, z, sizeof z) < sizeof z ||
        ReadLE32(z, sizeof z, 0) != kZip64EndSignature)
        return true;
    if (ReadLE32(z, sizeof z, 16) != 0)
        return false;
    *count = ReadZipLE64(z, sizeof z, 32);
    *offset = ReadZipLE64(z, sizeof z, 48);
    return true;
}

}  // namespace

// Reads the central directory; returns kZipDirOk or the code of the first failure.
int ReadZipDirectory(ArchiveReader* reader, FileHandle file, uint64_t start)
{
    CachedFile in(file);
    if (!in.ok())
        return kZipDirNoMemory;

    // The end record: walked to from the front; a streamed archive, whose
    // members the walk cannot cross, is searched from the back.
    uint64_t endPos = 0;
    bool found;
    {
        ScopedWaitCursor wait;
        found = WalkToEndRecord(in, start, &endPos) || SearchEndRecordBackwards(file, start, &endPos);
    }
    if (!found)
        return kZipDirNoEnd;

    // Its first 20 bytes: a single disk and the directory's place.
    uint8_t e[kEndRecordRead];
    if (in.ReadAt(endPos, e, sizeof e) < sizeof e)
        return kZipDirShortEnd;
    if (ReadLE16(e, sizeof e, 4) != 0)
        return kZipDirSpanned;
    uint64_t count64 = ReadLE16(e, sizeof e, 10);
    uint64_t offset = ReadLE32(e, sizeof e, 16);
    if (!ReadZip64End(in, start, endPos, &count64, &offset))
        return kZipDirSpanned;
    int64_t fileSize = FileSize(file);
    if (fileSize >= 0 && offset > static_cast<uint64_t>(fileSize))
        return kZipDirBadCentral;
    uint64_t pos = start + offset;

    // A count the file cannot hold fails as its first short header would,
    // before a block is allocated for it.
    if (fileSize >= 0 && (pos > static_cast<uint64_t>(fileSize) ||
                          count64 > (static_cast<uint64_t>(fileSize) - pos) / kCentralHeaderSize))
        return kZipDirBadCentral;
    if (count64 > 0xFFFFFFFFu)
        return kZipDirNoMemory;
    uint32_t count = static_cast<uint32_t>(count64);

    // The entries, every name null until it is read.
    reader->entries = new (std::nothrow) ArchiveEntry[count ? count : 1];
    if (!reader->entries)
        return kZipDirNoMemory;
    reader->count = count;

    // The central headers in turn, with room for a name and an extra field.
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[2 * kLargestExtra]);
    if (!bytes)
        return kZipDirNoMemory;
    for (uint32_t i = 0; i < count; ++i) {
        int result = ReadCentralHeader(in, &pos, &reader->entries[i], bytes.get());
        if (result != kZipDirOk)
            return result;
    }

    // Positions kept are absolute.
    for (uint32_t i = 0; i < count; ++i)
        reader->entries[i].headerPosition += start;
    return kZipDirOk;
}
