// The shell's thumbnail handler for the five own formats: it takes the file
// as a stream (IInitializeWithStream), decodes it at once and answers
// IThumbnailProvider::GetThumbnail with the picture fitted into the asked
// square, proportions kept: a bitmap whose longer side is the asked size,
// 32 bits a pixel, without alpha.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The largest square asked for that is answered (Explorer asks at most 2560).
constexpr UINT kMaxThumbnailRequest = 4096;

// Creates a thumbnail handler and returns the interface iid asks for.
HRESULT CreateThumbnailProvider(REFIID iid, void** object);

// Makes a top-down 32-bit bitmap of the 24-bit picture (rows stride bytes
// apart) scaled into a side x side square. Returns S_OK and the bitmap (the
// caller deletes it), E_INVALIDARG for a size of 0 or above the cap, or
// E_OUTOFMEMORY.
HRESULT MakeThumbnailBitmap(const uint8_t* pixels, uint32_t width, uint32_t height, ptrdiff_t stride, UINT side,
                            HBITMAP* bitmap);
