// Scrolling and dragging at actual size: scroll-bar requests, the wheel, the
// bars following the window's size, and the picture following the pointer.
#include <gtest/gtest.h>

#include "gui/viewer_test_support.h"
#include "support/windows_harness.h"
#include "viewer/viewer_scroll.h"
#include "viewer/viewer_window.h"

namespace {

uint32_t Grey(uint32_t x, uint32_t y)
{
    return ((x + y) & 0xFF) * 0x010101u;
}

int BarPosition(HWND window, int bar)
{
    return BarInfo(window, bar).nPos;
}

void Scroll(HWND window, UINT message, int request)
{
    SendMessageW(window, message, MAKEWPARAM(request, 0), 0);
}

void Wheel(HWND window, short delta)
{
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), MAKELPARAM(10, 10));
}

// Resizes the window the way a border drag does: WM_SIZING with the new
// rectangle, then the move.
void DragBorderTo(HWND window, int width, int height)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&rect));
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
}

class ViewerScroll : public ViewerWindowTest {
protected:
    // A 1000 x 100 picture in a client area 600 wide, with the horizontal
    // bar only.
    HWND OpenWide()
    {
        HWND window = Open(MakeViewerImage(1000, 100, Grey), 0);
        SetClientSize(window, 600, 150);
        EXPECT_TRUE(HasBar(window, WS_HSCROLL));
        EXPECT_FALSE(HasBar(window, WS_VSCROLL));
        EXPECT_EQ(600, ClientSize(window).cx);
        return window;
    }
};

TEST_F(ViewerScroll, LineAndPageStepsStopAtTheLargestOffsetExactly)
{
    HWND window = OpenWide();
    ViewerImage* image = ViewerOf(window);
    ASSERT_EQ(0, image->scrollX);

    Scroll(window, WM_HSCROLL, SB_LINEUP);
    EXPECT_EQ(0, image->scrollX);
    Scroll(window, WM_HSCROLL, SB_LINEDOWN);
    EXPECT_EQ(1, image->scrollX);
    EXPECT_EQ(1, BarPosition(window, SB_HORZ));
    Scroll(window, WM_HSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(17, image->scrollX);
    for (int i = 0; i < 40; ++i)
        Scroll(window, WM_HSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(400, image->scrollX);
    EXPECT_EQ(400, BarPosition(window, SB_HORZ));
    Scroll(window, WM_HSCROLL, SB_LINEDOWN);
    EXPECT_EQ(400, image->scrollX);

    Scroll(window, WM_HSCROLL, SB_LINEUP);
    EXPECT_EQ(399, image->scrollX);
    for (int i = 0; i < 30; ++i)
        Scroll(window, WM_HSCROLL, SB_PAGEUP);
    EXPECT_EQ(0, image->scrollX);

    // Top, bottom and the end of scrolling change nothing.
    Scroll(window, WM_HSCROLL, SB_LINEDOWN);
    for (int request : {SB_TOP, SB_BOTTOM, SB_ENDSCROLL})
        Scroll(window, WM_HSCROLL, request);
    EXPECT_EQ(1, image->scrollX);

    // The shown part follows: column 0 of the client area is picture column
    // 1, the picture centred in height.
    SIZE size = {};
    std::vector<uint32_t> shown = Capture(window, &size);
    const int top = (size.cy - 100) / 2;
    EXPECT_EQ(Grey(1, 0), shown[size_t(top) * size.cx]);
    EXPECT_EQ(Grey(600, 40), shown[size_t(top + 40) * size.cx + 599]);
}

TEST_F(ViewerScroll, ThumbRequestsTakeTheBarsPositionWithinTheRange)
{
    HWND window = OpenWide();
    ViewerImage* image = ViewerOf(window);
    SetScrollPos(window, SB_HORZ, 250, FALSE);
    Scroll(window, WM_HSCROLL, SB_THUMBPOSITION);
    EXPECT_EQ(250, image->scrollX);
    SetScrollPos(window, SB_HORZ, 9999, FALSE);
    Scroll(window, WM_HSCROLL, SB_THUMBTRACK);
    EXPECT_EQ(400, image->scrollX);
}

TEST_F(ViewerScroll, EachWheelMessageScrollsOnePageStep)
{
    HWND window = Open(MakeViewerImage(200, 1000, Grey), 0);
    SetClientSize(window, 250, 600);
    ASSERT_TRUE(HasBar(window, WS_VSCROLL));
    ViewerImage* image = ViewerOf(window);
    Wheel(window, -120);
    EXPECT_EQ(16, image->scrollY);
    Wheel(window, -1200);
    EXPECT_EQ(32, image->scrollY);
    Wheel(window, 120);
    Wheel(window, 120);
    Wheel(window, 120);
    EXPECT_EQ(0, image->scrollY);
    for (int i = 0; i < 30; ++i)
        Wheel(window, -120);
    EXPECT_EQ(400, image->scrollY);
    EXPECT_EQ(400, BarPosition(window, SB_VERT));
    EXPECT_EQ(0, image->scrollX);
}

TEST_F(ViewerScroll, APictureThatFitsDoesNotMove)
{
    HWND window = Open(MakeViewerImage(200, 150, Grey), 0);
    SetClientSize(window, 300, 300);
    EXPECT_FALSE(HasBar(window, WS_HSCROLL));
    EXPECT_FALSE(HasBar(window, WS_VSCROLL));
    ViewerImage* image = ViewerOf(window);
    Wheel(window, -120);
    for (int request : {SB_LINEDOWN, SB_PAGEDOWN, SB_THUMBTRACK}) {
        Scroll(window, WM_HSCROLL, request);
        Scroll(window, WM_VSCROLL, request);
    }
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 20));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(10, 20));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_EQ(0, image->scrollY);
}

