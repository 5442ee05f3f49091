#include "decode/psd.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/psd_builder.h"
#include "support/test_data.h"

namespace {

DecodeRun Decode(const std::vector<uint8_t>& file, int withAlpha = 0)
{
    return RunDecoder(GetPsdSize, DecodePsd, file, withAlpha);
}

// A raw document of the given planes.
PsdDocument Document(uint16_t mode, uint16_t depth, uint32_t width, uint32_t height,
                     std::vector<std::vector<uint8_t>> planes)
{
    PsdDocument d;
    d.mode = mode;
    d.depth = depth;
    d.width = width;
    d.height = height;
    d.channels = uint16_t(planes.size());
    d.planes = std::move(planes);
    return d;
}

// The pixels of a one-row picture as "b,g,r[,a]" texts.
std::vector<std::string> Pixels(const std::vector<uint8_t>& file, int withAlpha = 0)
{
    DecodeRun run = Decode(file, withAlpha);
    std::vector<std::string> texts;
    for (uint32_t x = 0; x < run.width; ++x)
        texts.push_back(PixelText(run, withAlpha, x, 0));
    return texts;
}

using Texts = std::vector<std::string>;

TEST(PsdDecoder, FixturesDecodeAsExpected)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("psd/", 0) != 0 || row.compare != "exact")
            continue;
        std::vector<uint8_t> file;
        BgrImage want;
        ASSERT_TRUE(ReadFixture(row.path, &file)) << row.path;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want)) << row.expected;
        DecodeRun run = Decode(file);
        EXPECT_GT(run.result, 0) << row.path;
        EXPECT_EQ(want.width, run.width) << row.path;
        EXPECT_EQ(want.height, run.height) << row.path;
        EXPECT_TRUE(want.pixels == run.pixels) << row.path;
        ++checked;
    }
    EXPECT_EQ(3, checked);
}

// One of the ImageMagick-made documents and its decoding by ImageMagick,
// reduced to 8 bits by taking the high byte of 16-bit samples.
struct MagickCase {
    std::string name;
    std::vector<uint8_t> file;
    std::vector<uint8_t> rgba;
};

bool LoadMagickCase(const std::string& name, MagickCase* c)
{
    c->name = "psd/" + name + ".psd";
    std::vector<uint8_t> decoded;
    if (!ReadTestData(c->name, &c->file))
        return false;
    if (ReadTestData(c->name + ".rgba", &c->rgba))
        return true;
    if (!ReadTestData(c->name + ".rgba16", &decoded))
        return false;
    c->rgba.clear();
    for (size_t i = 0; i < decoded.size(); i += 2)
        c->rgba.push_back(decoded[i]);
    return true;
}

// Returns the largest difference of a colour byte between the decoder
// (with alpha) and ImageMagick; alphaMismatches counts pixels whose alpha
// differs from wantAlpha (255 for opaque kinds, ImageMagick's otherwise).
int LargestDifference(const MagickCase& c, bool alphaFromMagick, int* result, size_t* alphaMismatches)
{
    DecodeRun run = Decode(c.file, 1);
    *result = run.result;
    *alphaMismatches = 0;
    if (run.pixels.size() != c.rgba.size()) {
        ADD_FAILURE() << c.name << ": " << run.pixels.size() << " bytes decoded, " << c.rgba.size() << " expected";
        return 256;
    }
    int largest = 0;
    for (size_t i = 0; i < c.rgba.size(); i += 4) {
        const uint8_t* m = &c.rgba[i];
        const uint8_t* got = &run.pixels[i];
        largest = std::max({largest, std::abs(got[0] - m[2]), std::abs(got[1] - m[1]), std::abs(got[2] - m[0])});
        if (got[3] != (alphaFromMagick ? m[3] : 255))
            ++*alphaMismatches;
    }
    return largest;
}

