// A PIC encoder for tests: builds headers, raw bit streams, and whole files
// from planes of 15- or 16-bit colour values, with runs, the colour cache
// and chains that follow vertical edges down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Bits written most significant first; the last byte is padded with zeros.
class PicBitWriter {
public:
    // Appends the low n bits of value (n from 0 to 32), the top one first.
    void Put(uint32_t value, uint32_t n);
    // Appends a run length, the unary bit count first.
    void RunLength(uint64_t length);
    std::vector<uint8_t> Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

// A plane of colour values and what its header carries. For type byte 0x21
// each value holds two 8-bit pixels.
struct PicPicture {
    uint32_t width = 0;
    uint32_t rows = 0;
    uint32_t colourBits = 16;
    uint8_t type = 0;
    std::vector<uint16_t> cells;  // width x rows, rows from the top
    std::string comment = "test";
    std::string text;             // between the 0x1A and the 0x00
    bool chains = true;           // follow edges down with chains
};

// What the encoder used, so that tests can see what they reach.
struct PicEncodeStats {
    int runClasses[34] = {};  // runs by their unary bit count (1 to 33)
    int literals = 0;
    int cacheHits = 0;
    int hitsOnCurrent = 0;    // the entry hit is already the current one
    int hitsOnNext = 0;       // the entry hit follows the current one
    int chains = 0;
    int moves[5] = {};        // chain moves by column change, -2 to +2
};

// The header up to the start of the bit stream.
std::vector<uint8_t> EncodePicHeader(const PicPicture& picture);

// The whole file: header and a bit stream that decodes to the plane.
std::vector<uint8_t> EncodePic(const PicPicture& picture, PicEncodeStats* stats = nullptr);
