// The LZH decoder for the methods -lh4- to -lh7-: an LZ77 stream whose
// literals, match lengths and positions are coded with static Huffman codes
// that change from block to block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/bit_reader.h"

// Literal/length symbols (256 literals and the match lengths 3 to 256) and
// the symbols of the code-length code.
constexpr int kLhCharCount = 510;
constexpr int kLhPtCount = 19;
constexpr int kLhCTableBits = 12;
constexpr int kLhPtTableBits = 8;
constexpr int kLhTreeNodes = 2 * kLhCharCount - 1;

// The decoding tables, kept in an LZH ArchiveReader so that a member needs no
// allocation of its own. A table entry below the symbol count of its code is
// a symbol; one at or above it is a tree node with children in left/right.
struct LzhTables {
    uint16_t left[kLhTreeNodes];
    uint16_t right[kLhTreeNodes];
    uint16_t cTable[1 << kLhCTableBits];
    uint16_t ptTable[1 << kLhPtTableBits];
    uint8_t cLen[kLhCharCount];
    uint8_t ptLen[kLhPtCount];
};

// Builds the lookup table (2^tableBits entries) and tree for the code whose
// nchar code lengths are given. Returns 0, -1 for a length above 16, or -2
// when the lengths are not a complete code (all lengths 0 included).
int MakeLhTable(LzhTables* tables, int nchar, const uint8_t* lengths, int tableBits, uint16_t* table);

// Reads the code lengths of the code-length code (nn 19) or of the position
// code (nn np) into ptLen and builds ptTable; special is the index after
// which a 2-bit count of zero lengths follows, or -1. Returns 0 or negative.
int ReadPtLen(LzhTables* tables, BitReader* bits, int nn, int nbit, int special);

// Reads the literal/length code lengths into cLen and builds cTable.
// Returns 0 or negative.
int ReadCLen(LzhTables* tables, BitReader* bits);

// Decodes outCount bytes of an -lh4- to -lh7- stream (method is the method
// letter; any other letter decodes as -lh5-) from data[0..dataSize) into
// dst. Bits past the end of data read as 0, but a block whose head
// (at least 52 or 54 bits) would not fit in data is refused. Returns
// outCount, or 0 when a block's tables cannot be built or its head does not
// fit.
uint32_t DecodeLh(LzhTables* tables, const uint8_t* data, size_t dataSize, uint8_t* dst, uint32_t outCount,
                  uint32_t method);
