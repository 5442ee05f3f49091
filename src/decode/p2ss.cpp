#include "decode/p2ss.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "decode/bit_reader.h"
#include "decode/byte_reader.h"

namespace {

// Base contexts of the decisions (each has its own stored probability).
const uint32_t kCacheHitBase = 17;   // cache position
const uint32_t kIndexBase = 32;      // 8 bits: index list position; else the green residual
const uint32_t kRedBase = 48;        // red residual
const uint32_t kBlueBase = 64;       // blue residual
const uint32_t kChainBase = 80;      // chains, six contexts per arrival direction
const uint32_t kLiteralContext = 16; // the cache-or-literal decision starts here

// Chain marks: the direction a chained colour came from.
const uint8_t kMarkDown = 255, kMarkLeft1 = 254, kMarkRight1 = 253, kMarkLeft2 = 252, kMarkRight2 = 251;

const uint32_t kStoredProbabilities = 128;
const size_t kTableBytes = kStoredProbabilities * 2;
const uint32_t kPairs = 24576;  // 8 bits: 256 contexts of 32 pairs, and room past them

// Work tables of one block. The 8-bit pair lists and the 15- and 24-bit
// rings are never used together.
struct Tables {
    uint32_t stored[128];        // the block's probabilities, one per context
    union {
        uint32_t ring[512 * 32];  // 15 and 24 bits: 32 recent colours per context
        uint16_t pairs[kPairs];   // 8 bits: 32 recent pairs (c1 | c2 << 8) per context
    };
    uint16_t heads[512];          // 15 and 24 bits: each ring's front entry
    uint8_t indexList[256];       // 8 bits: recent palette indices
};

// The decision decoder: range a, code value c offset from the range's bottom.
struct Decider {
    BitReader bits;
    const uint32_t* stored;
    uint32_t a, c;

    // Returns the next decision in context (0 to 127). The share of the range
    // for a 0 is (a's top eight bits x the context's stored value) / 256, at
    // least 1: the probability table row of a's top bits, computed in place.
    inline uint32_t Decide(uint32_t context)
    {
        uint32_t q = ((a >> 8) * stored[context]) >> 8;
        q += q == 0;
        uint32_t bit;
        if (c < q) {
            a = q;
            bit = 0;
        } else {
            c -= q;
            a -= q;
            bit = 1;
        }
        // Renormalise: a stays in 0x8000..0xFFFF; q < a keeps it above 0.
        if (!(a & 0x8000)) {
            uint32_t n = static_cast<uint32_t>(__builtin_clz(a)) - 16;
            a <<= n;
            c = (c << n) | bits.GetBits(n);
        }
        return bit;
    }

    // Returns the value 0 to 255 coded by unary prefix and binary suffix.
    inline uint32_t Value(uint32_t base)
    {
        uint32_t j = 0;
        while (j < 8 && !Decide(base + j))
            ++j;
        if (j == 8)
            return 255;
        uint32_t suffix = 0;
        for (uint32_t m = 0; m < j; ++m)
            suffix |= Decide(base + 8 + m) << m;
        return (1u << j) - 1 + suffix;
    }
};

// Returns v unfolded around the prediction p in the range 0..max (half is
// the range's midpoint): small v alternate around p, larger ones run to the
// far side.
inline int Unfold(int v, int p, int max, int half)
{
    if (p >= half && 2 * max - 2 * p < v)
        return max - v;
    if (p >= half || 2 * p >= v)
        return (v & 1) ? p + v / 2 + 1 : p - v / 2;
    return v;
}

// Returns v limited to 0..max.
inline int Clamp(int v, int max)
{
    return v < 0 ? 0 : v > max ? max : v;
}

// The state of one block's decoding.
struct SsDecoder {
    Decider d;
    Tables* t;
    uint32_t q = kLiteralContext;  // the cache-or-literal context, 15 or 16
    int max, half, topShift;       // channel range and the shift to its top three bits

    // 8 bits: returns the index list entry the stream names and moves it to the front.
    uint32_t IndexFromList()
    {
        uint32_t i = d.Value(kIndexBase);
        uint8_t v = t->indexList[i];
        std::memmove(t->indexList + 1, t->indexList, i);
        t->indexList[0] = v;
        return v;
    }

