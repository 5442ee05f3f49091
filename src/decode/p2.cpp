#include "decode/p2.h"

#include <cstring>

#include "decode/byte_reader.h"
#include "decode/p2sf.h"
#include "decode/p2ss.h"

namespace {

// File header: offsets of the fields this decoder reads (big-endian values).
const size_t kFlagsAt = 98;
const size_t kFirstBlockAt = 106;
const size_t kDepthAt = 110;
const size_t kPaletteCountAt = 125;
const size_t kPaletteAt = 127;
const size_t kHeaderSize = 112;  // everything up to and including the depth

// Block header: kind, length, (unused), width, height, x, y, (unused), data.
const size_t kBlockHeaderSize = 26;

// Blocks may overlap, but a list whose blocks add up to more than this many
// canvases is hostile (each block decodes its whole area even without data):
// the walk stops there.
const uint64_t kMaxCanvasCover = 16;

const uint32_t kKindSS = 0x50325353;  // "P2SS"
const uint32_t kKindSF = 0x50325346;  // "P2SF"
const uint32_t kKindBM = 0x5032424D;  // "P2BM"
const uint32_t kKindBI = 0x50324249;  // "P2BI"

struct BlockHeader {
    uint32_t kind;
    uint32_t width, height, x, y;
    const uint8_t* data;
    size_t dataSize;
};

// Position in the block list; the size query and the decoder share it.
struct BlockWalk {
    size_t next;
    bool done;
};

// True when the source holds a P2 header.
bool HasHeader(const uint8_t* source, size_t sourceSize)
{
    return source && sourceSize >= kHeaderSize && source[0] == 'P' && source[1] == '2';
}

// Returns a walk positioned at the first block.
BlockWalk StartWalk(const uint8_t* source, size_t sourceSize)
{
    return BlockWalk{ReadBE32(source, sourceSize, kFirstBlockAt), false};
}

// Reads the next block of the list into *block. Returns false at the end of
// the list: an unknown kind, or a header that does not fit the source. A
// block whose length does not move past its own header is the last one; its
// data then runs to the end of the source.
bool NextBlock(const uint8_t* source, size_t sourceSize, BlockWalk* walk, BlockHeader* block)
{
    if (walk->done || !InSource(sourceSize, walk->next, kBlockHeaderSize))
        return false;
    size_t at = walk->next;
    uint32_t kind = ReadBE32(source, sourceSize, at);
    if (kind != kKindSS && kind != kKindSF && kind != kKindBM && kind != kKindBI)
        return false;

    // The header fields.
    uint32_t length = ReadBE32(source, sourceSize, at + 4);
    block->kind = kind;
    block->width = ReadBE16(source, sourceSize, at + 10);
    block->height = ReadBE16(source, sourceSize, at + 12);
    block->x = ReadBE16(source, sourceSize, at + 14);
    block->y = ReadBE16(source, sourceSize, at + 16);

    // The data ends at the block's end or the source's, whichever comes first.
    size_t dataAt = at + kBlockHeaderSize;
    size_t end = sourceSize;
    if (length >= kBlockHeaderSize && length <= sourceSize - at) {
        end = at + length;
        walk->next = end;
    } else {
        walk->done = true;  // no forward step, or past the end of the source
    }
    block->data = source + dataAt;
    block->dataSize = end - dataAt;
    return true;
}

// The canvas size: the largest right and bottom edges over all blocks.
void CanvasSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    uint32_t w = 0, h = 0;
    BlockWalk walk = StartWalk(source, sourceSize);
    BlockHeader block;
    while (NextBlock(source, sourceSize, &walk, &block)) {
        if (block.x + block.width > w)
            w = block.x + block.width;
        if (block.y + block.height > h)
            h = block.y + block.height;
    }
    *width = w;
    *height = h;
}

// Builds the 256-entry palette as blue, green, red. Entries the file does not
// give are black; a picture without a palette gets a grey ramp, so that its
// indices still show.
void BuildPalette(const uint8_t* source, size_t sourceSize, uint8_t* palette)
{
    std::memset(palette, 0, 256 * 3);
    if (!(ReadBE16(source, sourceSize, kFlagsAt) & 1)) {
        for (int i = 0; i < 256; ++i)
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<uint8_t>(i);
        return;
    }
    uint32_t count = ReadBE16(source, sourceSize, kPaletteCountAt);
    for (uint32_t i = 0; i < count && i < 256; ++i) {
        size_t at = kPaletteAt + size_t(i) * 3;
        if (!InSource(sourceSize, at, 3))
            break;
        palette[i * 3] = source[at + 2];
        palette[i * 3 + 1] = source[at + 1];
        palette[i * 3 + 2] = source[at];
    }
}

