// MAKI version 1 decoder. A fixed-size flag A bit map says which 4-row blocks
// of flag nibbles flag B holds, each flag bit says whether a pixel byte (two
// 4-bit pixels) is stored, and a vertical XOR pass restores the picture.
#include "decode/maki01.h"

#include <algorithm>
#include <memory>
#include <new>

#include "decode/byte_reader.h"

namespace {

// The plane is 640 x 400 pixels, 80 flags of 8 pixels to a row, flags in
// blocks of 4 rows.
constexpr uint32_t kPlaneWidth = 640;
constexpr uint32_t kPlaneRows = 400;
constexpr uint32_t kFlagColumns = 80;
constexpr uint32_t kSecondBlockRow = 200;  // the pixel data's second block starts here

constexpr size_t kHeaderSize = 48;
constexpr size_t kPaletteAt = 48;
constexpr size_t kFlagAAt = 96;
constexpr size_t kFlagBAt = 1096;

struct Maki01Header {
    uint8_t variant;       // byte 6: 'A' or 'B' selects the XOR distance
    uint32_t flagBSize;
    uint32_t pixelASize;
    uint32_t width;
    uint32_t height;       // also the row count of the pixel loop
};

// Reads the header; false when the source is too short for it.
bool ReadHeader(const uint8_t* source, size_t sourceSize, Maki01Header* h)
{
    if (sourceSize < kHeaderSize)
        return false;
    h->variant = source[6];
    h->flagBSize = ReadBE16(source, sourceSize, 32);
    h->pixelASize = ReadBE16(source, sourceSize, 34);
    h->width = uint32_t(ReadBE16(source, sourceSize, 44)) - ReadBE16(source, sourceSize, 40);
    h->height = uint32_t(ReadBE16(source, sourceSize, 46)) - ReadBE16(source, sourceSize, 42);
    return true;
}

// Fills blocks x 4 flag rows of 80 flags from flag A and flag B. Bytes past
// the end of the source read as 0, so their flags are 0.
void BuildFlagPlane(const uint8_t* source, size_t sourceSize, uint32_t blocks, uint8_t* flags)
{
    ByteReader flagB(source, sourceSize, kFlagBAt);
    for (uint32_t b = 0; b < blocks; ++b) {
        uint8_t* row = flags + size_t(b) * 4 * kFlagColumns;
        for (uint32_t c = 0; c < kFlagColumns; ++c) {
            uint32_t bit = b * kFlagColumns + c;
            uint8_t a = ReadU8(source, sourceSize, kFlagAAt + bit / 8);
            if (((a >> (7 - bit % 8)) & 1) == 0)
                continue;
            uint8_t p = flagB.U8();
            uint8_t q = flagB.U8();
            row[c] = p >> 4;
            row[kFlagColumns + c] = p & 0x0F;
            row[2 * kFlagColumns + c] = q >> 4;
            row[3 * kFlagColumns + c] = q & 0x0F;
        }
    }
}

// Fills rows 0 to rows - 1 of the index plane from the flags and the pixel
// data. Pixel bytes past the end of the source read as 0 (index 0).
void BuildIndexPlane(const uint8_t* source, size_t sourceSize, const Maki01Header& h, uint32_t rows,
                     const uint8_t* flags, uint8_t* index)
{
    size_t pixelA = kFlagBAt + h.flagBSize;
    ByteReader pixels(source, sourceSize, pixelA);
    uint8_t* out = index;
    for (uint32_t y = 0; y < rows; ++y) {
        // The second block starts at row 200 wherever the first one ended.
        if (y == kSecondBlockRow)
            pixels.pos = pixelA + h.pixelASize;

        const uint8_t* flagRow = flags + size_t(y) * kFlagColumns;
        for (uint32_t c = 0; c < kFlagColumns; ++c) {
            uint8_t f = flagRow[c];
            for (int bit = 3; bit >= 0; --bit, out += 2) {
                if ((f >> bit) & 1) {
                    uint8_t v = pixels.U8();
                    out[0] = v >> 4;
                    out[1] = v & 0x0F;
                }
            }
        }
    }
}

// Undoes the vertical XOR coding in place, top to bottom: "A" XORs every row
// from row 2 with the row two above, "B" (more than 4 rows) every row from
// row 4 with the row four above. Only the first rows rows of the plane exist.
void UndoXor(uint8_t variant, uint32_t headerRows, uint32_t rows, uint8_t* index)
{
    uint32_t distance = 0;
    if (variant == 'A')
        distance = 2;
    else if (variant == 'B' && headerRows > 4)
        distance = 4;
    if (distance == 0 || rows <= distance)
        return;
    size_t step = size_t(distance) * kPlaneWidth;
    size_t end = size_t(rows) * kPlaneWidth;
    for (size_t p = step; p < end; ++p)
        index[p] ^= index[p - step];
}

// Writes width x height pixels: the plane's colours where the plane has
// pixels, black beyond its 640 columns and 400 rows.
void WritePixels(const uint8_t* source, size_t sourceSize, const Maki01Header& h, uint32_t rows,
                 const uint8_t* index, uint8_t* dst, int withAlpha)
{
    // The palette holds green, red, blue; entries past the source are black.
    uint8_t palette[16][3];
    for (int i = 0; i < 16; ++i) {
        size_t e = kPaletteAt + 3 * i;
        palette[i][0] = ReadU8(source, sourceSize, e + 2);
        palette[i][1] = ReadU8(source, sourceSize, e);
        palette[i][2] = ReadU8(source, sourceSize, e + 1);
    }

    size_t bpp = withAlpha ? 4 : 3;
    uint32_t columns = std::min(h.width, kPlaneWidth);
    uint8_t* out = dst;
    for (uint32_t y = 0; y < h.height; ++y) {
        uint32_t x = 0;
        if (y < rows) {
            const uint8_t* in = index + size_t(y) * kPlaneWidth;
            for (; x < columns; ++x, out += bpp) {
                const uint8_t* c = palette[in[x] & 0x0F];
                out[0] = c[0];
                out[1] = c[1];
                out[2] = c[2];
                if (withAlpha)
                    out[3] = 255;
            }
        }
        for (; x < h.width; ++x, out += bpp) {
            out[0] = out[1] = out[2] = 0;
            if (withAlpha)
                out[3] = 255;
        }
    }
}

}  // namespace

