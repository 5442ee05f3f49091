#include "codec/wic_decoder.h"

#include <mutex>
#include <new>

#include "codec/com_object.h"
#include "codec/stream_image.h"
#include "codec/wic_frame.h"

namespace {

// Hosts may call one decoder from several threads: Initialize and the state
// it sets are guarded; the picture itself never changes once set.
class WicDecoder final : public ComObject<WicDecoder, IWICBitmapDecoder> {
public:
    explicit WicDecoder(const CodecFormat* format) : format_(format) {}
    ~WicDecoder() { ReleaseDecodedImage(&picture_); }

    void* Find(REFIID iid)
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapDecoder))
            return static_cast<IWICBitmapDecoder*>(this);
        return nullptr;
    }

    // IWICBitmapDecoder
    // Some images only: damaged files and the depths the decoders refuse
    // (8- and 24-bit PIC, 12-bit P2) carry the same leading bytes.
    HRESULT STDMETHODCALLTYPE QueryCapability(IStream* stream, DWORD* capability) override
    {
        if (!stream || !capability)
            return E_INVALIDARG;
        // A stream too short to classify is simply not this format.
        FileKind kind = KindNone;
        HRESULT hr = ClassifyStream(stream, &kind);
        if (hr == WINCODEC_ERR_STREAMREAD)
            kind = KindNone;
        else if (FAILED(hr))
            return hr;
        *capability = kind == format_->kind ? WICBitmapDecoderCapabilityCanDecodeSomeImages : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, WICDecodeOptions) override
    {
        if (!stream)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        if (ready_)
            return WINCODEC_ERR_WRONGSTATE;
        FileKind kind = KindNone;
        HRESULT hr = DecodeStreamImage(stream, &format_->kind, &picture_, &kind);
        if (SUCCEEDED(hr))
            ready_ = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) override
    {
        if (!format)
            return E_INVALIDARG;
        *format = format_->container;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDecoderInfo(IWICBitmapDecoderInfo** info) override
    {
        if (!info)
            return E_INVALIDARG;
        *info = nullptr;
        IWICImagingFactory* factory = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr))
            return hr;
        IWICComponentInfo* component = nullptr;
        hr = factory->CreateComponentInfo(format_->decoder, &component);
        factory->Release();
        if (FAILED(hr))
            return hr;
        hr = component->QueryInterface(IID_IWICBitmapDecoderInfo, reinterpret_cast<void**>(info));
        component->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
    HRESULT STDMETHODCALLTYPE GetMetadataQueryReader(IWICMetadataQueryReader** reader) override
    {
        return NoMetadataReader(reader);
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override
    {
        if (preview)
            *preview = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT* actual) override
    {
        return NoColorContexts(actual);
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override
    {
        return NoEmbeddedThumbnail(thumbnail);
    }
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override
    {
        if (!count)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready_)
            return WINCODEC_ERR_NOTINITIALIZED;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFrame(UINT index, IWICBitmapFrameDecode** frame) override
    {
        if (!frame)
            return E_INVALIDARG;
        *frame = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ready_)
            return WINCODEC_ERR_NOTINITIALIZED;
        if (index != 0)
            return E_INVALIDARG;
        return CreateWicFrame(static_cast<IWICBitmapDecoder*>(this), &picture_, frame);
    }

private:
    const CodecFormat* format_;
    std::mutex mutex_;
    bool ready_ = false;
    DecodedImage picture_{};
};

}  // namespace

HRESULT CreateWicDecoder(const CodecFormat* format, REFIID iid, void** object)
{
    WicDecoder* decoder = new (std::nothrow) WicDecoder(format);
    if (!decoder)
        return E_OUTOFMEMORY;
    return decoder->Hand(iid, object);
}
