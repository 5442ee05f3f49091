// The Windows loaders under Wine: the GDI+ road on small pictures made with
// ImageMagick, the file-image bookkeeping, and the device-bitmap operations.
#include "image/load_image_win.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "image/bmp.h"
#include "image/dib.h"
#include "image/dib_win.h"
#include "image/shared_lock_win.h"
#include "support/fixtures.h"
#include "support/image_files.h"
#include "support/pixels.h"

namespace {

// GDI+ and SharedLock for the whole test program, as the main window has them.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        InitSharedLock();
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token_, &input, nullptr));
    }
    void TearDown() override
    {
        Gdiplus::GdiplusShutdown(token_);
        DeleteSharedLock();
    }

private:
    ULONG_PTR token_ = 0;
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

// The twelve colours of the c12 pictures as red, green, blue, and their alpha.
const uint32_t kTwelve[12] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080,
                              0xFFFF00, 0x00FFFF, 0xFF00FF, 0x102030, 0xC08040, 0x7F7F7F};
const uint8_t kTwelveAlpha[12] = {255, 128, 0, 64, 255, 255, 192, 1, 255, 0, 255, 128};

// The pixel (x, y) of a loaded picture in either form, as 0xRRGGBB.
uint32_t Rgb(const DecodedImage& im, uint32_t x, uint32_t y, int withAlpha)
{
    const uint8_t* p = im.pixels + y * FormStride(im.width, withAlpha) + x * (withAlpha ? 4 : 3);
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Loads a test picture through LoadImageBlock.
int LoadTestImage(const std::string& name, OwnedImage* out, int withAlpha)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadTestImage(name, &bytes)) << name;
    std::wstring wide(name.begin(), name.end());
    return LoadImageBlock(wide.c_str(), BlockFromBytes(bytes), &out->image, withAlpha);
}

void ExpectTwelve(const std::string& name, uint32_t bits)
{
    for (int withAlpha = 0; withAlpha < 2; ++withAlpha) {
        OwnedImage im;
        ASSERT_EQ(0, LoadTestImage(name, &im, withAlpha)) << name;
        EXPECT_EQ(4u, im.image.width);
        EXPECT_EQ(3u, im.image.height);
        EXPECT_EQ(bits, im.image.bitsPerPixel) << name;
        for (uint32_t i = 0; i < 12; ++i)
            EXPECT_EQ(kTwelve[i], Rgb(im.image, i % 4, i / 4, withAlpha)) << name << " pixel " << i;
    }
}

TEST(LibraryRoad, LoadsFourAndTwentyFourBitBmpGifAndTiffExactly)
{
    ExpectTwelve("c12_4x3_4bit.bmp", 4);
    ExpectTwelve("c12_4x3_24bit.bmp", 24);
    ExpectTwelve("c12_4x3.gif", 8);
    ExpectTwelve("c12_4x3.tif", 24);
}

TEST(LibraryRoad, AOneBitBmpReportsOneBitAndComesAs24Bit)
{
    OwnedImage im;
    ASSERT_EQ(0, LoadTestImage("bw_9x2_1bit.bmp", &im, 0));
    EXPECT_EQ(9u, im.image.width);
    EXPECT_EQ(2u, im.image.height);
    EXPECT_EQ(1u, im.image.bitsPerPixel);
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 9; ++x)
            EXPECT_EQ((x + y) % 2 ? 0u : 0xFFFFFFu, Rgb(im.image, x, y, 0)) << x << "," << y;
        // Stride 28: the row padding is zeroed.
        EXPECT_EQ(0, im.image.pixels[y * 28 + 27]);
    }
}

TEST(LibraryRoad, AnEightBitBmpKeepsItsPalette)
{
    OwnedImage im;
    ASSERT_EQ(0, LoadTestImage("c24_6x4_8bit.bmp", &im, 0));
    EXPECT_EQ(8u, im.image.bitsPerPixel);
    ASSERT_EQ(6u, im.image.width);
    ASSERT_EQ(4u, im.image.height);
    for (uint32_t i = 0; i < 24; ++i) {
        uint32_t want = (10 * i) << 16 | (255 - 10 * i) << 8 | (37 * i % 256);
        EXPECT_EQ(want, Rgb(im.image, i % 6, i / 6, 0)) << i;
    }
}

