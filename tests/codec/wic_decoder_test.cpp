// The WIC decoders of ZizeCodec.dll, registered with regsvr32 and reached
// the way programs reach them: through the imaging factory, by file name and
// by stream. Wine's factory picks a decoder by the registered patterns only
// (docs/wine-wic.md), so these tests also prove the patterns.
#include <windows.h>
#include <wincodec.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "codec/codec_formats.h"
#include "codec/codec_test_support.h"
#include "image/classify.h"
#include "support/fixtures.h"

namespace {

class WicDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registration = new CodecRegistration(); }
    static void TearDownTestSuite()
    {
        delete registration;
        registration = nullptr;
    }

    void SetUp() override
    {
        REQUIRE_FIXTURES();
        ASSERT_TRUE(registration->ok()) << "regsvr32 ZizeCodec.dll failed";
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, factory.put_void()));
    }
    void TearDown() override { CoUninitialize(); }

    // Decodes through the factory from a stream over bytes; the frame's
    // pixels, or ok false with the failing HRESULT.
    Packed DecodeBytes(const std::vector<uint8_t>& bytes, HRESULT* result, GUID* container = nullptr)
    {
        ComPtr<IStream> stream;
        *stream.put() = StreamOnBytes(bytes);
        return Decode(stream.get(), nullptr, result, container);
    }

    Packed Decode(IStream* stream, const wchar_t* path, HRESULT* result, GUID* container)
    {
        ComPtr<IWICBitmapDecoder> decoder;
        *result = path ? factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                            WICDecodeMetadataCacheOnDemand, decoder.put())
                       : factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                          decoder.put());
        if (FAILED(*result))
            return Packed();
        if (container)
            decoder->GetContainerFormat(container);
        UINT frames = 0;
        ComPtr<IWICBitmapFrameDecode> frame;
        if (FAILED(decoder->GetFrameCount(&frames)) || frames != 1 || FAILED(decoder->GetFrame(0, frame.put())))
            return Packed();
        return CopyFrame(frame.get());
    }

    static CodecRegistration* registration;
    ComPtr<IWICImagingFactory> factory;
};

CodecRegistration* WicDecoderTest::registration = nullptr;

// The container format the codec gives a file of this kind.
GUID ContainerOf(const std::vector<uint8_t>& bytes)
{
    const CodecFormat* format = FindCodecFormatByKind(ClassifyHeader(nullptr, bytes.data()));
    return format ? format->container : GUID_NULL;
}

TEST_F(WicDecoderTest, EveryFormatDecodesByFileNameToTheCoresPixels)
{
    std::vector<std::string> fixtures = DecodableFixtures();
    ASSERT_GE(fixtures.size(), 20u);
    int kinds[16] = {};
    for (const std::string& name : fixtures) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes)) << name;
        Packed core = DecodeWithCore(bytes);
        ASSERT_TRUE(core.ok) << name;

        HRESULT hr = E_FAIL;
        GUID container = GUID_NULL;
        Packed wic = Decode(nullptr, FixturePath(name).c_str(), &hr, &container);
        ASSERT_EQ(S_OK, hr) << name;
        ASSERT_TRUE(wic.ok) << name;
        EXPECT_TRUE(IsEqualGUID(ContainerOf(bytes), container)) << name;
        EXPECT_EQ(core.width, wic.width) << name;
        EXPECT_EQ(core.height, wic.height) << name;
        EXPECT_TRUE(core.pixels == wic.pixels) << name;
        ++kinds[ClassifyHeader(nullptr, bytes.data())];
    }
    for (const CodecFormat& format : kCodecFormats)
        EXPECT_GT(kinds[format.kind], 0) << "no fixture of " << FileKindName(format.kind);
}

