// The five own picture formats that ZizeCodec.dll offers to Windows: for
// each, the classification kind it accepts, the names and extensions it is
// registered under, its container format and decoder class identifiers, and
// the leading bytes by which the imaging component recognises it.
#pragma once

#include <windows.h>

#include "image/classify.h"

// Leading bytes that identify a format, at offset 0 of the file.
struct CodecPattern {
    const char* bytes;
    uint32_t length;
};

struct CodecFormat {
    FileKind kind;
    const wchar_t* name;        // "MAG", shown in the friendly names
    const wchar_t* extensions;  // comma-separated, with the dots: ".mag"
    const wchar_t* mimeType;
    GUID container;             // the container format of its own
    CLSID decoder;              // the decoder class registered for it
    CodecPattern patterns[2];   // the second has length 0 when unused
};

constexpr int kCodecFormatCount = 5;
extern const CodecFormat kCodecFormats[kCodecFormatCount];

// The thumbnail handler's class, one for all five formats.
extern const CLSID CLSID_ZizeThumbnailProvider;
// The vendor written beside each decoder.
extern const GUID GUID_ZizeVendor;

// The format whose decoder class is clsid; nullptr for any other class.
const CodecFormat* FindCodecFormatByClass(REFCLSID clsid);

// The format of a classification kind; nullptr for kinds the codec does not take.
const CodecFormat* FindCodecFormatByKind(FileKind kind);
