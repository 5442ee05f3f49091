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

// Runs the decoder into a new buffer of bytes bytes, which must hold at
// least width x height x (3 + withAlpha); returns it (the caller frees it)
// and stores the depth, or nullptr when memory runs out or the decoder fails.
uint8_t* RunDecoder(const ImageDecoder* decoder, uint32_t bytes, int withAlpha, uint32_t* bits)
{
    ScopedFixed buffer(FixedAlloc(bytes));
    if (!buffer.get())
        return nullptr;
    int depth = DecodeImage(decoder, buffer.get(), bytes, withAlpha ? 1 : 0);
    if (depth <= 0)
        return nullptr;
    *bits = static_cast<uint32_t>(depth);
    return buffer.release();
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

    // The 32-bit form is the decoder's own output; the 24-bit form is the
    // decoder's packed rows spread to the 4-byte stride.
    uint32_t bits = 0;
    uint8_t* pixels = RunDecoder(&decoder, bytes, withAlpha, &bits);
    if (!pixels)
        return -1;
    if (!withAlpha)
        SpreadPackedRows(pixels, width, height, stride);
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
    uint64_t packedBytes = 3 * uint64_t(width) * height;
    if (packedBytes > UINT32_MAX)
        return -1;
    ScopedFixed packed(RunDecoder(&decoder, static_cast<uint32_t>(packedBytes), 0, &bits));
    if (!packed.get())
        return -1;
    ScaleToThumbnail(thumb, packed.get(), width, height, ptrdiff_t(width) * 3);
    *info = ImageInfo{width, height, bits};
    return 0;
}
