#include "image/classify.h"

#include <cstring>

namespace {

bool Starts(const uint8_t* header, const char* text)
{
    return memcmp(header, text, strlen(text)) == 0;
}

bool Starts4(const uint8_t* header, uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return header[0] == a && header[1] == b && header[2] == c && header[3] == d;
}

wchar_t AsciiLower(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// True when the name's extension is ".tga", ignoring ASCII case.
bool HasTgaExtension(const wchar_t* name)
{
    const wchar_t* ext = FindPathExtension(name);
    const wchar_t* want = L".tga";
    for (; *want; ++ext, ++want) {
        if (AsciiLower(*ext) != *want)
            return false;
    }
    return *ext == 0;
}

// The header tests that a TGA file must pass besides its extension.
bool LooksLikeTga(const uint8_t* header)
{
    uint8_t type = header[2];
    if ((type & ~0x0B) != 0 || type == 8)
        return false;
    uint8_t depth = header[16];
    if (depth != 8 && depth != 15 && depth != 24 && depth != 32)
        return false;
    if (header[12] == 0 && header[13] == 0)
        return false;
    return !(header[14] == 0 && header[15] == 0);
}

}  // namespace

const wchar_t* FindPathExtension(const wchar_t* path)
{
    if (!path)
        return nullptr;
    const wchar_t* dot = nullptr;
    for (; *path; ++path) {
        if (*path == L'\\' || *path == L' ')
            dot = nullptr;
        else if (*path == L'.')
            dot = path;
    }
    return dot ? dot : path;
}

FileKind ClassifyHeader(const wchar_t* name, const uint8_t* header)
{
    // The order of the tests matters: the first that holds wins.
    if (header[0] == 'B' && header[1] == 'M')
        return KindBmp;
    if (Starts4(header, 0x89, 0x50, 0x4E, 0x47))
        return KindPng;
    if (header[0] == 0xFF && header[1] == 0xD8)
        return KindJpeg;
    if (Starts(header, "GIF89a") || Starts(header, "GIF87a"))
        return KindGif;
    if (Starts4(header, 0x49, 0x49, 0x2A, 0x00) || Starts4(header, 0x4D, 0x4D, 0x00, 0x2A))
        return KindTiff;
    if (Starts4(header, 0x50, 0x4B, 0x03, 0x04))
        return KindZip;
    if (header[2] == '-' && header[3] == 'l' && header[4] == 'h')
        return KindLzh;
    if (Starts(header, "MAKI02  "))
        return KindMag;
    if (Starts(header, "PIC"))
        return KindPic;
    if (Starts(header, "Pi"))
        return KindPi;
    if (Starts(header, "P2"))
        return KindP2;
    if (Starts(header, "8BPS"))
        return KindPsd;
    if (Starts(header, "MAKI01A ") || Starts(header, "MAKI01B "))
        return KindMaki01;
    if (name && HasTgaExtension(name) && LooksLikeTga(header))
        return KindTga;
    return KindNone;
}

FileHandle OpenAndClassify(const wchar_t* path, FileKind* kind)
{
    ScopedFile file(FileOpenRead(path));
    if (!file.valid())
        return kInvalidFile;

    // Files too short to hold the classification header are refused.
    int64_t size = FileSize(file.get());
    if (size < static_cast<int64_t>(kClassifyHeaderSize))
        return kInvalidFile;

    uint8_t header[kClassifyHeaderSize];
    if (FileRead(file.get(), header, sizeof header) != static_cast<int64_t>(sizeof header))
        return kInvalidFile;

    FileKind k = ClassifyHeader(path, header);
    if (k == KindNone)
        return kInvalidFile;
    if (kind)
        *kind = k;
    return file.release();
}

const char* FileKindName(FileKind kind)
{
    static const char* const names[] = {
        "KindBmp", "KindPng", "KindJpeg", "KindGif", "KindTiff", "KindTga",
        "KindMag", "KindPic", "KindPi",   "KindP2",  "KindPsd",  "KindMaki01",
        "KindNone", "KindZip", "KindLzh", "KindNone",
    };
    return kind < sizeof names / sizeof names[0] ? names[kind] : "KindNone";
}
