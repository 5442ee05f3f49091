// The standard icons: picking an image from an icon group of a library,
// and making and releasing the three icons. The icon images come from a
// test library whose resources icon_test_dll/make_test_icons.py writes with
// the patterns of support/icon_builder.h; their composition is tested in
// image/icon_image_test.cpp.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/standard_icons.h"
#include "ui/list_thumbnails.h"
#include "support/icon_builder.h"
#include "support/windows_harness.h"

namespace {

class StandardIcons : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = WindowsPath(ZIZE_ICON_TEST_DLL);
        module_.reset(LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module_) << "cannot load " << ZIZE_ICON_TEST_DLL;
    }
    void TearDown() override { ReleaseStandardIcons(); }

    // The bytes of an RT_ICON resource of the test library.
    std::vector<BYTE> IconResource(WORD id) const
    {
        HRSRC found = FindResourceW(module_.get(), MAKEINTRESOURCEW(id), RT_ICON);
        const BYTE* data = found ? static_cast<const BYTE*>(LockResource(LoadResource(module_.get(), found))) : nullptr;
        return data ? std::vector<BYTE>(data, data + SizeofResource(module_.get(), found)) : std::vector<BYTE>();
    }

    std::wstring path_;
    ModuleOwner module_;
};

TEST_F(StandardIcons, PickingTakesTheBestClassAndItsLastImageAndCopiesOnlyTheImage)
{
    struct Case {
        WORD group;
        WORD picked;  // 0: nothing
        size_t trailing;
    };
    const Case cases[] = {
        {1, 14, 16},  // 48/8, 48/32, 32/32, 48/32 (with 16 bytes after the image): the last 48/32
        {2, 12, 0},   // 32/32, 48/8: 48/8
        {4, 15, 0},   // only 32/8, 200 palette entries
        {9, 13, 0},   // count 200 with three entries (a missing id, 32/8, 32/32): 32/32
        {101, 13, 0},
        {7, 0, 0},   // 16x16, 24 bits, PNG, a 48/32 cut short
        {10, 0, 0},  // a directory of 4 bytes
        {3, 0, 0},   // no such group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("group " + std::to_string(c.group));
        PickedIconImage picked = PickIconGroupImage(module_.get(), c.group);
        if (!c.picked) {
            EXPECT_FALSE(picked.block);
            continue;
        }
        ASSERT_TRUE(picked.block);
        const std::vector<BYTE> resource = IconResource(c.picked);
        ASSERT_EQ(resource.size() - c.trailing, picked.size);
        EXPECT_EQ(0, std::memcmp(resource.data(), picked.data(), picked.size));
    }
}

// What GetIconInfo tells of an icon: its colour bitmap's size and depth,
// and the colour at one point (0xRRGGBB); all 0 when it fails.
struct IconFacts {
    bool valid = false;
    LONG width = 0;
    LONG height = 0;
    WORD bits = 0;
    uint32_t colourAt = 0;
};

IconFacts ReadIcon(HICON icon, int x = 0, int y = 0)
{
    IconFacts facts;
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return facts;
    GdiObjectOwner colour(info.hbmColor);
    GdiObjectOwner mask(info.hbmMask);
    BITMAP bitmap = {};
    if (!colour || !GetObjectW(colour.get(), sizeof bitmap, &bitmap))
        return facts;
    facts.valid = true;
    facts.width = bitmap.bmWidth;
    facts.height = bitmap.bmHeight;
    facts.bits = bitmap.bmBitsPixel;
    std::vector<uint32_t> pixels(size_t(bitmap.bmWidth) * bitmap.bmHeight);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = bitmap.bmWidth;
    bmi.bmiHeader.biHeight = -bitmap.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    WindowDc screen(nullptr);
    if (x < bitmap.bmWidth && y < bitmap.bmHeight &&
        GetDIBits(screen.get(), static_cast<HBITMAP>(colour.get()), 0, bitmap.bmHeight, pixels.data(), &bmi,
                  DIB_RGB_COLORS))
        facts.colourAt = pixels[size_t(y) * bitmap.bmWidth + x] & 0xFFFFFF;
    return facts;
}

