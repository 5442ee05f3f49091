// The three standard icons of the file list (file, folder, archive), made
// once at start-up as 80 x 80 icons from the shell's icon groups; the
// shared thumbnail record that the folder worker fills; and the composition
// of an icon image into the 80 x 80 icon format. Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "image/thumbnail.h"
#include "ui/owners.h"

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

enum StandardIconKind { StandardIconFile = 0, StandardIconFolder = 1, StandardIconArchive = 2 };
constexpr int StandardIconCount = 3;

// The shared thumbnail record: the standard icons, the colour buffer that
// the folder worker fills (a ThumbnailBlock) and the all-zero mask buffer
// that makes thumbnails opaque, each with the bitmap header that describes
// it (80 x 80 top-down; colour 24 bits, mask 16 bits).
constexpr size_t SharedThumbnailColourBytes = kThumbnailBytes;  // 19,200
constexpr size_t SharedThumbnailMaskBytes = 12800;

struct SharedThumbnail {
    HICON icons[StandardIconCount];  // file, folder, archive; null when missing
    ThumbnailBlock* colour;          // LocalAlloc, zero-filled
    uint8_t* mask;                   // LocalAlloc, zero-filled
    BITMAPINFOHEADER colourHeader;
    BITMAPINFOHEADER maskHeader;
};

// The one record of the program; all empty until PrepareStandardIcons.
SharedThumbnail& SharedThumbnailRecord();

// The icon of a kind, or null when neither its group nor its fallback gave one.
HICON StandardIcon(StandardIconKind kind);

// Where one standard icon comes from: an icon group of a module loaded as a
// data file, else ExtractIconExW of the fallback module at a position.
struct StandardIconSource {
    const wchar_t* module;
    WORD groupId;
    const wchar_t* fallbackModule;
    int fallbackIndex;
};

// The sources of the file, folder and archive icons, in that order.
struct StandardIconSources {
    StandardIconSource icons[StandardIconCount];
};

// "shell32.dll" groups 1 and 4, "zipfldr.dll" group 101.
extern const StandardIconSources DefaultStandardIconSources;

// Allocates the shared thumbnail record's buffers, fills in its headers and
// makes the three icons (CreateIcon with instance). An archive icon that
// neither source gives (Wine has no zipfldr.dll) becomes a copy of the file
// icon, so archives still show a picture. Anything held from an earlier call
// is released first. Returns false, holding nothing, when the buffers
// cannot be had; a missing icon is not a failure.
bool PrepareStandardIcons(HINSTANCE instance);
bool PrepareStandardIcons(HINSTANCE instance, const StandardIconSources& sources);

// Destroys the three icons and frees the shared buffers; the record is
// empty afterwards. The file list's own teardown (window procedure, image
// lists, items) is the caller's.
void ReleaseStandardIcons();

// A copy of one icon image, as PickIconGroupImage makes it.
struct PickedIconImage {
    LocalOwner block;
    size_t size = 0;
    const BYTE* data() const { return static_cast<const BYTE*>(block.get()); }
};

// Picks the best image of the icon group with the integer id groupId:
// 48 x 48 at 32 bits, else 48 x 48 at 8 bits, else 32 x 32 at 32 bits, else
// 32 x 32 at 8 bits; within a class the group's last such image. Returns a
// copy of header, palette, colour bits and mask (nothing that follows), or
// an empty block when there is no such group or no usable image. Entries
// that lie beyond the group's data, and images cut short, are skipped.
PickedIconImage PickIconGroupImage(HMODULE module, WORD groupId);

// Fills out (IconImage80UsedBytes at least) from one icon image in the
// platform's format (BITMAPINFOHEADER with the height of both halves,
// palette, colour rows and AND mask rows, bottom-up) of size bytes: first
// clears it to transparent, then centres the w x w image in it, turned
// top-down. w must be a multiple of 8 and at most 80. Depths: 32 bits
// (copied as they are), 24 bits, 16 bits (5-5-5, or bit fields 5-6-5 and
// 5-5-5), and 8, 4 and 1 bit through the palette (its 4 bytes written as
// they are; an index beyond the palette gives 0). Converted depths get
// alpha 0, as palette entries do, so the AND mask decides transparency.
// Returns false, leaving the cleared buffer, when the image is not of this
// form or does not fit in size bytes.
bool ComposeIconImage(const BYTE* iconImage, size_t iconImageSize, BYTE* out);
