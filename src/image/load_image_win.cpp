#include "image/load_image_win.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

#include "image/imaging_services_win.h"
#include "image/shared_lock_win.h"

using namespace Gdiplus::DllExports;
using Gdiplus::GpBitmap;

namespace {

// The two formats that GDI+ converts a picture into for us.
constexpr Gdiplus::PixelFormat kLock24 = PixelFormat24bppRGB;    // 0x00021808
constexpr Gdiplus::PixelFormat kLock32 = PixelFormat32bppARGB;   // 0x0026200A

// A GDI+ bitmap over a stream over the file image, with what the loaders
// need of it. Disposing of the bitmap drops the last reference to the
// stream, which releases the file image.
struct LibraryPicture {
    GpBitmap* bitmap = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bits = 0;

    ~LibraryPicture()
    {
        if (bitmap)
            GdipDisposeImage(bitmap);
    }
};

// Opens the file image with GDI+, consuming block. Returns false when no
// stream or bitmap can be made or the picture reports a zero size; the block
// is released by then (or when the picture is disposed of).
bool OpenLibraryPicture(MemoryBlock block, LibraryPicture* picture)
{
    // From here on the stream owns the block and frees it on its last release.
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(static_cast<HGLOBAL>(block), TRUE, &stream)) || !stream) {
        MemoryBlockFree(block);
        return false;
    }
    MemoryBlockHandOver(block);

    // The bitmap keeps its own reference to the stream.
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(stream, &bitmap) != Gdiplus::Ok)
        bitmap = nullptr;
    stream->Release();
    if (!bitmap)
        return false;
    picture->bitmap = bitmap;

    // The size and the source's depth (bits 8 to 15 of its pixel format).
    UINT w = 0, h = 0;
    Gdiplus::PixelFormat format = 0;
    GdipGetImageWidth(bitmap, &w);
    GdipGetImageHeight(bitmap, &h);
    GdipGetImagePixelFormat(bitmap, &format);
    picture->width = w;
    picture->height = h;
    picture->bits = (format >> 8) & 0xFF;
    return w != 0 && h != 0;
}

// Locks the whole picture's bits for reading in the given format. Returns
// false when GDI+ cannot, or gives fewer rows or columns than the picture has.
bool LockPictureBits(const LibraryPicture& picture, Gdiplus::PixelFormat format, Gdiplus::BitmapData* data)
{
    memset(data, 0, sizeof *data);
    if (GdipBitmapLockBits(picture.bitmap, nullptr, Gdiplus::ImageLockModeRead, format, data) != Gdiplus::Ok)
        return false;
    if (data->Width < picture.width || data->Height < picture.height || !data->Scan0) {
        GdipBitmapUnlockBits(picture.bitmap, data);
        return false;
    }
    return true;
}

// The library road to a DecodedImage. Consumes block.
int LoadLibraryImage(MemoryBlock block, DecodedImage* image, int withAlpha)
{
    ImagingUse use;
    if (!use.granted()) {
        MemoryBlockFree(block);
        return -1;
    }
    LibraryPicture picture;
    uint32_t stride = 0, bytes = 0;
    if (!OpenLibraryPicture(block, &picture) ||
        !PixelBufferSize(picture.width, picture.height, withAlpha, &stride, &bytes))
        return -1;

    // The pixels are reached only under SharedLock, for no longer than the copy.
    uint8_t* pixels = nullptr;
    {
        SharedLockHolder hold;
        Gdiplus::BitmapData data;
        bool locked = LockPictureBits(picture, withAlpha ? kLock32 : kLock24, &data);
        pixels = FixedAlloc(bytes);
        if (pixels && locked) {
            const size_t rowBytes = (withAlpha ? 4 : 3) * size_t(picture.width);
            const uint8_t* first = static_cast<const uint8_t*>(data.Scan0);
            for (size_t r = 0; r < picture.height; ++r) {
                memcpy(pixels + r * stride, first + ptrdiff_t(r) * data.Stride, rowBytes);
                memset(pixels + r * stride + rowBytes, 0, stride - rowBytes);
            }
        } else if (pixels) {
            // Bits that cannot be locked give a picture of its true size, all 0.
            memset(pixels, 0, bytes);
        }
        if (locked)
            GdipBitmapUnlockBits(picture.bitmap, &data);
    }
    if (!pixels)
        return -1;
    *image = DecodedImage{picture.width, picture.height, picture.bits, pixels};
    return 0;
}

// The library road to a thumbnail, scaled straight from the locked bits.
// Consumes block.
int LoadLibraryThumbnail(MemoryBlock block, ThumbnailBlock* thumb, ImageInfo* info)
{
    ImagingUse use;
    if (!use.granted()) {
        MemoryBlockFree(block);
        return -1;
    }
    LibraryPicture picture;
    if (!OpenLibraryPicture(block, &picture))
        return -1;

    SharedLockHolder hold;
    Gdiplus::BitmapData data;
    if (!LockPictureBits(picture, kLock24, &data))
        return -1;
    ScaleToThumbnail(thumb, static_cast<const uint8_t*>(data.Scan0), picture.width, picture.height, data.Stride);
    GdipBitmapUnlockBits(picture.bitmap, &data);
    *info = ImageInfo{picture.width, picture.height, picture.bits};
    return 0;
}

}  // namespace

int LoadImageFile(const wchar_t* name, FileHandle file, DecodedImage* image, int withAlpha)
{
    if (!ImagingAvailable())
        return -1;
    int64_t size = FileSize(file);
    if (size < 0)
        return -1;
    MemoryBlock block = ReadFileImage(file, static_cast<uint64_t>(size));
    if (!block)
        return -1;
    return LoadImageBlock(name, block, image, withAlpha);
}

int LoadImageBlock(const wchar_t* name, MemoryBlock block, DecodedImage* image, int withAlpha)
{
    if (!block)
        return -1;
    if (!ImagingAvailable()) {
        MemoryBlockFree(block);
        return -1;
    }
    FileKind kind = ClassifyBlock(name, block);
    if (kind <= KindTiff)
        return LoadLibraryImage(block, image, withAlpha);
    if (kind <= 12)
        return LoadOwnImageBlock(block, image, withAlpha);
    MemoryBlockFree(block);
    return -1;
}

int LoadImageThumbnail(const wchar_t* name, FileHandle file, ThumbnailBlock* thumb, ImageInfo* info,
                       uint32_t fileSize)
{
    if (!ImagingAvailable())
        return -1;
    FileKind kind = KindNone;
    MemoryBlock block = ReadThumbnailImage(name, file, fileSize, &kind);
    if (!block)
        return -1;
    if (kind <= KindTiff)
        return LoadLibraryThumbnail(block, thumb, info);
    return LoadOwnImageThumbnail(block, thumb, info);
}
