#include "decode/tga.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/test_data.h"
#include "support/tga_builder.h"

namespace {

DecodeRun Decode(const std::vector<uint8_t>& file, int withAlpha = 0)
{
    return RunDecoder(GetTgaSize, DecodeTga, file, withAlpha);
}

// A one-column 8-bit grey picture whose file rows hold 1, 2, 3, ...
TgaImage NumberedRows(uint16_t rows, uint8_t descriptor)
{
    TgaImage t;
    t.imageType = 3;
    t.depth = 8;
    t.width = 1;
    t.height = rows;
    t.descriptor = descriptor;
    for (uint16_t i = 0; i < rows; ++i)
        t.pixels.push_back(uint8_t(i + 1));
    return t;
}

// The grey values of a one-column picture, top row first.
std::vector<int> Column(const DecodeRun& run)
{
    std::vector<int> values;
    for (size_t i = 0; i < run.pixels.size(); i += 3)
        values.push_back(run.pixels[i]);
    return values;
}

TEST(TgaDecoder, FixturesDecodeAsExpected)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("tga/", 0) != 0 || row.compare != "exact")
            continue;
        std::vector<uint8_t> file;
        BgrImage want;
        ASSERT_TRUE(ReadFixture(row.path, &file)) << row.path;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want)) << row.expected;
        DecodeRun run = Decode(file);
        EXPECT_EQ(int(file[16]), run.result) << row.path;
        EXPECT_EQ(want.width, run.width) << row.path;
        EXPECT_EQ(want.height, run.height) << row.path;
        EXPECT_TRUE(want.pixels == run.pixels) << row.path;
        ++checked;
    }
    EXPECT_EQ(3, checked);
}

TEST(TgaDecoder, SixteenBitDataDecodesLikeFifteen)
{
    // Detection refuses depth 16, but the decoder reads it: the fixture's
    // 16-bit file holds the same bytes as the 15-bit one.
    REQUIRE_FIXTURES();
    std::vector<uint8_t> file;
    BgrImage want;
    ASSERT_TRUE(ReadFixture("tga/t18_s07_text_123x77_rgb16_topleft.tga", &file));
    ASSERT_TRUE(ReadBgrFixture("tga/t20_s07_text_123x77_rgb15_topleft.tga.bgr", &want));
    DecodeRun run = Decode(file);
    EXPECT_EQ(16, run.result);
    EXPECT_TRUE(want.pixels == run.pixels);
}

// ImageMagick's decodings keep its quirks: its rows are in the order it
// wrote them (top first, whatever the descriptor says), its 5-bit channels
// are scaled to 0-255 and its grey pictures are opaque. The decoder follows
// the descriptor, shifts 5-bit channels left by 3 and gives grey its value
// as alpha.
TEST(TgaDecoder, ImageMagickFilesMatchItsDecodingByTheRules)
{
    const char* kinds[] = {"grey8", "map8", "rgb16", "rgb24", "rgba32"};
    int checked = 0;
    for (const char* kind : kinds) {
        for (const char* comp : {"raw", "rle"}) {
            for (const char* origin : {"bl", "tl"}) {
                std::string name = std::string("tga/") + kind + "_" + comp + "_" + origin + ".tga";
                std::vector<uint8_t> file, magick;
                ASSERT_TRUE(ReadTestData(name, &file)) << TestDataPathUtf8(name);
                ASSERT_TRUE(ReadTestData(name + ".rgba", &magick)) << name;
                DecodeRun run = Decode(file, 1);
                ASSERT_EQ(int(file[16]), run.result) << name;
                ASSERT_EQ(size_t(run.width) * run.height * 4, magick.size()) << name;

                bool flip = std::string(origin) == "bl";
                size_t mismatches = 0;
                for (uint32_t y = 0; y < run.height; ++y) {
                    uint32_t fromRow = flip ? run.height - 1 - y : y;
                    for (uint32_t x = 0; x < run.width; ++x) {
                        const uint8_t* m = &magick[(size_t(fromRow) * run.width + x) * 4];
                        uint8_t want[4] = {m[2], m[1], m[0], 255};
                        if (file[16] == 16)
                            for (int c = 0; c < 3; ++c)
                                want[c] = uint8_t(((want[c] * 31 + 127) / 255) << 3);
                        if (file[16] == 32)
                            want[3] = m[3];
                        if (file[2] == 3 || file[2] == 11)
                            want[3] = want[0];
                        const uint8_t* got = &run.pixels[(size_t(y) * run.width + x) * 4];
                        if (!std::equal(want, want + 4, got) && mismatches++ < 3)
                            ADD_FAILURE() << name << " at " << x << "," << y << ": " << PixelText(run, 1, x, y);
                    }
                }
                EXPECT_EQ(0u, mismatches) << name;
                ++checked;
            }
        }
    }
    EXPECT_EQ(20, checked);
}

