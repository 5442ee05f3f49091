// Opening paths into viewer windows, the fill colour behind transparent
// pixels, the window's first size and bars, pictures dropped on a viewer,
// and a soak of many windows that must give back everything they took.
#include <gtest/gtest.h>

#include "ui/browser_state.h"
#include "gui/viewer_test_support.h"
#include "platform/memory_block.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "support/zip_builder.h"
#include "viewer/open_path.h"
#include "viewer/placement.h"
#include "viewer/viewer_window.h"

namespace {

uint32_t Pattern(uint32_t x, uint32_t y)
{
    return (x * 13 & 0xFF) << 16 | (y * 31 & 0xFF) << 8 | ((x * y) & 0xFF);
}

BOOL CALLBACK CountViewers(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && WindowClassName(window) == L"RezaDiz")
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int OpenViewers()
{
    int count = 0;
    EnumWindows(CountViewers, reinterpret_cast<LPARAM>(&count));
    return count;
}

HWND ViewerTitled(const std::wstring& title)
{
    return FindWindowW(L"RezaDiz", title.c_str());
}

class ViewerOpen : public ViewerWindowTest {
protected:
    TempDir dir;
};

TEST_F(ViewerOpen, FilesThatCannotBeClassifiedReturnMinusOne)
{
    EXPECT_EQ(-1, OpenPath(dir.Path(L"missing.tga").c_str()));
    EXPECT_EQ(-1, OpenPath(dir.Write(L"short.mag", std::vector<uint8_t>(16, 'M')).c_str()));
    EXPECT_EQ(-1, OpenPath(dir.Write(L"notes.txt", std::vector<uint8_t>(100, 'a')).c_str()));
    EXPECT_EQ(0, OpenViewers());
}

TEST_F(ViewerOpen, APictureOpensTitledWithItsPathAtItsSizeAndABrokenOneOpensNothing)
{
    const std::wstring path = dir.Write(L"picture.tga", TgaFile(150, 90, Pattern));
    EXPECT_EQ(0, OpenPath(path.c_str()));
    HWND window = ViewerTitled(path);
    ASSERT_NE(nullptr, window);
    const ViewerImage* image = ViewerOf(window);
    EXPECT_EQ(150u, image->picture.width);
    EXPECT_EQ(90u, image->picture.height);
    EXPECT_EQ(Pattern(77, 45), PixelAt(image->picture, 77, 45));
    EXPECT_EQ(0, image->fitMode);

    // The picture fits the screen: the client area is the picture's size and
    // there are no bars.
    EXPECT_EQ(150, ClientSize(window).cx);
    EXPECT_EQ(90, ClientSize(window).cy);
    EXPECT_EQ(0, GetWindowLongPtrW(window, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL));
    EXPECT_EQ(static_cast<LONG_PTR>(WS_VISIBLE | WS_OVERLAPPEDWINDOW),
              GetWindowLongPtrW(window, GWL_STYLE) & (WS_VISIBLE | WS_OVERLAPPEDWINDOW));

    // A TGA of 65535 x 65535 pixels is classified but too large to load:
    // no window, and still 0.
    std::vector<uint8_t> bad = TgaFile(20, 20, Pattern);
    bad[12] = bad[13] = bad[14] = bad[15] = 0xFF;
    const long live = LiveAllocations();
    EXPECT_EQ(0, OpenPath(dir.Write(L"bad.tga", bad).c_str()));
    EXPECT_EQ(1, OpenViewers());
    EXPECT_EQ(live, LiveAllocations());
}

TEST_F(ViewerOpen, AnArchiveOfAnyNameOpensAnArchiveWindowThatHoldsItsFile)
{
    std::vector<ZipMember> members(1);
    members[0].name = "a.tga";
    members[0].data = TgaFile(10, 10, Pattern);
    const std::wstring path = dir.Write(L"pictures.dat", BuildZip(members));
    EXPECT_EQ(0, OpenPath(path.c_str()));
    EXPECT_EQ(0, OpenViewers());
    HWND archive = FindWindowW(L"ZuzeDod", path.c_str());
    ASSERT_NE(nullptr, archive);
    EXPECT_FALSE(DeleteFileW(path.c_str()));

    // Destroyed, the window closes the file; an archive whose directory
    // cannot be read opens nothing and leaves its file closed too.
    DestroyWindow(archive);
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    std::vector<uint8_t> cut = BuildZip(members);
    cut.resize(cut.size() - 10);
    const std::wstring damaged = dir.Write(L"damaged.zip", cut);
    EXPECT_EQ(0, OpenPath(damaged.c_str()));
    EXPECT_EQ(nullptr, FindWindowW(L"ZuzeDod", nullptr));
    EXPECT_TRUE(DeleteFileW(damaged.c_str()));
}

TEST_F(ViewerOpen, FillOptionShowsTheFillColourThroughTransparentPixels)
{
    // Left half opaque, right half transparent, one column half covered.
    auto alpha = [](uint32_t x, uint32_t) -> uint8_t { return x < 10 ? 255 : (x == 10 ? 128 : 0); };
    const std::wstring path = dir.Write(L"alpha.tga", TgaFile(120, 8, Pattern, alpha));
    SetBrowserColourValue(0x00204080);  // red 0x80, green 0x40, blue 0x20

    Browser.flags |= FillBackground;
    ASSERT_EQ(0, OpenPath(path.c_str()));
    HWND filled = ViewerTitled(path);
    ASSERT_NE(nullptr, filled);
    const DecodedImage& picture = ViewerOf(filled)->picture;
    EXPECT_EQ(Pattern(3, 2), PixelAt(picture, 3, 2));
    EXPECT_EQ(0x804020u, PixelAt(picture, 50, 5));
    const uint32_t c = Pattern(10, 1);
    const uint32_t mixed = ((c >> 16 & 0xFF) * 128 + 0x80 * 127) / 255 << 16 |
                           ((c >> 8 & 0xFF) * 128 + 0x40 * 127) / 255 << 8 | ((c & 0xFF) * 128 + 0x20 * 127) / 255;
    EXPECT_EQ(mixed, PixelAt(picture, 10, 1));
    DestroyWindow(filled);

    // Without the option the loader's 24-bit form is shown as it is.
    Browser.flags &= ~FillBackground;
    ASSERT_EQ(0, OpenPath(path.c_str()));
    HWND plain = ViewerTitled(path);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(Pattern(50, 5), PixelAt(ViewerOf(plain)->picture, 50, 5));
}

TEST_F(ViewerOpen, ALargePictureAtActualSizeOpensWithTheBarsOfItsPlacement)
{
    HWND window = Open(MakeViewerImage(2000, 300, Pattern), 0);
    ViewerPlacement placement = {};
    ASSERT_EQ(PlacementClipWidth, ComputeViewerPlacement(ViewerOf(window), &placement));
    RECT outer = {};
    GetWindowRect(window, &outer);
    EXPECT_EQ(placement.x, outer.left);
    EXPECT_EQ(placement.y, outer.top);
    EXPECT_EQ(placement.width, outer.right - outer.left);
    EXPECT_EQ(placement.height, outer.bottom - outer.top);

    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_HSCROLL);
    EXPECT_FALSE(style & WS_VSCROLL);
    SCROLLINFO info = BarInfo(window, SB_HORZ);
    EXPECT_EQ(1999, info.nMax);
    EXPECT_EQ(UINT(ClientSize(window).cx), info.nPage);
    EXPECT_EQ(0, info.nPos);
    // The room for the bar was added: the whole height is visible.
    EXPECT_EQ(300, ClientSize(window).cy);

