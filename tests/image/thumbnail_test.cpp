#include "image/thumbnail.h"

#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "support/thumbnail_reference.h"

namespace {

// A packed picture whose every pixel differs from its neighbours.
std::vector<uint8_t> Pattern(uint32_t width, uint32_t height, uint32_t seed = 1)
{
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    uint32_t x = seed * 2654435761u + 12345;
    for (uint8_t& b : pixels) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 23);
    }
    return pixels;
}

const uint8_t* PixelAt(const ThumbnailBlock& t, uint32_t x, uint32_t y)
{
    return t.pixels + y * kThumbnailRowBytes + x * 3;
}

bool IsWhite(const ThumbnailBlock& t, uint32_t x, uint32_t y)
{
    const uint8_t* p = PixelAt(t, x, y);
    return p[0] == 255 && p[1] == 255 && p[2] == 255;
}

TEST(ScaleToThumbnail, TwoByOneFillsTheMiddleBandHalfAndHalf)
{
    const uint8_t src[6] = {10, 20, 30, 40, 50, 60};
    ThumbnailBlock t;
    ScaleToThumbnail(&t, src, 2, 1, 6);
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            if (y < 20 || y >= 60) {
                ASSERT_TRUE(IsWhite(t, x, y)) << x << "," << y;
                continue;
            }
            const uint8_t* want = x < 40 ? src : src + 3;
            ASSERT_EQ(0, memcmp(PixelAt(t, x, y), want, 3)) << x << "," << y;
        }
    }
}

TEST(ScaleToThumbnail, HalvingAveragesEachTwoByTwoBlock)
{
    std::vector<uint8_t> src = Pattern(160, 160);
    ThumbnailBlock t;
    ScaleToThumbnail(&t, src.data(), 160, 160, 160 * 3);
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            for (int k = 0; k < 3; ++k) {
                auto at = [&](uint32_t sx, uint32_t sy) { return src[(sy * 160 + sx) * 3 + k]; };
                unsigned sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                               at(2 * x + 1, 2 * y + 1);
                ASSERT_EQ(sum / 4, PixelAt(t, x, y)[k]) << x << "," << y;
            }
        }
    }
}

TEST(ScaleToThumbnail, AVeryFlatPictureLeavesAllWhite)
{
    std::vector<uint8_t> src(1000 * 5 * 3, 0);
    ThumbnailBlock t;
    memset(t.pixels, 7, sizeof t.pixels);
    ScaleToThumbnail(&t, src.data(), 1000, 5, 3000);
    for (uint8_t b : t.pixels)
        ASSERT_EQ(255, b);
}

TEST(ScaleToThumbnail, ATallPictureIsCentredHorizontally)
{
    std::vector<uint8_t> src(100 * 200 * 3, 0);
    ThumbnailBlock t;
    ScaleToThumbnail(&t, src.data(), 100, 200, 300);
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            bool inside = x >= 20 && x < 60;
            ASSERT_EQ(!inside, IsWhite(t, x, y)) << x << "," << y;
            if (inside) {
                ASSERT_EQ(0, PixelAt(t, x, y)[0]);
            }
        }
    }
}

TEST(ScaleToThumbnail, ASquareOfThumbnailSizeIsCopied)
{
    // Padded rows: the stride is more than three times the width.
    std::vector<uint8_t> packed = Pattern(80, 80, 7);
    std::vector<uint8_t> padded(244 * 80, 0xEE);
    for (uint32_t y = 0; y < 80; ++y)
        memcpy(&padded[y * 244], &packed[y * 240], 240);
    ThumbnailBlock t;
    ScaleToThumbnail(&t, padded.data(), 80, 80, 244);
    EXPECT_EQ(0, memcmp(t.pixels, packed.data(), kThumbnailBytes));
}

TEST(ScaleToThumbnail, BottomUpRowsWithANegativeStride)
{
    std::vector<uint8_t> src = Pattern(37, 23, 3);
    std::vector<uint8_t> flipped(src.size());
    for (uint32_t y = 0; y < 23; ++y)
        memcpy(&flipped[(22 - y) * 111], &src[y * 111], 111);
    ThumbnailBlock a, b;
    ScaleToThumbnail(&a, src.data(), 37, 23, 111);
    ScaleToThumbnail(&b, flipped.data() + 22 * 111, 37, 23, -111);
    EXPECT_EQ(0, memcmp(a.pixels, b.pixels, kThumbnailBytes));
}

