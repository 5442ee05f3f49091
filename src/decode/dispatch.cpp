#include "decode/dispatch.h"

#include <cstring>

#include "decode/byte_reader.h"
#include "decode/mag.h"
#include "decode/maki01.h"
#include "decode/p2.h"
#include "decode/pi.h"
#include "decode/pic.h"
#include "decode/psd.h"
#include "decode/tga.h"

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

// The size rule and the decoder of each type. A null rule reports no size;
// a null decoder makes DecodeImage fail. The P2 size is its container's
// block walk.
constexpr SizeRule kSizeRules[kDecoderTypeCount] = {
    nullptr, GetMagSize, GetPicSize, GetPiSize, GetP2Size, GetTgaSize, GetPsdSize, GetMaki01Size,
};
constexpr DecodeFunction kDecoders[kDecoderTypeCount] = {
    nullptr,    // DecoderNone
    DecodeMag,  // DecoderMag
    DecodePic,  // DecoderPic
    DecodePi,   // DecoderPi
    DecodeP2,   // DecoderP2
    DecodeTga,     // DecoderTga
    DecodePsd,     // DecoderPsd
    DecodeMaki01,  // DecoderMaki01
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
