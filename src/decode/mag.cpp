// MAG decoder. The picture is a plane of colour indices coded in units of
// 4 pixels (16 colours) or 2 pixels (256 colours); each unit is copied from
// one of 15 earlier positions or given literally. The choice is a 4-bit flag
// per unit, kept in a flag line that carries over from row to row and is
// changed by XOR: flag A holds one bit per flag byte (changed or not), flag B
// the changed bytes in order. Three cursors (flag A bit, flag B byte, pixel
// data byte) run through the whole picture and are never reset.
#include "decode/mag.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "decode/byte_reader.h"

namespace {

// How far back a unit's copy source lies: dx in pixels of the 16-colour
// layout (halved at 256 colours), dy in rows. Indexed by the flag nibble;
// nibble 0 is a literal unit.
struct CopyVector {
    uint8_t dx;
    uint8_t dy;
};

constexpr CopyVector kCopyVectors[16] = {
    {0, 0}, {4, 0}, {8, 0}, {16, 0}, {0, 1}, {4, 1}, {0, 2}, {4, 2},
    {8, 2}, {0, 4}, {4, 4}, {8, 4}, {0, 8}, {4, 8}, {8, 8}, {0, 16},
};

// The fixed part of the header that follows the first 0x1A.
constexpr size_t kHeaderSize = 32;
// Offsets inside the header.
constexpr size_t kScreenMode = 3;
constexpr size_t kXStart = 4;
constexpr size_t kYStart = 6;
constexpr size_t kXEnd = 8;
constexpr size_t kYEnd = 10;
constexpr size_t kFlagAOffset = 12;
constexpr size_t kFlagBOffset = 16;
constexpr size_t kFlagBSize = 20;

// What the header says, with the stream positions worked out. A position
// outside the source is stored as sourceSize: that stream then reads zeros.
struct MagHeader {
    size_t start = 0;        // offset just after the first 0x1A
    bool colors256 = false;  // bit 7 of the screen mode
    uint32_t width = 0;      // whole flag units
    uint32_t height = 0;
    uint32_t colours = 16;   // palette entries
    size_t flagA = 0;        // first flag A byte
    size_t flagB = 0;        // first flag B byte
    size_t pixels = 0;       // first pixel data byte
};

// Returns the offset just after the first 0x1A; false when there is none.
bool FindHeaderStart(const uint8_t* source, size_t sourceSize, size_t* start)
{
    if (!source || sourceSize == 0)
        return false;
    const void* mark = memchr(source, 0x1A, sourceSize);
    if (!mark)
        return false;
    *start = static_cast<size_t>(static_cast<const uint8_t*>(mark) - source) + 1;
    return true;
}

// Returns the low 24 bits of the 32-bit field at the offset.
uint32_t Read24(const uint8_t* source, size_t sourceSize, size_t at)
{
    return ReadLE32(source, sourceSize, at) & 0xFFFFFF;
}

// Returns the position as an offset in the source, or sourceSize when it
// lies before the start or past the end.
size_t ClampPosition(int64_t position, size_t sourceSize)
{
    if (position < 0 || static_cast<uint64_t>(position) > sourceSize)
        return sourceSize;
    return static_cast<size_t>(position);
}

// Reads the header. Returns false when there is no 0x1A or the source ends
// inside the coordinates; fields past them read as 0.
bool ReadMagHeader(const uint8_t* source, size_t sourceSize, MagHeader* h)
{
    size_t at = 0;
    if (!FindHeaderStart(source, sourceSize, &at) || !InSource(sourceSize, at, kYEnd + 2))
        return false;
    h->start = at;

    // Size: the x range widened to whole flag bytes, unsigned 32-bit arithmetic.
    h->colors256 = (source[at + kScreenMode] & 0x80) != 0;
    uint32_t xs = ReadLE16(source, sourceSize, at + kXStart);
    uint32_t ys = ReadLE16(source, sourceSize, at + kYStart);
    uint32_t xe = ReadLE16(source, sourceSize, at + kXEnd);
    uint32_t ye = ReadLE16(source, sourceSize, at + kYEnd);
    if (h->colors256)
        h->width = ((xe & 0xFFFC) | 3) - (xs & 0xFFFC) + 1;
    else
        h->width = ((xe & 0xFFF8) | 7) - (xs & 0xFFF8) + 1;
    h->height = ye - ys + 1;
    h->colours = h->colors256 ? 256 : 16;

    // Streams: flag A follows the palette, flag B lies as far after it as the
    // stored offsets differ, and the pixel data follows flag B padded to an
    // even size. The stored pixel data offset is not used.
    int64_t flagA = static_cast<int64_t>(at + kHeaderSize) + 3 * int64_t(h->colours);
    int64_t flagB = flagA + int64_t(Read24(source, sourceSize, at + kFlagBOffset)) -
                    int64_t(Read24(source, sourceSize, at + kFlagAOffset));
    uint32_t flagBSize = Read24(source, sourceSize, at + kFlagBSize);
    int64_t pixels = flagB + flagBSize + (flagBSize & 1);
    h->flagA = ClampPosition(flagA, sourceSize);
    h->flagB = ClampPosition(flagB, sourceSize);
    h->pixels = ClampPosition(pixels, sourceSize);
    return true;
}

// Fills the palette table: per entry blue, green, red, 255 from the file's
// green, red, blue. Entries past the end of the source are black.
void ReadPalette(const uint8_t* source, size_t sourceSize, const MagHeader& h, uint8_t* table)
{
    size_t at = h.start + kHeaderSize;
    for (uint32_t i = 0; i < h.colours; ++i, at += 3) {
        uint8_t* entry = table + 4 * i;
        entry[0] = ReadU8(source, sourceSize, at + 2);
        entry[1] = ReadU8(source, sourceSize, at);
        entry[2] = ReadU8(source, sourceSize, at + 1);
        entry[3] = 255;
    }
}

// Copies one unit of the plane, or writes index 0 when its source would lie
// before the plane's first byte.
template <uint32_t UnitPixels>
inline void CopyUnit(uint8_t* plane, size_t pos, uint64_t back)
{
    uint8_t* out = plane + pos;
    if (back > pos) {
        for (uint32_t k = 0; k < UnitPixels; ++k)
            out[k] = 0;
        return;
    }
    const uint8_t* from = out - back;
    for (uint32_t k = 0; k < UnitPixels; ++k)
        out[k] = from[k];
}

// Writes one literal unit from its two bytes: four 4-bit indices (high
// nibble first) at 16 colours, two indices at 256.
template <uint32_t UnitPixels>
inline void PutLiteral(uint8_t* out, uint8_t b0, uint8_t b1)
{
    if (UnitPixels == 2) {
        out[0] = b0;
        out[1] = b1;
    } else {
        out[0] = b0 >> 4;
        out[1] = b0 & 15;
        out[2] = b1 >> 4;
        out[3] = b1 & 15;
    }
}

// Decodes the index plane (width x height bytes) with units of UnitPixels.
// Returns the number of plane bytes written: all of them, or fewer when the
// pixel data ran out (the unit that found it short is written, missing bytes
// as 0). A copy whose source lies before the plane writes index 0.
template <uint32_t UnitPixels>
size_t DecodePlane(const uint8_t* source, size_t sourceSize, const MagHeader& h, uint8_t* flags, uint8_t* plane)
{
    const uint64_t flagBytesPerRow = h.width / (2 * UnitPixels);
    const size_t planeSize = size_t(h.width) * h.height;

    // Copy distances in plane bytes, by nibble.
    uint64_t back[16];
    for (int n = 0; n < 16; ++n) {
        uint32_t dx = UnitPixels == 2 ? kCopyVectors[n].dx / 2u : kCopyVectors[n].dx;
        back[n] = uint64_t(kCopyVectors[n].dy) * h.width + dx;
    }

    size_t flagA = h.flagA;
    uint8_t flagABits = ReadU8(source, sourceSize, flagA);
    uint8_t flagAMask = 0x80;
    size_t flagB = h.flagB;
    size_t data = h.pixels;
    size_t pos = 0;

    for (uint32_t y = 0; y < h.height; ++y) {
        for (uint64_t i = 0; i < flagBytesPerRow; ++i) {
            // Flag A says whether this flag byte changes; flag B gives the change.
            if (flagABits & flagAMask)
                flags[i] ^= ReadU8(source, sourceSize, flagB++);
            flagAMask >>= 1;
            if (flagAMask == 0) {
                flagAMask = 0x80;
                flagABits = ReadU8(source, sourceSize, ++flagA);
            }

            // The high nibble codes the first unit, the low nibble the second.
            const uint8_t f = flags[i];
            for (unsigned nibble : {unsigned(f >> 4), unsigned(f & 15)}) {
                if (nibble != 0) {
                    CopyUnit<UnitPixels>(plane, pos, back[nibble]);
                    pos += UnitPixels;
                    continue;
                }

                // A literal unit: two bytes of pixel data.
                if (InSource(sourceSize, data, 2)) {
                    PutLiteral<UnitPixels>(plane + pos, source[data], source[data + 1]);
                    data += 2;
                    pos += UnitPixels;
                    continue;
                }
                PutLiteral<UnitPixels>(plane + pos, ReadU8(source, sourceSize, data), 0);
                return pos + UnitPixels;
            }
        }
    }
    return planeSize;
}

// Writes the plane through the palette table as blue, green, red (+ 255).
void ConvertPlane(const uint8_t* plane, size_t count, const uint8_t* table, uint8_t* dst, int withAlpha)
{
    if (withAlpha) {
        for (size_t i = 0; i < count; ++i, dst += 4) {
            const uint8_t* entry = table + 4 * plane[i];
            dst[0] = entry[0];
            dst[1] = entry[1];
            dst[2] = entry[2];
            dst[3] = entry[3];
        }
        return;
    }
    for (size_t i = 0; i < count; ++i, dst += 3) {
        const uint8_t* entry = table + 4 * plane[i];
        dst[0] = entry[0];
        dst[1] = entry[1];
        dst[2] = entry[2];
    }
}

}  // namespace

