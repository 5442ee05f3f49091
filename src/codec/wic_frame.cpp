#include "codec/wic_frame.h"

#include <cstring>
#include <new>

#include "codec/com_object.h"

namespace {

class WicFrame final : public ComObject<WicFrame, IWICBitmapFrameDecode> {
public:
    WicFrame(IUnknown* owner, const DecodedImage* picture) : owner_(owner), picture_(picture)
    {
        owner_->AddRef();
    }
    ~WicFrame() { owner_->Release(); }

    void* Find(REFIID iid)
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapSource) ||
            IsEqualIID(iid, IID_IWICBitmapFrameDecode))
            return static_cast<IWICBitmapFrameDecode*>(this);
        return nullptr;
    }

    // IWICBitmapSource
    HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override
    {
        if (!width || !height)
            return E_INVALIDARG;
        *width = picture_->width;
        *height = picture_->height;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override
    {
        if (!format)
            return E_INVALIDARG;
        *format = GUID_WICPixelFormat24bppBGR;
        return S_OK;
    }
    // The formats state no resolution; the screen's customary 96 dpi.
    HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override
    {
        if (!dpiX || !dpiY)
            return E_INVALIDARG;
        *dpiX = 96.0;
        *dpiY = 96.0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override
    {
        return CopyPicturePixels(*picture_, rect, stride, bufferSize, buffer);
    }

    // IWICBitmapFrameDecode
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override
    {
        return NoMetadataReader(reader);
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT* actual) override
    {
        return NoColorContexts(actual);
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override
    {
        return NoEmbeddedThumbnail(thumbnail);
    }

private:
    IUnknown* owner_;
    const DecodedImage* picture_;
};

}  // namespace

HRESULT CopyPicturePixels(const DecodedImage& picture, const WICRect* rect, UINT stride, UINT bufferSize,
                          BYTE* buffer)
{
    // The rectangle, checked in 64 bits against the picture.
    WICRect whole = {0, 0, static_cast<INT>(picture.width), static_cast<INT>(picture.height)};
    const WICRect& r = rect ? *rect : whole;
    if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 || int64_t(r.X) + r.Width > int64_t(picture.width) ||
        int64_t(r.Y) + r.Height > int64_t(picture.height))
        return E_INVALIDARG;
    if (r.Width == 0 || r.Height == 0)
        return S_OK;

    // The caller's buffer: every row but the last takes stride bytes.
    uint64_t rowBytes = 3 * uint64_t(r.Width);
    if (stride < rowBytes)
        return E_INVALIDARG;
    if (uint64_t(stride) * (uint64_t(r.Height) - 1) + rowBytes > bufferSize)
        return WINCODEC_ERR_INSUFFICIENTBUFFER;
    if (!buffer)
        return E_INVALIDARG;

    uint64_t sourceStride = Stride24(picture.width);
    for (INT y = 0; y < r.Height; ++y) {
        const uint8_t* from = picture.pixels + sourceStride * (uint64_t(r.Y) + y) + 3 * uint64_t(r.X);
        memcpy(buffer + uint64_t(stride) * y, from, rowBytes);
    }
    return S_OK;
}

HRESULT NoMetadataReader(IWICMetadataQueryReader** reader)
{
    if (reader)
        *reader = nullptr;
    return WINCODEC_ERR_UNSUPPORTEDOPERATION;
}

HRESULT NoColorContexts(UINT* actual)
{
    if (!actual)
        return E_INVALIDARG;
    *actual = 0;
    return S_OK;
}

HRESULT NoEmbeddedThumbnail(IWICBitmapSource** thumbnail)
{
    if (thumbnail)
        *thumbnail = nullptr;
    return WINCODEC_ERR_CODECNOTHUMBNAIL;
}

HRESULT CreateWicFrame(IUnknown* owner, const DecodedImage* picture, IWICBitmapFrameDecode** frame)
{
    WicFrame* made = new (std::nothrow) WicFrame(owner, picture);
    if (!made)
        return E_OUTOFMEMORY;
    *frame = made;
    return S_OK;
}
