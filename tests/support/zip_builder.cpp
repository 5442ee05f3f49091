#include "support/zip_builder.h"

#include "support/deflate_writer.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

void Put64(std::vector<uint8_t>& v, uint64_t x)
{
    Put32(v, static_cast<uint32_t>(x));
    Put32(v, static_cast<uint32_t>(x >> 32));
}

void PutBytes(std::vector<uint8_t>& v, const std::string& s)
{
    v.insert(v.end(), s.begin(), s.end());
}

// A Zip64 extended-information block of the given 8-byte values.
std::vector<uint8_t> Zip64Block(const std::vector<uint64_t>& values)
{
    std::vector<uint8_t> b;
    Put16(b, 1);
    Put16(b, static_cast<uint32_t>(8 * values.size()));
    for (uint64_t v : values)
        Put64(b, v);
    return b;
}

}  // namespace

ZipMember MakeZipMember(const std::string& name, const std::vector<uint8_t>& data, uint16_t method)
{
    ZipMember m;
    m.name = name;
    m.data = data;
    m.method = method;
    return m;
}

uint32_t ReferenceCrc32(const std::vector<uint8_t>& data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::vector<uint8_t> UnicodePathExtra(const std::string& utf8, const std::string& raw, int64_t crc)
{
    std::vector<uint8_t> b;
    Put16(b, 0x7075);
    Put16(b, static_cast<uint32_t>(5 + utf8.size()));
    b.push_back(1);
    Put32(b, crc >= 0 ? static_cast<uint32_t>(crc) : ReferenceCrc32(std::vector<uint8_t>(raw.begin(), raw.end())));
    PutBytes(b, utf8);
    return b;
}

std::vector<uint8_t> BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options)
{
    std::vector<uint8_t> out = options.prefix;
    const size_t base = out.size();
    std::vector<uint8_t> central;

    for (const ZipMember& m : members) {
        std::vector<uint8_t> data = m.compressed;
        if (data.empty() && !m.data.empty())
            data = m.method == 8 ? DeflateFixed(m.data) : m.data;
        const bool descriptor = m.descriptor || m.streamed;
        const bool zip64 = m.zip64 || m.streamed;
        uint16_t flags = static_cast<uint16_t>(m.flags | (descriptor ? 8 : 0));
        uint16_t version = zip64 ? 45 : m.versionNeeded;
        uint32_t crc = m.crc >= 0 ? static_cast<uint32_t>(m.crc) : ReferenceCrc32(m.data);
        uint32_t csize = static_cast<uint32_t>(data.size());
        uint32_t usize = static_cast<uint32_t>(m.data.size());
        uint32_t offset = static_cast<uint32_t>(out.size() - base);
        const std::string& localName = m.localName.empty() ? m.name : m.localName;

        // The extra fields: Zip64 blocks first.
        std::vector<uint8_t> localExtra, centralExtra;
        if (m.streamed)
            localExtra = Zip64Block({0, 0});
        else if (m.zip64)
            localExtra = Zip64Block({usize, csize});
        if (m.zip64 && !m.streamed)
            centralExtra = Zip64Block({usize, csize, offset});
        localExtra.insert(localExtra.end(), m.extra.begin(), m.extra.end());
        centralExtra.insert(centralExtra.end(), m.extra.begin(), m.extra.end());

        // The local header, its name and extra field, the data.
        uint32_t localCsize = zip64 ? 0xFFFFFFFF : descriptor ? 0 : csize;
        uint32_t localUsize = zip64 ? 0xFFFFFFFF : descriptor ? 0 : usize;
        Put32(out, 0x04034B50);
        Put16(out, m.localVersion >= 0 ? static_cast<uint32_t>(m.localVersion) : version);
        Put16(out, m.localFlags >= 0 ? static_cast<uint32_t>(m.localFlags) : flags);
        Put16(out, m.localMethod >= 0 ? static_cast<uint32_t>(m.localMethod) : m.method);
        Put32(out, 0x21A34D2C);
        Put32(out, descriptor ? 0 : crc);
        Put32(out, m.localCompressed >= 0 ? static_cast<uint32_t>(m.localCompressed) : localCsize);
        Put32(out, m.localUncompressed >= 0 ? static_cast<uint32_t>(m.localUncompressed) : localUsize);
        Put16(out, static_cast<uint32_t>(localName.size()));
        Put16(out, static_cast<uint32_t>(localExtra.size()));
        PutBytes(out, localName);
        out.insert(out.end(), localExtra.begin(), localExtra.end());
        out.insert(out.end(), data.begin(), data.end());
        if (descriptor) {
            if (m.descriptorSignature)
                Put32(out, 0x08074B50);
            Put32(out, crc);
            if (m.streamed) {
                Put64(out, csize);
                Put64(out, usize);
            } else {
                Put32(out, csize);
                Put32(out, usize);
            }
        }

        // Its central header.
        const bool central64 = m.zip64 && !m.streamed;
        Put32(central, 0x02014B50);
        Put16(central, zip64 ? 0x031E : 20);
        Put16(central, version);
        Put16(central, flags);
        Put16(central, m.method);
        Put32(central, 0x21A34D2C);
        Put32(central, crc);
        Put32(central, central64 ? 0xFFFFFFFF : csize);
        Put32(central, central64 ? 0xFFFFFFFF : usize);
        Put16(central, static_cast<uint32_t>(m.name.size()));
        Put16(central, static_cast<uint32_t>(centralExtra.size()));
        Put16(central, static_cast<uint32_t>(m.comment.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, central64 ? 0xFFFFFFFF : offset);
        PutBytes(central, m.name);
        central.insert(central.end(), centralExtra.begin(), centralExtra.end());
        PutBytes(central, m.comment);
    }

    // The directory, the Zip64 end record and locator when asked for, and the end record.
    uint32_t centralOffset = static_cast<uint32_t>(out.size() - base);
    out.insert(out.end(), central.begin(), central.end());
    uint32_t count = options.countOverride >= 0 ? static_cast<uint32_t>(options.countOverride)
                                                 : static_cast<uint32_t>(members.size());
    if (options.zip64End) {
        uint64_t at = out.size() - base;
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 0x031E);
        Put16(out, 45);
        Put32(out, options.disk);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, central.size());
        Put64(out, centralOffset);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, at);
        Put32(out, 1);
    }
    Put32(out, 0x06054B50);
    Put16(out, options.zip64End ? 0 : options.disk);
    Put16(out, 0);
    Put16(out, options.zip64End ? 0xFFFF : count);
    Put16(out, options.zip64End ? 0xFFFF : count);
    Put32(out, options.zip64End ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
    Put32(out, options.zip64End ? 0xFFFFFFFF : centralOffset);
    Put16(out, static_cast<uint32_t>(options.comment.size()));
    PutBytes(out, options.comment);
    return out;
}

size_t FindEndRecord(const std::vector<uint8_t>& zip)
{
    for (size_t at = zip.size() >= 22 ? zip.size() - 22 + 1 : 0; at-- > 0;)
        if (zip[at] == 0x50 && zip[at + 1] == 0x4B && zip[at + 2] == 5 && zip[at + 3] == 6)
            return at;
    return SIZE_MAX;
}
