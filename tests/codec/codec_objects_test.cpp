// The codec's objects taken straight from its class objects, without the
// imaging factory in between: the decoder's states and HRESULTs, reads that
// stay inside what the stream holds, CopyPixels' checks, the thumbnail
// handler's sizes, and DllCanUnloadNow's counting in the built DLL.
#include <windows.h>
#include <propsys.h>
#include <thumbcache.h>
#include <wincodec.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "codec/class_factory.h"
#include "codec/codec_formats.h"
#include "codec/codec_test_support.h"
#include "codec/stream_image.h"
#include "image/thumbnail.h"
#include "support/fixtures.h"

namespace {

const char kMag640[] = "mag/s01_grad_640x400_mag16.mag";
const char kMagTall[] = "mag/s08_checker_33x65_mag256.mag";
const char kPi[] = "pi/s07_text_123x77_pi16.pi";

// A stream over bytes that reports size through Stat (which may be more or
// less than it holds) and remembers the furthest byte read.
class MeasuredStream final : public IStream {
public:
    MeasuredStream(std::vector<uint8_t> bytes, uint64_t statSize) : bytes_(std::move(bytes)), statSize_(statSize) {}
    uint64_t furthest() const { return furthest_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) ||
            IsEqualIID(iid, IID_ISequentialStream)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* to, ULONG count, ULONG* read) override
    {
        uint64_t n = position_ < bytes_.size() ? std::min<uint64_t>(count, bytes_.size() - position_) : 0;
        memcpy(to, bytes_.data() + position_, size_t(n));
        position_ += n;
        furthest_ = std::max(furthest_, position_);
        if (read)
            *read = static_cast<ULONG>(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override
    {
        int64_t base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? int64_t(position_) : int64_t(statSize_);
        if (base + move.QuadPart < 0)
            return STG_E_INVALIDFUNCTION;
        position_ = uint64_t(base + move.QuadPart);
        if (now)
            now->QuadPart = position_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = statSize_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t statSize_;
    uint64_t position_ = 0;
    uint64_t furthest_ = 0;
};

// An object of one of the codec's classes, made by its class object.
template <typename T>
HRESULT Create(REFCLSID clsid, REFIID iid, ComPtr<T>* object)
{
    ComPtr<IClassFactory> factory;
    HRESULT hr = GetCodecClassObject(clsid, IID_IClassFactory, factory.put_void());
    return SUCCEEDED(hr) ? factory->CreateInstance(nullptr, iid, object->put_void()) : hr;
}

std::vector<uint8_t> Fixture(const char* name)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFixture(name, &bytes)) << name;
    return bytes;
}

class CodecObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_FIXTURES();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(CodecObjects, DecoderStatesAndRefusals)
{
    const CodecFormat* mag = FindCodecFormatByKind(KindMag);
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(S_OK, Create(mag->decoder, IID_IWICBitmapDecoder, &decoder));
    UINT frames = 0;
    ComPtr<IWICBitmapFrameDecode> frame;
    EXPECT_EQ(WINCODEC_ERR_NOTINITIALIZED, decoder->GetFrameCount(&frames));
    EXPECT_EQ(WINCODEC_ERR_NOTINITIALIZED, decoder->GetFrame(0, frame.put()));

