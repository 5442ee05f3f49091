#include "image/load_image.h"

#include <cstring>

#include "decode/dispatch.h"

namespace {

// Reads exactly count bytes into at. Returns false on a short read or an error.
bool ReadExactly(FileHandle file, uint8_t* at, uint64_t count)
{
    return FileRead(file, at, static_cast<size_t>(count)) == static_cast<int64_t>(count);
}

// The decoder front end over a locked file image: the chosen decoder and the
// picture's size. Returns false when no own decoder takes the data or it
// gives a zero width or height.
bool StartDecoder(const uint8_t* bytes, size_t size, ImageDecoder* decoder, uint32_t* width, uint32_t* height)
{
    *width = 0;
    *height = 0;
    if (DetectDecoderType(decoder, bytes, size) == DecoderNone || !GetImageSize(decoder, width, height))
        return false;
    return *width != 0 && *height != 0;
}

// Runs the decoder into a packed buffer of width x height x (3 + withAlpha)
// bytes taken here; returns it (the caller frees it) and stores the depth,
// or nullptr when the size does not fit in 32 bits, memory runs out or the
// decoder fails.
uint8_t* DecodePacked(const ImageDecoder* decoder, uint32_t width, uint32_t height, int withAlpha,
                      uint32_t* bits)
{
    uint64_t bytes = uint64_t(width) * height * (withAlpha ? 4 : 3);
    if (bytes > UINT32_MAX)
        return nullptr;
    ScopedFixed packed(FixedAlloc(static_cast<size_t>(bytes)));
    if (!packed.get())
        return nullptr;
    int depth = DecodeImage(decoder, packed.get(), static_cast<size_t>(bytes), withAlpha ? 1 : 0);
    if (depth <= 0)
        return nullptr;
    *bits = static_cast<uint32_t>(depth);
    return packed.release();
}

// Copies packed rows of 3 x width bytes into a new buffer of the 24-bit
// form (padding bytes zeroed). Returns nullptr when memory runs out.
uint8_t* PadRows(const uint8_t* packed, uint32_t width, uint32_t height, uint32_t stride, uint32_t bytes)
{
    uint8_t* padded = FixedAlloc(bytes);
    if (!padded)
        return nullptr;
    const size_t rowBytes = 3 * size_t(width);
    for (size_t r = 0; r < height; ++r) {
        memcpy(padded + r * stride, packed + r * rowBytes, rowBytes);
        memset(padded + r * stride + rowBytes, 0, stride - rowBytes);
    }
    return padded;
}

}  // namespace

MemoryBlock ReadFileImage(FileHandle file, uint64_t size)
{
    if (size < kClassifyHeaderSize || size > UINT32_MAX)
        return nullptr;
    ScopedMemoryBlock block(MemoryBlockAlloc(static_cast<size_t>(size)));
    if (!block.get() || !FileSeek(file, 0))
        return nullptr;

    // A short read fails the load rather than decoding stale memory.
    MemoryBlockLockHolder lock(block.get());
    if (!lock.bytes() || !ReadExactly(file, lock.bytes(), size))
        return nullptr;
    return block.release();
}

MemoryBlock ReadThumbnailImage(const wchar_t* name, FileHandle file, uint64_t fileSize, FileKind* kind)
{
    // The kind first, so that archives and unknown files cost no more reads.
    uint8_t header[kClassifyHeaderSize];
    if (fileSize < kClassifyHeaderSize || fileSize > UINT32_MAX || !FileSeek(file, 0) ||
        !ReadExactly(file, header, sizeof header))
        return nullptr;
    FileKind k = ClassifyHeader(name, header);
    if (k >= KindZip)
        return nullptr;

    // The whole file: the 17 bytes already read, then the rest behind them.
    ScopedMemoryBlock block(MemoryBlockAlloc(static_cast<size_t>(fileSize)));
    if (!block.get())
        return nullptr;
    MemoryBlockLockHolder lock(block.get());
    if (!lock.bytes())
        return nullptr;
    memcpy(lock.bytes(), header, sizeof header);
    if (!ReadExactly(file, lock.bytes() + sizeof header, fileSize - sizeof header))
        return nullptr;
    *kind = k;
    return block.release();
}

FileKind ClassifyBlock(const wchar_t* name, MemoryBlock block)
{
    if (MemoryBlockSize(block) < kClassifyHeaderSize)
        return KindNone;
    MemoryBlockLockHolder lock(block);
    return lock.bytes() ? ClassifyHeader(name, lock.bytes()) : KindNone;
}

int LoadOwnImageBlock(MemoryBlock block, DecodedImage* image, int withAlpha)
{
    ScopedMemoryBlock owned(block);
    MemoryBlockLockHolder lock(block);
    if (!lock.bytes())
        return -1;

    // The decoder and the size; the buffers must fit in 32 bits.
    ImageDecoder decoder;
    uint32_t width, height, stride, bytes;
    if (!StartDecoder(lock.bytes(), MemoryBlockSize(block), &decoder, &width, &height) ||
        !PixelBufferSize(width, height, withAlpha, &stride, &bytes))
        return -1;

    // The 32-bit form is the decoder's own output; the 24-bit form pads the
    // decoder's packed rows to the 4-byte stride.
    uint32_t bits = 0;
    ScopedFixed packed(DecodePacked(&decoder, width, height, withAlpha, &bits));
    if (!packed.get())
        return -1;
    uint8_t* pixels = withAlpha ? packed.release() : PadRows(packed.get(), width, height, stride, bytes);
    if (!pixels)
        return -1;
    *image = DecodedImage{width, height, bits, pixels};
    return 0;
}

int LoadOwnImageThumbnail(MemoryBlock block, ThumbnailBlock* thumb, ImageInfo* info)
{
    ScopedMemoryBlock owned(block);
    MemoryBlockLockHolder lock(block);
    if (!lock.bytes())
        return -1;

    // Scaled straight from the packed output, without a padded copy.
    ImageDecoder decoder;
    uint32_t width, height, bits = 0;
    if (!StartDecoder(lock.bytes(), MemoryBlockSize(block), &decoder, &width, &height))
        return -1;
    ScopedFixed packed(DecodePacked(&decoder, width, height, 0, &bits));
    if (!packed.get())
        return -1;
    ScaleToThumbnail(thumb, packed.get(), width, height, ptrdiff_t(width) * 3);
    *info = ImageInfo{width, height, bits};
    return 0;
}
