#include "decode/dispatch.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/mag_encoder.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Detects the type of a heap copy of exactly these bytes.
DecoderType Detect(const std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> source(bytes);
    ImageDecoder decoder;
    return DetectDecoderType(&decoder, source.empty() ? nullptr : source.data(), source.size());
}

// An 18-byte TGA header with the given image type, size and depth.
std::vector<uint8_t> TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth)
{
    std::vector<uint8_t> h(18, 0);
    h[2] = type;
    h[12] = uint8_t(width);
    h[13] = uint8_t(width >> 8);
    h[14] = uint8_t(height);
    h[15] = uint8_t(height >> 8);
    h[16] = depth;
    return h;
}

// ---- Detection ---------------------------------------------------------

TEST(DetectDecoderType, SignaturesInOrderWithExactCase)
{
    EXPECT_EQ(DecoderMag, Detect(Bytes("MAKI02  comment")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("MAKI02 xcomment")));   // both blanks belong to it
    EXPECT_EQ(DecoderPic, Detect(Bytes("PIC")));
    EXPECT_EQ(DecoderPic, Detect(Bytes("PIX")));                // only "PI" is compared
    EXPECT_EQ(DecoderPi, Detect(Bytes("Pi")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("pi")));
    EXPECT_EQ(DecoderP2, Detect(Bytes("P2DT")));
    EXPECT_EQ(DecoderPsd, Detect(Bytes("8BPS")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("8BPs")));
    EXPECT_EQ(DecoderMaki01, Detect(Bytes("MAKI01A ")));
    EXPECT_EQ(DecoderMaki01, Detect(Bytes("MAKI01B ")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("MAKI01C ")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("MAKI01A")));
}

TEST(DetectDecoderType, ShortSourcesMatchNothingTheyCannotHold)
{
    EXPECT_EQ(DecoderNone, Detect({}));
    EXPECT_EQ(DecoderNone, Detect(Bytes("P")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("MAKI02 ")));
    EXPECT_EQ(DecoderNone, Detect(Bytes("8BP")));

    // A TGA header needs its depth byte, the 17th.
    std::vector<uint8_t> tga = TgaHeader(2, 10, 10, 24);
    EXPECT_EQ(DecoderTga, Detect(std::vector<uint8_t>(tga.begin(), tga.begin() + 17)));
    EXPECT_EQ(DecoderNone, Detect(std::vector<uint8_t>(tga.begin(), tga.begin() + 16)));

    ImageDecoder decoder;
    EXPECT_EQ(DecoderNone, DetectDecoderType(&decoder, nullptr, 100));
    EXPECT_EQ(0u, decoder.sourceSize);
}

TEST(DetectDecoderType, TgaNeedsKnownTypeDepthAndNonZeroSize)
{
    for (int type = 0; type < 256; ++type) {
        bool known = type == 0 || type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
        EXPECT_EQ(known ? DecoderTga : DecoderNone, Detect(TgaHeader(uint8_t(type), 3, 2, 24))) << "type " << type;
    }
    for (int depth = 0; depth < 256; ++depth) {
        bool known = depth == 8 || depth == 15 || depth == 24 || depth == 32;  // 16 is not detected
        EXPECT_EQ(known ? DecoderTga : DecoderNone, Detect(TgaHeader(2, 3, 2, uint8_t(depth)))) << "depth " << depth;
    }
    EXPECT_EQ(DecoderNone, Detect(TgaHeader(2, 0, 2, 24)));
    EXPECT_EQ(DecoderNone, Detect(TgaHeader(2, 3, 0, 24)));
    EXPECT_EQ(DecoderTga, Detect(TgaHeader(10, 0x100, 0x100, 32)));  // only the high bytes set
}

// ---- Size query --------------------------------------------------------

// A sample header for one type with the size its rule gives and the least
// number of bytes the rule needs.
struct SizeCase {
    const char* name;
    DecoderType type;
    std::vector<uint8_t> bytes;
    uint32_t width;
    uint32_t height;
    size_t needed;
};

