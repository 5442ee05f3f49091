#include "platform/file.h"

#include <cstring>
#include <new>

// Memory files: a handle is the address of its record with bit 62 set, a
// value that neither a Windows HANDLE nor a POSIX descriptor can take.
namespace {

struct MemoryFile {
    const uint8_t* data;
    size_t size;
    uint64_t pos;
};

constexpr uint64_t kMemoryTag = uint64_t(1) << 62;

bool IsMemoryFile(FileHandle file)
{
    return (static_cast<uint64_t>(file) >> 60) == (kMemoryTag >> 60);
}

MemoryFile* AsMemoryFile(FileHandle file)
{
    return reinterpret_cast<MemoryFile*>(static_cast<uintptr_t>(static_cast<uint64_t>(file) & ~kMemoryTag));
}

// Reads from the record's position; past the end nothing comes back.
int64_t MemoryRead(MemoryFile* m, void* buffer, size_t count)
{
    if (m->pos >= m->size)
        return 0;
    size_t left = m->size - static_cast<size_t>(m->pos);
    size_t n = count < left ? count : left;
    if (n)
        memcpy(buffer, m->data + m->pos, n);
    m->pos += n;
    return static_cast<int64_t>(n);
}

}  // namespace

FileHandle FileOpenMemory(const void* data, size_t size)
{
    if (!data && size)
        return kInvalidFile;
    MemoryFile* m = new (std::nothrow) MemoryFile{static_cast<const uint8_t*>(data), size, 0};
    if (!m)
        return kInvalidFile;
    return static_cast<FileHandle>(reinterpret_cast<uintptr_t>(m) | kMemoryTag);
}

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
    if (IsMemoryFile(file))
        return static_cast<int64_t>(AsMemoryFile(file)->size);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size))
        return -1;
    return size.QuadPart;
}

bool FileSeek(FileHandle file, uint64_t offset)
{
    if (IsMemoryFile(file)) {
        AsMemoryFile(file)->pos = offset;
        return offset <= static_cast<uint64_t>(INT64_MAX);
    }
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(reinterpret_cast<HANDLE>(file), distance, nullptr, FILE_BEGIN) != 0;
}

int64_t FileRead(FileHandle file, void* buffer, size_t count)
{
    if (IsMemoryFile(file))
        return MemoryRead(AsMemoryFile(file), buffer, count);
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
    if (IsMemoryFile(file)) {
        delete AsMemoryFile(file);
        return;
    }
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
    if (IsMemoryFile(file))
        return static_cast<int64_t>(AsMemoryFile(file)->size);
    struct stat st;
    if (file == kInvalidFile || fstat(static_cast<int>(file), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool FileSeek(FileHandle file, uint64_t offset)
{
    if (IsMemoryFile(file)) {
        AsMemoryFile(file)->pos = offset;
        return offset <= static_cast<uint64_t>(INT64_MAX);
    }
    if (file == kInvalidFile || offset > static_cast<uint64_t>(INT64_MAX))
        return false;
    return lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t FileRead(FileHandle file, void* buffer, size_t count)
{
    if (IsMemoryFile(file))
        return MemoryRead(AsMemoryFile(file), buffer, count);
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
    if (IsMemoryFile(file)) {
        delete AsMemoryFile(file);
        return;
    }
    if (file != kInvalidFile)
        close(static_cast<int>(file));
}
#endif
