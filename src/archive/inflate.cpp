#include "archive/inflate.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/checksum.h"

namespace {

// Table entry kinds. A base carries its extra-bit count in the low four
// bits, a link its sub-table's index width.
constexpr uint8_t kLiteral = 0x00;
constexpr uint8_t kBase = 0x10;
constexpr uint8_t kEnd = 0x20;
constexpr uint8_t kLink = 0x40;
constexpr uint8_t kInvalid = 0x80;

// Length codes 257 to 285 and distance codes 0 to 29; later codes are invalid.
const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The order in which a dynamic block sends the code-length code's lengths.
const uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// First-level index widths.
constexpr uint32_t kDynamicLiteralBits = 9;
constexpr uint32_t kDynamicDistanceBits = 6;
constexpr uint32_t kCodeLengthBits = 7;
constexpr uint32_t kFixedLiteralBits = 7;
constexpr uint32_t kFixedDistanceBits = 5;

constexpr uint32_t kMaxCodeLength = 15;
constexpr uint32_t kMaxMatch = 258;
// The hot loop runs while a whole match plus one 8-byte copy step fits
// before the window must be emptied.
constexpr uint32_t kFastRoom = kMaxMatch + 8;

// Internal result of a block: the output limit has been reached.
constexpr int kLimitReached = -1;

// What a code set's symbols stand for.
enum class CodeKind { kLiteralLength, kDistance, kCodeLength };

// A built table: its entries (owned) and its first-level index width.
struct Table {
    std::unique_ptr<InflateEntry[]> entries;
    uint32_t rootBits = 0;
};

// The entry of one symbol of a code set.
InflateEntry SymbolEntry(CodeKind kind, uint32_t symbol, uint32_t bits)
{
    uint8_t b = static_cast<uint8_t>(bits);
    switch (kind) {
    case CodeKind::kCodeLength:
        return {kLiteral, b, static_cast<uint16_t>(symbol)};
    case CodeKind::kDistance:
        if (symbol < 30)
            return {static_cast<uint8_t>(kBase | kDistanceExtra[symbol]), b, kDistanceBase[symbol]};
        return {kInvalid, b, 0};
    case CodeKind::kLiteralLength:
        break;
    }
    if (symbol < 256)
        return {kLiteral, b, static_cast<uint16_t>(symbol)};
    if (symbol == 256)
        return {kEnd, b, 0};
    if (symbol < 286)
        return {static_cast<uint8_t>(kBase | kLengthExtra[symbol - 257]), b, kLengthBase[symbol - 257]};
    return {kInvalid, b, 0};
}

// Walks the canonical codes of the sorted symbols and, when out is given,
// fills the table. Returns the number of entries the table needs.
uint32_t LayTable(const uint8_t* lengths, const uint16_t* sorted, uint32_t codes, const uint32_t* count,
                  uint32_t maxLength, uint32_t root, CodeKind kind, InflateEntry* out)
{
    uint32_t remaining[kMaxCodeLength + 1];
    memcpy(remaining, count, sizeof remaining);
    const uint32_t rootMask = (1u << root) - 1;
    const InflateEntry invalid = {kInvalid, 0, 0};
    if (out)
        for (uint32_t i = 0; i <= rootMask; ++i)
            out[i] = invalid;

    uint32_t used = 1u << root;
    uint32_t huff = 0;  // the current code, bit-reversed
    uint32_t prefix = ~0u;
    uint32_t subStart = 0;
    uint32_t subBits = 0;
    for (uint32_t i = 0; i < codes; ++i) {
        uint32_t symbol = sorted[i];
        uint32_t len = lengths[symbol];

        // Short codes fill every first-level entry that begins with them.
        if (len <= root) {
            if (out) {
                InflateEntry e = SymbolEntry(kind, symbol, len);
                for (uint32_t k = huff; k <= rootMask; k += 1u << len)
                    out[k] = e;
            }
        } else {
            // A new first-level prefix opens a sub-table wide enough for the
            // codes that share it.
            if ((huff & rootMask) != prefix) {
                prefix = huff & rootMask;
                subBits = len - root;
                int64_t left = int64_t(1) << subBits;
                while (subBits + root < maxLength) {
                    left -= remaining[subBits + root];
                    if (left <= 0)
                        break;
                    ++subBits;
                    left <<= 1;
                }
                subStart = used;
                used += 1u << subBits;
                if (out) {
                    out[prefix] = {static_cast<uint8_t>(kLink | subBits), static_cast<uint8_t>(root),
                                   static_cast<uint16_t>(subStart)};
                    for (uint32_t k = 0; k < (1u << subBits); ++k)
                        out[subStart + k] = invalid;
                }
            }
            if (out) {
                InflateEntry e = SymbolEntry(kind, symbol, len - root);
                for (uint32_t k = huff >> root; k < (1u << subBits); k += 1u << (len - root))
                    out[subStart + k] = e;
            }
        }
        --remaining[len];

        // The next code of the same length, counted bit-reversed.
        uint32_t step = 1u << (len - 1);
        while (huff & step)
            step >>= 1;
        huff = step ? (huff & (step - 1)) + step : 0;
    }
    return used;
}

// Builds the decoding table of n code lengths with a first-level width of
// about rootBits. Returns 0, kInflateOversubscribed or kInflateNoMemory;
// stores the number of codes and whether part of the code space is empty.
// A set without codes gives a one-entry table of an invalid code.
int BuildTable(const uint8_t* lengths, uint32_t n, CodeKind kind, uint32_t rootBits, Table* table,
               uint32_t* codes, bool* incomplete)
{
    // Codes of each length; over-subscription and gaps.
    uint32_t count[kMaxCodeLength + 1] = {};
    for (uint32_t s = 0; s < n; ++s)
        ++count[lengths[s] & 15];
    uint32_t total = n - count[0];
    count[0] = 0;
    uint32_t minLength = 0, maxLength = 0;
    int64_t left = 1;
    for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
        left = left * 2 - count[len];
        if (left < 0)
            return kInflateOversubscribed;
        if (count[len]) {
            maxLength = len;
            if (!minLength)
                minLength = len;
        }
    }
    *codes = total;
    *incomplete = left > 0 && !(total == 1 && maxLength == 1);

