// Member names of archives as output paths: what is refused and why.
#include <cwctype>

#include "convert.h"
#include "platform/utf8.h"

namespace {

// A component's length limit, leaving room for ".png.part" within the 255
// units (Windows) or bytes (natively) that a file name may take.
constexpr size_t kMaxComponent = 240;
// The whole member path's limit, so that OUTDIR plus it stays a usable path.
constexpr size_t kMaxMemberPath = 1024;

std::wstring Upper(const std::wstring& s)
{
    std::wstring u = s;
    for (wchar_t& c : u)
        c = static_cast<wchar_t>(std::towupper(c));
    return u;
}

// True for the names that Windows keeps for devices, with any extension:
// CON, PRN, AUX, NUL, COM1-9, LPT1-9.
bool IsDeviceName(const std::wstring& component)
{
    std::wstring base = Upper(component.substr(0, component.find(L'.')));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// The length that counts against the file system's limit.
size_t NameLength(const std::wstring& component)
{
#ifdef _WIN32
    return component.size();
#else
    return WideToUtf8(component).size();
#endif
}

// Checks one component; false with why when it cannot be used.
bool SafeComponent(const std::wstring& c, std::string* why)
{
    if (c == L"..") {
        *why = "a \"..\" component";
        return false;
    }
    if (c.empty() || c == L".") {
        *why = "an empty or \".\" component";
        return false;
    }
    for (wchar_t ch : c) {
        if (ch < 0x20 || ch == L':' || ch == L'<' || ch == L'>' || ch == L'"' || ch == L'|' || ch == L'?' ||
            ch == L'*') {
            *why = ch == L':' ? "a drive letter or ':'" : "a character that file names cannot hold";
            return false;
        }
    }
    if (c.back() == L'.' || c.back() == L' ') {
        *why = "a component that ends in a dot or a space";
        return false;
    }
    if (IsDeviceName(c)) {
        *why = "a device name";
        return false;
    }
    if (NameLength(c) > kMaxComponent) {
        *why = "a component too long";
        return false;
    }
    return true;
}

}  // namespace

bool SafeMemberPath(const std::wstring& name, std::wstring* path, std::string* why)
{
    if (name.empty()) {
        *why = "an empty name";
        return false;
    }
    if (name[0] == L'/' || name[0] == L'\\') {
        *why = "an absolute path";
        return false;
    }
    if (name.size() > kMaxMemberPath) {
        *why = "a name too long";
        return false;
    }

    // Both separators split: archives made on Windows use backslashes.
    path->clear();
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"/\\", start);
        if (end == std::wstring::npos)
            end = name.size();
        std::wstring component = name.substr(start, end - start);
        if (!SafeComponent(component, why))
            return false;
        if (!path->empty())
            *path += L'/';
        *path += component;
        start = end + 1;
    }
    return true;
}

bool HasPictureExtension(const std::wstring& name)
{
    static const wchar_t* const kExtensions[] = {L"MAG", L"MKI", L"PI", L"PIC", L"P2", L"PSD", L"TGA",
                                                 L"BMP", L"PNG", L"JPG", L"JPEG", L"GIF", L"TIF", L"TIFF",
                                                 L"ZIP", L"LZH", L"LHA"};
    size_t dot = name.find_last_of(L'.');
    size_t slash = name.find_last_of(L"/\\");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && slash > dot))
        return false;
    std::wstring ext = Upper(name.substr(dot + 1));
    for (const wchar_t* e : kExtensions) {
        if (ext == e)
            return true;
    }
    return false;
}

std::wstring MemberName(const ArchiveEntry& entry)
{
    const wchar_t* name = entry.name ? entry.name : L"";
    return entry.nameSource == kNameCodePage ? MemberNameFrom932(name) : std::wstring(name);
}
