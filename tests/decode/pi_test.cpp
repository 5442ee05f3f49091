#include "decode/pi.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/pi_encoder.h"

namespace {

// Decodes a whole Pi file into 24-bit pixels; the result is the return value.
int Decode(const std::vector<uint8_t>& file, std::vector<uint8_t>* out, uint32_t* w, uint32_t* h)
{
    if (!GetPiSize(file.data(), file.size(), w, h))
        return -100;
    out->assign(size_t(*w) * *h * 3, 0xCD);
    return DecodePi(file.data(), file.size(), out->data(), out->size(), 0);
}

// A palette whose red channel is the index, so that pixels map back to indices.
std::vector<uint8_t> IndexPalette(uint32_t depth)
{
    std::vector<uint8_t> palette;
    for (uint32_t i = 0; i < (1u << depth); ++i)
        palette.insert(palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>(i ^ 0x5A)});
    return palette;
}

// The pixels a picture should decode to: blue, green, red per index.
std::vector<uint8_t> Expected(const PiPicture& p)
{
    std::vector<uint8_t> out;
    for (uint8_t i : p.indices) {
        uint8_t r, g, b;
        if (p.palette.empty()) {
            PiDefaultColour(i, &r, &g, &b);
        } else {
            r = p.palette[3 * i];
            g = p.palette[3 * i + 1];
            b = p.palette[3 * i + 2];
        }
        out.insert(out.end(), {b, g, r});
    }
    return out;
}

// Decodes a file made of a header for w x h (index palette) and the given stream.
std::vector<int> DecodeStream(uint32_t w, uint32_t h, uint32_t depth, const PiBitWriter& bits)
{
    PiPicture p;
    p.width = w;
    p.height = h;
    p.depth = depth;
    p.palette = IndexPalette(depth);
    std::vector<uint8_t> file = EncodePiHeader(p);
    std::vector<uint8_t> stream = bits.Bytes();
    file.insert(file.end(), stream.begin(), stream.end());
    std::vector<uint8_t> pixels;
    uint32_t dw, dh;
    if (Decode(file, &pixels, &dw, &dh) != int(depth))
        return {-1};
    std::vector<int> indices;
    for (size_t i = 2; i < pixels.size(); i += 3)
        indices.push_back(pixels[i]);
    return indices;
}

// Pictures of many kinds: flat areas, stripes, gradients, blocks and noise.
PiPicture MakePicture(uint32_t w, uint32_t h, uint32_t depth, int kind, uint32_t seed)
{
    PiPicture p;
    p.width = w;
    p.height = h;
    p.depth = depth;
    uint32_t colours = 1u << depth;
    std::mt19937 rng(seed);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t v = 0;
            switch (kind) {
            case 0: v = rng() % colours; break;                           // noise
            case 1: v = (x / 3 + y / 5) % colours; break;                 // diagonal bands
            case 2: v = ((x / 4) ^ (y / 4)) & 1 ? 1 : colours - 1; break;  // checker
            case 3: v = (x * x + y * 3) / 7 % colours; break;             // curves
            case 4: v = rng() % 8 == 0 ? rng() % colours : (y / 2) % colours; break;  // sparse noise
            default: v = 3 % colours; break;                              // flat
            }
            p.indices.push_back(static_cast<uint8_t>(v));
        }
    }
    return p;
}

TEST(PiFixtures, DecodeAsListed)
{
    REQUIRE_FIXTURES();
    int seen = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pi/", 0) != 0)
            continue;
        ++seen;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        std::vector<uint8_t> pixels;
        uint32_t w = 0, h = 0;
        int depth = Decode(file, &pixels, &w, &h);
        EXPECT_EQ(row.width, std::to_string(w));
        EXPECT_EQ(row.height, std::to_string(h));
        EXPECT_TRUE(depth == 4 || depth == 8) << depth;
        if (row.compare == "exact") {
            BgrImage want;
            ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
            EXPECT_EQ(want.width, w);
            EXPECT_EQ(want.height, h);
            EXPECT_TRUE(want.pixels == pixels);
        }
    }
    EXPECT_EQ(5, seen);
}