    // The first-level width: no wider than the longest code, no narrower
    // than the shortest, and the end-of-block code ends at the first level.
    uint32_t root = rootBits;
    if (root > maxLength)
        root = maxLength;
    if (root < minLength)
        root = minLength;
    if (kind == CodeKind::kLiteralLength && n > 256 && lengths[256] && lengths[256] < root)
        root = lengths[256];

    // Symbols sorted by code length, then by value.
    uint16_t offset[kMaxCodeLength + 2] = {};
    for (uint32_t len = 1; len <= kMaxCodeLength; ++len)
        offset[len + 1] = static_cast<uint16_t>(offset[len] + count[len]);
    uint16_t sorted[320];
    for (uint32_t s = 0; s < n; ++s)
        if (lengths[s])
            sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);

    // Size the table, then lay it out.
    uint32_t size = LayTable(lengths, sorted, total, count, maxLength, root, kind, nullptr);
    table->entries.reset(new (std::nothrow) InflateEntry[size]);
    if (!table->entries)
        return kInflateNoMemory;
    table->rootBits = root;
    LayTable(lengths, sorted, total, count, maxLength, root, kind, table->entries.get());
    return kInflateOk;
}

// The bit stream and the window of one Inflate call.
struct Decoder {
    InflateState* s;

    // Tops the bit buffer up to at least 49 bits, zero bits past the input's end.
    void Refill()
    {
        while (s->bitCount < 49) {
            uint64_t byte = 0;
            if (s->inputLeft) {
                byte = *s->input++;
                --s->inputLeft;
            }
            s->bitBuffer |= byte << s->bitCount;
            s->bitCount += 8;
        }
    }

    // Takes n bits (0 to 32).
    uint32_t Take(uint32_t n)
    {
        if (s->bitCount < n)
            Refill();
        uint32_t v = static_cast<uint32_t>(s->bitBuffer & ((uint64_t(1) << n) - 1));
        s->bitBuffer >>= n;
        s->bitCount -= n;
        return v;
    }

    // Looks up the next code in a table and takes its bits.
    InflateEntry Lookup(const Table& t)
    {
        Refill();
        InflateEntry e = t.entries[s->bitBuffer & ((1u << t.rootBits) - 1)];
        if (e.op & kLink) {
            s->bitBuffer >>= e.bits;
            s->bitCount -= e.bits;
            e = t.entries[e.value + (s->bitBuffer & ((1u << (e.op & 15)) - 1))];
        }
        s->bitBuffer >>= e.bits;
        s->bitCount -= e.bits;
        return e;
    }