TEST_F(ViewerScroll, DraggingMovesThePictureWithThePointerWithinTheLargestOffsets)
{
    HWND window = Open(MakeViewerImage(800, 600, Grey), 0);
    SetClientSize(window, 300, 200);
    ViewerImage* image = ViewerOf(window);
    const LONG maxX = MaxScrollX(image, window);
    const LONG maxY = MaxScrollY(image, window);
    ASSERT_EQ(800 - ClientSize(window).cx, maxX);
    ASSERT_EQ(600 - ClientSize(window).cy, maxY);

    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 120));
    EXPECT_EQ(1, image->dragging);
    EXPECT_EQ(window, GetCapture());
    // Pulling left and up shows more of the right and the bottom.
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 90));
    EXPECT_EQ(40, image->scrollX);
    EXPECT_EQ(30, image->scrollY);
    EXPECT_EQ(40, BarPosition(window, SB_HORZ));
    EXPECT_EQ(30, BarPosition(window, SB_VERT));
    // Points left of the client area arrive as negative 16-bit values.
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(-1000), static_cast<WORD>(-1000)));
    EXPECT_EQ(maxX, image->scrollX);
    EXPECT_EQ(maxY, image->scrollY);
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2000, 2000));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_EQ(0, image->scrollY);

    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(2000, 2000));
    EXPECT_EQ(0, image->dragging);
    EXPECT_EQ(nullptr, GetCapture());
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    EXPECT_EQ(0, image->scrollX);

    // In fit mode the button only captures the mouse.
    SendMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    EXPECT_EQ(0, image->dragging);
    EXPECT_EQ(window, GetCapture());
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(ViewerScroll, EnlargingUntilThePictureFitsHidesTheBarsAndShrinkingShowsThemAtZero)
{
    HWND window = Open(MakeViewerImage(500, 400, Grey), 0);
    SetClientSize(window, 300, 200);
    ViewerImage* image = ViewerOf(window);
    Scroll(window, WM_HSCROLL, SB_PAGEDOWN);
    Scroll(window, WM_VSCROLL, SB_PAGEDOWN);
    ASSERT_EQ(16, image->scrollX);
    ASSERT_EQ(16, image->scrollY);

    DragBorderTo(window, 900, 800);
    EXPECT_FALSE(HasBar(window, WS_HSCROLL));
    EXPECT_FALSE(HasBar(window, WS_VSCROLL));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_EQ(0, image->scrollY);

    DragBorderTo(window, 400, 300);
    EXPECT_TRUE(HasBar(window, WS_HSCROLL));
    EXPECT_TRUE(HasBar(window, WS_VSCROLL));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_EQ(0, BarPosition(window, SB_HORZ));
    SCROLLINFO info = BarInfo(window, SB_VERT);
    EXPECT_EQ(399, info.nMax);
    EXPECT_EQ(UINT(ClientSize(window).cy), info.nPage);

    // Only the width short: one bar, and the height kept for it.
    DragBorderTo(window, 400, 800);
    EXPECT_TRUE(HasBar(window, WS_HSCROLL));
    EXPECT_FALSE(HasBar(window, WS_VSCROLL));
}

TEST_F(ViewerScroll, MaximisingAndRestoringKeepTheOffsetsWithinTheLargestOnes)
{
    HWND window = Open(MakeViewerImage(1100, 900, Grey), 0);
    SetClientSize(window, 300, 200);
    ViewerImage* image = ViewerOf(window);
    for (int i = 0; i < 100; ++i) {
        Scroll(window, WM_HSCROLL, SB_PAGEDOWN);
        Scroll(window, WM_VSCROLL, SB_PAGEDOWN);
    }
    ASSERT_EQ(1100 - ClientSize(window).cx, image->scrollX);

    // The screen is 1280 x 1024: maximised, the width fits and the bar goes.
    ShowWindow(window, SW_MAXIMIZE);
    PumpMessages();
    const SIZE big = ClientSize(window);
    ASSERT_GE(big.cx, 1100);
    EXPECT_FALSE(HasBar(window, WS_HSCROLL));
    EXPECT_EQ(0, image->scrollX);
    EXPECT_LE(image->scrollY, MaxScrollY(image, window));
    if (big.cy >= 900) {
        EXPECT_FALSE(HasBar(window, WS_VSCROLL));
        EXPECT_EQ(0, image->scrollY);
    }

    ShowWindow(window, SW_RESTORE);
    PumpMessages();
    EXPECT_TRUE(HasBar(window, WS_HSCROLL));
    EXPECT_TRUE(HasBar(window, WS_VSCROLL));
    EXPECT_LE(image->scrollX, MaxScrollX(image, window));
    EXPECT_LE(image->scrollY, MaxScrollY(image, window));
    SCROLLINFO info = BarInfo(window, SB_HORZ);
    EXPECT_EQ(UINT(ClientSize(window).cx), info.nPage);
}

}  // namespace
