// Extraction of one ZIP member into memory.
#pragma once

#include <cstdint>

#include "archive/archive_reader.h"

// Results of ExtractZipMember.
enum : int {
    kZipExtractOk = 0,
    kZipExtractShortData = 2,      // fewer data bytes could be read than needed
    kZipExtractBadLocal = 5,       // the local header or its name is short, or its signature is wrong
    kZipExtractMismatch = 6,       // the local header disagrees with the directory
    kZipExtractUnsupported = 7,    // version, encryption, flag bit 4 or method not supported
    kZipExtractInflateFailed = 9,  // the Deflate data is bad, or memory ran out
    kZipExtractBadIndex = 11,
    kZipExtractImpossibleSize = 12,  // the member's size cannot come from its compressed size
    kZipExtractChecksumMismatch = 13,  // the whole member was delivered, but its CRC-32 differs
    kZipExtractTooLarge = 14,      // a Zip64 size past 32 bits: no memory block holds the member
};

// Deflate turns one compressed byte into at most 1,032 bytes: its best case
// is a 258-byte match coded in 2 bits (a 1-bit length code and a 1-bit
// distance code), four to the byte.
constexpr uint64_t kDeflateMaxExpansion = 1032;

// True when the member's uncompressed size can come from its compressed
// size by its method: at most equal when stored, at most 1,032 times when
// deflated. Callers check it before allocating for the member.
bool ZipMemberSizePossible(const ArchiveEntry& entry);

// Decompresses the first bytes of member index of a ZIP reader into dst:
// outputLimit bytes when that is not 0 and below the member's size, the
// whole member otherwise; dst must have room for that many. At most
// compressedLimit compressed bytes are read when that is not 0. Returns
// kZipExtractOk or one of the codes above; a member whose size is not
// possible, or too large, is refused before anything is read. When the
// whole member is delivered its CRC-32 is checked: a mismatch gives
// kZipExtractChecksumMismatch with all the bytes in dst, and marks the
// entry's checksumMismatch. Versions 10, 20 and 45 (Zip64) are read.
int ExtractZipMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit);