    // Moves the window's filled part to the output. Returns true when the
    // output limit has been reached.
    bool Flush()
    {
        memcpy(s->output + s->outputCount, s->window, s->windowPos);
        s->crc = Crc32Update(s->crc, s->window, s->windowPos);
        s->outputCount += s->windowPos;
        s->windowPos = 0;
        uint32_t room = s->outputLimit - s->outputCount;
        s->flushAt = room < kInflateWindowSize ? room : static_cast<uint32_t>(kInflateWindowSize);
        return s->outputCount == s->outputLimit;
    }

    // Puts out one byte. Returns true when the output limit has been reached.
    bool Put(uint8_t byte)
    {
        s->window[s->windowPos++] = byte;
        return s->windowPos == s->flushAt && Flush();
    }

    // True when a distance reaches back before the first byte produced.
    bool TooFarBack(uint32_t distance) const { return distance > s->outputCount + s->windowPos; }

    int Stored();
    int Codes(const Table& literals, const Table& distances);
    template <bool kPastEnd>
    int FastCodes(const Table& literals, const Table& distances);
    int Dynamic();
};

// Decodes a stored block. Returns 0, kLimitReached or kInflateBadStoredLength.
int Decoder::Stored()
{
    // LEN and its ones' complement, from the next byte boundary.
    Take(s->bitCount & 7);
    uint32_t length = Take(16);
    uint32_t check = Take(16);
    if (length != (~check & 0xFFFF))
        return kInflateBadStoredLength;

    // Bytes still in the bit buffer, then straight from the input, then zeros.
    while (length && s->bitCount >= 8) {
        --length;
        if (Put(static_cast<uint8_t>(Take(8))))
            return kLimitReached;
    }
    while (length) {
        uint32_t n = s->flushAt - s->windowPos;
        if (n > length)
            n = length;
        if (s->inputLeft) {
            if (n > s->inputLeft)
                n = static_cast<uint32_t>(s->inputLeft);
            memcpy(s->window + s->windowPos, s->input, n);
            s->input += n;
            s->inputLeft -= n;
        } else {
            memset(s->window + s->windowPos, 0, n);
        }
        s->windowPos += n;
        length -= n;
        if (s->windowPos == s->flushAt && Flush())
            return kLimitReached;
    }
    return kInflateOk;
}

// Reads a little-endian 64-bit value.
inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// The hot loop: codes decoded while at least 8 input bytes remain (or,
// kPastEnd, none at all: zero bits) and a whole match fits before the window
// must be emptied, with the bounds checked once per code. Returns 0 at the
// block's end, 1 when the careful loop must take over, or an error code.
template <bool kPastEnd>
int Decoder::FastCodes(const Table& literals, const Table& distances)
{
    uint64_t bits = s->bitBuffer;
    uint32_t count = s->bitCount;
    const uint8_t* in = s->input;
    const uint8_t* const inSafe = s->input + (s->inputLeft >= 8 ? s->inputLeft - 8 : 0);
    uint8_t* const window = s->window;
    uint32_t pos = s->windowPos;
    const uint32_t posSafe = s->flushAt >= kFastRoom ? s->flushAt - kFastRoom : 0;
    const InflateEntry* lit = literals.entries.get();
    const InflateEntry* dist = distances.entries.get();
    const uint64_t litMask = (uint64_t(1) << literals.rootBits) - 1;
    const uint64_t distMask = (uint64_t(1) << distances.rootBits) - 1;
    const uint32_t flushed = s->outputCount;  // bytes before the window's start
    int result = 1;

    while ((kPastEnd || in < inSafe) && pos < posSafe) {
        // At least 56 bits: enough for a length and a distance with their
        // extra bits. The bits above count are 0, as past the input's end.
        if (!kPastEnd) {
            bits |= Load64(in) << count;
            in += (63 - count) >> 3;
        }
        count |= 56;

        InflateEntry e = lit[bits & litMask];
        if (e.op & kLink) {
            bits >>= e.bits;
            count -= e.bits;
            e = lit[e.value + (bits & ((1u << (e.op & 15)) - 1))];
        }
        bits >>= e.bits;
        count -= e.bits;

        // A literal, and often a second one right behind it.
        if (e.op == kLiteral) {
            window[pos++] = static_cast<uint8_t>(e.value);
            e = lit[bits & litMask];
            if (e.op != kLiteral)
                continue;
            bits >>= e.bits;
            count -= e.bits;
            window[pos++] = static_cast<uint8_t>(e.value);
            continue;
        }
        if (!(e.op & kBase)) {
            result = e.op == kEnd ? kInflateOk : kInflateBadCode;
            break;
        }

        // The length, then the distance.
        uint32_t extra = e.op & 15;
        uint32_t length = e.value + static_cast<uint32_t>(bits & ((1u << extra) - 1));
        bits >>= extra;
        count -= extra;
        e = dist[bits & distMask];
        if (e.op & kLink) {
            bits >>= e.bits;
            count -= e.bits;
            e = dist[e.value + (bits & ((1u << (e.op & 15)) - 1))];
        }
        bits >>= e.bits;
        count -= e.bits;
        if (!(e.op & kBase)) {
            result = kInflateBadCode;
            break;
        }
        extra = e.op & 15;
        uint32_t distance = e.value + static_cast<uint32_t>(bits & ((1u << extra) - 1));
        bits >>= extra;
        count -= extra;
        if (distance > flushed + pos) {
            result = kInflateBadCode;
            break;
        }

        // The copy. The destination never wraps here; the source wraps when
        // it lies in the window's previous round.
        uint8_t* to = window + pos;
        if (distance <= pos) {
            const uint8_t* from = to - distance;
            if (distance >= 8) {
                for (uint32_t i = 0; i < length; i += 8)
                    memcpy(to + i, from + i, 8);
            } else if (distance == 1) {
                memset(to, from[0], length);
            } else {
                for (uint32_t i = 0; i < length; ++i)
                    to[i] = from[i];
            }
        } else {
            uint32_t from = pos + static_cast<uint32_t>(kInflateWindowSize) - distance;
            uint32_t first = static_cast<uint32_t>(kInflateWindowSize) - from;
            if (first >= length) {
                memcpy(to, window + from, length);
            } else {
                memcpy(to, window + from, first);
                for (uint32_t i = first; i < length; ++i)
                    to[i] = window[i - first];
            }
        }
        pos += length;
    }

    // Hand back only the valid bits; the bytes behind them are read again.
    s->inputLeft -= static_cast<size_t>(in - s->input);
    s->input = in;
    s->bitBuffer = bits & ((uint64_t(1) << count) - 1);
    s->bitCount = count;
    s->windowPos = pos;
    return result;
}

