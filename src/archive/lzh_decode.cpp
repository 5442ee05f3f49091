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

namespace {

// The main loop reads the stream through a 64-bit window instead of the
// BitReader's 32-bit cache: one refill gives at least 56 bits, enough for a
// literal/length code, a position code and its extra bits (16 + 16 + 15).
// The block headers are read by the BitReader, which is moved to the
// window's bit position and back. Past the end of data the window fills
// with zero bits, as the BitReader does.
struct LhWindow {
    uint64_t bits = 0;   // the next bits from the top; below count either 0 or the stream's next bits
    uint32_t count = 0;  // valid bits at the top of bits, below 64
    size_t next = 0;     // offset in data of the first byte not yet counted
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// The longest match, and the window's widest load.
constexpr uint32_t kLhMaxMatch = 256;
constexpr size_t kLhWideLoad = 8;

// The big-endian 64-bit value at p.
inline uint64_t LoadBigEndian64(const uint8_t* p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(v);
#else
    uint64_t r = 0;
    for (size_t i = 0; i < sizeof v; ++i)
        r = (r << 8) | p[i];
    return r;
#endif
}

// Tops the window up to 56 to 63 bits with one eight-byte load; the caller
// has checked that next + 8 <= size. The bits already counted stay; the
// load's overlap with uncounted stream bits in the window writes the same bits.
inline void RefillWide(LhWindow* w)
{
    w->bits |= LoadBigEndian64(w->data + w->next) >> w->count;
    w->next += (63 - w->count) >> 3;
    w->count |= 56;
}

// Tops the window up to 56 to 63 bits a byte at a time; bytes past the end are 0.
inline void RefillNarrow(LhWindow* w)
{
    while (w->count < 56) {
        uint64_t byte = w->next < w->size ? w->data[w->next] : 0;
        w->bits |= byte << (56 - w->count);
        w->next++;
        w->count += 8;
    }
}

// Drops n bits (at most count).
inline void DropBits(LhWindow* w, uint32_t n)
{
    w->bits <<= n;
    w->count -= n;
}

// Sets the window to the bit position pos of data.
void WindowAt(LhWindow* w, const uint8_t* data, size_t size, uint64_t pos)
{
    w->data = data;
    w->size = size;
    w->next = static_cast<size_t>(pos >> 3);
    w->bits = 0;
    w->count = 0;
    RefillNarrow(w);
    DropBits(w, static_cast<uint32_t>(pos & 7));
}

// The bit position of the window in its data.
inline uint64_t WindowPosition(const LhWindow& w)
{
    return static_cast<uint64_t>(w.next) * 8 - w.count;
}

// Starts bits at the bit position pos of data[0..size). Returns the offset in
// data of the reader's first byte, which positions it reports are relative to.
size_t ReaderAt(BitReader* bits, const uint8_t* data, size_t size, uint64_t pos)
{
    size_t first = static_cast<size_t>(pos >> 5) * 4;
    size_t inside = first < size ? first : size;  // beyond the end all bits are 0 anyway
    bits->Start(data + inside, size - inside);
    bits->SkipBits(static_cast<uint32_t>(pos & 31));
    return first;
}

// The bit position in data of a reader started by ReaderAt at offset first.
inline uint64_t ReaderPosition(const BitReader& bits, size_t first)
{
    return (static_cast<uint64_t>(first) + bits.nextWord - 4) * 8 + bits.bitsUsed;
}

// Takes one symbol of a code with nchar symbols from the window (which holds
// at least 16 bits): a lookup by the top tableBits bits, then the tree by the
// bits below them. Returns the symbol, or -1 when the walk passes 16 bits (a
// tree that a complete code never builds).
inline int TakeSymbol(const LzhTables* t, LhWindow* w, const uint16_t* table, int tableBits, const uint8_t* lengths,
                      uint32_t nchar)
{
    uint32_t c = table[w->bits >> (64 - tableBits)];
    if (c >= nchar) {
        uint64_t mask = uint64_t(1) << (63 - tableBits);
        do {
            if (mask < (uint64_t(1) << (64 - kLhMaxCodeLength)))
                return -1;
            c = (w->bits & mask) ? t->right[c] : t->left[c];
            mask >>= 1;
        } while (c >= nchar);
    }
    DropBits(w, lengths[c]);
    return static_cast<int>(c);
}

// Takes a match's distance plus one (1 to the dictionary size) from the
// window, or returns 0 for a bad position code.
inline uint32_t TakeBack(const LzhTables* t, LhWindow* w, uint32_t np)
{
    int p = TakeSymbol(t, w, t->ptTable, kLhPtTableBits, t->ptLen, np);
    if (p < 2)
        return static_cast<uint32_t>(p + 1);
    uint32_t n = static_cast<uint32_t>(p - 1);
    uint32_t extra = static_cast<uint32_t>(w->bits >> (64 - n));
    DropBits(w, n);
    return (1u << n) + extra + 1;
}

// Copies length bytes from back bytes behind out, one at a time so that an
// overlap repeats what was just written; positions before dst's first byte
// give the dictionary's initial blank.
inline void CopyCareful(uint8_t* dst, uint32_t produced, uint32_t back, uint32_t length)
{
    uint8_t* out = dst + produced;
    if (back <= produced) {
        const uint8_t* from = out - back;
        for (uint32_t i = 0; i < length; ++i)
            out[i] = from[i];
        return;
    }
    for (uint32_t i = 0; i < length; ++i)
        out[i] = produced + i >= back ? dst[produced + i - back] : 0x20;
}

// The same copy when at least kLhMaxMatch bytes of dst are free after out:
// eight bytes at a time when they do not overlap, and up to seven bytes past
// the length are written (and later overwritten).
inline void CopyWide(uint8_t* dst, uint32_t produced, uint32_t back, uint32_t length)
{
    uint8_t* out = dst + produced;
    if (back > produced) {
        CopyCareful(dst, produced, back, length);
    } else if (back >= 8) {
        const uint8_t* from = out - back;
        for (uint32_t i = 0; i < length; i += 8)
            memcpy(out + i, from + i, 8);
    } else if (back == 1) {
        memset(out, out[-1], length);
    } else {
        const uint8_t* from = out - back;
        for (uint32_t i = 0; i < length; ++i)
            out[i] = from[i];
    }
}

// Where the main loop stands.
struct LhLoop {
    LhWindow w;
    uint64_t symbolsLeft = 0;  // symbols of the current block still to come
    uint32_t produced = 0;
};

// The fast path: decodes symbols while the block lasts and a whole match
// fits in dst. The window loads eight bytes at once until the last eight of
// the data, then a byte at a time. Returns false for a bad code.
bool DecodeWide(const LzhTables* t, LhLoop* s, uint8_t* dst, uint32_t outCount, uint32_t np)
{
    if (outCount < kLhMaxMatch)
        return true;
    const uint32_t lastOut = outCount - kLhMaxMatch;
    const size_t wideEnd = s->w.size >= kLhWideLoad ? s->w.size - kLhWideLoad + 1 : 0;
    LhWindow w = s->w;
    uint32_t produced = s->produced;
    uint64_t symbolsLeft = s->symbolsLeft;
    bool good = true;
    while (symbolsLeft != 0 && produced <= lastOut) {
        symbolsLeft--;
        if (w.next < wideEnd)
            RefillWide(&w);
        else
            RefillNarrow(&w);
        int c = TakeSymbol(t, &w, t->cTable, kLhCTableBits, t->cLen, kLhCharCount);
        if (c < 256) {
            if (c < 0) {
                good = false;
                break;
            }
            dst[produced++] = static_cast<uint8_t>(c);
            continue;
        }
        uint32_t back = TakeBack(t, &w, np);
        if (back == 0) {
            good = false;
            break;
        }
        uint32_t length = static_cast<uint32_t>(c) - 256 + kLhMinMatch;
        CopyWide(dst, produced, back, length);
        produced += length;
    }
    s->w = w;
    s->produced = produced;
    s->symbolsLeft = symbolsLeft;
    return good;
}

// The slow path: one symbol within the last match of dst, read a byte at a
// time and copied no further than outCount. Returns false for a bad code.
bool DecodeNarrow(const LzhTables* t, LhLoop* s, uint8_t* dst, uint32_t outCount, uint32_t np)
{
    s->symbolsLeft--;
    RefillNarrow(&s->w);
    int c = TakeSymbol(t, &s->w, t->cTable, kLhCTableBits, t->cLen, kLhCharCount);
    if (c < 0)
        return false;
    if (c < 256) {
        dst[s->produced++] = static_cast<uint8_t>(c);
        return true;
    }
    uint32_t back = TakeBack(t, &s->w, np);
    if (back == 0)
        return false;
    uint32_t length = static_cast<uint32_t>(c) - 256 + kLhMinMatch;
    if (length > outCount - s->produced)
        length = outCount - s->produced;
    CopyCareful(dst, s->produced, back, length);
    s->produced += length;
    return true;
}

}  // namespace

// Returns outCount, or 0 when a block's tables cannot be built or a block's
// head does not fit in the data.
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
    const uint32_t np = m.dictionaryBits + 1;
    const size_t size = data ? dataSize : 0;
    LhLoop s;
    WindowAt(&s.w, data, size, 0);

