#include "codec/codec_test_support.h"

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

std::vector<std::string> OwnFormatFixtures(bool refused)
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

Packed DecodeWithCore(const std::vector<uint8_t>& bytes)
{
    Packed out;
    DecodedImage image{};
    MemoryBlock block = BlockFromBytes(bytes);
    if (!block || LoadOwnImageBlock(block, &image, 0) != 0)
        return out;
    out = Packed{true, image.width, image.height, {}};
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + Stride24(image.width) * y;
        out.pixels.insert(out.pixels.end(), row, row + 3 * image.width);
    }
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
    out.pixels.resize(size_t(3) * out.width * out.height);
    out.ok = SUCCEEDED(
        frame->CopyPixels(nullptr, 3 * out.width, static_cast<UINT>(out.pixels.size()), out.pixels.data()));
    return out;
}

namespace {

void SnapshotKey(HKEY key, const std::wstring& path, RegistrySnapshot* out)
{
    // Each value as its name, type and bytes.
    std::wstring& values = (*out)[path];
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(65538);
    for (DWORD i = 0;; ++i) {
        DWORD chars = 16384, type = 0, bytes = 65536;
        if (RegEnumValueW(key, i, name.data(), &chars, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS)
            break;
        data[bytes] = 0;
        values += std::wstring(name.data()) + L"=" + std::to_wstring(type) + L":" +
                  std::wstring(reinterpret_cast<const wchar_t*>(data.data()), (bytes + 1) / 2) + L";";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD chars = 256;
        HKEY sub = nullptr;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            SnapshotKey(sub, path + L"\\" + name, out);
            RegCloseKey(sub);
        }
    }
}

}  // namespace

RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& path)
{
    RegistrySnapshot out;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        SnapshotKey(key, path, &out);
        RegCloseKey(key);
    }
    return out;
}

std::string RegistryChanges(const RegistrySnapshot& before, const RegistrySnapshot& after)
{
    std::string text;
    auto note = [&](const char* what, const std::wstring& key) {
        text += what;
        for (wchar_t c : key)
            text += c < 128 ? static_cast<char>(c) : '?';
        text += "\n";
    };
    for (const auto& [key, values] : after) {
        auto was = before.find(key);
        if (was == before.end())
            note("added: ", key);
        else if (was->second != values)
            note("changed: ", key);
    }
    for (const auto& entry : before) {
        if (!after.count(entry.first))
            note("removed: ", entry.first);
    }
    return text;
}
