// The WIC decoders of ZizeCodec.dll, registered with regsvr32 and reached
// the way programs reach them: through the imaging factory, by file name
// and by stream. Wine's factory picks a decoder by the registered patterns
// alone (docs/wine-wic.md), so these tests also prove the patterns.
#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "codec/codec_formats.h"
#include "codec/codec_test_support.h"
#include "support/fixtures.h"

namespace {

class WicDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered = RunRegsvr32(CodecDllPath(), false) == 0; }
    static void TearDownTestSuite() { RunRegsvr32(CodecDllPath(), true); }

    void SetUp() override
    {
        REQUIRE_FIXTURES();
        ASSERT_TRUE(registered) << "regsvr32 ZizeCodec.dll failed";
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, factory.put_void()));
    }
    void TearDown() override
    {
        factory.reset();
        CoUninitialize();
    }

    static std::vector<uint8_t> Fixture(const std::string& name)
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(ReadFixture(name, &bytes)) << name;
        return bytes;
    }

    static bool registered;
    ComPtr<IWICImagingFactory> factory;
};

bool WicDecoderTest::registered = false;

// Decodes through factory, by path when one is given, else from a stream
// over bytes; stores the HRESULT and the container format.
Packed Decode(IWICImagingFactory* factory, const wchar_t* path, const std::vector<uint8_t>& bytes, HRESULT* hr,
              GUID* container = nullptr)
{
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (path) {
        *hr = factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                 decoder.put());
    } else {
        ComPtr<IStream> stream;
        *stream.put() = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
        *hr = factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put());
    }
    UINT frames = 0;
    if (FAILED(*hr) || FAILED(decoder->GetFrameCount(&frames)) || frames != 1 ||
        FAILED(decoder->GetFrame(0, frame.put())))
        return Packed();
    if (container)
        decoder->GetContainerFormat(container);
    return CopyFrame(frame.get());
}

// The container format of the codec's format for a file, by its header.
GUID ContainerOf(const std::vector<uint8_t>& bytes)
{
    const CodecFormat* format = FindCodecFormatByKind(ClassifyHeader(nullptr, bytes.data()));
    return format ? format->container : GUID_NULL;
}

TEST_F(WicDecoderTest, EveryFormatDecodesByFileNameToTheCoresPixels)
{
    std::vector<std::string> fixtures = OwnFormatFixtures(false);
    ASSERT_GE(fixtures.size(), 20u);
    int seen[16] = {};
    for (const std::string& name : fixtures) {
        std::vector<uint8_t> bytes = Fixture(name);
        Packed core = DecodeWithCore(bytes);
        HRESULT hr = E_FAIL;
        GUID container = GUID_NULL;
        Packed wic = Decode(factory.get(), FixturePath(name).c_str(), bytes, &hr, &container);
        ASSERT_EQ(S_OK, hr) << name;
        ASSERT_TRUE(core.ok && wic.ok) << name;
        EXPECT_TRUE(IsEqualGUID(ContainerOf(bytes), container)) << name;
        EXPECT_EQ(core.width, wic.width) << name;
        EXPECT_EQ(core.height, wic.height) << name;
        EXPECT_TRUE(core.pixels == wic.pixels) << name;
        ++seen[ClassifyHeader(nullptr, bytes.data())];
    }
    for (const CodecFormat& format : kCodecFormats)
        EXPECT_GT(seen[format.kind], 0) << "no fixture of " << FileKindName(format.kind);
}

TEST_F(WicDecoderTest, AFileWithAWrongExtensionIsFoundByItsLeadingBytes)
{
    // One file of each format, as a stream and as a file named .bin.
    const char* names[] = {"mag/s07_text_123x77_mag16e.mag", "maki01/s10_stripe2_640x400_maki.mki",
                           "pi/s07_text_123x77_pi16.pi", "pic16/p09_x68k15_s07_text_123x77.pic",
                           "p2/s07_text_123x77_p2ss_24.p2"};
    TempDir dir;
    for (const char* name : names) {
        std::vector<uint8_t> bytes = Fixture(name);
        Packed core = DecodeWithCore(bytes);
        HRESULT hr = E_FAIL;
        GUID container = GUID_NULL;
        EXPECT_TRUE(core.pixels == Decode(factory.get(), nullptr, bytes, &hr, &container).pixels) << name;
        EXPECT_TRUE(IsEqualGUID(ContainerOf(bytes), container)) << name;
        std::wstring renamed = dir.Write(L"picture.bin", bytes);
        EXPECT_TRUE(core.pixels == Decode(factory.get(), renamed.c_str(), bytes, &hr).pixels) << name;
    }

    // A file named .mag without the leading bytes is no MAG file.
    std::vector<uint8_t> noise(400);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<uint8_t>(i * 37 + 11);
    HRESULT hr = S_OK;
    Decode(factory.get(), dir.Write(L"noise.mag", noise).c_str(), noise, &hr);
    EXPECT_TRUE(FAILED(hr));
}

TEST_F(WicDecoderTest, RefusedDamagedAndTruncatedFilesFailLikeTheCore)
{
    // The depths the decoders refuse.
    std::vector<std::string> refused = OwnFormatFixtures(true);
    ASSERT_GE(refused.size(), 3u);
    for (const std::string& name : refused) {
        HRESULT hr = S_OK;
        Decode(factory.get(), nullptr, Fixture(name), &hr);
        EXPECT_TRUE(FAILED(hr)) << name;
    }

    // Every fixture cut short, inside its header and inside its data: the
    // codec fails exactly where the core fails and otherwise gives the
    // core's pixels (a decoder finishes a picture whose data runs out).
    for (const std::string& name : OwnFormatFixtures(false)) {
        std::vector<uint8_t> bytes = Fixture(name);
        for (size_t cut : {size_t(0), size_t(16), size_t(17), size_t(24), size_t(40), size_t(64), size_t(100),
                           bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
            if (cut >= bytes.size())
                continue;
            std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
            Packed core = cut >= 17 ? DecodeWithCore(part) : Packed();
            HRESULT hr = E_FAIL;
            Packed wic = Decode(factory.get(), nullptr, part, &hr);
            EXPECT_EQ(core.ok, SUCCEEDED(hr)) << name << " cut at " << cut;
            EXPECT_TRUE(core.pixels == wic.pixels) << name << " cut at " << cut;
        }
    }
}

TEST_F(WicDecoderTest, EightThreadsDecodingAtOnceGetTheSamePixels)
{
    std::vector<std::vector<uint8_t>> files;
    std::vector<Packed> expected;
    for (const std::string& name : OwnFormatFixtures(false)) {
        files.push_back(Fixture(name));
        expected.push_back(DecodeWithCore(files.back()));
    }

    // Each thread goes through every file three times, from its own start.
    std::atomic<int> same{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            for (size_t k = 0; k < 3 * files.size(); ++k) {
                size_t i = (k + 3 * t) % files.size();
                HRESULT hr = E_FAIL;
                Packed got = Decode(factory.get(), nullptr, files[i], &hr);
                if (got.ok && got.pixels == expected[i].pixels)
                    ++same;
            }
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(int(8 * 3 * files.size()), same.load());
}

}  // namespace