    while (s.produced < outCount) {
        // A new block: its size in symbols (0 stands for 2^32, which never
        // runs out) and its three codes, read by the bit reader.
        if (s.symbolsLeft == 0) {
            // An honest stream's every block head lies inside its data; one
            // that would begin in the zeros past the end is damage, which
            // would otherwise decode zeros for as long as it is asked to.
            uint64_t headBits = 44 + 2 * static_cast<uint64_t>(m.positionCountBits);
            if (WindowPosition(s.w) + headBits > static_cast<uint64_t>(size) * 8)
                return 0;
            BitReader bits;
            size_t first = ReaderAt(&bits, data, size, WindowPosition(s.w));
            uint32_t blockSize = bits.GetBits(16);
            s.symbolsLeft = blockSize != 0 ? blockSize : uint64_t(1) << 32;
            if (ReadPtLen(tables, &bits, kLhPtCount, 5, 3) < 0 || ReadCLen(tables, &bits) < 0 ||
                ReadPtLen(tables, &bits, static_cast<int>(np), m.positionCountBits, -1) < 0)
                return 0;
            WindowAt(&s.w, data, size, ReaderPosition(bits, first));
        }

        // Symbols in bulk while a whole match fits, then one with care.
        if (!DecodeWide(tables, &s, dst, outCount, np))
            return 0;
        if (s.produced < outCount && s.symbolsLeft != 0 && !DecodeNarrow(tables, &s, dst, outCount, np))
            return 0;
    }
    return s.produced;
}
