#include "decode/mag.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "decode/dispatch.h"
#include "support/fixtures.h"
#include "support/mag_encoder.h"

namespace {

// The result of one decode through the dispatch.
struct Decoded {
    int depth = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};

// Detects, sizes and decodes a heap copy of exactly the given bytes, so that
// the sanitizers see any read past their end.
Decoded DecodeBytes(const std::vector<uint8_t>& bytes, int withAlpha = 0)
{
    Decoded d;
    std::vector<uint8_t> source(bytes.begin(), bytes.end());
    ImageDecoder decoder;
    if (DetectDecoderType(&decoder, source.data(), source.size()) != DecoderMag)
        return d;
    if (!GetImageSize(&decoder, &d.width, &d.height))
        return d;
    d.pixels.assign(size_t(d.width) * d.height * (3 + withAlpha), 0xCD);
    d.depth = DecodeImage(&decoder, d.pixels.data(), d.pixels.size(), withAlpha);
    return d;
}

// A handmade 16-colour file: header for the given x and y range, a palette
// whose entry i is (i, 16 * i, 255 - i) as red, green, blue, then the streams.
std::vector<uint8_t> HandmadeMag16(uint16_t xs, uint16_t xe, uint16_t ye, const std::vector<uint8_t>& flagA,
                                   const std::vector<uint8_t>& flagB, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out = {'M', 'A', 'K', 'I', '0', '2', ' ', ' ', 0x1A, 0, 0, 0, 0};
    auto le16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    auto le32 = [&](uint32_t v) {
        le16(v & 0xFFFF);
        le16(v >> 16);
    };
    le16(xs);
    le16(0);
    le16(xe);
    le16(ye);
    uint32_t a = 32 + 48;
    uint32_t b = a + uint32_t(flagA.size());
    uint32_t bs = uint32_t(flagB.size());
    le32(a);
    le32(b);
    le32(bs);
    le32(b + bs + (bs & 1));
    le32(uint32_t(data.size()));
    for (int i = 0; i < 16; ++i) {
        out.push_back(uint8_t(16 * i));   // green
        out.push_back(uint8_t(i));        // red
        out.push_back(uint8_t(255 - i));  // blue
    }
    out.insert(out.end(), flagA.begin(), flagA.end());
    out.insert(out.end(), flagB.begin(), flagB.end());
    if (bs & 1)
        out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// The handmade palette's colour of an index, as blue, green, red.
std::vector<uint8_t> HandmadeColour(int i)
{
    return {uint8_t(255 - i), uint8_t(16 * i), uint8_t(i)};
}

// ---- Independent files -------------------------------------------------

TEST(MagFixtures, DecodeToTheirExpectedPixels)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.format != "MAG (MAKI02)")
            continue;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(row.path, &bytes));
        BgrImage expected;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &expected));

        for (int withAlpha = 0; withAlpha <= 1; ++withAlpha) {
            Decoded d = DecodeBytes(bytes, withAlpha);
            EXPECT_EQ(std::to_string(d.width), row.width);
            EXPECT_EQ(std::to_string(d.height), row.height);
            ASSERT_EQ(expected.width, d.width);
            ASSERT_EQ(expected.height, d.height);
            bool is256 = row.variant.find("256") != std::string::npos;
            EXPECT_EQ(is256 ? 8 : 4, d.depth);
            if (row.compare != "exact")
                continue;

            // Compare pixel by pixel so that a failure names the first one.
            size_t step = 3 + withAlpha;
            size_t mismatches = 0;
            for (size_t i = 0; i < size_t(d.width) * d.height; ++i) {
                bool same = memcmp(&d.pixels[i * step], &expected.pixels[i * 3], 3) == 0 &&
                            (!withAlpha || d.pixels[i * step + 3] == 255);
                if (!same && mismatches++ == 0)
                    ADD_FAILURE() << "first wrong pixel at " << i % d.width << "," << i / d.width;
            }
            EXPECT_EQ(0u, mismatches);
        }
        ++checked;
    }
    EXPECT_EQ(5, checked);
}

// Every MAG fixture cut at every length decodes without a fault: the
// sanitizers watch each read of the exact-size copy. Large files are cut in
// several slices of lengths, one test each, so that they run in parallel.
struct CutSlice {
    const char* path;
    int slice;
    int slices;
};

class MagFixtureCuts : public testing::TestWithParam<CutSlice> {};

