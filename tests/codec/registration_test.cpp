// Registering and unregistering ZizeCodec.dll: what is written, that the
// registered patterns are the classification rule's, that other programs'
// entries are left alone, and that unregistering leaves the registry as it
// was, both below a scratch classes key and through regsvr32.
#include <windows.h>
#include <wincodec.h>

#include <cstring>

#include <gtest/gtest.h>

#include "codec/codec_formats.h"
#include "codec/codec_test_support.h"
#include "codec/registration.h"
#include "image/classify.h"

namespace {

const wchar_t kScratch[] = L"Software\\ZizeCodecTest\\Classes";
const wchar_t kMagHandler[] = L".mag\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kPicHandler[] = L".pic\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kOtherHandler[] = L"{11111111-2222-3333-4444-555555555555}";

std::wstring Text(REFGUID guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name)
{
    wchar_t value[512] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

void WriteText(HKEY root, const std::wstring& path, const wchar_t* value)
{
    RegSetKeyValueW(root, path.c_str(), nullptr, REG_SZ, value, DWORD((wcslen(value) + 1) * sizeof(wchar_t)));
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZizeCodecTest");
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &classes, nullptr));
    }
    void TearDown() override
    {
        if (classes)
            RegCloseKey(classes);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZizeCodecTest");
    }
    HKEY classes = nullptr;
};

TEST_F(Registration, WritesTheDecodersAndHandlerAndRemovesExactlyThem)
{
    // Entries of other programs: a .mag type and another .pic thumbnail handler.
    WriteText(classes, L".mag", L"magfile");
    WriteText(classes, kPicHandler, kOtherHandler);
    RegistrySnapshot before = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);

    ASSERT_EQ(S_OK, RegisterCodec(classes, L"C:\\Zize\\ZizeCodec.dll"));
    for (const CodecFormat& format : kCodecFormats) {
        std::wstring base = L"CLSID\\" + Text(format.decoder);
        EXPECT_EQ(L"C:\\Zize\\ZizeCodec.dll", ReadText(classes, base + L"\\InprocServer32", L""));
        EXPECT_EQ(L"Both", ReadText(classes, base + L"\\InprocServer32", L"ThreadingModel"));
        EXPECT_EQ(Text(format.container), ReadText(classes, base, L"ContainerFormat"));
        EXPECT_EQ(Text(format.decoder),
                  ReadText(classes, L"CLSID\\" + Text(CATID_WICBitmapDecoders) + L"\\Instance\\" + Text(format.decoder),
                           L"CLSID"));

        // Each registered pattern, padded to a classification header, is
        // classified as the decoder's own kind.
        int patterns = 0;
        for (int i = 0; i < 2; ++i) {
            std::wstring key = base + L"\\Patterns\\" + std::to_wstring(i);
            uint8_t pattern[32] = {}, mask[32] = {};
            DWORD length = 0, bytes = sizeof pattern, maskBytes = sizeof mask, lengthBytes = sizeof length;
            if (RegGetValueW(classes, key.c_str(), L"Pattern", RRF_RT_REG_BINARY, nullptr, pattern, &bytes) !=
                ERROR_SUCCESS)
                continue;
            ++patterns;
            RegGetValueW(classes, key.c_str(), L"Mask", RRF_RT_REG_BINARY, nullptr, mask, &maskBytes);
            RegGetValueW(classes, key.c_str(), L"Length", RRF_RT_REG_DWORD, nullptr, &length, &lengthBytes);
            EXPECT_EQ(bytes, length);
            EXPECT_EQ(bytes, maskBytes);
            EXPECT_EQ(format.kind, ClassifyHeader(nullptr, pattern)) << FileKindName(format.kind);
        }
        EXPECT_GE(patterns, 1);
    }
    EXPECT_EQ(Text(CLSID_ZizeThumbnailProvider), ReadText(classes, kMagHandler, L""));
    EXPECT_EQ(kOtherHandler, ReadText(classes, kPicHandler, L""));  // not taken over
    EXPECT_EQ(L"magfile", ReadText(classes, L".mag", L""));

    // Registering twice changes nothing; unregistering restores the tree.
    RegistrySnapshot registered = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(S_OK, RegisterCodec(classes, L"C:\\Zize\\ZizeCodec.dll"));
    EXPECT_EQ(registered, SnapshotRegistry(HKEY_CURRENT_USER, kScratch));
    ASSERT_EQ(S_OK, UnregisterCodec(classes));
    RegistrySnapshot after = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);
    EXPECT_EQ(before, after) << DescribeDifference(before, after);
    EXPECT_EQ(S_OK, UnregisterCodec(classes));
}

TEST_F(Registration, Regsvr32RoundTripLeavesNoKeyBehind)
{
    // Wine runs programs elevated, so regsvr32 writes the machine's classes;
    // on Windows without elevation it writes the user's. Both are compared.
    RegistrySnapshot machine = SnapshotRegistry(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    RegistrySnapshot user = SnapshotRegistry(HKEY_CURRENT_USER, L"Software\\Classes");
    ASSERT_EQ(0u, RunRegsvr32(CodecDllPath(), false));

    std::wstring decoder = L"Software\\Classes\\CLSID\\" + Text(kCodecFormats[0].decoder) + L"\\InprocServer32";
    std::wstring server = ReadText(HKEY_LOCAL_MACHINE, decoder, L"");
    if (server == L"<none>")
        server = ReadText(HKEY_CURRENT_USER, decoder, L"");
    EXPECT_EQ(0, _wcsicmp(CodecDllPath().c_str(), server.c_str())) << std::string(server.begin(), server.end());

    ASSERT_EQ(0u, RunRegsvr32(CodecDllPath(), true));
    RegistrySnapshot machineAfter = SnapshotRegistry(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    RegistrySnapshot userAfter = SnapshotRegistry(HKEY_CURRENT_USER, L"Software\\Classes");
    EXPECT_EQ(machine, machineAfter) << DescribeDifference(machine, machineAfter);
    EXPECT_EQ(user, userAfter) << DescribeDifference(user, userAfter);
}

}  // namespace
