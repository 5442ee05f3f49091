// File access for the portable core: the only place where it touches the
// operating system's files. On Windows a FileHandle is a HANDLE, natively a
// POSIX descriptor; both use -1 (INVALID_HANDLE_VALUE) as the invalid value.
#pragma once

#include <cstddef>
#include <cstdint>

using FileHandle = intptr_t;
constexpr FileHandle kInvalidFile = -1;

// Opens an existing file for reading, others may read it too (on Windows:
// CreateFileW with GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING). Returns
// kInvalidFile when the file is missing, locked, or a folder.
FileHandle FileOpenRead(const wchar_t* path);

// Returns the file's size in bytes, or -1 when it cannot be taken.
int64_t FileSize(FileHandle file);

// Moves the read position to offset bytes from the start. Returns false on failure.
bool FileSeek(FileHandle file, uint64_t offset);

// Reads up to count bytes at the current position. Returns the number of
// bytes actually read (0 at the end of the file), or -1 on an error.
int64_t FileRead(FileHandle file, void* buffer, size_t count);

// Closes the handle; kInvalidFile is ignored.
void FileClose(FileHandle file);

// Opens size bytes of memory as a read-only file that every function above
// accepts. The bytes are not copied: they must stay valid until FileClose.
// Returns kInvalidFile when the handle's record cannot be allocated.
FileHandle FileOpenMemory(const void* data, size_t size);

// Owns a FileHandle and closes it when it goes out of scope.
class ScopedFile {
public:
    explicit ScopedFile(FileHandle file = kInvalidFile) : file_(file) {}
    ~ScopedFile() { FileClose(file_); }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    FileHandle get() const { return file_; }
    bool valid() const { return file_ != kInvalidFile; }
    // Gives up ownership and returns the handle.
    FileHandle release()
    {
        FileHandle f = file_;
        file_ = kInvalidFile;
        return f;
    }

private:
    FileHandle file_;
};