TEST_F(StandardIcons, PreparedIconsAre80PixelsFromTheGroupsAndReleaseDestroysThem)
{
    const wchar_t* dll = path_.c_str();
    const StandardIconSources sources = {{{dll, 1, nullptr, 0}, {dll, 4, nullptr, 0}, {dll, 101, nullptr, 0}}};
    ASSERT_TRUE(PrepareStandardIcons(GetModuleHandleW(nullptr), sources));

    // File: icon 14 (48/32) with a 16-pixel border; folder: icon 15 (32/8)
    // with a 24-pixel border; archive: icon 13 (32/32).
    const TestIconImage file = {14, 48, 32};
    const TestIconImage folder = {15, 32, 8, 200};
    const TestIconImage archive = {13, 32, 32};
    const struct {
        StandardIconKind kind;
        TestIconImage image;
        uint32_t x, y;  // within the image
    } expected[] = {
        {StandardIconFile, file, 5, 7}, {StandardIconFolder, folder, 9, 2}, {StandardIconArchive, archive, 3, 4}};
    HICON icons[StandardIconCount] = {};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.kind);
        icons[e.kind] = StandardIcon(e.kind);
        const uint32_t o = (80 - e.image.width) / 2;
        const IconFacts facts = ReadIcon(icons[e.kind], int(o + e.x), int(o + e.y));
        ASSERT_TRUE(facts.valid);
        EXPECT_EQ(80, facts.width);
        EXPECT_EQ(80, facts.height);
        EXPECT_EQ(32, facts.bits);
        const std::array<uint8_t, 4> want = IconPatternPixel(e.image, e.x, e.y);
        EXPECT_EQ(uint32_t(want[2]) << 16 | want[1] << 8 | want[0], facts.colourAt);
    }

    // The shared record's zero-filled colour buffer, and the list road's
    // top-down headers.
    const SharedThumbnail& shared = SharedThumbnailRecord();
    ASSERT_NE(nullptr, shared.colour);
    const std::vector<BYTE> zeros(SharedThumbnailColourBytes, 0);
    EXPECT_EQ(0, std::memcmp(shared.colour->pixels, zeros.data(), SharedThumbnailColourBytes));
    const BITMAPINFOHEADER colourHeader = {40, 80, -80, 1, 24, BI_RGB, 19200, 0, 0, 0, 0};
    const BITMAPINFOHEADER maskHeader = {40, 80, -80, 1, 16, BI_RGB, 12800, 0, 0, 0, 0};
    const BITMAPINFOHEADER roadColour = ThumbnailColourHeader();
    const BITMAPINFOHEADER roadMask = ThumbnailMaskHeader();
    EXPECT_EQ(0, std::memcmp(&colourHeader, &roadColour, sizeof colourHeader));
    EXPECT_EQ(0, std::memcmp(&maskHeader, &roadMask, sizeof maskHeader));

    ReleaseStandardIcons();
    for (HICON icon : icons)
        EXPECT_FALSE(ReadIcon(icon).valid);
    EXPECT_EQ(nullptr, shared.colour);
    EXPECT_EQ(nullptr, StandardIcon(StandardIconFile));
}

TEST_F(StandardIcons, MissingLibrariesFallBackToExtractedIconsAndTheArchiveToTheFileIcon)
{
    // Wine's shell32 has icons at positions 0 and 3 but no zipfldr.dll.
    const wchar_t* missing = L"zize_no_such_library.dll";
    const StandardIconSources sources = {
        {{missing, 1, L"shell32.dll", 0}, {missing, 4, L"shell32.dll", 3}, {missing, 101, missing, 0}}};
    ASSERT_TRUE(PrepareStandardIcons(GetModuleHandleW(nullptr), sources));
    const IconFacts file = ReadIcon(StandardIcon(StandardIconFile));
    const IconFacts folder = ReadIcon(StandardIcon(StandardIconFolder));
    const IconFacts archive = ReadIcon(StandardIcon(StandardIconArchive));
    ASSERT_TRUE(file.valid);
    ASSERT_TRUE(folder.valid);
    ASSERT_TRUE(archive.valid);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), file.width);  // extracted, not composed
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), folder.width);
    EXPECT_NE(StandardIcon(StandardIconFile), StandardIcon(StandardIconArchive));
    EXPECT_EQ(file.width, archive.width);

    // The real sources: shell32's groups give composed icons, under Wine
    // too; there the archive icon is the file icon's copy.
    ASSERT_TRUE(PrepareStandardIcons(GetModuleHandleW(nullptr)));
    for (int kind = 0; kind < StandardIconCount; ++kind)
        EXPECT_EQ(80, ReadIcon(StandardIcon(StandardIconKind(kind))).width) << kind;
}

}  // namespace
