#include "image/dib_win.h"

#include <cstring>

#include "image/dib.h"

bool FillBitmapInfo(const DecodedImage* image, BITMAPINFO* info)
{
    static_assert(sizeof(BITMAPINFOHEADER) == kBmpInfoHeaderSize, "the header is 40 bytes");
    memset(info, 0, sizeof *info);
    uint8_t bytes[kBmpInfoHeaderSize];
    if (!FillBmpInfoHeader(image->width, image->height, bytes))
        return false;
    memcpy(&info->bmiHeader, bytes, sizeof bytes);
    return true;
}

HBITMAP CreateImageBitmap(const DecodedImage* image, HDC dc)
{
    BITMAPINFO info;
    if (!image->pixels || !FillBitmapInfo(image, &info))
        return nullptr;
    return CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, image->pixels, &info, DIB_RGB_COLORS);
}

void FlipAndRefresh(DecodedImage* image, HDC dc, HBITMAP bitmap, int mode)
{
    FlipPixels(image, mode);

    BITMAPINFO info;
    if (image->pixels && FillBitmapInfo(image, &info))
        SetDIBits(dc, bitmap, 0, image->height, image->pixels, &info, DIB_RGB_COLORS);
}