TEST(LibraryRoad, PngAlphaPassesOnlyInThe32BitForm)
{
    OwnedImage opaque, alpha;
    ASSERT_EQ(0, LoadTestImage("c12_4x3_alpha.png", &opaque, 0));
    ASSERT_EQ(0, LoadTestImage("c12_4x3_alpha.png", &alpha, 1));
    EXPECT_EQ(32u, opaque.image.bitsPerPixel);
    for (uint32_t i = 0; i < 12; ++i) {
        // The 24-bit conversion drops alpha without composing; the 32-bit
        // form keeps straight alpha.
        EXPECT_EQ(kTwelve[i], Rgb(opaque.image, i % 4, i / 4, 0)) << i;
        if (kTwelveAlpha[i] != 0) {
            EXPECT_EQ(kTwelve[i], Rgb(alpha.image, i % 4, i / 4, 1)) << i;
        }
        EXPECT_EQ(kTwelveAlpha[i], alpha.image.pixels[i * 4 + 3]) << i;
    }
}

TEST(LibraryRoad, JpegComesCloseToItsBlocks)
{
    OwnedImage im;
    ASSERT_EQ(0, LoadTestImage("blocks_16x16.jpg", &im, 0));
    EXPECT_EQ(16u, im.image.width);
    EXPECT_EQ(16u, im.image.height);
    EXPECT_EQ(24u, im.image.bitsPerPixel);
    const uint32_t blocks[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            uint32_t want = blocks[(y / 8) * 2 + x / 8], got = Rgb(im.image, x, y, 0);
            for (int shift = 0; shift < 24; shift += 8)
                EXPECT_NEAR(int(want >> shift & 0xFF), int(got >> shift & 0xFF), 12) << x << "," << y;
        }
    }
}

TEST(LibraryRoad, UnreadableFilesFailAndReleaseTheirBlock)
{
    long before = LiveAllocations();
    OwnedImage im;
    std::vector<uint8_t> bm17(17, 0);
    bm17[0] = 'B';
    bm17[1] = 'M';
    EXPECT_EQ(-1, LoadImageBlock(L"x.bmp", BlockFromBytes(bm17), &im.image, 0));
    std::vector<uint8_t> png(bm17.size(), 0x41);
    memcpy(png.data(), "\x89PNG", 4);
    EXPECT_EQ(-1, LoadImageBlock(L"x.png", BlockFromBytes(png), &im.image, 1));
    EXPECT_EQ(before, LiveAllocations());
}

TEST(LoadImageBlock, RefusesArchivesUnknownAndShortBlocks)
{
    long before = LiveAllocations();
    OwnedImage im;
    std::vector<uint8_t> zip(64, 0);
    memcpy(zip.data(), "PK\x03\x04", 4);
    EXPECT_EQ(-1, LoadImageBlock(L"a.zip", BlockFromBytes(zip), &im.image, 0));
    std::vector<uint8_t> lzh(64, 0);
    memcpy(lzh.data() + 2, "-lh5-", 5);
    EXPECT_EQ(-1, LoadImageBlock(L"a.lzh", BlockFromBytes(lzh), &im.image, 0));
    EXPECT_EQ(-1, LoadImageBlock(L"a.bin", BlockFromBytes(std::vector<uint8_t>(64, 'x')), &im.image, 0));
    EXPECT_EQ(-1, LoadImageBlock(L"a.bmp", BlockFromBytes({'B', 'M', 0, 0}), &im.image, 0));
    EXPECT_EQ(-1, LoadImageBlock(L"a.bmp", nullptr, &im.image, 0));
    EXPECT_EQ(before, LiveAllocations());
    EXPECT_EQ(nullptr, im.image.pixels);
}

TEST(LoadImageBlock, HandsOverOnlyThePixels)
{
    long before = LiveAllocations();
    {
        OwnedImage im;
        ASSERT_EQ(0, LoadTestImage("c12_4x3_24bit.bmp", &im, 0));
        EXPECT_EQ(before + 1, LiveAllocations());
    }
    EXPECT_EQ(before, LiveAllocations());
}

int allowance = 0;
bool Allowance(size_t)
{
    return allowance-- > 0;
}

TEST(LoadImageBlock, AFailedPixelAllocationFailsAndLeaksNothing)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestImage("c12_4x3_24bit.bmp", &bytes));
    MemoryBlock block = BlockFromBytes(bytes);
    long before = LiveAllocations();
    allowance = 0;
    SetAllocationGate(Allowance);
    OwnedImage im;
    int result = LoadImageBlock(L"a.bmp", block, &im.image, 0);
    SetAllocationGate(nullptr);
    EXPECT_EQ(-1, result);
    EXPECT_EQ(before - 1, LiveAllocations());  // the block went with the stream
}

