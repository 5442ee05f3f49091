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

// A stream over a fixture whose Stat reports size (more or less than it
// holds) and which remembers the furthest byte read. It lives on the stack.
class MeasuredStream final : public IStream {
public:
    MeasuredStream(const char* fixture, int64_t sizeChange = 0)
    {
        EXPECT_TRUE(ReadFixture(fixture, &bytes));
        size = bytes.size() + sizeChange;
    }
    std::vector<uint8_t> bytes;
    uint64_t size = 0, position = 0, furthest = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* to, ULONG count, ULONG* read) override
    {
        uint64_t n = position < bytes.size() ? std::min<uint64_t>(count, bytes.size() - position) : 0;
        memcpy(to, bytes.data() + position, size_t(n));
        position += n;
        furthest = std::max(furthest, position);
        *read = static_cast<ULONG>(n);
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override
    {
        position = (origin == STREAM_SEEK_CUR ? position : origin == STREAM_SEEK_END ? size : 0) + move.QuadPart;
        if (now)
            now->QuadPart = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        *stat = STATSTG{};
        stat->cbSize.QuadPart = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

// An object of one of the codec's classes, made by its class object.
template <typename T>
HRESULT Create(REFCLSID clsid, REFIID iid, ComPtr<T>* object)
{
    ComPtr<IClassFactory> factory;
    HRESULT hr = GetCodecClassObject(clsid, IID_IClassFactory, factory.put_void());
    return SUCCEEDED(hr) ? factory->CreateInstance(nullptr, iid, object->put_void()) : hr;
}

class CodecObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_FIXTURES();
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, Create(FindCodecFormatByKind(KindMag)->decoder, IID_IWICBitmapDecoder, &mag));
    }
    void TearDown() override
    {
        mag.reset();
        CoUninitialize();
    }
    ComPtr<IWICBitmapDecoder> mag;
};