    // 8 bits: returns the new pair; context is the right index of the unit to the left.
    uint32_t NewPair(uint32_t left)
    {
        uint16_t* list = t->pairs + ((left >> 16) & 0xFF) * 32;
        uint32_t pair;
        if (d.Decide(q)) {
            q = kLiteralContext;
            uint32_t c1 = IndexFromList();
            uint32_t c2 = IndexFromList();
            pair = c1 | (c2 << 8);
            std::memmove(list + 1, list, 31 * sizeof *list);
            list[0] = static_cast<uint16_t>(pair);
        } else {
            // A position of 32 or more reaches into the following contexts'
            // lists; the flat table is large enough for the farthest one.
            q = kLiteralContext - 1;
            uint32_t h = d.Value(kCacheHitBase);
            pair = list[h];
            list[h] = list[h / 2];
            list[h / 2] = list[0];
            list[0] = static_cast<uint16_t>(pair);
        }
        return pair << 8;
    }

    // 15 and 24 bits: returns the new colour of the unit with the given
    // neighbours above and to the left.
    uint32_t NewColour(uint32_t above, uint32_t left)
    {
        int a0 = above & 0xFF, a1 = (above >> 8) & 0xFF, a2 = (above >> 16) & 0xFF;
        uint32_t context = (((a1 >> topShift) & 7) << 6) | (((a0 >> topShift) & 7) << 3) | ((a2 >> topShift) & 7);
        uint32_t* ring = t->ring + context * 32;
        uint32_t colour;

        if (d.Decide(q)) {
            // Literal: green around the mean of its neighbours, then red and
            // blue around theirs moved by green's shift.
            q = kLiteralContext;
            int l0 = left & 0xFF, l1 = (left >> 8) & 0xFF, l2 = (left >> 16) & 0xFF;
            int p1 = (l1 + a1) / 2;
            int g = Unfold(static_cast<int>(d.Value(kIndexBase)), p1, max, half) & max;
            int shift = g - p1;
            int p0 = Clamp((l0 + a0) / 2 + shift, max);
            int p2 = Clamp((l2 + a2) / 2 + shift, max);
            int r = Unfold(static_cast<int>(d.Value(kRedBase)), p0, max, half) & max;
            int b = Unfold(static_cast<int>(d.Value(kBlueBase)), p2, max, half) & max;
            colour = P2Colour(r, g, b);
            uint16_t head = static_cast<uint16_t>((t->heads[context] - 1) & 31);
            t->heads[context] = head;
            ring[head] = colour;
        } else {
            // Cache hit h: entry h moves to the front, the front to h / 2.
            q = kLiteralContext - 1;
            uint32_t h = d.Value(kCacheHitBase);
            uint32_t f = t->heads[context];
            uint32_t at = (f + h) & 31, half2 = (f + h / 2) & 31;
            colour = ring[at];
            ring[at] = ring[half2];
            ring[half2] = ring[f];
            ring[f] = colour;
        }
        return colour;
    }
};

// Reads the chain of unit u (arrived with mark, or 0) and puts its colour
// into the next row where the chain points.
inline void ReadChain(Decider& d, uint32_t mark, uint32_t colour, uint32_t* next, uint8_t* nextMarks, int u)
{
    uint32_t base = mark ? kChainBase + 6 * (256 - mark) : kChainBase;
    if (d.Decide(base))
        return;
    int target;
    uint8_t arrival;
    if (d.Decide(base + 1)) {
        target = u;
        arrival = kMarkDown;
    } else if (d.Decide(base + 2)) {
        target = u - 1;
        arrival = kMarkLeft1;
    } else if (d.Decide(base + 3)) {
        target = u + 1;
        arrival = kMarkRight1;
    } else if (d.Decide(base + 4)) {
        target = u - 2;
        arrival = kMarkLeft2;
    } else {
        target = u + 2;
        arrival = kMarkRight2;
    }
    next[target] = colour;
    nextMarks[target] = arrival;
}

}  // namespace

