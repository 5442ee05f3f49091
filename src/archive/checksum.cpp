#include "archive/checksum.h"

#include <cstring>

namespace {

// Eight tables of a reflected CRC: table[0] advances the CRC by one byte,
// table[k] by one byte followed by k zero bytes.
struct CrcTables {
    uint32_t t[8][256];
};

constexpr CrcTables MakeTables(uint32_t polynomial)
{
    CrcTables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ polynomial : c >> 1;
        tables.t[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        for (int k = 1; k < 8; ++k)
            tables.t[k][n] = (tables.t[k - 1][n] >> 8) ^ tables.t[0][tables.t[k - 1][n] & 0xFF];
    }
    return tables;
}

constexpr CrcTables kCrc32Tables = MakeTables(0xEDB88320u);
constexpr CrcTables kCrc16Tables = MakeTables(0xA001u);

// The CRC over size bytes: single bytes up to an 8-byte boundary of the
// data, then eight bytes per step, then the rest. The register is held in
// its reflected form, so a little-endian load lines up with it.
uint32_t Update(const CrcTables& tables, uint32_t crc, const uint8_t* p, size_t size)
{
    const auto& t = tables.t;
    while (size > 0 && (reinterpret_cast<uintptr_t>(p) & 7) != 0) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
        --size;
    }
    while (size >= 8) {
        uint32_t lo, hi;
        memcpy(&lo, p, 4);
        memcpy(&hi, p + 4, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        lo = __builtin_bswap32(lo);
        hi = __builtin_bswap32(hi);
#endif
        lo ^= crc;
        crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
              t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return crc;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size)
{
    if (!data)
        return crc;
    return ~Update(kCrc32Tables, ~crc, data, size);
}

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t size)
{
    if (!data)
        return crc;
    return static_cast<uint16_t>(Update(kCrc16Tables, crc, data, size));
}
