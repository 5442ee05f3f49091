// The image loading pipeline's portable half: reading a whole file into a
// movable memory block, classifying a block, and the own-decoder road from a
// block to a DecodedImage or straight to a thumbnail. The program, zizeconv
// and the fuzzers all decode the own formats through these functions; the
// Windows entry points (load_image_win.h) add the imaging library's road.
#pragma once

#include <cstdint>

#include "image/classify.h"
#include "image/decoded_image.h"
#include "image/thumbnail.h"
#include "platform/file.h"
#include "platform/memory_block.h"

// Reads the first size bytes of an open file, from offset 0, into a new
// movable block. Returns nullptr when size is below 17 or does not fit in
// 32 bits, when the memory cannot be had, or when the file gives fewer bytes
// than size (a file that shrank after its size was taken).
MemoryBlock ReadFileImage(FileHandle file, uint64_t size);

// The first steps of the thumbnail loader: reads and classifies the file's
// first 17 bytes and, for a picture (kind below 13), reads the whole file of
// fileSize bytes into a new block, storing the kind. Returns nullptr for an
// archive or an unknown kind, a short read, a size below 17 or past 32 bits,
// or a failed allocation.
MemoryBlock ReadThumbnailImage(const wchar_t* name, FileHandle file, uint64_t fileSize, FileKind* kind);

// Classifies a file image by name and its first 17 bytes; KindNone when the
// block holds fewer than 17 bytes or cannot be locked.
FileKind ClassifyBlock(const wchar_t* name, MemoryBlock block);

// The own-decoder road: decodes the file image in block into image, in the
// 32-bit form with withAlpha, else in the 24-bit form. Consumes block (it is
// released on every path). Returns 0, or -1 when no own decoder takes the
// data, it gives no size, the buffer would not fit in 32 bits, the decoder
// fails, or memory runs out; nothing is handed over then.
int LoadOwnImageBlock(MemoryBlock block, DecodedImage* image, int withAlpha);

// The own-decoder road to a thumbnail: decodes block and scales the packed
// result into thumb, storing the picture's size and depth in info. Consumes
// block. Returns 0, or -1 as LoadOwnImageBlock does; thumb is unchanged then.
int LoadOwnImageThumbnail(MemoryBlock block, ThumbnailBlock* thumb, ImageInfo* info);
