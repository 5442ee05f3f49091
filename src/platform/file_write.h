// Writing files: creating a file for writing and writing all of a buffer
// to it. Handles are the FileHandle of file.h and are closed with FileClose.
#pragma once

#include <cstddef>

#include "platform/file.h"

// Creates the file for writing, replacing an existing one (on Windows:
// CreateFileW with GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS,
// FILE_ATTRIBUTE_NORMAL). Returns kInvalidFile when it cannot be created.
FileHandle FileCreateForWrite(const wchar_t* path);

// Writes count bytes at the current position. Returns false when not all of
// them could be written.
bool FileWriteAll(FileHandle file, const void* buffer, size_t count);
