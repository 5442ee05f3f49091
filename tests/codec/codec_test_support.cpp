#include "codec/codec_test_support.h"

#include <shlwapi.h>

#include <cstring>

#include "image/load_image.h"
#include "support/fixtures.h"
#include "support/image_files.h"
#include "support/windows_harness.h"

std::wstring CodecDllPath()
{
    return WindowsPath(ZIZE_CODEC_DLL);
}

DWORD RunRegsvr32(const std::wstring& dll, bool unregister)
{
    std::wstring command = std::wstring(L"regsvr32.exe /s ") + (unregister ? L"/u " : L"") + L"\"" + dll + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

CodecRegistration::CodecRegistration() : ok_(RunRegsvr32(CodecDllPath(), false) == 0) {}

CodecRegistration::~CodecRegistration()
{
    RunRegsvr32(CodecDllPath(), true);
}

namespace {

std::vector<std::string> OwnFixtures(bool refused)
{
    std::vector<std::string> found;
    for (const ManifestRow& row : ReadManifest()) {
        std::string folder = row.path.substr(0, row.path.find('/'));
        bool own = folder == "mag" || folder == "maki01" || folder == "pi" || folder == "pic" ||
                   folder == "pic16" || folder == "p2";
        if (own && (row.compare == "refused") == refused)
            found.push_back(row.path);
    }
    return found;
}

}  // namespace

std::vector<std::string> DecodableFixtures()
{
    return OwnFixtures(false);
}

std::vector<std::string> RefusedFixtures()
{
    return OwnFixtures(true);
}

Packed DecodeWithCore(const std::vector<uint8_t>& bytes)
{
    Packed out;
    DecodedImage image{};
    MemoryBlock block = BlockFromBytes(bytes);
    if (!block || LoadOwnImageBlock(block, &image, 0) != 0)
        return out;
    out.ok = true;
    out.width = image.width;
    out.height = image.height;
    uint64_t stride = Stride24(image.width);
    for (uint32_t y = 0; y < image.height; ++y)
        out.pixels.insert(out.pixels.end(), image.pixels + stride * y, image.pixels + stride * y + 3 * image.width);
    ReleaseDecodedImage(&image);
    return out;
}

Packed CopyFrame(IWICBitmapFrameDecode* frame)
{
    Packed out;
    WICPixelFormatGUID format = {};
    if (FAILED(frame->GetSize(&out.width, &out.height)) || FAILED(frame->GetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return out;
    UINT stride = 3 * out.width;
    out.pixels.resize(size_t(stride) * out.height);
    out.ok = SUCCEEDED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(out.pixels.size()), out.pixels.data()));
    return out;
}

IStream* StreamOnBytes(const std::vector<uint8_t>& bytes)
{
    return SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
}

namespace {

void SnapshotKey(HKEY key, const std::wstring& path, RegistrySnapshot* out)
{
    // The values, in the order the registry gives them, as name=type:bytes.
    std::wstring values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameChars = 16384, type = 0, bytes = 0;
        if (RegEnumValueW(key, i, name, &nameChars, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes + 2);
        nameChars = 16384;
        RegEnumValueW(key, i, name, &nameChars, nullptr, &type, data.data(), &bytes);
        values += std::wstring(name) + L"=" + std::to_wstring(type) + L":";
        for (DWORD b = 0; b < bytes; ++b)
            values += static_cast<wchar_t>(L'a' + (data[b] >> 4)), values += static_cast<wchar_t>(L'a' + (data[b] & 15));
        values += L";";
    }
    (*out)[path] = values;

    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            SnapshotKey(sub, path + L"\\" + name, out);
            RegCloseKey(sub);
        }
    }
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& path)
{
    RegistrySnapshot out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return out;
    SnapshotKey(key, path, &out);
    RegCloseKey(key);
    return out;
}

std::string DescribeDifference(const RegistrySnapshot& before, const RegistrySnapshot& after)
{
    std::string text;
    int shown = 0;
    for (const auto& [key, values] : after) {
        auto was = before.find(key);
        if ((was == before.end() || was->second != values) && shown++ < 10)
            text += (was == before.end() ? "  added: " : "  changed: ") + Narrow(key) + "\n";
    }
    for (const auto& [key, values] : before) {
        if (!after.count(key) && shown++ < 10)
            text += "  removed: " + Narrow(key) + "\n";
    }
    return text;
}
