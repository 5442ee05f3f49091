#include "decode/pic.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/pic_encoder.h"

namespace {

// Decodes a whole PIC file into 24-bit pixels; the result is the return value.
int Decode(const std::vector<uint8_t>& file, std::vector<uint8_t>* out, uint32_t* w, uint32_t* h)
{
    if (!GetPicSize(file.data(), file.size(), w, h))
        return -100;
    out->assign(size_t(*w) * *h * 3, 0xCD);
    return DecodePic(file.data(), file.size(), out->data(), out->size(), 0);
}

// Blue, green, red of one 15- or 16-bit value in the layout the header selects.
void Colour(uint32_t bits, uint8_t type, uint32_t v, std::vector<uint8_t>* out)
{
    uint8_t b, g, r;
    if (bits == 16 && (type & 15) == 1) {
        b = (v & 0x1F) << 3;
        g = (v >> 8) & 0xFC;
        r = (v >> 2) & 0xF8;
    } else if (bits == 16) {
        b = (v & 0x3E) << 2;
        g = (v >> 8) & 0xF8;
        r = (v >> 3) & 0xF8;
    } else if ((type & 15) == 3) {
        b = (v & 0x1F) << 3;
        g = (v >> 2) & 0xF8;
        r = (v >> 7) & 0xF8;
    } else {
        b = (v & 0x1F) << 3;
        g = (v >> 7) & 0xF8;
        r = (v >> 2) & 0xF8;
    }
    out->insert(out->end(), {b, g, r});
}

// The pixels a plane should decode to.
std::vector<uint8_t> Expected(const PicPicture& p)
{
    static const uint8_t level8[8] = {0x00, 0x24, 0x49, 0x6D, 0x92, 0xB6, 0xDB, 0xFF};
    static const uint8_t level4[4] = {0x00, 0x55, 0xAA, 0xFF};
    std::vector<uint8_t> out;
    if (p.type == 0x21 && p.colourBits == 16) {
        // Two 8-bit pixels a cell, the cell moving on after each odd column.
        size_t cell = 0;
        for (uint32_t y = 0; y < 2 * p.rows; ++y) {
            for (uint32_t x = 0; x < p.width; ++x) {
                uint32_t i = (x % 2) ? p.cells[cell++] >> 8 : p.cells[cell] & 0xFF;
                out.insert(out.end(), {level4[i & 3], level8[i >> 5], level8[(i >> 2) & 7]});
            }
        }
        return out;
    }
    for (uint16_t v : p.cells)
        Colour(p.colourBits, p.type, v, &out);
    if (p.type == 0x21)
        out.resize(out.size() * 2, 0);  // rows below a 15-bit plane are black
    return out;
}

// Decodes a header for w x rows with the given stream; empty on failure.
std::vector<uint8_t> DecodeStream(uint32_t w, uint32_t rows, const PicBitWriter& bits, uint32_t colourBits = 16)
{
    PicPicture p;
    p.width = w;
    p.rows = rows;
    p.colourBits = colourBits;
    std::vector<uint8_t> file = EncodePicHeader(p);
    std::vector<uint8_t> stream = bits.Bytes();
    file.insert(file.end(), stream.begin(), stream.end());
    std::vector<uint8_t> pixels;
    uint32_t dw, dh;
    if (Decode(file, &pixels, &dw, &dh) != int(colourBits))
        return {};
    return pixels;
}

// The pixels of 16-bit values with type byte 0.
std::vector<uint8_t> Pixels(const std::vector<uint16_t>& cells)
{
    std::vector<uint8_t> out;
    for (uint16_t v : cells)
        Colour(16, 0, v, &out);
    return out;
}

// Planes of many kinds: noise over a palette, slanted bands, sparse dots, gradients.
PicPicture MakePlane(uint32_t w, uint32_t rows, uint32_t bits, int kind, uint32_t seed)
{
    PicPicture p;
    p.width = w;
    p.rows = rows;
    p.colourBits = bits;
    uint32_t mask = bits == 15 ? 0x7FFF : 0xFFFF;
    std::mt19937 rng(seed);
    std::vector<uint16_t> palette;
    for (int i = 0; i < 200; ++i)
        palette.push_back(static_cast<uint16_t>(rng() & mask));
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t v = 0;
            switch (kind) {
            case 0:  // noise over 200 colours: cache hits and misses
                v = palette[rng() % 200];
                break;
            case 1: {  // bands whose edges slant by -2 to 2 columns a row
                int slope = static_cast<int>((x / 24) % 5) - 2;
                int shifted = static_cast<int>(x) + slope * static_cast<int>(y) + 1000;
                v = palette[(shifted / 7) % 9];
                break;
            }
            case 2:  // a flat field with a few dots
                v = rng() % 97 == 0 ? palette[rng() % 5] : 0x1234 & mask;
                break;
            default:  // a gradient: mostly literals
                v = (x * 37 + y * 1021) & mask;
                break;
            }
            p.cells.push_back(static_cast<uint16_t>(v));
        }
    }
    return p;
}