bool GetMaki01Size(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    Maki01Header h;
    if (!ReadHeader(source, sourceSize, &h))
        return false;
    *width = h.width;
    *height = h.height;
    return true;
}

int DecodeMaki01(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    Maki01Header h;
    if (!ReadHeader(source, sourceSize, &h))
        return -1;
    uint64_t need = uint64_t(h.width) * h.height * (withAlpha ? 4 : 3);
    if (need > dstSize)
        return -1;
    if (need == 0)
        return 4;

    // Only the plane rows that reach the output are built: the pixel loop
    // and the XOR pass run downwards, so lower rows never change upper ones.
    uint32_t rows = std::min(h.height, kPlaneRows);
    uint32_t blocks = (rows + 3) / 4;
    std::unique_ptr<uint8_t[]> flags(new (std::nothrow) uint8_t[size_t(blocks) * 4 * kFlagColumns]());
    std::unique_ptr<uint8_t[]> index(new (std::nothrow) uint8_t[size_t(rows) * kPlaneWidth]());
    if (!flags || !index)
        return -1;

    BuildFlagPlane(source, sourceSize, blocks, flags.get());
    BuildIndexPlane(source, sourceSize, h, rows, flags.get(), index.get());
    UndoXor(h.variant, h.height, rows, index.get());
    WritePixels(source, sourceSize, h, rows, index.get(), dst, withAlpha);
    return 4;
}
