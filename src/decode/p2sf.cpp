#include "decode/p2sf.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "decode/bit_reader.h"

namespace {

const uint32_t kRingSize = 64;      // recent colours per context
const uint32_t kPairListSize = 17;  // 8 bits: recent pairs kept per context
const uint32_t kIndexListSize = 17; // 8 bits: recent single indices
const uint32_t kLongRun = 1023;     // the run value that starts the long-run mode

// Work tables of one block.
struct Tables {
    uint32_t ring[256 * kRingSize];  // 15, 24 bits: rings; 8 bits: pair lists
    uint16_t heads[256];             // 15, 24 bits: each ring's newest entry
    uint8_t indexList[kIndexListSize];
};

// The state of one block's decoding.
struct SfDecoder {
    BitReader bits;
    Tables* t;
    uint32_t run = 0;         // units left in the current run
    uint32_t countdown = 0;   // long-run mode: marked units left until the next run length
    bool longRun = false;

    // Reads a run length: a unary prefix of i bits (ones ended by a zero),
    // then i - 1 bits. A prefix of 33 or more bits gives the longest run.
    void ReadRun()
    {
        uint32_t ones = 0;
        for (;;) {
            uint32_t w = bits.PeekBits(32);
            if (w != 0xFFFFFFFFu) {
                uint32_t n = static_cast<uint32_t>(__builtin_clz(~w));
                bits.SkipBits(n + 1);
                ones += n;
                break;
            }
            bits.SkipBits(32);
            ones += 32;
        }
        uint64_t value;
        if (ones == 0)
            value = 0;
        else if (ones < 32)
            value = (uint64_t(1) << ones) - 1 + bits.GetBits(ones);
        else
            value = 0xFFFFFFFFu;

        if (value == kLongRun) {
            longRun = true;
            countdown = kLongRun;
        } else {
            longRun = false;
            run = static_cast<uint32_t>(value < kLongRun ? value : value - 1);
        }
    }

    // Reads the chain code of unit u and puts colour into the next row
    // where it points: 0 none; 11 straight down; 1011, 1010 one and two
    // left; 1001, 1000 one and two right.
    inline void ReadChain(uint32_t colour, uint32_t* next, uint8_t* nextMarks, int u)
    {
        uint32_t code = bits.PeekBits(4);
        if (!(code & 8)) {
            bits.SkipBits(1);
            return;
        }
        int target;
        if (code & 4) {
            bits.SkipBits(2);
            target = u;
        } else {
            bits.SkipBits(4);
            static const int kOffsets[4] = {2, 1, -2, -1};
            target = u + kOffsets[code & 3];
        }
        next[target] = colour;
        nextMarks[target] = 1;
    }

    // 15 and 24 bits: returns a new colour from the ring of the current
    // colour's context, or a literal stored at the ring's new front.
    uint32_t NewColour(uint32_t current, bool deep)
    {
        uint32_t context = deep ? (current >> 8) & 0xFF
                                : ((((current >> 8) & 0xFF) << 3) | ((current >> 2) & 7)) & 0xFF;
        uint32_t* ring = t->ring + context * kRingSize;
        if (bits.GetBits(1))
            return ring[(t->heads[context] + bits.GetBits(6)) & (kRingSize - 1)];
        uint16_t head = static_cast<uint16_t>((t->heads[context] - 1) & (kRingSize - 1));
        t->heads[context] = head;
        uint32_t colour;
        if (deep) {
            // Green in the top byte, then red, then blue.
            uint32_t w = bits.GetBits(24);
            colour = P2Colour((w >> 8) & 0xFF, w >> 16, w & 0xFF);
        } else {
            // Green in bits 14-10, red in 9-5, blue in 4-0.
            uint32_t w = bits.GetBits(15);
            colour = P2Colour((w >> 5) & 31, (w >> 10) & 31, w & 31);
        }
        ring[head] = colour;
        return colour;
    }

    // 8 bits: returns a palette index from the index list or given literally;
    // either way it becomes the list's front entry.
    uint32_t ReadIndex()
    {
        uint8_t* list = t->indexList;
        uint8_t index;
        if (bits.GetBits(1)) {
            uint32_t k = bits.GetBits(4);
            index = list[k];
            std::memmove(list + 1, list, k);
        } else {
            std::memmove(list + 1, list, kIndexListSize - 1);
            index = static_cast<uint8_t>(bits.GetBits(8));
        }
        list[0] = index;
        return index;
    }

    // 8 bits: returns a new pair from the list of the current pair's right
    // index, or two indices; either way it becomes the list's front entry.
    uint32_t NewPair(uint32_t current)
    {
        uint32_t* list = t->ring + ((current >> 8) & 0xFF) * kRingSize;
        uint32_t pair;
        if (bits.GetBits(1)) {
            uint32_t k = bits.GetBits(4);
            pair = list[k];
            std::memmove(list + 1, list, k * sizeof *list);
        } else {
            uint32_t left = ReadIndex();
            uint32_t right = ReadIndex();
            pair = P2Colour(left, right, 0);
            std::memmove(list + 1, list, (kPairListSize - 1) * sizeof *list);
        }
        list[0] = pair;
        return pair;
    }
};

}  // namespace

bool DecodeP2sfBlock(const P2Block& block)
{
    // Work buffers: the tables, two rows of colours and two of marks, each
    // with four spare units on both sides for chains that point outside.
    uint32_t units = block.depth == 8 ? (block.width + 1) / 2 : block.width;
    size_t span = size_t(units) + 8;
    std::unique_ptr<Tables> tables(new (std::nothrow) Tables());
    std::unique_ptr<uint32_t[]> rowStore(new (std::nothrow) uint32_t[span * 2]());
    std::unique_ptr<uint8_t[]> markStore(new (std::nothrow) uint8_t[span * 2]());
    if (!tables || !rowStore || !markStore)
        return false;
    uint32_t* cur = rowStore.get() + 4;
    uint32_t* next = cur + span;
    uint8_t* curMarks = markStore.get() + 4;
    uint8_t* nextMarks = curMarks + span;

    SfDecoder s;
    s.t = tables.get();
    s.bits.Start(block.data, block.dataSize);
    bool pairs = block.depth == 8;
    bool deep = block.depth == 24;

    // The first run length, then the rows; runs and the current colour carry
    // over from row to row.
    s.ReadRun();
    uint32_t current = 0;
    for (uint32_t row = 0; row < block.height; ++row) {
        std::memset(nextMarks - 4, 0, span);
        for (int u = 0; u < static_cast<int>(units); ++u) {
            // A chained unit: its colour is already in place.
            if (curMarks[u]) {
                current = cur[u];
                s.ReadChain(current, next, nextMarks, u);
                if (s.longRun && --s.countdown == 0)
                    s.ReadRun();
                continue;
            }
            if (s.longRun) {
                cur[u] = current;
                continue;
            }
            if (s.run > 0) {
                --s.run;
                cur[u] = current;
                continue;
            }

            // A new colour, its chain, and the run that follows it.
            current = pairs ? s.NewPair(current) : s.NewColour(current, deep);
            cur[u] = current;
            s.ReadChain(current, next, nextMarks, u);
            s.ReadRun();
        }
        WriteP2Row(block, row, cur, 0, 1);
        std::swap(cur, next);
        std::swap(curMarks, nextMarks);
    }
    return true;
}
