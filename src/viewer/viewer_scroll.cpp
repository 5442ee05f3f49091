#include "viewer/viewer_scroll.h"

#include <windowsx.h>

#include "viewer/viewer_window.h"

namespace {

// Set while this file shows, hides or resizes bars (main thread only).
bool barsChanging = false;

// Page steps move this many pixels.
constexpr LONG PageStep = 16;

class BarsChangingScope {
public:
    BarsChangingScope() : outer_(barsChanging) { barsChanging = true; }
    ~BarsChangingScope() { barsChanging = outer_; }
    BarsChangingScope(const BarsChangingScope&) = delete;
    BarsChangingScope& operator=(const BarsChangingScope&) = delete;

private:
    bool outer_;
};

bool HasStyle(HWND window, LONG_PTR style)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & style) != 0;
}

SIZE ClientExtent(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

LONG Clamp(LONG value, LONG low, LONG high)
{
    return value < low ? low : (value > high ? high : value);
}

// Brings one bar in step: range 0 ... size - 1 and the visible length as the
// page when needed (shown when it was hidden, at position 0), hidden
// otherwise. Returns the offset the bar then shows.
LONG UpdateBar(HWND window, int bar, bool needed, bool shown, uint32_t size, LONG page)
{
    if (!needed) {
        if (shown)
            ShowScrollBar(window, bar, FALSE);
        return 0;
    }

    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    if (shown) {
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        GetScrollInfo(window, bar, &info);
        info.fMask = SIF_RANGE | SIF_PAGE;
    } else {
        EnableScrollBar(window, bar, ESB_ENABLE_BOTH);
        ShowScrollBar(window, bar, TRUE);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nPos = 0;
    }
    info.nMin = 0;
    info.nMax = static_cast<int>(size - 1);
    info.nPage = page > 0 ? static_cast<UINT>(page) : 0;
    SetScrollInfo(window, bar, &info, TRUE);

    // The system has limited the position to the new range and page.
    SCROLLINFO now = {};
    now.cbSize = sizeof now;
    now.fMask = SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(window, bar, &now);
    return now.nPos;
}

}  // namespace

bool ViewerScrollBarsChanging()
{
    return barsChanging;
}

LONG MaxScrollX(const ViewerImage* image, HWND window)
{
    if (!HasStyle(window, WS_HSCROLL))
        return 0;
    const LONG largest = static_cast<LONG>(image->picture.width) - ClientExtent(window).cx;
    return largest > 0 ? largest : 0;
}

LONG MaxScrollY(const ViewerImage* image, HWND window)
{
    if (!HasStyle(window, WS_VSCROLL))
        return 0;
    const LONG largest = static_cast<LONG>(image->picture.height) - ClientExtent(window).cy;
    return largest > 0 ? largest : 0;
}

void UpdateViewerScrollBars(ViewerImage* image, HWND window, const RECT* proposed)
{
    BarsChangingScope scope;
    const LONG W = static_cast<LONG>(image->picture.width);
    const LONG H = static_cast<LONG>(image->picture.height);

    // The client size the proposed rectangle gives with the bars shown now.
    RECT outer = {};
    GetWindowRect(window, &outer);
    const SIZE client = ClientExtent(window);
    const LONG ncw = (proposed->right - proposed->left) - ((outer.right - outer.left) - client.cx);
    const LONG nch = (proposed->bottom - proposed->top) - ((outer.bottom - outer.top) - client.cy);

    const bool hShown = HasStyle(window, WS_HSCROLL);
    const bool vShown = HasStyle(window, WS_VSCROLL);
    const LONG hs = hShown ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    const LONG vs = vShown ? GetSystemMetrics(SM_CXVSCROLL) : 0;

    // Without the bars shown now the whole picture may fit.
    int need = (ncw < W ? 1 : 0) | (nch < H ? 2 : 0);
    if (need != 0 && nch + hs >= H && ncw + vs >= W)
        need = 0;

    LONG hPage = ncw;
    if (!hShown && (need & 2))
        hPage -= GetSystemMetrics(SM_CXVSCROLL);
    image->scrollX = UpdateBar(window, SB_HORZ, (need & 1) != 0, hShown, image->picture.width, hPage);

    LONG vPage = nch;
    if (!vShown && (need & 1))
        vPage -= GetSystemMetrics(SM_CYHSCROLL);
    image->scrollY = UpdateBar(window, SB_VERT, (need & 2) != 0, vShown, image->picture.height, vPage);
}

