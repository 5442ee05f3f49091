#include "image/bmp.h"

#include <cstring>

#include "image/dib.h"
#include "platform/file_write.h"

bool FillBmpHeader(uint32_t width, uint32_t height, uint8_t out[kBmpHeaderSize])
{
    uint8_t* info = out + kBmpFileHeaderSize;
    if (!FillBmpInfoHeader(width, height, info))
        return false;

    // The file size must fit its 32-bit field too.
    uint64_t imageSize = Stride24(width) * height;
    uint64_t fileSize = kBmpHeaderSize + imageSize;
    if (fileSize > UINT32_MAX)
        return false;

    memset(out, 0, kBmpFileHeaderSize);
    out[0] = 'B';
    out[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        out[2 + i] = static_cast<uint8_t>(fileSize >> (8 * i));     // file size
        out[10 + i] = static_cast<uint8_t>(kBmpHeaderSize >> (8 * i));  // pixel data offset
    }
    return true;
}

int WriteBmpFile(const DecodedImage* image, const wchar_t* path)
{
    uint8_t header[kBmpHeaderSize];
    if (!image->pixels || !FillBmpHeader(image->width, image->height, header))
        return -1;
    ScopedFile file(FileCreateForWrite(path));
    if (!file.valid())
        return -1;
    if (!FileWriteAll(file.get(), header, kBmpFileHeaderSize) ||
        !FileWriteAll(file.get(), header + kBmpFileHeaderSize, kBmpInfoHeaderSize))
        return -1;

    // The rows go out through a chunk buffer in which each row's padding is
    // zero, whatever the picture's buffer holds there.
    const size_t rowBytes = 3 * size_t(image->width);
    const size_t stride = size_t(Stride24(image->width));
    uint8_t chunk[64 * 1024];
    size_t used = 0;
    for (size_t r = 0; r < image->height; ++r) {
        const uint8_t* row = image->pixels + r * stride;
        for (size_t done = 0; done < stride;) {
            if (used == sizeof chunk) {
                if (!FileWriteAll(file.get(), chunk, used))
                    return -1;
                used = 0;
            }
            size_t n = stride - done;
            if (n > sizeof chunk - used)
                n = sizeof chunk - used;
            size_t copy = done < rowBytes ? rowBytes - done : 0;
            if (copy > n)
                copy = n;
            memcpy(chunk + used, row + done, copy);
            memset(chunk + used + copy, 0, n - copy);
            used += n;
            done += n;
        }
    }
    if (used && !FileWriteAll(file.get(), chunk, used))
        return -1;
    return 0;
}
