// The standard icons of the file list and the shared thumbnail record.
//
// Each standard icon is drawn from an icon group of a shell library loaded
// as a data file: the group's directory lists icon images by resource id;
// the best image of 48 or 32 pixels is copied, centred into an 80 x 80
// icon image (IconImage80) and made an icon. Every size and offset read
// from a resource is checked against the resource's size. A library or
// group that is missing gives way to ExtractIconExW.
#include "browser/standard_icons.h"

#include <shellapi.h>

#include <cstring>

namespace {

SharedThumbnail Shared = {};

// Icon group directory: a 6-byte header with the entry count at offset 4,
// then 14-byte entries with the icon's resource id at offset 12.
constexpr size_t GroupHeaderBytes = 6;
constexpr size_t GroupCountOffset = 4;
constexpr size_t GroupEntryBytes = 14;
constexpr size_t GroupEntryIdOffset = 12;

uint16_t Read16(const BYTE* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Read32(const BYTE* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Where the parts of one icon image lie, from its header.
struct IconLayout {
    uint32_t width;
    uint32_t bits;
    uint32_t greenBits;  // 16 bits: 5 (5-5-5) or 6 (5-6-5)
    bool rgb;            // no compression (BI_RGB)
    size_t paletteOffset;
    uint32_t paletteEntries;
    size_t pixelsOffset;
    size_t pixelRowBytes;
    size_t maskOffset;
    size_t maskRowBytes;
    size_t totalBytes;  // header, palette, colour rows and mask rows
};

// DIB rows are padded to a multiple of 4 bytes.
size_t RowBytes(uint32_t width, uint32_t bits)
{
    return (size_t(width) * bits + 31) / 32 * 4;
}

// Reads the bit fields of a 16-bit image (in the header from 52 bytes on,
// else the 12 bytes after it) into *greenBits. Returns false for fields
// other than 5-6-5 and 5-5-5, or when they lie beyond size.
bool ReadBitFields(const BYTE* image, size_t size, size_t headerBytes, size_t* fieldsEnd, uint32_t* greenBits)
{
    const size_t at = headerBytes >= 52 ? 40 : headerBytes;
    if (size < 12 || at > size - 12)
        return false;
    const uint32_t red = Read32(image + at);
    const uint32_t green = Read32(image + at + 4);
    const uint32_t blue = Read32(image + at + 8);
    if (red == 0xF800 && green == 0x07E0 && blue == 0x001F)
        *greenBits = 6;
    else if (red == 0x7C00 && green == 0x03E0 && blue == 0x001F)
        *greenBits = 5;
    else
        return false;
    *fieldsEnd = headerBytes >= 52 ? headerBytes : headerBytes + 12;
    return true;
}

// Reads the header of an icon image and places its parts. Returns false
// when the image is not a square of a width that is a multiple of 8 up to
// 80, with the height field twice the width, in a depth that is taken, or
// when its parts do not all lie within size bytes.
bool ReadIconLayout(const BYTE* image, size_t size, IconLayout* layout)
{
    BITMAPINFOHEADER header;
    if (!image || size < sizeof header)
        return false;
    std::memcpy(&header, image, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size)
        return false;

    // A square of both halves: colour above mask in the height field.
    const LONG w = header.biWidth;
    if (w <= 0 || w > LONG(IconImage80Side) || w % 8 != 0 || header.biHeight != 2 * w)
        return false;

    // The depth, and whatever sits between the header and the colour rows.
    IconLayout l = {};
    l.width = uint32_t(w);
    l.bits = header.biBitCount;
    l.rgb = header.biCompression == BI_RGB;
    l.paletteOffset = header.biSize;
    switch (l.bits) {
    case 32:
    case 24:
        if (!l.rgb)
            return false;
        break;
    case 16:
        l.greenBits = 5;
        if (!l.rgb && (header.biCompression != BI_BITFIELDS ||
                       !ReadBitFields(image, size, header.biSize, &l.paletteOffset, &l.greenBits)))
            return false;
        break;
    case 8:
    case 4:
    case 1:
        if (!l.rgb || header.biClrUsed > (1u << l.bits))
            return false;
        l.paletteEntries = header.biClrUsed ? header.biClrUsed : 1u << l.bits;
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

// Widens a colour field of n bits to 8 bits.
BYTE Widen(uint32_t value, uint32_t n)
{
    return static_cast<BYTE>(value << (8 - n) | value >> (2 * n - 8));
}

// Writes one source row as w pixels of 4 bytes at dst.
void ConvertRow(const IconLayout& l, const BYTE* image, const BYTE* src, BYTE* dst)
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
            const uint32_t v = Read16(src);
            dst[0] = Widen(v & 31, 5);
            dst[1] = Widen(v >> 5 & ((1u << l.greenBits) - 1), l.greenBits);
            dst[2] = Widen(v >> (5 + l.greenBits) & 31, 5);
            dst[3] = 0;
        }
        return;
    default: {
        // Palette indices, the leftmost pixel in the high bits of a byte.
        const BYTE* palette = image + l.paletteOffset;
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
void CopyMaskRow(const BYTE* src, uint32_t w, BYTE* dst, uint32_t o)
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
            dst[c / 8] &= static_cast<BYTE>(~(0x80 >> c % 8));
        }
    }
}

// The bytes of one resource, or none.
struct ResourceBytes {
    const BYTE* data = nullptr;
    size_t size = 0;
};

ResourceBytes LoadResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    ResourceBytes bytes;
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return bytes;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return bytes;
    bytes.data = static_cast<const BYTE*>(data);
    bytes.size = SizeofResource(module, found);
    return bytes;
}

struct GroupSearch {
    WORD id;
    bool found;
};

// Stops the enumeration at the integer name wanted.
BOOL CALLBACK FindGroupName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    GroupSearch* search = reinterpret_cast<GroupSearch*>(param);
    if (IS_INTRESOURCE(name) && LOWORD(reinterpret_cast<ULONG_PTR>(name)) == search->id) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// The classes of images that are taken, best first: 0 = 48 x 48 at 32
// bits, 1 = 48 x 48 at 8 bits, 2 = 32 x 32 at 32 bits, 3 = 32 x 32 at 8
// bits. Returns -1 for any other image.
int ImageClass(const IconLayout& l)
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

BITMAPINFOHEADER TopDownHeader(WORD bits, DWORD imageBytes)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = LONG(IconImage80Side);
    header.biHeight = -LONG(IconImage80Side);
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;
    return header;
}

