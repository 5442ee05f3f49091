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

void PutBytes(std::vector<uint8_t>& v, const std::string& s)
{
    v.insert(v.end(), s.begin(), s.end());
}

}  // namespace

std::vector<uint8_t> BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options)
{
    std::vector<uint8_t> out = options.prefix;
    const size_t base = out.size();
    std::vector<uint8_t> central;

    for (const ZipMember& m : members) {
        std::vector<uint8_t> data = m.compressed;
        if (data.empty() && !m.data.empty())
            data = m.method == 8 ? DeflateFixed(m.data) : m.data;
        uint16_t flags = static_cast<uint16_t>(m.flags | (m.descriptor ? 8 : 0));
        uint32_t csize = static_cast<uint32_t>(data.size());
        uint32_t usize = static_cast<uint32_t>(m.data.size());
        uint32_t offset = static_cast<uint32_t>(out.size() - base);
        const std::string& localName = m.localName.empty() ? m.name : m.localName;

        // The local header, its name and extra field, the data.
        Put32(out, 0x04034B50);
        Put16(out, m.localVersion >= 0 ? static_cast<uint32_t>(m.localVersion) : m.versionNeeded);
        Put16(out, m.localFlags >= 0 ? static_cast<uint32_t>(m.localFlags) : flags);
        Put16(out, m.localMethod >= 0 ? static_cast<uint32_t>(m.localMethod) : m.method);
        Put32(out, 0x21A34D2C);
        Put32(out, 0);  // the CRC is not read
        Put32(out, m.localCompressed >= 0 ? static_cast<uint32_t>(m.localCompressed) : (m.descriptor ? 0 : csize));
        Put32(out, m.localUncompressed >= 0 ? static_cast<uint32_t>(m.localUncompressed) : (m.descriptor ? 0 : usize));
        Put16(out, static_cast<uint32_t>(localName.size()));
        Put16(out, static_cast<uint32_t>(m.extra.size()));
        PutBytes(out, localName);
        out.insert(out.end(), m.extra.begin(), m.extra.end());
        out.insert(out.end(), data.begin(), data.end());
        if (m.descriptor) {
            if (m.descriptorSignature)
                Put32(out, 0x08074B50);
            Put32(out, 0);
            Put32(out, csize);
            Put32(out, usize);
        }

        // Its central header.
        Put32(central, 0x02014B50);
        Put16(central, 20);
        Put16(central, m.versionNeeded);
        Put16(central, flags);
        Put16(central, m.method);
        Put32(central, 0x21A34D2C);
        Put32(central, 0);
        Put32(central, csize);
        Put32(central, usize);
        Put16(central, static_cast<uint32_t>(m.name.size()));
        Put16(central, static_cast<uint32_t>(m.extra.size()));
        Put16(central, static_cast<uint32_t>(m.comment.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, offset);
        PutBytes(central, m.name);
        central.insert(central.end(), m.extra.begin(), m.extra.end());
        PutBytes(central, m.comment);
    }

    // The directory and the end record.
    uint32_t centralOffset = static_cast<uint32_t>(out.size() - base);
    out.insert(out.end(), central.begin(), central.end());
    uint32_t count = options.countOverride >= 0 ? static_cast<uint32_t>(options.countOverride)
                                                 : static_cast<uint32_t>(members.size());
    Put32(out, 0x06054B50);
    Put16(out, options.disk);
    Put16(out, 0);
    Put16(out, count);
    Put16(out, count);
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
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
