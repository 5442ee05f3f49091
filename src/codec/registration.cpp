#include "codec/registration.h"

#include <cwchar>
#include <olectl.h>
#include <wincodec.h>

#include "codec/codec_formats.h"
#include "zize_version.h"

namespace {

// The shell's key for thumbnail handlers: IID_IThumbnailProvider.
const wchar_t kThumbnailHandlerKey[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kAuthor[] = L"Zize developers";
constexpr size_t kPathChars = 512;

using GuidText = wchar_t[40];

void ToText(REFGUID guid, GuidText text)
{
    StringFromGUID2(guid, text, 40);
}

// Owns an open registry key.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* put() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Writes values into one key below classes, creating it. The first failure
// is kept and every later write is skipped.
class KeyWriter {
public:
    KeyWriter(HKEY classes, const wchar_t* path)
    {
        status_ = RegCreateKeyExW(classes, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key_.put(), nullptr);
    }
    KeyWriter& Text(const wchar_t* name, const wchar_t* value)
    {
        DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        return Raw(name, REG_SZ, value, bytes);
    }
    KeyWriter& Number(const wchar_t* name, DWORD value) { return Raw(name, REG_DWORD, &value, sizeof value); }
    KeyWriter& Bytes(const wchar_t* name, const void* value, DWORD bytes) { return Raw(name, REG_BINARY, value, bytes); }
    LONG status() const { return status_; }

private:
    KeyWriter& Raw(const wchar_t* name, DWORD type, const void* value, DWORD bytes)
    {
        if (status_ == ERROR_SUCCESS)
            status_ = RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(value), bytes);
        return *this;
    }

    Key key_;
    LONG status_;
};

// Calls visit with each extension of a comma-separated list, as a
// NUL-terminated copy. Returns false as soon as visit does.
template <typename Visit>
bool ForEachExtension(const wchar_t* list, Visit visit)
{
    while (*list) {
        const wchar_t* end = wcschr(list, L',');
        size_t length = end ? size_t(end - list) : wcslen(list);
        wchar_t extension[32] = {};
        if (length == 0 || length >= 32)
            return false;
        wmemcpy(extension, list, length);
        if (!visit(extension))
            return false;
        list += length + (end ? 1 : 0);
    }
    return true;
}

// The server entry below a class key.
LONG WriteServer(HKEY classes, const wchar_t* classPath, const wchar_t* dllPath)
{
    wchar_t path[kPathChars];
    swprintf(path, kPathChars, L"%ls\\InprocServer32", classPath);
    return KeyWriter(classes, path).Text(L"", dllPath).Text(L"ThreadingModel", L"Both").status();
}

// A decoder class and its entry in the decoder category.
LONG WriteDecoder(HKEY classes, const CodecFormat& format, const wchar_t* dllPath)
{
    GuidText decoder, container, vendor, category, pixels;
    ToText(format.decoder, decoder);
    ToText(format.container, container);
    ToText(GUID_ZizeVendor, vendor);
    ToText(CATID_WICBitmapDecoders, category);
    ToText(GUID_WICPixelFormat24bppBGR, pixels);
    wchar_t name[64], base[kPathChars], path[kPathChars];
    swprintf(name, 64, L"Zize %ls Decoder", format.name);
    swprintf(base, kPathChars, L"CLSID\\%ls", decoder);

    LONG status = KeyWriter(classes, base)
                      .Text(L"", name)
                      .Text(L"FriendlyName", name)
                      .Text(L"Author", kAuthor)
                      .Text(L"Vendor", vendor)
                      .Text(L"ContainerFormat", container)
                      .Text(L"Version", ZIZE_VERSION_TEXT)
                      .Text(L"SpecVersion", L"1.0.0.0")
                      .Text(L"ColorManagementVersion", L"1.0.0.0")
                      .Text(L"FileExtensions", format.extensions)
                      .Text(L"MimeTypes", format.mimeType)
                      .Number(L"SupportAnimation", 0)
                      .Number(L"SupportChromakey", 0)
                      .Number(L"SupportLossless", 1)
                      .Number(L"SupportMultiframe", 0)
                      .status();
    if (status == ERROR_SUCCESS)
        status = WriteServer(classes, base, dllPath);
    if (status == ERROR_SUCCESS) {
        swprintf(path, kPathChars, L"%ls\\Formats\\%ls", base, pixels);
        status = KeyWriter(classes, path).status();
    }

    // The patterns: the leading bytes, every bit compared.
    for (int i = 0; i < 2 && status == ERROR_SUCCESS && format.patterns[i].length; ++i) {
        const CodecPattern& p = format.patterns[i];
        BYTE mask[16];
        memset(mask, 0xFF, sizeof mask);
        swprintf(path, kPathChars, L"%ls\\Patterns\\%d", base, i);
        status = KeyWriter(classes, path)
                     .Number(L"Position", 0)
                     .Number(L"Length", p.length)
                     .Bytes(L"Pattern", p.bytes, p.length)
                     .Bytes(L"Mask", mask, p.length)
                     .Number(L"EndOfStream", 0)
                     .status();
    }

    if (status == ERROR_SUCCESS) {
        swprintf(path, kPathChars, L"CLSID\\%ls\\Instance\\%ls", category, decoder);
        status = KeyWriter(classes, path).Text(L"CLSID", decoder).Text(L"FriendlyName", name).status();
    }
    return status;
}

// The registry text of the key's default value; false when there is none.
bool ReadDefault(HKEY classes, const wchar_t* path, wchar_t* text, DWORD chars)
{
    DWORD bytes = chars * sizeof(wchar_t);
    DWORD type = 0;
    text[0] = 0;
    if (RegGetValueW(classes, path, nullptr, RRF_RT_REG_SZ, &type, text, &bytes) != ERROR_SUCCESS)
        return false;
    return true;
}

// The thumbnail handler's key below an extension.
void HandlerPath(const wchar_t* extension, wchar_t* path)
{
    swprintf(path, kPathChars, L"%ls\\ShellEx\\%ls", extension, kThumbnailHandlerKey);
}

// The thumbnail handler's class and its entry under each extension that has
// no other handler.
LONG WriteThumbnailHandler(HKEY classes, const wchar_t* dllPath)
{
    GuidText handler;
    ToText(CLSID_ZizeThumbnailProvider, handler);
    wchar_t base[kPathChars];
    swprintf(base, kPathChars, L"CLSID\\%ls", handler);
    LONG status = KeyWriter(classes, base).Text(L"", L"Zize Thumbnail Handler").status();
    if (status == ERROR_SUCCESS)
        status = WriteServer(classes, base, dllPath);

    for (const CodecFormat& format : kCodecFormats) {
        bool fine = ForEachExtension(format.extensions, [&](const wchar_t* extension) {
            wchar_t path[kPathChars], now[64];
            HandlerPath(extension, path);
            if (ReadDefault(classes, path, now, 64) && now[0] && _wcsicmp(now, handler) != 0)
                return true;
            status = KeyWriter(classes, path).Text(L"", handler).status();
            return status == ERROR_SUCCESS;
        });
        if (!fine && status == ERROR_SUCCESS)
            status = ERROR_INVALID_DATA;
        if (status != ERROR_SUCCESS)
            break;
    }
    return status;
}

// Deletes a key with everything below it; a missing key is no failure.
void DeleteTree(HKEY classes, const wchar_t* path)
{
    RegDeleteTreeW(classes, path);
    RegDeleteKeyW(classes, path);
}

// Deletes a key that holds no subkey and no value.
void DeleteIfEmpty(HKEY classes, const wchar_t* path)
{
    Key key;
    if (RegOpenKeyExW(classes, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 1, values = 1;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    if (subkeys == 0 && values == 0)
        RegDeleteKeyW(classes, path);
}

}  // namespace

HRESULT OpenRegistrationClasses(HKEY* classes)
{
    // Elevated: the machine's classes; otherwise the current user's.
    bool elevated = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation = {};
        DWORD bytes = 0;
        if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &bytes))
            elevated = elevation.TokenIsElevated != 0;
        CloseHandle(token);
    }
    HKEY root = elevated ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    LONG status = RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                  classes, nullptr);
    return HRESULT_FROM_WIN32(status);
}

