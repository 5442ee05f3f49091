#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>

FileHandle FileOpenRead(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<FileHandle>(h);
}

int64_t FileSize(FileHandle file)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size))
        return -1;
    return size.QuadPart;
}

bool FileSeek(FileHandle file, uint64_t offset)
{
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(reinterpret_cast<HANDLE>(file), distance, nullptr, FILE_BEGIN) != 0;
}

int64_t FileRead(FileHandle file, void* buffer, size_t count)
{
    // ReadFile takes 32-bit counts: read large requests in pieces.
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t total = 0;
    while (total < count) {
        DWORD want = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(file), out + total, want, &got, nullptr))
            return total ? static_cast<int64_t>(total) : -1;
        if (got == 0)
            break;
        total += got;
    }
    return static_cast<int64_t>(total);
}

void FileClose(FileHandle file)
{
    if (file != kInvalidFile)
        CloseHandle(reinterpret_cast<HANDLE>(file));
}

#else
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/utf8.h"

// Wide paths become the UTF-8 that Linux file names normally use.
FileHandle FileOpenRead(const wchar_t* path)
{
    if (!path)
        return kInvalidFile;
    std::string narrow = WideToUtf8(path);
    int fd = open(narrow.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kInvalidFile;

    // Like CreateFileW, refuse anything that is not a regular file.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return kInvalidFile;
    }
    return fd;
}

int64_t FileSize(FileHandle file)
{
    struct stat st;
    if (file == kInvalidFile || fstat(static_cast<int>(file), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool FileSeek(FileHandle file, uint64_t offset)
{
    if (file == kInvalidFile || offset > static_cast<uint64_t>(INT64_MAX))
        return false;
    return lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t FileRead(FileHandle file, void* buffer, size_t count)
{
    if (file == kInvalidFile)
        return -1;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t total = 0;
    while (total < count) {
        ssize_t got = read(static_cast<int>(file), out + total, count - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return total ? static_cast<int64_t>(total) : -1;
        }
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(total);
}

void FileClose(FileHandle file)
{
    if (file != kInvalidFile)
        close(static_cast<int>(file));
}
#endif