TEST(PicFixtures, DecodeOrRefuseAsListed)
{
    REQUIRE_FIXTURES();
    int seen = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pic/", 0) != 0 && row.path.rfind("pic16/", 0) != 0)
            continue;
        ++seen;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        std::vector<uint8_t> pixels;
        uint32_t w = 0, h = 0;
        int bits = Decode(file, &pixels, &w, &h);
        EXPECT_EQ(row.width, std::to_string(w));
        EXPECT_EQ(row.height, std::to_string(h));
        if (row.compare == "refused") {
            EXPECT_EQ(-1, bits);
            EXPECT_EQ(std::vector<uint8_t>(pixels.size(), 0xCD), pixels);
            continue;
        }
        EXPECT_TRUE(bits == 15 || bits == 16) << bits;
        BgrImage want;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
        EXPECT_TRUE(want.pixels == pixels);
    }
    EXPECT_EQ(6, seen);
}

TEST(PicFixtures, EveryTruncationDecodesCleanly)
{
    REQUIRE_FIXTURES();
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pic16/", 0) != 0 && row.path.rfind("pic/", 0) != 0)
            continue;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file, full;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        uint32_t fw, fh;
        int bits = Decode(file, &full, &fw, &fh);
        std::vector<uint8_t> pixels(full.size() / 3 * 4);  // every cut with a whole header has the full size
        for (size_t len = 0; len < file.size(); ++len) {
            std::vector<uint8_t> cut(file.begin(), file.begin() + len);  // exact heap size for ASan
            uint32_t w = 0, h = 0;
            if (!GetPicSize(cut.data(), cut.size(), &w, &h)) {
                uint8_t probe[4];
                ASSERT_EQ(-1, DecodePic(cut.data(), cut.size(), probe, sizeof probe, 0)) << len;
                continue;
            }
            ASSERT_EQ(bits, DecodePic(cut.data(), cut.size(), pixels.data(), pixels.size(), 1)) << len;
        }
    }
}

TEST(PicRoundTrip, VariedPlanesReachRunsCacheAndChains)
{
    PicEncodeStats stats;
    uint32_t seed = 0;
    for (uint32_t bits : {15u, 16u}) {
        for (uint8_t type : {0x00, 0x01, 0x03, 0x11, 0x21}) {
            for (auto size : {std::pair<uint32_t, uint32_t>{1, 1}, {1, 9}, {2, 2}, {7, 3}, {41, 29}, {160, 90}}) {
                for (int kind = 0; kind < 4; ++kind) {
                    PicPicture p = MakePlane(size.first, size.second, bits, kind, ++seed);
                    p.type = type;
                    p.chains = kind != 3;
                    std::vector<uint8_t> pixels;
                    uint32_t w, h;
                    ASSERT_EQ(int(bits), Decode(EncodePic(p, &stats), &pixels, &w, &h));
                    ASSERT_EQ(type == 0x21 ? 2 * size.second : size.second, h);
                    ASSERT_TRUE(Expected(p) == pixels) << bits << " type " << int(type) << " " << size.first
                                                      << "x" << size.second << " kind " << kind;
                }
            }
        }
    }
    EXPECT_GT(stats.literals, 0);
    EXPECT_GT(stats.cacheHits, 0);
    EXPECT_GT(stats.hitsOnCurrent, 0);
    EXPECT_GT(stats.hitsOnNext, 0);
    EXPECT_GT(stats.chains, 0);
    for (int move = 0; move < 5; ++move)
        EXPECT_GT(stats.moves[move], 0) << move - 2;
}

