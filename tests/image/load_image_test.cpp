#include "image/load_image.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/image_files.h"
#include "support/mag_encoder.h"
#include "support/pixels.h"
#include "support/thumbnail_reference.h"

namespace {

const char kMag16[] = "mag/s05_edges_8x3_mag16x.mag";
const char kMag256[] = "mag/s03_noise_17x13_mag256x.mag";

// Reads a fixture into a new block.
MemoryBlock FixtureBlock(const std::string& relative)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFixture(relative, &bytes)) << relative;
    return BlockFromBytes(bytes);
}

// Counts down the allocations that may still succeed.
int allowance = 0;
bool Allowance(size_t)
{
    return allowance-- > 0;
}

// Lets exactly n allocations of the memory layer succeed in its scope.
struct AllowOnly {
    explicit AllowOnly(int n)
    {
        allowance = n;
        SetAllocationGate(Allowance);
    }
    ~AllowOnly() { SetAllocationGate(nullptr); }
};

TEST(ReadFileImage, ReadsTheWholeFileFromTheStart)
{
    TempDir dir;
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    ScopedFile f(FileOpenRead(dir.Write(L"f.bin", bytes).c_str()));
    ASSERT_TRUE(FileSeek(f.get(), 500));
    ScopedMemoryBlock block(ReadFileImage(f.get(), 1000));
    ASSERT_NE(nullptr, block.get());
    MemoryBlockLockHolder lock(block.get());
    EXPECT_EQ(0, memcmp(lock.bytes(), bytes.data(), bytes.size()));
}

TEST(ReadFileImage, FailsOnAShortReadAndOnSizesOutsideTheLimits)
{
    TempDir dir;
    ScopedFile f(FileOpenRead(dir.Write(L"f.bin", std::vector<uint8_t>(100, 1)).c_str()));
    long before = LiveAllocations();
    EXPECT_EQ(nullptr, ReadFileImage(f.get(), 101));  // the file shrank after its size was taken
    EXPECT_EQ(nullptr, ReadFileImage(f.get(), 16));
    EXPECT_EQ(nullptr, ReadFileImage(f.get(), uint64_t(1) << 32));
    EXPECT_EQ(nullptr, ReadFileImage(kInvalidFile, 100));
    {
        AllowOnly none(0);
        EXPECT_EQ(nullptr, ReadFileImage(f.get(), 100));
    }
    EXPECT_EQ(before, LiveAllocations());
}

TEST(ReadThumbnailImage, RefusesArchivesBeforeReadingTheRest)
{
    TempDir dir;
    std::vector<uint8_t> zip(5000, 0);
    memcpy(zip.data(), "PK\x03\x04", 4);
    std::vector<uint8_t> unknown(64, 'x');
    long before = LiveAllocations();
    for (const auto& bytes : {zip, unknown}) {
        ScopedFile f(FileOpenRead(dir.Write(L"a.zip", bytes).c_str()));
        FileKind kind = 99;
        EXPECT_EQ(nullptr, ReadThumbnailImage(L"a.zip", f.get(), bytes.size(), &kind));
        EXPECT_EQ(99u, kind);
    }
    EXPECT_EQ(before, LiveAllocations());
}

TEST(ReadThumbnailImage, ReadsAPictureWholeAndGivesItsKind)
{
    REQUIRE_FIXTURES();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFixture(kMag16, &bytes));
    TempDir dir;
    ScopedFile f(FileOpenRead(dir.Write(L"p.mag", bytes).c_str()));
    ASSERT_TRUE(FileSeek(f.get(), 40));
    FileKind kind = 99;
    ScopedMemoryBlock block(ReadThumbnailImage(L"p.mag", f.get(), bytes.size(), &kind));
    ASSERT_NE(nullptr, block.get());
    EXPECT_EQ(KindMag, kind);
    MemoryBlockLockHolder lock(block.get());
    EXPECT_EQ(0, memcmp(lock.bytes(), bytes.data(), bytes.size()));

    // A size larger than the file is a short read.
    EXPECT_EQ(nullptr, ReadThumbnailImage(L"p.mag", f.get(), bytes.size() + 1, &kind));
}

TEST(ClassifyBlock, NeedsSeventeenBytes)
{
    std::vector<uint8_t> bytes(17, 0);
    memcpy(bytes.data(), "BM", 2);
    ScopedMemoryBlock full(BlockFromBytes(bytes));
    EXPECT_EQ(KindBmp, ClassifyBlock(L"a.bmp", full.get()));
    bytes.resize(16);
    ScopedMemoryBlock shorter(BlockFromBytes(bytes));
    EXPECT_EQ(KindNone, ClassifyBlock(L"a.bmp", shorter.get()));
    EXPECT_EQ(KindNone, ClassifyBlock(L"a.bmp", nullptr));
}