TEST(LoadImageFile, ReadsTheWholeFileWhereverItsPositionIs)
{
    ScopedFile f(FileOpenRead(TestImagePath("c12_4x3_alpha.png").c_str()));
    ASSERT_TRUE(f.valid());
    ASSERT_TRUE(FileSeek(f.get(), 17));
    OwnedImage im;
    ASSERT_EQ(0, LoadImageFile(L"c.png", f.get(), &im.image, 1));
    EXPECT_EQ(4u, im.image.width);
    EXPECT_EQ(128, im.image.pixels[7]);
}

TEST(LoadImageFile, FailsBelowSeventeenBytes)
{
    TempDir dir;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestImage("c12_4x3_24bit.bmp", &bytes));
    bytes.resize(16);
    ScopedFile f(FileOpenRead(dir.Write(L"short.bmp", bytes).c_str()));
    OwnedImage im;
    long before = LiveAllocations();
    EXPECT_EQ(-1, LoadImageFile(L"short.bmp", f.get(), &im.image, 0));
    EXPECT_EQ(before, LiveAllocations());
}

TEST(LoadImageThumbnail, ScalesStraightFromTheLockedBits)
{
    for (const char* name : {"c12_4x3_24bit.bmp", "c12_4x3.tif", "c12_4x3_4bit.bmp"}) {
        ScopedFile f(FileOpenRead(TestImagePath(name).c_str()));
        ASSERT_TRUE(f.valid());
        ThumbnailBlock thumb;
        ImageInfo info{};
        std::wstring wide(name, name + strlen(name));
        ASSERT_EQ(0, LoadImageThumbnail(wide.c_str(), f.get(), &thumb, &info, uint32_t(FileSize(f.get()))));
        EXPECT_EQ(4u, info.width);
        EXPECT_EQ(3u, info.height);

        uint8_t src[36];
        for (int i = 0; i < 12; ++i) {
            src[i * 3] = kTwelve[i] & 0xFF;
            src[i * 3 + 1] = kTwelve[i] >> 8 & 0xFF;
            src[i * 3 + 2] = kTwelve[i] >> 16;
        }
        ThumbnailBlock want;
        ScaleToThumbnail(&want, src, 4, 3, 12);
        EXPECT_EQ(0, memcmp(want.pixels, thumb.pixels, kThumbnailBytes)) << name;
    }
}

TEST(LoadImageThumbnail, FailsLeavingTheThumbnailAsItWas)
{
    TempDir dir;
    std::vector<uint8_t> bm17(17, 0);
    bm17[0] = 'B';
    bm17[1] = 'M';
    std::vector<uint8_t> zip(40, 0);
    memcpy(zip.data(), "PK\x03\x04", 4);
    long before = LiveAllocations();
    for (const auto& bytes : {bm17, zip}) {
        ScopedFile f(FileOpenRead(dir.Write(L"t.bin", bytes).c_str()));
        ThumbnailBlock thumb;
        memset(thumb.pixels, 9, sizeof thumb.pixels);
        ImageInfo info{};
        EXPECT_EQ(-1, LoadImageThumbnail(L"t.bin", f.get(), &thumb, &info, uint32_t(bytes.size())));
        for (uint8_t b : thumb.pixels)
            ASSERT_EQ(9, b);
    }
    EXPECT_EQ(before, LiveAllocations());
}

TEST(LoadImageBlock, TakesTheOwnDecoderRoadForMag)
{
    REQUIRE_FIXTURES();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFixture("mag/s05_edges_8x3_mag16x.mag", &bytes));
    BgrImage want;
    ASSERT_TRUE(ReadBgrFixture("mag/s05_edges_8x3_mag16x.mag.bgr", &want));
    long before = LiveAllocations();
    {
        OwnedImage im;
        ASSERT_EQ(0, LoadImageBlock(L"e.mag", BlockFromBytes(bytes), &im.image, 0));
        EXPECT_EQ(4u, im.image.bitsPerPixel);
        EXPECT_EQ(want.pixels, PackedRows(im.image));
    }
    EXPECT_EQ(before, LiveAllocations());

    // The thumbnail loader reads the file itself.
    TempDir dir;
    ScopedFile f(FileOpenRead(dir.Write(L"e.mag", bytes).c_str()));
    ThumbnailBlock thumb, expected;
    ImageInfo info{};
    ASSERT_EQ(0, LoadImageThumbnail(L"e.mag", f.get(), &thumb, &info, uint32_t(bytes.size())));
    ScaleToThumbnail(&expected, want.pixels.data(), want.width, want.height, ptrdiff_t(want.width) * 3);
    EXPECT_EQ(0, memcmp(expected.pixels, thumb.pixels, kThumbnailBytes));
    EXPECT_EQ(8u, info.width);
    EXPECT_EQ(3u, info.height);
    EXPECT_EQ(4u, info.bitsPerPixel);
}

