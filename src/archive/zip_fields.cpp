#include "archive/zip_fields.h"

#include <initializer_list>

#include "archive/archive_reader.h"
#include "archive/checksum.h"
#include "decode/byte_reader.h"

namespace {

constexpr uint16_t kZip64Id = 0x0001;
constexpr uint16_t kUnicodePathId = 0x7075;
constexpr uint8_t kUnicodePathVersion = 1;
constexpr size_t kUnicodePathHead = 5;  // version and the raw name's CRC-32

}  // namespace

uint64_t ReadZipLE64(const uint8_t* p, size_t size, size_t at)
{
    if (at >= size || size - at < 8)
        return 0;
    return ReadLE32(p, size, at) | (uint64_t(ReadLE32(p, size, at + 4)) << 32);
}

bool FindZipExtra(const uint8_t* extra, size_t size, uint16_t id, const uint8_t** data, size_t* length)
{
    for (size_t at = 0; extra && size >= 4 && at <= size - 4;) {
        uint16_t blockId = ReadLE16(extra, size, at);
        size_t blockLength = ReadLE16(extra, size, at + 2);
        if (blockLength > size - at - 4)
            return false;
        if (blockId == id) {
            *data = extra + at + 4;
            *length = blockLength;
            return true;
        }
        at += 4 + blockLength;
    }
    return false;
}

void ReadZip64Sizes(const uint8_t* extra, size_t size, uint64_t* uncompressed, uint64_t* compressed,
                    uint64_t* offset)
{
    const uint8_t* data = nullptr;
    size_t length = 0;
    if (!FindZipExtra(extra, size, kZip64Id, &data, &length))
        return;
    size_t at = 0;
    for (uint64_t* value : {uncompressed, compressed, offset}) {
        if (!value || *value != kZip64Marker)
            continue;
        if (length - at < 8)
            return;
        *value = ReadZipLE64(data, length, at);
        at += 8;
    }
}

wchar_t* DecodeZipName(const uint8_t* name, uint32_t n, uint16_t flags, const uint8_t* extra, size_t m,
                       uint32_t* length, uint8_t* source, uint32_t* rawCrc)
{
    *rawCrc = 0;
    if (flags & kZipFlagUtf8) {
        *source = kNameUtf8;
        return ConvertUtf8ArchiveName(name, n, length);
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (FindZipExtra(extra, m, kUnicodePathId, &data, &size) && size >= kUnicodePathHead &&
        data[0] == kUnicodePathVersion) {
        uint32_t crc = ReadLE32(data, size, 1);
        if (crc == Crc32Update(0, name, n)) {
            *source = kNameUnicodeField;
            *rawCrc = crc;
            return ConvertUtf8ArchiveName(data + kUnicodePathHead, static_cast<uint32_t>(size - kUnicodePathHead),
                                          length);
        }
    }
    *source = kNameCodePage;
    return ConvertArchiveName(name, n, length);
}
