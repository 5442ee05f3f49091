// Shared by the codec tests: registering ZizeCodec.dll with regsvr32, the
// core's own decoding of a file for comparison, the pixels of a WIC frame,
// and a snapshot of a registry tree.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The built ZizeCodec.dll, as a Windows path.
std::wstring CodecDllPath();

// Runs regsvr32 /s (with /u when unregister) on the DLL; its exit code.
DWORD RunRegsvr32(const std::wstring& dll, bool unregister);

// The own formats' fixtures that the codec decodes, or those whose depth
// the decoders refuse, as paths below the fixtures folder.
std::vector<std::string> OwnFormatFixtures(bool refused);

// A picture as packed rows of blue, green, red; ok false when there is none.
struct Packed {
    bool ok = false;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

// What the core's own-decoder road makes of a file image.
Packed DecodeWithCore(const std::vector<uint8_t>& bytes);

// The whole frame through CopyPixels, when it is 24-bit BGR.
Packed CopyFrame(IWICBitmapFrameDecode* frame);

// Owns a COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    void reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** put() { return &p_; }
    void** put_void() { return reinterpret_cast<void**>(&p_); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }

private:
    T* p_ = nullptr;
};

// Every key below root\path, by path, with its values as raw text.
using RegistrySnapshot = std::map<std::wstring, std::wstring>;
RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& path);

// The keys added, removed or changed between two snapshots, one a line.
std::string RegistryChanges(const RegistrySnapshot& before, const RegistrySnapshot& after);