TEST(PicRoundTrip, RunsOfEveryLengthClass)
{
    // Dots between runs at both ends of every run length class up to 2^14.
    PicPicture p;
    p.width = 640;
    p.rows = 400;
    p.cells.assign(640 * 400, 0x4321);
    size_t pos = 0;
    for (uint32_t n = 1; n <= 14; ++n) {
        for (uint64_t run : {(uint64_t(1) << n) - 2, (uint64_t(2) << n) - 3}) {
            pos += run + 1;  // a new colour back to the field, then the run
            p.cells[pos++] = static_cast<uint16_t>(0x1000 + n);
        }
    }
    ASSERT_LT(pos, p.cells.size());
    PicEncodeStats stats;
    std::vector<uint8_t> pixels;
    uint32_t w, h;
    ASSERT_EQ(16, Decode(EncodePic(p, &stats), &pixels, &w, &h));
    EXPECT_TRUE(Expected(p) == pixels);
    for (uint32_t n = 1; n <= 14; ++n)
        EXPECT_GT(stats.runClasses[n], 0) << n;
}

TEST(PicDecode, ChainMarkOfColourZeroIsTakenOverByALaterRun)
{
    PicBitWriter s;
    s.RunLength(0);  // the shortest run: the new colour lands on the first pixel
    s.Put(1, 1);     // cache entry 0, the current one: colour 0
    s.Put(0, 7);
    s.Put(1, 1);     // a chain: straight down, then the end
    s.Put(2, 2);
    s.Put(0, 3);
    s.RunLength(0);
    s.Put(0, 1);     // literal 0x7FFF, no chain
    s.Put(0x7FFF, 16);
    s.Put(0, 1);
    s.RunLength(6);  // through the mark: the current colour becomes 0 there
    EXPECT_EQ(Pixels({0, 0x7FFF, 0x7FFF, 0x7FFF, 0, 0, 0, 0}), DecodeStream(4, 2, s));
}

TEST(PicDecode, CacheEntriesArePositionsInARing)
{
    const uint16_t A = 0x1111, B = 0x2222, C = 0x3333, D = 0x4444, E = 0x5555, F = 0x6666, G = 0x7777;
    PicBitWriter s;
    auto literal = [&](uint16_t v) {
        s.RunLength(0);
        s.Put(0, 1);
        s.Put(v, 16);
        s.Put(0, 1);
    };
    auto hit = [&](uint32_t k) {
        s.RunLength(0);
        s.Put(1, 1);
        s.Put(k, 7);
        s.Put(0, 1);
    };
    for (uint16_t v : {A, B, C, D, E})
        literal(v);  // entries 1 to 5; 5 is current
    hit(3);          // C moves after 5 and becomes current
    hit(3);          // already current: nothing changes
    literal(F);      // after 3 comes 6
    hit(7);          // the entry after the current one
    literal(G);      // after 7 still comes 8
    hit(8);
    hit(6);
    s.RunLength(0);
    EXPECT_EQ(Pixels({A, B, C, D, E, C, C, F, 0, G, G, F}), DecodeStream(12, 1, s));
}

