#include "decode/maki01.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/maki01_builder.h"
#include "support/test_data.h"

namespace {

constexpr char kFixture[] = "maki01/s10_stripe2_640x400_maki.mki";

DecodeRun Decode(const std::vector<uint8_t>& file, int withAlpha = 0)
{
    return RunDecoder(GetMaki01Size, DecodeMaki01, file, withAlpha);
}

// A picture whose palette entry i is green 16i, red 16i + 1, blue 16i + 2.
Maki01Picture Picture(char variant, size_t rows)
{
    Maki01Picture p;
    p.variant = variant;
    for (int i = 0; i < 16; ++i) {
        p.palette[i][0] = uint8_t(16 * i);
        p.palette[i][1] = uint8_t(16 * i + 1);
        p.palette[i][2] = uint8_t(16 * i + 2);
    }
    p.yEnd = uint16_t(rows);
    p.indices.assign(640 * rows, 0);
    return p;
}

// Sparse random indices: runs of 0 leave whole flags and blocks empty.
void Scatter(Maki01Picture* p, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (uint8_t& v : p->indices)
        v = rng() % 5 == 0 ? uint8_t(rng() % 16) : 0;
}

// The colour bytes the picture's index plane should decode to.
std::vector<uint8_t> Expected(const Maki01Picture& p, uint32_t width, uint32_t height, int withAlpha)
{
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            bool inside = x < 640 && y < 400 && size_t(y) * 640 + x < p.indices.size();
            uint8_t i = inside ? p.indices[size_t(y) * 640 + x] : 0;
            out.push_back(inside ? p.palette[i][2] : 0);
            out.push_back(inside ? p.palette[i][0] : 0);
            out.push_back(inside ? p.palette[i][1] : 0);
            if (withAlpha)
                out.push_back(255);
        }
    }
    return out;
}

TEST(Maki01Decoder, FixtureDecodesAsExpected)
{
    REQUIRE_FIXTURES();
    std::vector<uint8_t> file;
    BgrImage want;
    ASSERT_TRUE(ReadFixture(kFixture, &file));
    ASSERT_TRUE(ReadBgrFixture(std::string(kFixture) + ".bgr", &want));
    DecodeRun run = Decode(file);
    EXPECT_EQ(4, run.result);
    EXPECT_EQ(640u, run.width);
    EXPECT_EQ(400u, run.height);
    EXPECT_TRUE(want.pixels == run.pixels);

    // With alpha: the same colours, each followed by 255.
    DecodeRun alpha = Decode(file, 1);
    ASSERT_EQ(want.pixels.size() / 3 * 4, alpha.pixels.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < want.pixels.size() / 3; ++i)
        mismatches += alpha.pixels[4 * i] != want.pixels[3 * i] || alpha.pixels[4 * i + 1] != want.pixels[3 * i + 1] ||
                      alpha.pixels[4 * i + 2] != want.pixels[3 * i + 2] || alpha.pixels[4 * i + 3] != 255;
    EXPECT_EQ(0u, mismatches);
}