TEST(PiFixtures, EveryTruncationDecodesCleanly)
{
    REQUIRE_FIXTURES();
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pi/", 0) != 0)
            continue;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file, full;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        uint32_t fw, fh;
        int depth = Decode(file, &full, &fw, &fh);
        std::vector<uint8_t> pixels(full.size() / 3 * 4);  // every cut with a whole header has the full size
        for (size_t len = 0; len < file.size(); ++len) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + len);  // exact heap size for ASan
            uint32_t w = 0, h = 0;
            if (!GetPiSize(cut.data(), cut.size(), &w, &h)) {
                uint8_t probe[4];
                ASSERT_EQ(-1, DecodePi(cut.data(), cut.size(), probe, sizeof probe, 0)) << len;
                continue;
            }
            ASSERT_EQ(depth, DecodePi(cut.data(), cut.size(), pixels.data(), pixels.size(), 1)) << len;
        }
    }
}

TEST(PiRoundTrip, VariedPicturesReachEveryCode)
{
    PiEncodeStats stats;
    int pictures = 0;
    for (uint32_t depth : {4u, 8u}) {
        for (auto size : {std::pair<uint32_t, uint32_t>{1, 1}, {1, 7}, {2, 3}, {3, 5}, {4, 4}, {5, 3},
                          {17, 13}, {64, 9}, {33, 40}, {160, 100}}) {
            for (int kind = 0; kind < 6; ++kind) {
                PiPicture p = MakePicture(size.first, size.second, depth, kind, ++pictures);
                if (kind % 2 == 0)
                    p.palette = IndexPalette(depth);
                std::vector<uint8_t> file = EncodePi(p, &stats);
                std::vector<uint8_t> pixels;
                uint32_t w, h;
                ASSERT_EQ(int(depth), Decode(file, &pixels, &w, &h))
                    << size.first << "x" << size.second << " kind " << kind;
                ASSERT_TRUE(Expected(p) == pixels) << size.first << "x" << size.second << " kind " << kind;
            }
        }
    }

    // Every position code, as a copy and as the repeat that starts literal colours.
    for (int code = 0; code < 6; ++code) {
        EXPECT_GT(stats.copies[code], 0) << code;
        EXPECT_GT(stats.literalStarts[code], 0) << code;
    }
    EXPECT_GE(stats.longestCopy, 4000u);
    EXPECT_GE(stats.longestLiteralRun, 20);
}

TEST(PiRoundTrip, OtherDepthsStayInsideTheColourTable)
{
    for (uint32_t depth : {1u, 2u, 3u, 5u, 6u, 7u}) {
        for (int kind : {0, 1, 3}) {
            PiPicture p = MakePicture(23, 11, depth, kind, depth);
            p.palette = IndexPalette(depth);
            std::vector<uint8_t> pixels;
            uint32_t w, h;
            ASSERT_EQ(int(depth), Decode(EncodePi(p), &pixels, &w, &h)) << depth;
            ASSERT_TRUE(Expected(p) == pixels) << depth << " kind " << kind;
        }
    }
}

TEST(PiRoundTrip, HeaderTextsAndExtensionAreSkipped)
{
    PiPicture p = MakePicture(19, 6, 4, 1, 3);
    p.comment = std::string("has a \0 inside", 14);
    p.text = "second text";
    p.extension.assign(300, 0x1A);
    std::vector<uint8_t> pixels;
    uint32_t w, h;
    ASSERT_EQ(4, Decode(EncodePi(p), &pixels, &w, &h));
    EXPECT_EQ(19u, w);
    EXPECT_EQ(6u, h);
    EXPECT_TRUE(Expected(p) == pixels);
}

