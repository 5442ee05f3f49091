#include "ui/list_thumbnails.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "ui/owners.h"

namespace {

// The mask of every thumbnail: all zero, so that nothing is transparent.
const uint8_t OpaqueMask[ThumbnailMaskBytes] = {};

BITMAPINFOHEADER TopDownHeader(WORD bits, DWORD imageBytes)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = LONG(kThumbnailSide);
    header.biHeight = -LONG(kThumbnailSide);
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageBytes;
    return header;
}

// A DIB section of the header's form with a copy of the bits. It lives in
// the process's memory: no screen, display driver or device bitmap is
// involved, which under Wine makes it several times cheaper to make.
GdiObjectOwner MakeBitmap(const BITMAPINFOHEADER& header, const void* bits)
{
    BITMAPINFO info = {};
    info.bmiHeader = header;
    void* pixels = nullptr;
    GdiObjectOwner bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (bitmap && pixels)
        std::memcpy(pixels, bits, header.biSizeImage);
    else
        bitmap.reset();
    return bitmap;
}

}  // namespace

BITMAPINFOHEADER ThumbnailColourHeader()
{
    return TopDownHeader(24, kThumbnailBytes);
}

BITMAPINFOHEADER ThumbnailMaskHeader()
{
    return TopDownHeader(16, ThumbnailMaskBytes);
}

namespace {

// The two bitmaps through which every thumbnail goes into an image list,
// made once: the colour one takes each thumbnail's pixels in turn, the
// mask stays opaque. Used on the main thread only.
struct ThumbnailBitmaps {
    GdiObjectOwner colour;
    uint8_t* colourBits = nullptr;
    GdiObjectOwner mask;
};
ThumbnailBitmaps Bitmaps;

bool PrepareThumbnailBitmaps()
{
    if (Bitmaps.colour && Bitmaps.mask)
        return true;
    BITMAPINFO info = {};
    info.bmiHeader = ThumbnailColourHeader();
    void* bits = nullptr;
    Bitmaps.colour.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    Bitmaps.colourBits = static_cast<uint8_t*>(bits);
    Bitmaps.mask = MakeBitmap(ThumbnailMaskHeader(), OpaqueMask);
    if (!Bitmaps.colour || !bits || !Bitmaps.mask) {
        ReleaseThumbnailBitmaps();
        return false;
    }
    return true;
}

}  // namespace

int AddThumbnailImage(HIMAGELIST images, const uint8_t* pixels)
{
    if (!images || !pixels || !PrepareThumbnailBitmaps())
        return -1;
    GdiFlush();
    std::memcpy(Bitmaps.colourBits, pixels, kThumbnailBytes);
    return ImageList_Add(images, static_cast<HBITMAP>(Bitmaps.colour.get()), static_cast<HBITMAP>(Bitmaps.mask.get()));
}

void ReleaseThumbnailBitmaps()
{
    Bitmaps.colour.reset();
    Bitmaps.colourBits = nullptr;
    Bitmaps.mask.reset();
}

int InsertListViewItem(HWND list, int index, const wchar_t* text, int image, LPARAM record)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    item.iImage = image;
    item.lParam = record;
    return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetListViewItemImage(HWND list, int index, int image)
{
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void FormatSelectionStatus(wchar_t* out, size_t capacity, int selected, const wchar_t* name, const ImageInfo* info)
{
    if (selected <= 0)
        out[0] = L'\0';
    else if (selected > 1)
        swprintf(out, capacity, L"%d個選択", selected);
    else if (name && info && info->width && info->height)
        swprintf(out, capacity, L"%ls : %d x %d %dbit", name, static_cast<int>(info->width),
                 static_cast<int>(info->height), static_cast<int>(info->bitsPerPixel));
    else
        swprintf(out, capacity, L"1個選択");
}

void SetStatusBarText(HWND statusBar, const wchar_t* text)
{
    if (statusBar)
        SendMessageW(statusBar, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
}