TEST(TgaDecoder, SizeQueryReadsTheHeaderOnly)
{
    std::vector<uint8_t> file = BuildTga(NumberedRows(3, 0));
    uint32_t w = 7, h = 7;
    EXPECT_FALSE(GetTgaSize(file.data(), 15, &w, &h));
    EXPECT_EQ(7u, w);
    EXPECT_EQ(7u, h);
    EXPECT_TRUE(GetTgaSize(file.data(), 16, &w, &h));
    EXPECT_EQ(1u, w);
    EXPECT_EQ(3u, h);
}

TEST(TgaDecoder, RowOrderFollowsTheOriginBit)
{
    EXPECT_EQ((std::vector<int>{3, 2, 1}), Column(Decode(BuildTga(NumberedRows(3, 0x00)))));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Column(Decode(BuildTga(NumberedRows(3, 0x20)))));
}

TEST(TgaDecoder, InterleavedFilesVisitRowsInFileOrder)
{
    // Output row r holds the number of the file row placed there.
    // Two-way over 5 rows: file rows go to 0, 2, 4, 1, 3.
    EXPECT_EQ((std::vector<int>{1, 4, 2, 5, 3}), Column(Decode(BuildTga(NumberedRows(5, 0x60)))));
    // Four-way over 6 rows: 0, 4, 1, 5, 2, 3.
    EXPECT_EQ((std::vector<int>{1, 3, 5, 6, 2, 4}), Column(Decode(BuildTga(NumberedRows(6, 0xA0)))));
    // Bottom-up two-way: file row v goes to 4 - v.
    EXPECT_EQ((std::vector<int>{3, 5, 2, 4, 1}), Column(Decode(BuildTga(NumberedRows(5, 0x40)))));
    // Field value 3 means no interleave.
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), Column(Decode(BuildTga(NumberedRows(4, 0xE0)))));
    // Fewer rows than the interleave step.
    EXPECT_EQ((std::vector<int>{1, 2}), Column(Decode(BuildTga(NumberedRows(2, 0xA0)))));
}

TEST(TgaDecoder, PacketsRunOnAcrossRowEnds)
{
    // 3 x 3 grey, top-left: a raw packet of 2, a run of 3 that fills the
    // rest of row 0 and the start of row 1, a raw packet of 3 that crosses
    // into row 2, and a run of 1.
    TgaImage t;
    t.imageType = 11;
    t.depth = 8;
    t.width = 3;
    t.height = 3;
    t.descriptor = 0x20;
    std::vector<uint8_t> file = BuildTga(t);
    std::vector<uint8_t> stream = {0x01, 10, 11, 0x82, 20, 0x02, 30, 31, 32, 0x80, 40};
    file.insert(file.end(), stream.begin(), stream.end());
    EXPECT_EQ((std::vector<int>{10, 11, 20, 20, 20, 30, 31, 32, 40}), Column(Decode(file)));

    // A run longer than the picture stops at its end.
    file.resize(18);
    file.insert(file.end(), {0xFF, 7});
    EXPECT_EQ(std::vector<int>(9, 7), Column(Decode(file)));
}

