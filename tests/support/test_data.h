// The project's own test files under tests/data, and a way to run a decoder
// of the common entry shape into a buffer sized by its size query.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads tests/data/RELATIVE (found beside this source file); false when it
// cannot be read.
bool ReadTestData(const std::string& relative, std::vector<uint8_t>* bytes);
// The same path as UTF-8, for messages.
std::string TestDataPathUtf8(const std::string& relative);

using SizeQuery = bool (*)(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);
using DecoderEntry = int (*)(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize,
                             int withAlpha);

// What one decode gave: the size query's answer, the result and the pixels.
struct DecodeRun {
    bool sized = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int result = 0;
    std::vector<uint8_t> pixels;  // width x height x (3 + withAlpha) bytes
};

// Sizes the destination with the query and decodes into it. Pictures above
// maxBytes are not decoded (result stays 0).
DecodeRun RunDecoder(SizeQuery size, DecoderEntry decode, const std::vector<uint8_t>& source, int withAlpha,
                     size_t maxBytes = size_t(64) << 20);

// Decodes every prefix of source (each in a buffer of exactly its length, so
// the sanitizers see any read past it); returns the lengths whose size query
// answered but whose decode failed or left bytes of the picture unwritten.
// Past everyLengthUpTo only every stepAfter-th length is tried, for
// pictures whose every decode is costly.
std::vector<size_t> DecodeEveryPrefix(SizeQuery size, DecoderEntry decode, const std::vector<uint8_t>& source,
                                      int withAlpha, size_t everyLengthUpTo = SIZE_MAX, size_t stepAfter = 1);

// The pixel (x, y) of a decoded picture as "b,g,r[,a]", for messages.
std::string PixelText(const DecodeRun& run, int withAlpha, uint32_t x, uint32_t y);