    // In fit mode the same picture opens without bars.
    HWND fitted = Open(MakeViewerImage(2000, 300, Pattern), 1);
    EXPECT_EQ(0, GetWindowLongPtrW(fitted, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL));
}

using ViewerDrop = ViewerWindowTest;

// Drops the files on the window as the shell does.
void Drop(HWND window, const std::vector<std::wstring>& paths)
{
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDropFiles(paths)), 0);
    PumpMessages();
}

TEST_F(ViewerDrop, AnOpaquePictureReplacesTheOverlapAndALargerOneOnlyTheShownArea)
{
    TempDir dir;
    HWND window = Open(MakeViewerImage(120, 40, Pattern), 0, L"shown");
    SetClientSize(window, 120, 40);
    const DecodedImage& picture = ViewerOf(window)->picture;

    const std::wstring small = dir.Write(L"small.tga", TgaFile(30, 20, [](uint32_t, uint32_t) { return 0x123456u; }));
    const std::wstring other = dir.Write(L"other.tga", TgaFile(10, 10, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
    Drop(window, {small, other});  // only the first counts
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 120; ++x)
            ASSERT_EQ(x < 30 && y < 20 ? 0x123456u : Pattern(x, y), PixelAt(picture, x, y)) << x << "," << y;
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    EXPECT_EQ(0x123456u, shown[0]);
    EXPECT_EQ(Pattern(100, 30), shown[30 * size.cx + 100]);

    auto big = [](uint32_t x, uint32_t y) { return (x & 0xFF) << 8 | (y & 0xFF); };
    Drop(window, {dir.Write(L"big.tga", TgaFile(300, 300, big))});
    EXPECT_EQ(120u, picture.width);
    EXPECT_EQ(40u, picture.height);
    EXPECT_EQ(big(119, 39), PixelAt(picture, 119, 39));
    EXPECT_EQ(std::wstring(L"shown"), WindowTitle(window));
}

TEST_F(ViewerDrop, ArchivesAndFilesThatAreNoPicturesChangeNothing)
{
    TempDir dir;
    HWND window = Open(MakeViewerImage(120, 40, Pattern), 0);
    std::vector<ZipMember> members(1);
    members[0].name = "a.tga";
    members[0].data = TgaFile(10, 10, [](uint32_t, uint32_t) { return 0u; });
    const long live = LiveAllocations();
    Drop(window, {dir.Write(L"a.zip", BuildZip(members))});
    Drop(window, {dir.Write(L"a.txt", std::vector<uint8_t>(64, 'x'))});
    Drop(window, {dir.Path(L"missing.tga")});
    // Cut to 259 units this would name a picture that exists.
    const std::wstring stem = dir.Path(L"") + L"\\";
    const std::wstring cut = stem + std::wstring(255 - stem.size(), L'p') + L".tga";
    ASSERT_EQ(259u, cut.size());
    dir.Write(cut.substr(stem.size()), TgaFile(10, 10, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
    Drop(window, {cut + L"xx"});
    Drop(window, {});
    EXPECT_EQ(live, LiveAllocations());
    const DecodedImage& picture = ViewerOf(window)->picture;
    for (uint32_t y = 0; y < 40; y += 3)
        for (uint32_t x = 0; x < 120; x += 3)
            ASSERT_EQ(Pattern(x, y), PixelAt(picture, x, y));
}

using ViewerSoak = ViewerWindowTest;

TEST_F(ViewerSoak, TwoHundredWindowsGiveBackEveryObjectTheyTook)
{
    PumpMessages();
    const long live = LiveAllocations();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int round = 0; round < 20; ++round) {
        std::vector<HWND> windows;
        std::vector<HGDIOBJ> objects;
        for (int i = 0; i < 10; ++i) {
            const uint32_t w = 20 + 97 * uint32_t(round * 10 + i) % 1900;
            const uint32_t h = 10 + 61 * uint32_t(round * 10 + i) % 1300;
            HWND window = Open(MakeViewerImage(w, h, Pattern), uint8_t(i & 1));
            ASSERT_NE(nullptr, window);
            objects.push_back(ViewerOf(window)->bitmap);
            objects.push_back(ViewerOf(window)->memoryDc);
            windows.push_back(window);
        }
        for (HWND window : windows)
            SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
        PumpMessages();
        // The bitmaps and memory DCs are gone before new ones can take
        // their handle values.
        for (HGDIOBJ object : objects)
            ASSERT_EQ(0u, GetObjectType(object)) << round;
    }
    EXPECT_EQ(0, OpenViewers());
    EXPECT_EQ(live, LiveAllocations());
    // Wine does not count (GetGuiResources returns 0 with error 120), so
    // there the check above of every bitmap and memory DC is what holds;
    // on Windows the process's counts must also be back where they were.
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(user, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
}

}  // namespace