TEST(TgaDecoder, AlphaFollowsThePixelKind)
{
    // Grey without a map: alpha is the grey value, so black is clear.
    TgaImage grey = NumberedRows(1, 0x20);
    grey.pixels = {0};
    grey.width = 1;
    DecodeRun run = Decode(BuildTga(grey), 1);
    EXPECT_EQ(8, run.result);
    EXPECT_EQ("0,0,0,0", PixelText(run, 1, 0, 0));
    grey.pixels = {200};
    EXPECT_EQ("200,200,200,200", PixelText(Decode(BuildTga(grey), 1), 1, 0, 0));

    // 24 bits: opaque; 32 bits: the fourth byte; without withAlpha 3 bytes.
    TgaImage rgb;
    rgb.width = 1;
    rgb.height = 1;
    rgb.depth = 24;
    rgb.pixels = {1, 2, 3};
    EXPECT_EQ("1,2,3,255", PixelText(Decode(BuildTga(rgb), 1), 1, 0, 0));
    rgb.depth = 32;
    rgb.pixels = {1, 2, 3, 4};
    run = Decode(BuildTga(rgb), 1);
    EXPECT_EQ(32, run.result);
    EXPECT_EQ("1,2,3,4", PixelText(run, 1, 0, 0));
    run = Decode(BuildTga(rgb), 0);
    EXPECT_EQ(3u, run.pixels.size());
    EXPECT_EQ("1,2,3", PixelText(run, 0, 0, 0));

    // 16 bits: 5-bit channels shifted left by 3, opaque even with the top bit clear.
    rgb.depth = 16;
    rgb.pixels = {0xBF, 0x2A};  // blue 0x1F, green 0x15, red 0x0A
    EXPECT_EQ("248,168,80,255", PixelText(Decode(BuildTga(rgb), 1), 1, 0, 0));
}

// A colour-mapped 8-bit picture of one row with the given map.
TgaImage Mapped(uint8_t entrySize, std::vector<uint8_t> map, uint16_t length, std::vector<uint8_t> pixels)
{
    TgaImage t;
    t.imageType = 1;
    t.mapType = 1;
    t.mapEntrySize = entrySize;
    t.mapLength = length;
    t.map = std::move(map);
    t.depth = 8;
    t.width = uint16_t(pixels.size());
    t.height = 1;
    t.descriptor = 0x20;
    t.pixels = std::move(pixels);
    return t;
}

TEST(TgaDecoder, ColourMapEntriesOfEverySize)
{
    DecodeRun run = Decode(BuildTga(Mapped(24, {1, 2, 3, 4, 5, 6}, 2, {1, 0})), 1);
    EXPECT_EQ("4,5,6,255", PixelText(run, 1, 0, 0));
    EXPECT_EQ("1,2,3,255", PixelText(run, 1, 1, 0));

    // 32-bit entries carry alpha; so does any size that is not 8, 15, 16 or 24.
    for (uint8_t size : {32, 0, 12}) {
        run = Decode(BuildTga(Mapped(size, {1, 2, 3, 4, 5, 6, 7, 8}, 2, {1})), 1);
        EXPECT_EQ("5,6,7,8", PixelText(run, 1, 0, 0)) << int(size);
    }

    // 8-bit entries: the value in all four bytes.
    run = Decode(BuildTga(Mapped(8, {9, 77}, 2, {1})), 1);
    EXPECT_EQ("77,77,77,77", PixelText(run, 1, 0, 0));

    // 15- and 16-bit entries.
    for (uint8_t size : {15, 16}) {
        run = Decode(BuildTga(Mapped(size, {0x00, 0x00, 0xFF, 0x7F}, 2, {1})), 1);
        EXPECT_EQ("248,248,248,255", PixelText(run, 1, 0, 0)) << int(size);
    }
}

TEST(TgaDecoder, ColourMapIsIndexedFromZeroWhateverItsFirstEntry)
{
    TgaImage t = Mapped(24, {1, 2, 3, 4, 5, 6}, 2, {0, 1});
    t.firstEntry = 16;
    t.id = {'i', 'd', '!'};
    DecodeRun run = Decode(BuildTga(t));
    EXPECT_EQ("1,2,3", PixelText(run, 0, 0, 0));
    EXPECT_EQ("4,5,6", PixelText(run, 0, 1, 0));
}

