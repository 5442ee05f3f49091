// Device bitmaps of pictures in the 24-bit form, for the viewer windows.
#pragma once

#include <windows.h>

#include "image/decoded_image.h"

// Fills the 24-bit top-down bitmap information of the picture (no colour
// table). Returns false when the picture is too large for its fields.
bool FillBitmapInfo(const DecodedImage* image, BITMAPINFO* info);

// Makes a bitmap compatible with dc, initialised from the picture's pixels.
// Returns what CreateDIBitmap returns (nullptr on failure, and for a
// picture too large for the bitmap fields).
HBITMAP CreateImageBitmap(const DecodedImage* image, HDC dc);

// Mirrors (mode 1) or turns the picture upside down (mode 2) in place, or
// leaves it (any other mode), then copies the whole picture into bitmap,
// the viewer's bitmap made by CreateImageBitmap.
void FlipAndRefresh(DecodedImage* image, HDC dc, HBITMAP bitmap, int mode);
