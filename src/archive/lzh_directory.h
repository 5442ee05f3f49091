// Reading an LZH archive's chain of member headers into an ArchiveReader.
#pragma once

#include <cstdint>

#include "archive/archive_reader.h"

// Results of ReadLzhDirectory.
enum : int {
    kLzhDirOk = 0,
    kLzhDirShortHeader = 3,   // a header is shorter than it claims, or its sizes disagree
    kLzhDirUnsupported = 4,   // a method letter other than 0, 4 to 7 and d, or a level above 2
    kLzhDirNoMemory = 6,
};

// Reads the headers of the LZH archive that begins at position start of file
// (the reader's own file) into reader's entries and count, and gives the
// reader its decoding tables. The chain ends without error at the first
// position that holds no header. Returns kLzhDirOk or one of the codes
// above; after a failure what was filled stays in the reader for CloseArchive.
int ReadLzhDirectory(ArchiveReader* reader, FileHandle file, uint64_t start);
