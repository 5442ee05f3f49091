#include "support/tga_builder.h"

#include <cstring>

namespace {

void PutLE16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

std::vector<uint8_t> EncodeTgaRle(const uint8_t* pixels, size_t count, size_t size)
{
    std::vector<uint8_t> out;
    auto same = [&](size_t a, size_t b) { return std::memcmp(pixels + a * size, pixels + b * size, size) == 0; };
    size_t i = 0;
    while (i < count) {
        // A run of at least two equal values.
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), pixels + i * size, pixels + (i + 1) * size);
            i += run;
            continue;
        }

        // Otherwise raw values up to the next run.
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
            ++raw;
        out.push_back(uint8_t(raw - 1));
        out.insert(out.end(), pixels + i * size, pixels + (i + raw) * size);
        i += raw;
    }
    return out;
}

std::vector<uint8_t> BuildTga(const TgaImage& image)
{
    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(image.id.size()));
    out.push_back(image.mapType);
    out.push_back(image.imageType);
    PutLE16(&out, image.firstEntry);
    PutLE16(&out, image.mapLength);
    out.push_back(image.mapEntrySize);
    PutLE16(&out, 0);
    PutLE16(&out, 0);
    PutLE16(&out, image.width);
    PutLE16(&out, image.height);
    out.push_back(image.depth);
    out.push_back(image.descriptor);
    out.insert(out.end(), image.id.begin(), image.id.end());
    out.insert(out.end(), image.map.begin(), image.map.end());

    size_t size = (image.depth + 7u) / 8;
    if (image.imageType >= 9 && image.imageType <= 11) {
        std::vector<uint8_t> coded = EncodeTgaRle(image.pixels.data(), image.pixels.size() / size, size);
        out.insert(out.end(), coded.begin(), coded.end());
    } else {
        out.insert(out.end(), image.pixels.begin(), image.pixels.end());
    }
    return out;
}
