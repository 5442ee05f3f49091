// The one frame of a decoded own-format picture. The frame keeps its
// decoder alive (through owner) and reads the picture, which does not change
// after the decoder's Initialize, without a lock.
#pragma once

#include <wincodec.h>

#include "image/decoded_image.h"

// Creates the frame over picture, which lives as long as owner; the frame
// holds a reference to owner.
HRESULT CreateWicFrame(IUnknown* owner, const DecodedImage* picture, IWICBitmapFrameDecode** frame);

// Copies the rectangle rect (the whole picture when rect is nullptr) of a
// 24-bit picture into buffer, rows stride bytes apart. Returns E_INVALIDARG
// for a rectangle outside the picture or a stride shorter than a row,
// WINCODEC_ERR_INSUFFICIENTBUFFER when bufferSize cannot hold it.
HRESULT CopyPicturePixels(const DecodedImage& picture, const WICRect* rect, UINT stride, UINT bufferSize,
                          BYTE* buffer);

// What the decoder and its frame both lack: metadata, colour contexts and
// an embedded thumbnail. Each clears the out-pointer it is given.
HRESULT NoMetadataReader(IWICMetadataQueryReader** reader);
HRESULT NoColorContexts(UINT* actual);
HRESULT NoEmbeddedThumbnail(IWICBitmapSource** thumbnail);
