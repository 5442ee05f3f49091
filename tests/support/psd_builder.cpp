#include "support/psd_builder.h"

#include <cstring>

namespace {

void PutBE16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

void PutBE32(std::vector<uint8_t>* out, uint32_t v)
{
    PutBE16(out, v >> 16);
    PutBE16(out, v & 0xFFFF);
}

// Appends a section with its 32-bit length.
void PutSection(std::vector<uint8_t>* out, const std::vector<uint8_t>& bytes)
{
    PutBE32(out, uint32_t(bytes.size()));
    out->insert(out->end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<uint8_t> EncodePackBits(const uint8_t* data, size_t count)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && data[i + run] == data[i])
            ++run;
        if (run >= 3) {
            out.push_back(uint8_t(257 - run));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        size_t lit = 0;
        while (i + lit < count && lit < 128) {
            if (i + lit + 2 < count && data[i + lit] == data[i + lit + 1] && data[i + lit] == data[i + lit + 2])
                break;
            ++lit;
        }
        out.push_back(uint8_t(lit - 1));
        out.insert(out.end(), data + i, data + i + lit);
        i += lit;
    }
    return out;
}

std::vector<uint8_t> BuildPsd(const PsdDocument& d)
{
    std::vector<uint8_t> out = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    PutBE16(&out, d.channels);
    PutBE32(&out, d.height);
    PutBE32(&out, d.width);
    PutBE16(&out, d.depth);
    PutBE16(&out, d.mode);
    PutSection(&out, d.colourData);
    PutSection(&out, d.resources);
    PutSection(&out, d.layers);
    PutBE16(&out, d.compression);

    size_t rowBytes = d.RowBytes();
    if (d.compression != 1) {
        for (const std::vector<uint8_t>& plane : d.planes)
            out.insert(out.end(), plane.begin(), plane.end());
        out.insert(out.end(), d.stream.begin(), d.stream.end());
        return out;
    }

    // PackBits: the row byte counts of every channel, then the rows.
    std::vector<uint8_t> counts, rows;
    for (const std::vector<uint8_t>& plane : d.planes) {
        for (uint32_t y = 0; y < d.height; ++y) {
            std::vector<uint8_t> row;
            if (size_t(y + 1) * rowBytes <= plane.size())
                row = EncodePackBits(plane.data() + y * rowBytes, rowBytes);
            if (d.rowsEndWithNoOp)
                row.push_back(128);
            PutBE16(&counts, uint32_t(row.size()));
            rows.insert(rows.end(), row.begin(), row.end());
        }
    }
    if (!d.stream.empty()) {
        counts.assign(size_t(d.height) * d.channels * 2, 0);
        rows = d.stream;
    }
    out.insert(out.end(), counts.begin(), counts.end());
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}