bool GetMagSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    MagHeader h;
    if (!ReadMagHeader(source, sourceSize, &h))
        return false;
    *width = h.width;
    *height = h.height;
    return true;
}

int DecodeMag(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    MagHeader h;
    if (!ReadMagHeader(source, sourceSize, &h) || !dst)
        return -1;

    // The destination must hold the whole picture.
    uint64_t count = uint64_t(h.width) * h.height;
    size_t pixelBytes = withAlpha ? 4 : 3;
    if (count == 0 || count > dstSize / pixelBytes)
        return -1;

    // Work buffers: the flag line (zeroed) and the index plane.
    size_t flagLineSize = h.width / (h.colors256 ? 4 : 8) + 1;
    std::unique_ptr<uint8_t[]> flags(new (std::nothrow) uint8_t[flagLineSize]());
    if (!flags)
        return -1;
    std::unique_ptr<uint8_t[]> plane(new (std::nothrow) uint8_t[count]);
    if (!plane)
        return -1;
    uint8_t table[256 * 4];
    ReadPalette(source, sourceSize, h, table);

    // Decode the indices; when the pixel data runs out the rest is index 0.
    size_t written = h.colors256 ? DecodePlane<2>(source, sourceSize, h, flags.get(), plane.get())
                                 : DecodePlane<4>(source, sourceSize, h, flags.get(), plane.get());
    memset(plane.get() + written, 0, count - written);

    ConvertPlane(plane.get(), count, table, dst, withAlpha);
    return h.colors256 ? 8 : 4;
}
