// Hand-made Deflate streams for tests: a least-significant-bit-first bit
// writer with the fixed code, and a small encoder that uses it.
#pragma once

#include <cstdint>
#include <vector>

class DeflateWriter {
public:
    // Appends the low n bits of value, the lowest first.
    void Bits(uint32_t value, uint32_t n);
    // Appends a Huffman code of len bits, its most significant bit first.
    void Code(uint32_t code, uint32_t len);
    // Appends zero bits up to the next byte boundary.
    void Align();
    // A block header: the final flag and the type.
    void Header(bool final, uint32_t type) { Bits(final ? 1 : 0, 1), Bits(type, 2); }
    // A whole stored block of the given bytes.
    void Stored(bool final, const std::vector<uint8_t>& bytes);
    // One literal/length symbol (0 to 287) of the fixed code.
    void FixedSymbol(uint32_t symbol);
    // A length (3 to 258) and a distance (1 to 32768) in the fixed code.
    void FixedMatch(uint32_t length, uint32_t distance);
    // The bytes so far, the last one padded with zero bits.
    std::vector<uint8_t> Finish() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    uint32_t used_ = 8;  // bits used in the last byte
};

// A fixed-code stream of the data as one final block, with greedy matches
// found through a hash of three bytes (distances up to maxDistance).
std::vector<uint8_t> DeflateFixed(const std::vector<uint8_t>& data, uint32_t maxDistance = 32768);
// A stream of stored blocks of at most 65,535 bytes each.
std::vector<uint8_t> DeflateStored(const std::vector<uint8_t>& data);

// The canonical codes of a set of code lengths (0 = no code).
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths);

// One code-length symbol of a dynamic block header with its extra bits.
struct CodeLengthSymbol {
    uint32_t symbol;
    uint32_t extra = 0;
};

// Writes a dynamic block's header: the counts, the code-length code
// (lengths in symbol order 0 to 18) and the given code-length symbols.
void DynamicHeader(DeflateWriter& w, bool final, uint32_t nl, uint32_t nd, const std::vector<uint8_t>& clLengths,
                   const std::vector<CodeLengthSymbol>& symbols);
// The code-length symbols that send these lengths one by one.
std::vector<CodeLengthSymbol> PlainLengths(const std::vector<uint8_t>& lengths);