bool DecodeP2ssBlock(const P2Block& block)
{
    // Work buffers: the tables, then three rows of colours, two of marks and
    // three of counts, each with four spare units on both sides.
    uint32_t units = block.depth == 8 ? (block.width + 1) / 2 : block.width;
    size_t span = size_t(units) + 8;
    std::unique_ptr<Tables> tables(new (std::nothrow) Tables);
    std::unique_ptr<uint32_t[]> rowStore(new (std::nothrow) uint32_t[span * 3]());
    std::unique_ptr<uint8_t[]> byteStore(new (std::nothrow) uint8_t[span * 5]());
    if (!tables || !rowStore || !byteStore)
        return false;
    uint32_t* prev = rowStore.get() + 4;
    uint32_t* cur = prev + span;
    uint32_t* next = cur + span;
    uint8_t* curMarks = byteStore.get() + 4;
    uint8_t* nextMarks = curMarks + span;
    uint8_t* k0 = nextMarks + span;
    uint8_t* k1 = k0 + span;
    uint8_t* k2 = k1 + span;

    // The stored probabilities, one per context.
    Tables* t = tables.get();
    for (uint32_t col = 0; col < kStoredProbabilities; ++col)
        t->stored[col] = ReadBE16(block.data, block.dataSize, col * 2);
    for (int i = 0; i < 256; ++i)
        t->indexList[i] = static_cast<uint8_t>(i);

    // Only the cache of this depth starts empty; the other is never touched.
    if (block.depth == 8) {
        std::memset(t->pairs, 0, sizeof t->pairs);
    } else {
        std::memset(t->ring, 0, sizeof t->ring);
        std::memset(t->heads, 0, sizeof t->heads);
    }

    // The decision decoder starts on the first 16 bits of the stream.
    SsDecoder s;
    s.t = t;
    s.max = block.depth == 15 ? 31 : 255;
    s.half = block.depth == 15 ? 16 : 128;
    s.topShift = block.depth == 15 ? 2 : 5;
    if (block.dataSize > kTableBytes)
        s.d.bits.Start(block.data + kTableBytes, block.dataSize - kTableBytes);
    else
        s.d.bits.Start(block.data, 0);
    s.d.stored = t->stored;
    s.d.a = 0xFFFF;
    s.d.c = s.d.bits.GetBits(16);
    bool pairs = block.depth == 8;

    for (uint32_t row = 0; row < block.height; ++row) {
        // The row starts with the previous row's last colour, also its left neighbour.
        bool lastRow = row + 1 == block.height;
        uint32_t current = prev[units - 1];
        cur[-1] = current;
        std::memset(nextMarks - 4, 0, span);
        std::memset(k2 - 4, 0, span);

        for (int u = 0; u < static_cast<int>(units); ++u) {
            // A chained unit keeps its colour and may chain on.
            uint32_t mark = curMarks[u];
            if (mark) {
                current = cur[u];
                if (!lastRow)
                    ReadChain(s.d, mark, current, next, nextMarks, u);
                continue;
            }
            if (!s.d.Decide(k0[u])) {
                cur[u] = current;
                continue;
            }

            // A new colour, counted in the neighbourhood below and to the right.
            ++k0[u + 1];
            ++k0[u + 2];
            ++k1[u - 1];
            ++k1[u];
            ++k1[u + 1];
            ++k2[u - 1];
            ++k2[u];
            ++k2[u + 1];
            current = pairs ? s.NewPair(cur[u - 1]) : s.NewColour(prev[u], cur[u - 1]);
            cur[u] = current;
            if (!lastRow)
                ReadChain(s.d, 0, current, next, nextMarks, u);
        }
        WriteP2Row(block, row, cur, 1, 2);

        // Rotate the rows, their marks and their counts.
        uint32_t* oldPrev = prev;
        prev = cur;
        cur = next;
        next = oldPrev;
        std::swap(curMarks, nextMarks);
        uint8_t* oldK0 = k0;
        k0 = k1;
        k1 = k2;
        k2 = oldK0;
    }
    return true;
}