TEST(PsdDecoder, ImageMagickDocumentsMatchItsDecoding)
{
    // Lossless kinds match exactly, 16-bit ones through their high byte;
    // the source picture has alpha, which only the RGBA kind keeps.
    struct Kind {
        const char* name;
        int result;
        bool alpha;
    } kinds[] = {{"grey", 8, false}, {"rgb", 24, false}, {"rgba", 32, true}, {"index", 8, false}};
    int checked = 0;
    for (const Kind& k : kinds) {
        for (const char* depth : {"8", "16"}) {
            for (const char* comp : {"raw", "rle"}) {
                if (std::string(k.name) == "index" && std::string(depth) == "16")
                    continue;
                MagickCase c;
                ASSERT_TRUE(LoadMagickCase(std::string(k.name) + depth + "_" + comp, &c));
                int result = 0;
                size_t alphaMismatches = 0;
                EXPECT_EQ(0, LargestDifference(c, k.alpha, &result, &alphaMismatches)) << c.name;
                EXPECT_EQ(0u, alphaMismatches) << c.name;
                EXPECT_EQ(k.result, result) << c.name;
                ++checked;
            }
        }
    }
    EXPECT_EQ(14, checked);
}

TEST(PsdDecoder, CmykStaysWithinOneOfImageMagicksConversion)
{
    // The decoder's integer rule, K - (255 - c) * K / 255, truncates where
    // ImageMagick rounds: at most 1 apart.
    for (const char* name : {"cmyk8_raw", "cmyk8_rle", "cmyk16_raw", "cmyk16_rle"}) {
        MagickCase c;
        ASSERT_TRUE(LoadMagickCase(name, &c));
        int result = 0;
        size_t alphaMismatches = 0;
        EXPECT_LE(LargestDifference(c, false, &result, &alphaMismatches), 1) << c.name;
        EXPECT_EQ(0u, alphaMismatches) << c.name;
        EXPECT_EQ(32, result) << c.name;
    }
}

TEST(PsdDecoder, LabStaysNearImageMagicksConversionInsideTheGamut)
{
    // The fixed-point conversion uses a square root for the transfer curve
    // where ImageMagick uses the sRGB curve (up to 14 apart for pixels with
    // |a| and |b| up to 40), and picks its formula for dark colours by L
    // alone, so strongly coloured dark pixels outside the sRGB gamut are far
    // apart (up to 127); those are only decoded, not compared.
    for (const char* name : {"lab8_raw", "lab16_raw"}) {
        MagickCase c;
        ASSERT_TRUE(LoadMagickCase(name, &c));
        DecodeRun run = Decode(c.file, 1);
        ASSERT_EQ(24, run.result) << c.name;
        ASSERT_EQ(c.rgba.size(), run.pixels.size()) << c.name;
        size_t step = name[3] == '8' ? 1 : 2;
        size_t plane = size_t(run.width) * run.height * step;
        size_t data = c.file.size() - 3 * plane;
        int largest = 0;
        int compared = 0;
        for (size_t i = 0; i < size_t(run.width) * run.height; ++i) {
            int a = c.file[data + plane + i * step] - 128;
            int b = c.file[data + 2 * plane + i * step] - 128;
            EXPECT_EQ(255, run.pixels[i * 4 + 3]);
            if (std::abs(a) > 40 || std::abs(b) > 40)
                continue;
            for (int k = 0; k < 3; ++k)
                largest = std::max(largest, std::abs(run.pixels[i * 4 + k] - c.rgba[i * 4 + 2 - k]));
            ++compared;
        }
        EXPECT_EQ(46, compared) << c.name;
        EXPECT_LE(largest, 14) << c.name;
    }
}

