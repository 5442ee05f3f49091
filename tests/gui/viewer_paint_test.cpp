// What a viewer window shows, read back from the screen: the picture fitted
// with bands in the window colour, centred at actual size, or drawn from its
// scroll offsets; and the zoom in the title.
#include <gtest/gtest.h>

#include "gui/viewer_test_support.h"
#include "support/windows_harness.h"
#include "viewer/viewer_window.h"

namespace {

// Quadrants of four colours, so that scaling keeps their inner parts.
uint32_t Quadrants(uint32_t x, uint32_t y, uint32_t w, uint32_t h)
{
    static const uint32_t colours[4] = {0xC00000, 0x00A000, 0x0000E0, 0xE0E000};
    return colours[(x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0)];
}

// Every pixel of a picture its own colour (x and y within 4096).
uint32_t Gradient(uint32_t x, uint32_t y)
{
    return (x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x >> 8) & 0x0F) << 4 | ((y >> 8) & 0x0F);
}

using ViewerPaint = ViewerWindowTest;

TEST_F(ViewerPaint, FittedPictureFillsTheWidthBetweenBandsAndTheTitleShowsTheZoom)
{
    HWND window = Open(MakeViewerImage(100, 50, [](uint32_t x, uint32_t y) { return Quadrants(x, y, 100, 50); }), 1);
    SetClientSize(window, 400, 400);
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    ASSERT_EQ(400, size.cx);
    ASSERT_EQ(400, size.cy);
    auto at = [&](int x, int y) { return shown[size_t(y) * size.cx + x]; };

    // Bands above (rows 0-99) and below (300-399) in the window colour.
    for (int y : {0, 50, 99, 300, 350, 399})
        for (int x : {0, 200, 399})
            EXPECT_EQ(WindowColour(), at(x, y)) << x << "," << y;

    // The picture at (0, 100), 400 x 200: each quadrant 200 x 100.
    EXPECT_EQ(0xC00000u, at(2, 102));
    EXPECT_EQ(0xC00000u, at(100, 150));
    EXPECT_EQ(0x00A000u, at(300, 150));
    EXPECT_EQ(0x00A000u, at(397, 102));
    EXPECT_EQ(0x0000E0u, at(100, 250));
    EXPECT_EQ(0xE0E000u, at(300, 250));
    EXPECT_EQ(0xE0E000u, at(397, 297));

    EXPECT_EQ(std::wstring(L"C:\\pics\\a.mag | 400%"), WindowTitle(window));
    EXPECT_TRUE(SaveWindowPng(window, ArtifactPath(L"viewer_fitted.png")));

    // A wide client area is filled in height: 100 x 50 in 300 x 100 is
    // drawn 200 x 100 at (50, 0).
    SetClientSize(window, 300, 100);
    shown = Capture(window, &size);
    ASSERT_EQ(300, size.cx);
    EXPECT_EQ(WindowColour(), at(0, 50));
    EXPECT_EQ(WindowColour(), at(49, 50));
    EXPECT_EQ(0xC00000u, at(52, 2));
    EXPECT_EQ(0xE0E000u, at(247, 97));
    EXPECT_EQ(WindowColour(), at(250, 50));
    EXPECT_EQ(std::wstring(L"C:\\pics\\a.mag | 200%"), WindowTitle(window));
}

TEST_F(ViewerPaint, FittedPictureOfTheClientSizeIsCopiedUnscaled)
{
    HWND window = Open(MakeViewerImage(120, 80, Gradient), 1);
    SetClientSize(window, 120, 80);
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    ASSERT_EQ(120, size.cx);
    for (int y = 0; y < 80; y += 7)
        for (int x = 0; x < 120; x += 5)
            ASSERT_EQ(Gradient(x, y), shown[size_t(y) * size.cx + x]) << x << "," << y;
    EXPECT_EQ(std::wstring(L"C:\\pics\\a.mag | 100%"), WindowTitle(window));
}

TEST_F(ViewerPaint, SmallPictureIsCentredAtActualSize)
{
    HWND window = Open(MakeViewerImage(60, 40, Gradient), 0);
    SetClientSize(window, 201, 120);
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    ASSERT_EQ(201, size.cx);
    ASSERT_EQ(120, size.cy);
    // At ((201 - 60) / 2, (120 - 40) / 2) = (70, 40).
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 201; ++x) {
            const bool inside = x >= 70 && x < 130 && y >= 40 && y < 80;
            const uint32_t want = inside ? Gradient(x - 70, y - 40) : WindowColour();
            ASSERT_EQ(want, shown[size_t(y) * size.cx + x]) << x << "," << y;
        }
    EXPECT_EQ(std::wstring(L"C:\\pics\\a.mag"), WindowTitle(window));
}

TEST_F(ViewerPaint, LargePictureIsDrawnFromTheScrollOffsets)
{
    HWND window = Open(MakeViewerImage(1000, 700, Gradient), 0);
    SetClientSize(window, 300, 200);
    ViewerImage* image = ViewerOf(window);
    ASSERT_NE(nullptr, image);
    image->scrollX = 333;
    image->scrollY = 250;
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    ASSERT_GT(size.cx, 200);
    for (int y = 0; y < size.cy; y += 3)
        for (int x = 0; x < size.cx; x += 3)
            ASSERT_EQ(Gradient(x + 333, y + 250), shown[size_t(y) * size.cx + x]) << x << "," << y;
    EXPECT_TRUE(SaveWindowPng(window, ArtifactPath(L"viewer_actual_size.png")));
}

}  // namespace
