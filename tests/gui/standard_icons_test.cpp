// The standard icons: picking an image from an icon group, composing it
// into an 80 x 80 icon image, and making and releasing the three icons.
// The icon images come from a test library whose resources
// icon_test_dll/make_test_icons.py writes with known patterns.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/standard_icons.h"
#include "support/windows_harness.h"

namespace {

// The generator's patterns, x and y counted from the top-left pixel.
bool Transparent(uint32_t x, uint32_t y)
{
    return (x + 2 * y) % 5 == 0;
}

// An image of the test library and what its pattern is made of.
struct TestImage {
    WORD id;  // also the tag in its pattern
    uint32_t width;
    uint32_t bits;
    uint32_t colours;    // palette entries
    uint32_t greenBits;  // 16 bits
};

BYTE Widen5(uint32_t v)
{
    return BYTE(v << 3 | v >> 2);
}

// The 4 bytes that pixel (x, y) of an image becomes.
std::vector<BYTE> ExpectedPixel(const TestImage& image, uint32_t x, uint32_t y)
{
    const BYTE tag = BYTE(image.id);
    switch (image.bits) {
    case 32:
        return {BYTE(x), BYTE(y), tag, BYTE(255 - x)};
    case 24:
        return {BYTE(x), BYTE(y), tag, 0};
    case 16: {
        const BYTE green = image.greenBits == 6 ? BYTE((y & 63) << 2 | (y & 63) >> 4) : Widen5(y & 31);
        return {Widen5(x & 31), green, Widen5(tag & 31), 0};
    }
    default: {
        const uint32_t k = (x + 3 * y) % image.colours;
        return {BYTE(k), tag, BYTE(255 - k), 0};
    }
    }
}

// Bytes placed at the very end of a readable page, so that reading one
// byte past them faults.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<BYTE>& bytes)
    {
        const size_t page = 4096;
        const size_t pages = (bytes.size() + page - 1) / page + 1;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * page - bytes.size();
        if (!bytes.empty())
            std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    const BYTE* data() const { return data_; }

private:
    BYTE* base_;
    BYTE* data_;
};

// Describes the first place where an icon image differs from the image
// centred in it, or returns "" when it is exactly that image on a
// transparent ground.
std::string CompareWithCentred(const std::vector<BYTE>& out, const TestImage& image)
{
    const uint32_t w = image.width;
    const uint32_t o = (80 - w) / 2;
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            const bool inside = x >= o && x < o + w && y >= o && y < o + w;
            const std::vector<BYTE> want =
                inside ? ExpectedPixel(image, x - o, y - o) : std::vector<BYTE>{0, 0, 0, 0};
            const bool wantClear = !inside || Transparent(x - o, y - o);
            const BYTE* pixel = &out[y * IconImage80RowBytes + x * 4];
            const bool clear = out[IconImage80MaskOffset + y * 10 + x / 8] & (0x80 >> x % 8);
            if (std::memcmp(pixel, want.data(), 4) != 0 || clear != wantClear)
                return "first difference at " + std::to_string(x) + "," + std::to_string(y);
        }
    }
    for (size_t i = IconImage80MaskOffset + 800; i < IconImage80UsedBytes; ++i)
        if (out[i] != 0xFF)
            return "mask byte " + std::to_string(i - IconImage80MaskOffset) + " is not 0xFF";
    return "";
}

bool IsCleared(const std::vector<BYTE>& out)
{
    for (size_t i = 0; i < IconImage80UsedBytes; ++i)
        if (out[i] != (i < IconImage80MaskOffset ? 0 : 0xFF))
            return false;
    return true;
}

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

TEST_F(StandardIcons, ComposeCentresEveryDepthTurnedTopDownWithItsMask)
{
    const TestImage images[] = {
        {11, 48, 32, 0, 0}, {13, 32, 32, 0, 0}, {26, 24, 32, 0, 0},  // 24: a centre off the byte grid
        {12, 48, 8, 256, 0}, {15, 32, 8, 200, 0}, {24, 32, 4, 16, 0}, {25, 32, 1, 2, 0},
        {21, 48, 24, 0, 0},  {22, 48, 16, 0, 5}, {23, 48, 16, 0, 6},  // 5-5-5, bit fields 5-6-5
    };
    for (const TestImage& image : images) {
        SCOPED_TRACE("icon " + std::to_string(image.id));
        const std::vector<BYTE> resource = IconResource(image.id);
        ASSERT_FALSE(resource.empty());
        GuardedBytes source(resource);
        std::vector<BYTE> out(IconImage80AllocBytes, 0x5A);
        ASSERT_TRUE(ComposeIconImage(source.data(), resource.size(), out.data()));
        EXPECT_EQ("", CompareWithCentred(out, image));
    }
}

