// Icon images as the platform stores them in icon resources, read from
// bytes of outside origin: the directory of an icon group (which images it
// lists) and one icon image (header, palette, colour rows, AND mask),
// composed into an 80 x 80 icon image of 32 bits per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

// IconImage80: the XOR and AND data that CreateIcon takes for an 80 x 80
// icon of 32 bits per pixel. 80 rows of 80 pixels (blue, green, red, alpha),
// top row first, then the AND mask, 1 bit per pixel (1 = transparent),
// 10 bytes per row, top row first. Only the first 800 mask bytes are rows;
// the rest of the mask area stays 0xFF.
constexpr size_t IconImage80Side = 80;
constexpr size_t IconImage80RowBytes = IconImage80Side * 4;
constexpr size_t IconImage80PixelBytes = IconImage80RowBytes * IconImage80Side;  // 25,600
constexpr size_t IconImage80MaskOffset = IconImage80PixelBytes;
constexpr size_t IconImage80MaskRowBytes = IconImage80Side / 8;
constexpr size_t IconImage80MaskBytes = 3200;
constexpr size_t IconImage80UsedBytes = IconImage80MaskOffset + IconImage80MaskBytes;  // 28,800
constexpr size_t IconImage80AllocBytes = 32000;

// Where the parts of one icon image lie, from its header.
struct IconLayout {
    uint32_t width;
    uint32_t bits;
    uint32_t greenBits;  // 16 bits: 5 (5-5-5) or 6 (5-6-5)
    bool rgb;            // no compression
    size_t paletteOffset;
    uint32_t paletteEntries;
    size_t pixelsOffset;
    size_t pixelRowBytes;
    size_t maskOffset;
    size_t maskRowBytes;
    size_t totalBytes;  // header, palette, colour rows and mask rows
};

// Reads the header of an icon image of size bytes and places its parts.
// Returns false when the image is not a square of a width that is a
// multiple of 8 up to 80, with the height field twice the width, in a depth
// that is taken (see ComposeIconImage), or when its parts do not all lie
// within size bytes.
bool ReadIconLayout(const uint8_t* image, size_t size, IconLayout* layout);

// The class of an image when picking from a group, best first: 0 = 48 x 48
// at 32 bits, 1 = 48 x 48 at 8 bits, 2 = 32 x 32 at 32 bits, 3 = 32 x 32 at
// 8 bits. Returns -1 for any other image.
int IconImageClass(const IconLayout& layout);
constexpr int IconImageClassCount = 4;

// The entries of an icon group directory of size bytes (a 6-byte header
// with the count at offset 4, then 14-byte entries): the count it lists,
// cut to the entries that lie within size bytes. 0 for a directory
// shorter than its header.
size_t IconGroupEntryCount(const uint8_t* group, size_t size);

// The resource id of entry e of an icon group directory (offset 12 of the
// entry). Returns 0 when the entry does not lie within size bytes.
uint16_t IconGroupEntryId(const uint8_t* group, size_t size, size_t e);

// Fills out (outSize bytes, IconImage80UsedBytes at least) from one icon
// image in the platform's format (BITMAPINFOHEADER with the height of both
// halves, palette, colour rows and AND mask rows, bottom-up) of size bytes:
// first clears it to transparent, then centres the w x w image in it,
// turned top-down. w must be a multiple of 8 and at most 80. Depths:
// 32 bits (copied as they are), 24 bits, 16 bits (5-5-5, or bit fields
// 5-6-5 and 5-5-5), and 8, 4 and 1 bit through the palette (its 4 bytes
// written as they are; an index beyond the palette gives 0). Converted
// depths get alpha 0, as palette entries do, so the AND mask decides
// transparency. Returns false, leaving the cleared buffer, when the image
// is not of this form or does not fit in size bytes; returns false without
// writing when outSize is too small.
bool ComposeIconImage(const uint8_t* iconImage, size_t iconImageSize, uint8_t* out, size_t outSize);
