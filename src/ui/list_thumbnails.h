// The one road from an 80 x 80 thumbnail to a list view, shared by the
// folder list and the archive window: the bitmap headers, the mask that
// makes a thumbnail opaque, adding a thumbnail to an image list, inserting
// an item, setting its image, and the selection's status text.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstdint>

#include "image/decoded_image.h"
#include "image/thumbnail.h"

// The thumbnails' bitmap headers: 80 x 80 top-down, the colour in 24 bits,
// the mask in 16 bits (all zero: every pixel opaque).
constexpr uint32_t ThumbnailMaskBytes = kThumbnailSide * kThumbnailSide * 2;  // 12,800
BITMAPINFOHEADER ThumbnailColourHeader();
BITMAPINFOHEADER ThumbnailMaskHeader();

// Adds a thumbnail (kThumbnailBytes of blue, green, red, top row first) to
// the image list as an opaque image, through two DIB sections made at the
// first call and kept (the image list converts them to its own form).
// Main thread only. Returns the new image's index, or -1.
int AddThumbnailImage(HIMAGELIST images, const uint8_t* pixels);

// Frees the two DIB sections; the next add makes them again.
void ReleaseThumbnailBitmaps();

// Inserts an item with its text, image and record at index. Returns the
// item's index, or -1.
int InsertListViewItem(HWND list, int index, const wchar_t* text, int image, LPARAM record);

// Gives item index the image.
void SetListViewItemImage(HWND list, int index, int image);

// The selection's status text into out (capacity units, at least 32):
// nothing for no selection; for one item its name and the picture's size
// and depth ("a.mag : 640 x 400 4bit") when info has a size, else
// "1個選択"; "%d個選択" for more. name may be none when info is.
void FormatSelectionStatus(wchar_t* out, size_t capacity, int selected, const wchar_t* name, const ImageInfo* info);

// Writes the one text of a status bar in simple mode.
void SetStatusBarText(HWND statusBar, const wchar_t* text);
