// Shared by the codec tests: registering ZizeCodec.dll with regsvr32, the
// core's own decoding of a file for comparison, streams over bytes, the
// pixels of a WIC frame, and a snapshot of a registry tree.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The built ZizeCodec.dll, as a Windows path.
std::wstring CodecDllPath();

// Runs regsvr32 /s (with /u when unregister) on the DLL and returns its exit code.
DWORD RunRegsvr32(const std::wstring& dll, bool unregister);

// Registers the built DLL for the tests of one suite and unregisters it at the end.
class CodecRegistration {
public:
    CodecRegistration();
    ~CodecRegistration();
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// The own formats' fixtures that the codec decodes (compare is not
// "refused"), and those it must refuse, by their paths below the fixtures.
std::vector<std::string> DecodableFixtures();
std::vector<std::string> RefusedFixtures();

// A picture as packed rows of blue, green, red.
struct Packed {
    bool ok = false;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

// What the core's own-decoder road makes of a file image.
Packed DecodeWithCore(const std::vector<uint8_t>& bytes);

// The whole frame through CopyPixels, as packed rows.
Packed CopyFrame(IWICBitmapFrameDecode* frame);

// A fresh stream holding a copy of bytes.
IStream* StreamOnBytes(const std::vector<uint8_t>& bytes);

// Owns a COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (p_)
            p_->Release();
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

// Every key below root\path with its values, keyed by the key's path.
using RegistrySnapshot = std::map<std::wstring, std::wstring>;
RegistrySnapshot SnapshotRegistry(HKEY root, const std::wstring& path);

// The keys that are in one snapshot and not the other, or differ, for messages.
std::string DescribeDifference(const RegistrySnapshot& before, const RegistrySnapshot& after);
