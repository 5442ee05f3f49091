// The checksums that archives store for their members: CRC-32 (ZIP) and
// CRC-16 (LZH). Both are reflected CRCs, computed eight bytes at a time
// with eight tables (slicing-by-8) so that checking a member costs little
// beside decoding it; on x86-64 processors with carry-less multiplication,
// both fold 64 bytes at a time instead, several times faster.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues a CRC-32 (polynomial 0xEDB88320, as ZIP and zlib use it) over
// size bytes; start with crc 0. Crc32Update(0, "123456789", 9) is 0xCBF43926.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

// Continues a CRC-16 (polynomial 0xA001, initial 0, as LHA uses it) over
// size bytes; start with crc 0. Crc16Update(0, "123456789", 9) is 0xBB3D.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t size);