std::vector<SizeCase> SizeCases()
{
    std::vector<SizeCase> cases;

    // MAG, 16 colours, x 3 to 10, y 2 to 401: H is 11, the y end ends at H + 12.
    std::vector<uint8_t> mag = Bytes("MAKI02  ab");
    mag.insert(mag.end(), {0x1A, 0, 0, 0, 0x01, 3, 0, 2, 0, 10, 0, 0x91, 0x01, 0xFF});
    cases.push_back({"mag16", DecoderMag, mag, 16, 400, 23});
    std::vector<uint8_t> mag256 = mag;
    mag256[11 + 3] = 0x81;  // 256 colours: 4-pixel units, 0 to 11
    cases.push_back({"mag256", DecoderMag, mag256, 12, 400, 23});

    // PIC: the 0x1A at offset 2 is before the search start; the one at 4
    // counts, and Z is the 0x00 after it.
    std::vector<uint8_t> pic = {'P', 'I', 0x1A, 0x00, 0x1A, 0x00, 0, 0x00, 0, 0x0F, 0x01, 0x40, 0x00, 0xC8};
    cases.push_back({"pic", DecoderPic, pic, 320, 200, 14});
    std::vector<uint8_t> picDoubled = pic;
    picDoubled[7] = 0x21;  // Z + 2
    cases.push_back({"pic doubled", DecoderPic, picDoubled, 320, 400, 14});

    // Pi: Z at 3, an extension block of 3 bytes before the size.
    std::vector<uint8_t> pi = {'P', 'i', 0x1A, 0x00, 0, 1, 1, 4, 0, 0, 0, 0, 0, 3, 9, 9, 9, 0x01, 0x40, 0x00, 0xC8};
    cases.push_back({"pi", DecoderPi, pi, 320, 200, 21});

    std::vector<uint8_t> tga = TgaHeader(2, 640, 480, 24);
    cases.push_back({"tga", DecoderTga, tga, 640, 480, 16});

    std::vector<uint8_t> psd = Bytes("8BPS");
    psd.insert(psd.end(), {0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x03, 0x04, 0, 8});
    cases.push_back({"psd", DecoderPsd, psd, 0x0304, 0x10002, 22});

    // MAKI01: x 0 to 640, y 0 to 400 is 640 x 400 (no +1).
    std::vector<uint8_t> maki = Bytes("MAKI01A ");
    maki.resize(40, ' ');
    maki.insert(maki.end(), {0, 0, 0, 0, 0x02, 0x80, 0x01, 0x90});
    cases.push_back({"maki01", DecoderMaki01, maki, 640, 400, 48});
    std::vector<uint8_t> makiOffset = maki;
    makiOffset[41] = 8;   // x start 8
    makiOffset[43] = 16;  // y start 16
    cases.push_back({"maki01 offset", DecoderMaki01, makiOffset, 632, 384, 48});
    return cases;
}

TEST(GetImageSize, EachTypeByItsRule)
{
    for (const SizeCase& c : SizeCases()) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> source(c.bytes);
        ImageDecoder decoder;
        EXPECT_EQ(c.type, DetectDecoderType(&decoder, source.data(), source.size()));
        decoder = ImageDecoder{source.data(), source.size(), c.type};
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(GetImageSize(&decoder, &width, &height));
        EXPECT_EQ(c.width, width);
        EXPECT_EQ(c.height, height);
    }
}

TEST(GetImageSize, RuleThatNeedsBytesPastTheSourceReportsNothing)
{
    for (const SizeCase& c : SizeCases()) {
        SCOPED_TRACE(c.name);
        for (size_t length = 0; length <= c.bytes.size(); ++length) {
            std::vector<uint8_t> source(c.bytes.begin(), c.bytes.begin() + length);
            ImageDecoder decoder{source.data(), source.size(), c.type};
            uint32_t width = 77, height = 88;
            bool reported = GetImageSize(&decoder, &width, &height);
            EXPECT_EQ(length >= c.needed, reported) << "length " << length;
            if (!reported) {
                EXPECT_EQ(77u, width);
                EXPECT_EQ(88u, height);
            }
        }
    }
}

