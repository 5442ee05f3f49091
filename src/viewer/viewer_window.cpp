#include "viewer/viewer_window.h"

#include <shellapi.h>

#include "ui/message_table.h"
#include "ui/owners.h"
#include "image/dib_win.h"
#include "viewer/open_path.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_scroll.h"


namespace {

// Releases the bitmap and the memory device context of a record.
void ReleaseViewerGdi(ViewerImage* image)
{
    if (image->memoryDc)
        DeleteDC(image->memoryDc);
    if (image->bitmap)
        DeleteObject(image->bitmap);
    image->memoryDc = nullptr;
    image->bitmap = nullptr;
}

// Makes the record's bitmap and memory device context. A picture that
// cannot become a bitmap fails the creation, leaving the record to the
// creator.
LRESULT OnCreate(ViewerImage* image, HWND window, WPARAM, LPARAM)
{
    {
        WindowDc dc(window);
        image->bitmap = CreateImageBitmap(&image->picture, dc.get());
        image->memoryDc = CreateCompatibleDC(dc.get());
    }
    if (!image->bitmap || !image->memoryDc) {
        ReleaseViewerGdi(image);
        return -1;
    }
    image->scrollX = 0;
    image->scrollY = 0;
    DragAcceptFiles(window, TRUE);
    return 0;
}

// The window owns the record from its creation on.
LRESULT OnDestroy(ViewerImage* image, HWND window, WPARAM, LPARAM)
{
    DetachRecord(window);
    ReleaseViewerGdi(image);
    FreeViewerImage(image);
    return 0;
}

// At actual size the bars follow every change of size, also maximising and
// restoring, so that the picture is never shown from beyond its largest
// offsets.
LRESULT OnSize(ViewerImage* image, HWND window, WPARAM wParam, LPARAM)
{
    if (image->fitMode == 0 && wParam != SIZE_MINIMIZED && !ViewerScrollBarsChanging())
        RefitViewerScrollBars(image, window);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnEraseBackground(ViewerImage*, HWND, WPARAM, LPARAM)
{
    return 0;
}

// Fills the bands around the picture rectangle (x, y, w, h) of a cw x ch
// client area with the window colour.
void FillMargins(HDC dc, LONG cw, LONG ch, LONG x, LONG y, LONG w, LONG h)
{
    HBRUSH brush = GetSysColorBrush(COLOR_WINDOW);
    RECT band;
    if (y != 0) {
        band = RECT{0, 0, cw, y};
        FillRect(dc, &band, brush);
    }
    if (y + h < ch) {
        band = RECT{0, y + h, cw, ch};
        FillRect(dc, &band, brush);
    }
    if (x != 0) {
        band = RECT{0, y, x, y + h};
        FillRect(dc, &band, brush);
    }
    if (x + w < cw) {
        band = RECT{x + w, y, cw, y + h};
        FillRect(dc, &band, brush);
    }
}

// At actual size: centred when smaller than the client area, else the part
// at the scroll offsets.
void PaintActualSize(HDC dc, const ViewerImage* image, LONG cw, LONG ch, LONG maxX, LONG maxY)
{
    const LONG W = static_cast<LONG>(image->picture.width);
    const LONG H = static_cast<LONG>(image->picture.height);
    const LONG x = cw > W ? (cw - W) / 2 : 0;
    const LONG w = cw > W ? W : cw;
    const LONG y = ch > H ? (ch - H) / 2 : 0;
    const LONG h = ch > H ? H : ch;
    FillMargins(dc, cw, ch, x, y, w, h);

    // An offset left beyond the largest one is shown as the largest.
    const LONG sx = image->scrollX < 0 ? 0 : (image->scrollX > maxX ? maxX : image->scrollX);
    const LONG sy = image->scrollY < 0 ? 0 : (image->scrollY > maxY ? maxY : image->scrollY);
    BitBlt(dc, x, y, w, h, image->memoryDc, sx, sy, SRCCOPY);
}

// Fitted: scaled up or down to fill the width or the height; the zoom goes
// into the title.
void PaintFitted(HWND window, HDC dc, const ViewerImage* image, uint32_t cw, uint32_t ch)
{
    const uint32_t W = image->picture.width;
    const uint32_t H = image->picture.height;
    const uint32_t a = static_cast<uint32_t>(uint64_t(cw) * H / W);
    const uint32_t b = static_cast<uint32_t>(uint64_t(W) * ch / H);
    uint32_t x, y, w, h;
    if (a < ch) {
        x = 0;
        w = cw;
        h = a;
        y = (ch - a) / 2;
    } else {
        y = 0;
        h = ch;
        w = b;
        x = (cw - b) / 2;
    }
    FillMargins(dc, static_cast<LONG>(cw), static_cast<LONG>(ch), static_cast<LONG>(x), static_cast<LONG>(y),
                static_cast<LONG>(w), static_cast<LONG>(h));
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    if (w == W && h == H)
        BitBlt(dc, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
               image->memoryDc, 0, 0, SRCCOPY);
    else
        StretchBlt(dc, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h),
                   image->memoryDc, 0, 0, static_cast<int>(W), static_cast<int>(H), SRCCOPY);
    SetZoomTitle(window, static_cast<int>(uint64_t(w) * 100 / W));
}

LRESULT OnPaint(ViewerImage* image, HWND window, WPARAM, LPARAM)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (image) {
        RECT client = {};
        GetClientRect(window, &client);
        Selection bitmap(image->memoryDc, image->bitmap);
        if (image->fitMode == 0)
            PaintActualSize(dc, image, client.right, client.bottom, MaxScrollX(image, window),
                            MaxScrollY(image, window));
        else if (client.right > 0 && client.bottom > 0)
            PaintFitted(window, dc, image, static_cast<uint32_t>(client.right), static_cast<uint32_t>(client.bottom));
    }
    EndPaint(window, &paint);
    return 0;
}

LRESULT OnDropFiles(ViewerImage*, HWND window, WPARAM wParam, LPARAM)
{
    // Only the first file counts; a path too long for the buffer would be
    // cut to the name of another file, so it is ignored.
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    wchar_t path[MAX_PATH] = {};
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        if (length > 0 && length < MAX_PATH && DragQueryFileW(drop, 0, path, MAX_PATH) == length)
            DropOnViewer(window, path);
    }
    DragFinish(drop);
    return 0;
}

const MessageRow<ViewerImage> ViewerHandlers[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_SIZE, OnSize},
    {WM_PAINT, OnPaint},
    {WM_ERASEBKGND, OnEraseBackground},
    {WM_CONTEXTMENU, OnViewerContextMenu},
    {WM_KEYDOWN, OnViewerKeyDown},
    {WM_COMMAND, OnViewerCommand},
    {WM_HSCROLL, OnViewerHScroll},
    {WM_VSCROLL, OnViewerVScroll},
    {WM_MOUSEWHEEL, OnViewerMouseWheel},
    {WM_SIZING, OnViewerSizing},
    {WM_LBUTTONDOWN, OnViewerButtonDown},
    {WM_MOUSEMOVE, OnViewerMouseMove},
    {WM_LBUTTONUP, OnViewerButtonUp},
    {WM_DROPFILES, OnDropFiles},
};

}  // namespace

ViewerImage* ViewerOf(HWND window)
{
    return RecordOf<ViewerImage>(window);
}

LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(ViewerHandlers, window, message, wParam, lParam);
}
