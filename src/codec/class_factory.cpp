#include "codec/class_factory.h"

#include <new>

#include "codec/codec_formats.h"
#include "codec/com_object.h"
#include "codec/thumbnail_provider.h"
#include "codec/wic_decoder.h"

namespace {

// Makes the objects of one class: a decoder when format is set, the
// thumbnail handler otherwise.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const CodecFormat* format) : format_(format) {}

    void* Find(REFIID iid)
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory))
            return static_cast<IClassFactory*>(this);
        return nullptr;
    }

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return format_ ? CreateWicDecoder(format_, iid, object) : CreateThumbnailProvider(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        ModuleLock(lock != FALSE);
        return S_OK;
    }

private:
    const CodecFormat* format_;
};

}  // namespace

HRESULT GetCodecClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const CodecFormat* format = FindCodecFormatByClass(clsid);
    if (!format && !IsEqualCLSID(clsid, CLSID_ZizeThumbnailProvider))
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory(format);
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->Hand(iid, object);
}
