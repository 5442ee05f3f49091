#include "codec/thumbnail_provider.h"

#include <mutex>
#include <new>
#include <propsys.h>
#include <thumbcache.h>

#include "codec/com_object.h"
#include "codec/stream_image.h"
#include "image/thumbnail.h"

namespace {

class ThumbnailProvider final
    : public ComObject<ThumbnailProvider, IInitializeWithStream, IThumbnailProvider> {
public:
    ~ThumbnailProvider() { ReleaseDecodedImage(&picture_); }

    void* Find(REFIID iid)
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInitializeWithStream))
            return static_cast<IInitializeWithStream*>(this);
        if (IsEqualIID(iid, __uuidof(IThumbnailProvider)))
            return static_cast<IThumbnailProvider*>(this);
        return nullptr;
    }

    // IInitializeWithStream: the picture is decoded here, once.
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD) override
    {
        if (!stream)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        if (picture_.pixels)
            return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
        FileKind kind = KindNone;
        return DecodeStreamImage(stream, nullptr, &picture_, &kind);
    }

    // IThumbnailProvider
    HRESULT STDMETHODCALLTYPE GetThumbnail(UINT side, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override
    {
        if (!bitmap || !alpha)
            return E_INVALIDARG;
        *bitmap = nullptr;
        *alpha = WTSAT_RGB;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!picture_.pixels)
            return E_UNEXPECTED;
        return MakeThumbnailBitmap(picture_.pixels, picture_.width, picture_.height,
                                   static_cast<ptrdiff_t>(Stride24(picture_.width)), side, bitmap);
    }

private:
    std::mutex mutex_;
    DecodedImage picture_{};
};

}  // namespace

HRESULT MakeThumbnailBitmap(const uint8_t* pixels, uint32_t width, uint32_t height, ptrdiff_t stride, UINT side,
                            HBITMAP* bitmap)
{
    if (side == 0 || side > kMaxThumbnailRequest || width == 0 || height == 0)
        return E_INVALIDARG;
    uint32_t dw, dh;
    FitIntoSquare(width, height, side, &dw, &dh);

    // Scaled first into packed rows, then widened to the bitmap's 32 bits.
    ScopedFixed packed(FixedAlloc(size_t(dw) * dh * 3));
    if (!packed.get() || !ScaleToSize(pixels, width, height, stride, packed.get(), dw, dh, ptrdiff_t(dw) * 3))
        return E_OUTOFMEMORY;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(dw);
    info.bmiHeader.biHeight = -static_cast<LONG>(dh);  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!made || !bits) {
        if (made)
            DeleteObject(made);
        return E_OUTOFMEMORY;
    }
    const uint8_t* from = packed.get();
    uint8_t* to = static_cast<uint8_t*>(bits);
    for (size_t i = 0; i < size_t(dw) * dh; ++i, from += 3, to += 4) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        to[3] = 255;
    }
    *bitmap = made;
    return S_OK;
}

HRESULT CreateThumbnailProvider(REFIID iid, void** object)
{
    ThumbnailProvider* provider = new (std::nothrow) ThumbnailProvider();
    if (!provider)
        return E_OUTOFMEMORY;
    return provider->Hand(iid, object);
}