TEST_F(CodecObjects, DecoderStatesAndRefusals)
{
    UINT frames = 0;
    ComPtr<IWICBitmapFrameDecode> frame;
    EXPECT_EQ(WINCODEC_ERR_NOTINITIALIZED, mag->GetFrame(0, frame.put()));

    // QueryCapability reads the header and puts the position back.
    MeasuredStream pi(kPi), picture(kMag640);
    picture.position = 5;
    DWORD capability = 99;
    EXPECT_EQ(S_OK, mag->QueryCapability(&picture, &capability));
    EXPECT_EQ(DWORD(WICBitmapDecoderCapabilityCanDecodeSomeImages), capability);
    EXPECT_EQ(5u, picture.position);
    EXPECT_EQ(S_OK, mag->QueryCapability(&pi, &capability));
    EXPECT_EQ(0u, capability);

    // Another format is refused and leaves the decoder usable; once is all.
    EXPECT_EQ(WINCODEC_ERR_UNKNOWNIMAGEFORMAT, mag->Initialize(&pi, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(S_OK, mag->Initialize(&picture, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(WINCODEC_ERR_WRONGSTATE, mag->Initialize(&picture, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(S_OK, mag->GetFrameCount(&frames));
    EXPECT_EQ(1u, frames);
    EXPECT_EQ(E_INVALIDARG, mag->GetFrame(1, frame.put()));
    EXPECT_EQ(WINCODEC_ERR_PALETTEUNAVAILABLE, mag->CopyPalette(nullptr));
}

TEST_F(CodecObjects, ReadsStayInsideWhatTheStreamSaysItHolds)
{
    // A stream holding more than it admits: only the admitted bytes are
    // read, and the result is what the core makes of them.
    for (int64_t hidden : {int64_t(0), int64_t(-400), int64_t(-1200)}) {
        MeasuredStream stream(kMagTall, hidden);
        ComPtr<IWICBitmapDecoder> decoder;
        ASSERT_EQ(S_OK, Create(FindCodecFormatByKind(KindMag)->decoder, IID_IWICBitmapDecoder, &decoder));
        HRESULT hr = decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand);
        EXPECT_LE(stream.furthest, stream.size);
        Packed core = DecodeWithCore(std::vector<uint8_t>(stream.bytes.begin(), stream.bytes.begin() + stream.size));
        EXPECT_EQ(core.ok, SUCCEEDED(hr)) << hidden;
    }

    // One that holds less than it says fails to read; one past the loaders' cap is refused.
    MeasuredStream lying(kMagTall, 100);
    EXPECT_EQ(WINCODEC_ERR_STREAMREAD, mag->Initialize(&lying, WICDecodeMetadataCacheOnDemand));
    MeasuredStream huge(kMagTall);
    huge.size = kMaxStreamImageSize + 1;
    EXPECT_EQ(WINCODEC_ERR_IMAGESIZEOUTOFRANGE, mag->Initialize(&huge, WICDecodeMetadataCacheOnDemand));
    EXPECT_EQ(0u, huge.furthest);
}

TEST_F(CodecObjects, CopyPixelsChecksTheRectangleStrideAndBuffer)
{
    MeasuredStream stream(kPi);
    Packed core = DecodeWithCore(stream.bytes);
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(S_OK, Create(FindCodecFormatByKind(KindPi)->decoder, IID_IWICBitmapDecoder, &decoder));
    ASSERT_EQ(S_OK, decoder->Initialize(&stream, WICDecodeMetadataCacheOnDemand));
    ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.put()));

    // A rectangle inside, into rows 64 bytes apart; the padding stays.
    WICRect rect = {7, 11, 20, 5};
    std::vector<uint8_t> buffer(64 * 5, 0xEE);
    ASSERT_EQ(S_OK, frame->CopyPixels(&rect, 64, static_cast<UINT>(buffer.size()), buffer.data()));
    for (int y = 0; y < 5; ++y) {
        const uint8_t* want = core.pixels.data() + 3 * (size_t(core.width) * (11 + y) + 7);
        EXPECT_TRUE(std::equal(want, want + 60, buffer.begin() + 64 * y)) << "row " << y;
        EXPECT_EQ(0xEE, buffer[64 * y + 60]);
    }

    // The last row needs only its own bytes; one fewer is too few.
    EXPECT_EQ(S_OK, frame->CopyPixels(&rect, 64, 64 * 4 + 60, buffer.data()));
    EXPECT_EQ(WINCODEC_ERR_INSUFFICIENTBUFFER, frame->CopyPixels(&rect, 64, 64 * 4 + 59, buffer.data()));
    EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(&rect, 59, static_cast<UINT>(buffer.size()), buffer.data()));
    WICRect outside[] = {{-1, 0, 2, 2}, {0, 0, 124, 1}, {100, 70, 24, 7}, {0, 0, 1, -1}, {0x7FFFFFFF, 0, 2, 1}};
    for (const WICRect& r : outside)
        EXPECT_EQ(E_INVALIDARG, frame->CopyPixels(&r, 64, static_cast<UINT>(buffer.size()), buffer.data()));
}

TEST_F(CodecObjects, ThumbnailFitsThePictureIntoTheAskedSquare)
{
    struct Case {
        const char* name;
        UINT side;
        uint32_t width, height;
    } cases[] = {{kMag640, 256, 256, 160}, {kMagTall, 100, 55, 100}, {kPi, 32, 32, 20}, {kPi, 500, 500, 313}};
    for (const Case& c : cases) {
        MeasuredStream stream(c.name);
        Packed core = DecodeWithCore(stream.bytes);
        ComPtr<IInitializeWithStream> init;
        ComPtr<IThumbnailProvider> provider;
        ASSERT_EQ(S_OK, Create(CLSID_ZizeThumbnailProvider, IID_IInitializeWithStream, &init));
        ASSERT_EQ(S_OK, init->QueryInterface(__uuidof(IThumbnailProvider), provider.put_void()));
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        EXPECT_EQ(E_UNEXPECTED, provider->GetThumbnail(c.side, &bitmap, &alpha));
        ASSERT_EQ(S_OK, init->Initialize(&stream, STGM_READ));
        EXPECT_EQ(E_INVALIDARG, provider->GetThumbnail(0, &bitmap, &alpha));
        ASSERT_EQ(S_OK, provider->GetThumbnail(c.side, &bitmap, &alpha)) << c.name;
        EXPECT_EQ(WTSAT_RGB, alpha);

        // A 32-bit bitmap of the fitted size holding the same 2 x 2 sampling
        // as the program's own thumbnails.
        DIBSECTION dib = {};
        ASSERT_EQ(int(sizeof dib), GetObjectW(bitmap, sizeof dib, &dib));
        EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
        ASSERT_EQ(LONG(c.width), dib.dsBm.bmWidth) << c.name;
        ASSERT_EQ(LONG(c.height), dib.dsBm.bmHeight) << c.name;
        std::vector<uint8_t> want(size_t(c.width) * c.height * 3), got;
        ASSERT_TRUE(ScaleToSize(core.pixels.data(), core.width, core.height, 3 * core.width, want.data(), c.width,
                                c.height, 3 * c.width));
        const uint8_t* bits = static_cast<const uint8_t*>(dib.dsBm.bmBits);
        for (size_t i = 0; i < want.size() / 3; ++i)
            got.insert(got.end(), bits + 4 * i, bits + 4 * i + 3);
        EXPECT_TRUE(want == got) << c.name;
        DeleteObject(bitmap);
    }

    // A refused file gives no thumbnail.
    MeasuredStream refused("pic/s05_edges_8x3_pic24.pic");
    ComPtr<IInitializeWithStream> init;
    ASSERT_EQ(S_OK, Create(CLSID_ZizeThumbnailProvider, IID_IInitializeWithStream, &init));
    EXPECT_EQ(WINCODEC_ERR_BADIMAGE, init->Initialize(&refused, STGM_READ));
}

TEST_F(CodecObjects, DllCanUnloadNowCountsObjectsAndLocks)
{
    HMODULE dll = LoadLibraryW(CodecDllPath().c_str());
    ASSERT_NE(nullptr, dll);
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnload);
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
    ASSERT_EQ(S_OK, getClassObject(CLSID_ZizeThumbnailProvider, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    factory->LockServer(FALSE);
    factory->LockServer(FALSE);  // one unlock too many is not counted below zero
    factory->Release();
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(dll);
}

}  // namespace
