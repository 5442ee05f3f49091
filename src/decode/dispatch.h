// The front end of the own image decoders: picks the decoder for a file
// image in memory by its leading bytes, reports the picture's size and runs
// the decoder into the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// Which own decoder applies to a file image.
using DecoderType = int32_t;
enum : DecoderType {
    DecoderNone = 0,
    DecoderMag = 1,     // "MAKI02  "
    DecoderPic = 2,     // "PI"
    DecoderPi = 3,      // "Pi"
    DecoderP2 = 4,      // "P2"
    DecoderTga = 5,
    DecoderPsd = 6,     // "8BPS"
    DecoderMaki01 = 7,  // "MAKI01A " or "MAKI01B "
};
constexpr int kDecoderTypeCount = 8;

// One load: the whole file image and the type chosen for it. It owns nothing
// and lives on the caller's stack for one size query and one decode.
struct ImageDecoder {
    const uint8_t* source = nullptr;  // the file image, indexed from offset 0
    size_t sourceSize = 0;            // its length in bytes
    DecoderType type = DecoderNone;
};

// Stores the source, then sets and returns the type of the first rule that
// its leading bytes match (DecoderNone when none does). Reads at most the
// first 17 bytes, and none past sourceSize.
DecoderType DetectDecoderType(ImageDecoder* decoder, const uint8_t* source, size_t sourceSize);

// Writes the picture's width and height by the rule of the decoder's type.
// Returns false, leaving both unchanged, for DecoderNone, for a type whose
// size rule is not built, and when the rule needs bytes past the source.
bool GetImageSize(const ImageDecoder* decoder, uint32_t* width, uint32_t* height);

// Runs the type's decoder into dst, which must hold width x height x
// (3 + withAlpha) bytes as GetImageSize gives them; withAlpha is 0 or 1.
// Returns the source's bit depth, or 0 for failure: DecoderNone, a type
// whose decoder is not built, another withAlpha, or a failing decoder.
int DecodeImage(const ImageDecoder* decoder, uint8_t* dst, size_t dstSize, int withAlpha);

// A short name of a type for messages ("MAG", "PIC", ...; "none").
const char* DecoderTypeName(DecoderType type);
