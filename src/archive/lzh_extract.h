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
};

// Decodes the first bytes of member index of an LZH reader into dst:
// outputLimit bytes when that is not 0 and below the member's size, the
// whole member otherwise; dst must have room for that many. At most
// compressedLimit compressed bytes are read when that is not 0. Returns
// kLzhExtractOk or one of the codes above.
int ExtractLzhMember(ArchiveReader* reader, uint32_t index, uint8_t* dst, uint32_t compressedLimit,
                     uint32_t outputLimit);
