// The road from a stream handed over by a host (the imaging component, the
// shell) to a decoded picture: the whole stream is read into a file image
// through IStream alone, classified, and decoded by the own decoders.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "image/classify.h"
#include "image/decoded_image.h"
#include "platform/memory_block.h"

// The largest stream taken, the same cap as for files: the size must fit in
// 32 bits.
constexpr uint64_t kMaxStreamImageSize = 0xFFFFFFFFu;

// Reads the stream's first 17 bytes from offset 0 and classifies them (no
// name, so never TGA), then puts the seek position back where it was.
// Returns S_OK with the kind, or a failure for a shorter stream or a failed
// read or seek.
HRESULT ClassifyStream(IStream* stream, FileKind* kind);

// Reads the whole stream, from offset 0 to the size IStream::Stat reports,
// into a new file image. Returns S_OK and the block (the caller owns it);
// WINCODEC_ERR_UNKNOWNIMAGEFORMAT for fewer than 17 bytes,
// WINCODEC_ERR_IMAGESIZEOUTOFRANGE past the cap, E_OUTOFMEMORY, or
// WINCODEC_ERR_STREAMREAD when the stream gives fewer bytes than it said.
HRESULT ReadStreamImage(IStream* stream, MemoryBlock* block);

// Reads and decodes the stream into image in the 24-bit form when its kind
// is one the codec takes and, with only, that kind. Stores the kind.
// Returns S_OK; WINCODEC_ERR_UNKNOWNIMAGEFORMAT for another kind;
// WINCODEC_ERR_BADIMAGE when the decoder refuses or fails; or a failure of
// ReadStreamImage. image is untouched on failure.
HRESULT DecodeStreamImage(IStream* stream, const FileKind* only, DecodedImage* image, FileKind* kind);
