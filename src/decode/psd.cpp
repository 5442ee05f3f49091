// Photoshop document decoder. Only the merged picture at the end of the file
// is read: the channel planes are gathered into one work buffer (raw or
// PackBits), then converted pixel by pixel from the colour mode. 16-bit
// samples give their high byte.
#include "decode/psd.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "decode/byte_reader.h"
#include "decode/muldiv.h"

using zize::MulDiv;

namespace {

constexpr size_t kHeaderSize = 26;
constexpr size_t kColourDataAt = 30;
constexpr size_t kIndexTableSize = 768;  // 256 red values, 256 green, 256 blue

enum ColourMode : uint32_t {
    kBitmap = 0,
    kGreyscale = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9,
};

enum Compression : uint32_t { kRaw = 0, kPackBits = 1 };

// Lab conversion in fixed point, 1.0 = 16384.
constexpr int32_t kOne = 16384;

// Stands in for the samples of channels that the file does not have.
const uint8_t kZeroSample = 0;

struct PsdHeader {
    uint32_t channels;
    uint32_t height;
    uint32_t width;
    uint32_t depth;
    uint32_t mode;
};

// Where the sections put the colour data and the image data.
struct PsdLayout {
    uint64_t colourLength;
    uint32_t compression;
    uint64_t imageData;
};

// The planes as the conversion reads them: channel k's sample of pixel i is
// sample[k][i * step[k]].
struct Planes {
    const uint8_t* sample[4];
    size_t step[4];
};

// Reads the header; false when the source is shorter than it.
bool ReadHeader(const uint8_t* source, size_t sourceSize, PsdHeader* h)
{
    if (sourceSize < kHeaderSize)
        return false;
    h->channels = ReadBE16(source, sourceSize, 12);
    h->height = ReadBE32(source, sourceSize, 14);
    h->width = ReadBE32(source, sourceSize, 18);
    h->depth = ReadBE16(source, sourceSize, 22);
    h->mode = ReadBE16(source, sourceSize, 24);
    return true;
}

// True when width x height pixels of bpp bytes fit in dstSize.
bool FitsInDst(uint32_t width, uint32_t height, size_t bpp, size_t dstSize)
{
    return width == 0 || height <= dstSize / bpp / width;
}

// Writes the size of one channel plane; false when it does not fit in 32 bits.
bool PlaneSize(const PsdHeader& h, uint64_t* size)
{
    if (h.depth == 1) {
        *size = (uint64_t(h.width) + 7) / 8 * h.height;
        return *size <= UINT32_MAX;
    }
    uint64_t pixels = uint64_t(h.width) * h.height;  // bounded by the destination's size
    if (pixels > UINT32_MAX / h.depth)
        return false;
    *size = pixels * h.depth / 8;
    return true;
}

// Follows the three length-prefixed sections to the compression field.
PsdLayout ReadLayout(const uint8_t* source, size_t sourceSize)
{
    PsdLayout l;
    l.colourLength = ReadBE32(source, sourceSize, 26);
    uint64_t at = kColourDataAt + l.colourLength;
    at += 4 + uint64_t(ReadBE32(source, sourceSize, at));  // image resources
    at += 4 + uint64_t(ReadBE32(source, sourceSize, at));  // layers and masks
    l.compression = ReadBE16(source, sourceSize, at);
    l.imageData = at + 2;
    return l;
}

// Returns the channels the mode reads (before looking at the file's count).
uint32_t ChannelsRead(const PsdHeader& h)
{
    switch (h.mode) {
    case kRgb: return h.channels == 4 ? 4 : 3;
    case kCmyk: return 4;
    case kMultichannel:
    case kLab: return 3;
    default: return 1;
    }
}

// True for the modes and depths that give a picture; the others give zero
// bytes. 1-bit planes have no whole samples, so only bitmap mode reads them.
bool Converts(const PsdHeader& h)
{
    switch (h.mode) {
    case kBitmap: return true;
    case kIndexed: return h.depth == 8;
    case kGreyscale:
    case kRgb:
    case kCmyk:
    case kMultichannel:
    case kDuotone:
    case kLab: return h.depth != 1;
    default: return false;
    }
}

// Copies the raw planes one after another; what the source lacks stays 0.
void ReadRawPlanes(const uint8_t* source, size_t sourceSize, uint64_t imageData, uint8_t* planes,
                   uint64_t bufferSize)
{
    if (imageData >= sourceSize)
        return;
    uint64_t n = std::min<uint64_t>(bufferSize, sourceSize - imageData);
    std::memcpy(planes, source + imageData, size_t(n));
}

// Decodes PackBits channel after channel, each until it has produced at
// least planeSize bytes. The output position runs on from one channel to
// the next; bytes past the buffer are dropped. A header of 128 does
// nothing. The stream stops at the end of the source; the rest stays 0.
void ReadPackBitsPlanes(const uint8_t* source, size_t sourceSize, uint64_t at, uint32_t channels,
                        uint64_t planeSize, uint8_t* planes, uint64_t bufferSize)
{
    uint64_t out = 0;
    for (uint32_t k = 0; k < channels && out < bufferSize; ++k) {
        uint64_t produced = 0;
        while (produced < planeSize) {
            if (at >= sourceSize)
                return;
            uint8_t h = source[at++];
            if (h == 128)
                continue;
            uint64_t room = out < bufferSize ? bufferSize - out : 0;
            uint64_t count;
            if (h < 128) {
                count = h + 1u;
                uint64_t n = std::min<uint64_t>({count, room, sourceSize - at});
                if (n > 0)
                    std::memcpy(planes + out, source + at, size_t(n));
                at += count;
            } else {
                count = 257u - h;
                uint8_t value = ReadU8(source, sourceSize, size_t(at++));
                if (room > 0)
                    std::memset(planes + out, value, size_t(std::min(count, room)));
            }
            out += count;
            produced += count;
        }
    }
}

// Returns MulDiv(MulDiv(f, f), f) in fixed point.
int32_t Cube(int32_t f)
{
    return MulDiv(f, MulDiv(f, f, kOne), kOne);
}

// Returns the fixed-point square root of v by Newton steps, 0 for v <= 0.
// Where the rounded steps alternate between two neighbours it keeps the
// larger, which lies nearer the true root.
int32_t FixedSqrt(int32_t v)
{
    if (v <= 0)
        return 0;
    int32_t s = v > kOne ? v / 2 : 2 * v;
    int32_t before = -1;
    for (int i = 0; i < 64; ++i) {
        int32_t next = (MulDiv(v, kOne, s) + s) / 2;
        if (next == s)
            return s;
        if (next == before)
            return std::max(next, s);
        before = s;
        s = next;
    }
    return s;
}

// Returns the byte for a fixed-point value, rounded and capped at 255.
uint8_t FixedToByte(int32_t s)
{
    int32_t t = MulDiv(s, 255 * kOne, kOne) + 8192;
    return t > 255 * kOne ? 255 : static_cast<uint8_t>(t >> 14);
}

// Converts one Lab sample triple to blue, green, red.
void LabToBgr(uint8_t lightness, uint8_t aSample, uint8_t bSample, uint8_t* out)
{
    int32_t l = MulDiv(MulDiv(lightness * kOne, 100 * kOne, kOne), kOne, 255 * kOne);
    int32_t a = (aSample - 128) * kOne;
    int32_t b = (bSample - 128) * kOne;

    // CIE XYZ, scaled by the white point.
    int32_t x, y, z;
    if (l >= 8 * kOne) {
        int32_t fy = MulDiv(l + 16 * kOne, kOne, 116 * kOne);
        int32_t fx = fy + MulDiv(a, kOne, 500 * kOne);
        int32_t fz = fy + MulDiv(b, kOne, -200 * kOne);
        y = Cube(fy);
        x = MulDiv(Cube(fx), 15572, kOne);
        z = MulDiv(Cube(fz), 17838, kOne);
    } else {
        y = MulDiv(MulDiv(l, 27 * kOne, kOne), kOne, 399589376);
        x = MulDiv(y + MulDiv(MulDiv(a, 27 * kOne, kOne), kOne, 1722368000), 15572, kOne);
        z = MulDiv(y + MulDiv(MulDiv(b, 27 * kOne, kOne), kOne, -688947200), 17838, kOne);
    }

    // Linear RGB, then the square root as the transfer curve.
    int32_t red = MulDiv(53101, x, kOne) - MulDiv(25189, y, kOne) - MulDiv(8169, z, kOne);
    int32_t green = MulDiv(-15879, x, kOne) + MulDiv(30736, y, kOne) + MulDiv(682, z, kOne);
    int32_t blue = MulDiv(911, x, kOne) - MulDiv(3342, y, kOne) + MulDiv(17318, z, kOne);
    out[0] = FixedToByte(FixedSqrt(blue));
    out[1] = FixedToByte(FixedSqrt(green));
    out[2] = FixedToByte(FixedSqrt(red));
}

// Returns channel k's sample of pixel i.
inline uint8_t Sample(const Planes& p, int k, uint64_t i)
{
    return p.sample[k][i * p.step[k]];
}

// Writes the bitmap-mode picture: every row starts at a fresh byte of
// channel 0, most significant bit first, 1 black and 0 white.
void ConvertBitmap(const PsdHeader& h, const uint8_t* plane, uint8_t* dst, size_t bpp)
{
    // No columns: nothing to write, however many rows the header claims.
    if (h.width == 0)
        return;
    size_t stride = (size_t(h.width) + 7) / 8;
    uint8_t* out = dst;
    for (uint32_t y = 0; y < h.height; ++y) {
        const uint8_t* row = plane ? plane + y * stride : nullptr;
        for (uint32_t x = 0; x < h.width; ++x, out += bpp) {
            bool black = row && ((row[x / 8] >> (7 - x % 8)) & 1);
            uint8_t v = black ? 0 : 255;
            out[0] = out[1] = out[2] = v;
            if (bpp == 4)
                out[3] = 255;
        }
    }
}

// Writes every pixel of the sample-based modes.
void ConvertSamples(const PsdHeader& h, const Planes& p, const uint8_t* indexTable, uint8_t* dst, size_t bpp)
{
    uint64_t count = uint64_t(h.width) * h.height;
    uint8_t* out = dst;
    for (uint64_t i = 0; i < count; ++i, out += bpp) {
        uint8_t c0 = Sample(p, 0, i);
        uint8_t alpha = 255;
        switch (h.mode) {
        case kIndexed:
            out[0] = indexTable[512 + c0];
            out[1] = indexTable[256 + c0];
            out[2] = indexTable[c0];
            break;
        case kRgb:
            out[0] = Sample(p, 2, i);
            out[1] = Sample(p, 1, i);
            out[2] = c0;
            if (h.channels == 4)
                alpha = Sample(p, 3, i);
            break;
        case kCmyk: {
            uint32_t k = Sample(p, 3, i);
            out[0] = static_cast<uint8_t>(k - (255u - Sample(p, 2, i)) * k / 255u);
            out[1] = static_cast<uint8_t>(k - (255u - Sample(p, 1, i)) * k / 255u);
            out[2] = static_cast<uint8_t>(k - (255u - c0) * k / 255u);
            break;
        }
        case kMultichannel:
            out[0] = h.channels > 2 ? Sample(p, 2, i) : c0;
            out[1] = h.channels > 1 ? Sample(p, 1, i) : c0;
            out[2] = c0;
            break;
        case kLab:
            LabToBgr(c0, Sample(p, 1, i), Sample(p, 2, i), out);
            break;
        default:  // greyscale, duotone
            out[0] = out[1] = out[2] = c0;
            break;
        }
        if (bpp == 4)
            out[3] = alpha;
    }
}

// Returns the decoder's result for a header: 1 for bitmap mode, else 8 x N.
int Result(const PsdHeader& h)
{
    return h.mode == kBitmap ? 1 : int(8 * h.channels);
}

}  // namespace