TEST(PiDecode, AlphaIsOpaqueAndDefaultPaletteApplies)
{
    // Entry 1 of the default palette is red 0x55; entry 0xA5 is blue 0xB6, green 0x24, red 0x55.
    PiPicture p;
    p.width = 2;
    p.height = 1;
    p.depth = 4;
    p.indices = {1, 0};
    std::vector<uint8_t> file = EncodePi(p);
    std::vector<uint8_t> out(8, 0);
    ASSERT_EQ(4, DecodePi(file.data(), file.size(), out.data(), out.size(), 1));
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x00, 0x55, 255, 0, 0, 0, 255}), out);

    p.depth = 8;
    p.indices = {0xA5, 0xFF};
    file = EncodePi(p);
    ASSERT_EQ(8, DecodePi(file.data(), file.size(), out.data(), out.size(), 1));
    EXPECT_EQ((std::vector<uint8_t>{0xB6, 0x24, 0x55, 255, 0xFF, 0xFF, 0xFF, 255}), out);
}

TEST(PiDecode, CodeZeroDistanceFollowsTheTwoPixelsBefore)
{
    PiBitWriter s;
    s.Put(0b10, 2);  // a: index 0 of row 0 -> 0
    s.Put(0b11, 2);  // b: index 1 of row 0 -> 15; rows above: 0, 15, 0, 15, ...
    s.Put(1, 2);     // up one row, one pair: 0, 15
    s.Put(0, 1);
    s.Put(1, 2);     // the same code value: literal 15, 15, then no more
    s.Put(0b10, 2);
    s.Put(0b10, 2);
    s.Put(0, 1);
    s.Put(0, 2);     // 15, 15 before: copies from two back -> 15, 15
    s.Put(0, 1);
    s.Put(1, 2);     // up one row: 0, 15
    s.Put(0, 1);
    s.Put(0, 2);     // 0, 15 before: copies from four back -> 15, 15 (pixels 4 and 5)
    s.Put(0, 1);
    s.Put(1, 2);     // up one row, three pairs
    s.Put(0b101, 3);
    std::vector<int> want = {0, 15, 15, 15, 15, 15, 0, 15, 15, 15, 15, 15, 15, 15, 0, 15};
    EXPECT_EQ(want, DecodeStream(8, 2, 4, s));
}

TEST(PiDecode, RepeatsAreJudgedOnCodeValues)
{
    // Width 4: code 1 (value 4) after code 0 (value 4) starts literal colours.
    PiBitWriter four;
    four.Put(0b10, 2);
    four.Put(0b11, 2);  // rows above 0, 15, 0, 15
    four.Put(0, 2);     // 0, 15 before: four back, one pair
    four.Put(0, 1);
    four.Put(1, 2);     // a repeat: literal 15 (after 15), 15
    four.Put(0b10, 2);
    four.Put(0b10, 2);
    EXPECT_EQ((std::vector<int>{0, 15, 15, 15}), DecodeStream(4, 1, 4, four));

    // Width 2: code 2 (value 4) after code 0 does the same.
    PiBitWriter two;
    two.Put(0b10, 2);
    two.Put(0b11, 2);
    two.Put(0, 2);
    two.Put(0, 1);
    two.Put(2, 2);
    two.Put(0b10, 2);
    two.Put(0b10, 2);
    EXPECT_EQ((std::vector<int>{0, 15, 15, 15}), DecodeStream(2, 2, 4, two));
}