TEST(PsdDecoder, SizeQueryAndHeaderBounds)
{
    std::vector<uint8_t> file = BuildPsd(Document(3, 8, 2, 5, {{}, {}, {}}));
    uint32_t w = 9, h = 9;
    EXPECT_FALSE(GetPsdSize(file.data(), 21, &w, &h));
    EXPECT_EQ(9u, w);
    EXPECT_EQ(9u, h);
    EXPECT_TRUE(GetPsdSize(file.data(), 22, &w, &h));
    EXPECT_EQ(2u, w);
    EXPECT_EQ(5u, h);

    // The decoder needs the depth and mode fields too, and room for the picture.
    std::vector<uint8_t> dst(40);
    EXPECT_EQ(-1, DecodePsd(file.data(), 25, dst.data(), dst.size(), 0));
    EXPECT_EQ(-1, DecodePsd(file.data(), file.size(), dst.data(), 29, 0));
    EXPECT_EQ(-1, DecodePsd(file.data(), file.size(), dst.data(), 39, 1));
    EXPECT_EQ(24, DecodePsd(file.data(), file.size(), dst.data(), 40, 1));
}

// A PackBits greyscale (or RGB) document of one row whose image data is stream.
std::vector<uint8_t> PackBitsRow(uint16_t mode, uint16_t channels, uint32_t width, std::vector<uint8_t> stream)
{
    PsdDocument d = Document(mode, 8, width, 1, {});
    d.channels = channels;
    d.compression = 1;
    d.stream = std::move(stream);
    return BuildPsd(d);
}

TEST(PsdDecoder, PackBitsHeader128DoesNothing)
{
    // 128 neither copies nor repeats: 4 copies of 9 follow it.
    EXPECT_EQ(Texts(4, "9,9,9"), Pixels(PackBitsRow(1, 1, 4, {128, 0xFD, 9})));
    // Between literals, and ending the row as ImageMagick writes it.
    EXPECT_EQ((Texts{"1,1,1", "2,2,2", "3,3,3", "4,4,4"}),
              Pixels(PackBitsRow(1, 1, 4, {0x01, 1, 2, 128, 128, 0x01, 3, 4, 128})));
}

TEST(PsdDecoder, PackBitsOutputRunsOnFromChannelToChannel)
{
    // RGB, 2 x 1: channel 0's run of 4 overshoots its plane by 2, so channel
    // 1's literal lands in channel 2's plane and channel 2's bytes fall
    // past the buffer.
    EXPECT_EQ((Texts{"20,10,10", "21,10,10"}),
              Pixels(PackBitsRow(3, 3, 2, {0xFD, 10, 0x01, 20, 21, 0x01, 30, 31})));
    // Without the overshoot each channel keeps its own plane.
    EXPECT_EQ((Texts{"30,20,10", "31,20,11"}),
              Pixels(PackBitsRow(3, 3, 2, {0x01, 10, 11, 0xFF, 20, 0x01, 30, 31})));
}

TEST(PsdDecoder, PackBitsStreamEndingEarlyLeavesZeros)
{
    // Channel 0 gets its run, channel 1 one byte of its literal, channel 2 nothing.
    EXPECT_EQ((Texts{"0,6,5", "0,0,5", "0,0,5"}), Pixels(PackBitsRow(3, 3, 3, {0xFE, 5, 0x01, 6})));
    // A literal cut short keeps the bytes it has; a repeat without its byte gives 0.
    EXPECT_EQ((Texts{"7,7,7", "8,8,8", "0,0,0"}), Pixels(PackBitsRow(1, 1, 3, {0x02, 7, 8})));
    EXPECT_EQ((Texts{"3,3,3", "0,0,0"}), Pixels(PackBitsRow(1, 1, 2, {0x00, 3, 0xFF})));
}

