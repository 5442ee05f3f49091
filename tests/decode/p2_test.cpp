#include "decode/p2.h"

#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/p2_encoder.h"

namespace {

// A 15- or 24-bit picture of one colour.
P2Pixels Solid(int depth, uint32_t w, uint32_t h, uint32_t colour)
{
    P2Pixels p;
    p.depth = depth;
    p.width = w;
    p.height = h;
    p.values.assign(size_t(w) * h, colour);
    return p;
}

P2FileBlock RawBlock(const P2Pixels& p, uint16_t x, uint16_t y, bool bigEndian = true)
{
    return MakeP2Block(bigEndian ? "P2BM" : "P2BI", p, x, y, EncodeP2Raw(p, bigEndian));
}

// The pixel at (x, y) of a decoded canvas of the given width.
std::vector<uint8_t> PixelAt(const std::vector<uint8_t>& canvas, uint32_t width, uint32_t x, uint32_t y, int bytes)
{
    size_t at = (size_t(y) * width + x) * bytes;
    return std::vector<uint8_t>(canvas.begin() + at, canvas.begin() + at + bytes);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> v)
{
    return std::vector<uint8_t>(v.begin(), v.end());
}

TEST(P2Fixtures, DecodeExactlyExceptTheListedUndefinedPixels)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("p2/", 0) != 0)
            continue;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
        EXPECT_EQ(row.width, std::to_string(w));
        EXPECT_EQ(row.height, std::to_string(h));

        std::vector<uint8_t> out(size_t(w) * h * 3, 0xAB);
        int result = DecodeP2(file.data(), file.size(), out.data(), out.size(), 0);
        if (row.compare == "refused") {
            EXPECT_LT(result, 0);
            EXPECT_EQ(std::vector<uint8_t>(out.size(), 0xAB), out) << "a refused file leaves dst alone";
            ++checked;
            continue;
        }
        ASSERT_EQ("exact", row.compare);
        EXPECT_EQ(file[111] == 24 ? 24 : 15, result);
        BgrImage want;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
        ASSERT_EQ(want.width, w);
        ASSERT_EQ(want.height, h);

        // Undefined pixels take the decoder's value on both sides.
        std::istringstream undefined(row.undefinedPixels);
        std::string item;
        while (undefined >> item) {
            uint32_t x = std::stoul(item.substr(0, item.find(','))), y = std::stoul(item.substr(item.find(',') + 1));
            std::memcpy(&want.pixels[(size_t(y) * w + x) * 3], &out[(size_t(y) * w + x) * 3], 3);
        }
        EXPECT_TRUE(want.pixels == out);

        // With alpha: the same colours, every pixel of these files covered.
        std::vector<uint8_t> withAlpha(size_t(w) * h * 4);
        EXPECT_EQ(result, DecodeP2(file.data(), file.size(), withAlpha.data(), withAlpha.size(), 1));
        size_t wrong = 0;
        for (size_t i = 0; i < size_t(w) * h; ++i)
            wrong += std::memcmp(&withAlpha[i * 4], &out[i * 3], 3) != 0 || withAlpha[i * 4 + 3] != 255;
        EXPECT_EQ(0u, wrong);
        ++checked;
    }
    EXPECT_EQ(7, checked);
}

TEST(P2Size, IsTheLargestRightAndBottomEdge)
{
    std::vector<uint8_t> file = MakeP2File(15, {RawBlock(Solid(15, 100, 50, 1), 0, 0), RawBlock(Solid(15, 100, 50, 2), 0, 50)});
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(100u, w);
    EXPECT_EQ(100u, h);

    file = MakeP2File(24, {RawBlock(Solid(24, 3, 40, 1), 60, 2), RawBlock(Solid(24, 10, 4, 2), 5, 7)});
    ASSERT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(63u, w);
    EXPECT_EQ(42u, h);

    file = MakeP2File(24, {});
    ASSERT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(0u, w);
    EXPECT_EQ(0u, h);
}

TEST(P2Size, RefusesShortOrForeignHeaders)
{
    std::vector<uint8_t> file = MakeP2File(24, {RawBlock(Solid(24, 2, 2, 1), 0, 0)});
    uint32_t w = 7, h = 7;
    EXPECT_FALSE(GetP2Size(file.data(), 111, &w, &h));
    EXPECT_FALSE(GetP2Size(nullptr, 0, &w, &h));
    file[1] = '3';
    EXPECT_FALSE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(7u, w);
    std::vector<uint8_t> out(12);
    EXPECT_EQ(-1, DecodeP2(file.data(), file.size(), out.data(), out.size(), 0));
}

