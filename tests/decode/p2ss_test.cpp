#include "decode/p2ss.h"

#include <random>

#include <gtest/gtest.h>

#include "support/p2_encoder.h"

namespace {

std::vector<uint8_t> GreyPalette()
{
    std::vector<uint8_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {uint8_t(i), uint8_t(i ^ 0x55), uint8_t(255 - i)});
    return palette;
}

// Encodes the picture as one P2SS block, decodes it and compares.
void ExpectRoundTrip(const P2Pixels& p, const P2ssOptions& options)
{
    std::vector<uint8_t> palette = GreyPalette();
    const std::vector<uint8_t>* pal = p.depth == 8 ? &palette : nullptr;
    std::vector<uint8_t> data = EncodeP2ss(p, options);
    ASSERT_FALSE(data.empty());
    std::vector<uint8_t> out;
    ASSERT_EQ(p.depth, DecodeP2ForTest(MakeP2File(p.depth, {MakeP2Block("P2SS", p, 0, 0, data)}, pal), 0, &out));
    EXPECT_TRUE(P2ExpectedBgr(p, pal) == out) << p.width << " x " << p.height;
}

TEST(P2ss, RoundTripsAtEveryDepthAndShape)
{
    const uint32_t shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {7, 5}, {33, 17}, {64, 40}};
    for (int depth : {8, 15, 24}) {
        for (const auto& s : shapes) {
            for (uint32_t colours : {2u, 12u, 400u}) {
                SCOPED_TRACE(testing::Message() << "depth " << depth << " colours " << colours);
                P2Pixels p = MakeP2TestPicture(depth, s[0], s[1], colours, depth * 131 + s[0] * 7 + colours);
                ExpectRoundTrip(p, P2ssOptions());
                P2ssOptions noChains;
                noChains.chains = false;
                ExpectRoundTrip(p, noChains);
            }
        }
    }
}

TEST(P2ss, RoundTripsWithExtremeAndRandomProbabilities)
{
    // Stored values of 0 give the smallest probability, 1, not 0.
    std::mt19937 rng(5);
    std::vector<std::vector<uint16_t>> tables = {std::vector<uint16_t>(128, 0), std::vector<uint16_t>(128, 0xFFFF)};
    std::vector<uint16_t> random(128);
    for (auto& v : random)
        v = static_cast<uint16_t>(rng());
    tables.push_back(random);
    for (int depth : {8, 15, 24}) {
        for (const auto& table : tables) {
            P2ssOptions options;
            options.table = table;
            ExpectRoundTrip(MakeP2TestPicture(depth, 11, 6, 30, depth), options);
        }
    }
}

TEST(P2ss, ColoursAtTheEdgesOfTheRangeRoundTrip)
{
    // Predictions near 0 and near the top exercise every branch of the unfolding.
    for (int depth : {15, 24}) {
        uint32_t top = depth == 15 ? 31 : 255;
        P2Pixels p;
        p.depth = depth;
        p.width = 16;
        p.height = 16;
        std::mt19937 rng(depth);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t pick[4] = {0, top, top / 2, static_cast<uint32_t>(rng() % (top + 1))};
            p.values.push_back(pick[rng() % 4] | (pick[rng() % 4] << 8) | (pick[rng() % 4] << 16));
        }
        ExpectRoundTrip(p, P2ssOptions());
    }
}

// Decodes a hand-made 15- or 24-bit or 8-bit block of width x 1 from decisions.
std::vector<uint8_t> DecodeDecisions(int depth, uint32_t width, const std::vector<P2Decision>& d)
{
    P2Pixels shape;
    shape.depth = depth;
    shape.width = width;
    shape.height = 1;
    std::vector<uint8_t> file =
        MakeP2File(depth, {MakeP2Block("P2SS", shape, 0, 0, EncodeP2Decisions(d, std::vector<uint16_t>(128, 0x9000)))});
    std::vector<uint8_t> out;
    EXPECT_EQ(depth, DecodeP2ForTest(file, 0, &out));
    return out;
}

TEST(P2ss, CacheIndexOfThirtyTwoWrapsInsideTheRing)
{
    // Unit 0: a literal (5, 5, 5), predicted from black so its residuals are
    // 5, 0, 0; it lands at ring entry 31. Unit 1: a cache hit at 32 finds it.
    std::vector<P2Decision> d = {{0, 1}, {16, 1}};
    AppendP2Value(&d, 32, 5);
    AppendP2Value(&d, 48, 0);
    AppendP2Value(&d, 64, 0);
    d.push_back({1, 1});
    d.push_back({16, 0});
    AppendP2Value(&d, 17, 32);
    std::vector<uint8_t> out = DecodeDecisions(15, 2, d);
    EXPECT_EQ(std::vector<uint8_t>(6, 0x28), out);
}

TEST(P2ss, EightBitCacheIndicesBeyondTheListStayInsideTheCache)
{
    // Unit 0: the pair (5, 255) from the index list; unit 1 in context 255
    // asks for pair 255, far past its own 32: an empty entry, (0, 0).
    std::vector<P2Decision> d = {{0, 1}, {16, 1}};
    AppendP2Value(&d, 32, 5);
    AppendP2Value(&d, 32, 255);
    d.push_back({1, 1});
    d.push_back({16, 0});
    AppendP2Value(&d, 17, 255);
    std::vector<uint8_t> out = DecodeDecisions(8, 4, d);  // no palette: a grey ramp
    EXPECT_EQ(std::vector<uint8_t>({5, 5, 5, 255, 255, 255, 0, 0, 0, 0, 0, 0}), out);
}

TEST(P2ss, AStreamThatEndsEarlyDecodesFromZeroBits)
{
    // Only the table: every decision reads as 0, so every unit keeps black.
    P2Pixels shape = MakeP2TestPicture(24, 9, 4, 3, 1);
    std::vector<uint8_t> table(256, 0x40);
    std::vector<uint8_t> out;
    ASSERT_EQ(24, DecodeP2ForTest(MakeP2File(24, {MakeP2Block("P2SS", shape, 0, 0, table)}), 1, &out));
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(i % 4 == 3 ? 255 : 0, out[i]) << i;
}

TEST(P2ss, CorruptStreamsDecodeWithinBounds)
{
    std::mt19937 rng(9);
    for (int depth : {8, 15, 24}) {
        P2Pixels p = MakeP2TestPicture(depth, 21, 13, 60, depth);
        std::vector<uint8_t> data = EncodeP2ss(p);
        // Random streams reach cache indices, residuals and counts no valid file has.
        for (int i = 0; i < 50; ++i) {
            std::vector<uint8_t> noise(data.size());
            for (auto& b : noise)
                b = static_cast<uint8_t>(rng());
            std::vector<uint8_t> out;
            ASSERT_EQ(depth, DecodeP2ForTest(MakeP2File(depth, {MakeP2Block("P2SS", p, 0, 0, noise)}), 1, &out));
        }
    }
}

}  // namespace
