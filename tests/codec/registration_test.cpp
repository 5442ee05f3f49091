// Registering and unregistering ZizeCodec.dll: what is written, that the
// registered patterns are the classification rule's, that other programs'
// entries are left alone, and that unregistering leaves the registry as it
// was, both below a scratch classes key and through regsvr32.
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include "codec/codec_formats.h"
#include "codec/codec_test_support.h"
#include "codec/registration.h"

namespace {

const wchar_t kScratch[] = L"Software\\ZizeCodecTest\\Classes";
const wchar_t kDll[] = L"C:\\Zize\\ZizeCodec.dll";
const wchar_t kMagHandler[] = L".mag\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kPicHandler[] = L".pic\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kOtherHandler[] = L"{11111111-2222-3333-4444-555555555555}";

std::wstring Text(REFGUID guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ReadText(HKEY root, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t value[512] = {};
    DWORD bytes = sizeof value;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

void WriteText(HKEY root, const std::wstring& path, const std::wstring& value)
{
    RegSetKeyValueW(root, path.c_str(), nullptr, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
}

TEST(Registration, WritesTheDecodersAndHandlerAndRemovesExactlyThem)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZizeCodecTest");
    HKEY classes = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &classes, nullptr));

    // Entries of other programs: a .mag type and another .pic thumbnail handler.
    WriteText(classes, L".mag", L"magfile");
    WriteText(classes, kPicHandler, kOtherHandler);
    RegistrySnapshot before = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);

    ASSERT_EQ(S_OK, RegisterCodec(classes, kDll));
    for (const CodecFormat& format : kCodecFormats) {
        std::wstring base = L"CLSID\\" + Text(format.decoder);
        EXPECT_EQ(kDll, ReadText(classes, base + L"\\InprocServer32"));
        EXPECT_EQ(Text(format.container), ReadText(classes, base, L"ContainerFormat"));
        std::wstring instance = L"CLSID\\" + Text(CATID_WICBitmapDecoders) + L"\\Instance\\" + Text(format.decoder);
        EXPECT_EQ(Text(format.decoder), ReadText(classes, instance, L"CLSID"));

        // The first pattern, padded to a classification header, is
        // classified as the decoder's own kind.
        uint8_t header[32] = {};
        DWORD bytes = sizeof header;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(classes, (base + L"\\Patterns\\0").c_str(), L"Pattern",
                                              RRF_RT_REG_BINARY, nullptr, header, &bytes));
        EXPECT_EQ(format.kind, ClassifyHeader(nullptr, header)) << FileKindName(format.kind);
    }
    EXPECT_EQ(Text(CLSID_ZizeThumbnailProvider), ReadText(classes, kMagHandler));
    EXPECT_EQ(kOtherHandler, ReadText(classes, kPicHandler));  // not taken over
    EXPECT_EQ(L"magfile", ReadText(classes, L".mag"));

    // Registering twice changes nothing; unregistering restores the tree.
    RegistrySnapshot registered = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);
    ASSERT_EQ(S_OK, RegisterCodec(classes, kDll));
    EXPECT_EQ(registered, SnapshotRegistry(HKEY_CURRENT_USER, kScratch));
    ASSERT_EQ(S_OK, UnregisterCodec(classes));
    RegistrySnapshot after = SnapshotRegistry(HKEY_CURRENT_USER, kScratch);
    EXPECT_EQ(before, after) << RegistryChanges(before, after);

    RegCloseKey(classes);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZizeCodecTest");
}

TEST(Registration, Regsvr32RoundTripLeavesNoKeyBehind)
{
    // Wine runs programs elevated, so regsvr32 writes the machine's classes;
    // on Windows without elevation it writes the user's. Both are compared.
    RegistrySnapshot machine = SnapshotRegistry(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    RegistrySnapshot user = SnapshotRegistry(HKEY_CURRENT_USER, L"Software\\Classes");
    ASSERT_EQ(0u, RunRegsvr32(CodecDllPath(), false));

    std::wstring server = L"Software\\Classes\\CLSID\\" + Text(kCodecFormats[0].decoder) + L"\\InprocServer32";
    std::wstring written = ReadText(HKEY_LOCAL_MACHINE, server);
    if (written == L"<none>")
        written = ReadText(HKEY_CURRENT_USER, server);
    EXPECT_EQ(0, _wcsicmp(CodecDllPath().c_str(), written.c_str()));

    ASSERT_EQ(0u, RunRegsvr32(CodecDllPath(), true));
    RegistrySnapshot machineAfter = SnapshotRegistry(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    RegistrySnapshot userAfter = SnapshotRegistry(HKEY_CURRENT_USER, L"Software\\Classes");
    EXPECT_EQ(machine, machineAfter) << RegistryChanges(machine, machineAfter);
    EXPECT_EQ(user, userAfter) << RegistryChanges(user, userAfter);
}

}  // namespace
