// The "P2" container: a canvas of rectangular blocks, all of one colour depth
// (8-bit indexed, 15-bit or 24-bit), each coded as "P2SS", "P2SF", "P2BM" or
// "P2BI". This file walks the block list, decodes the two raw kinds and
// places every block on the canvas; the coded kinds live in p2ss and p2sf.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes a P2 file into tightly packed top-down rows of blue, green, red
// (and alpha when withAlpha is set: 255 where a block lands, 0 elsewhere).
// Returns the depth (8, 15 or 24), or -1 for another depth, a header that
// does not fit the source, or a dst smaller than the canvas.
int DecodeP2(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha);

// Reports the canvas size: the largest right and bottom edges of all blocks
// (0 x 0 when there is none). Returns false when the source is too short for
// the header or does not start with "P2".
bool GetP2Size(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height);

// One block as the block decoders see it. The output rows are already placed
// on the canvas: row r of the block starts at out + r * outStride.
struct P2Block {
    const uint8_t* data;     // the block's coded data
    size_t dataSize;         // bytes of it inside both the block and the source
    uint32_t width;          // bw, pixels per row
    uint32_t height;         // bh, rows
    int depth;               // 8, 15 or 24
    const uint8_t* palette;  // depth 8: 256 entries of blue, green, red
    uint8_t* out;
    size_t outStride;
    uint32_t pixelBytes;     // 3, or 4 with an alpha byte of 255
};

// A unit colour packs (c0, c1, c2) as c0 | c1 << 8 | c2 << 16. At 15 and 24
// bits c0 is red, c1 green and c2 blue (five bits each at 15 bits); at 8 bits
// two of the bytes are the palette indices of a pixel pair.
inline uint32_t P2Colour(uint32_t c0, uint32_t c1, uint32_t c2)
{
    return c0 | (c1 << 8) | (c2 << 16);
}

// Writes row `row` of a block from its unit colours. At 8 bits each unit is
// two pixels: the index in byte leftByte, then (inside the width) the index
// in byte rightByte.
void WriteP2Row(const P2Block& block, uint32_t row, const uint32_t* units, int leftByte, int rightByte);