TEST(PiDecode, ColourTableRowsCountDownFromThePreviousColour)
{
    // a: index 13 of row 0 (0, 15, 14, ..., 3) -> 3; b: index 4 of row 3
    // (3, 2, 1, 0, 15) -> 15; then both rows above copied down.
    PiBitWriter s;
    s.Put(0b011101, 6);
    s.Put(0b01000, 5);
    s.Put(2, 2);
    s.Put(0b100, 3);  // two pairs
    EXPECT_EQ((std::vector<int>{3, 15, 3, 15}), DecodeStream(4, 1, 4, s));

    // Literal colours move to the front of their context's row.
    PiBitWriter mtf;
    mtf.Put(0b011101, 6);  // a = 3
    mtf.Put(0b10, 2);      // b = 3
    mtf.Put(2, 2);         // one pair copied: 3, 3
    mtf.Put(0, 1);
    mtf.Put(2, 2);         // repeat: literals after 3
    mtf.Put(0b011110, 6);  // index 14 of row 3 -> 5
    mtf.Put(0b10, 2);      // index 0 of row 5 -> 5
    mtf.Put(1, 1);         // another pair after 5
    mtf.Put(0b11, 2);      // index 1 of row 5 (now 5, 4, ...) -> 4
    mtf.Put(0b011110, 6);  // index 14 of row 4 (4, 3, ..., 6) -> 6
    EXPECT_EQ((std::vector<int>{3, 3, 5, 5, 4, 6}), DecodeStream(6, 1, 4, mtf));
}

TEST(PiDecode, CopiesStopAtThePlaneEnd)
{
    // A copy of 2^5 pairs into a 3 x 1 picture fills it and ends the decode.
    PiBitWriter s;
    s.Put(0b10, 2);
    s.Put(0b11, 2);
    s.Put(2, 2);
    s.Put(1, 1);
    s.Unary(4);
    s.Put(0, 5);
    EXPECT_EQ((std::vector<int>{0, 15, 0}), DecodeStream(3, 1, 4, s));

    // Literal colours stop after the last pixel: b of the last pair is not written.
    PiBitWriter odd;
    odd.Put(0b10, 2);
    odd.Put(0b11, 2);
    odd.Put(2, 2);
    odd.Put(0, 1);   // 0, 15
    odd.Put(2, 2);   // repeat: literals
    odd.Put(0b11, 2);  // index 1 after 15 -> 14
    odd.Put(0b10, 2);
    EXPECT_EQ((std::vector<int>{0, 15, 14}), DecodeStream(3, 1, 4, odd));
}

TEST(PiDecode, CopyLengthsOfThirtyBitsOrMoreCopyNothing)
{
    for (uint32_t m : {30u, 32u, 45u, 70u}) {
        PiBitWriter s;
        s.Put(0b10, 2);
        s.Put(0b11, 2);
        s.Put(2, 2);  // two rows up: one pair
        s.Put(0, 1);
        s.Put(1, 2);  // one row up: a length with m value bits, copies nothing
        s.Put(1, 1);
        s.Unary(m - 1);
        for (uint32_t left = m; left > 0; left -= left > 16 ? 16 : left)
            s.Put(0xFFFF, left > 16 ? 16 : left);
        s.Put(1, 2);  // a repeat after the empty copy: literal 14 (after 15), 14
        s.Put(0b11, 2);
        s.Put(0b10, 2);
        EXPECT_EQ((std::vector<int>{0, 15, 14, 14}), DecodeStream(4, 1, 4, s)) << m;
    }
}

TEST(PiDecode, NarrowPlanesCopyFromTheRowsAboveOnly)
{
    // Width 1: code 0 after two different pixels reaches before the plane;
    // those cells continue the pattern of the rows above.
    PiBitWriter s;
    s.Put(0b10, 2);
    s.Put(0b11, 2);  // rows above: 0, 15
    s.Put(0, 2);     // four back from offset 2: before the plane
    s.Put(0b100, 3); // two pairs
    std::vector<int> got = DecodeStream(1, 4, 4, s);
    EXPECT_EQ((std::vector<int>{0, 15, 0, 15}), got);

    // Code 3 with 0 at width 1 has code value 0, a repeat of the start value:
    // literal colours.
    PiBitWriter lit;
    lit.Put(0b10, 2);
    lit.Put(0b11, 2);
    lit.Put(0b110, 3);
    lit.Put(0b11, 2);  // 14 after 15
    lit.Put(0b10, 2);  // 14
    EXPECT_EQ((std::vector<int>{14, 14}), DecodeStream(1, 2, 4, lit));
}

