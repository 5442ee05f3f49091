#include "decode/dispatch.h"

#include <cstring>

#include "decode/byte_reader.h"
#include "decode/mag.h"

namespace {

using SizeRule = bool (*)(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);
using DecodeFunction = int (*)(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize,
                               int withAlpha);

// Returns true when the source starts with the text (without its NUL).
bool StartsWith(const uint8_t* source, size_t sourceSize, const char* text)
{
    size_t length = strlen(text);
    return sourceSize >= length && memcmp(source, text, length) == 0;
}

// The TGA header tests: a known image type, a depth of 8, 15, 24 or 32 bits
// and a non-zero width and height.
bool LooksLikeTga(const uint8_t* source, size_t sourceSize)
{
    if (sourceSize < 17)
        return false;
    uint8_t type = source[2];
    if ((type & ~0x0B) != 0 || type == 8)
        return false;
    uint8_t depth = source[16];
    if (depth != 8 && depth != 15 && depth != 24 && depth != 32)
        return false;
    return ReadLE16(source, sourceSize, 12) != 0 && ReadLE16(source, sourceSize, 14) != 0;
}

// Returns the offset of the first byte equal to value at from or later;
// false when there is none.
bool FindByte(const uint8_t* source, size_t sourceSize, size_t from, uint8_t value, size_t* at)
{
    if (from >= sourceSize)
        return false;
    const void* found = memchr(source + from, value, sourceSize - from);
    if (!found)
        return false;
    *at = static_cast<size_t>(static_cast<const uint8_t*>(found) - source);
    return true;
}

// Returns the offset of the 0x00 that ends the comment: the first 0x00 after
// the first 0x1A at from or later. False when either is missing.
bool FindCommentEnd(const uint8_t* source, size_t sourceSize, size_t from, size_t* end)
{
    size_t eof = 0;
    return FindByte(source, sourceSize, from, 0x1A, &eof) && FindByte(source, sourceSize, eof + 1, 0x00, end);
}

// PIC: big-endian width and height after the comment; the height doubles
// when the byte two after the comment's end is 0x21.
bool PicSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    size_t z = 0;
    if (!FindCommentEnd(source, sourceSize, 3, &z) || !InSource(sourceSize, z, 9))
        return false;
    *width = ReadBE16(source, sourceSize, z + 5);
    *height = ReadBE16(source, sourceSize, z + 7);
    if (source[z + 2] == 0x21)
        *height *= 2;
    return true;
}

// Pi: big-endian width and height after the comment and the extension block
// whose length precedes it.
bool PiSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    size_t z = 0;
    if (!FindCommentEnd(source, sourceSize, 2, &z) || !InSource(sourceSize, z, 11))
        return false;
    size_t at = z + 11 + ReadBE16(source, sourceSize, z + 9);
    if (!InSource(sourceSize, at, 4))
        return false;
    *width = ReadBE16(source, sourceSize, at);
    *height = ReadBE16(source, sourceSize, at + 2);
    return true;
}

// TGA: little-endian width and height at 12 and 14.
bool TgaSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    if (!InSource(sourceSize, 0, 16))
        return false;
    *width = ReadLE16(source, sourceSize, 12);
    *height = ReadLE16(source, sourceSize, 14);
    return true;
}

// PSD: big-endian height at 14 and width at 18.
bool PsdSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    if (!InSource(sourceSize, 0, 22))
        return false;
    *width = ReadBE32(source, sourceSize, 18);
    *height = ReadBE32(source, sourceSize, 14);
    return true;
}

// MAKI01: end minus start of the big-endian x and y extents (unsigned 32-bit,
// no +1).
bool Maki01Size(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    if (!InSource(sourceSize, 0, 48))
        return false;
    *width = uint32_t(ReadBE16(source, sourceSize, 44)) - ReadBE16(source, sourceSize, 40);
    *height = uint32_t(ReadBE16(source, sourceSize, 46)) - ReadBE16(source, sourceSize, 42);
    return true;
}

// The size rule and the decoder of each type. A null rule reports no size;
// a null decoder makes DecodeImage fail. The P2 size is its container's
// block walk and comes with the P2 decoder.
constexpr SizeRule kSizeRules[kDecoderTypeCount] = {
    nullptr, GetMagSize, PicSize, PiSize, nullptr, TgaSize, PsdSize, Maki01Size,
};
constexpr DecodeFunction kDecoders[kDecoderTypeCount] = {
    nullptr,    // DecoderNone
    DecodeMag,  // DecoderMag
    nullptr,    // DecoderPic
    nullptr,    // DecoderPi
    nullptr,    // DecoderP2
    nullptr,    // DecoderTga
    nullptr,    // DecoderPsd
    nullptr,    // DecoderMaki01
};

constexpr const char* kTypeNames[kDecoderTypeCount] = {"none", "MAG", "PIC", "Pi", "P2", "TGA", "PSD", "MAKI01"};

// True when the type indexes the tables.
bool KnownType(DecoderType type)
{
    return type >= 0 && type < kDecoderTypeCount;
}

}  // namespace

DecoderType DetectDecoderType(ImageDecoder* decoder, const uint8_t* source, size_t sourceSize)
{
    decoder->source = source;
    decoder->sourceSize = source ? sourceSize : 0;
    decoder->type = DecoderNone;
    size_t n = decoder->sourceSize;

    // The order matters: the first rule that holds wins. "PI" alone selects
    // PIC; its third letter is not looked at.
    if (StartsWith(source, n, "MAKI02  "))
        decoder->type = DecoderMag;
    else if (StartsWith(source, n, "PI"))
        decoder->type = DecoderPic;
    else if (StartsWith(source, n, "Pi"))
        decoder->type = DecoderPi;
    else if (StartsWith(source, n, "P2"))
        decoder->type = DecoderP2;
    else if (StartsWith(source, n, "8BPS"))
        decoder->type = DecoderPsd;
    else if (StartsWith(source, n, "MAKI01A ") || StartsWith(source, n, "MAKI01B "))
        decoder->type = DecoderMaki01;
    else if (LooksLikeTga(source, n))
        decoder->type = DecoderTga;
    return decoder->type;
}

bool GetImageSize(const ImageDecoder* decoder, uint32_t* width, uint32_t* height)
{
    if (!KnownType(decoder->type) || !kSizeRules[decoder->type] || !decoder->source)
        return false;
    return kSizeRules[decoder->type](decoder->source, decoder->sourceSize, width, height);
}

int DecodeImage(const ImageDecoder* decoder, uint8_t* dst, size_t dstSize, int withAlpha)
{
    if (!KnownType(decoder->type) || !kDecoders[decoder->type] || !decoder->source || !dst)
        return 0;
    if (withAlpha != 0 && withAlpha != 1)
        return 0;
    int depth = kDecoders[decoder->type](decoder->source, decoder->sourceSize, dst, dstSize, withAlpha);
    return depth < 0 ? 0 : depth;
}

const char* DecoderTypeName(DecoderType type)
{
    return KnownType(type) ? kTypeNames[type] : "none";
}
