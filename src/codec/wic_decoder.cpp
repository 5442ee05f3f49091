#include "codec/wic_decoder.h"

#include <new>

#include "codec/module_state.h"
#include "codec/stream_image.h"
#include "codec/wic_frame.h"

namespace {

// Holds a critical section for the life of the object.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
    ~SectionLock() { LeaveCriticalSection(section_); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION* section_;
};

// Hosts may call one decoder from several threads: Initialize and the state
// it sets are guarded; the picture itself never changes once set.
class WicDecoder final : public IWICBitmapDecoder {
public:
    explicit WicDecoder(const CodecFormat* format) : format_(format) { InitializeCriticalSection(&section_); }
    ~WicDecoder()
    {
        ReleaseDecodedImage(&picture_);
        DeleteCriticalSection(&section_);
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapDecoder)) {
            *object = static_cast<IWICBitmapDecoder*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
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
        SectionLock lock(&section_);
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
        if (reader)
            *reader = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetPreview(IWICBitmapSource** preview) override
    {
        if (preview)
            *preview = nullptr;
        return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    }
    HRESULT STDMETHODCALLTYPE GetColorContexts(UINT, IWICColorContext**, UINT* actual) override
    {
        if (!actual)
            return E_INVALIDARG;
        *actual = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetThumbnail(IWICBitmapSource** thumbnail) override
    {
        if (thumbnail)
            *thumbnail = nullptr;
        return WINCODEC_ERR_CODECNOTHUMBNAIL;
    }
    HRESULT STDMETHODCALLTYPE GetFrameCount(UINT* count) override
    {
        if (!count)
            return E_INVALIDARG;
        SectionLock lock(&section_);
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
        SectionLock lock(&section_);
        if (!ready_)
            return WINCODEC_ERR_NOTINITIALIZED;
        if (index != 0)
            return E_INVALIDARG;
        return CreateWicFrame(static_cast<IWICBitmapDecoder*>(this), &picture_, frame);
    }

private:
    ModuleObjectCount count_;
    LONG refs_ = 1;
    const CodecFormat* format_;
    CRITICAL_SECTION section_;
    bool ready_ = false;
    DecodedImage picture_{};
};

}  // namespace

HRESULT CreateWicDecoder(const CodecFormat* format, REFIID iid, void** object)
{
    WicDecoder* decoder = new (std::nothrow) WicDecoder(format);
    if (!decoder)
        return E_OUTOFMEMORY;
    HRESULT hr = decoder->QueryInterface(iid, object);
    decoder->Release();
    return hr;
}