// The library road from several threads at once, as the viewer and the
// thumbnail workers use it: each load's pixels stay its own.
TEST(LibraryRoad, LoadsFromSeveralThreadsAtOnce)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestImage("c12_4x3_24bit.bmp", &bytes));
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                OwnedImage im;
                if (LoadImageBlock(L"c.bmp", BlockFromBytes(bytes), &im.image, i % 2) == 0 &&
                    Rgb(im.image, 1, 2, i % 2) == kTwelve[9])
                    ++good;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(100, good.load());
}

TEST(WriteBmpFileWin, ReadsBackThroughGdiplus)
{
    TempDir dir;
    for (uint32_t width : {1u, 5u, 64u}) {
        OwnedImage im;
        MakeImage(&im, width, 7, 0, width);
        std::wstring path = dir.Path(L"saved.bmp");
        ASSERT_EQ(0, WriteBmpFile(&im.image, path.c_str()));
        ScopedFile f(FileOpenRead(path.c_str()));
        OwnedImage back;
        ASSERT_EQ(0, LoadImageFile(path.c_str(), f.get(), &back.image, 0));
        EXPECT_EQ(24u, back.image.bitsPerPixel);
        ASSERT_EQ(width, back.image.width);
        ASSERT_EQ(7u, back.image.height);
        EXPECT_EQ(PackedRows(im.image), PackedRows(back.image)) << width;
    }
}

TEST(FillBitmapInfo, GivesTheTopDownHeader)
{
    OwnedImage im;
    MakeImage(&im, 5, 3, 0);
    BITMAPINFO info;
    ASSERT_TRUE(FillBitmapInfo(&im.image, &info));
    EXPECT_EQ(40u, info.bmiHeader.biSize);
    EXPECT_EQ(5, info.bmiHeader.biWidth);
    EXPECT_EQ(-3, info.bmiHeader.biHeight);
    EXPECT_EQ(1, info.bmiHeader.biPlanes);
    EXPECT_EQ(24, info.bmiHeader.biBitCount);
    EXPECT_EQ(DWORD(BI_RGB), info.bmiHeader.biCompression);
    EXPECT_EQ(48u, info.bmiHeader.biSizeImage);
}

// The bitmap's pixels, read back as a 24-bit top-down picture.
std::vector<uint8_t> BitmapRows(HDC dc, HBITMAP bitmap, const DecodedImage& like)
{
    BITMAPINFO info;
    FillBitmapInfo(&like, &info);
    std::vector<uint8_t> buffer(Stride24(like.width) * like.height);
    EXPECT_EQ(int(like.height), GetDIBits(dc, bitmap, 0, like.height, buffer.data(), &info, DIB_RGB_COLORS));
    DecodedImage view{like.width, like.height, 24, buffer.data()};
    return PackedRows(view);
}

TEST(DeviceBitmap, HoldsThePictureAndFollowsItsFlips)
{
    // A 32-bit memory context, so that the round trip is exact.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    OwnedImage im, mirrored;
    MakeImage(&im, 7, 5, 0, 3);
    MakeImage(&mirrored, 7, 5, 0, 3);
    FlipPixels(&mirrored.image, FlipMirror);

    BITMAPINFO info;
    ASSERT_TRUE(FillBitmapInfo(&im.image, &info));
    HBITMAP bitmap = CreateImageBitmap(&im.image, screen);
    ASSERT_NE(nullptr, bitmap);
    if (GetDeviceCaps(screen, BITSPIXEL) >= 24) {
        EXPECT_EQ(PackedRows(im.image), BitmapRows(dc, bitmap, im.image));
        FlipAndRefresh(&im.image, dc, bitmap, FlipMirror);
        EXPECT_EQ(PackedRows(mirrored.image), PackedRows(im.image));
        EXPECT_EQ(PackedRows(mirrored.image), BitmapRows(dc, bitmap, im.image));
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

}  // namespace