TEST(GetImageSize, NoneAndP2ReportNothing)
{
    std::vector<uint8_t> text = Bytes("P2DT and more bytes than any header needs, really");
    ImageDecoder decoder;
    uint32_t width = 5, height = 6;
    ASSERT_EQ(DecoderP2, DetectDecoderType(&decoder, text.data(), text.size()));
    EXPECT_FALSE(GetImageSize(&decoder, &width, &height));
    text[0] = 'x';
    ASSERT_EQ(DecoderNone, DetectDecoderType(&decoder, text.data(), text.size()));
    EXPECT_FALSE(GetImageSize(&decoder, &width, &height));
    decoder.type = 99;
    EXPECT_FALSE(GetImageSize(&decoder, &width, &height));
    EXPECT_EQ(5u, width);
    EXPECT_EQ(6u, height);
}

TEST(GetImageSize, IndependentFilesReportTheirManifestSize)
{
    REQUIRE_FIXTURES();
    int checked = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.width.empty())
            continue;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(row.path, &bytes));
        ImageDecoder decoder;
        DecoderType type = DetectDecoderType(&decoder, bytes.data(), bytes.size());
        if (type == DecoderNone) {
            EXPECT_EQ("refused", row.compare);  // the 16-bit TGA
            continue;
        }
        uint32_t width = 0, height = 0;
        if (!GetImageSize(&decoder, &width, &height)) {
            EXPECT_EQ(DecoderP2, type);  // its size comes with the P2 decoder
            continue;
        }
        EXPECT_EQ(row.width, std::to_string(width));
        EXPECT_EQ(row.height, std::to_string(height));
        ++checked;
    }
    EXPECT_GE(checked, 23);
}

// ---- Decoding ----------------------------------------------------------

TEST(DecodeImage, RunsTheMagDecoderAndTurnsFailuresIntoZero)
{
    MagPicture picture = MakeMagPicture(true, 0, 0, 12, 5, MagPattern::Mixed, 2);
    std::vector<uint8_t> file = EncodeMag(picture);
    ImageDecoder decoder;
    ASSERT_EQ(DecoderMag, DetectDecoderType(&decoder, file.data(), file.size()));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(GetImageSize(&decoder, &width, &height));
    ASSERT_EQ(12u, width);

    for (int withAlpha = 0; withAlpha <= 1; ++withAlpha) {
        std::vector<uint8_t> dst(size_t(width) * height * (3 + withAlpha));
        EXPECT_EQ(8, DecodeImage(&decoder, dst.data(), dst.size(), withAlpha));
        EXPECT_TRUE(dst == MagExpectedPixels(picture, withAlpha));
        EXPECT_EQ(0, DecodeImage(&decoder, dst.data(), dst.size() - 1, withAlpha));
    }
    std::vector<uint8_t> dst(size_t(width) * height * 4);
    EXPECT_EQ(0, DecodeImage(&decoder, dst.data(), dst.size(), 2));
    EXPECT_EQ(0, DecodeImage(&decoder, nullptr, dst.size(), 0));
}

TEST(DecodeImage, TypesWithoutADecoderReturnZero)
{
    std::vector<uint8_t> source(4096, 0);
    std::vector<uint8_t> dst(1 << 20, 0xCD);
    for (DecoderType type : std::initializer_list<DecoderType>{DecoderNone, DecoderPic, DecoderPi, DecoderP2, DecoderTga, DecoderPsd, DecoderMaki01,
                             DecoderType(-1), DecoderType(8)}) {
        ImageDecoder decoder{source.data(), source.size(), type};
        EXPECT_EQ(0, DecodeImage(&decoder, dst.data(), dst.size(), 0)) << "type " << type;
    }
    EXPECT_EQ(0xCD, dst[0]);
}

}  // namespace
