// The Deflate decoder for ZIP members: a whole compressed stream in memory
// decoded through a 65,536-byte circular window into the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

// One decoding-table entry: what the next bits mean and how many of them
// belong to it at this level.
struct InflateEntry {
    uint8_t op;      // kind (see inflate.cpp) and extra-bit count or sub-table width
    uint8_t bits;    // bits taken at this level
    uint16_t value;  // literal, base, or sub-table offset
};

// The decoder's record. The caller clears it and sets window to a buffer
// of kInflateWindowSize bytes; Inflate fills in the rest.
struct InflateState {
    InflateEntry* fixedLiteralTable;   // built at a member's first fixed-code block
    InflateEntry* fixedDistanceTable;
    uint32_t fixedLiteralBits;
    uint32_t fixedDistanceBits;
    uint32_t windowPos;                // next write position in the window
    uint32_t flushAt;                  // window position at which the window is emptied
    uint32_t bitCount;                 // valid bits in bitBuffer
    uint64_t bitBuffer;                // pending input bits, the next one in bit 0
    const uint8_t* input;              // next input byte
    size_t inputLeft;                  // input bytes not yet taken
    uint8_t* output;
    uint8_t* window;
    uint32_t outputCount;              // bytes moved from the window to output
    uint32_t outputLimit;              // decoding stops after this many output bytes
    uint32_t crc;                      // CRC-32 of the outputCount bytes delivered
};

constexpr size_t kInflateWindowSize = 65536;

// Error codes of Inflate.
enum : int {
    kInflateOk = 0,
    kInflateIncomplete = 2,    // a code set is incomplete or empty, or lacks what its block needs
    kInflateBadCode = 3,       // an invalid code, or a distance before the first byte
    kInflateOversubscribed = 4,
    kInflateNoMemory = 5,
    kInflateBadBlockType = 6,
    kInflateBadStoredLength = 7,
    kInflateRepeatTooLong = 8,
};

// Decodes the Deflate stream of inputCount bytes at input into output, which
// has room for outputLimit bytes; decoding stops with success as soon as
// outputLimit bytes have been produced (a limit of 0 produces nothing).
// Input past its end reads as zero bits. Returns 0 with state->outputCount
// the bytes delivered and state->crc their CRC-32 (taken while each window
// is moved out, when its bytes are still in the cache), or an error code
// above (output then holds garbage).
int Inflate(InflateState* state, const uint8_t* input, uint8_t* output, uint32_t inputCount,
            uint32_t outputLimit);
