// Reading a ZIP archive's central directory into an ArchiveReader.
#pragma once

#include <cstdint>

#include "archive/archive_reader.h"

// Results of ReadZipDirectory.
enum : int {
    kZipDirOk = 0,
    kZipDirShortEnd = 3,        // the end record is shorter than 20 bytes
    kZipDirBadCentral = 4,      // a central header is short, has a wrong signature, or its name is short
    kZipDirSpanned = 7,         // the archive spans several disks
    kZipDirNoEnd = 8,           // no end record was found
    kZipDirNoMemory = 10,
};

// Reads the directory of the ZIP archive that begins at position start of
// file (the reader's own file) into reader's entries and count; positions
// in the archive count from start, those kept in the entries are absolute.
// Returns kZipDirOk or one of the codes above; after a failure the entries
// read so far stay in the reader for CloseArchive.
int ReadZipDirectory(ArchiveReader* reader, FileHandle file, uint64_t start);