HRESULT RegisterCodec(HKEY classes, const wchar_t* dllPath)
{
    LONG status = ERROR_SUCCESS;
    for (const CodecFormat& format : kCodecFormats) {
        status = WriteDecoder(classes, format, dllPath);
        if (status != ERROR_SUCCESS)
            break;
    }
    if (status == ERROR_SUCCESS)
        status = WriteThumbnailHandler(classes, dllPath);
    if (status != ERROR_SUCCESS) {
        UnregisterCodec(classes);
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT UnregisterCodec(HKEY classes)
{
    GuidText category, handler, decoder;
    ToText(CATID_WICBitmapDecoders, category);
    ToText(CLSID_ZizeThumbnailProvider, handler);
    wchar_t path[kPathChars];

    // The decoder classes and their category entries.
    for (const CodecFormat& format : kCodecFormats) {
        ToText(format.decoder, decoder);
        swprintf(path, kPathChars, L"CLSID\\%ls", decoder);
        DeleteTree(classes, path);
        swprintf(path, kPathChars, L"CLSID\\%ls\\Instance\\%ls", category, decoder);
        DeleteTree(classes, path);
    }
    swprintf(path, kPathChars, L"CLSID\\%ls\\Instance", category);
    DeleteIfEmpty(classes, path);
    swprintf(path, kPathChars, L"CLSID\\%ls", category);
    DeleteIfEmpty(classes, path);

    // The thumbnail handler, and each extension's entry that names it.
    swprintf(path, kPathChars, L"CLSID\\%ls", handler);
    DeleteTree(classes, path);
    for (const CodecFormat& format : kCodecFormats) {
        ForEachExtension(format.extensions, [&](const wchar_t* extension) {
            wchar_t entry[kPathChars], now[64];
            HandlerPath(extension, entry);
            if (ReadDefault(classes, entry, now, 64) && _wcsicmp(now, handler) == 0) {
                DeleteTree(classes, entry);
                swprintf(entry, kPathChars, L"%ls\\ShellEx", extension);
                DeleteIfEmpty(classes, entry);
                DeleteIfEmpty(classes, extension);
            }
            return true;
        });
    }
    DeleteIfEmpty(classes, L"CLSID");
    return S_OK;
}
