// The fixtures' archives/MEMBERS.tsv: one line per archive member.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveMemberRow {
    std::string archive;           // e.g. archives/z01_stored.zip
    std::vector<uint8_t> nameBytes;  // the name as stored
    std::string kind;              // file or dir
    uint32_t size = 0;
    uint32_t packedSize = 0;
    std::string method;            // stored, deflated, -lh5-, ...
    std::string sha256;            // empty for folders
};

// The rows, in file order; empty when the file cannot be read.
std::vector<ArchiveMemberRow> ReadArchiveMembers();
