#include "decode/pic.h"

#include "decode/bit_reader.h"
#include "decode/byte_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// What the header says, with the offset of the bit stream.
struct PicHeader {
    uint32_t type = 0;  // selects the colour layout
    uint32_t colourBits = 0;
    uint32_t width = 0;
    uint32_t rows = 0;  // rows of cells in the plane
    size_t streamAt = 0;
};

// The type byte whose cells hold two 8-bit pixels each, doubling the height.
const uint32_t kPairedType = 0x21;

// A plane cell set by a chain carries this mark beside its colour.
const uint32_t kChainMark = 0x10000;

// Levels of the paired layout's 3-bit and 2-bit channels.
const uint8_t kLevel8[8] = {0x00, 0x24, 0x49, 0x6D, 0x92, 0xB6, 0xDB, 0xFF};
const uint8_t kLevel4[4] = {0x00, 0x55, 0xAA, 0xFF};

// The 128 recent colours, linked in a ring; entry numbers are array positions.
struct ColourCache {
    uint32_t value[128];
    uint8_t previous[128];
    uint8_t next[128];
    uint32_t current = 0;
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Finds the end of the header texts: the first 0x00 after the first 0x1A at
// or after offset 3. Returns false when either byte is missing.
bool FindTextEnd(const uint8_t* source, size_t sourceSize, size_t* z)
{
    if (sourceSize < 3 || source[0] != 'P' || source[1] != 'I')
        return false;
    return FindCommentEnd(source, sourceSize, 3, z);
}

// Reads the header fields. Returns false when any of them lies beyond the source.
bool ReadPicHeader(const uint8_t* source, size_t sourceSize, PicHeader* h)
{
    size_t z;
    if (!FindTextEnd(source, sourceSize, &z) || !InSource(sourceSize, z, 9))
        return false;
    h->type = source[z + 2];
    h->colourBits = ReadBE16(source, sourceSize, z + 3);
    h->width = ReadBE16(source, sourceSize, z + 5);
    h->rows = ReadBE16(source, sourceSize, z + 7);
    h->streamAt = z + 9;
    return true;
}

// The number of output rows: two per row of cells for the paired type byte.
uint32_t OutputRows(const PicHeader& h)
{
    return h.type == kPairedType ? 2 * h.rows : h.rows;
}

// Takes bits up to and including the first 0. Returns how many were 1.
inline uint64_t CountOnes(BitReader& bits)
{
    uint64_t ones = 0;
    for (;;) {
        uint32_t zeros = ~bits.PeekBits(32);
        if (zeros != 0) {
            uint32_t run = static_cast<uint32_t>(__builtin_clz(zeros));
            bits.SkipBits(run + 1);
            return ones + run;
        }
        bits.SkipBits(32);
        ones += 32;
    }
}

// Reads a run length. Returns UINT64_MAX for lengths too long for any plane.
inline uint64_t ReadRunLength(BitReader& bits)
{
    uint64_t n = CountOnes(bits) + 1;
    if (n > 32)
        return UINT64_MAX;
    return (uint64_t(1) << n) - 2 + bits.GetBits(static_cast<uint32_t>(n));
}

// Starts the cache: every entry 0, linked to its neighbours in a ring.
void InitCache(ColourCache& cache)
{
    for (uint32_t e = 0; e < 128; ++e) {
        cache.value[e] = 0;
        cache.previous[e] = static_cast<uint8_t>((e - 1) & 127);
        cache.next[e] = static_cast<uint8_t>((e + 1) & 127);
    }
    cache.current = 0;
}

// Reads a new colour, literal or from the cache, and updates the cache.
// Returns the colour.
inline uint32_t ReadNewColour(BitReader& bits, ColourCache& cache, uint32_t colourBits)
{
    // A literal goes into the entry after the current one.
    if (!bits.GetBits(1)) {
        uint32_t colour = bits.GetBits(colourBits);
        cache.current = cache.next[cache.current];
        cache.value[cache.current] = colour;
        return colour;
    }

    // A hit moves its entry to just after the current one and makes it current.
    uint32_t k = bits.GetBits(7);
    if (k != cache.current) {
        cache.next[cache.previous[k]] = cache.next[k];
        cache.previous[cache.next[k]] = cache.previous[k];
        uint32_t after = cache.next[cache.current];
        cache.previous[k] = static_cast<uint8_t>(cache.current);
        cache.next[k] = static_cast<uint8_t>(after);
        cache.previous[after] = static_cast<uint8_t>(k);
        cache.next[cache.current] = static_cast<uint8_t>(k);
        cache.current = k;
    }
    return cache.value[k];
}

// Reads a chain from the pixel at (row, column) and marks its cells in the
// rows below. Marks below the last row or outside the plane are dropped.
void ReadChain(BitReader& bits, uint32_t* plane, uint64_t width, uint64_t rows, uint64_t row, int64_t column,
               uint32_t colour)
{
    const int64_t cells = static_cast<int64_t>(width * rows);
    const uint32_t mark = colour | kChainMark;
    for (;;) {
        uint32_t move = bits.GetBits(2);
        if (move == 0) {
            if (!bits.GetBits(1))
                return;
            column += bits.GetBits(1) ? 2 : -2;
        } else {
            column += static_cast<int64_t>(move) - 2;
        }
        if (++row < rows) {
            int64_t at = static_cast<int64_t>(row * width) + column;
            if (at >= 0 && at < cells)
                plane[at] = mark;
        }
    }
}

// Decodes the plane from the bit stream. When the stream runs out, the cells
// not reached stay 0 (colour 0, black).
void DecodePlane(BitReader& bits, uint32_t* plane, const PicHeader& h)
{
    ColourCache cache;
    InitCache(cache);
    const uint64_t cells = uint64_t(h.width) * h.rows;
    uint64_t pos = 0;  // the cell the next step lands on
    uint32_t current = 0;

    while (!bits.Overrun()) {
        // The run: each cell takes the current colour, or a chain's colour
        // found there becomes the current one.
        uint64_t length = ReadRunLength(bits);
        uint64_t end = length < cells - pos ? pos + length : cells;
        for (; pos < end; ++pos) {
            uint32_t cell = plane[pos];
            if (cell != 0)
                current = cell & 0xFFFF;
            plane[pos] = current;
        }
        if (pos == cells)
            return;

        // The next pixel gets a new colour, maybe carried down by a chain.
        uint32_t colour = ReadNewColour(bits, cache, h.colourBits);
        plane[pos] = colour;
        current = colour;
        if (bits.GetBits(1))
            ReadChain(bits, plane, h.width, h.rows, pos / h.width, static_cast<int64_t>(pos % h.width), colour);
        ++pos;
    }
}

// Writes every cell through convert(value, pixel), row by row.
template <typename Convert>
uint8_t* WriteCells(const uint32_t* plane, size_t count, uint8_t* dst, int withAlpha, Convert convert)
{
    size_t step = withAlpha ? 4 : 3;
    for (size_t i = 0; i < count; ++i, dst += step) {
        convert(plane[i] & 0xFFFF, dst);
        if (withAlpha)
            dst[3] = 255;
    }
    return dst;
}

// Writes the paired layout: each cell gives the pixel at an even x (low
// byte) and the one after it (second byte); the cell pointer moves on after
// each odd-x pixel and runs on from row to row.
void WritePairedCells(const uint32_t* plane, size_t width, size_t outputRows, uint8_t* dst, int withAlpha)
{
    size_t step = withAlpha ? 4 : 3;
    for (size_t y = 0; y < outputRows; ++y) {
        for (size_t x = 0; x < width; ++x, dst += step) {
            uint32_t i = (x & 1) ? (*plane++ >> 8) & 0xFF : *plane & 0xFF;
            dst[0] = kLevel4[i & 3];
            dst[1] = kLevel8[i >> 5];
            dst[2] = kLevel8[(i >> 2) & 7];
            if (withAlpha)
                dst[3] = 255;
        }
    }
}

// Converts the plane by the layout that the colour bits and the type byte select.
void WritePixels(const uint32_t* plane, const PicHeader& h, uint8_t* dst, int withAlpha)
{
    const size_t count = size_t(h.width) * h.rows;
    const uint32_t lowNibble = h.type & 0x0F;
    if (h.colourBits == 16) {
        if (h.type == kPairedType) {
            WritePairedCells(plane, h.width, OutputRows(h), dst, withAlpha);
        } else if (lowNibble == 1) {
            WriteCells(plane, count, dst, withAlpha, [](uint32_t v, uint8_t* p) {
                p[0] = static_cast<uint8_t>((v & 0x1F) << 3);
                p[1] = static_cast<uint8_t>((v >> 8) & 0xFC);
                p[2] = static_cast<uint8_t>((v >> 2) & 0xF8);
            });
        } else {
            WriteCells(plane, count, dst, withAlpha, [](uint32_t v, uint8_t* p) {
                p[0] = static_cast<uint8_t>((v & 0x3E) << 2);
                p[1] = static_cast<uint8_t>((v >> 8) & 0xF8);
                p[2] = static_cast<uint8_t>((v >> 3) & 0xF8);
            });
        }
        return;
    }

    uint8_t* rest;
    if (lowNibble == 3) {
        rest = WriteCells(plane, count, dst, withAlpha, [](uint32_t v, uint8_t* p) {
            p[0] = static_cast<uint8_t>((v & 0x1F) << 3);
            p[1] = static_cast<uint8_t>((v >> 2) & 0xF8);
            p[2] = static_cast<uint8_t>((v >> 7) & 0xF8);
        });
    } else {
        rest = WriteCells(plane, count, dst, withAlpha, [](uint32_t v, uint8_t* p) {
            p[0] = static_cast<uint8_t>((v & 0x1F) << 3);
            p[1] = static_cast<uint8_t>((v >> 7) & 0xF8);
            p[2] = static_cast<uint8_t>((v >> 2) & 0xF8);
        });
    }

    // A 15-bit picture with the paired type byte is reported twice as tall
    // as its cells: the rows below them are black.
    if (h.type == kPairedType) {
        size_t step = withAlpha ? 4 : 3;
        for (size_t i = 0; i < count; ++i, rest += step) {
            rest[0] = rest[1] = rest[2] = 0;
            if (withAlpha)
                rest[3] = 255;
        }
    }
}

}  // namespace