TEST(PsdDecoder, RowByteCountsAndSectionsAreSkipped)
{
    PsdDocument d = Document(3, 8, 3, 2, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}});
    d.colourData.assign(5, 0xEE);
    d.resources.assign(7, 0xDD);
    d.layers.assign(9, 0xCC);
    DecodeRun raw = Decode(BuildPsd(d));
    d.compression = 1;
    DecodeRun packed = Decode(BuildPsd(d));
    std::vector<uint8_t> want = {13, 7, 1, 14, 8, 2, 15, 9, 3, 16, 10, 4, 17, 11, 5, 18, 12, 6};
    EXPECT_EQ(want, raw.pixels);
    EXPECT_EQ(want, packed.pixels);
}

TEST(PsdDecoder, SixteenBitSamplesGiveTheirHighByte)
{
    PsdDocument d = Document(3, 16, 2, 1, {{0x12, 0xFF, 0x34, 0x00}, {0x56, 0x01, 0x78, 0x80}, {0x9A, 0x7F, 0xBC, 0x00}});
    EXPECT_EQ((Texts{"154,86,18", "188,120,52"}), Pixels(BuildPsd(d)));
    EXPECT_EQ(24, Decode(BuildPsd(d)).result);
    d.compression = 1;
    EXPECT_EQ((Texts{"154,86,18", "188,120,52"}), Pixels(BuildPsd(d)));
}

TEST(PsdDecoder, BitmapRowsStartAtAFreshByte)
{
    // 10 pixels a row take 2 bytes; the last 6 bits of the second are set
    // but ignored. 1 is black.
    PsdDocument d = Document(0, 1, 10, 2, {{0xA0, 0x3F, 0x00, 0xFF}});
    DecodeRun run = Decode(BuildPsd(d), 1);
    EXPECT_EQ(1, run.result);
    std::string row0, row1;
    for (uint32_t x = 0; x < 10; ++x) {
        row0 += run.pixels[x * 4] == 0 ? '#' : '.';
        row1 += run.pixels[(10 + x) * 4] == 0 ? '#' : '.';
        EXPECT_EQ(255, run.pixels[x * 4 + 3]);
    }
    EXPECT_EQ("#.#.......", row0);
    EXPECT_EQ("........##", row1);
}

TEST(PsdDecoder, NoColumnsMeansNoWorkWhateverTheRows)
{
    // A bitmap header with no columns and 1.6 billion rows returns at once.
    std::vector<uint8_t> file = BuildPsd(Document(0, 1, 0, 0x60A41000, {{}}));
    uint8_t dst[1];
    EXPECT_EQ(1, DecodePsd(file.data(), file.size(), dst, 0, 0));
}

TEST(PsdDecoder, ColourModesConvertTheirSamples)
{
    // Greyscale and duotone: channel 0 in all three, opaque.
    EXPECT_EQ((Texts{"7,7,7,255"}), Pixels(BuildPsd(Document(1, 8, 1, 1, {{7}, {99}})), 1));
    EXPECT_EQ((Texts{"7,7,7,255"}), Pixels(BuildPsd(Document(8, 8, 1, 1, {{7}})), 1));

    // RGB: a fourth channel is alpha; a fifth or none is opaque.
    EXPECT_EQ((Texts{"3,2,1,255"}), Pixels(BuildPsd(Document(3, 8, 1, 1, {{1}, {2}, {3}})), 1));
    EXPECT_EQ((Texts{"3,2,1,4"}), Pixels(BuildPsd(Document(3, 8, 1, 1, {{1}, {2}, {3}, {4}})), 1));
    EXPECT_EQ((Texts{"3,2,1,255"}), Pixels(BuildPsd(Document(3, 8, 1, 1, {{1}, {2}, {3}, {4}, {5}})), 1));

    // CMYK, stored inverted: all 255 is white; K stored 0 is black.
    EXPECT_EQ((Texts{"255,255,255,255", "0,0,0,255", "0,127,255,255"}),
              Pixels(BuildPsd(Document(4, 8, 3, 1, {{255, 9, 255}, {255, 99, 127}, {255, 200, 0}, {255, 0, 255}})),
                     1));
    // K - (255 - c) * K / 255 truncates: c = 100, K = 200 gives 200 - 121.
    EXPECT_EQ((Texts{"79,79,79"}), Pixels(BuildPsd(Document(4, 8, 1, 1, {{100}, {100}, {100}, {200}}))));

    // Multichannel: missing second and third channels repeat the first.
    EXPECT_EQ((Texts{"5,5,5"}), Pixels(BuildPsd(Document(7, 8, 1, 1, {{5}}))));
    EXPECT_EQ((Texts{"5,6,5"}), Pixels(BuildPsd(Document(7, 8, 1, 1, {{5}, {6}}))));
    EXPECT_EQ((Texts{"7,6,5,255"}), Pixels(BuildPsd(Document(7, 8, 1, 1, {{5}, {6}, {7}, {8}})), 1));
}

