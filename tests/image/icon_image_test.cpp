// Icon images from outside bytes: the group directory, the layout of one
// image and its composition into an 80 x 80 icon image. Every input is a
// heap block of exactly its size, so the sanitizers see any read past it.
#include "image/icon_image.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/icon_builder.h"

namespace {

// Describes the first place where an icon image differs from the image
// centred in it, or returns "" when it is exactly that image on a
// transparent ground.
std::string CompareWithCentred(const std::vector<uint8_t>& out, const TestIconImage& image)
{
    const uint32_t w = image.width;
    const uint32_t o = (80 - w) / 2;
    for (uint32_t y = 0; y < 80; ++y) {
        for (uint32_t x = 0; x < 80; ++x) {
            const bool inside = x >= o && x < o + w && y >= o && y < o + w;
            std::array<uint8_t, 4> want = {0, 0, 0, 0};
            if (inside)
                want = IconPatternPixel(image, x - o, y - o);
            const bool wantClear = !inside || IconPatternTransparent(x - o, y - o);
            const uint8_t* pixel = &out[y * IconImage80RowBytes + x * 4];
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

bool IsCleared(const std::vector<uint8_t>& out)
{
    for (size_t i = 0; i < IconImage80UsedBytes; ++i)
        if (out[i] != (i < IconImage80MaskOffset ? 0 : 0xFF))
            return false;
    return true;
}

std::vector<uint8_t> With(std::vector<uint8_t> bytes, size_t offset, uint32_t value, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        bytes[offset + i] = uint8_t(value >> 8 * i);
    return bytes;
}

TEST(IconImage, ComposeCentresEveryDepthTurnedTopDownWithItsMask)
{
    const TestIconImage fields = {23, 48, 16, 0, true};
    struct Case {
        TestIconImage image;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {{11, 48, 32}, {}}, {{13, 32, 32}, {}}, {{26, 24, 32}, {}},  // 24: a centre off the byte grid
        {{12, 48, 8}, {}}, {{15, 32, 8, 200}, {}}, {{24, 32, 4}, {}}, {{25, 32, 1}, {}},
        {{21, 48, 24}, {}}, {{22, 48, 16}, {}}, {fields, {}},  // 5-5-5, bit fields 5-6-5
        {fields, With(BuildIconImage(fields), 0, 52, 4)},       // the bit fields inside a longer header
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("icon " + std::to_string(c.image.id));
        const std::vector<uint8_t> source = c.bytes.empty() ? BuildIconImage(c.image) : c.bytes;
        std::vector<uint8_t> out(IconImage80AllocBytes, 0x5A);
        ASSERT_TRUE(ComposeIconImage(source.data(), source.size(), out.data(), out.size()));
        EXPECT_EQ("", CompareWithCentred(out, c.image));
    }
}

TEST(IconImage, ComposeRefusesMalformedImagesWithoutReadingPastThem)
{
    const std::vector<uint8_t> image32 = BuildIconImage({11, 48, 32});
    const std::vector<uint8_t> image8 = BuildIconImage({12, 48, 8});
    const std::vector<uint8_t> fields = BuildIconImage({23, 48, 16, 0, true});
    ASSERT_EQ(40u + 48 * 48 * 4 + 48 * 8, image32.size());
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"one byte short", std::vector<uint8_t>(image32.begin(), image32.end() - 1)},
        {"header only", std::vector<uint8_t>(image32.begin(), image32.begin() + 40)},
        {"shorter than a header", std::vector<uint8_t>(image32.begin(), image32.begin() + 39)},
        {"palette cut short", std::vector<uint8_t>(image8.begin(), image8.begin() + 40 + 1000)},
        {"bit fields cut short", std::vector<uint8_t>(fields.begin(), fields.begin() + 48)},
        {"nothing", {}},
        {"width 88", With(With(image32, 4, 88, 4), 8, 176, 4)},
        {"width 7", With(With(image32, 4, 7, 4), 8, 14, 4)},
        {"width 0", With(With(image32, 4, 0, 4), 8, 0, 4)},
        {"negative width", With(With(image32, 4, uint32_t(-48), 4), 8, uint32_t(-96), 4)},
        {"height not twice the width", With(image32, 8, 48, 4)},
        {"top-down height", With(image32, 8, uint32_t(-96), 4)},
        {"header size 39", With(image32, 0, 39, 4)},
        {"header larger than the image", With(image32, 0, 0x474E5089, 4)},
        {"12 bits", With(image32, 14, 12, 2)},
        {"compressed", With(image8, 16, 1, 4)},
        {"257 colours", With(image8, 32, 257, 4)},
        {"other bit fields", With(fields, 40, 0xF000, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> out(IconImage80AllocBytes, 0x5A);
        EXPECT_FALSE(ComposeIconImage(c.bytes.data(), c.bytes.size(), out.data(), out.size()));
        EXPECT_TRUE(IsCleared(out));
    }
    std::vector<uint8_t> out(IconImage80AllocBytes, 0x5A);
    EXPECT_FALSE(ComposeIconImage(nullptr, 0, out.data(), out.size()));

    // A destination too small is not written at all.
    std::vector<uint8_t> small(IconImage80UsedBytes - 1, 0x5A);
    EXPECT_FALSE(ComposeIconImage(image32.data(), image32.size(), small.data(), small.size()));
    EXPECT_EQ(std::vector<uint8_t>(small.size(), 0x5A), small);
}

TEST(IconImage, GroupEntriesStopAtTheDataAndImagesAreClassedBySizeAndDepth)
{
    // Entries listed, cut to those present; ids read from each.
    const std::vector<uint8_t> group = BuildIconGroup({12, 11, 13}, 200);
    EXPECT_EQ(3u, IconGroupEntryCount(group.data(), group.size()));
    EXPECT_EQ(12, IconGroupEntryId(group.data(), group.size(), 0));
    EXPECT_EQ(13, IconGroupEntryId(group.data(), group.size(), 2));
    EXPECT_EQ(0, IconGroupEntryId(group.data(), group.size(), 3));
    EXPECT_EQ(0, IconGroupEntryId(group.data(), group.size(), size_t(-1)));
    EXPECT_EQ(2u, IconGroupEntryCount(group.data(), group.size() - 1));
    EXPECT_EQ(0, IconGroupEntryId(group.data(), group.size() - 1, 2));
    const std::vector<uint8_t> fewer = BuildIconGroup({12, 11, 13}, 1);
    EXPECT_EQ(1u, IconGroupEntryCount(fewer.data(), fewer.size()));
    EXPECT_EQ(0u, IconGroupEntryCount(group.data(), 5));
    EXPECT_EQ(0u, IconGroupEntryCount(nullptr, 0));

    const struct {
        TestIconImage image;
        int expected;
    } classes[] = {
        {{1, 48, 32}, 0},  {{2, 48, 8}, 1},  {{3, 32, 32}, 2}, {{4, 32, 8, 200}, 3}, {{5, 16, 32}, -1},
        {{6, 48, 24}, -1}, {{7, 32, 4}, -1}, {{8, 64, 32}, -1}, {{9, 48, 16, 0, true}, -1},
    };
    for (const auto& c : classes) {
        SCOPED_TRACE(c.image.id);
        const std::vector<uint8_t> bytes = BuildIconImage(c.image);
        IconLayout layout;
        ASSERT_TRUE(ReadIconLayout(bytes.data(), bytes.size(), &layout));
        EXPECT_EQ(bytes.size(), layout.totalBytes);
        EXPECT_EQ(c.expected, IconImageClass(layout));
    }
}

}  // namespace
