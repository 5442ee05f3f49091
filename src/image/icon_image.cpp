// Icon images: the group directory, the layout of one image and its
// composition into an 80 x 80 icon image.
//
// An icon image is a 40-byte (or longer) bitmap header whose height field
// counts the colour rows and the mask rows together, then the palette (or
// the three bit fields of a 16-bit image), the colour rows and the AND mask
// rows, both bottom-up and padded to 4 bytes. Every size and offset read
// from the header is checked against the image's size before any row is
// touched; the rows then lie wholly inside it.
#include "image/icon_image.h"

#include <cstring>

#include "decode/byte_reader.h"

namespace {

// The fields of the bitmap header that are read.
constexpr size_t HeaderBytes = 40;
constexpr size_t HeaderSizeField = 0;
constexpr size_t WidthField = 4;
constexpr size_t HeightField = 8;
constexpr size_t BitCountField = 14;
constexpr size_t CompressionField = 16;
constexpr size_t ColoursUsedField = 32;
// A header that holds the bit fields itself (BITMAPV2INFOHEADER and later).
constexpr size_t HeaderWithFieldsBytes = 52;
constexpr uint32_t CompressionRgb = 0;
constexpr uint32_t CompressionBitFields = 3;

// Icon group directory: a 6-byte header with the entry count at offset 4,
// then 14-byte entries with the icon's resource id at offset 12.
constexpr size_t GroupHeaderBytes = 6;
constexpr size_t GroupCountOffset = 4;
constexpr size_t GroupEntryBytes = 14;
constexpr size_t GroupEntryIdOffset = 12;

// Rows are padded to a multiple of 4 bytes.
size_t RowBytes(uint32_t width, uint32_t bits)
{
    return (size_t(width) * bits + 31) / 32 * 4;
}

// Reads the bit fields of a 16-bit image (in the header from 40 bytes on
// when it is 52 bytes or longer, else the 12 bytes after it) into
// *greenBits and where they end into *fieldsEnd. Returns false for fields
// other than 5-6-5 and 5-5-5, or when they lie beyond size.
bool ReadBitFields(const uint8_t* image, size_t size, size_t headerBytes, size_t* fieldsEnd, uint32_t* greenBits)
{
    const bool inHeader = headerBytes >= HeaderWithFieldsBytes;
    const size_t at = inHeader ? HeaderBytes : headerBytes;
    if (!InSource(size, at, 12))
        return false;
    const uint32_t red = ReadLE32(image, size, at);
    const uint32_t green = ReadLE32(image, size, at + 4);
    const uint32_t blue = ReadLE32(image, size, at + 8);
    if (red == 0xF800 && green == 0x07E0 && blue == 0x001F)
        *greenBits = 6;
    else if (red == 0x7C00 && green == 0x03E0 && blue == 0x001F)
        *greenBits = 5;
    else
        return false;
    *fieldsEnd = inHeader ? headerBytes : headerBytes + 12;
    return true;
}

// Widens a colour field of n bits to 8 bits.
uint8_t Widen(uint32_t value, uint32_t n)
{
    return static_cast<uint8_t>(value << (8 - n) | value >> (2 * n - 8));
}

// Writes one source row as w pixels of 4 bytes at dst. The row and the
// palette lie within the image (ReadIconLayout checked them).
void ConvertRow(const IconLayout& l, const uint8_t* image, const uint8_t* src, uint8_t* dst)
{
    const uint32_t w = l.width;
    switch (l.bits) {
    case 32:
        std::memcpy(dst, src, size_t(w) * 4);
        return;
    case 24:
        for (uint32_t x = 0; x < w; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 0;
        }
        return;
    case 16:
        for (uint32_t x = 0; x < w; ++x, src += 2, dst += 4) {
            const uint32_t v = uint32_t(src[0]) | uint32_t(src[1]) << 8;
            dst[0] = Widen(v & 31, 5);
            dst[1] = Widen(v >> 5 & ((1u << l.greenBits) - 1), l.greenBits);
            dst[2] = Widen(v >> (5 + l.greenBits) & 31, 5);
            dst[3] = 0;
        }
        return;
    default: {
        // Palette indices, the leftmost pixel in the high bits of a byte.
        const uint8_t* palette = image + l.paletteOffset;
        const uint32_t perByte = 8 / l.bits;
        const uint32_t valueMask = (1u << l.bits) - 1;
        for (uint32_t x = 0; x < w; ++x, dst += 4) {
            const uint32_t shift = (perByte - 1 - x % perByte) * l.bits;
            const uint32_t index = src[x / perByte] >> shift & valueMask;
            if (index < l.paletteEntries)
                std::memcpy(dst, palette + size_t(index) * 4, 4);
            else
                std::memset(dst, 0, 4);
        }
        return;
    }
    }
}

// Copies the w mask bits of a source row to a destination mask row from
// pixel column o on. The destination bits start as 1 (transparent).
void CopyMaskRow(const uint8_t* src, uint32_t w, uint8_t* dst, uint32_t o)
{
    if (o % 8 == 0) {
        std::memcpy(dst + o / 8, src, w / 8);
        return;
    }
    // A centre that is not on a byte boundary (w an odd multiple of 8):
    // bit by bit, so that the mask stays under its pixels.
    for (uint32_t x = 0; x < w; ++x) {
        if (!(src[x / 8] & (0x80 >> x % 8))) {
            const uint32_t c = o + x;
            dst[c / 8] &= static_cast<uint8_t>(~(0x80 >> c % 8));
        }
    }
}

}  // namespace