TEST(PsdDecoder, IndexedPicturesUseTheColourTables)
{
    PsdDocument d = Document(2, 8, 2, 1, {{0, 200}});
    d.colourData.assign(768, 0);
    d.colourData[200] = 10;        // red
    d.colourData[256 + 200] = 20;  // green
    d.colourData[512 + 200] = 30;  // blue
    d.colourData[512] = 1;
    EXPECT_EQ((Texts{"1,0,0,255", "30,20,10,255"}), Pixels(BuildPsd(d), 1));
    EXPECT_EQ(8, Decode(BuildPsd(d)).result);

    // Tables shorter than 768 bytes: what they lack is black.
    d.colourData.resize(300);
    EXPECT_EQ((Texts{"0,0,0", "0,0,10"}), Pixels(BuildPsd(d)));
}

TEST(PsdDecoder, ChannelsTheFileLacksReadAsZero)
{
    EXPECT_EQ((Texts{"0,0,9,255"}), Pixels(BuildPsd(Document(3, 8, 1, 1, {{9}})), 1));
    EXPECT_EQ((Texts{"0,0,0"}), Pixels(BuildPsd(Document(4, 8, 1, 1, {{255}, {255}, {255}}))));
    // A bitmap without a channel is white.
    EXPECT_EQ(Texts(3, "255,255,255"), Pixels(BuildPsd(Document(0, 1, 3, 1, {}))));
}

TEST(PsdDecoder, LabFollowsTheFixedPointConversion)
{
    // Expected values from a separate implementation of the same fixed-point
    // steps. L = 20 takes the dark formula, L = 21 the cube one; (222, 116, 0)
    // has a blue linear value whose square root alternates between two
    // neighbours, both above 1.0, so it comes out 255 either way.
    struct Case {
        uint8_t l, a, b;
        const char* bgr;
    } cases[] = {{255, 128, 128, "255,255,255"}, {0, 128, 128, "0,0,0"},      {128, 128, 128, "110,110,110"},
                 {20, 128, 128, "24,24,24"},     {21, 128, 128, "24,24,24"},  {20, 200, 60, "62,0,52"},
                 {200, 90, 170, "104,206,137"},  {100, 160, 100, "129,66,112"}, {255, 0, 255, "0,255,0"},
                 {60, 255, 0, "255,0,70"},       {140, 128, 0, "255,141,0"},  {222, 116, 0, "255,240,0"},
                 {245, 252, 198, "108,59,255"}};
    for (const Case& c : cases) {
        for (uint16_t depth : {8, 16}) {
            std::vector<std::vector<uint8_t>> planes = {{c.l}, {c.a}, {c.b}};
            if (depth == 16)
                for (auto& p : planes)
                    p.push_back(0x5A);
            EXPECT_EQ((Texts{std::string(c.bgr) + ",255"}), Pixels(BuildPsd(Document(9, depth, 1, 1, planes)), 1))
                << int(c.l) << "," << int(c.a) << "," << int(c.b) << " at " << depth << " bits";
        }
    }
}

