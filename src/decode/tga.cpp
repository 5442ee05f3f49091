// TGA decoder. Pixels and colour map entries become blue, green, red, alpha;
// run-length packets run on across row ends; rows are visited in the file's
// interleave order and placed by the descriptor's origin bit.
#include "decode/tga.h"

#include <cstring>
#include <memory>
#include <new>

#include "decode/byte_reader.h"

namespace {

constexpr size_t kHeaderSize = 18;

// Descriptor bits: top-left origin, and the interleave field.
constexpr uint8_t kTopLeft = 0x20;
constexpr int kInterleaveShift = 6;

// A colour-mapped pixel whose value is not below the map length.
constexpr uint8_t kOutsideMap[4] = {0, 0, 0, 255};

struct TgaHeader {
    uint8_t idLength;
    uint8_t mapType;       // not 0: a colour map follows the image ID
    uint8_t imageType;     // 9, 10, 11: run-length coded
    uint16_t mapLength;
    uint8_t mapEntrySize;
    uint32_t width;
    uint32_t height;
    uint8_t depth;
    uint8_t descriptor;
};

// What the picture's pixels need besides their bytes.
struct PixelFormat {
    uint8_t depth;
    size_t size;             // bytes per pixel
    const uint8_t* map;      // 4 bytes an entry, or null without a colour map
    uint32_t mapLength;
};

// Reads the header; false when the source is shorter than the size fields.
bool ReadHeader(const uint8_t* source, size_t sourceSize, TgaHeader* h)
{
    if (sourceSize < 16)
        return false;
    h->idLength = source[0];
    h->mapType = source[1];
    h->imageType = source[2];
    h->mapLength = ReadLE16(source, sourceSize, 5);
    h->mapEntrySize = source[7];
    h->width = ReadLE16(source, sourceSize, 12);
    h->height = ReadLE16(source, sourceSize, 14);
    h->depth = ReadU8(source, sourceSize, 16);
    h->descriptor = ReadU8(source, sourceSize, 17);
    return true;
}

// Returns the bytes of a pixel of the given depth, 0 for depths not decoded.
size_t PixelBytes(uint8_t depth)
{
    switch (depth) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

// Returns the bytes of a colour map entry: any size but 8, 15, 16, 24 takes 4.
size_t EntryBytes(uint8_t entrySize)
{
    switch (entrySize) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    default: return 4;
    }
}

// Returns count bytes at at: the source itself when they lie inside it,
// else tmp holding what is there followed by zeros.
const uint8_t* Fetch(const uint8_t* source, size_t sourceSize, size_t at, size_t count, uint8_t* tmp)
{
    if (InSource(sourceSize, at, count))
        return source + at;
    for (size_t i = 0; i < count; ++i)
        tmp[i] = ReadU8(source, sourceSize, at + i);
    return tmp;
}

// Converts a value of size bytes (1 to 4) to blue, green, red, alpha: one
// byte is grey (alpha too), two bytes are 5-bit channels shifted left by 3.
void ConvertDirect(const uint8_t* p, size_t size, uint8_t* out)
{
    switch (size) {
    case 1:
        out[0] = out[1] = out[2] = out[3] = p[0];
        break;
    case 2: {
        uint32_t v = p[0] | (p[1] << 8);
        out[0] = static_cast<uint8_t>((v & 0x1F) << 3);
        out[1] = static_cast<uint8_t>((v >> 2) & 0xF8);
        out[2] = static_cast<uint8_t>((v >> 7) & 0xF8);
        out[3] = 255;
        break;
    }
    case 3:
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = 255;
        break;
    default:
        std::memcpy(out, p, 4);
        break;
    }
}

// Converts one pixel's bytes; 8-bit pixels with a map take its entry.
void ConvertPixel(const PixelFormat& f, const uint8_t* p, uint8_t* out)
{
    if (f.size == 1 && f.map) {
        const uint8_t* e = p[0] < f.mapLength ? f.map + size_t(p[0]) * 4 : kOutsideMap;
        std::memcpy(out, e, 4);
        return;
    }
    ConvertDirect(p, f.size, out);
}

// Fills the colour map table from the entries at pos and moves pos past
// them. Entries past the end of the source read as zero bytes.
void ReadColourMap(const uint8_t* source, size_t sourceSize, const TgaHeader& h, size_t* pos, uint8_t* table)
{
    size_t size = EntryBytes(h.mapEntrySize);
    uint8_t tmp[4];
    for (uint32_t i = 0; i < h.mapLength; ++i, *pos += size)
        ConvertDirect(Fetch(source, sourceSize, *pos, size, tmp), size, table + size_t(i) * 4);
}

// Pixel values in file order, uncompressed or from run-length packets that
// run on across rows. Past the end of the source values read as zero bytes.
struct PixelStream {
    const uint8_t* source;
    size_t sourceSize;
    size_t pos;
    bool runLength;
    PixelFormat format;
    uint32_t left = 0;     // pixels still due from the current packet
    bool run = false;      // the current packet repeats value
    uint8_t value[4] = {};