// Decodes a raw block: one palette index, one 16-bit value (green in bits
// 15-11, red in 10-6, blue in 5-1) or three bytes red, green, blue per pixel.
// Pixels past the end of the data are not written: they keep what the canvas
// held (black with alpha 0, or an earlier block).
void DecodeRawBlock(const P2Block& b, bool bigEndian)
{
    size_t bytesPerPixel = b.depth == 8 ? 1 : b.depth == 15 ? 2 : 3;
    uint64_t available = b.dataSize / bytesPerPixel;
    const uint8_t* in = b.data;
    uint32_t step = b.pixelBytes;
    for (uint32_t row = 0; row < b.height && available > 0; ++row) {
        uint32_t count = available < b.width ? static_cast<uint32_t>(available) : b.width;
        available -= count;
        uint8_t* out = b.out + row * b.outStride;
        if (b.depth == 8) {
            for (uint32_t i = 0; i < count; ++i, out += step) {
                const uint8_t* entry = b.palette + size_t(*in++) * 3;
                out[0] = entry[0];
                out[1] = entry[1];
                out[2] = entry[2];
            }
        } else if (b.depth == 15) {
            int hi = bigEndian ? 0 : 1;
            for (uint32_t i = 0; i < count; ++i, out += step, in += 2) {
                uint32_t v = (uint32_t(in[hi]) << 8) | in[1 - hi];
                out[0] = static_cast<uint8_t>((v & 0x3E) << 2);
                out[1] = static_cast<uint8_t>((v >> 8) & 0xF8);
                out[2] = static_cast<uint8_t>((v >> 3) & 0xF8);
            }
        } else {
            for (uint32_t i = 0; i < count; ++i, out += step, in += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
        if (step == 4) {
            out = b.out + row * b.outStride;
            for (uint32_t i = 0; i < count; ++i)
                out[i * 4 + 3] = 255;
        }
    }
}

// Writes the rows of 8-bit units through the palette.
void WritePairs(const P2Block& b, uint8_t* out, const uint32_t* units, int leftShift, int rightShift)
{
    bool alpha = b.pixelBytes == 4;
    for (uint32_t x = 0; x < b.width; ++x, out += b.pixelBytes) {
        uint32_t unit = units[x >> 1];
        uint32_t index = (unit >> ((x & 1) ? rightShift : leftShift)) & 0xFF;
        const uint8_t* entry = b.palette + index * 3;
        out[0] = entry[0];
        out[1] = entry[1];
        out[2] = entry[2];
        if (alpha)
            out[3] = 255;
    }
}

}  // namespace

void WriteP2Row(const P2Block& b, uint32_t row, const uint32_t* units, int leftByte, int rightByte)
{
    uint8_t* out = b.out + row * b.outStride;
    if (b.depth == 8) {
        WritePairs(b, out, units, leftByte * 8, rightByte * 8);
        return;
    }
    int shift = b.depth == 15 ? 3 : 0;
    if (b.pixelBytes == 4) {
        for (uint32_t x = 0; x < b.width; ++x, out += 4) {
            uint32_t c = units[x];
            out[0] = static_cast<uint8_t>((c >> 16) << shift);
            out[1] = static_cast<uint8_t>((c >> 8) << shift);
            out[2] = static_cast<uint8_t>(c << shift);
            out[3] = 255;
        }
    } else {
        for (uint32_t x = 0; x < b.width; ++x, out += 3) {
            uint32_t c = units[x];
            out[0] = static_cast<uint8_t>((c >> 16) << shift);
            out[1] = static_cast<uint8_t>((c >> 8) << shift);
            out[2] = static_cast<uint8_t>(c << shift);
        }
    }
}

bool GetP2Size(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    if (!HasHeader(source, sourceSize))
        return false;
    CanvasSize(source, sourceSize, width, height);
    return true;
}

int DecodeP2(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    // Header and canvas.
    if (!HasHeader(source, sourceSize))
        return -1;
    int depth = ReadBE16(source, sourceSize, kDepthAt);
    if (depth != 8 && depth != 15 && depth != 24)
        return -1;
    uint32_t width, height;
    CanvasSize(source, sourceSize, &width, &height);
    uint32_t pixelBytes = withAlpha ? 4 : 3;
    uint64_t canvasBytes = uint64_t(width) * height * pixelBytes;
    if (canvasBytes > dstSize || (canvasBytes > 0 && !dst))
        return -1;

    // The palette, then a black canvas with alpha 0.
    uint8_t palette[256 * 3];
    if (depth == 8)
        BuildPalette(source, sourceSize, palette);
    if (canvasBytes > 0)
        std::memset(dst, 0, static_cast<size_t>(canvasBytes));

    // Every block in list order, each straight into its place on the canvas.
    // A block decoder that cannot get its work buffers ends the walk; the
    // blocks placed so far stay.
    BlockWalk walk = StartWalk(source, sourceSize);
    BlockHeader h;
    uint64_t covered = 0, coverLimit = uint64_t(width) * height * kMaxCanvasCover;
    while (NextBlock(source, sourceSize, &walk, &h)) {
        if (h.width == 0 || h.height == 0)
            continue;
        covered += uint64_t(h.width) * h.height;
        if (covered > coverLimit)
            break;
        P2Block b;
        b.data = h.data;
        b.dataSize = h.dataSize;
        b.width = h.width;
        b.height = h.height;
        b.depth = depth;
        b.palette = palette;
        b.outStride = size_t(width) * pixelBytes;
        b.out = dst + size_t(h.y) * b.outStride + size_t(h.x) * pixelBytes;
        b.pixelBytes = pixelBytes;
        bool ok = true;
        if (h.kind == kKindSS)
            ok = DecodeP2ssBlock(b);
        else if (h.kind == kKindSF)
            ok = DecodeP2sfBlock(b);
        else
            DecodeRawBlock(b, h.kind == kKindBM);
        if (!ok)
            break;
    }
    return depth;
}
