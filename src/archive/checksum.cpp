#include "archive/checksum.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZIZE_CRC_CLMUL 1
#endif

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

#ifdef ZIZE_CRC_CLMUL
// One 128-bit lane folded forward over the next 16 bytes with the pair of
// constants k.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold16(__m128i x, __m128i next, __m128i k)
{
    __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), next), lo);
}

// The constants of folding for one reflected CRC: powers of x modulo its
// polynomial P, bit-reflected and shifted left by one: x^(4*128+32) and
// x^(4*128-32) fold a lane 64 bytes forward, x^(128+32) and x^(128-32) 16
// bytes, x^64 takes 128 bits to 64; then P and floor(x^64 / P), reflected,
// for Barrett's reduction.
struct FoldConstants {
    int64_t k1, k2, k3, k4, k5, p, mu;
};

// CRC-32: P = 0x104C11DB7.
constexpr FoldConstants kCrc32Fold = {0x0154442bd4, 0x01c6e41596, 0x01751997d0, 0x00ccaa009e,
                                      0x0163cd6124, 0x01db710641, 0x01f7011641};
// CRC-16 as a 32-bit CRC whose polynomial is LHA's times x^16
// (0x180050000): its register then holds the CRC-16 in its low half.
constexpr FoldConstants kCrc16Fold = {0x01b0c2, 0x00bffa, 0x01d0c2, 0x018cc2, 0x01bc02, 0x014003, 0x01cfffbfff};

// A CRC by folding with carry-less multiplication (PCLMULQDQ): four 128-bit
// lanes are folded forward 64 bytes at a time, then into one lane, then to
// 64 and 32 bits, and reduced by Barrett's method. Takes the register (not
// inverted) and a size that is at least 64 and a multiple of 16; returns
// the register.
__attribute__((target("pclmul,sse4.1"))) uint32_t FoldCrc(const FoldConstants& c, uint32_t crc, const uint8_t* p,
                                                         size_t size)
{
    const __m128i k1k2 = _mm_set_epi64x(c.k2, c.k1);
    const __m128i k3k4 = _mm_set_epi64x(c.k4, c.k3);
    const __m128i k5 = _mm_set_epi64x(0, c.k5);
    const __m128i poly = _mm_set_epi64x(c.mu, c.p);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);

    // Four lanes over the first 64 bytes, the register in the first.
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    p += 64;
    size -= 64;

    // Each lane folded over the next 64 bytes.
    while (size >= 64) {
        __m128i f1 = _mm_clmulepi64_si128(x1, k1k2, 0x00), f2 = _mm_clmulepi64_si128(x2, k1k2, 0x00);
        __m128i f3 = _mm_clmulepi64_si128(x3, k1k2, 0x00), f4 = _mm_clmulepi64_si128(x4, k1k2, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k1k2, 0x11);
        x2 = _mm_clmulepi64_si128(x2, k1k2, 0x11);
        x3 = _mm_clmulepi64_si128(x3, k1k2, 0x11);
        x4 = _mm_clmulepi64_si128(x4, k1k2, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, f1), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, f2), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, f3), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, f4), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)));
        p += 64;
        size -= 64;
    }

    // The four lanes into one, then the remaining 16-byte blocks into it.
    x1 = Fold16(Fold16(Fold16(x1, x2, k3k4), x3, k3k4), x4, k3k4);
    for (; size >= 16; p += 16, size -= 16)
        x1 = Fold16(x1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), k3k4);

    // 128 bits to 64, then to 32 by Barrett reduction.
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), x2);
    x2 = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10), low32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, x2), 1));
}

// True when the processor has carry-less multiplication and SSE4.1.
bool HasClmul()
{
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}
#endif

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size)
{
    if (!data)
        return crc;
    uint32_t r = ~crc;
#ifdef ZIZE_CRC_CLMUL
    // Whole 16-byte blocks by folding, the rest by the tables.
    if (size >= 64 && HasClmul()) {
        size_t folded = size & ~size_t(15);
        r = FoldCrc(kCrc32Fold, r, data, folded);
        data += folded;
        size -= folded;
    }
#endif
    return ~Update(kCrc32Tables, r, data, size);
}

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t size)
{
    if (!data)
        return crc;
    uint32_t r = crc;
#ifdef ZIZE_CRC_CLMUL
    if (size >= 64 && HasClmul()) {
        size_t folded = size & ~size_t(15);
        r = FoldCrc(kCrc16Fold, r, data, folded);
        data += folded;
        size -= folded;
    }
#endif
    return static_cast<uint16_t>(Update(kCrc16Tables, r, data, size));
}