TEST(PiDecode, DepthOneWrapsLongIndices)
{
    // At depth 1 the code 00x gives indices 2 and 3, which wrap to 0 and 1.
    PiBitWriter s;
    s.Put(0b00, 2);  // a: index 2 -> entry 0 of row 0 (0, 1) -> 0
    s.Put(0b01, 2);  // b: index 3 -> entry 1 of row 0 -> 1
    s.Put(2, 2);
    s.Put(0, 1);
    EXPECT_EQ((std::vector<int>{0, 1}), DecodeStream(2, 1, 1, s));
}

TEST(PiDecode, RunsOutOfDataWithIndexZero)
{
    // The step begun in the last byte finishes on zero bits (code 0 from two
    // back, one pair); no step begins past the end, so the rest is index 0.
    PiBitWriter s;
    s.Put(0b11, 2);  // a = 15
    s.Put(0b10, 2);  // b = 15
    s.Put(2, 2);     // two rows up, one pair
    s.Put(0, 1);
    ASSERT_EQ(7u, s.BitCount());
    std::vector<int> want(40 * 30, 0);
    want[0] = want[1] = want[2] = want[3] = 15;
    EXPECT_EQ(want, DecodeStream(40, 30, 4, s));
}

TEST(PiDecode, RefusesBadHeadersAndSmallDestinations)
{
    PiPicture p = MakePicture(7, 5, 4, 1, 1);
    p.palette = IndexPalette(4);
    std::vector<uint8_t> file = EncodePi(p);
    std::vector<uint8_t> out(7 * 5 * 4 + 1, 0xEE);

    // One byte too few for the pixels: refused, nothing written.
    EXPECT_EQ(-1, DecodePi(file.data(), file.size(), out.data(), 7 * 5 * 3 - 1, 0));
    EXPECT_EQ(-1, DecodePi(file.data(), file.size(), out.data(), 7 * 5 * 4 - 1, 1));
    EXPECT_EQ(std::vector<uint8_t>(out.size(), 0xEE), out);
    EXPECT_EQ(4, DecodePi(file.data(), file.size(), out.data(), 7 * 5 * 3, 0));
    EXPECT_EQ(0xEE, out[7 * 5 * 3]);

    // Depths 0 and above 8 are refused.
    size_t depthAt = EncodePiHeader(p).size() - 4 - 48 - 2 - 4 - 1;
    for (uint8_t depth : {0, 9, 16}) {
        std::vector<uint8_t> bad = file;
        bad[depthAt] = depth;
        EXPECT_EQ(-1, DecodePi(bad.data(), bad.size(), out.data(), out.size(), 0)) << int(depth);
    }

    // A wrong signature or missing header texts.
    std::vector<uint8_t> pic = file;
    pic[1] = 'I';
    uint32_t w = 1234, h = 5678;
    EXPECT_FALSE(GetPiSize(pic.data(), pic.size(), &w, &h));
    std::vector<uint8_t> noEnd = {'P', 'i', 'x', 0x1A, 'y'};
    EXPECT_FALSE(GetPiSize(noEnd.data(), noEnd.size(), &w, &h));
    EXPECT_EQ(1234u, w);
    EXPECT_EQ(5678u, h);
}

TEST(PiSize, ReadsPastTheExtensionAndNeedsEveryByte)
{
    PiPicture p = MakePicture(300, 2, 4, 5, 1);
    p.extension.assign(5, 0);
    std::vector<uint8_t> header = EncodePiHeader(p);
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(GetPiSize(header.data(), header.size(), &w, &h));
    EXPECT_EQ(300u, w);
    EXPECT_EQ(2u, h);
    for (size_t len = 0; len < header.size(); ++len) {
        std::vector<uint8_t> cut(header.begin(), header.begin() + len);
        w = h = 77;
        EXPECT_FALSE(GetPiSize(cut.data(), cut.size(), &w, &h)) << len;
        EXPECT_EQ(77u, w);
    }
}

}  // namespace