TEST(TgaDecoder, PixelsBeyondTheMapAreOpaqueBlack)
{
    DecodeRun run = Decode(BuildTga(Mapped(32, {1, 2, 3, 4, 5, 6, 7, 8}, 2, {2, 255, 1})), 1);
    EXPECT_EQ("0,0,0,255", PixelText(run, 1, 0, 0));
    EXPECT_EQ("0,0,0,255", PixelText(run, 1, 1, 0));
    EXPECT_EQ("5,6,7,8", PixelText(run, 1, 2, 0));

    // A present map of length 0 maps nothing.
    run = Decode(BuildTga(Mapped(24, {}, 0, {0})), 1);
    EXPECT_EQ("0,0,0,255", PixelText(run, 1, 0, 0));
}

TEST(TgaDecoder, DirectPixelsSkipAColourMap)
{
    TgaImage t = Mapped(24, {1, 2, 3}, 1, {});
    t.depth = 24;
    t.imageType = 2;
    t.width = 1;
    t.pixels = {50, 60, 70};
    EXPECT_EQ("50,60,70", PixelText(Decode(BuildTga(t)), 0, 0, 0));
}

TEST(TgaDecoder, RefusesWhatItCannotWrite)
{
    TgaImage t;
    t.width = 2;
    t.height = 2;
    t.pixels.assign(12, 9);
    std::vector<uint8_t> file = BuildTga(t);
    std::vector<uint8_t> dst(12);
    EXPECT_EQ(-1, DecodeTga(file.data(), file.size(), dst.data(), 11, 0));
    EXPECT_EQ(-1, DecodeTga(file.data(), file.size(), dst.data(), 12, 1));
    EXPECT_EQ(24, DecodeTga(file.data(), file.size(), dst.data(), 12, 0));

    // Depths the decoder has no pixel size for, and a missing depth byte.
    for (uint8_t depth : {0, 1, 12, 31, 64}) {
        file[16] = depth;
        EXPECT_EQ(-1, DecodeTga(file.data(), file.size(), dst.data(), dst.size(), 0)) << int(depth);
    }
    EXPECT_EQ(-1, DecodeTga(file.data(), 16, dst.data(), dst.size(), 0));
}

TEST(TgaDecoder, DataEndingEarlyGivesZeroBytes)
{
    // The rest of a cut pixel and every later pixel read as zero bytes.
    TgaImage t;
    t.width = 3;
    t.height = 1;
    t.descriptor = 0x20;
    t.depth = 32;
    t.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<uint8_t> file = BuildTga(t);
    file.resize(18 + 6);
    DecodeRun run = Decode(file, 1);
    EXPECT_EQ(32, run.result);
    EXPECT_EQ("1,2,3,4", PixelText(run, 1, 0, 0));
    EXPECT_EQ("5,6,0,0", PixelText(run, 1, 1, 0));
    EXPECT_EQ("0,0,0,0", PixelText(run, 1, 2, 0));
}

TEST(TgaDecoder, EveryTruncationDecodesCleanly)
{
    std::vector<std::vector<uint8_t>> files;
    for (const char* kind : {"grey8_rle_bl", "map8_rle_tl", "map8_raw_bl", "rgb16_rle_tl", "rgb24_rle_bl",
                             "rgba32_rle_tl", "rgba32_raw_bl"}) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadTestData(std::string("tga/") + kind + ".tga", &file)) << kind;
        files.push_back(file);
    }
    TgaImage mapped32 = Mapped(32, {1, 2, 3, 4, 5, 6, 7, 8}, 2, {0, 1, 2, 1, 0});
    mapped32.imageType = 9;
    mapped32.height = 1;
    files.push_back(BuildTga(mapped32));
    files.push_back(BuildTga(NumberedRows(9, 0xA0)));

    // Only lengths that cut the depth byte or the descriptor may fail.
    for (const std::vector<uint8_t>& file : files) {
        for (int withAlpha : {0, 1}) {
            std::vector<size_t> failed = DecodeEveryPrefix(GetTgaSize, DecodeTga, file, withAlpha);
            EXPECT_EQ((std::vector<size_t>{16}), failed) << file.size() << " bytes";
        }
    }
}

}  // namespace
