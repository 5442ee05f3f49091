// The three standard icons of the file list (file, folder, archive), made
// once at start-up as 80 x 80 icons from the shell's icon groups; the
// shared thumbnail record that the folder worker fills. The icon images are
// read and composed by image/icon_image.h. Windows only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "image/icon_image.h"
#include "image/thumbnail.h"
#include "ui/owners.h"

enum StandardIconKind { StandardIconFile = 0, StandardIconFolder = 1, StandardIconArchive = 2 };
constexpr int StandardIconCount = 3;

// The shared thumbnail record: the standard icons and the colour buffer
// that the folder worker fills (a ThumbnailBlock). Its bitmap headers and
// the mask that makes it opaque are the list road's (ui/list_thumbnails.h).
constexpr size_t SharedThumbnailColourBytes = kThumbnailBytes;  // 19,200

struct SharedThumbnail {
    HICON icons[StandardIconCount];  // file, folder, archive; null when missing
    ThumbnailBlock* colour;          // LocalAlloc, zero-filled
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