TEST(PicDecode, ChainsMoveEveryWayAndStoreOnlyInsideThePicture)
{
    const uint16_t X = 0x1111, Y = 0x2222;
    PicBitWriter s;
    s.RunLength(0);
    s.Put(0, 1);
    s.Put(X, 16);
    s.Put(1, 1);
    s.Put(0b0011, 4);  // two right: (1, 2)
    s.Put(1, 2);      // one left: (2, 1)
    s.Put(3, 2);      // one right: (3, 2)
    s.Put(2, 2);      // below the last row: read, not stored
    s.Put(0b0010, 4);
    s.Put(0, 3);
    s.RunLength(0);
    s.Put(0, 1);
    s.Put(Y, 16);
    s.Put(0, 1);
    for (uint64_t run : {6, 3, 5}) {
        s.RunLength(run);  // up to and through a mark, then Y again from the cache
        s.Put(1, 1);
        s.Put(2, 7);
        s.Put(0, 1);
    }
    s.RunLength(1);
    EXPECT_EQ(Pixels({X, Y, Y, Y, Y, Y, Y, X, Y, Y, Y, X, Y, Y, Y, Y, Y, X, Y, Y}), DecodeStream(5, 4, s));
}

TEST(PicDecode, ChainColumnsWrapAlongThePlane)
{
    const uint16_t X = 0x1111, Y = 0x2222, Z = 0x3333;
    PicBitWriter s;
    auto literal = [&](uint16_t v) {
        s.RunLength(0);
        s.Put(0, 1);
        s.Put(v, 16);
        s.Put(1, 1);
    };
    literal(X);
    s.Put(1, 2);  // column -1 of row 1: the last pixel of row 0
    s.Put(0, 3);
    literal(Y);
    for (int i = 0; i < 3; ++i)
        s.Put(0b0011, 4);  // (1, 3), then past the plane's end, then below it
    s.Put(0, 3);
    literal(Z);
    s.Put(0b0010, 4);  // (1, 0)
    s.Put(0b0010, 4);  // column -2 of row 2: pixel 2 of row 1
    s.Put(0, 3);
    s.RunLength(9);
    EXPECT_EQ(Pixels({X, Y, Z, X, Z, Z, Z, Y, Y, Y, Y, Y}), DecodeStream(4, 3, s));

    // One pixel wide: every mark of a chain that keeps moving left lies
    // before the plane and is dropped.
    PicBitWriter narrow;
    narrow.RunLength(0);
    narrow.Put(0, 1);
    narrow.Put(X, 16);
    narrow.Put(1, 1);
    for (int i = 0; i < 6; ++i)
        narrow.Put(0b0010, 4);
    narrow.Put(0, 3);
    narrow.RunLength(3);
    EXPECT_EQ(Pixels({X, X, X, X}), DecodeStream(1, 4, narrow));
}

TEST(PicDecode, OverlongRunsFillTheRest)
{
    PicBitWriter s;
    s.RunLength(0);
    s.Put(0, 1);
    s.Put(0x5A5A, 16);
    s.Put(0, 1);
    for (int i = 0; i < 40; ++i)
        s.Put(1, 1);  // a run length of 41 bits
    s.Put(0, 1);
    EXPECT_EQ(Pixels(std::vector<uint16_t>(30, 0x5A5A)), DecodeStream(6, 5, s));
}

TEST(PicDecode, RunsOutOfDataWithBlack)
{
    // The stream ends inside the second run; no run begins past the end.
    PicBitWriter s;
    s.RunLength(0);
    s.Put(0, 1);
    s.Put(0xFFFF, 16);
    s.Put(0, 1);
    s.Put(0b1110, 4);  // the start of a run of 14 to 29, cut off: 14
    std::vector<uint16_t> want(64, 0);
    for (int i = 0; i < 15; ++i)
        want[i] = 0xFFFF;
    std::vector<uint8_t> got = DecodeStream(8, 8, s);
    EXPECT_EQ(Pixels(want), got);
}

