// One open archive and its members, shared by the ZIP and LZH readers and by
// member extraction. Outside the archive code only an entry's name and
// uncompressedSize are read.
#pragma once

#include <cstdint>

#include "platform/file.h"

// Where a member's name came from.
enum : uint8_t {
    kNameCodePage = 0,      // the ANSI code page (code page 932 natively)
    kNameUtf8 = 1,          // UTF-8: a ZIP name with general-purpose flag bit 11
    kNameUnicodeField = 2,  // UTF-8 from a ZIP Info-ZIP Unicode Path extra field (0x7075)
};

// One member, in the order the archive stores it. The ZIP reader fills
// versionNeeded, flags, method (the compression method) and nameLength; the
// LZH reader fills method (the method letter) and dataPosition.
struct ArchiveEntry {
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint32_t method = 0;
    uint32_t nameLength = 0;       // wide units of name, without the terminator
    uint64_t dataPosition = 0;     // absolute position of an LZH member's data
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint64_t headerPosition = 0;   // absolute position of the member's (local) header
    wchar_t* name = nullptr;       // owned (new[]), NUL-terminated; an empty name is one 0 unit
    uint32_t checksum = 0;         // the stored CRC-32 (ZIP) or CRC-16 (LZH) of the member's bytes
    uint32_t rawNameCrc = 0;       // ZIP, kNameUnicodeField: CRC-32 of the name's bytes as stored
    uint8_t nameSource = kNameCodePage;
    // ZIP: a Zip64 size does not fit in 32 bits; both sizes then hold
    // 0xFFFFFFFF and extraction refuses the member.
    bool tooLarge = false;
    // Set (never cleared) by the first whole extraction whose bytes do not
    // match checksum; the member's bytes were delivered all the same.
    bool checksumMismatch = false;
};

// The LZH decoder's tables, defined with that decoder. The LZH directory
// reader allocates them with calloc; CloseArchive frees them.
struct LzhTables;

// One open archive. entries is a block of count records allocated with
// new (std::nothrow) ArchiveEntry[count]; file is owned and kInvalidFile once
// closed.
struct ArchiveReader {
    ArchiveEntry* entries = nullptr;
    uint32_t count = 0;
    FileHandle file = kInvalidFile;
    LzhTables* lzhTables = nullptr;
};

// Closes the file and releases every name, the entries and the LZH tables.
// Safe after a failed read and when called twice.
void CloseArchive(ArchiveReader* reader);

// Converts size bytes of the ANSI code page into a new NUL-terminated wide
// string (new (std::nothrow) wchar_t[]); conversion stops at a 0 byte. An
// empty input gives a string of one 0 unit. Stores the length without the
// terminator in *length when given. Returns null when out of memory.
wchar_t* ConvertArchiveName(const uint8_t* bytes, uint32_t size, uint32_t* length);

// As ConvertArchiveName for UTF-8 bytes: conversion stops at a 0 byte, and
// bytes that are not well-formed UTF-8 become U+FFFD.
wchar_t* ConvertUtf8ArchiveName(const uint8_t* bytes, uint32_t size, uint32_t* length);
