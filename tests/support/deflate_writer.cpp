#include "support/deflate_writer.h"

#include <algorithm>

namespace {

const uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

}  // namespace

void DeflateWriter::Bits(uint32_t value, uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i) {
        if (used_ == 8) {
            bytes_.push_back(0);
            used_ = 0;
        }
        bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << used_);
        ++used_;
    }
}

void DeflateWriter::Code(uint32_t code, uint32_t len)
{
    for (uint32_t i = len; i-- > 0;)
        Bits((code >> i) & 1, 1);
}

void DeflateWriter::Align()
{
    used_ = 8;
}

void DeflateWriter::Stored(bool final, const std::vector<uint8_t>& bytes)
{
    Header(final, 0);
    Align();
    uint32_t len = static_cast<uint32_t>(bytes.size());
    Bits(len, 16);
    Bits(~len & 0xFFFF, 16);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void DeflateWriter::FixedSymbol(uint32_t symbol)
{
    if (symbol < 144)
        Code(0x30 + symbol, 8);
    else if (symbol < 256)
        Code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        Code(symbol - 256, 7);
    else
        Code(0xC0 + symbol - 280, 8);
}

void DeflateWriter::FixedMatch(uint32_t length, uint32_t distance)
{
    uint32_t l = 28;
    while (kLengthBase[l] > length)
        --l;
    FixedSymbol(257 + l);
    Bits(length - kLengthBase[l], kLengthExtra[l]);
    uint32_t d = 29;
    while (kDistanceBase[d] > distance)
        --d;
    Code(d, 5);
    Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
}

std::vector<uint8_t> DeflateFixed(const std::vector<uint8_t>& data, uint32_t maxDistance)
{
    DeflateWriter w;
    w.Header(true, 1);
    std::vector<int64_t> head(1 << 15, -1);
    size_t i = 0;
    while (i < data.size()) {
        // The latest earlier place with the same three bytes, when near enough.
        size_t best = 0, bestDistance = 0;
        if (i + 3 <= data.size()) {
            uint32_t h = ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & 0x7FFF;
            int64_t at = head[h];
            head[h] = static_cast<int64_t>(i);
            if (at >= 0 && i - static_cast<size_t>(at) <= maxDistance) {
                size_t n = 0;
                while (n < 258 && i + n < data.size() && data[static_cast<size_t>(at) + n] == data[i + n])
                    ++n;
                if (n >= 3) {
                    best = n;
                    bestDistance = i - static_cast<size_t>(at);
                }
            }
        }
        if (best) {
            w.FixedMatch(static_cast<uint32_t>(best), static_cast<uint32_t>(bestDistance));
            i += best;
        } else {
            w.FixedSymbol(data[i]);
            ++i;
        }
    }
    w.FixedSymbol(256);
    return w.Finish();
}

std::vector<uint8_t> DeflateStored(const std::vector<uint8_t>& data)
{
    DeflateWriter w;
    size_t at = 0;
    do {
        size_t n = std::min<size_t>(65535, data.size() - at);
        w.Stored(at + n == data.size(), std::vector<uint8_t>(data.begin() + at, data.begin() + at + n));
        at += n;
    } while (at < data.size());
    return w.Finish();
}

std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths)
{
    uint32_t count[16] = {}, next[16] = {};
    for (uint8_t l : lengths)
        ++count[l];
    count[0] = 0;
    uint32_t code = 0;
    for (int len = 1; len < 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s])
            codes[s] = next[lengths[s]]++;
    return codes;
}

void DynamicHeader(DeflateWriter& w, bool final, uint32_t nl, uint32_t nd, const std::vector<uint8_t>& clLengths,
                   const std::vector<CodeLengthSymbol>& symbols)
{
    static const uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w.Header(final, 2);
    w.Bits(nl - 257, 5);
    w.Bits(nd - 1, 5);
    w.Bits(19 - 4, 4);
    for (uint8_t s : kOrder)
        w.Bits(clLengths[s], 3);
    std::vector<uint32_t> codes = CanonicalCodes(clLengths);
    for (const CodeLengthSymbol& c : symbols) {
        w.Code(codes[c.symbol], clLengths[c.symbol]);
        if (c.symbol == 16)
            w.Bits(c.extra, 2);
        else if (c.symbol == 17)
            w.Bits(c.extra, 3);
        else if (c.symbol == 18)
            w.Bits(c.extra, 7);
    }
}

std::vector<CodeLengthSymbol> PlainLengths(const std::vector<uint8_t>& lengths)
{
    std::vector<CodeLengthSymbol> v;
    for (uint8_t l : lengths)
        v.push_back({l, 0});
    return v;
}