// Decodes the codes of a fixed or dynamic block up to its end. Returns 0,
// kLimitReached or kInflateBadCode.
int Decoder::Codes(const Table& literals, const Table& distances)
{
    for (;;) {
        int fast = s->inputLeft ? FastCodes<false>(literals, distances) : FastCodes<true>(literals, distances);
        if (fast != 1)
            return fast;

        // One code the careful way: near the input's end or the window's.
        InflateEntry e = Lookup(literals);
        if (e.op == kLiteral) {
            if (Put(static_cast<uint8_t>(e.value)))
                return kLimitReached;
            continue;
        }
        if (e.op == kEnd)
            return kInflateOk;
        if (!(e.op & kBase))
            return kInflateBadCode;
        uint32_t length = e.value + Take(e.op & 15);
        e = Lookup(distances);
        if (!(e.op & kBase))
            return kInflateBadCode;
        uint32_t distance = e.value + Take(e.op & 15);
        if (TooFarBack(distance))
            return kInflateBadCode;
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t byte = s->window[(s->windowPos - distance) & (kInflateWindowSize - 1)];
            if (Put(byte))
                return kLimitReached;
        }
    }
}

// Decodes a dynamic block: its code lengths, its tables, its codes.
// Returns 0, kLimitReached or an error code.
int Decoder::Dynamic()
{
    // The counts, then the code-length code.
    uint32_t nl = 257 + Take(5);
    uint32_t nd = 1 + Take(5);
    uint32_t nb = 4 + Take(4);
    uint8_t lengths[320] = {};
    for (uint32_t i = 0; i < nb; ++i)
        lengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(Take(3));
    Table lengthTable;
    uint32_t codes = 0;
    bool incomplete = false;
    int r = BuildTable(lengths, 19, CodeKind::kCodeLength, kCodeLengthBits, &lengthTable, &codes, &incomplete);
    if (r != kInflateOk)
        return r;
    if (incomplete || codes == 0)
        return kInflateIncomplete;

    // The literal/length and distance lengths, with their repeats.
    memset(lengths, 0, sizeof lengths);
    uint32_t total = nl + nd;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < total;) {
        InflateEntry e = Lookup(lengthTable);
        if (e.op != kLiteral)
            return kInflateBadCode;
        uint32_t symbol = e.value;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        uint32_t repeat, value = 0;
        if (symbol == 16) {
            repeat = 3 + Take(2);
            value = previous;
        } else if (symbol == 17) {
            repeat = 3 + Take(3);
        } else {
            repeat = 11 + Take(7);
        }
        if (repeat > total - i)
            return kInflateRepeatTooLong;
        memset(lengths + i, static_cast<int>(value), repeat);
        i += repeat;
        previous = value;
    }
    lengthTable.entries.reset();

    // The two tables. A literal code needs its end-of-block code; length
    // codes need distance codes.
    Table literals, distances;
    r = BuildTable(lengths, nl, CodeKind::kLiteralLength, kDynamicLiteralBits, &literals, &codes, &incomplete);
    if (r != kInflateOk)
        return r;
    if (incomplete || codes == 0 || lengths[256] == 0)
        return kInflateIncomplete;
    bool hasLengthCodes = false;
    for (uint32_t i = 257; i < nl; ++i)
        hasLengthCodes = hasLengthCodes || lengths[i] != 0;
    r = BuildTable(lengths + nl, nd, CodeKind::kDistance, kDynamicDistanceBits, &distances, &codes, &incomplete);
    if (r != kInflateOk)
        return r;
    if (codes == 0 && hasLengthCodes)
        return kInflateIncomplete;

    return Codes(literals, distances);
}

