#include "decode/pi.h"

#include "decode/bit_reader.h"
#include "decode/byte_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// What the header says, with the offsets of the palette and the bit stream.
struct PiHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
    bool defaultPalette = false;  // mode bit 7: no palette in the file
    size_t paletteAt = 0;
    size_t streamAt = 0;
};

// Levels of the default palette's 3-bit and 2-bit channels.
const uint8_t kLevel8[8] = {0x00, 0x24, 0x49, 0x6D, 0x92, 0xB6, 0xDB, 0xFF};
const uint8_t kLevel4[4] = {0x00, 0x55, 0xAA, 0xFF};

// Deepest depth decoded: the index plane holds one byte per pixel.
const uint32_t kMaxDepth = 8;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<uint8_t, FreeDeleter>;

// Finds the end of the header texts: the first 0x00 after the first 0x1A at
// or after offset 2. Returns false when either byte is missing.
bool FindTextEnd(const uint8_t* source, size_t sourceSize, size_t* z)
{
    if (sourceSize < 2 || source[0] != 'P' || source[1] != 'i')
        return false;
    return FindCommentEnd(source, sourceSize, 2, z);
}

// Reads the header fields. Returns false when any of them lies beyond the source.
bool ReadPiHeader(const uint8_t* source, size_t sourceSize, PiHeader* h)
{
    size_t z;
    if (!FindTextEnd(source, sourceSize, &z) || !InSource(sourceSize, z, 11))
        return false;
    size_t extension = ReadBE16(source, sourceSize, z + 9);
    size_t sizeAt = z + 11 + extension;
    if (!InSource(sourceSize, sizeAt, 4))
        return false;

    h->defaultPalette = (source[z + 1] & 0x80) != 0;
    h->depth = source[z + 4];
    h->width = ReadBE16(source, sourceSize, sizeAt);
    h->height = ReadBE16(source, sourceSize, sizeAt + 2);
    h->paletteAt = sizeAt + 4;
    h->streamAt = h->paletteAt;
    if (!h->defaultPalette && h->depth <= kMaxDepth)
        h->streamAt += 3 * (size_t(1) << h->depth);
    return true;
}

// Fills the palette (blue, green, red per entry) from the file or with the
// default palette. Entries cut off by the end of the source are black.
void ReadPalette(const uint8_t* source, size_t sourceSize, const PiHeader& h, uint8_t (*palette)[3])
{
    for (uint32_t i = 0; i < 256; ++i) {
        if (h.defaultPalette) {
            palette[i][0] = kLevel8[i >> 5];
            palette[i][1] = kLevel8[(i >> 2) & 7];
            palette[i][2] = kLevel4[i & 3];
        } else {
            size_t at = h.paletteAt + 3 * size_t(i);
            bool inFile = i < (1u << h.depth);
            palette[i][0] = inFile ? ReadU8(source, sourceSize, at + 2) : 0;
            palette[i][1] = inFile ? ReadU8(source, sourceSize, at + 1) : 0;
            palette[i][2] = inFile ? ReadU8(source, sourceSize, at) : 0;
        }
    }
}

// Takes bits up to and including the first 0. Returns how many were 1.
inline uint64_t CountOnes(BitReader& bits)
{
    uint64_t ones = 0;
    for (;;) {
        uint32_t zeros = ~bits.PeekBits(32);
        if (zeros != 0) {
            uint32_t run = static_cast<uint32_t>(__builtin_clz(zeros));
            bits.SkipBits(run + 1);
            return ones + run;
        }
        bits.SkipBits(32);
        ones += 32;
    }
}

// The decoder's working state for one call.
struct PiDecoder {
    BitReader bits;
    uint32_t depth = 0;
    uint32_t colours = 0;    // 2 to the power depth
    uint8_t* table = nullptr;  // colours rows of colours entries, one row per previous colour
    uint8_t* plane = nullptr;  // width x (height + 2) indices, two rows above the picture
    size_t width = 0;
    size_t end = 0;          // cells in the plane
    uint8_t above[2] = {0, 0};  // the colours of the rows above, at even and odd offsets
};

// Sets each colour table row p to p, p-1, p-2, ... wrapping below 0: every
// row is a window on one doubled descending sequence.
void InitColourTable(PiDecoder& d)
{
    const uint32_t c = d.colours;
    uint8_t descending[2 * 256];
    for (uint32_t i = 0; i < 2 * c; ++i)
        descending[i] = static_cast<uint8_t>((2 * c - 1 - i) & (c - 1));
    for (uint32_t p = 0; p < c; ++p)
        std::memcpy(d.table + size_t(p) * c, descending + (c - 1 - p), c);
}

// Reads one colour in the context of the previous colour and moves it to the
// front of that context's row. Returns the colour.
inline uint8_t ReadColour(PiDecoder& d, uint32_t previous)
{
    uint32_t index;
    if (d.bits.GetBits(1)) {
        index = d.bits.GetBits(1);
    } else {
        uint32_t n = 0;
        while (n + 2 < d.depth && d.bits.GetBits(1))
            ++n;
        index = d.bits.GetBits(n + 1) + (2u << n);
    }

    // Depths below 2 can code indices beyond the row; they wrap into it.
    index &= d.colours - 1;
    uint8_t* row = d.table + size_t(previous) * d.colours;
    uint8_t colour = row[index];
    std::memmove(row + 1, row, index);
    row[0] = colour;
    return colour;
}