TEST_F(WicDecoderTest, AFileWithAWrongExtensionIsFoundByItsLeadingBytes)
{
    // One file of each format, as a stream and as a file named .bin.
    const char* names[] = {"mag/s07_text_123x77_mag16e.mag", "maki01/s10_stripe2_640x400_maki.mki",
                           "pi/s07_text_123x77_pi16.pi", "pic16/p09_x68k15_s07_text_123x77.pic",
                           "p2/s07_text_123x77_p2ss_24.p2"};
    TempDir dir;
    for (const char* name : names) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes)) << name;
        Packed core = DecodeWithCore(bytes);
        HRESULT hr = E_FAIL;
        GUID container = GUID_NULL;
        Packed fromStream = DecodeBytes(bytes, &hr, &container);
        ASSERT_EQ(S_OK, hr) << name;
        EXPECT_TRUE(IsEqualGUID(ContainerOf(bytes), container)) << name;
        EXPECT_TRUE(core.pixels == fromStream.pixels) << name;

        std::wstring renamed = dir.Write(L"picture.bin", bytes);
        Packed fromFile = Decode(nullptr, renamed.c_str(), &hr, nullptr);
        ASSERT_EQ(S_OK, hr) << name;
        EXPECT_TRUE(core.pixels == fromFile.pixels) << name;
    }

    // A file named .mag without the leading bytes is no MAG file.
    std::vector<uint8_t> noise(400);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 37 + 11);
    HRESULT hr = S_OK;
    Decode(nullptr, dir.Write(L"noise.mag", noise).c_str(), &hr, nullptr);
    EXPECT_TRUE(FAILED(hr));
}

TEST_F(WicDecoderTest, RefusedDamagedAndTruncatedFilesFailLikeTheCore)
{
    // The depths the decoders refuse.
    std::vector<std::string> refused = RefusedFixtures();
    ASSERT_GE(refused.size(), 3u);
    for (const std::string& name : refused) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes)) << name;
        HRESULT hr = S_OK;
        DecodeBytes(bytes, &hr);
        EXPECT_TRUE(FAILED(hr)) << name;
    }

    // Every fixture cut short, inside its header and inside its data: the
    // codec fails exactly where the core fails and otherwise gives the
    // core's pixels (the decoders finish a picture whose data runs out).
    for (const std::string& name : DecodableFixtures()) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes)) << name;
        size_t cuts[] = {0, 16, 17, 24, 40, 64, 100, bytes.size() / 3, bytes.size() / 2, bytes.size() - 1};
        for (size_t cut : cuts) {
            if (cut >= bytes.size())
                continue;
            std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
            Packed core = part.size() >= 17 ? DecodeWithCore(part) : Packed();
            HRESULT hr = E_FAIL;
            Packed wic = DecodeBytes(part, &hr);
            EXPECT_EQ(core.ok, SUCCEEDED(hr)) << name << " cut at " << cut;
            if (core.ok && SUCCEEDED(hr))
                EXPECT_TRUE(core.pixels == wic.pixels) << name << " cut at " << cut;
        }
    }
}

TEST_F(WicDecoderTest, EightThreadsDecodingAtOnceGetTheSamePixels)
{
    std::vector<std::string> fixtures = DecodableFixtures();
    std::vector<std::vector<uint8_t>> files(fixtures.size());
    std::vector<Packed> expected(fixtures.size());
    for (size_t i = 0; i < fixtures.size(); ++i) {
        ASSERT_TRUE(ReadFixture(fixtures[i], &files[i]));
        expected[i] = DecodeWithCore(files[i]);
    }

    std::atomic<int> mismatches{0}, decoded{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            {
                ComPtr<IWICImagingFactory> own;
                CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 own.put_void());
                for (int round = 0; round < 3 && own.get(); ++round) {
                    for (size_t k = 0; k < files.size(); ++k) {
                        size_t i = (k + t * 3) % files.size();
                        ComPtr<IStream> stream;
                        *stream.put() = StreamOnBytes(files[i]);
                        ComPtr<IWICBitmapDecoder> decoder;
                        ComPtr<IWICBitmapFrameDecode> frame;
                        Packed got;
                        if (SUCCEEDED(own->CreateDecoderFromStream(stream.get(), nullptr,
                                                                   WICDecodeMetadataCacheOnDemand, decoder.put())) &&
                            SUCCEEDED(decoder->GetFrame(0, frame.put())))
                            got = CopyFrame(frame.get());
                        if (!got.ok || got.pixels != expected[i].pixels)
                            ++mismatches;
                        else
                            ++decoded;
                    }
                }
            }
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(int(8 * 3 * files.size()), decoded.load());
}

}  // namespace
