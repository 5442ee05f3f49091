#include "decode/p2sf.h"

#include <random>

#include <gtest/gtest.h>

#include "support/p2_encoder.h"

namespace {

std::vector<uint8_t> TestPalette()
{
    std::vector<uint8_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {uint8_t(i * 3), uint8_t(i), uint8_t(255 - i)});
    return palette;
}

// Encodes the picture as one P2SF block, decodes it and compares.
void ExpectRoundTrip(const P2Pixels& p, const P2sfOptions& options)
{
    std::vector<uint8_t> palette = TestPalette();
    const std::vector<uint8_t>* pal = p.depth == 8 ? &palette : nullptr;
    std::vector<uint8_t> data = EncodeP2sf(p, options);
    ASSERT_FALSE(data.empty());
    std::vector<uint8_t> out;
    ASSERT_EQ(p.depth, DecodeP2ForTest(MakeP2File(p.depth, {MakeP2Block("P2SF", p, 0, 0, data)}, pal), 0, &out));
    EXPECT_TRUE(P2ExpectedBgr(p, pal) == out) << p.width << " x " << p.height;
}

P2Pixels Shape(int depth, uint32_t width, uint32_t height)
{
    P2Pixels p;
    p.depth = depth;
    p.width = width;
    p.height = height;
    return p;
}

// Decodes a hand-made block from its bit stream.
std::vector<uint8_t> DecodeBits(int depth, uint32_t width, uint32_t height, const P2BitWriter& bits)
{
    std::vector<uint8_t> file = MakeP2File(depth, {MakeP2Block("P2SF", Shape(depth, width, height), 0, 0, bits.Bytes())});
    std::vector<uint8_t> out;
    EXPECT_EQ(depth, DecodeP2ForTest(file, 0, &out));
    return out;
}

TEST(P2sf, RoundTripsAtEveryDepthAndShape)
{
    const uint32_t shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {7, 5}, {33, 17}, {64, 40}};
    for (int depth : {8, 15, 24}) {
        for (const auto& s : shapes) {
            for (uint32_t colours : {2u, 12u, 400u}) {
                SCOPED_TRACE(testing::Message() << "depth " << depth << " colours " << colours);
                P2Pixels p = MakeP2TestPicture(depth, s[0], s[1], colours, depth * 17 + s[1] * 3 + colours);
                ExpectRoundTrip(p, P2sfOptions());
                P2sfOptions noChains;
                noChains.chains = false;
                ExpectRoundTrip(p, noChains);
            }
        }
    }
}

TEST(P2sf, LongRunModeRoundTrips)
{
    // Vertical stripes: after the first row nearly every unit is chained, so
    // the long-run mode fits and ends again after 1023 chained units.
    for (int depth : {8, 15, 24}) {
        P2Pixels p = Shape(depth, 12, 300);
        std::mt19937 rng(depth);
        for (uint32_t y = 0; y < p.height; ++y)
            for (uint32_t x = 0; x < p.width; ++x)
                p.values.push_back(y % 250 == 249 && x == 5 ? 3 : (x / 2) * 5 + 1);
        P2sfOptions longRuns;
        longRuns.longRuns = true;
        EXPECT_NE(EncodeP2sf(p, longRuns), EncodeP2sf(p)) << "the long-run mode was used";
        ExpectRoundTrip(p, longRuns);
        ExpectRoundTrip(MakeP2TestPicture(depth, 40, 60, 5, depth), longRuns);
    }
}

TEST(P2sf, OddEightBitWidthsWriteOnlyTheLeftPixelOfTheLastUnit)
{
    // The P2SF block sits left of a raw one; its last unit must not spill over.
    std::vector<uint8_t> palette = TestPalette();
    for (uint32_t width : {1u, 3u, 7u, 15u}) {
        P2Pixels left = MakeP2TestPicture(8, width, 6, 40, width);
        P2Pixels right = MakeP2TestPicture(8, 2, 6, 40, width + 1);
        std::vector<uint8_t> file =
            MakeP2File(8, {MakeP2Block("P2BM", right, static_cast<uint16_t>(width), 0, EncodeP2Raw(right, true)),
                           MakeP2Block("P2SF", left, 0, 0, EncodeP2sf(left))},
                       &palette);
        std::vector<uint8_t> out;
        ASSERT_EQ(8, DecodeP2ForTest(file, 0, &out));
        std::vector<uint8_t> a = P2ExpectedBgr(left, &palette), b = P2ExpectedBgr(right, &palette);
        std::vector<uint8_t> want;
        for (uint32_t y = 0; y < 6; ++y) {
            want.insert(want.end(), a.begin() + y * width * 3, a.begin() + (y + 1) * width * 3);
            want.insert(want.end(), b.begin() + y * 6, b.begin() + (y + 1) * 6);
        }
        EXPECT_TRUE(want == out) << width;
    }
}

