#include "archive/lzh_decode.h"

#include <cstring>

namespace {

// Dictionary bits and the width of the position-code count for one method.
struct LhMethod {
    uint32_t dictionaryBits;
    int positionCountBits;
};

constexpr int kLhMaxCodeLength = 16;
constexpr uint32_t kLhMinMatch = 3;

// The parameters of a method letter; letters other than 4, 6 and 7 decode as 5.
LhMethod MethodOf(uint32_t letter)
{
    switch (letter) {
    case '4':
        return {12, 4};
    case '6':
        return {15, 5};
    case '7':
        return {16, 5};
    default:
        return {13, 4};
    }
}

// Returns the symbol of a code whose first-level entry is c, walking the tree
// by the bits of peek16 below the table's; returns -1 when the walk runs past
// the 16 bits (a tree that a complete code never builds).
inline int WalkTree(const LzhTables* t, uint32_t c, int nchar, uint32_t peek16, uint32_t mask)
{
    while (c >= static_cast<uint32_t>(nchar)) {
        if (!mask)
            return -1;
        c = (peek16 & mask) ? t->right[c] : t->left[c];
        mask >>= 1;
    }
    return static_cast<int>(c);
}

}  // namespace

// Returns 0, -1 (a length above 16) or -2 (an incomplete or over-full code).
int MakeLhTable(LzhTables* tables, int nchar, const uint8_t* lengths, int tableBits, uint16_t* table)
{
    // Symbols of each length.
    uint32_t count[kLhMaxCodeLength + 1] = {};
    for (int s = 0; s < nchar; ++s) {
        if (lengths[s] > kLhMaxCodeLength)
            return -1;
        count[lengths[s]]++;
    }

    // The first code of each length, left-aligned in 16 bits; the code must
    // fill the 16-bit space exactly (no lengths at all is no code either).
    uint32_t start[kLhMaxCodeLength + 2] = {};
    for (int i = 1; i <= kLhMaxCodeLength; ++i)
        start[i + 1] = start[i] + (count[i] << (kLhMaxCodeLength - i));
    if (start[kLhMaxCodeLength + 1] != (1u << kLhMaxCodeLength))
        return -2;

    // Table positions and steps of the short codes; steps of the long ones.
    const int shift = kLhMaxCodeLength - tableBits;
    const uint32_t size = 1u << tableBits;
    uint32_t weight[kLhMaxCodeLength + 1] = {};
    for (int i = 1; i <= tableBits; ++i) {
        start[i] >>= shift;
        weight[i] = 1u << (tableBits - i);
    }
    for (int i = tableBits + 1; i <= kLhMaxCodeLength; ++i)
        weight[i] = 1u << (kLhMaxCodeLength - i);

    // The entries behind the short codes are the roots of the long ones.
    uint32_t z = start[tableBits + 1] >> shift;
    for (uint32_t i = z; i < size; ++i)
        table[i] = 0;

    // Each symbol in turn: a run of table entries, or a path through the tree.
    uint32_t avail = static_cast<uint32_t>(nchar);
    const uint32_t mask = 1u << (kLhMaxCodeLength - 1 - tableBits);
    for (int s = 0; s < nchar; ++s) {
        int len = lengths[s];
        if (len == 0)
            continue;
        uint32_t k = start[len];
        uint32_t next = k + weight[len];
        if (len <= tableBits) {
            for (uint32_t i = k; i < next && i < size; ++i)
                table[i] = static_cast<uint16_t>(s);
        } else {
            if ((k >> shift) >= size)
                return -2;
            uint16_t* p = &table[k >> shift];
            for (int i = len - tableBits; i > 0; --i) {
                if (*p == 0) {
                    if (avail >= static_cast<uint32_t>(kLhTreeNodes))
                        return -2;
                    tables->left[avail] = tables->right[avail] = 0;
                    *p = static_cast<uint16_t>(avail++);
                } else if (*p < nchar) {
                    return -2;
                }
                p = (k & mask) ? &tables->right[*p] : &tables->left[*p];
                k <<= 1;
            }
            *p = static_cast<uint16_t>(s);
        }
        start[len] = next;
    }
    return 0;
}

// Returns 0, or negative when a count, a run or a length is out of range or the code is bad.
int ReadPtLen(LzhTables* tables, BitReader* bits, int nn, int nbit, int special)
{
    // A count of 0: one symbol for every lookup, coded with no bits.
    int n = static_cast<int>(bits->GetBits(static_cast<uint32_t>(nbit)));
    if (n == 0) {
        uint32_t c = bits->GetBits(static_cast<uint32_t>(nbit));
        if (c >= static_cast<uint32_t>(nn))
            return -2;
        memset(tables->ptLen, 0, static_cast<size_t>(nn));
        for (uint16_t& e : tables->ptTable)
            e = static_cast<uint16_t>(c);
        return 0;
    }
    if (n > nn)
        return -2;

    // Lengths of 3 bits, 7 extended by a run of 1 bits; after the special
    // index a 2-bit count of zero lengths.
    int i = 0;
    while (i < n) {
        uint32_t c = bits->GetBits(3);
        if (c == 7) {
            while (bits->GetBits(1)) {
                if (++c > kLhMaxCodeLength)
                    return -1;
            }
        }
        tables->ptLen[i++] = static_cast<uint8_t>(c);
        if (i == special) {
            int zeros = static_cast<int>(bits->GetBits(2));
            if (i + zeros > nn)
                return -2;
            memset(tables->ptLen + i, 0, static_cast<size_t>(zeros));
            i += zeros;
        }
    }

    // The rest have no code.
    if (i < nn)
        memset(tables->ptLen + i, 0, static_cast<size_t>(nn - i));
    return MakeLhTable(tables, nn, tables->ptLen, kLhPtTableBits, tables->ptTable);
}

