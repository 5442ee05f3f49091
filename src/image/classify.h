// What kind of file a path or an archive member is, from its first 17 bytes
// (and, for TGA, its name's extension).
#pragma once

#include <cstdint>

#include "platform/file.h"

// Callers test ranges: 0-4 go to the platform's imaging library, 5-12 to the
// own decoders (12 is never produced), 13-14 are archives, above 12 is not a
// picture.
using FileKind = uint32_t;
enum : FileKind {
    KindBmp = 0,
    KindPng = 1,
    KindJpeg = 2,
    KindGif = 3,
    KindTiff = 4,
    KindTga = 5,
    KindMag = 6,
    KindPic = 7,
    KindPi = 8,
    KindP2 = 9,
    KindPsd = 10,
    KindMaki01 = 11,
    KindZip = 13,
    KindLzh = 14,
    KindNone = 15,
};

// The number of leading bytes that classification reads; smaller files are refused.
constexpr uint32_t kClassifyHeaderSize = 17;

// Classifies a file from its name (used only for its extension) and its
// first 17 bytes. header must point to at least kClassifyHeaderSize bytes.
FileKind ClassifyHeader(const wchar_t* name, const uint8_t* header);

// Opens path for reading, reads and classifies its first 17 bytes. Returns
// the open handle positioned at byte 17 and stores the kind when kind is
// given; the caller closes the handle. Returns kInvalidFile (and leaves kind
// untouched, with nothing left open) when the file cannot be opened, is
// shorter than 17 bytes or is of no known kind.
FileHandle OpenAndClassify(const wchar_t* path, FileKind* kind);

// Returns the extension of a path as the Windows shell's PathFindExtensionW
// finds it: the last "." of the last component (after the last backslash,
// and not followed by a space) to the end, or the terminating NUL when there
// is none.
const wchar_t* FindPathExtension(const wchar_t* path);

// Names a kind ("KindMag", ...); "KindNone" for codes without a name.
const char* FileKindName(FileKind kind);
