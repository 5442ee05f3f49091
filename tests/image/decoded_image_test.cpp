#include "image/decoded_image.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(Stride24, RoundsRowsUpToFourBytes)
{
    EXPECT_EQ(4u, Stride24(1));
    EXPECT_EQ(8u, Stride24(2));
    EXPECT_EQ(12u, Stride24(3));
    EXPECT_EQ(12u, Stride24(4));
    EXPECT_EQ(16u, Stride24(5));
    EXPECT_EQ(3ull * 0xFFFFFFFFull + 3, Stride24(0xFFFFFFFFu));  // no wrap
}

TEST(PixelBufferSize, RefusesBuffersPast32Bits)
{
    uint32_t stride = 0, bytes = 0;
    ASSERT_TRUE(PixelBufferSize(1, 7, 0, &stride, &bytes));
    EXPECT_EQ(4u, stride);
    EXPECT_EQ(28u, bytes);
    ASSERT_TRUE(PixelBufferSize(1, 7, 1, &stride, &bytes));
    EXPECT_EQ(28u, bytes);
    EXPECT_FALSE(PixelBufferSize(0, 7, 0, &stride, &bytes));
    EXPECT_FALSE(PixelBufferSize(7, 0, 1, &stride, &bytes));

    // 32768 x 32768 x 4 is exactly 2^32: one byte too many.
    EXPECT_FALSE(PixelBufferSize(32768, 32768, 1, &stride, &bytes));
    EXPECT_TRUE(PixelBufferSize(32768, 32767, 1, &stride, &bytes));
    EXPECT_FALSE(PixelBufferSize(0xFFFFFFFFu, 0xFFFFFFFFu, 0, &stride, &bytes));
    EXPECT_FALSE(PixelBufferSize(0x40000000u, 1, 1, &stride, &bytes));
    // The 24-bit stride of 21845 pixels is 65536 bytes.
    EXPECT_FALSE(PixelBufferSize(21845, 65536, 0, &stride, &bytes));
    EXPECT_TRUE(PixelBufferSize(21845, 65535, 0, &stride, &bytes));
}

TEST(SpreadPackedRows, MovesEveryRowToItsStrideAndZeroesThePadding)
{
    for (uint32_t width = 1; width <= 9; ++width) {
        const uint32_t height = 5;
        const size_t stride = Stride24(width), rowBytes = 3 * width;
        std::vector<uint8_t> buffer(stride * height, 0xEE);
        for (size_t i = 0; i < rowBytes * height; ++i)
            buffer[i] = static_cast<uint8_t>(i + 1);
        SpreadPackedRows(buffer.data(), width, height, stride);
        for (size_t r = 0; r < height; ++r) {
            for (size_t i = 0; i < stride; ++i) {
                uint8_t want = i < rowBytes ? static_cast<uint8_t>(r * rowBytes + i + 1) : 0;
                ASSERT_EQ(want, buffer[r * stride + i]) << width << " row " << r << " byte " << i;
            }
        }
    }
}

}  // namespace