TEST(Maki01Decoder, SizeQueryUsesTheExtentsWithoutPlusOne)
{
    Maki01Picture p = Picture('A', 400);
    std::vector<uint8_t> file = BuildMaki01(p);
    uint32_t w = 1, h = 1;
    EXPECT_FALSE(GetMaki01Size(file.data(), 47, &w, &h));
    EXPECT_EQ(1u, w);
    EXPECT_EQ(1u, h);
    EXPECT_TRUE(GetMaki01Size(file.data(), 48, &w, &h));
    EXPECT_EQ(640u, w);
    EXPECT_EQ(400u, h);

    // An end before the start wraps round as unsigned 32-bit arithmetic;
    // the decoder then refuses for want of room.
    p.xStart = 10;
    p.xEnd = 4;
    file = BuildMaki01(p);
    ASSERT_TRUE(GetMaki01Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(0xFFFFFFFAu, w);
    std::vector<uint8_t> dst(640 * 400 * 3);
    EXPECT_EQ(-1, DecodeMaki01(file.data(), file.size(), dst.data(), dst.size(), 0));
}

TEST(Maki01Decoder, BuiltPicturesRoundTrip)
{
    // Both XOR distances, full and short pictures ("A" always XORs rows 2
    // to 399; "B" only when it has more than 4 rows).
    for (char variant : {'A', 'B'}) {
        for (size_t rows : {400, 250, 200, 5, 4, 3, 1}) {
            Maki01Picture p = Picture(variant, rows);
            Scatter(&p, uint32_t(rows * 7 + variant));
            for (int withAlpha : {0, 1}) {
                DecodeRun run = Decode(BuildMaki01(p), withAlpha);
                EXPECT_EQ(4, run.result);
                EXPECT_EQ(rows, run.height);
                EXPECT_TRUE(Expected(p, 640, uint32_t(rows), withAlpha) == run.pixels)
                    << variant << " " << rows << " rows";
            }
        }
    }
}

TEST(Maki01Decoder, EmptyFlagsCostNoFlagBBytes)
{
    // One lit pixel pair in the block of rows 4 to 7, column 3 (the XOR
    // coding repeats it in row 7): flag B holds exactly one pair of bytes.
    Maki01Picture p = Picture('A', 400);
    p.indices[5 * 640 + 3 * 8 + 2] = 9;
    std::vector<uint8_t> file = BuildMaki01(p);
    EXPECT_EQ(2, (file[32] << 8) | file[33]);
    DecodeRun run = Decode(file);
    EXPECT_TRUE(Expected(p, 640, 400, 0) == run.pixels);
    EXPECT_EQ("146,144,145", PixelText(run, 0, 26, 5));
    EXPECT_EQ("2,0,1", PixelText(run, 0, 27, 5));
}

TEST(Maki01Decoder, SecondPixelBlockStartsAtRow200)
{
    // Bytes left over at the end of the first block are skipped.
    Maki01Picture p = Picture('A', 400);
    Scatter(&p, 5);
    p.pixelAPadding = 37;
    EXPECT_TRUE(Expected(p, 640, 400, 0) == Decode(BuildMaki01(p)).pixels);

    // A first block that claims fewer bytes than rows 0 to 199 use: those
    // rows read on past it, and row 200 still starts where the size says.
    Maki01Picture lit = Picture('B', 400);
    std::fill(lit.indices.begin(), lit.indices.end(), 0);
    for (size_t x = 0; x < 640; ++x) {
        lit.indices[199 * 640 + x] = 3;
        lit.indices[200 * 640 + x] = 6;
    }
    std::vector<uint8_t> file = BuildMaki01(lit);
    size_t pixelA = kMaki01FlagB + ((file[32] << 8) | file[33]);
    ASSERT_EQ(320, (file[34] << 8) | file[35]);
    file[34] = 0;
    file[35] = 10;  // row 200 now starts 10 bytes into row 199's bytes
    DecodeRun run = Decode(file);
    EXPECT_EQ(file[pixelA], 0x33);
    EXPECT_EQ("50,48,49", PixelText(run, 0, 0, 199));   // index 3
    EXPECT_EQ("50,48,49", PixelText(run, 0, 0, 200));   // row 199's bytes again
    EXPECT_EQ("50,48,49", PixelText(run, 0, 619, 200));
    EXPECT_EQ("98,96,97", PixelText(run, 0, 620, 200)); // the old second block begins
}

TEST(Maki01Decoder, PaletteHoldsGreenRedBlue)
{
    Maki01Picture p = Picture('A', 400);
    p.palette[0][0] = 0x70;
    p.palette[0][1] = 0x50;
    p.palette[0][2] = 0x30;
    DecodeRun run = Decode(BuildMaki01(p), 1);
    EXPECT_EQ("48,112,80,255", PixelText(run, 1, 0, 0));
    EXPECT_EQ("48,112,80,255", PixelText(run, 1, 639, 399));
}

TEST(Maki01Decoder, OtherExtentsStayInsideTheBuffer)
{
    // Narrower and shorter: the top-left part of the plane.
    Maki01Picture p = Picture('A', 400);
    Scatter(&p, 9);
    p.xEnd = 320;
    p.yEnd = 100;
    DecodeRun run = Decode(BuildMaki01(p));
    ASSERT_EQ(320u * 100 * 3, run.pixels.size());
    EXPECT_TRUE(Expected(p, 320, 100, 0) == run.pixels);

    // Wider and taller: the plane, then black; rows past 400 are not decoded.
    p.xStart = 100;
    p.xEnd = 100 + 700;
    p.yEnd = 450;
    run = Decode(BuildMaki01(p), 1);
    ASSERT_EQ(700u * 450 * 4, run.pixels.size());
    p.yEnd = 400;
    EXPECT_TRUE(Expected(p, 700, 450, 1) == run.pixels);

    // A destination smaller than the extents ask for is refused.
    std::vector<uint8_t> file = BuildMaki01(Picture('A', 400));
    std::vector<uint8_t> dst(640 * 400 * 3);
    EXPECT_EQ(-1, DecodeMaki01(file.data(), file.size(), dst.data(), dst.size() - 1, 0));
    EXPECT_EQ(-1, DecodeMaki01(file.data(), file.size(), dst.data(), dst.size(), 1));
}

TEST(Maki01Decoder, EveryTruncationDecodesCleanly)
{
    // A short built picture at every length.
    Maki01Picture p = Picture('B', 12);
    Scatter(&p, 3);
    std::vector<uint8_t> file = BuildMaki01(p);
    for (int withAlpha : {0, 1})
        EXPECT_EQ(std::vector<size_t>{}, DecodeEveryPrefix(GetMaki01Size, DecodeMaki01, file, withAlpha));

    // The fixture's every decode is a whole plane: every length through
    // the header and palette, then every 17th.
    if (FixturesAvailable()) {
        ASSERT_TRUE(ReadFixture(kFixture, &file));
        EXPECT_EQ(std::vector<size_t>{}, DecodeEveryPrefix(GetMaki01Size, DecodeMaki01, file, 0, 100, 17));
    }
}

}  // namespace
