// The unzipped release package (made and unpacked by
// package_contents_test.sh): each binary's version record, Zize.exe
// started from the package's folder, and the packaged codec registered
// with regsvr32, reading a MAG file through WIC and unregistered again.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codec/codec_test_support.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "zize_version.h"

namespace {

std::wstring PackageFile(const wchar_t* name)
{
    return WindowsPath(ZIZE_PACKAGE_DIR) + L"\\" + name;
}

// A string of the file's version record, or "<none>".
std::wstring VersionString(const std::wstring& file, const wchar_t* name, VS_FIXEDFILEINFO* fixed)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> data(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return L"<none>";
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length == sizeof *fixed)
        *fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
    std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(data.data(), key.c_str(), &value, &length))
        return L"<none>";
    return static_cast<const wchar_t*>(value);
}

TEST(Package, EveryBinaryCarriesTheBuildsVersion)
{
    const wchar_t* files[] = {L"Zize.exe", L"ZizeCodec.dll", L"zizeconv.exe"};
    for (const wchar_t* file : files) {
        VS_FIXEDFILEINFO fixed = {};
        EXPECT_EQ(ZIZE_VERSION_TEXT, VersionString(PackageFile(file), L"FileVersion", &fixed));
        EXPECT_EQ(ZIZE_VERSION_TEXT, VersionString(PackageFile(file), L"ProductVersion", &fixed));
        EXPECT_EQ(std::wstring(file), VersionString(PackageFile(file), L"OriginalFilename", &fixed));
        EXPECT_EQ(DWORD(ZIZE_VERSION_MAJOR << 16 | ZIZE_VERSION_MINOR), fixed.dwFileVersionMS);
        EXPECT_EQ(DWORD(ZIZE_VERSION_PATCH << 16), fixed.dwFileVersionLS);
    }
}

TEST(Package, ZizeStartsFromTheUnzippedFolder)
{
    ASSERT_EQ(nullptr, FindWindowW(L"ZaVuvi", nullptr)) << "another Zize is running";
    DeleteFileW(PackageFile(L"Zize.ini").c_str());
    ChildProcess zize;
    ASSERT_TRUE(zize.Start(PackageFile(L"Zize.exe"), L""));
    HWND window = WaitForWindow(zize.Id(), L"ZaVuvi", 30000);
    ASSERT_NE(nullptr, window) << "Zize.exe from the package showed no main window";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, zize.WaitForExit(20000));
    // The settings land beside the program, in the package's folder.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(PackageFile(L"Zize.ini").c_str()));
    DeleteFileW(PackageFile(L"Zize.ini").c_str());
}

// The stripped codec still registers, is found by WIC and decodes.
TEST(Package, ThePackagedCodecRegistersDecodesAndUnregisters)
{
    REQUIRE_FIXTURES();
    const char name[] = "mag/s01_grad_640x400_mag16.mag";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadFixture(name, &bytes));
    ASSERT_EQ(0u, RunRegsvr32(PackageFile(L"ZizeCodec.dll"), false));
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, factory.put_void()));
        ASSERT_EQ(S_OK, factory->CreateDecoderFromFilename(FixturePath(name).c_str(), nullptr, GENERIC_READ,
                                                            WICDecodeMetadataCacheOnDemand, decoder.put()));
        ASSERT_EQ(S_OK, decoder->GetFrame(0, frame.put()));
        EXPECT_TRUE(DecodeWithCore(bytes).pixels == CopyFrame(frame.get()).pixels);
    }
    CoUninitialize();
    EXPECT_EQ(0u, RunRegsvr32(PackageFile(L"ZizeCodec.dll"), true));
}

}  // namespace