TEST(PsdDecoder, UndecodedDepthsGiveAZeroPictureAndAPowerOfTwo)
{
    std::vector<uint8_t> dst(2 * 4, 0x77);
    for (auto [channels, result] : {std::pair<uint16_t, int>{3, 8}, {35, 8}, {0, 1}, {4, 16}}) {
        std::vector<uint8_t> file = BuildPsd(Document(3, 4, 2, 1, {}));
        file[12] = uint8_t(channels >> 8);
        file[13] = uint8_t(channels);
        std::fill(dst.begin(), dst.end(), 0x77);
        EXPECT_EQ(result, DecodePsd(file.data(), file.size(), dst.data(), dst.size(), 1)) << channels;
        EXPECT_EQ(std::vector<uint8_t>(8, 0), dst);
    }
}

TEST(PsdDecoder, UnconvertedModesGiveAZeroPicture)
{
    // Unknown modes, indexed pictures that are not 8-bit, and 1-bit planes
    // outside bitmap mode: all bytes 0, alpha included; the result is 8 x N.
    PsdDocument unknown = Document(5, 8, 1, 1, {{9}, {9}});
    PsdDocument indexed16 = Document(2, 16, 1, 1, {{9, 9}});
    indexed16.colourData.assign(768, 50);
    PsdDocument grey1 = Document(1, 1, 8, 1, {{0x0F}});
    for (const PsdDocument& d : {unknown, indexed16, grey1}) {
        std::vector<uint8_t> file = BuildPsd(d);
        DecodeRun run = Decode(file, 1);
        EXPECT_EQ(8 * d.channels, run.result) << d.mode;
        EXPECT_EQ(std::vector<uint8_t>(run.pixels.size(), 0), run.pixels) << d.mode;
    }
}

TEST(PsdDecoder, UnknownCompressionLeavesThePlanesZero)
{
    PsdDocument d = Document(3, 8, 1, 1, {{9}, {9}, {9}, {9}});
    d.compression = 2;
    EXPECT_EQ((Texts{"0,0,0,0"}), Pixels(BuildPsd(d), 1));
}

TEST(PsdDecoder, PlanesBeyondThirtyTwoBitsAreRefused)
{
    // 16 x 65536 x 4097 bits do not fit in 32 bits. The destination claims
    // to be large enough; the refusal comes before anything is written.
    std::vector<uint8_t> file = BuildPsd(Document(1, 16, 65536, 4097, {}));
    uint8_t dst[4];
    EXPECT_EQ(-1, DecodePsd(file.data(), file.size(), dst, SIZE_MAX, 0));
    file = BuildPsd(Document(1, 16, 65536, 4096, {}));
    EXPECT_EQ(-1, DecodePsd(file.data(), file.size(), dst, sizeof dst, 0));
}

TEST(PsdDecoder, EveryTruncationDecodesCleanly)
{
    std::vector<std::vector<uint8_t>> files;
    for (const char* name : {"rgba8_rle", "cmyk16_rle", "grey8_raw", "index8_rle", "lab8_raw"}) {
        MagickCase c;
        ASSERT_TRUE(LoadMagickCase(name, &c)) << name;
        files.push_back(c.file);
    }
    if (FixturesAvailable()) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture("psd/P14_s08_checker_33x65_bitmap1_rle.psd", &file));
        files.push_back(file);
    }
    PsdDocument bitmap = Document(0, 1, 10, 2, {{0xA0, 0x7F, 0x00, 0xFF}});
    bitmap.compression = 1;
    bitmap.rowsEndWithNoOp = true;
    files.push_back(BuildPsd(bitmap));

    // Only lengths that cut the depth or mode fields may fail.
    for (const std::vector<uint8_t>& file : files) {
        std::vector<size_t> failed = DecodeEveryPrefix(GetPsdSize, DecodePsd, file, 1);
        EXPECT_EQ((std::vector<size_t>{22, 23, 24, 25}), failed) << file.size() << " bytes";
    }
}

}  // namespace