TEST(LoadOwnImageBlock, RefusesWhatNoOwnDecoderTakesAndReleasesTheBlock)
{
    long before = LiveAllocations();
    std::vector<uint8_t> zip(64, 0);
    memcpy(zip.data(), "PK\x03\x04", 4);
    OwnedImage im;
    EXPECT_EQ(-1, LoadOwnImageBlock(BlockFromBytes(zip), &im.image, 0));
    EXPECT_EQ(-1, LoadOwnImageBlock(BlockFromBytes(std::vector<uint8_t>(64, 'x')), &im.image, 1));
    EXPECT_EQ(-1, LoadOwnImageBlock(nullptr, &im.image, 0));
    ThumbnailBlock thumb;
    ImageInfo info{};
    EXPECT_EQ(-1, LoadOwnImageThumbnail(BlockFromBytes(zip), &thumb, &info));
    EXPECT_EQ(before, LiveAllocations());
    EXPECT_EQ(nullptr, im.image.pixels);
}

// The fixture's expected decoding in the chosen form.
void ExpectFixtureDecoding(const std::string& relative, uint32_t bits)
{
    BgrImage want;
    ASSERT_TRUE(ReadBgrFixture(relative + ".bgr", &want));
    for (int withAlpha = 0; withAlpha < 2; ++withAlpha) {
        OwnedImage im;
        ASSERT_EQ(0, LoadOwnImageBlock(FixtureBlock(relative), &im.image, withAlpha)) << relative;
        ASSERT_EQ(want.width, im.image.width);
        ASSERT_EQ(want.height, im.image.height);
        EXPECT_EQ(bits, im.image.bitsPerPixel);
        const size_t stride = FormStride(want.width, withAlpha);
        for (uint32_t y = 0; y < want.height; ++y) {
            const uint8_t* row = im.image.pixels + y * stride;
            for (uint32_t x = 0; x < want.width; ++x) {
                const uint8_t* p = row + x * (withAlpha ? 4 : 3);
                ASSERT_EQ(0, memcmp(p, &want.pixels[(size_t(y) * want.width + x) * 3], 3))
                    << relative << " " << x << "," << y << " alpha " << withAlpha;
                if (withAlpha) {
                    ASSERT_EQ(255, p[3]);
                }
            }
        }
    }
}

TEST(LoadOwnImageBlock, DecodesMagIntoBothForms)
{
    REQUIRE_FIXTURES();
    ExpectFixtureDecoding(kMag16, 4);
    ExpectFixtureDecoding(kMag256, 8);
}

// Both forms of pictures 4 and 8 pixels wide made by the test encoder; a
// 4-pixel row is 12 bytes, no padding.
TEST(LoadOwnImageBlock, SmallMagPicturesInBothForms)
{
    for (bool colors256 : {true, false}) {
        MagPicture picture = MakeMagPicture(colors256, 0, 0, colors256 ? 4 : 8, 5, MagPattern::Noise, 11);
        for (int withAlpha = 0; withAlpha < 2; ++withAlpha) {
            OwnedImage im;
            ASSERT_EQ(0, LoadOwnImageBlock(BlockFromBytes(EncodeMag(picture)), &im.image, withAlpha));
            ASSERT_EQ(picture.PlaneWidth(), im.image.width);
            ASSERT_EQ(5u, im.image.height);
            EXPECT_EQ(colors256 ? 8u : 4u, im.image.bitsPerPixel);
            std::vector<uint8_t> want = MagExpectedPixels(picture, withAlpha != 0);
            const size_t rowBytes = im.image.width * (withAlpha ? 4 : 3);
            EXPECT_EQ(colors256 ? (withAlpha ? 16u : 12u) : (withAlpha ? 32u : 24u), FormStride(im.image.width, withAlpha));
            for (uint32_t y = 0; y < 5; ++y)
                EXPECT_EQ(0, memcmp(im.image.pixels + y * FormStride(im.image.width, withAlpha), &want[y * rowBytes], rowBytes));
        }
    }
}

// Every fixture picture whose decoder is in this build, into both forms; the
// 24-bit rows are padded to 4 bytes (17, 33 and 123 pixels wide among them).
TEST(LoadOwnImageBlock, EveryFixturePictureInBothForms)
{
    REQUIRE_FIXTURES();
    for (const ManifestRow& row : ReadManifest()) {
        if (row.compare != "exact" || !row.undefinedPixels.empty() || row.expected.empty())
            continue;
        OwnedImage probe;
        if (LoadOwnImageBlock(FixtureBlock(row.path), &probe.image, 0) != 0)
            continue;  // not decoded in this build: reported by the thumbnail test
        ExpectFixtureDecoding(row.path, probe.image.bitsPerPixel);
    }
}