bool GetPsdSize(const uint8_t* source, size_t sourceSize, uint32_t* width, uint32_t* height)
{
    if (sourceSize < 22)
        return false;
    *width = ReadBE32(source, sourceSize, 18);
    *height = ReadBE32(source, sourceSize, 14);
    return true;
}

int DecodePsd(const uint8_t* source, size_t sourceSize, uint8_t* dst, size_t dstSize, int withAlpha)
{
    PsdHeader h;
    if (!ReadHeader(source, sourceSize, &h))
        return -1;
    size_t bpp = withAlpha ? 4 : 3;
    if (!FitsInDst(h.width, h.height, bpp, dstSize))
        return -1;
    size_t outBytes = size_t(h.width) * h.height * bpp;

    // A depth that is not decoded gives a zero picture and 2 to the power N.
    if (h.depth != 1 && h.depth != 8 && h.depth != 16) {
        if (outBytes > 0)
            std::memset(dst, 0, outBytes);
        return static_cast<int>(1u << (h.channels & 31));
    }
    uint64_t planeSize;
    if (!PlaneSize(h, &planeSize))
        return -1;
    if (!Converts(h)) {
        if (outBytes > 0)
            std::memset(dst, 0, outBytes);
        return Result(h);
    }
    PsdLayout layout = ReadLayout(source, sourceSize);

    // Only the channels that the mode reads are kept; the ones it needs
    // beyond the file's count read as 0.
    uint32_t kept = std::min(h.channels, ChannelsRead(h));
    uint64_t bufferSize = kept * planeSize;
    std::unique_ptr<uint8_t[]> buffer;
    if (bufferSize > 0) {
        if (bufferSize > SIZE_MAX)
            return -1;
        buffer.reset(new (std::nothrow) uint8_t[size_t(bufferSize)]());
        if (!buffer)
            return -1;
    }

    // Gather the planes; an unknown compression leaves them 0.
    if (bufferSize > 0 && layout.compression == kRaw) {
        ReadRawPlanes(source, sourceSize, layout.imageData, buffer.get(), bufferSize);
    } else if (bufferSize > 0 && layout.compression == kPackBits) {
        uint64_t counts = uint64_t(h.height) * h.channels * 2;
        ReadPackBitsPlanes(source, sourceSize, layout.imageData + counts, h.channels, planeSize, buffer.get(),
                           bufferSize);
    }

    // Convert.
    if (h.mode == kBitmap) {
        ConvertBitmap(h, kept > 0 ? buffer.get() : nullptr, dst, bpp);
        return Result(h);
    }
    Planes planes;
    size_t step = h.depth / 8;
    for (uint32_t k = 0; k < 4; ++k) {
        bool present = k < kept;
        planes.sample[k] = present ? buffer.get() + k * planeSize : &kZeroSample;
        planes.step[k] = present ? step : 0;
    }
    uint8_t indexTable[kIndexTableSize] = {};
    if (h.mode == kIndexed && kColourDataAt < sourceSize) {
        uint64_t n = std::min<uint64_t>({layout.colourLength, kIndexTableSize, sourceSize - kColourDataAt});
        std::memcpy(indexTable, source + kColourDataAt, size_t(n));
    }
    ConvertSamples(h, planes, indexTable, dst, bpp);
    return Result(h);
}