// An 80 x 80 icon from the best image of a group, or none.
HICON IconFromGroup(HINSTANCE instance, HMODULE module, WORD groupId, BYTE* work)
{
    PickedIconImage picked = PickIconGroupImage(module, groupId);
    if (!picked.block || !ComposeIconImage(picked.data(), picked.size, work))
        return nullptr;
    return CreateIcon(instance, int(IconImage80Side), int(IconImage80Side), 1, 32, work + IconImage80MaskOffset,
                      work);
}

}  // namespace

const StandardIconSources DefaultStandardIconSources = {{
    {L"shell32.dll", 1, L"shell32.dll", 0},
    {L"shell32.dll", 4, L"shell32.dll", 3},
    {L"zipfldr.dll", 101, L"zipfldr.dll", 0},
}};

SharedThumbnail& SharedThumbnailRecord()
{
    return Shared;
}

HICON StandardIcon(StandardIconKind kind)
{
    return Shared.icons[kind];
}

bool ComposeIconImage(const BYTE* iconImage, size_t iconImageSize, BYTE* out)
{
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

PickedIconImage PickIconGroupImage(HMODULE module, WORD groupId)
{
    PickedIconImage picked;

    // The group is looked for among the module's integer group names.
    GroupSearch search = {groupId, false};
    EnumResourceNamesW(module, RT_GROUP_ICON, FindGroupName, reinterpret_cast<LONG_PTR>(&search));
    if (!search.found)
        return picked;
    const ResourceBytes group = LoadResourceBytes(module, MAKEINTRESOURCEW(groupId), RT_GROUP_ICON);
    if (group.size < GroupHeaderBytes)
        return picked;

    // The last image of each class; entries beyond the data are not read.
    const size_t listed = Read16(group.data + GroupCountOffset);
    const size_t present = (group.size - GroupHeaderBytes) / GroupEntryBytes;
    ResourceBytes best[4];
    size_t bestBytes[4] = {};
    for (size_t e = 0; e < listed && e < present; ++e) {
        const WORD id = Read16(group.data + GroupHeaderBytes + e * GroupEntryBytes + GroupEntryIdOffset);
        const ResourceBytes image = LoadResourceBytes(module, MAKEINTRESOURCEW(id), RT_ICON);
        IconLayout l;
        if (!ReadIconLayout(image.data, image.size, &l))
            continue;
        const int c = ImageClass(l);
        if (c >= 0) {
            best[c] = image;
            bestBytes[c] = l.totalBytes;
        }
    }

    // The best class that has an image; header, palette, colours and mask.
    for (int c = 0; c < 4; ++c) {
        if (!best[c].data)
            continue;
        picked.block.reset(LocalAlloc(LMEM_FIXED, bestBytes[c]));
        if (!picked.block)
            return picked;
        std::memcpy(picked.block.get(), best[c].data, bestBytes[c]);
        picked.size = bestBytes[c];
        return picked;
    }
    return picked;
}

bool PrepareStandardIcons(HINSTANCE instance)
{
    return PrepareStandardIcons(instance, DefaultStandardIconSources);
}

bool PrepareStandardIcons(HINSTANCE instance, const StandardIconSources& sources)
{
    ReleaseStandardIcons();

    // The shared buffers, zero-filled, and the work buffer of the icons.
    LocalOwner colour(LocalAlloc(LPTR, SharedThumbnailColourBytes));
    LocalOwner mask(LocalAlloc(LPTR, SharedThumbnailMaskBytes));
    LocalOwner work(LocalAlloc(LMEM_FIXED, IconImage80AllocBytes));
    if (!colour || !mask || !work)
        return false;

    // Each icon from its group, else from the fallback. A module named by
    // consecutive icons is loaded once and freed after the last of them.
    ModuleOwner module;
    const wchar_t* moduleName = nullptr;
    for (int kind = 0; kind < StandardIconCount; ++kind) {
        const StandardIconSource& source = sources.icons[kind];
        if (!moduleName || !source.module || lstrcmpiW(moduleName, source.module) != 0) {
            module.reset();
            moduleName = source.module;
            if (source.module)
                module.reset(LoadLibraryExW(source.module, nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH));
        }
        HICON icon = nullptr;
        if (module)
            icon = IconFromGroup(instance, module.get(), source.groupId, static_cast<BYTE*>(work.get()));
        if (!icon && source.fallbackModule)
            ExtractIconExW(source.fallbackModule, source.fallbackIndex, &icon, nullptr, 1);
        Shared.icons[kind] = icon;
    }
    module.reset();

    // Without the ZIP folder library an archive shows as the file it is.
    if (!Shared.icons[StandardIconArchive] && Shared.icons[StandardIconFile])
        Shared.icons[StandardIconArchive] = CopyIcon(Shared.icons[StandardIconFile]);

    Shared.colour = static_cast<ThumbnailBlock*>(colour.release());
    Shared.mask = static_cast<uint8_t*>(mask.release());
    Shared.colourHeader = TopDownHeader(24, DWORD(SharedThumbnailColourBytes));
    Shared.maskHeader = TopDownHeader(16, DWORD(SharedThumbnailMaskBytes));
    return true;
}

void ReleaseStandardIcons()
{
    for (HICON& icon : Shared.icons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
    if (Shared.mask)
        LocalFree(Shared.mask);
    if (Shared.colour)
        LocalFree(Shared.colour);
    Shared = SharedThumbnail{};
}
