// A Pi encoder for tests: builds headers, raw bit streams, and whole files
// from index pictures with a greedy choice of copies and literal colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Bits written most significant first; the last byte is padded with zeros.
class PiBitWriter {
public:
    // Appends the low n bits of value (n from 0 to 32), the top one first.
    void Put(uint32_t value, uint32_t n);
    // Appends n one bits and then a zero bit.
    void Unary(uint32_t n);
    size_t BitCount() const { return bits_; }
    std::vector<uint8_t> Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

// A picture of colour indices and what its header carries.
struct PiPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 4;
    std::vector<uint8_t> indices;  // width x height, rows from the top
    std::vector<uint8_t> palette;  // red, green, blue per colour; empty: the default palette
    std::string comment = "test";
    std::string text;              // between the 0x1A and the 0x00
    std::vector<uint8_t> extension;
};

// What the greedy encoder used, so that tests can see what they reach.
struct PiEncodeStats {
    // Position codes 0 (distance 2), 0 (distance 4), 1, 2, 3 up-left, 3 up-right.
    int copies[6] = {};
    int literalStarts[6] = {};  // the same codes repeated to start literal colours
    int literalPairs = 0;
    int longestLiteralRun = 0;  // in pairs
    uint32_t longestCopy = 0;   // in pairs
};

// The header up to the end of the palette (or of the size fields).
std::vector<uint8_t> EncodePiHeader(const PiPicture& picture);

// The whole file: header and a bit stream that decodes to the picture.
std::vector<uint8_t> EncodePi(const PiPicture& picture, PiEncodeStats* stats = nullptr);

// The colour of an index in the default palette: red, green, blue.
void PiDefaultColour(uint32_t index, uint8_t* red, uint8_t* green, uint8_t* blue);