TEST(P2sf, TwentyFourBitLiteralsHoldGreenThenRedThenBlue)
{
    P2BitWriter bits;
    bits.Put(0, 1);         // run 0
    bits.Put(0, 1);         // literal
    bits.Put(0x123456, 24);
    bits.Put(0, 1);         // no chain
    bits.Put(0, 1);         // run 0
    EXPECT_EQ(std::vector<uint8_t>({0x56, 0x12, 0x34}), DecodeBits(24, 1, 1, bits));
}

TEST(P2sf, TwentyFourBitContextIsTheCurrentGreen)
{
    // A (green 0x12) goes to context 0; B (green 0x12, red 0x77) to context
    // 0x12; C is the front of the ring of B's green, which is B itself.
    // Keyed by red (0x77) it would find an empty ring: black.
    P2BitWriter bits;
    bits.Put(0, 1);
    for (uint32_t literal : {0x123456u, 0x127701u}) {
        bits.Put(0, 1);
        bits.Put(literal, 24);
        bits.Put(0, 2);  // no chain, run 0
    }
    bits.Put(1, 1);  // from the ring, entry 0
    bits.Put(0, 6);
    bits.Put(0, 2);
    EXPECT_EQ(std::vector<uint8_t>({0x56, 0x12, 0x34, 0x01, 0x12, 0x77, 0x01, 0x12, 0x77}), DecodeBits(24, 3, 1, bits));
}

TEST(P2sf, FifteenBitLiteralOfAllOnesIsWhite)
{
    P2BitWriter bits;
    bits.Put(0, 2);
    bits.Put(0x7FFF, 15);
    bits.Put(0, 2);
    EXPECT_EQ(std::vector<uint8_t>({0xF8, 0xF8, 0xF8}), DecodeBits(15, 1, 1, bits));

    // Green in the top five bits, then red, then blue.
    P2BitWriter rgb;
    rgb.Put(0, 2);
    rgb.Put((1 << 10) | (2 << 5) | 3, 15);
    rgb.Put(0, 2);
    EXPECT_EQ(std::vector<uint8_t>({3 << 3, 1 << 3, 2 << 3}), DecodeBits(15, 1, 1, rgb));
}

TEST(P2sf, RunValuesAboveTheLongRunCountOneLess)
{
    // Run value 1024 covers 1023 units; the 1025th reads a new colour.
    P2BitWriter bits;
    bits.Put(0, 2);
    bits.Put(0x7FFF, 15);
    bits.Put(0, 1);
    bits.Put(0x3FF, 10);  // ten ones, a zero, then 1024 - 1023 in ten bits
    bits.Put(0, 1);
    bits.Put(1, 10);
    bits.Put(0, 1);
    bits.Put(0x0421, 15);  // 1, 1, 1
    bits.Put(0, 2);
    std::vector<uint8_t> out = DecodeBits(15, 1025, 1, bits);
    ASSERT_EQ(1025u * 3, out.size());
    EXPECT_EQ(0xF8, out[1023 * 3]);
    EXPECT_EQ(std::vector<uint8_t>({8, 8, 8}), std::vector<uint8_t>(out.begin() + 1024 * 3, out.end()));
}

TEST(P2sf, LongRunModeIgnoresTheStreamForUnchainedUnits)
{
    // Run value 1023 and no chained unit: the block keeps the start colour
    // whatever follows in the stream.
    P2BitWriter bits;
    bits.Put(0x3FF, 10);
    bits.Put(0, 1);
    bits.Put(0, 10);
    bits.Put(0xFFFFFFFF, 32);
    bits.Put(0xFFFFFFFF, 32);
    std::vector<uint8_t> out = DecodeBits(24, 5, 3, bits);
    EXPECT_EQ(std::vector<uint8_t>(5 * 3 * 3, 0), out);
}

TEST(P2sf, CorruptStreamsDecodeWithinBounds)
{
    std::mt19937 rng(3);
    for (int depth : {8, 15, 24}) {
        P2Pixels p = MakeP2TestPicture(depth, 21, 13, 60, depth);
        std::vector<uint8_t> data = EncodeP2sf(p);
        // Random streams, and streams of ones: the longest run prefixes.
        for (int i = 0; i < 50; ++i) {
            std::vector<uint8_t> noise(data.size(), 0xFF);
            if (i > 0) {
                for (auto& b : noise)
                    b = static_cast<uint8_t>(rng());
            }
            std::vector<uint8_t> out;
            ASSERT_EQ(depth, DecodeP2ForTest(MakeP2File(depth, {MakeP2Block("P2SF", p, 0, 0, noise)}), 1, &out));
        }
    }
}

}  // namespace
