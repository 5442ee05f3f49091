#include "viewer/open_path.h"

#include <mmsystem.h>

#include <cstring>

#include "ui/browser_access.h"
#include "image/classify.h"
#include "image/dib.h"
#include "image/load_image_win.h"
#include "platform/memory_block.h"
#include "viewer/placement.h"

namespace {

// Shows the initial scroll bar of one direction: range 0 ... size - 1, the
// visible part as the page, at position 0.
void ShowInitialBar(HWND window, int bar, uint32_t size, int page)
{
    ShowScrollBar(window, bar, TRUE);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = static_cast<int>(size - 1);
    info.nPage = page > 0 ? static_cast<UINT>(page) : 0;
    info.nPos = 0;
    SetScrollInfo(window, bar, &info, TRUE);
}

}  // namespace

ViewerImage* AllocViewerImage()
{
    auto* image = reinterpret_cast<ViewerImage*>(FixedAlloc(sizeof(ViewerImage)));
    if (image)
        memset(image, 0, sizeof *image);
    return image;
}

void FreeViewerImage(ViewerImage* image)
{
    if (!image)
        return;
    ReleaseDecodedImage(&image->picture);
    FixedFree(image);
}

void ComposeOverFill(DecodedImage* base, const DecodedImage* overlay, uint8_t blue, uint8_t green, uint8_t red)
{
    const uint64_t stride = Stride24(base->width);
    for (uint32_t y = 0; y < base->height; ++y) {
        uint8_t* p = base->pixels + y * stride;
        for (uint32_t x = 0; x < base->width; ++x, p += 3) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
    BlendOver(base, overlay);
}

ViewerImage* LoadViewerImage(const wchar_t* path, FileHandle file)
{
    ViewerImage* image = AllocViewerImage();
    if (!image)
        return nullptr;

    // Without the fill option the loader gives the 24-bit form directly.
    if (!BrowserOption(FillBackground)) {
        if (LoadImageFile(path, file, &image->picture, 0) != 0) {
            FreeViewerImage(image);
            return nullptr;
        }
        return image;
    }

    // With it, transparent pixels show the fill colour.
    DecodedImage withAlpha = {};
    if (LoadImageFile(path, file, &withAlpha, 1) != 0) {
        FreeViewerImage(image);
        return nullptr;
    }
    uint32_t stride = 0;
    uint32_t bytes = 0;
    uint8_t* pixels = nullptr;
    if (PixelBufferSize(withAlpha.width, withAlpha.height, 0, &stride, &bytes))
        pixels = FixedAlloc(bytes);
    if (!pixels) {
        ReleaseDecodedImage(&withAlpha);
        FreeViewerImage(image);
        return nullptr;
    }
    image->picture = DecodedImage{withAlpha.width, withAlpha.height, withAlpha.bitsPerPixel, pixels};
    const FillColour fill = BrowserFillColour();
    ComposeOverFill(&image->picture, &withAlpha, fill.blue, fill.green, fill.red);
    ReleaseDecodedImage(&withAlpha);
    return image;
}


// The window reads the archive itself; the handle is closed here only when
// no window got as far as taking it.
HWND CreateArchiveWindow(const wchar_t* path, FileHandle file, FileKind kind)
{
    ArchiveWindowCreation creation = {path, file, kind, false};
    HWND window = CreateWindowExW(0, ArchiveWindowClass, path, WS_VISIBLE | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 0, 0, nullptr, nullptr, ProgramInstance(), &creation);
    if (!creation.taken)
        FileClose(file);
    return window;
}

int OpenPath(const wchar_t* path)
{
    FileKind kind = KindNone;
    FileHandle file = OpenAndClassify(path, &kind);
    if (file == kInvalidFile)
        return -1;

    // Archives get a window of their own, which takes the handle.
    if (kind == KindZip || kind == KindLzh) {
        CreateArchiveWindow(path, file, kind);
        return 0;
    }

    ViewerImage* image = LoadViewerImage(path, file);
    FileClose(file);
    if (image)
        CreateViewerWindow(path, image);
    return 0;
}

HWND CreateViewerWindow(const wchar_t* title, ViewerImage* image)
{
    image->bitmap = nullptr;
    image->memoryDc = nullptr;
    image->scrollX = 0;
    image->scrollY = 0;
    image->dragging = 0;
    image->fitMode = BrowserOption(FitToWindow) ? 1 : 0;
    image->createdAt = timeGetTime();

    ViewerPlacement placement = {};
    const int32_t result = ComputeViewerPlacement(image, &placement);
    int x = placement.x;
    int y = placement.y;
    if (result == PlacementFits)
        x = y = CW_USEDEFAULT;

    // The creation handler takes the record only when it succeeds; when
    // creation fails the record is still ours to free.
    HINSTANCE instance = ProgramInstance();
    HWND window = CreateWindowExW(0, ViewerWindowClass, title, ViewerWindowStyle, x, y, placement.width,
                                  placement.height, nullptr, nullptr, instance, image);
    if (!window) {
        FreeViewerImage(image);
        return nullptr;
    }
    if (image->fitMode == 1 || result == PlacementFits)
        return window;

    const FrameExtra frame = GetFrameExtra();
    if (result & PlacementClipWidth) {
        int page = placement.width - frame.fx;
        if (result & PlacementClipHeight)
            page -= GetSystemMetrics(SM_CXVSCROLL);
        ShowInitialBar(window, SB_HORZ, image->picture.width, page);
    }
    if (result & PlacementClipHeight) {
        int page = placement.height - frame.fy;
        if (result & PlacementClipWidth)
            page -= GetSystemMetrics(SM_CYHSCROLL);
        ShowInitialBar(window, SB_VERT, image->picture.height, page);
    }
    return window;
}