void RefitViewerScrollBars(ViewerImage* image, HWND window)
{
    BarsChangingScope scope;

    // Each pass can show or hide a bar, which changes the client area the
    // next pass sees; two bars settle within three passes.
    for (int pass = 0; pass < 4; ++pass) {
        const SIZE before = ClientExtent(window);
        RECT outer = {};
        GetWindowRect(window, &outer);
        UpdateViewerScrollBars(image, window, &outer);
        const SIZE after = ClientExtent(window);
        if (after.cx == before.cx && after.cy == before.cy)
            break;
    }
    const int32_t x = Clamp(image->scrollX, 0, MaxScrollX(image, window));
    const int32_t y = Clamp(image->scrollY, 0, MaxScrollY(image, window));
    if (x != image->scrollX)
        SetScrollPos(window, SB_HORZ, x, TRUE);
    if (y != image->scrollY)
        SetScrollPos(window, SB_VERT, y, TRUE);
    image->scrollX = x;
    image->scrollY = y;
}

void ScrollViewer(ViewerImage* image, HWND window, int bar, int request)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(window, bar, &info);

    int32_t* offset = bar == SB_HORZ ? &image->scrollX : &image->scrollY;
    const LONG largest = bar == SB_HORZ ? MaxScrollX(image, window) : MaxScrollY(image, window);
    const LONG pos = *offset;
    LONG next = pos;
    switch (request) {
    case SB_LINEUP:
        if (pos == 0)
            return;
        next = pos - 1;
        break;
    case SB_LINEDOWN:
        if (pos >= largest)
            return;
        next = pos + 1;
        break;
    case SB_PAGEUP:
        if (pos == 0)
            return;
        next = pos > PageStep ? pos - PageStep : 0;
        break;
    case SB_PAGEDOWN:
        if (pos >= largest)
            return;
        next = pos + PageStep < largest ? pos + PageStep : largest;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        next = info.nTrackPos;
        break;
    default:
        return;
    }

    // Never shown from beyond the largest offset, whatever the bar reports.
    next = Clamp(next, 0, largest);
    *offset = static_cast<int32_t>(next);
    SetScrollPos(window, bar, next, TRUE);
    InvalidateRect(window, nullptr, FALSE);
}

LRESULT OnViewerHScroll(ViewerImage* image, HWND window, WPARAM wParam, LPARAM)
{
    if (image)
        ScrollViewer(image, window, SB_HORZ, LOWORD(wParam));
    return 0;
}

LRESULT OnViewerVScroll(ViewerImage* image, HWND window, WPARAM wParam, LPARAM)
{
    if (image)
        ScrollViewer(image, window, SB_VERT, LOWORD(wParam));
    return 0;
}

LRESULT OnViewerMouseWheel(ViewerImage* image, HWND window, WPARAM wParam, LPARAM)
{
    // One page step a message, whatever the size of the delta.
    const short delta = static_cast<short>(HIWORD(wParam));
    if (image)
        ScrollViewer(image, window, SB_VERT, delta < 0 ? SB_PAGEDOWN : SB_PAGEUP);
    return 0;
}

LRESULT OnViewerSizing(ViewerImage* image, HWND window, WPARAM, LPARAM lParam)
{
    if (image->fitMode == 0)
        UpdateViewerScrollBars(image, window, reinterpret_cast<const RECT*>(lParam));
    return 0;
}

LRESULT OnViewerButtonDown(ViewerImage* image, HWND window, WPARAM, LPARAM lParam)
{
    SetCapture(window);
    if (image->fitMode != 0)
        return 0;
    SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
    image->dragX = static_cast<int16_t>(GET_X_LPARAM(lParam));
    image->dragY = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    image->dragging = 1;
    return 0;
}

LRESULT OnViewerMouseMove(ViewerImage* image, HWND window, WPARAM, LPARAM lParam)
{
    if (!image->dragging)
        return 0;

    // The picture follows the pointer.
    const int16_t x = static_cast<int16_t>(GET_X_LPARAM(lParam));
    const int16_t y = static_cast<int16_t>(GET_Y_LPARAM(lParam));
    const LONG dx = x - image->dragX;
    const LONG dy = y - image->dragY;
    image->dragX = x;
    image->dragY = y;
    image->scrollX = Clamp(image->scrollX - dx, 0, MaxScrollX(image, window));
    image->scrollY = Clamp(image->scrollY - dy, 0, MaxScrollY(image, window));
    SetScrollPos(window, SB_HORZ, image->scrollX, TRUE);
    SetScrollPos(window, SB_VERT, image->scrollY, TRUE);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnViewerButtonUp(ViewerImage* image, HWND, WPARAM, LPARAM)
{
    if (image)
        image->dragging = 0;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    ReleaseCapture();
    return 0;
}