// Returns 0, or negative when a count or zero run passes 510 symbols or the code is bad.
int ReadCLen(LzhTables* tables, BitReader* bits)
{
    // A count of 0: one symbol for every lookup, coded with no bits.
    int n = static_cast<int>(bits->GetBits(9));
    if (n == 0) {
        uint32_t c = bits->GetBits(9);
        if (c >= static_cast<uint32_t>(kLhCharCount))
            return -2;
        memset(tables->cLen, 0, sizeof tables->cLen);
        for (uint16_t& e : tables->cTable)
            e = static_cast<uint16_t>(c);
        return 0;
    }
    if (n > kLhCharCount)
        return -2;

    // Each length through the code-length code: 0 to 2 are runs of zero lengths.
    int i = 0;
    while (i < n) {
        uint32_t peek = bits->PeekBits(16);
        int c = WalkTree(tables, tables->ptTable[peek >> 8], kLhPtCount, peek, 1u << 7);
        if (c < 0)
            return -2;
        bits->SkipBits(tables->ptLen[c]);
        if (c <= 2) {
            int run = c == 0 ? 1 : c == 1 ? static_cast<int>(bits->GetBits(4)) + 3 : static_cast<int>(bits->GetBits(9)) + 20;
            if (i + run > kLhCharCount)
                return -2;
            memset(tables->cLen + i, 0, static_cast<size_t>(run));
            i += run;
        } else {
            tables->cLen[i++] = static_cast<uint8_t>(c - 2);
        }
    }

    // The rest have no code.
    if (i < kLhCharCount)
        memset(tables->cLen + i, 0, static_cast<size_t>(kLhCharCount - i));
    return MakeLhTable(tables, kLhCharCount, tables->cLen, kLhCTableBits, tables->cTable);
}

// Returns outCount, or 0 when a block's tables cannot be built.
//
// The output itself serves as the dictionary: every match reaches back at
// most the dictionary's size, so its bytes are the last ones written, and a
// position before the first byte holds the dictionary's initial blank.
uint32_t DecodeLh(LzhTables* tables, const uint8_t* data, size_t dataSize, uint8_t* dst, uint32_t outCount,
                  uint32_t method)
{
    if (!tables || !dst || outCount == 0)
        return 0;
    const LhMethod m = MethodOf(method);
    const int np = static_cast<int>(m.dictionaryBits) + 1;
    BitReader bits;
    bits.Start(data, data ? dataSize : 0);

    uint32_t produced = 0;
    uint32_t blockLeft = 0;
    while (produced < outCount) {
        // A new block: its size in symbols (0 never runs out) and its three codes.
        if (blockLeft == 0) {
            blockLeft = bits.GetBits(16);
            if (ReadPtLen(tables, &bits, kLhPtCount, 5, 3) < 0 || ReadCLen(tables, &bits) < 0 ||
                ReadPtLen(tables, &bits, np, m.positionCountBits, -1) < 0)
                return 0;
        }
        blockLeft--;

        // A literal or a match length: one 12-bit lookup, a short walk for long codes.
        uint32_t peek = bits.PeekBits(16);
        uint32_t c = tables->cTable[peek >> 4];
        if (c >= static_cast<uint32_t>(kLhCharCount)) {
            int s = WalkTree(tables, c, kLhCharCount, peek, 1u << 3);
            if (s < 0)
                return 0;
            c = static_cast<uint32_t>(s);
        }
        bits.SkipBits(tables->cLen[c]);
        if (c < 256) {
            dst[produced++] = static_cast<uint8_t>(c);
            continue;
        }

        // The match's distance: a position symbol, then its extra bits.
        uint32_t length = c - 256 + kLhMinMatch;
        peek = bits.PeekBits(16);
        uint32_t p = tables->ptTable[peek >> 8];
        if (p >= static_cast<uint32_t>(np)) {
            int s = WalkTree(tables, p, np, peek, 1u << 7);
            if (s < 0)
                return 0;
            p = static_cast<uint32_t>(s);
        }
        bits.SkipBits(tables->ptLen[p]);
        uint32_t back = (p < 2 ? p : (1u << (p - 1)) + bits.GetBits(p - 1)) + 1;

        // The copy, byte by byte so that overlaps repeat what was just written;
        // it ends early at the output count.
        if (length > outCount - produced)
            length = outCount - produced;
        uint8_t* out = dst + produced;
        if (back <= produced) {
            const uint8_t* from = out - back;
            for (uint32_t i = 0; i < length; ++i)
                out[i] = from[i];
        } else {
            for (uint32_t i = 0; i < length; ++i)
                out[i] = produced + i >= back ? dst[produced + i - back] : 0x20;
        }
        produced += length;
    }
    return produced;
}
