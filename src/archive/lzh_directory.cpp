#include "archive/lzh_directory.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "archive/lzh_decode.h"
#include "decode/byte_reader.h"

namespace {

constexpr size_t kBaseSize = 22;
constexpr uint32_t kLevel2Minimum = 23;
constexpr uint8_t kLhaSeparator = 0xFF;

// The fields every header level shares.
struct LzhHeader {
    uint8_t bytes[kBaseSize];
    uint32_t method = 0;
    uint32_t level = 0;
    uint32_t compressedSize = 0;
    uint64_t headerSize = 0;  // H at level 2, h + 2 otherwise
};

// Reads up to count bytes at pos; returns how many came.
size_t ReadAt(FileHandle file, uint64_t pos, uint8_t* dst, size_t count)
{
    if (!FileSeek(file, pos))
        return 0;
    size_t got = 0;
    while (got < count) {
        int64_t n = FileRead(file, dst + got, count - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// True when a header begins at pos; fills h.
bool ReadHeader(FileHandle file, uint64_t pos, LzhHeader* h)
{
    if (ReadAt(file, pos, h->bytes, kBaseSize) < kBaseSize)
        return false;
    const uint8_t* b = h->bytes;
    if (b[2] != '-' || b[3] != 'l' || b[4] != 'h' || b[6] != '-')
        return false;
    h->method = b[5];
    h->level = b[20];
    h->compressedSize = ReadLE32(b, kBaseSize, 7);
    h->headerSize = h->level == 2 ? ReadLE16(b, kBaseSize, 0) : static_cast<uint64_t>(b[0]) + 2;
    return true;
}

// True for the method letters the extraction handles.
bool KnownMethod(uint32_t letter)
{
    return letter == '0' || (letter >= '4' && letter <= '7') || letter == 'd';
}

// A byte copy of an extension header's name with 0xFF as the backslash.
struct NameBytes {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
    bool present = false;

    // Takes size bytes; returns false when out of memory.
    bool Take(const uint8_t* from, uint32_t n)
    {
        bytes.reset(new (std::nothrow) uint8_t[n ? n : 1]);
        if (!bytes)
            return false;
        for (uint32_t i = 0; i < n; ++i)
            bytes[i] = from[i] == kLhaSeparator ? '\\' : from[i];
        size = n;
        present = true;
        return true;
    }
};

// Makes the entry's name from the directory part and the file part. Returns
// false when out of memory.
bool JoinName(ArchiveEntry* e, const NameBytes& dir, const uint8_t* file, uint32_t fileSize)
{
    uint64_t total = static_cast<uint64_t>(dir.size) + fileSize;
    std::unique_ptr<uint8_t[]> joined(new (std::nothrow) uint8_t[total ? total : 1]);
    if (!joined)
        return false;
    if (dir.size)
        memcpy(joined.get(), dir.bytes.get(), dir.size);
    if (fileSize)
        memcpy(joined.get() + dir.size, file, fileSize);
    e->name = ConvertArchiveName(joined.get(), static_cast<uint32_t>(total), &e->nameLength);
    return e->name != nullptr;
}

// Levels 0 and 1: the base name, then at level 1 the extension headers.
// Returns a result code.
int ReadLevel01(FileHandle file, uint64_t pos, const LzhHeader& h, ArchiveEntry* e)
{
    uint32_t n = h.bytes[21];
    uint8_t base[256 + 2];
    size_t got = ReadAt(file, pos + kBaseSize, base, n + 2);
    if (got < n)
        return kLzhDirShortHeader;

    // The member's CRC-16 follows the name; a header cut before it belongs
    // to a member whose data is missing too.
    e->checksum = ReadLE16(base, got, n);
    e->dataPosition = pos + h.headerSize;
    if (h.level == 0)
        return JoinName(e, NameBytes(), base, n) ? kLzhDirOk : kLzhDirNoMemory;

    // The extension headers follow the CRC-16 and the OS identifier.
    NameBytes fileName, dirName;
    uint64_t at = pos + kBaseSize + n + 3;
    uint64_t total = 0;
    uint8_t sizeBytes[2];
    std::unique_ptr<uint8_t[]> ext(new (std::nothrow) uint8_t[65536]);
    if (!ext)
        return kLzhDirNoMemory;
    while (ReadAt(file, at, sizeBytes, 2) == 2) {
        uint32_t size = ReadLE16(sizeBytes, 2, 0);
        if (size == 0)
            break;
        // A size of 1 or 2 cannot hold its own type byte.
        if (size < 3)
            return kLzhDirShortHeader;
        total += size;
        at += 2;
        if (ReadAt(file, at, ext.get(), size - 2) < size - 2)
            return kLzhDirShortHeader;
        at += size - 2;
        bool ok = true;
        if (ext[0] == 1 && !fileName.present)
            ok = fileName.Take(ext.get() + 1, size - 3);
        else if (ext[0] == 2 && !dirName.present)
            ok = dirName.Take(ext.get() + 1, size - 3);
        if (!ok)
            return kLzhDirNoMemory;
    }

    // The extension headers are counted in the compressed size.
    if (total > e->compressedSize)
        return kLzhDirShortHeader;
    e->compressedSize -= static_cast<uint32_t>(total);
    e->dataPosition += total;
    bool ok = fileName.present ? JoinName(e, dirName, fileName.bytes.get(), fileName.size)
                               : JoinName(e, dirName, base, n);
    return ok ? kLzhDirOk : kLzhDirNoMemory;
}

// Level 2: the whole header, then the extension headers inside it. Returns a result code.
int ReadLevel2(FileHandle file, uint64_t pos, const LzhHeader& h, ArchiveEntry* e)
{
    uint32_t size = static_cast<uint32_t>(h.headerSize);
    if (size < kLevel2Minimum)
        return kLzhDirShortHeader;
    std::unique_ptr<uint8_t[]> header(new (std::nothrow) uint8_t[size]);
    if (!header)
        return kLzhDirNoMemory;
    memcpy(header.get(), h.bytes, kBaseSize);
    if (ReadAt(file, pos + kBaseSize, header.get() + kBaseSize, size - kBaseSize) < size - kBaseSize)
        return kLzhDirShortHeader;
    e->dataPosition = pos + size;
    e->checksum = ReadLE16(header.get(), size, 21);

    // Every read of the walk stays inside the header's bytes.
    NameBytes fileName, dirName;
    uint32_t at = 24;
    while (at + 2 <= size) {
        uint32_t n = ReadLE16(header.get(), size, at);
        if (n == 0)
            break;
        if (n < 3 || n > size - at)
            return kLzhDirShortHeader;
        uint8_t type = header[at + 2];
        bool ok = true;
        if (type == 1 && !fileName.present)
            ok = fileName.Take(header.get() + at + 3, n - 3);
        else if (type == 2 && !dirName.present)
            ok = dirName.Take(header.get() + at + 3, n - 3);
        if (!ok)
            return kLzhDirNoMemory;
        at += n;
    }
    return JoinName(e, dirName, fileName.present ? fileName.bytes.get() : nullptr, fileName.size)
               ? kLzhDirOk
               : kLzhDirNoMemory;
}

}  // namespace

// Counts the headers, then fills one entry per header.
int ReadLzhDirectory(ArchiveReader* reader, FileHandle file, uint64_t start)
{
    if (!reader)
        return kLzhDirNoMemory;
    reader->count = 0;
    if (!reader->lzhTables) {
        reader->lzhTables = static_cast<LzhTables*>(calloc(1, sizeof(LzhTables)));
        if (!reader->lzhTables)
            return kLzhDirNoMemory;
    }

    // Counting pass; a level-2 header too small to move on stops it, and the
    // filling pass reports it.
    LzhHeader h;
    uint32_t count = 0;
    for (uint64_t pos = start; ReadHeader(file, pos, &h); pos += h.headerSize + h.compressedSize) {
        if (!KnownMethod(h.method) || h.level > 2)
            return kLzhDirUnsupported;
        ++count;
        if (h.headerSize < kLevel2Minimum && h.level == 2)
            break;
    }

    // The entries, with no names yet.
    reader->entries = new (std::nothrow) ArchiveEntry[count ? count : 1];
    if (!reader->entries)
        return kLzhDirNoMemory;

    // Filling pass.
    uint64_t pos = start;
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadHeader(file, pos, &h))
            return kLzhDirShortHeader;
        ArchiveEntry* e = &reader->entries[i];
        e->headerPosition = pos;
        e->method = h.method;
        e->compressedSize = h.compressedSize;
        e->uncompressedSize = ReadLE32(h.bytes, kBaseSize, 11);
        reader->count = i + 1;
        int r = h.level == 2 ? ReadLevel2(file, pos, h, e) : ReadLevel01(file, pos, h, e);
        if (r != kLzhDirOk)
            return r;
        pos += h.headerSize + h.compressedSize;
    }
    return kLzhDirOk;
}
