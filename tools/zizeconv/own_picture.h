// Decoding a file through Zize's own decoders, for the zizeconv commands.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decode/dispatch.h"

// A file decoded (or only sized) through the decoder dispatch.
struct OwnPicture {
    DecoderType type = DecoderNone;
    bool sized = false;  // the size query answered
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 0;                    // DecodeImage's result; 0 when not decoded
    std::unique_ptr<uint8_t[]> bgr;   // width x height x 3 bytes once decoded
};

// Reads the file, detects its type, asks for the size and, when decode is
// set, decodes it into 24-bit pixels. Returns an empty text on success, or
// why it failed ("cannot open the file", "not a picture of Zize's own
// formats", ...); picture holds what was found up to the failure.
std::string LoadOwnPicture(const std::wstring& path, bool decode, OwnPicture* picture);