TEST(PicDecode, PairedTypeDoublesTheRows)
{
    PicPicture p = MakePlane(9, 200, 16, 1, 5);
    p.type = 0x21;
    std::vector<uint8_t> file = EncodePic(p);
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(GetPicSize(file.data(), file.size(), &w, &h));
    EXPECT_EQ(9u, w);
    EXPECT_EQ(400u, h);
    std::vector<uint8_t> pixels;
    ASSERT_EQ(16, Decode(file, &pixels, &w, &h));
    EXPECT_TRUE(Expected(p) == pixels);

    // The 15-bit variant decodes its rows and leaves the ones below black and opaque.
    p = MakePlane(3, 2, 15, 0, 6);
    p.type = 0x21;
    file = EncodePic(p);
    std::vector<uint8_t> out(3 * 4 * 4, 0xCD);
    ASSERT_EQ(15, DecodePic(file.data(), file.size(), out.data(), out.size(), 1));
    std::vector<uint8_t> want;
    for (size_t i = 0; i < 12; ++i) {
        std::vector<uint8_t> bgr;
        if (i < 6)
            Colour(15, 0x21, p.cells[i], &bgr);
        else
            bgr = {0, 0, 0};
        want.insert(want.end(), {bgr[0], bgr[1], bgr[2], 255});
    }
    EXPECT_EQ(want, out);
}

TEST(PicDecode, RefusesOtherDepthsBadHeadersAndSmallDestinations)
{
    PicPicture p = MakePlane(7, 5, 16, 0, 3);
    std::vector<uint8_t> out(7 * 5 * 4 + 1, 0xEE);
    for (uint32_t bits : {0u, 8u, 14u, 17u, 24u}) {
        p.colourBits = bits;
        std::vector<uint8_t> file = EncodePicHeader(p);
        file.resize(file.size() + 64, 0x55);
        EXPECT_EQ(-1, DecodePic(file.data(), file.size(), out.data(), out.size(), 0)) << bits;
    }
    EXPECT_EQ(std::vector<uint8_t>(out.size(), 0xEE), out);

    // One byte too few for the pixels.
    p.colourBits = 16;
    std::vector<uint8_t> file = EncodePic(p);
    EXPECT_EQ(-1, DecodePic(file.data(), file.size(), out.data(), 7 * 5 * 3 - 1, 0));
    EXPECT_EQ(-1, DecodePic(file.data(), file.size(), out.data(), 7 * 5 * 4 - 1, 1));
    EXPECT_EQ(std::vector<uint8_t>(out.size(), 0xEE), out);
    EXPECT_EQ(16, DecodePic(file.data(), file.size(), out.data(), 7 * 5 * 4, 1));
    EXPECT_EQ(0xEE, out[7 * 5 * 4]);

    // Only "PI" is compared; the header texts and size fields must be present.
    std::vector<uint8_t> pix = file;
    pix[2] = 'X';
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(GetPicSize(pix.data(), pix.size(), &w, &h));
    pix[1] = 'i';
    w = h = 77;
    EXPECT_FALSE(GetPicSize(pix.data(), pix.size(), &w, &h));
    std::vector<uint8_t> header = EncodePicHeader(p);
    for (size_t len = 0; len < header.size(); ++len) {
        std::vector<uint8_t> cut(header.begin(), header.begin() + len);
        EXPECT_FALSE(GetPicSize(cut.data(), cut.size(), &w, &h)) << len;
    }
    EXPECT_EQ(77u, w);
    EXPECT_EQ(77u, h);
}

TEST(PicSize, TextEndIsSearchedFromOffsetThree)
{
    // "PI" then 0x1A at offset 2 is not the end of the comment.
    PicPicture p;
    p.width = 320;
    p.rows = 200;
    p.comment = std::string("\0x", 2);
    std::vector<uint8_t> header = EncodePicHeader(p);
    header[2] = 0x1A;  // "PI\x1A\0x\x1A\0..."
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(GetPicSize(header.data(), header.size(), &w, &h));
    EXPECT_EQ(320u, w);
    EXPECT_EQ(200u, h);
}

}  // namespace