TEST_P(MagFixtureCuts, EveryPrefixDecodesCleanly)
{
    REQUIRE_FIXTURES();
    const CutSlice& c = GetParam();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFixture(c.path, &bytes));
    Decoded full = DecodeBytes(bytes);
    ASSERT_GT(full.depth, 0);
    std::vector<uint8_t> dst(full.pixels.size());
    const size_t first = (bytes.size() + 1) * c.slice / c.slices;
    const size_t end = (bytes.size() + 1) * (c.slice + 1) / c.slices;
    size_t sized = 0;
    for (size_t length = first; length < end; ++length) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + length);
        ImageDecoder decoder;
        uint32_t width = 0, height = 0;
        if (DetectDecoderType(&decoder, cut.data(), cut.size()) != DecoderMag ||
            !GetImageSize(&decoder, &width, &height))
            continue;
        ++sized;
        // Once the size is known the decode succeeds, with the full size.
        ASSERT_EQ(full.width, width) << "length " << length;
        ASSERT_EQ(full.height, height) << "length " << length;
        ASSERT_EQ(full.depth, DecodeImage(&decoder, dst.data(), dst.size(), 0)) << "length " << length;
    }
    if (c.slice == c.slices - 1) {
        EXPECT_GT(sized, (end - first) / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, MagFixtureCuts,
    testing::Values(CutSlice{"mag/s01_grad_640x400_mag16.mag", 0, 6}, CutSlice{"mag/s01_grad_640x400_mag16.mag", 1, 6},
                    CutSlice{"mag/s01_grad_640x400_mag16.mag", 2, 6}, CutSlice{"mag/s01_grad_640x400_mag16.mag", 3, 6},
                    CutSlice{"mag/s01_grad_640x400_mag16.mag", 4, 6}, CutSlice{"mag/s01_grad_640x400_mag16.mag", 5, 6},
                    CutSlice{"mag/s03_noise_17x13_mag256x.mag", 0, 1}, CutSlice{"mag/s05_edges_8x3_mag16x.mag", 0, 1},
                    CutSlice{"mag/s07_text_123x77_mag16e.mag", 0, 1}, CutSlice{"mag/s08_checker_33x65_mag256.mag", 0, 1}),
    [](const testing::TestParamInfo<CutSlice>& info) {
        std::string name = info.param.path;
        name = name.substr(name.find('/') + 1, name.find('_') - name.find('/') - 1);
        return name + "_" + std::to_string(info.param.slice);
    });

// ---- Round trips through the test encoder ------------------------------

struct RoundTripCase {
    bool colors256;
    uint16_t xStart;
    uint32_t width;
    uint32_t height;
    MagPattern pattern;
};

class MagRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(MagRoundTrip, DecodesWhatWasEncoded)
{
    const RoundTripCase& c = GetParam();
    MagPicture picture = MakeMagPicture(c.colors256, c.xStart, 3, c.width, c.height, c.pattern,
                                        c.width * 131 + c.height + c.xStart);
    for (int withAlpha = 0; withAlpha <= 1; ++withAlpha) {
        for (bool rotate : {false, true}) {
            MagEncodeOptions options;
            options.rotateVectors = rotate;
            options.oddFlagB = withAlpha == 1;
            Decoded d = DecodeBytes(EncodeMag(picture, options), withAlpha);
            ASSERT_EQ(c.colors256 ? 8 : 4, d.depth);
            ASSERT_EQ(picture.PlaneWidth(), d.width);
            ASSERT_EQ(picture.Height(), d.height);
            ASSERT_TRUE(d.pixels == MagExpectedPixels(picture, withAlpha))
                << "withAlpha " << withAlpha << " rotate " << rotate;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, MagRoundTrip,
    testing::Values(RoundTripCase{false, 0, 8, 1, MagPattern::Noise}, RoundTripCase{true, 0, 4, 1, MagPattern::Noise},
                    RoundTripCase{false, 5, 5, 7, MagPattern::Mixed},     // x 5 to 9: one unit from pixel 0
                    RoundTripCase{false, 3, 8, 9, MagPattern::Blocks},   // x 3 to 10: two flag bytes
                    RoundTripCase{true, 1, 6, 9, MagPattern::Blocks},    // x 1 to 6: two flag bytes
                    RoundTripCase{false, 0, 24, 40, MagPattern::Flat},    // 3 flag bytes a row
                    RoundTripCase{true, 2, 37, 33, MagPattern::Mixed},    // odd flag count per row
                    RoundTripCase{false, 13, 123, 77, MagPattern::Mixed}, RoundTripCase{true, 7, 100, 50, MagPattern::Noise},
                    RoundTripCase{false, 640, 64, 64, MagPattern::Blocks},
                    RoundTripCase{true, 0, 257, 20, MagPattern::Mixed}));

TEST(MagRoundTrip, UsesEveryCopyVectorAndLiterals)
{
    for (bool colors256 : {false, true}) {
        MagPicture picture = MakeMagPicture(colors256, 0, 0, 96, 40, MagPattern::Mixed, 7);
        MagEncodeOptions options;
        options.rotateVectors = true;
        MagEncodeStats stats;
        std::vector<uint8_t> file = EncodeMag(picture, options, &stats);
        for (int n = 0; n < 16; ++n)
            EXPECT_GT(stats.nibbleUses[n], 0u) << "nibble " << n << " colors256 " << colors256;
        EXPECT_GT(stats.flagBSize, 0u);
        Decoded d = DecodeBytes(file);
        EXPECT_TRUE(d.pixels == MagExpectedPixels(picture, false));
    }
}

TEST(MagRoundTrip, EachCopyVectorAloneIsCopiedFromItsOwnDistance)
{
    // Each picture prefers one vector; a wrong distance for it would show.
    for (bool colors256 : {false, true}) {
        MagPicture picture = MakeMagPicture(colors256, 0, 0, 64, 40, MagPattern::Blocks, 3);
        for (int n = 1; n <= 15; ++n) {
            MagEncodeOptions options;
            options.firstVector = n;
            MagEncodeStats stats;
            std::vector<uint8_t> file = EncodeMag(picture, options, &stats);
            EXPECT_GT(stats.nibbleUses[n], 0u);
            EXPECT_TRUE(DecodeBytes(file).pixels == MagExpectedPixels(picture, false)) << "vector " << n;
        }
    }
}

TEST(MagRoundTrip, LiteralOnlyAndOddFlagBSizes)
{
    for (bool colors256 : {false, true}) {
        MagPicture picture = MakeMagPicture(colors256, 9, 0, 50, 21, MagPattern::Mixed, 11);
        MagEncodeOptions literal;
        literal.literalsOnly = true;
        MagEncodeStats stats;
        std::vector<uint8_t> file = EncodeMag(picture, literal, &stats);
        EXPECT_EQ(0u, stats.flagBSize);  // the flag line never changes
        EXPECT_TRUE(DecodeBytes(file).pixels == MagExpectedPixels(picture, false));

        bool sawOdd = false;
        for (uint32_t seed = 0; seed < 6; ++seed) {
            MagPicture noisy = MakeMagPicture(colors256, 0, 0, 40, 12 + seed, MagPattern::Mixed, seed);
            MagEncodeOptions odd;
            odd.oddFlagB = true;
            std::vector<uint8_t> oddFile = EncodeMag(noisy, odd, &stats);
            sawOdd |= (stats.flagBSize & 1) != 0;
            EXPECT_TRUE(DecodeBytes(oddFile).pixels == MagExpectedPixels(noisy, false)) << "seed " << seed;
        }
        EXPECT_TRUE(sawOdd);
    }
}

// ---- Header fields -----------------------------------------------------

TEST(MagHeader, StreamsAreFoundFromFlagBNotFromTheStoredPixelOffset)
{
    MagPicture picture = MakeMagPicture(false, 0, 0, 48, 30, MagPattern::Mixed, 5);
    std::vector<uint8_t> want = MagExpectedPixels(picture, false);

    // A stored pixel data offset that points elsewhere is ignored.
    MagEncodeOptions skew;
    skew.pixelOffsetSkew = 6;
    skew.oddFlagB = true;
    EXPECT_TRUE(DecodeBytes(EncodeMag(picture, skew)).pixels == want);

    // Stored offsets that all lie further on are used only by difference.
    MagEncodeOptions bias;
    bias.offsetBias = 1000;
    EXPECT_TRUE(DecodeBytes(EncodeMag(picture, bias)).pixels == want);
}

TEST(MagHeader, FlagBOfSevenBytesPutsPixelDataEightBytesOn)
{
    // 16 colours, 64 x 2: row 0 literal, row 1 flags changed in 7 of 8
    // bytes (each unit copies the one above), so flag B holds 7 bytes.
    std::vector<uint8_t> flagA = {0x00, 0xFE};
    std::vector<uint8_t> flagB(7, 0x44);
    std::vector<uint8_t> data;
    for (int k = 0; k < 16 + 2; ++k)  // 16 literal units in row 0, 2 in row 1
        data.insert(data.end(), {uint8_t(k * 17), uint8_t(0x5A)});
    std::vector<uint8_t> file = HandmadeMag16(0, 63, 1, flagA, flagB, data);
    ASSERT_EQ(0, file[file.size() - data.size() - 1]);  // the pad byte after flag B

    Decoded d = DecodeBytes(file);
    ASSERT_EQ(4, d.depth);
    ASSERT_EQ(64u, d.width);
    // Row 0, pixel 4k: the high nibble of literal k's first byte.
    for (int k = 0; k < 16; ++k) {
        std::vector<uint8_t> px(d.pixels.begin() + 12 * k, d.pixels.begin() + 12 * k + 3);
        EXPECT_EQ(HandmadeColour((k * 17) >> 4), px) << "unit " << k;
    }
    // Row 1: the first 14 units copy row 0, the last flag byte (unchanged,
    // still 0) takes the next literals.
    EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.begin() + 56 * 3, d.pixels.begin() + 64 * 3));
    std::vector<uint8_t> last(d.pixels.begin() + (64 + 56) * 3, d.pixels.begin() + (64 + 57) * 3);
    EXPECT_EQ(HandmadeColour(1), last);  // literal 16 is 0x10, 0x5A
}

TEST(MagHeader, PaletteIsGreenRedBlueAndComesOutBlueGreenRed)
{
    MagPicture picture = MakeMagPicture(false, 0, 0, 8, 1, MagPattern::Flat, 1);
    std::fill(picture.indices.begin(), picture.indices.end(), 0);
    picture.palette[0] = 0x00;  // red
    picture.palette[1] = 0xF0;  // green
    picture.palette[2] = 0x70;  // blue
    MagEncodeStats stats;
    std::vector<uint8_t> file = EncodeMag(picture, {}, &stats);
    const uint8_t stored[3] = {0xF0, 0x00, 0x70};
    ASSERT_EQ(0, memcmp(&file[stats.headerStart + 32], stored, 3));

    Decoded d = DecodeBytes(file, 1);
    ASSERT_EQ(8u * 4, d.pixels.size());
    const uint8_t want[4] = {0x70, 0xF0, 0x00, 0xFF};
    EXPECT_EQ(0, memcmp(d.pixels.data(), want, 4));
}

TEST(MagHeader, OnlyBit7OfTheScreenModeCounts)
{
    // Bit 0 (a 200-line mode) neither doubles rows nor changes the colours.
    MagPicture picture = MakeMagPicture(false, 0, 0, 32, 10, MagPattern::Mixed, 9);
    picture.screenModeBits = 0x01;
    Decoded d = DecodeBytes(EncodeMag(picture));
    EXPECT_EQ(4, d.depth);
    EXPECT_EQ(10u, d.height);
    EXPECT_TRUE(d.pixels == MagExpectedPixels(picture, false));

    picture = MakeMagPicture(true, 0, 0, 32, 10, MagPattern::Mixed, 9);
    picture.screenModeBits = 0x7F;
    d = DecodeBytes(EncodeMag(picture));
    EXPECT_EQ(8, d.depth);
    EXPECT_TRUE(d.pixels == MagExpectedPixels(picture, false));
}

// ---- Damaged files -----------------------------------------------------

TEST(MagDamage, CopiesFromBeforeThePlaneWriteIndexZero)
{
    // Row 0 of an 8 x 2 picture: the first unit copies from one row up,
    // the second from 4 pixels back (the first unit). Row 1 copies row 0.
    std::vector<uint8_t> file = HandmadeMag16(0, 7, 1, {0xC0}, {0x41, 0x00}, {});
    file.push_back(0x77);  // unused pixel data must not matter
    Decoded d = DecodeBytes(file);
    ASSERT_EQ(4, d.depth);
    ASSERT_EQ(16u * 3, d.pixels.size());
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(HandmadeColour(0), std::vector<uint8_t>(d.pixels.begin() + 3 * i, d.pixels.begin() + 3 * i + 3));
}

TEST(MagDamage, PixelDataRunningOutLeavesTheRestAtIndexZero)
{
    for (bool colors256 : {false, true}) {
        MagPicture picture = MakeMagPicture(colors256, 0, 0, 16, 4, MagPattern::Noise, 21);
        for (uint8_t& v : picture.indices)
            v = v == 0 ? 1 : v;  // index 0 only where the data ran out
        MagEncodeOptions literal;
        literal.literalsOnly = true;
        MagEncodeStats stats;
        std::vector<uint8_t> file = EncodeMag(picture, literal, &stats);
        size_t dataStart = file.size() - stats.pixelDataSize;
        const size_t unit = colors256 ? 2 : 4;

        // Cut after k whole units and one byte of the next.
        for (size_t k : {0, 3, 10}) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + dataStart + 2 * k + 1);
            Decoded d = DecodeBytes(cut);
            ASSERT_EQ(colors256 ? 8 : 4, d.depth);
            std::vector<uint8_t> want = picture.indices;
            // The unit that ran short keeps its first byte, the rest is 0.
            size_t partial = k * unit + (colors256 ? 1 : 2);
            std::fill(want.begin() + partial, want.end(), 0);
            MagPicture expected = picture;
            expected.indices = want;
            EXPECT_TRUE(d.pixels == MagExpectedPixels(expected, false)) << "k " << k << " colors256 " << colors256;
        }
    }
}

