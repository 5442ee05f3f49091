// A viewer window's keys, commands and context menu: flips, resizing in fit
// mode, the mode switch, closing, and the focus moves among viewers.
#include <gtest/gtest.h>

#include "ui/browser_state.h"
#include "gui/viewer_test_support.h"
#include "platform/memory_block.h"
#include "support/windows_harness.h"
#include "viewer/placement.h"
#include "viewer/viewer_window.h"

namespace {

uint32_t Pattern(uint32_t x, uint32_t y)
{
    return (x * 37 & 0xFF) << 16 | (y * 53 & 0xFF) << 8 | ((x + y) * 11 & 0xFF);
}

void Key(HWND window, UINT key)
{
    SendMessageW(window, WM_KEYDOWN, key, 0);
    PumpMessages();
}

using ViewerCommands = ViewerWindowTest;

TEST_F(ViewerCommands, ArrowKeysFlipThePixelsAndTheScreen)
{
    HWND window = Open(MakeViewerImage(120, 30, Pattern), 0);
    SetClientSize(window, 120, 30);
    const ViewerImage* image = ViewerOf(window);

    // Left and Right mirror, Up and Down turn upside down; each twice is the
    // picture again.
    Key(window, VK_LEFT);
    EXPECT_EQ(Pattern(119, 0), PixelAt(image->picture, 0, 0));
    EXPECT_EQ(Pattern(0, 29), PixelAt(image->picture, 119, 29));
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    ASSERT_EQ(120, size.cx);
    EXPECT_EQ(Pattern(119, 0), shown[0]);
    EXPECT_EQ(Pattern(110, 12), shown[12 * 120 + 9]);

    Key(window, VK_RIGHT);
    Key(window, VK_UP);
    EXPECT_EQ(Pattern(0, 29), PixelAt(image->picture, 0, 0));
    EXPECT_EQ(Pattern(17, 14), PixelAt(image->picture, 17, 15));
    shown = Capture(window, &size);
    EXPECT_EQ(Pattern(5, 29 - 7), shown[7 * 120 + 5]);

    Key(window, VK_DOWN);
    shown = Capture(window, &size);
    for (uint32_t y = 0; y < 30; ++y)
        for (uint32_t x = 0; x < 120; ++x)
            ASSERT_EQ(Pattern(x, y), shown[y * 120 + x]) << x << "," << y;
}

TEST_F(ViewerCommands, WAndROnlyResizeInFitMode)
{
    HWND window = Open(MakeViewerImage(200, 100, Pattern), 0);
    SetClientSize(window, 400, 400);
    Key(window, 'W');
    Key(window, 'R');
    EXPECT_EQ(400, ClientSize(window).cx);
    EXPECT_EQ(400, ClientSize(window).cy);

    // Fit mode: W gives the client area the picture's proportions ...
    Key(window, VK_RETURN);
    ASSERT_EQ(1, ViewerOf(window)->fitMode);
    RECT before = {};
    GetWindowRect(window, &before);
    Key(window, 'W');
    EXPECT_EQ(400, ClientSize(window).cx);
    EXPECT_EQ(200, ClientSize(window).cy);
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);

    // ... a wide one keeps the height: 200 x 100 in 500 x 120 becomes 240 x 120.
    SetClientSize(window, 500, 120);
    Key(window, 'W');
    EXPECT_EQ(240, ClientSize(window).cx);
    EXPECT_EQ(120, ClientSize(window).cy);

    // ... and R the size the window had on opening: the picture fits.
    Key(window, 'R');
    EXPECT_EQ(200, ClientSize(window).cx);
    EXPECT_EQ(100, ClientSize(window).cy);
}

