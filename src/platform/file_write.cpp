#include "platform/file_write.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

FileHandle FileCreateForWrite(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<FileHandle>(h);
}

bool FileWriteAll(FileHandle file, const void* buffer, size_t count)
{
    if (file == kInvalidFile)
        return false;

    // WriteFile takes 32-bit counts: write large buffers in pieces.
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        DWORD want = static_cast<DWORD>(count > 0x40000000u ? 0x40000000u : count);
        DWORD done = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(file), in, want, &done, nullptr) || done == 0)
            return false;
        in += done;
        count -= done;
    }
    return true;
}

#else
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/utf8.h"

FileHandle FileCreateForWrite(const wchar_t* path)
{
    if (!path)
        return kInvalidFile;
    std::string narrow = WideToUtf8(path);
    int fd = open(narrow.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? kInvalidFile : fd;
}

bool FileWriteAll(FileHandle file, const void* buffer, size_t count)
{
    if (file == kInvalidFile)
        return false;
    const uint8_t* in = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        ssize_t done = write(static_cast<int>(file), in, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        in += done;
        count -= static_cast<size_t>(done);
    }
    return true;
}
#endif
