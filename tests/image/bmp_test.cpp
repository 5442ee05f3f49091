#include "image/bmp.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "support/fixtures.h"
#include "support/pixels.h"

namespace {

std::vector<uint8_t> ReadAll(const std::wstring& path)
{
#ifdef _WIN32
    std::ifstream in(path.c_str(), std::ios::binary);
#else
    std::ifstream in(WideToUtf8(path), std::ios::binary);
#endif
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t LE32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(WriteBmpFile, OnePixelMakesA58ByteFileWithZeroPadding)
{
    TempDir dir;
    OwnedImage im;
    MakeImage(&im, 1, 1, 0);
    std::wstring path = dir.Path(L"one.bmp");
    ASSERT_EQ(0, WriteBmpFile(&im.image, path.c_str()));
    std::vector<uint8_t> b = ReadAll(path);
    ASSERT_EQ(58u, b.size());
    EXPECT_EQ('B', b[0]);
    EXPECT_EQ('M', b[1]);
    EXPECT_EQ(58u, LE32(b, 2));
    EXPECT_EQ(0u, LE32(b, 6));
    EXPECT_EQ(54u, LE32(b, 10));
    EXPECT_EQ(40u, LE32(b, 14));
    EXPECT_EQ(1u, LE32(b, 18));
    EXPECT_EQ(0xFFFFFFFFu, LE32(b, 22));
    EXPECT_EQ(4u, LE32(b, 34));
    EXPECT_EQ(0, memcmp(&b[54], im.image.pixels, 3));
    EXPECT_EQ(0, b[57]);  // the buffer holds 0xCD there
}

TEST(WriteBmpFile, RowsFollowTheHeaderTopFirst)
{
    TempDir dir;
    for (uint32_t width : {4u, 5u, 3000u}) {
        OwnedImage im;
        MakeImage(&im, width, 30, 0, width);
        std::wstring path = dir.Path(L"rows.bmp");
        ASSERT_EQ(0, WriteBmpFile(&im.image, path.c_str()));
        std::vector<uint8_t> b = ReadAll(path);
        const size_t stride = Stride24(width);
        ASSERT_EQ(54 + stride * 30, b.size());
        EXPECT_EQ(stride * 30, LE32(b, 34));
        for (uint32_t y = 0; y < 30; ++y) {
            const uint8_t* row = &b[54 + y * stride];
            ASSERT_EQ(0, memcmp(row, im.image.pixels + y * stride, 3 * width)) << width << " row " << y;
            for (size_t i = 3 * width; i < stride; ++i)
                ASSERT_EQ(0, row[i]);
        }
    }
}

TEST(WriteBmpFile, ReplacesAnExistingFile)
{
    TempDir dir;
    std::wstring path = dir.Write(L"old.bmp", std::vector<uint8_t>(1000, 'x'));
    OwnedImage im;
    MakeImage(&im, 2, 2, 0);
    ASSERT_EQ(0, WriteBmpFile(&im.image, path.c_str()));
    EXPECT_EQ(54u + 16, ReadAll(path).size());
}

TEST(WriteBmpFile, FailsWhenTheFileCannotBeCreated)
{
    TempDir dir;
    OwnedImage im;
    MakeImage(&im, 2, 2, 0);
    std::wstring path = dir.Path(L"missing-folder") + L"/x.bmp";
    EXPECT_EQ(-1, WriteBmpFile(&im.image, path.c_str()));
}

TEST(FillBmpHeader, RefusesAFileSizePast32Bits)
{
    uint8_t h[kBmpHeaderSize];
    // The image size just fits, the 54 header bytes on top do not.
    EXPECT_FALSE(FillBmpHeader(4, 0xFFFFFFFFu / 12, h));
    EXPECT_TRUE(FillBmpHeader(4, 1000, h));
}

}  // namespace