TEST_F(ViewerCommands, EnterSwitchesBetweenActualSizeWithBarsAndFitWithTheZoom)
{
    HWND window = Open(MakeViewerImage(900, 700, Pattern), 0);
    SetClientSize(window, 300, 200);
    ASSERT_TRUE(HasBar(window, WS_HSCROLL));
    ASSERT_TRUE(HasBar(window, WS_VSCROLL));
    ViewerImage* image = ViewerOf(window);
    SendMessageW(window, WM_HSCROLL, SB_PAGEDOWN, 0);
    ASSERT_EQ(16, image->scrollX);

    Key(window, VK_RETURN);
    EXPECT_EQ(1, image->fitMode);
    EXPECT_FALSE(HasBar(window, WS_HSCROLL));
    EXPECT_FALSE(HasBar(window, WS_VSCROLL));
    EXPECT_EQ(16, image->scrollX);
    SIZE size = {};
    Capture(window, &size);
    // The client area is the window's less its frame once the bars are gone.
    const uint32_t zoom = uint32_t(size.cx) * 700 / 900 < uint32_t(size.cy)
                              ? uint32_t(size.cx) * 100 / 900
                              : (900u * size.cy / 700) * 100 / 900;
    EXPECT_EQ(L"C:\\pics\\a.mag | " + std::to_wstring(zoom) + L"%", WindowTitle(window));

    // Back at actual size the bars return for the same client area, the
    // offsets as the bars now show them, and the suffix goes.
    Key(window, VK_RETURN);
    EXPECT_EQ(0, image->fitMode);
    EXPECT_TRUE(HasBar(window, WS_HSCROLL));
    EXPECT_TRUE(HasBar(window, WS_VSCROLL));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_EQ(std::wstring(L"C:\\pics\\a.mag"), WindowTitle(window));
    SCROLLINFO info = BarInfo(window, SB_HORZ);
    EXPECT_EQ(0, info.nMin);
    EXPECT_EQ(899, info.nMax);
    EXPECT_EQ(UINT(ClientSize(window).cx), info.nPage);
}

TEST_F(ViewerCommands, EscapeDestroysTheWindowAndEverythingItOwns)
{
    const long live = LiveAllocations();
    HWND window = Open(MakeViewerImage(64, 48, Pattern), 0);
    const ViewerImage* image = ViewerOf(window);
    const HBITMAP bitmap = image->bitmap;
    const HDC memory = image->memoryDc;
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(bitmap));
    EXPECT_EQ(OBJ_MEMDC, GetObjectType(memory));
    EXPECT_EQ(live + 2, LiveAllocations());  // the record and its pixels

    Key(window, VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0u, GetObjectType(bitmap));
    EXPECT_EQ(0u, GetObjectType(memory));
    EXPECT_EQ(live, LiveAllocations());
}

TEST_F(ViewerCommands, OnlyExactCommandNumbersAndTableKeysAct)
{
    HWND window = Open(MakeViewerImage(40, 30, Pattern), 0);
    const ViewerImage* image = ViewerOf(window);
    for (WPARAM command : {WPARAM(0), WPARAM(11), WPARAM(12), WPARAM(13), MAKEWPARAM(6, 1), MAKEWPARAM(10, 1)})
        SendMessageW(window, WM_COMMAND, command, 0);
    for (UINT key : {UINT('A'), UINT('Q'), UINT(VK_HOME), UINT(VK_F1), UINT(VK_BACK)})
        Key(window, key);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(Pattern(0, 0), PixelAt(image->picture, 0, 0));
    EXPECT_EQ(0, image->fitMode);

    SendMessageW(window, WM_COMMAND, CommandMirror, 0);
    EXPECT_EQ(Pattern(39, 0), PixelAt(image->picture, 0, 0));
    SendMessageW(window, WM_COMMAND, CommandClose, 0);
    EXPECT_FALSE(IsWindow(window));
}

// The menu's entries: texts with their command numbers, separators as 0.
std::vector<std::pair<UINT, std::wstring>> MenuEntries(HMENU menu)
{
    std::vector<std::pair<UINT, std::wstring>> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 128;
        GetMenuItemInfoW(menu, i, TRUE, &item);
        entries.emplace_back(item.wID, (item.fType & MFT_SEPARATOR) ? L"-" : text);
    }
    return entries;
}

