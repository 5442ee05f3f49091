// Extraction of one LZH member into memory.
#pragma once

#include <cstdint>

#include "archive/archive_reader.h"

// Results of ExtractLzhMember.
enum : int {
    kLzhExtractOk = 0,
    kLzhExtractShortData = 2,     // fewer data bytes could be read than needed
    kLzhExtractDecodeFailed = 5,  // the decoder produced nothing
    kLzhExtractNoMemory = 6,
    kLzhExtractBadIndex = 7,
    kLzhExtractImpossibleSize = 8,  // the member's size cannot come from its compressed size
    kLzhExtractChecksumMismatch = 9,  // the whole member was delivered, but its CRC-16 differs
};

// The most that an honest -lh4- to -lh7- stream can produce per compressed
// byte follows from its blocks. A block holds at most 65,535 symbols (a
// 16-bit count), each at most the longest match, 256 bytes. Its shortest
// codes take no bits at all (a code with a single symbol is sent as a count
// of 0 and that symbol), so symbols are free and only the block's head
// costs: the 16-bit count, then for each of the three codes a zero count
// and its symbol, 5 + 5 bits for the code-length code, 9 + 9 for the
// literal/length code, 4 + 4 (-lh4-, -lh5-) or 5 + 5 (-lh6-, -lh7-) for the
// position code: 52 or 54 bits for 16,776,960 bytes.
constexpr uint64_t kLhMaxBlockOutput = 65535ull * 256;
constexpr uint64_t kLhMinBlockHeadBits = 52;

// True when the member's uncompressed size can come from its compressed
// size by its method: at most equal for -lh0-, nothing for a folder (-lhd-),
// and at most 16,776,960 bytes per block head that the compressed bits can
// hold (rounded up) for the others. Callers check it before allocating.
bool LzhMemberSizePossible(const ArchiveEntry& entry);

// Decodes the first bytes of member index of an LZH reader into dst:
// outputLimit bytes when that is not 0 and below the member's size, the
// whole member otherwise; dst must have room for that many. At most
// compressedLimit compressed bytes are read when that is not 0. Returns
// kLzhExtractOk or one of the codes above; a member whose size is not
// possible is refused before anything is read. When the whole member is
// delivered its CRC-16 is checked: a mismatch gives
// kLzhExtractChecksumMismatch with all the bytes in dst, and marks the
// entry's checksumMismatch.
int ExtractLzhMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit);