bool ReadIconLayout(const uint8_t* image, size_t size, IconLayout* layout)
{
    if (!image || size < HeaderBytes)
        return false;
    const uint32_t headerBytes = ReadLE32(image, size, HeaderSizeField);
    if (headerBytes < HeaderBytes || headerBytes > size)
        return false;

    // A square of both halves: colour above mask in the height field.
    const int32_t w = static_cast<int32_t>(ReadLE32(image, size, WidthField));
    const int32_t h = static_cast<int32_t>(ReadLE32(image, size, HeightField));
    if (w <= 0 || w > int32_t(IconImage80Side) || w % 8 != 0 || h != 2 * w)
        return false;

    // The depth, and whatever sits between the header and the colour rows.
    const uint32_t compression = ReadLE32(image, size, CompressionField);
    const uint32_t coloursUsed = ReadLE32(image, size, ColoursUsedField);
    IconLayout l = {};
    l.width = uint32_t(w);
    l.bits = ReadLE16(image, size, BitCountField);
    l.rgb = compression == CompressionRgb;
    l.paletteOffset = headerBytes;
    switch (l.bits) {
    case 32:
    case 24:
        if (!l.rgb)
            return false;
        break;
    case 16:
        l.greenBits = 5;
        if (!l.rgb && (compression != CompressionBitFields ||
                       !ReadBitFields(image, size, headerBytes, &l.paletteOffset, &l.greenBits)))
            return false;
        break;
    case 8:
    case 4:
    case 1:
        if (!l.rgb || coloursUsed > (1u << l.bits))
            return false;
        l.paletteEntries = coloursUsed ? coloursUsed : 1u << l.bits;
        break;
    default:
        return false;
    }

    // Colour rows then mask rows, each w rows; the sums stay far from
    // wrapping since w <= 80, the palette <= 1 KB and the header <= size.
    l.pixelsOffset = l.paletteOffset + size_t(l.paletteEntries) * 4;
    l.pixelRowBytes = RowBytes(l.width, l.bits);
    l.maskOffset = l.pixelsOffset + l.pixelRowBytes * l.width;
    l.maskRowBytes = RowBytes(l.width, 1);
    l.totalBytes = l.maskOffset + l.maskRowBytes * l.width;
    if (l.totalBytes > size)
        return false;
    *layout = l;
    return true;
}

int IconImageClass(const IconLayout& l)
{
    if (!l.rgb || (l.bits != 32 && l.bits != 8))
        return -1;
    const int depth = l.bits == 32 ? 0 : 1;
    if (l.width == 48)
        return depth;
    if (l.width == 32)
        return 2 + depth;
    return -1;
}

size_t IconGroupEntryCount(const uint8_t* group, size_t size)
{
    if (!group || size < GroupHeaderBytes)
        return 0;
    const size_t listed = ReadLE16(group, size, GroupCountOffset);
    const size_t present = (size - GroupHeaderBytes) / GroupEntryBytes;
    return listed < present ? listed : present;
}

uint16_t IconGroupEntryId(const uint8_t* group, size_t size, size_t e)
{
    if (!group || e >= (size_t(-1) - GroupHeaderBytes) / GroupEntryBytes)
        return 0;
    const size_t entry = GroupHeaderBytes + e * GroupEntryBytes;
    if (!InSource(size, entry, GroupEntryBytes))
        return 0;
    return ReadLE16(group, size, entry + GroupEntryIdOffset);
}

bool ComposeIconImage(const uint8_t* iconImage, size_t iconImageSize, uint8_t* out, size_t outSize)
{
    if (!out || outSize < IconImage80UsedBytes)
        return false;

    // Everything transparent: no colour, every mask bit set.
    std::memset(out, 0, IconImage80PixelBytes);
    std::memset(out + IconImage80MaskOffset, 0xFF, IconImage80MaskBytes);

    IconLayout l;
    if (!ReadIconLayout(iconImage, iconImageSize, &l))
        return false;

    // Source row i (from the bottom) becomes row o + w - 1 - i (from the
    // top), starting at column o.
    const uint32_t w = l.width;
    const uint32_t o = (uint32_t(IconImage80Side) - w) / 2;
    for (uint32_t i = 0; i < w; ++i) {
        const size_t row = o + w - 1 - i;
        ConvertRow(l, iconImage, iconImage + l.pixelsOffset + i * l.pixelRowBytes,
                   out + row * IconImage80RowBytes + size_t(o) * 4);
        CopyMaskRow(iconImage + l.maskOffset + i * l.maskRowBytes, w,
                    out + IconImage80MaskOffset + row * IconImage80MaskRowBytes, o);
    }
    return true;
}