// Builds the fixed code's tables into the state. Returns 0 or a build error.
int BuildFixedTables(InflateState* s, Table* literals, Table* distances)
{
    uint8_t lengths[288];
    memset(lengths, 8, 144);
    memset(lengths + 144, 9, 112);
    memset(lengths + 256, 7, 24);
    memset(lengths + 280, 8, 8);
    uint32_t codes;
    bool incomplete;
    int r = BuildTable(lengths, 288, CodeKind::kLiteralLength, kFixedLiteralBits, literals, &codes, &incomplete);
    if (r != kInflateOk)
        return r;
    memset(lengths, 5, 32);
    r = BuildTable(lengths, 32, CodeKind::kDistance, kFixedDistanceBits, distances, &codes, &incomplete);
    if (r != kInflateOk) {
        literals->entries.reset();
        return r;
    }
    s->fixedLiteralTable = literals->entries.get();
    s->fixedDistanceTable = distances->entries.get();
    s->fixedLiteralBits = literals->rootBits;
    s->fixedDistanceBits = distances->rootBits;
    return kInflateOk;
}

}  // namespace

// Decodes blocks until the final one ends or the output limit is reached.
// Returns 0 or the first error's code.
int Inflate(InflateState* state, const uint8_t* input, uint8_t* output, uint32_t inputCount, uint32_t outputLimit)
{
    // The arguments; the fixed tables are built when a block needs them
    // and released when the member is done.
    state->input = input;
    state->inputLeft = input ? inputCount : 0;
    state->output = output;
    state->outputLimit = outputLimit;
    state->outputCount = 0;
    state->crc = 0;
    state->windowPos = 0;
    state->bitBuffer = 0;
    state->bitCount = 0;
    state->fixedLiteralTable = nullptr;
    state->fixedDistanceTable = nullptr;
    state->flushAt = outputLimit < kInflateWindowSize ? outputLimit : static_cast<uint32_t>(kInflateWindowSize);
    if (outputLimit == 0 || !output || !state->window)
        return kInflateOk;
    Table fixedLiterals, fixedDistances;
    Decoder d{state};

    int result;
    for (;;) {
        // The block header.
        uint32_t final = d.Take(1);
        uint32_t type = d.Take(2);

        if (type == 0) {
            result = d.Stored();
        } else if (type == 1) {
            result = kInflateOk;
            if (!fixedLiterals.entries)
                result = BuildFixedTables(state, &fixedLiterals, &fixedDistances);
            if (result == kInflateOk)
                result = d.Codes(fixedLiterals, fixedDistances);
        } else if (type == 2) {
            result = d.Dynamic();
        } else {
            result = kInflateBadBlockType;
        }

        // An error ends decoding, also inside the final block; the limit
        // and the final block's end deliver what the window holds.
        if (result == kLimitReached)
            break;
        if (result != kInflateOk) {
            state->fixedLiteralTable = nullptr;
            state->fixedDistanceTable = nullptr;
            return result;
        }
        if (final) {
            d.Flush();
            break;
        }
    }
    state->fixedLiteralTable = nullptr;
    state->fixedDistanceTable = nullptr;
    return kInflateOk;
}