// Reads the copy length in pairs. Returns 0 for a length whose bit count is
// 30 or more: such a copy copies nothing.
inline uint32_t ReadCopyLength(BitReader& bits)
{
    if (!bits.GetBits(1))
        return 1;
    uint64_t m = CountOnes(bits) + 1;
    if (m < 30)
        return (1u << m) + bits.GetBits(static_cast<uint32_t>(m));

    // The value bits are still taken, so the stream stays in step.
    for (; m > 32; m -= 32)
        bits.SkipBits(32);
    bits.SkipBits(static_cast<uint32_t>(m));
    return 0;
}

// Copies count pixels one at a time from distance cells back; the source may
// overlap what is being written. Cells before the plane continue the pattern
// of the rows above (a at even offsets, b at odd ones).
inline void CopyPixels(PiDecoder& d, size_t pos, size_t distance, size_t count)
{
    uint8_t* out = d.plane + pos;
    if (distance > pos) {
        for (size_t i = 0; i < count; ++i) {
            size_t at = pos + i;
            out[i] = at >= distance ? d.plane[at - distance] : d.above[(distance - at) & 1];
        }
        return;
    }
    const uint8_t* from = out - distance;
    if (distance >= count) {
        std::memcpy(out, from, count);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        out[i] = from[i];
}

// Decodes the plane from the bit stream. When the stream runs out, the cells
// not reached keep colour index 0.
void DecodePlane(PiDecoder& d)
{
    const size_t w = d.width;

    // The two rows above the picture, pair by pair along the plane.
    uint8_t a = ReadColour(d, 0);
    uint8_t b = ReadColour(d, a);
    d.above[0] = a;
    d.above[1] = b;
    for (size_t i = 0; i < 2 * w && i < d.end; ++i)
        d.plane[i] = (i & 1) ? b : a;

    size_t pos = 2 * w;
    size_t previousCode = 0;
    while (pos < d.end && !d.bits.Overrun()) {
        // Position code: the code value and the distance of the copy source.
        size_t code;
        size_t distance;
        switch (d.bits.GetBits(2)) {
        case 0:
            code = 4;
            distance = d.plane[pos - 1] == d.plane[pos - 2] ? 2 : 4;
            break;
        case 1:
            code = distance = w;
            break;
        case 2:
            code = distance = 2 * w;
            break;
        default:
            code = distance = d.bits.GetBits(1) ? w + 1 : w - 1;
            break;
        }

        // A repeated code value: literal colour pairs while the next bit is 1.
        if (code == previousCode) {
            uint32_t p = d.plane[pos - 1];
            do {
                uint8_t first = ReadColour(d, p);
                uint8_t second = ReadColour(d, first);
                d.plane[pos++] = first;
                if (pos == d.end)
                    return;
                d.plane[pos++] = second;
                if (pos == d.end)
                    return;
                p = second;
            } while (d.bits.GetBits(1));
            previousCode = 0;
            continue;
        }

        // Otherwise a copy of whole pairs, cut at the end of the plane.
        size_t count = 2 * size_t(ReadCopyLength(d.bits));
        if (count > d.end - pos)
            count = d.end - pos;
        CopyPixels(d, pos, distance, count);
        pos += count;
        previousCode = code;
    }
}

// Writes the picture rows of the plane through the palette.
void WritePixels(const PiDecoder& d, size_t height, const uint8_t (*palette)[3], uint8_t* dst, int withAlpha)
{
    const uint8_t* in = d.plane + 2 * d.width;
    size_t count = d.width * height;
    if (withAlpha) {
        for (size_t i = 0; i < count; ++i, dst += 4) {
            const uint8_t* c = palette[in[i]];
            dst[0] = c[0];
            dst[1] = c[1];
            dst[2] = c[2];
            dst[3] = 255;
        }
        return;
    }
    for (size_t i = 0; i < count; ++i, dst += 3) {
        const uint8_t* c = palette[in[i]];
        dst[0] = c[0];
        dst[1] = c[1];
        dst[2] = c[2];
    }
}

}  // namespace

bool GetPiSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    PiHeader h;
    if (!ReadPiHeader(source, sourceSize, &h))
        return false;
    *width = h.width;
    *height = h.height;
    return true;
}

int DecodePi(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    PiHeader h;
    if (!ReadPiHeader(source, sourceSize, &h) || h.depth < 1 || h.depth > kMaxDepth)
        return -1;

    // The destination must hold the whole picture.
    uint64_t pixels = uint64_t(h.width) * h.height;
    if (pixels * (withAlpha ? 4 : 3) > dstSize)
        return -1;

    uint8_t palette[256][3];
    ReadPalette(source, sourceSize, h, palette);

    // Work buffers: the colour table and the index plane with its two rows above.
    PiDecoder d;
    d.depth = h.depth;
    d.colours = 1u << h.depth;
    d.width = h.width;
    uint64_t cells = uint64_t(h.width) * (uint64_t(h.height) + 2);
    if (cells > SIZE_MAX)
        return -1;
    d.end = static_cast<size_t>(cells);
    Buffer table(static_cast<uint8_t*>(std::malloc(size_t(d.colours) * d.colours)));
    Buffer plane(static_cast<uint8_t*>(std::calloc(d.end ? d.end : 1, 1)));
    if (!table || !plane)
        return -1;
    d.table = table.get();
    d.plane = plane.get();
    InitColourTable(d);

    // The stream starts after the palette (or the size fields), possibly past the end.
    size_t streamAt = h.streamAt < sourceSize ? h.streamAt : sourceSize;
    d.bits.Start(source + streamAt, sourceSize - streamAt);
    DecodePlane(d);

    WritePixels(d, h.height, palette, dst, withAlpha);
    return static_cast<int>(h.depth);
}
