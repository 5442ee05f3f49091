// The image loaders of the Windows program: a file or a file image in
// memory to a DecodedImage, and a file straight to an 80 x 80 thumbnail.
// BMP, PNG, JPEG, GIF and TIFF go through GDI+ (started by the caller), the
// own formats through the own-decoder road of load_image.h; archives and
// unknown files are refused. Every loader returns 0 or -1; on -1 nothing is
// handed over and a thumbnail is left as it was.
#pragma once

#include <cstdint>

#include "image/load_image.h"

// Reads the open file whole (its position is moved) and decodes it into
// image, in the 32-bit form with withAlpha. The caller keeps the handle.
int LoadImageFile(const wchar_t* name, FileHandle file, DecodedImage* image, int withAlpha);

// Decodes the file image in block (an HGLOBAL from MemoryBlockAlloc or
// GlobalAlloc(GMEM_MOVEABLE)); consumes it, releasing it exactly once on
// every path. name gives the TGA rule its extension.
int LoadImageBlock(const wchar_t* name, MemoryBlock block, DecodedImage* image, int withAlpha);

// Reads the open file of fileSize bytes from offset 0 and fits the picture
// into thumb, storing the full picture's size and depth in info.
int LoadImageThumbnail(const wchar_t* name, FileHandle file, ThumbnailBlock* thumb, ImageInfo* info,
                       uint32_t fileSize);