TEST(P2Raw, FifteenBitValuesHoldGreenRedBlueFromTheTop)
{
    // 0x7C, 0x00: v = 0x7C00 big-endian, 0x007C little-endian.
    P2Pixels shape = Solid(15, 1, 1, 0);
    for (bool big : {true, false}) {
        std::vector<uint8_t> file = MakeP2File(15, {MakeP2Block(big ? "P2BM" : "P2BI", shape, 0, 0, Bytes({0x7C, 0x00}))});
        std::vector<uint8_t> out;
        ASSERT_EQ(15, DecodeP2ForTest(file, 0, &out));
        if (big)
            EXPECT_EQ(Bytes({0x00, 0x78, 0x80}), out);  // blue, green, red
        else
            EXPECT_EQ(Bytes({0xF0, 0x00, 0x08}), out);
    }
}

TEST(P2Raw, TwentyFourBitPixelsAreRedGreenBlue)
{
    std::vector<uint8_t> file = MakeP2File(24, {MakeP2Block("P2BI", Solid(24, 2, 1, 0), 0, 0, Bytes({1, 2, 3, 4, 5, 6}))});
    std::vector<uint8_t> out;
    ASSERT_EQ(24, DecodeP2ForTest(file, 0, &out));
    EXPECT_EQ(Bytes({3, 2, 1, 6, 5, 4}), out);
}

TEST(P2Raw, RoundTripsAtEveryDepthAndByteOrder)
{
    std::vector<uint8_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    for (int depth : {8, 15, 24}) {
        for (bool big : {true, false}) {
            SCOPED_TRACE(testing::Message() << depth << (big ? " BM" : " BI"));
            P2Pixels p = MakeP2TestPicture(depth, 37, 11, 50, depth + big);
            std::vector<uint8_t> file = MakeP2File(depth, {RawBlock(p, 0, 0, big)}, depth == 8 ? &palette : nullptr);
            std::vector<uint8_t> out;
            ASSERT_EQ(depth, DecodeP2ForTest(file, 0, &out));
            EXPECT_TRUE(P2ExpectedBgr(p, depth == 8 ? &palette : nullptr) == out);
        }
    }
}

TEST(P2Palette, MissingEntriesAreBlackAndNoPaletteIsAGreyRamp)
{
    P2Pixels p;
    p.depth = 8;
    p.width = 4;
    p.height = 1;
    p.values = {0, 1, 2, 200};
    std::vector<uint8_t> palette = Bytes({10, 20, 30, 40, 50, 60});  // two entries
    std::vector<uint8_t> out;
    ASSERT_EQ(8, DecodeP2ForTest(MakeP2File(8, {RawBlock(p, 0, 0)}, &palette), 0, &out));
    EXPECT_EQ(Bytes({30, 20, 10, 60, 50, 40, 0, 0, 0, 0, 0, 0}), out);

    ASSERT_EQ(8, DecodeP2ForTest(MakeP2File(8, {RawBlock(p, 0, 0)}), 0, &out));
    EXPECT_EQ(Bytes({0, 0, 0, 1, 1, 1, 2, 2, 2, 200, 200, 200}), out);

    // A palette count beyond the end of the file reads only what is there.
    std::vector<uint8_t> file = MakeP2File(8, {}, &palette);
    file[125] = 0xFF;
    file[126] = 0xFF;
    file.resize(129);
    uint32_t w, h;
    EXPECT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(8, DecodeP2(file.data(), file.size(), nullptr, 0, 0));
}

TEST(P2Canvas, UncoveredAreaIsBlackWithAlphaZeroAndLaterBlocksWin)
{
    std::vector<uint8_t> file = MakeP2File(
        24, {RawBlock(Solid(24, 2, 2, 0x0000FF), 0, 0), RawBlock(Solid(24, 2, 2, 0x00FF00), 1, 1)});
    std::vector<uint8_t> out;
    uint32_t w, h;
    ASSERT_EQ(24, DecodeP2ForTest(file, 1, &out, &w, &h));
    ASSERT_EQ(3u, w);
    EXPECT_EQ(Bytes({0, 0, 255, 255}), PixelAt(out, w, 0, 0, 4));
    EXPECT_EQ(Bytes({0, 255, 0, 255}), PixelAt(out, w, 1, 1, 4));  // the second block on top
    EXPECT_EQ(Bytes({0, 0, 0, 0}), PixelAt(out, w, 2, 0, 4));
    EXPECT_EQ(Bytes({0, 0, 0, 0}), PixelAt(out, w, 0, 2, 4));
    EXPECT_EQ(Bytes({0, 255, 0, 255}), PixelAt(out, w, 2, 2, 4));

    ASSERT_EQ(24, DecodeP2ForTest(file, 0, &out));
    EXPECT_EQ(Bytes({0, 0, 0}), PixelAt(out, w, 2, 0, 3));
}

