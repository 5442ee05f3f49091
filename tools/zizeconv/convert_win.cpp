// zizeconv convert, the Windows build: Win32 files and folders, the loaders
// of the program (GDI+ and the own decoders), PNG through GDI+'s encoder.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "convert.h"
#include "image/imaging_services_win.h"
#include "image/load_image_win.h"
#include "image/shared_lock_win.h"
#include "platform/file_write.h"

using namespace Gdiplus::DllExports;

namespace {

// Words for the errors that a walk meets; a number for the others.
std::string ErrorText(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such file or folder";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_SHARING_VIOLATION:
        return "in use by another program";
    case ERROR_CANT_RESOLVE_FILENAME:
        return "a loop of links";
    default:
        return "error " + std::to_string(error);
    }
}

// True for a separator of either kind.
bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The PNG encoder's class identifier, {557CF406-1A04-11D3-9A73-0000F81EF32E}.
const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

}  // namespace

bool StatPath(const std::wstring& path, PathInfo* info, std::string* why)
{
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *why = ErrorText(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION fi;
    bool ok = GetFileInformationByHandle(h, &fi) != 0;
    DWORD type = GetFileType(h);
    CloseHandle(h);
    if (!ok) {
        *why = ErrorText(GetLastError());
        return false;
    }
    info->type = (fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathType::Folder
                 : type == FILE_TYPE_DISK                          ? PathType::File
                                                                    : PathType::Other;
    info->volume = fi.dwVolumeSerialNumber;
    info->id = (uint64_t(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
    return true;
}

bool ListFolder(const std::wstring& path, std::vector<FolderEntry>* entries, std::string* why)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        *why = ErrorText(GetLastError());
        return false;
    }
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            entries->push_back({name, true});
    } while (FindNextFileW(find, &data));
    DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        *why = ErrorText(error);
        return false;
    }
    return true;
}

bool MakeFolders(const std::wstring& path)
{
    // Each prefix that ends before a separator, after a drive or a share.
    size_t first = path.size() > 1 && path[1] == L':' ? 3 : 1;
    if (path.size() > 1 && IsSeparator(path[0]) && IsSeparator(path[1]))
        first = path.find_first_of(L"\\/", path.find_first_of(L"\\/", 2) + 1) + 1;
    for (size_t i = first; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RenameReplacing(const std::wstring& from, const std::wstring& to)
{
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void RemoveFileQuietly(const std::wstring& path)
{
    DeleteFileW(path.c_str());
}

bool StderrIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StartConvertServices()
{
    InitSharedLock();
    return StartImagingServices();
}

void StopConvertServices()
{
    StopImagingServices();
    DeleteSharedLock();
}

bool BuildReadsKind(FileKind kind)
{
    return kind < KindZip && kind != 12;
}

int LoadPictureBlock(const std::wstring& name, MemoryBlock block, DecodedImage* image, int withAlpha)
{
    return LoadImageBlock(name.c_str(), block, image, withAlpha);
}

bool WritePngFile(const DecodedImage& image, bool alpha, const std::wstring& path)
{
    // A bitmap over the picture's own rows: both forms have 4-byte strides.
    const INT stride = alpha ? INT(4 * image.width) : INT(Stride24(image.width));
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(INT(image.width), INT(image.height), stride,
                                  alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, image.pixels,
                                  &bitmap) != Gdiplus::Ok)
        return false;

    // Encoded into memory, then written with the file functions, which take
    // extended-length paths.
    IStream* stream = nullptr;
    bool encoded = CreateStreamOnHGlobal(nullptr, TRUE, &stream) == S_OK &&
                   GdipSaveImageToStream(bitmap, stream, &kPngEncoder, nullptr) == Gdiplus::Ok;
    GdipDisposeImage(bitmap);
    bool written = false;
    STATSTG stat = {};
    HGLOBAL memory = nullptr;
    if (encoded && stream->Stat(&stat, STATFLAG_NONAME) == S_OK && GetHGlobalFromStream(stream, &memory) == S_OK) {
        const void* bytes = GlobalLock(memory);
        FileHandle file = bytes ? FileCreateForWrite(path.c_str()) : kInvalidFile;
        if (file != kInvalidFile) {
            written = FileWriteAll(file, bytes, size_t(stat.cbSize.QuadPart));
            FileClose(file);
        }
        if (bytes)
            GlobalUnlock(memory);
    }
    if (stream)
        stream->Release();
    return written;
}

std::wstring OutputFolderPath(const std::wstring& path)
{
    // Already extended, or a device path: as it is.
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0)
        return path;
    DWORD units = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (units == 0)
        return path;
    std::wstring full(units, L'\0');
    units = GetFullPathNameW(path.c_str(), units, &full[0], nullptr);
    if (units == 0 || units >= full.size())
        return path;
    full.resize(units);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 2 && full[1] == L':')
        return L"\\\\?\\" + full;
    return path;
}

std::wstring MemberNameFrom932(const wchar_t* readerName)
{
    // The reader read the name in the system's ANSI code page: its bytes come
    // back from there unless that code page lost some (then the name stays).
    const UINT acp = GetACP();
    if (acp == 932 || acp == CP_UTF8)
        return readerName;
    BOOL lost = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, readerName, -1, nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost)
        return readerName;
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, readerName, -1, &narrow[0], bytes, nullptr, &lost);
    int units = MultiByteToWideChar(932, 0, narrow.c_str(), -1, nullptr, 0);
    if (units <= 0 || lost)
        return readerName;
    std::wstring wide(size_t(units), L'\0');
    MultiByteToWideChar(932, 0, narrow.c_str(), -1, &wide[0], units);
    wide.resize(size_t(units) - 1);
    return wide;
}
