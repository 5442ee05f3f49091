// Builds ZIP archives in memory for tests, with control over every field
// that the reader compares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ZipMember {
    std::string name;              // bytes as stored (for example Shift-JIS)
    std::vector<uint8_t> data;     // the member's content
    uint16_t method = 0;           // 0 stored, 8 deflated (with the fixed-code encoder)
    uint16_t versionNeeded = 20;
    uint16_t flags = 0;
    bool descriptor = false;       // sizes 0 locally (flag bit 3) and a data descriptor after the data
    bool descriptorSignature = true;
    // Overrides for the local header, to make it disagree with the directory.
    std::string localName;         // when not empty
    int64_t localCompressed = -1;  // when not negative
    int64_t localUncompressed = -1;
    int localMethod = -1;
    int localFlags = -1;
    int localVersion = -1;
    std::vector<uint8_t> compressed;  // when not empty: the stored data bytes, used as they are
    std::vector<uint8_t> extra;
    std::string comment;
};

struct ZipOptions {
    std::vector<uint8_t> prefix;   // bytes before the archive (offsets stay relative to the archive)
    std::string comment;           // the archive's comment
    uint16_t disk = 0;             // number of this disk in the end record
    int64_t countOverride = -1;    // total entries in the end record
};

std::vector<uint8_t> BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options = {});

// Position of the end record in an archive that BuildZip made (no comment
// containing its signature).
size_t FindEndRecord(const std::vector<uint8_t>& zip);