    // QueryCapability reads the header and puts the position back.
    MeasuredStream pi(Fixture(kPi), Fixture(kPi).size());
    MeasuredStream picture(Fixture(kMag640), Fixture(kMag640).size());
    LARGE_INTEGER five;
    five.QuadPart = 5;
    ULARGE_INTEGER at = {};
    DWORD capability = 99;
    picture.Seek(five, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(S_OK, decoder->QueryCapability(&picture, &capability));
    EXPECT_EQ(DWORD(WICBitmapDecoderCapabilityCanDecodeSomeImages), capability);
    LARGE_INTEGER zero = {};
    picture.Seek(zero, STREAM_SEEK_CUR, &at);
    EXPECT_EQ(5u, at.QuadPart);
    EXPECT_EQ(S_OK, decoder->QueryCapability(&pi, &capability));
    EXPECT_EQ(0u, capability);

    // Another format is refused and leaves the decoder usable.
    EXPECT_EQ(WINCODEC_ERR_UNKNOWNIMAGEFORMAT, decoder->Initialize(&pi, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(S_OK, decoder->Initialize(&picture, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(WINCODEC_ERR_WRONGSTATE, decoder->Initialize(&picture, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(S_OK, decoder->GetFrameCount(&frames));
    EXPECT_EQ(1u, frames);
    EXPECT_EQ(E_INVALIDARG, decoder->GetFrame(1, frame.put()));
    GUID container = GUID_NULL;
    EXPECT_EQ(S_OK, decoder->GetContainerFormat(&container));
    EXPECT_TRUE(IsEqualGUID(mag->container, container));
    EXPECT_EQ(WINCODEC_ERR_PALETTEUNAVAILABLE, decoder->CopyPalette(nullptr));
}

TEST_F(CodecObjects, ReadsStayInsideWhatTheStreamSaysItHolds)
{
    const CodecFormat* mag = FindCodecFormatByKind(KindMag);
    std::vector<uint8_t> bytes = Fixture(kMagTall);

    // A stream holding more than it admits: only the admitted bytes are
    // read, and the picture is what the core makes of them.
    for (uint64_t admitted : {uint64_t(40), uint64_t(bytes.size() / 2), uint64_t(bytes.size())}) {
        MeasuredStream stream(bytes, admitted);
        ComPtr<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, Create(mag->decoder, IID_IWICBitmapDecoder, &decoder));
        HRESULT hr = decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand);
        EXPECT_LE(stream.furthest(), admitted);
        Packed core = DecodeWithCore(std::vector<uint8_t>(bytes.begin(), bytes.begin() + admitted));
        EXPECT_EQ(core.ok, SUCCEEDED(hr)) << admitted;
    }

    // A stream that holds less than it says fails to read; so does one too
    // large for the loaders.
    MeasuredStream short_(bytes, bytes.size() + 100);
    MeasuredStream huge(bytes, kMaxStreamImageSize + 1);
    for (MeasuredStream* stream : {&short_, &huge}) {
        ComPtr<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, Create(mag->decoder, IID_IWICBitmapDecoder, &decoder));
        EXPECT_TRUE(FAILED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)));
        EXPECT_LE(stream->furthest(), bytes.size());
    }
}

TEST_F(CodecObjects, CopyPixelsChecksTheRectangleStrideAndBuffer)
{
    std::vector<uint8_t> bytes = Fixture(kPi);
    Packed core = DecodeWithCore(bytes);
    MeasuredStream stream(bytes, bytes.size());
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(S_OK, Create(FindCodecFormatByKind(KindPi)->decoder, IID_IWICBitmapDecoder, &decoder));
    ASSERT_EQ(S_OK, decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand));
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.put()));

    // A rectangle inside, into rows padded to 64 bytes.
    WICRect rect = {7, 11, 20, 5};
    std::vector<uint8_t> buffer(64 * 5, 0xEE);
    ASSERT_EQ(S_OK, frame->CopyPixels(&rect, 64, static_cast<UINT>(buffer.size()), buffer.data()));
    for (int y = 0; y < 5; ++y) {
        const uint8_t* want = core.pixels.data() + 3 * (size_t(core.width) * (11 + y) + 7);
        EXPECT_TRUE(std::equal(want, want + 60, buffer.begin() + 64 * y)) << "row " << y;
        EXPECT_EQ(0xEE, buffer[64 * y + 60]);
    }

    // The last row needs only its own bytes; one byte fewer is too few.
    EXPECT_EQ(S_OK, frame->CopyPixels(&rect, 64, 64 * 4 + 60, buffer.data()));
    EXPECT_EQ(WINCODEC_ERR_INSUFFICIENTBUFFER, frame->CopyPixels(&rect, 64, 64 * 4 + 59, buffer.data()));
    EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(&rect, 59, static_cast<UINT>(buffer.size()), buffer.data()));
    WICRect outside[] = {{-1, 0, 2, 2}, {0, 0, 124, 1}, {100, 70, 24, 7}, {0, 0, 1, -1}, {0x7FFFFFFF, 0, 2, 1}};
    for (const WICRect& r : outside)
        EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(&r, 64, static_cast<UINT>(buffer.size()), buffer.data()));
}