bool GetPicSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    PicHeader h;
    if (!ReadPicHeader(source, sourceSize, &h))
        return false;
    *width = h.width;
    *height = OutputRows(h);
    return true;
}

int DecodePic(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    PicHeader h;
    if (!ReadPicHeader(source, sourceSize, &h) || (h.colourBits != 15 && h.colourBits != 16))
        return -1;

    // The destination must hold the whole picture as the size query reports it.
    uint64_t pixels = uint64_t(h.width) * OutputRows(h);
    if (pixels * (withAlpha ? 4 : 3) > dstSize)
        return -1;

    // The plane: one 32-bit cell per pixel (two pixels in the paired layout).
    uint64_t cells = uint64_t(h.width) * h.rows;
    if (cells > SIZE_MAX / sizeof(uint32_t))
        return -1;
    std::unique_ptr<uint32_t, FreeDeleter> plane(
        static_cast<uint32_t*>(std::calloc(cells ? static_cast<size_t>(cells) : 1, sizeof(uint32_t))));
    if (!plane)
        return -1;

    // The stream follows the header at once, possibly at the very end.
    if (cells != 0) {
        BitReader bits;
        bits.Start(source + h.streamAt, sourceSize - h.streamAt);
        DecodePlane(bits, plane.get(), h);
    }

    WritePixels(plane.get(), h, dst, withAlpha);
    return static_cast<int>(h.colourBits);
}
