#include "image/dib.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "support/pixels.h"

namespace {

uint32_t LE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

const uint8_t* Pixel(const DecodedImage& im, uint32_t x, uint32_t y)
{
    return im.pixels + y * Stride24(im.width) + x * 3;
}

TEST(FillBmpInfoHeader, DescribesATopDown24BitPicture)
{
    uint8_t h[kBmpInfoHeaderSize];
    memset(h, 0xAA, sizeof h);
    ASSERT_TRUE(FillBmpInfoHeader(5, 3, h));
    EXPECT_EQ(40u, LE32(h));
    EXPECT_EQ(5u, LE32(h + 4));
    EXPECT_EQ(uint32_t(-3), LE32(h + 8));
    EXPECT_EQ(1, h[12] | h[13] << 8);
    EXPECT_EQ(24, h[14] | h[15] << 8);
    EXPECT_EQ(0u, LE32(h + 16));       // BI_RGB
    EXPECT_EQ(16u * 3, LE32(h + 20));  // stride 16
    for (int i = 24; i < 40; ++i)
        EXPECT_EQ(0, h[i]) << i;
}

TEST(FillBmpInfoHeader, RefusesSizesItsFieldsCannotHold)
{
    uint8_t h[kBmpInfoHeaderSize];
    EXPECT_FALSE(FillBmpInfoHeader(0x80000000u, 1, h));
    EXPECT_FALSE(FillBmpInfoHeader(1, 0x80000000u, h));
    EXPECT_FALSE(FillBmpInfoHeader(40000, 40000, h));  // image size past 32 bits
    EXPECT_TRUE(FillBmpInfoHeader(1, 0x7FFFFFFF / 4, h));
}

TEST(FlipPixels, MirrorsRowsOfOddAndEvenWidths)
{
    for (uint32_t width : {1u, 2u, 3u, 5u, 6u}) {
        OwnedImage a, b;
        MakeImage(&a, width, 3, 0);
        MakeImage(&b, width, 3, 0);
        FlipPixels(&a.image, FlipMirror);
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < width; ++x)
                ASSERT_EQ(0, memcmp(Pixel(a.image, x, y), Pixel(b.image, width - 1 - x, y), 3)) << width;
            // The padding of the row stays as it was.
            for (uint64_t i = 3 * width; i < Stride24(width); ++i)
                ASSERT_EQ(0xCD, a.image.pixels[y * Stride24(width) + i]);
        }
    }
}

TEST(FlipPixels, TurnsUpsideDownLeavingTheMiddleRowOfAnOddHeight)
{
    for (uint32_t height : {1u, 2u, 3u, 4u, 7u}) {
        OwnedImage a, b;
        MakeImage(&a, 5, height, 0);
        MakeImage(&b, 5, height, 0);
        FlipPixels(&a.image, FlipUpsideDown);
        for (uint32_t y = 0; y < height; ++y)
            ASSERT_EQ(0, memcmp(Pixel(a.image, 0, y), Pixel(b.image, 0, height - 1 - y), 15)) << height;
    }
}

TEST(FlipPixels, OtherModesAndTwiceChangeNothing)
{
    OwnedImage a, b;
    MakeImage(&a, 7, 5, 0);
    MakeImage(&b, 7, 5, 0);
    const size_t bytes = Stride24(7) * 5;
    FlipPixels(&a.image, 0);
    FlipPixels(&a.image, 3);
    EXPECT_EQ(0, memcmp(a.image.pixels, b.image.pixels, bytes));
    FlipPixels(&a.image, FlipMirror);
    FlipPixels(&a.image, FlipMirror);
    FlipPixels(&a.image, FlipUpsideDown);
    FlipPixels(&a.image, FlipUpsideDown);
    EXPECT_EQ(0, memcmp(a.image.pixels, b.image.pixels, bytes));
}

// One base pixel under one overlay pixel of the given colour and alpha.
uint8_t BlendOne(uint8_t overlay, uint8_t base, uint8_t alpha)
{
    OwnedImage b, o;
    MakeImage(&b, 1, 1, 0);
    MakeImage(&o, 1, 1, 1);
    memset(b.image.pixels, base, 3);
    memset(o.image.pixels, overlay, 3);
    o.image.pixels[3] = alpha;
    BlendOver(&b.image, &o.image);
    EXPECT_EQ(b.image.pixels[0], b.image.pixels[2]);
    return b.image.pixels[0];
}

TEST(BlendOver, MixesByStraightAlphaWithTruncation)
{
    EXPECT_EQ(200, BlendOne(200, 10, 255));
    EXPECT_EQ(10, BlendOne(200, 10, 0));
    EXPECT_EQ(128, BlendOne(255, 0, 128));
    EXPECT_EQ(127, BlendOne(0, 255, 128));
    EXPECT_EQ((100 * 77 + 50 * 178) / 255, BlendOne(100, 50, 77));
}

TEST(BlendOver, ChangesOnlyTheSharedTopLeftRectangle)
{
    OwnedImage base, before, overlay;
    MakeImage(&base, 40, 80, 0, 1);
    MakeImage(&before, 40, 80, 0, 1);
    MakeImage(&overlay, 100, 50, 1, 9);
    BlendOver(&base.image, &overlay.image);
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 40; ++x) {
            const uint8_t* got = Pixel(base.image, x, y);
            const uint8_t* old = Pixel(before.image, x, y);
            if (y >= 50) {
                ASSERT_EQ(0, memcmp(got, old, 3)) << x << "," << y;
                continue;
            }
            const uint8_t* o = overlay.image.pixels + (y * 100 + x) * 4;
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ((o[k] * o[3] + old[k] * (255 - o[3])) / 255, got[k]) << x << "," << y;
        }
    }
}

}  // namespace