// The bitmap's size and its pixels as blue, green, red rows.
Packed BitmapPixels(HBITMAP bitmap)
{
    Packed out;
    DIBSECTION section = {};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || section.dsBm.bmBitsPixel != 32)
        return out;
    out.ok = true;
    out.width = section.dsBm.bmWidth;
    out.height = section.dsBm.bmHeight;
    const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    for (size_t i = 0; i < size_t(out.width) * out.height; ++i)
        out.pixels.insert(out.pixels.end(), bits + 4 * i, bits + 4 * i + 3);
    return out;
}

TEST_F(CodecObjects, ThumbnailFitsThePictureIntoTheAskedSquare)
{
    struct Case {
        const char* name;
        UINT side;
        uint32_t width, height;
    } cases[] = {{kMag640, 256, 256, 160}, {kMagTall, 100, 55, 100}, {kPi, 32, 32, 20}, {kPi, 500, 500, 313}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = Fixture(c.name);
        Packed core = DecodeWithCore(bytes);
        ComPtr<IInitializeWithStream> init;
        ASSERT_EQ(S_OK, Create(CLSID_ZizeThumbnailProvider, IID_IInitializeWithStream, &init));
        ComPtr<IThumbnailProvider> provider;
        ASSERT_EQ(S_OK, init->QueryInterface(__uuidof(IThumbnailProvider), provider.put_void()));
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        EXPECT_EQ(E_UNEXPECTED, provider->GetThumbnail(c.side, &bitmap, &alpha));

        MeasuredStream stream(bytes, bytes.size());
        ASSERT_EQ(S_OK, init->Initialize(&stream, STGM_READ));
        EXPECT_EQ(E_INVALIDARG, provider->GetThumbnail(0, &bitmap, &alpha));
        ASSERT_EQ(S_OK, provider->GetThumbnail(c.side, &bitmap, &alpha)) << c.name;
        EXPECT_EQ(WTSAT_RGB, alpha);
        Packed got = BitmapPixels(bitmap);
        DeleteObject(bitmap);
        ASSERT_TRUE(got.ok);
        EXPECT_EQ(c.width, got.width) << c.name;
        EXPECT_EQ(c.height, got.height) << c.name;

        // The same 2 x 2 sampling as the program's thumbnails.
        std::vector<uint8_t> want(size_t(c.width) * c.height * 3);
        ASSERT_TRUE(ScaleToSize(core.pixels.data(), core.width, core.height, 3 * core.width, want.data(), c.width,
                                c.height, 3 * c.width));
        EXPECT_TRUE(want == got.pixels) << c.name;
    }

    // A refused file gives no thumbnail.
    std::vector<uint8_t> refused;
    ASSERT_TRUE(ReadFixture("pic/s05_edges_8x3_pic24.pic", &refused));
    MeasuredStream stream(refused, refused.size());
    ComPtr<IInitializeWithStream> init;
    ASSERT_EQ(S_OK, Create(CLSID_ZizeThumbnailProvider, IID_IInitializeWithStream, &init));
    EXPECT_TRUE(FAILED(init->Initialize(&stream, STGM_READ)));
}

TEST_F(CodecObjects, DllCanUnloadNowCountsObjectsAndLocks)
{
    HMODULE dll = LoadLibraryW(CodecDllPath().c_str());
    ASSERT_NE(nullptr, dll);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(dll, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<CanUnload>(GetProcAddress(dll, "DllCanUnloadNow"));
    ASSERT_NE(nullptr, getClassObject);
    ASSERT_NE(nullptr, canUnload);
    EXPECT_EQ(S_OK, canUnload());

    IClassFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    void* none = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(GUID_ZizeVendor, IID_IClassFactory, &none));
    ASSERT_EQ(S_OK, getClassObject(kCodecFormats[2].decoder, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_FALSE, canUnload());
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IWICBitmapDecoder, reinterpret_cast<void**>(&decoder)));
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(S_FALSE, canUnload());  // the decoder and the lock
    decoder->Release();
    EXPECT_EQ(S_FALSE, canUnload());  // the lock
    // The lock is released through a fresh factory, which is counted too.
    ASSERT_EQ(S_OK, getClassObject(CLSID_ZizeThumbnailProvider, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    factory->LockServer(FALSE);
    EXPECT_EQ(S_FALSE, canUnload());
    factory->Release();
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(dll);
}

}  // namespace