TEST(MagDamage, RefusesWhatCannotBeDecoded)
{
    std::vector<uint8_t> file = HandmadeMag16(0, 7, 0, {0}, {}, {0x12, 0x34, 0x56, 0x78});
    std::vector<uint8_t> dst(8 * 4, 0xCD);

    // A destination one byte short is refused before anything is written.
    EXPECT_EQ(-1, DecodeMag(file.data(), file.size(), dst.data(), 8 * 3 - 1, 0));
    EXPECT_EQ(-1, DecodeMag(file.data(), file.size(), dst.data(), 8 * 4 - 1, 1));
    EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == 0xCD; }));
    EXPECT_EQ(4, DecodeMag(file.data(), file.size(), dst.data(), 8 * 3, 0));

    // No 0x1A, or a header cut inside the coordinates.
    std::vector<uint8_t> noMark(file.begin(), file.begin() + 8);
    EXPECT_EQ(-1, DecodeMag(noMark.data(), noMark.size(), dst.data(), dst.size(), 0));
    std::vector<uint8_t> shortHeader(file.begin(), file.begin() + 9 + 11);
    EXPECT_EQ(-1, DecodeMag(shortHeader.data(), shortHeader.size(), dst.data(), dst.size(), 0));
    std::vector<uint8_t> coordinates(file.begin(), file.begin() + 9 + 12);
    EXPECT_EQ(4, DecodeMag(coordinates.data(), coordinates.size(), dst.data(), dst.size(), 0));

    // y end before y start: an empty picture.
    std::vector<uint8_t> empty = file;
    empty[9 + 6] = 1;  // y start 1, y end 0
    uint32_t w = 0, h = 7;
    ASSERT_TRUE(GetMagSize(empty.data(), empty.size(), &w, &h));
    EXPECT_EQ(0u, h);
    EXPECT_EQ(-1, DecodeMag(empty.data(), empty.size(), dst.data(), dst.size(), 0));
}

TEST(MagDamage, HostileStreamOffsetsReadZerosInsteadOfOutside)
{
    MagPicture picture = MakeMagPicture(true, 0, 0, 16, 8, MagPattern::Mixed, 4);
    MagEncodeStats stats;
    std::vector<uint8_t> file = EncodeMag(picture, {}, &stats);
    const size_t h = stats.headerStart;
    for (uint32_t flagB : {0u, 0xFFFFFFu, 0x7FFFFFu}) {
        for (uint32_t flagBSize : {0u, 1u, 0xFFFFFFu}) {
            std::vector<uint8_t> bad = file;
            for (int i = 0; i < 4; ++i) {
                bad[h + 16 + i] = uint8_t(flagB >> (8 * i));
                bad[h + 20 + i] = uint8_t(flagBSize >> (8 * i));
            }
            Decoded d = DecodeBytes(bad);
            EXPECT_EQ(8, d.depth);
            EXPECT_EQ(size_t(16) * 8 * 3, d.pixels.size());
        }
    }
}

}  // namespace