// Every allocation of the road fails in turn: each failure fails the load and
// leaves nothing behind; with enough allowed the load succeeds.
TEST(LoadOwnImageBlock, AFailedAllocationAnywhereReleasesEverything)
{
    REQUIRE_FIXTURES();
    for (int withAlpha = 0; withAlpha < 2; ++withAlpha) {
        int allowed = 0;
        for (;; ++allowed) {
            ASSERT_LT(allowed, 10);
            MemoryBlock block = FixtureBlock(kMag16);
            long before = LiveAllocations();
            OwnedImage im;
            int result;
            {
                AllowOnly gate(allowed);
                result = LoadOwnImageBlock(block, &im.image, withAlpha);
            }
            if (result == 0) {
                EXPECT_EQ(before, LiveAllocations());  // the block gone, the pixels taken
                break;
            }
            EXPECT_EQ(nullptr, im.image.pixels);
            EXPECT_EQ(before - 1, LiveAllocations()) << "allowed " << allowed;
        }
        // Either form takes one buffer: the 24-bit one is its own work buffer.
        EXPECT_EQ(1, allowed);
    }
}

TEST(LoadOwnImageThumbnail, AFailedAllocationLeavesTheThumbnailAlone)
{
    REQUIRE_FIXTURES();
    MemoryBlock block = FixtureBlock(kMag16);
    long before = LiveAllocations();
    ThumbnailBlock thumb;
    memset(thumb.pixels, 3, sizeof thumb.pixels);
    ImageInfo info{};
    {
        AllowOnly none(0);
        EXPECT_EQ(-1, LoadOwnImageThumbnail(block, &thumb, &info));
    }
    EXPECT_EQ(before - 1, LiveAllocations());
    for (uint8_t b : thumb.pixels)
        ASSERT_EQ(3, b);
}

// Every prefix of a file image decodes cleanly or fails; none reads or
// writes outside its buffers (the sanitizers watch), none leaks.
TEST(LoadOwnImageBlock, EveryTruncationIsSafe)
{
    REQUIRE_FIXTURES();
    for (const char* relative : {kMag16, kMag256}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(relative, &bytes));
        long before = LiveAllocations();
        for (size_t n = 0; n <= bytes.size(); ++n) {
            std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);
            OwnedImage im;
            if (LoadOwnImageBlock(BlockFromBytes(prefix), &im.image, n % 2) == 0) {
                ASSERT_NE(nullptr, im.image.pixels);
            }
            ReleaseDecodedImage(&im.image);
            ThumbnailBlock thumb;
            ImageInfo info{};
            LoadOwnImageThumbnail(BlockFromBytes(prefix), &thumb, &info);
            ASSERT_EQ(before, LiveAllocations()) << relative << " at " << n;
        }
    }
}

// The thumbnail of each fixture picture against the slow placement rule on
// its expected decoding. Pixels the fixtures leave undefined are taken from
// the decoder's own output. Formats whose decoder is not in this build yet
// are named in the output and left out; MAG must be among those checked.
TEST(LoadOwnImageThumbnail, MatchesTheSlowReferenceForEveryFixturePicture)
{
    REQUIRE_FIXTURES();
    int checked = 0, magChecked = 0;
    std::string notBuilt;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.compare != "exact" || row.expected.empty())
            continue;
        BgrImage want;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
        OwnedImage own;
        if (LoadOwnImageBlock(FixtureBlock(row.path), &own.image, 0) != 0) {
            notBuilt += " " + row.path;
            continue;
        }
        if (!row.undefinedPixels.empty()) {
            std::vector<uint8_t> packed = PackedRows(own.image);
            ASSERT_EQ(want.pixels.size(), packed.size());
            size_t at = 0;
            while (at < row.undefinedPixels.size()) {
                size_t end = row.undefinedPixels.find(' ', at);
                std::string pair = row.undefinedPixels.substr(at, end == std::string::npos ? end : end - at);
                size_t comma = pair.find(',');
                size_t x = std::stoul(pair.substr(0, comma)), y = std::stoul(pair.substr(comma + 1));
                memcpy(&want.pixels[(y * want.width + x) * 3], &packed[(y * want.width + x) * 3], 3);
                at = end == std::string::npos ? end : end + 1;
            }
        }
        ThumbnailBlock reference, thumb;
        ReferenceThumbnail(want.pixels.data(), want.width, want.height, ptrdiff_t(want.width) * 3,
                           reference.pixels);
        ImageInfo info{};
        ASSERT_EQ(0, LoadOwnImageThumbnail(FixtureBlock(row.path), &thumb, &info)) << row.path;
        EXPECT_EQ(want.width, info.width) << row.path;
        EXPECT_EQ(want.height, info.height) << row.path;
        EXPECT_EQ(0, memcmp(reference.pixels, thumb.pixels, kThumbnailBytes)) << row.path;
        ++checked;
        magChecked += row.path.rfind("mag/", 0) == 0;
    }
    EXPECT_GE(magChecked, 3);
    if (!notBuilt.empty())
        std::cout << "not decoded in this build:" << notBuilt << "\n";
    std::cout << checked << " fixture thumbnails checked\n";
}

}  // namespace
