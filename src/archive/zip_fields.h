// The parts of ZIP headers that the directory reader and member extraction
// both read: the extra field's Zip64 sizes and the member name's encoding.
#pragma once

#include <cstddef>
#include <cstdint>

// A 32-bit size or offset field holding this value is given in the Zip64
// extended-information extra field instead.
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
// General-purpose flag bit 11: the name (and comment) are UTF-8.
constexpr uint16_t kZipFlagUtf8 = 0x0800;

// The little-endian 64-bit value at offset at; 0 when any byte of it lies
// outside the size bytes at p.
uint64_t ReadZipLE64(const uint8_t* p, size_t size, size_t at);

// Finds the first block of the extra field extra[0..size) whose id is id.
// Returns true with its data and length; a block whose length runs past
// the field ends the search.
bool FindZipExtra(const uint8_t* extra, size_t size, uint16_t id, const uint8_t** data, size_t* length);

// Reads the Zip64 extended-information block (id 1): an 8-byte value for
// each of uncompressed, compressed and offset (in that order; offset may be
// null) that holds kZip64Marker on entry. Values whose 8 bytes the block
// lacks, and all of them when there is no block, stay as they were.
void ReadZip64Sizes(const uint8_t* extra, size_t size, uint64_t* uncompressed, uint64_t* compressed,
                    uint64_t* offset);

// The member's name as wide text: UTF-8 when flags has bit 11, else the
// UTF-8 name of an Info-ZIP Unicode Path block (0x7075) of version 1 whose
// CRC-32 matches the n raw name bytes, else the ANSI code page. Returns the
// new string (null when out of memory) with its length in *length, where
// it came from in *source (kName...) and, for the Unicode Path block, the
// raw name's CRC-32 in *rawCrc.
wchar_t* DecodeZipName(const uint8_t* name, uint32_t n, uint16_t flags, const uint8_t* extra, size_t m,
                       uint32_t* length, uint8_t* source, uint32_t* rawCrc);