TEST_F(StandardIcons, ComposeRefusesMalformedImagesWithoutReadingPastThem)
{
    const std::vector<BYTE> image32 = IconResource(11);  // 48 x 48, 32 bits
    const std::vector<BYTE> image8 = IconResource(12);   // 48 x 48, 8 bits
    const std::vector<BYTE> fields = IconResource(23);   // 16 bits, bit fields 5-6-5
    ASSERT_EQ(40u + 48 * 48 * 4 + 48 * 8, image32.size());

    auto with = [](std::vector<BYTE> bytes, size_t offset, uint32_t value, size_t width) {
        std::memcpy(&bytes[offset], &value, width);
        return bytes;
    };
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {"one byte short", std::vector<BYTE>(image32.begin(), image32.end() - 1)},
        {"header only", std::vector<BYTE>(image32.begin(), image32.begin() + 40)},
        {"shorter than a header", std::vector<BYTE>(image32.begin(), image32.begin() + 39)},
        {"palette cut short", std::vector<BYTE>(image8.begin(), image8.begin() + 40 + 1000)},
        {"nothing", {}},
        {"width 88", with(with(image32, 4, 88, 4), 8, 176, 4)},
        {"width 7", with(with(image32, 4, 7, 4), 8, 14, 4)},
        {"width 0", with(with(image32, 4, 0, 4), 8, 0, 4)},
        {"negative width", with(with(image32, 4, uint32_t(-48), 4), 8, uint32_t(-96), 4)},
        {"height not twice the width", with(image32, 8, 48, 4)},
        {"top-down height", with(image32, 8, uint32_t(-96), 4)},
        {"header size 39", with(image32, 0, 39, 4)},
        {"header larger than the image", with(image32, 0, 0x474E5089, 4)},
        {"12 bits", with(image32, 14, 12, 2)},
        {"compressed", with(image8, 16, BI_RLE8, 4)},
        {"257 colours", with(image8, 32, 257, 4)},
        {"other bit fields", with(fields, 40, 0xF000, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GuardedBytes source(c.bytes);
        std::vector<BYTE> out(IconImage80AllocBytes, 0x5A);
        EXPECT_FALSE(ComposeIconImage(source.data(), c.bytes.size(), out.data()));
        EXPECT_TRUE(IsCleared(out));
    }
    std::vector<BYTE> out(IconImage80AllocBytes, 0x5A);
    EXPECT_FALSE(ComposeIconImage(nullptr, 0, out.data()));
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
    const TestImage file = {14, 48, 32, 0, 0};
    const TestImage folder = {15, 32, 8, 200, 0};
    const TestImage archive = {13, 32, 32, 0, 0};
    const struct {
        StandardIconKind kind;
        TestImage image;
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
        const std::vector<BYTE> want = ExpectedPixel(e.image, e.x, e.y);
        EXPECT_EQ(uint32_t(want[2]) << 16 | want[1] << 8 | want[0], facts.colourAt);
    }

    // The shared record's zero-filled buffers and their top-down headers.
    const SharedThumbnail& shared = SharedThumbnailRecord();
    ASSERT_NE(nullptr, shared.colour);
    ASSERT_NE(nullptr, shared.mask);
    const std::vector<BYTE> zeros(SharedThumbnailColourBytes, 0);
    EXPECT_EQ(0, std::memcmp(shared.colour->pixels, zeros.data(), SharedThumbnailColourBytes));
    EXPECT_EQ(0, std::memcmp(shared.mask, zeros.data(), SharedThumbnailMaskBytes));
    const BITMAPINFOHEADER colourHeader = {40, 80, -80, 1, 24, BI_RGB, 19200, 0, 0, 0, 0};
    const BITMAPINFOHEADER maskHeader = {40, 80, -80, 1, 16, BI_RGB, 12800, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(&colourHeader, &shared.colourHeader, sizeof colourHeader));
    EXPECT_EQ(0, std::memcmp(&maskHeader, &shared.maskHeader, sizeof maskHeader));

    ReleaseStandardIcons();
    for (HICON icon : icons)
        EXPECT_FALSE(ReadIcon(icon).valid);
    EXPECT_EQ(nullptr, shared.colour);
    EXPECT_EQ(nullptr, shared.mask);
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