TEST_F(ViewerCommands, MenuHasSevenEntriesAtActualSizeAndTenInFitMode)
{
    using Entries = std::vector<std::pair<UINT, std::wstring>>;
    HMENU actual = BuildViewerMenu(0);
    EXPECT_EQ((Entries{{9, L"名前を付けて保存"},
                       {11, L"-"},
                       {8, L"ウィンドウサイズに合わせて表示するモード"},
                       {6, L"左右反転"},
                       {7, L"上下反転"},
                       {12, L"-"},
                       {10, L"このウィンドウを破棄"}}),
              MenuEntries(actual));
    DestroyMenu(actual);

    HMENU fit = BuildViewerMenu(1);
    EXPECT_EQ((Entries{{9, L"名前を付けて保存"},
                       {11, L"-"},
                       {8, L"等倍表示モード"},
                       {6, L"左右反転"},
                       {7, L"上下反転"},
                       {12, L"-"},
                       {1, L"画像サイズをディスプレイの大きさに合わせる"},
                       {2, L"ウィンドウサイズを画像に合わせる"},
                       {13, L"-"},
                       {10, L"このウィンドウを破棄"}}),
              MenuEntries(fit));
    DestroyMenu(fit);
}

// Picks the last entry of the pop-up menu that is being tracked.
void CALLBACK ChooseLastMenuEntry(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (HWND menu = FindWindowW(L"#32768", nullptr)) {
        PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    }
}

TEST_F(ViewerCommands, ContextMenuChoiceArrivesAsItsCommand)
{
    HWND window = Open(MakeViewerImage(40, 30, Pattern), 1);
    SetTimer(nullptr, 0, 300, ChooseLastMenuEntry);
    SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(120, 90));
    PumpMessages();
    // The last entry is "このウィンドウを破棄".
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ViewerCommands, TabMovesToTheNextCreatedAndSpaceToTheNextBelow)
{
    // Three viewers created in the order a, b, c; c ends on top.
    HWND a = Open(MakeViewerImage(30, 20, Pattern), 0, L"a");
    HWND b = Open(MakeViewerImage(30, 20, Pattern), 0, L"b");
    HWND c = Open(MakeViewerImage(30, 20, Pattern), 0, L"c");
    ViewerOf(a)->createdAt = 1000;
    ViewerOf(b)->createdAt = 2000;
    ViewerOf(c)->createdAt = 3000;
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    PumpMessages();

    // From the newest, Tab wraps round to the oldest of those below it.
    EXPECT_EQ(a, FindNextViewerByAge(c));
    Key(c, VK_TAB);
    EXPECT_EQ(a, GetFocus());

    // Only the viewers below count: from b (a below it) the next is a, and
    // from a, at the bottom, nothing.
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PumpMessages();
    EXPECT_EQ(a, FindNextViewerByAge(b));
    EXPECT_EQ(nullptr, FindNextViewerByAge(a));

    // Space goes to the next viewer below; from the bottom one nothing moves.
    SetFocus(c);
    Key(c, VK_SPACE);
    EXPECT_EQ(b, GetFocus());
    SetFocus(a);
    Key(a, VK_SPACE);
    EXPECT_EQ(a, GetFocus());
}

TEST_F(ViewerCommands, MGivesTheFocusToTheFileList)
{
    HWND list = CreateWindowExW(0, L"EDIT", L"", WS_VISIBLE | WS_OVERLAPPED, 0, 0, 50, 20, nullptr, nullptr,
                                instance, nullptr);
    ASSERT_NE(nullptr, list);
    HWND window = Open(MakeViewerImage(30, 20, Pattern), 0);
    SetFocus(window);
    Key(window, 'M');
    EXPECT_EQ(window, GetFocus());  // no list yet: the focus stays

    Browser.right.control = list;
    Key(window, 'M');
    EXPECT_EQ(list, GetFocus());
    DestroyWindow(list);
}

}  // namespace