TEST(P2Canvas, RefusesDepthsAndTooSmallDestinations)
{
    std::vector<uint8_t> file = MakeP2File(24, {RawBlock(Solid(24, 4, 3, 5), 0, 0)});
    std::vector<uint8_t> out(4 * 3 * 4);
    EXPECT_EQ(-1, DecodeP2(file.data(), file.size(), out.data(), 4 * 3 * 3 - 1, 0));
    EXPECT_EQ(-1, DecodeP2(file.data(), file.size(), out.data(), 4 * 3 * 4 - 1, 1));
    EXPECT_EQ(24, DecodeP2(file.data(), file.size(), out.data(), 4 * 3 * 3, 0));
    for (int depth : {0, 12, 16, 32}) {
        file[110] = 0;
        file[111] = static_cast<uint8_t>(depth);
        std::fill(out.begin(), out.end(), 0x5A);
        EXPECT_EQ(-1, DecodeP2(file.data(), file.size(), out.data(), out.size(), 0)) << depth;
        EXPECT_EQ(std::vector<uint8_t>(out.size(), 0x5A), out);
    }
}

TEST(P2Walk, UnknownKindEndsTheList)
{
    P2FileBlock stop = RawBlock(Solid(24, 50, 50, 9), 0, 0);
    stop.kind = "P2XX";
    std::vector<uint8_t> file = MakeP2File(24, {RawBlock(Solid(24, 2, 2, 7), 0, 0), stop, RawBlock(Solid(24, 3, 3, 8), 0, 0)});
    uint32_t w, h;
    std::vector<uint8_t> out;
    ASSERT_EQ(24, DecodeP2ForTest(file, 0, &out, &w, &h));
    EXPECT_EQ(2u, w);
    EXPECT_EQ(2u, h);
    EXPECT_EQ(P2ExpectedBgr(Solid(24, 2, 2, 7)), out);
}

TEST(P2Walk, EndsOnLengthsThatDoNotMoveForwardOrLeaveTheSource)
{
    // A zero length: that block is the last, its data runs to the end.
    std::vector<uint8_t> file = MakeP2File(24, {RawBlock(Solid(24, 2, 1, 7), 0, 0), RawBlock(Solid(24, 1, 1, 8), 0, 5)});
    size_t first = 127;
    for (uint32_t length : {0u, 1u, 25u}) {
        file[first + 4] = file[first + 5] = file[first + 6] = 0;
        file[first + 7] = static_cast<uint8_t>(length);
        uint32_t w, h;
        std::vector<uint8_t> out;
        ASSERT_EQ(24, DecodeP2ForTest(file, 0, &out, &w, &h));
        EXPECT_EQ(2u, w);
        EXPECT_EQ(1u, h);
        EXPECT_EQ(P2ExpectedBgr(Solid(24, 2, 1, 7)), out);
    }

    // A length past the end: the data is cut at the end of the source, and
    // pixels without data keep the canvas black with alpha 0.
    file = MakeP2File(24, {RawBlock(Solid(24, 2, 2, 0x030201), 0, 0)});
    file[first + 4] = 0x7F;
    file.resize(file.size() - 3);
    std::vector<uint8_t> out;
    ASSERT_EQ(24, DecodeP2ForTest(file, 1, &out));
    EXPECT_EQ(Bytes({3, 2, 1, 255, 3, 2, 1, 255, 3, 2, 1, 255, 0, 0, 0, 0}), out);

    // A first-block offset far outside the source: no blocks.
    file[106] = 0xFF;
    uint32_t w = 9, h = 9;
    ASSERT_TRUE(GetP2Size(file.data(), file.size(), &w, &h));
    EXPECT_EQ(0u, w);
}

TEST(P2Walk, StopsOnceTheBlocksCoverSixteenCanvases)
{
    // Each block decodes its whole area even without data, so a long list of
    // overlapping blocks would take without bound; sixteen layers are kept.
    std::vector<P2FileBlock> blocks;
    for (uint32_t i = 1; i <= 40; ++i)
        blocks.push_back(RawBlock(Solid(24, 3, 2, i), 0, 0));
    std::vector<uint8_t> out;
    ASSERT_EQ(24, DecodeP2ForTest(MakeP2File(24, blocks), 0, &out));
    EXPECT_EQ(P2ExpectedBgr(Solid(24, 3, 2, 16)), out);
}

TEST(P2Walk, EveryPrefixOfAFileOfAllKindsDecodesWithinBounds)
{
    for (int depth : {8, 15, 24}) {
        P2Pixels a = MakeP2TestPicture(depth, 13, 9, 20, 1);
        P2Pixels b = MakeP2TestPicture(depth, 7, 8, 20, 2);
        std::vector<uint8_t> palette(300, 0x44);
        std::vector<uint8_t> file =
            MakeP2File(depth,
                       {RawBlock(a, 0, 0), MakeP2Block("P2SS", a, 3, 4, EncodeP2ss(a)),
                        MakeP2Block("P2SF", b, 9, 1, EncodeP2sf(b)), RawBlock(b, 1, 2, false)},
                       depth == 8 ? &palette : nullptr);
        for (size_t len = 100; len <= file.size(); ++len) {
            std::vector<uint8_t> part(file.begin(), file.begin() + len);
            std::vector<uint8_t> out;
            int r = DecodeP2ForTest(part, len % 2, &out);
            ASSERT_EQ(len < 112 ? -100 : depth, r) << depth << " " << len;
        }
    }
}

}  // namespace
