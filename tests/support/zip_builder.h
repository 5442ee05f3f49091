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
    int64_t crc = -1;              // when not negative: the CRC-32 written instead of the data's
    // Zip64: sizes 0xFFFFFFFF with the real ones in a Zip64 block, in the
    // local header and the directory (there with the offset), version 4.5.
    bool zip64 = false;
    // As `zip` writes a member that it reads from a pipe to a pipe: version
    // 4.5, flag bit 3, local CRC 0 and sizes 0xFFFFFFFF with a Zip64 block of
    // zeros, a data descriptor with 8-byte sizes; plain sizes in the directory.
    bool streamed = false;
};

// A member with its name, data and method (0 stored, 8 deflated), the rest as default.
ZipMember MakeZipMember(const std::string& name, const std::vector<uint8_t>& data, uint16_t method = 0);

struct ZipOptions {
    std::vector<uint8_t> prefix;   // bytes before the archive (offsets stay relative to the archive)
    std::string comment;           // the archive's comment
    uint16_t disk = 0;             // number of this disk in the end record
    int64_t countOverride = -1;    // total entries in the end record
    // A Zip64 end record and its locator before the end record, whose count
    // and directory offset then hold only 0xFFFF and 0xFFFFFFFF.
    bool zip64End = false;
};

// The CRC-32 of ZIP, bit by bit (independent of the reader's tables).
uint32_t ReferenceCrc32(const std::vector<uint8_t>& data);

// An Info-ZIP Unicode Path extra block (0x7075, version 1) giving utf8 as
// the name of a member whose stored name is raw; crc replaces the raw
// name's CRC-32 when not negative.
std::vector<uint8_t> UnicodePathExtra(const std::string& utf8, const std::string& raw, int64_t crc = -1);

std::vector<uint8_t> BuildZip(const std::vector<ZipMember>& members, const ZipOptions& options = {});

// Position of the end record in an archive that BuildZip made (no comment
// containing its signature).
size_t FindEndRecord(const std::vector<uint8_t>& zip);