// The accumulators against the slow placement rule, on random sizes: long
// rows, tall columns and pictures of every shape in between. Under the
// sanitizers this also proves that no sample is read outside the picture.
TEST(ScaleToThumbnail, MatchesTheSlowReferenceOnRandomSizes)
{
    std::mt19937 rng(20261208);
    auto draw = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng); };
    struct Size {
        uint32_t w, h;
    };
    std::vector<Size> sizes = {{1, 1}, {1, 2}, {2, 1}, {3, 3}, {79, 80}, {80, 79}, {81, 81},
                               {159, 1}, {161, 2}, {5000, 3}, {3, 5000}, {5000, 1}, {1, 5000}};
    for (int i = 0; i < 60; ++i)
        sizes.push_back({draw(1, 5000), draw(1, 3)});
    for (int i = 0; i < 60; ++i)
        sizes.push_back({draw(1, 3), draw(1, 5000)});
    for (int i = 0; i < 60; ++i)
        sizes.push_back({draw(1, 400), draw(1, 400)});

    for (const Size& s : sizes) {
        // Exactly sized buffers, so that ASan sees any read past the end.
        std::vector<uint8_t> src = Pattern(s.w, s.h, s.w * 7919 + s.h);
        ThumbnailBlock got, want;
        ScaleToThumbnail(&got, src.data(), s.w, s.h, ptrdiff_t(s.w) * 3);
        ReferenceThumbnail(src.data(), s.w, s.h, ptrdiff_t(s.w) * 3, want.pixels);
        ASSERT_EQ(0, memcmp(got.pixels, want.pixels, kThumbnailBytes)) << s.w << " x " << s.h;
    }
}

TEST(Resample2x2, NeverWritesOutsideTheRowsAndColumnsAsked)
{
    std::vector<uint8_t> src = Pattern(9, 9);
    ThumbnailBlock t;
    memset(t.pixels, 1, sizeof t.pixels);
    Resample2x2(src.data(), t.pixels + 240 * 5, 8, 8, 10, 3, 27);
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            bool inside = y >= 5 && y < 8 && x >= 35 && x < 45;
            if (!inside) {
                ASSERT_EQ(1, PixelAt(t, x, y)[0]) << x << "," << y;
            }
        }
    }
}

// Scaling to any size (the shell's thumbnails) keeps the same sampling:
// against the slow rule on random source and target sizes, enlarging and
// reducing, into exactly sized buffers.
TEST(ScaleToSize, MatchesTheSlowReferenceForAnyTargetSize)
{
    std::mt19937 rng(20261209);
    auto draw = [&](uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rng); };
    for (int i = 0; i < 80; ++i) {
        uint32_t w = draw(1, 700), h = draw(1, 300), dw = draw(1, 600), dh = draw(1, 400);
        std::vector<uint8_t> src = Pattern(w, h, i + 3);
        std::vector<uint8_t> got(size_t(dw) * dh * 3), want(got.size());
        ASSERT_TRUE(ScaleToSize(src.data(), w, h, ptrdiff_t(w) * 3, got.data(), dw, dh, ptrdiff_t(dw) * 3));
        ReferenceScale(src.data(), w, h, ptrdiff_t(w) * 3, want.data(), dw, dh);
        ASSERT_EQ(want, got) << w << " x " << h << " to " << dw << " x " << dh;
    }

    // Nothing to scale from or to: refused, the target untouched.
    std::vector<uint8_t> src = Pattern(4, 4), dst(48, 7);
    EXPECT_FALSE(ScaleToSize(src.data(), 0, 4, 12, dst.data(), 4, 4, 12));
    EXPECT_FALSE(ScaleToSize(src.data(), 4, 4, 12, dst.data(), 4, 0, 12));
    EXPECT_EQ(std::vector<uint8_t>(48, 7), dst);
}

TEST(FitIntoSquare, TheLongerSideFillsTheSquareAndNoSideIsZero)
{
    struct Case {
        uint32_t w, h, side, dw, dh;
    } cases[] = {{640, 400, 256, 256, 160}, {36, 65, 100, 55, 100}, {5, 5, 7, 7, 7},
                 {1000, 1, 64, 64, 1},      {1, 1000, 64, 1, 64},   {1, 1, 4096, 4096, 4096},
                 {0xFFFFFFFF, 3, 2560, 2560, 1}};
    for (const Case& c : cases) {
        uint32_t dw = 0, dh = 0;
        FitIntoSquare(c.w, c.h, c.side, &dw, &dh);
        EXPECT_EQ(c.dw, dw) << c.w << " x " << c.h;
        EXPECT_EQ(c.dh, dh) << c.w << " x " << c.h;
    }
}

}  // namespace