    // Writes the next count pixels at out, bpp bytes apart.
    void Take(uint32_t count, uint8_t* out, size_t bpp)
    {
        while (count > 0) {
            if (!runLength) {
                Raw(count, out, bpp);
                return;
            }
            if (left == 0)
                StartPacket();
            uint32_t n = left < count ? left : count;
            if (run) {
                for (uint32_t i = 0; i < n; ++i, out += bpp)
                    std::memcpy(out, value, bpp);
            } else {
                Raw(n, out, bpp);
                out += size_t(n) * bpp;
            }
            left -= n;
            count -= n;
        }
    }

private:
    // Reads a packet header; a run packet's single value is read at once.
    void StartPacket()
    {
        uint8_t c = ReadU8(source, sourceSize, pos++);
        left = (c & 0x7F) + 1u;
        run = (c & 0x80) != 0;
        if (run) {
            uint8_t tmp[4];
            ConvertPixel(format, Fetch(source, sourceSize, pos, format.size, tmp), value);
            pos += format.size;
        }
    }

    // Reads count pixel values one after another.
    void Raw(uint32_t count, uint8_t* out, size_t bpp)
    {
        uint8_t tmp[4];
        uint8_t px[4];
        for (uint32_t i = 0; i < count; ++i, out += bpp, pos += format.size) {
            ConvertPixel(format, Fetch(source, sourceSize, pos, format.size, tmp), px);
            std::memcpy(out, px, bpp);
        }
    }
};

}  // namespace

bool GetTgaSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    TgaHeader h;
    if (!ReadHeader(source, sourceSize, &h))
        return false;
    *width = h.width;
    *height = h.height;
    return true;
}

int DecodeTga(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    TgaHeader h;
    if (!ReadHeader(source, sourceSize, &h))
        return -1;
    size_t pixelSize = PixelBytes(h.depth);
    if (pixelSize == 0)
        return -1;
    size_t bpp = withAlpha ? 4 : 3;
    uint64_t rowBytes = uint64_t(h.width) * bpp;
    if (rowBytes * h.height > dstSize)
        return -1;

    // The colour map follows the image ID; the pixels follow the map.
    size_t pos = kHeaderSize + h.idLength;
    std::unique_ptr<uint8_t[]> map;
    if (h.mapType != 0) {
        map.reset(new (std::nothrow) uint8_t[size_t(h.mapLength) * 4]);
        if (!map)
            return -1;
        ReadColourMap(source, sourceSize, h, &pos, map.get());
    }
    PixelFormat format{h.depth, pixelSize, map.get(), h.mapType != 0 ? h.mapLength : 0u};
    PixelStream stream{source, sourceSize, pos, h.imageType >= 9 && h.imageType <= 11, format};

    // Rows in file order; interleaved files restart one row further down
    // each time they pass the bottom.
    uint32_t interleave = (h.descriptor >> kInterleaveShift) & 3;
    uint32_t step = interleave == 2 ? 4 : interleave == 1 ? 2 : 1;
    bool topLeft = (h.descriptor & kTopLeft) != 0;
    uint32_t v = 0;
    uint32_t restart = 0;
    for (uint32_t i = 0; i < h.height; ++i) {
        uint32_t row = topLeft ? v : h.height - 1 - v;
        stream.Take(h.width, dst + row * rowBytes, bpp);
        v += step;
        if (v >= h.height)
            v = ++restart;
    }
    return h.depth;
}
