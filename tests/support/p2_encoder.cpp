#include "support/p2_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "decode/p2.h"

namespace {

void PutBE16(std::vector<uint8_t>* out, size_t at, uint32_t v)
{
    (*out)[at] = static_cast<uint8_t>(v >> 8);
    (*out)[at + 1] = static_cast<uint8_t>(v);
}

void PutBE32(std::vector<uint8_t>* out, size_t at, uint32_t v)
{
    PutBE16(out, at, v >> 16);
    PutBE16(out, at + 2, v & 0xFFFF);
}

uint32_t Pack(uint32_t c0, uint32_t c1, uint32_t c2)
{
    return c0 | (c1 << 8) | (c2 << 16);
}

// The picture as units: pixels at 15 and 24 bits, pixel pairs at 8 bits with
// the left index in byte leftByte and the right one in rightByte (0 past the width).
std::vector<uint32_t> Units(const P2Pixels& p, int leftByte, int rightByte, uint32_t* unitsPerRow)
{
    if (p.depth != 8) {
        *unitsPerRow = p.width;
        return p.values;
    }
    uint32_t u = (p.width + 1) / 2;
    *unitsPerRow = u;
    std::vector<uint32_t> units(size_t(u) * p.height);
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            uint32_t index = p.values[size_t(y) * p.width + x] & 0xFF;
            units[size_t(y) * u + x / 2] |= index << (8 * ((x & 1) ? rightByte : leftByte));
        }
    }
    return units;
}

// ---- P2SF ----

class SfEncoder {
public:
    SfEncoder(const P2Pixels& p, const P2sfOptions& o) : pic_(p), opt_(o)
    {
        px_ = Units(p, 0, 1, &u_);
        n_ = px_.size();
        marked_.assign(n_, 0);
        decided_.assign(n_, 0);
        target_.assign(n_, kNoChain);
        std::memset(ring_, 0, sizeof ring_);
        std::memset(heads_, 0, sizeof heads_);
        std::memset(indexList_, 0, sizeof indexList_);
    }

    bool Run()
    {
        EmitRun(-1, 0);
        uint32_t current = 0;
        for (size_t pos = 0; pos < n_ && ok_; ++pos) {
            if (marked_[pos]) {
                current = px_[pos];
                EmitChain(pos);
                if (longRun_ && --countdown_ == 0)
                    EmitRun(static_cast<long long>(pos), current);
                continue;
            }
            if (longRun_ || run_ > 0) {
                if (!longRun_)
                    --run_;
                if (px_[pos] != current)
                    ok_ = false;
                continue;
            }
            if (pic_.depth == 8)
                EmitPair(px_[pos], current);
            else
                EmitColour(px_[pos], current);
            current = px_[pos];
            EmitChain(pos);
            EmitRun(static_cast<long long>(pos), current);
        }
        return ok_;
    }

    std::vector<uint8_t> Bytes() const { return out_.Bytes(); }

private:
    static const int kNoChain = 100;

    // Chooses, once, where the source unit at pos chains to: the first unit
    // of the row below, in the code's order, with the same colour and no mark.
    void Decide(size_t pos)
    {
        if (decided_[pos])
            return;
        decided_[pos] = 1;
        size_t row = pos / u_;
        if (!opt_.chains || row + 1 >= pic_.height)
            return;
        static const int kOrder[5] = {0, -1, -2, 1, 2};
        int u = static_cast<int>(pos % u_);
        for (int off : kOrder) {
            int t = u + off;
            if (t < 0 || t >= static_cast<int>(u_))
                continue;
            size_t below = (row + 1) * u_ + t;
            if (!marked_[below] && px_[below] == px_[pos]) {
                marked_[below] = 1;
                target_[pos] = static_cast<int8_t>(off);
                return;
            }
        }
    }

    void EmitChain(size_t pos)
    {
        Decide(pos);
        switch (target_[pos]) {
        case kNoChain: out_.Put(0, 1); break;
        case 0: out_.Put(3, 2); break;
        case -1: out_.Put(0xB, 4); break;
        case -2: out_.Put(0xA, 4); break;
        case 1: out_.Put(0x9, 4); break;
        default: out_.Put(0x8, 4); break;
        }
    }

    // Walks on from pos as the decoder will: returns how many unmarked units
    // keep the current colour, and whether the long-run mode would fit.
    uint64_t Scan(long long pos, uint32_t current, bool* longFits)
    {
        uint64_t count = 0;
        uint32_t c = current;
        size_t at = static_cast<size_t>(pos + 1);
        for (; at < n_; ++at) {
            if (marked_[at]) {
                c = px_[at];
                Decide(at);
            } else if (px_[at] == c) {
                ++count;
            } else {
                break;
            }
        }
        *longFits = false;
        if (opt_.longRuns) {
            uint32_t marks = 0;
            c = current;
            at = static_cast<size_t>(pos + 1);
            for (; at < n_ && marks < 1023; ++at) {
                if (marked_[at]) {
                    c = px_[at];
                    Decide(at);
                    ++marks;
                } else if (px_[at] != c) {
                    break;
                }
            }
            *longFits = marks == 1023 || at == n_;
        }
        return count;
    }

    void PutRunValue(uint64_t v)
    {
        uint32_t k = 0;
        while ((uint64_t(2) << k) - 1 <= v)
            ++k;
        for (uint32_t i = 0; i < k; ++i)
            out_.Put(1, 1);
        out_.Put(0, 1);
        if (k)
            out_.Put(static_cast<uint32_t>(v - ((uint64_t(1) << k) - 1)), static_cast<int>(k));
    }

    void EmitRun(long long pos, uint32_t current)
    {
        bool longFits;
        uint64_t count = Scan(pos, current, &longFits);
        if (longFits) {
            PutRunValue(1023);
            longRun_ = true;
            countdown_ = 1023;
            return;
        }
        longRun_ = false;
        run_ = count;
        PutRunValue(count < 1023 ? count : count + 1);
    }

    void EmitColour(uint32_t colour, uint32_t current)
    {
        bool deep = pic_.depth == 24;
        uint32_t t = deep ? (current >> 8) & 0xFF : ((((current >> 8) & 0xFF) << 3) | ((current >> 2) & 7)) & 0xFF;
        uint32_t* ring = ring_ + t * 64;
        for (uint32_t v = 0; v < 64; ++v) {
            if (ring[(heads_[t] + v) & 63] == colour) {
                out_.Put(1, 1);
                out_.Put(v, 6);
                return;
            }
        }
        out_.Put(0, 1);
        heads_[t] = static_cast<uint16_t>((heads_[t] - 1) & 63);
        ring[heads_[t]] = colour;
        uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
        if (deep)
            out_.Put((g << 16) | (r << 8) | b, 24);
        else
            out_.Put((g << 10) | (r << 5) | b, 15);
    }

    void EmitIndex(uint8_t index)
    {
        for (uint32_t k = 0; k < 16; ++k) {
            if (indexList_[k] == index) {
                out_.Put(1, 1);
                out_.Put(k, 4);
                std::memmove(indexList_ + 1, indexList_, k);
                indexList_[0] = index;
                return;
            }
        }
        out_.Put(0, 1);
        std::memmove(indexList_ + 1, indexList_, 16);
        out_.Put(index, 8);
        indexList_[0] = index;
    }

    void EmitPair(uint32_t pair, uint32_t current)
    {
        uint32_t* list = ring_ + ((current >> 8) & 0xFF) * 64;
        for (uint32_t k = 0; k < 16; ++k) {
            if (list[k] == pair) {
                out_.Put(1, 1);
                out_.Put(k, 4);
                std::memmove(list + 1, list, k * sizeof *list);
                list[0] = pair;
                return;
            }
        }
        out_.Put(0, 1);
        EmitIndex(static_cast<uint8_t>(pair));
        EmitIndex(static_cast<uint8_t>(pair >> 8));
        std::memmove(list + 1, list, 16 * sizeof *list);
        list[0] = pair;
    }

    const P2Pixels& pic_;
    P2sfOptions opt_;
    std::vector<uint32_t> px_;
    uint32_t u_ = 0;
    size_t n_ = 0;
    std::vector<uint8_t> marked_, decided_;
    std::vector<int8_t> target_;
    uint32_t ring_[256 * 64];
    uint16_t heads_[256];
    uint8_t indexList_[17];
    uint64_t run_ = 0;
    uint32_t countdown_ = 0;
    bool longRun_ = false;
    bool ok_ = true;
    P2BitWriter out_;
};

// ---- P2SS ----

int Unfold(int v, int p, int max, int half)
{
    if (p >= half && 2 * max - 2 * p < v)
        return max - v;
    if (p >= half || 2 * p >= v)
        return (v & 1) ? p + v / 2 + 1 : p - v / 2;
    return v;
}

// The value that unfolds to c around p.
int Fold(int c, int p, int max, int half)
{
    int d = c - p;
    bool inBand = p < half ? c <= 2 * p : c >= 2 * p - max;
    if (!inBand)
        return p < half ? c : max - c;
    return d <= 0 ? -2 * d : 2 * d - 1;
}

class SsEncoder {
public:
    SsEncoder(const P2Pixels& p, const P2ssOptions& o) : pic_(p), opt_(o)
    {
        px_ = Units(p, 1, 2, &u_);
        max_ = p.depth == 15 ? 31 : 255;
        half_ = p.depth == 15 ? 16 : 128;
        shift_ = p.depth == 15 ? 2 : 5;
        ring_.assign(512 * 32, 0);
        pairs_.assign(256 * 32, 0);
        heads_.assign(512, 0);
        for (int i = 0; i < 256; ++i)
            indexList_[i] = static_cast<uint8_t>(i);
    }

    bool Run()
    {
        size_t span = size_t(u_) + 8;
        std::vector<uint32_t> zero(span, 0), cur(span), next(span, 0);
        std::vector<uint8_t> curMarks(span, 0), nextMarks(span, 0);
        std::vector<uint8_t> k0(span, 0), k1(span, 0), k2(span, 0);
        std::vector<uint32_t> prev = zero;
        for (uint32_t row = 0; row < pic_.height && ok_; ++row) {
            bool last = row + 1 == pic_.height;
            for (uint32_t u = 0; u < u_; ++u)
                cur[u + 4] = px_[size_t(row) * u_ + u];
            if (!last) {
                for (uint32_t u = 0; u < u_; ++u)
                    next[u + 4] = px_[size_t(row + 1) * u_ + u];
            }
            uint32_t current = prev[u_ + 3];
            cur[3] = current;
            std::fill(nextMarks.begin(), nextMarks.end(), 0);
            std::fill(k2.begin(), k2.end(), 0);
            for (uint32_t u = 0; u < u_; ++u) {
                size_t i = u + 4;
                if (curMarks[i]) {
                    current = cur[i];
                    if (!last)
                        Chain(curMarks[i], i, cur, next, &nextMarks);
                    continue;
                }
                if (cur[i] == current) {
                    D(k0[i], 0);
                    continue;
                }
                D(k0[i], 1);
                ++k0[i + 1], ++k0[i + 2], ++k1[i - 1], ++k1[i], ++k1[i + 1], ++k2[i - 1], ++k2[i], ++k2[i + 1];
                if (pic_.depth == 8)
                    NewPair(cur[i], cur[i - 1]);
                else
                    NewColour(cur[i], prev[i], cur[i - 1]);
                current = cur[i];
                if (!last)
                    Chain(0, i, cur, next, &nextMarks);
            }
            prev = cur;
            curMarks = nextMarks;
            std::swap(k0, k1);
            std::swap(k1, k2);
        }
        return ok_;
    }

    std::vector<uint8_t> Bytes()
    {
        std::vector<uint16_t> table = opt_.table;
        if (table.size() != 128) {
            // Each context's share of zero decisions, kept away from the ends.
            uint32_t zeros[128] = {0}, total[128] = {0};
            for (const P2Decision& d : decisions_) {
                ++total[d.context];
                zeros[d.context] += d.bit == 0;
            }
            table.assign(128, 0x8000);
            for (int c = 0; c < 128; ++c) {
                if (total[c]) {
                    uint64_t t = (uint64_t(zeros[c]) * 2 + 1) * 32768 / (uint64_t(total[c]) + 1);
                    table[c] = static_cast<uint16_t>(std::min<uint64_t>(std::max<uint64_t>(t, 512), 65024));
                }
            }
        }
        return EncodeP2Decisions(decisions_, table);
    }

private:
    void D(uint32_t context, uint32_t bit) { decisions_.push_back({static_cast<uint8_t>(context), static_cast<uint8_t>(bit)}); }

    void V(uint32_t base, uint32_t v) { AppendP2Value(&decisions_, base, v); }

    // The chain of the unit at index i: the first matching unit below in the
    // decision order, unless chains are off.
    void Chain(uint32_t mark, size_t i, const std::vector<uint32_t>& cur, std::vector<uint32_t>& next,
               std::vector<uint8_t>* nextMarks)
    {
        uint32_t base = mark ? 80 + 6 * (256 - mark) : 80;
        static const int kOffsets[5] = {0, -1, 1, -2, 2};
        static const uint8_t kMarks[5] = {255, 254, 253, 252, 251};
        int choice = -1;
        if (opt_.chains) {
            for (int k = 0; k < 5 && choice < 0; ++k) {
                long t = static_cast<long>(i) + kOffsets[k];
                if (t >= 4 && t < static_cast<long>(u_) + 4 && !(*nextMarks)[t] && next[t] == cur[i])
                    choice = k;
            }
        }
        if (choice < 0) {
            D(base, 1);
            return;
        }
        D(base, 0);
        for (int k = 0; k < choice; ++k)
            D(base + 1 + k, 0);
        if (choice < 4)
            D(base + 1 + choice, 1);
        (*nextMarks)[i + kOffsets[choice]] = kMarks[choice];
    }

    void IndexFromList(uint8_t v)
    {
        uint32_t i = 0;
        while (indexList_[i] != v)
            ++i;
        V(32, i);
        std::memmove(indexList_ + 1, indexList_, i);
        indexList_[0] = v;
    }

    void NewPair(uint32_t unit, uint32_t left)
    {
        uint16_t* list = pairs_.data() + ((left >> 16) & 0xFF) * 32;
        uint16_t pair = static_cast<uint16_t>(unit >> 8);
        for (uint32_t h = 0; h < 32; ++h) {
            if (list[h] == pair) {
                D(q_, 0);
                q_ = 15;
                V(17, h);
                uint16_t found = list[h];
                list[h] = list[h / 2];
                list[h / 2] = list[0];
                list[0] = found;
                return;
            }
        }
        D(q_, 1);
        q_ = 16;
        IndexFromList(static_cast<uint8_t>(pair));
        IndexFromList(static_cast<uint8_t>(pair >> 8));
        std::memmove(list + 1, list, 31 * sizeof *list);
        list[0] = pair;
    }

    void NewColour(uint32_t colour, uint32_t above, uint32_t left)
    {
        int a0 = above & 0xFF, a1 = (above >> 8) & 0xFF, a2 = (above >> 16) & 0xFF;
        uint32_t t = (((a1 >> shift_) & 7) << 6) | (((a0 >> shift_) & 7) << 3) | ((a2 >> shift_) & 7);
        uint32_t* ring = ring_.data() + t * 32;
        uint32_t f = heads_[t];
        for (uint32_t h = 0; h < 32; ++h) {
            if (ring[(f + h) & 31] == colour) {
                D(q_, 0);
                q_ = 15;
                V(17, h);
                uint32_t at = (f + h) & 31, mid = (f + h / 2) & 31;
                uint32_t found = ring[at];
                ring[at] = ring[mid];
                ring[mid] = ring[f];
                ring[f] = found;
                return;
            }
        }
        D(q_, 1);
        q_ = 16;
        int c0 = colour & 0xFF, c1 = (colour >> 8) & 0xFF, c2 = (colour >> 16) & 0xFF;
        int l0 = left & 0xFF, l1 = (left >> 8) & 0xFF, l2 = (left >> 16) & 0xFF;
        int p1 = (l1 + a1) / 2;
        int v1 = Fold(c1, p1, max_, half_);
        int s = c1 - p1;
        int p0 = std::min(std::max((l0 + a0) / 2 + s, 0), max_);
        int p2 = std::min(std::max((l2 + a2) / 2 + s, 0), max_);
        int v0 = Fold(c0, p0, max_, half_), v2 = Fold(c2, p2, max_, half_);
        if (Unfold(v1, p1, max_, half_) != c1 || Unfold(v0, p0, max_, half_) != c0 ||
            Unfold(v2, p2, max_, half_) != c2)
            ok_ = false;
        V(32, v1);
        V(48, v0);
        V(64, v2);
        heads_[t] = static_cast<uint16_t>((heads_[t] - 1) & 31);
        ring[heads_[t]] = colour;
    }

    const P2Pixels& pic_;
    P2ssOptions opt_;
    std::vector<uint32_t> px_;
    uint32_t u_ = 0;
    int max_, half_, shift_;
    std::vector<uint32_t> ring_;
    std::vector<uint16_t> pairs_;
    std::vector<uint16_t> heads_;
    uint8_t indexList_[256];
    uint32_t q_ = 16;
    std::vector<P2Decision> decisions_;
    bool ok_ = true;
};

}  // namespace

void P2BitWriter::Put(uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bits_.push_back(static_cast<uint8_t>((value >> i) & 1));
}

std::vector<uint8_t> P2BitWriter::Bytes() const
{
    std::vector<uint8_t> out((bits_.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits_.size(); ++i)
        out[i / 8] |= static_cast<uint8_t>(bits_[i] << (7 - i % 8));
    return out;
}

std::vector<uint8_t> MakeP2File(int depth, const std::vector<P2FileBlock>& blocks, const std::vector<uint8_t>* paletteRgb)
{
    size_t count = paletteRgb ? paletteRgb->size() / 3 : 0;
    size_t first = 127 + count * 3;
    std::vector<uint8_t> out(first, 0);
    std::memcpy(out.data(), "P2DT", 4);
    PutBE16(&out, 98, paletteRgb ? 1 : 0);
    PutBE32(&out, 106, static_cast<uint32_t>(first));
    PutBE16(&out, 110, static_cast<uint32_t>(depth));
    PutBE16(&out, 125, static_cast<uint32_t>(count));
    if (count)
        std::memcpy(out.data() + 127, paletteRgb->data(), count * 3);
    for (const P2FileBlock& b : blocks) {
        size_t at = out.size();
        out.resize(at + 26 + b.data.size(), 0);
        std::memcpy(out.data() + at, b.kind.data(), 4);
        PutBE32(&out, at + 4, static_cast<uint32_t>(26 + b.data.size()));
        PutBE16(&out, at + 10, b.width);
        PutBE16(&out, at + 12, b.height);
        PutBE16(&out, at + 14, b.x);
        PutBE16(&out, at + 16, b.y);
        if (!b.data.empty())
            std::memcpy(out.data() + at + 26, b.data.data(), b.data.size());
    }
    return out;
}

P2FileBlock MakeP2Block(const std::string& kind, const P2Pixels& picture, uint16_t x, uint16_t y, std::vector<uint8_t> data)
{
    P2FileBlock b;
    b.kind = kind;
    b.x = x;
    b.y = y;
    b.width = static_cast<uint16_t>(picture.width);
    b.height = static_cast<uint16_t>(picture.height);
    b.data = std::move(data);
    return b;
}

std::vector<uint8_t> P2ExpectedBgr(const P2Pixels& p, const std::vector<uint8_t>* paletteRgb)
{
    std::vector<uint8_t> out;
    out.reserve(p.values.size() * 3);
    for (uint32_t v : p.values) {
        uint8_t r, g, b;
        if (p.depth == 8) {
            size_t at = size_t(v & 0xFF) * 3;
            bool known = paletteRgb && at + 3 <= paletteRgb->size();
            r = known ? (*paletteRgb)[at] : 0;
            g = known ? (*paletteRgb)[at + 1] : 0;
            b = known ? (*paletteRgb)[at + 2] : 0;
        } else {
            int shift = p.depth == 15 ? 3 : 0;
            r = static_cast<uint8_t>((v & 0xFF) << shift);
            g = static_cast<uint8_t>(((v >> 8) & 0xFF) << shift);
            b = static_cast<uint8_t>(((v >> 16) & 0xFF) << shift);
        }
        out.push_back(b);
        out.push_back(g);
        out.push_back(r);
    }
    return out;
}

std::vector<uint8_t> EncodeP2Raw(const P2Pixels& p, bool bigEndian)
{
    std::vector<uint8_t> out;
    for (uint32_t v : p.values) {
        uint32_t r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF;
        if (p.depth == 8) {
            out.push_back(static_cast<uint8_t>(v));
        } else if (p.depth == 15) {
            uint32_t w = (g << 11) | (r << 6) | (b << 1);
            uint8_t hi = static_cast<uint8_t>(w >> 8), lo = static_cast<uint8_t>(w);
            out.push_back(bigEndian ? hi : lo);
            out.push_back(bigEndian ? lo : hi);
        } else {
            out.push_back(static_cast<uint8_t>(r));
            out.push_back(static_cast<uint8_t>(g));
            out.push_back(static_cast<uint8_t>(b));
        }
    }
    return out;
}

std::vector<uint8_t> EncodeP2sf(const P2Pixels& picture, const P2sfOptions& options)
{
    std::unique_ptr<SfEncoder> e(new SfEncoder(picture, options));
    if (!e->Run())
        return {};
    return e->Bytes();
}

std::vector<uint8_t> EncodeP2ss(const P2Pixels& picture, const P2ssOptions& options)
{
    SsEncoder e(picture, options);
    if (!e.Run())
        return {};
    return e.Bytes();
}

void AppendP2Value(std::vector<P2Decision>* decisions, uint32_t base, uint32_t v)
{
    auto d = [&](uint32_t context, uint32_t bit) {
        decisions->push_back({static_cast<uint8_t>(context), static_cast<uint8_t>(bit)});
    };
    if (v >= 255) {
        for (uint32_t j = 0; j < 8; ++j)
            d(base + j, 0);
        return;
    }
    uint32_t j = 0;
    while ((2u << j) - 1 <= v)
        ++j;
    for (uint32_t k = 0; k < j; ++k)
        d(base + k, 0);
    d(base + j, 1);
    uint32_t suffix = v - ((1u << j) - 1);
    for (uint32_t m = 0; m < j; ++m)
        d(base + 8 + m, (suffix >> m) & 1);
}

std::vector<uint8_t> EncodeP2Decisions(const std::vector<P2Decision>& decisions, const std::vector<uint16_t>& table)
{
    // The same probability table the decoder builds.
    std::vector<uint16_t> prob(128 * 128);
    for (uint32_t c = 0; c < 128; ++c) {
        for (uint32_t r = 0; r < 128; ++r) {
            uint32_t p = ((r + 128) * uint32_t(table[c])) >> 8;
            prob[r * 128 + c] = static_cast<uint16_t>(p ? p : 1);
        }
    }

    // Range a as the decoder keeps it; low holds 16 bits below the output
    // bits, with a carry into them.
    std::vector<uint8_t> bits;
    uint32_t a = 0xFFFF, low = 0;
    for (const P2Decision& d : decisions) {
        uint32_t q = prob[((a >> 1) & 0x3F80) + d.context];
        if (d.bit == 0) {
            a = q;
        } else {
            low += q;
            a -= q;
            if (low & 0x10000) {
                low &= 0xFFFF;
                size_t i = bits.size();
                while (i > 0 && bits[i - 1] == 1)
                    bits[--i] = 0;
                if (i > 0)
                    bits[i - 1] = 1;
            }
        }
        while (!(a & 0x8000)) {
            a <<= 1;
            bits.push_back(static_cast<uint8_t>((low >> 15) & 1));
            low = (low << 1) & 0xFFFF;
        }
    }
    for (int i = 15; i >= 0; --i)
        bits.push_back(static_cast<uint8_t>((low >> i) & 1));

    std::vector<uint8_t> out(256 + (bits.size() + 7) / 8, 0);
    for (int c = 0; c < 128; ++c) {
        out[c * 2] = static_cast<uint8_t>(table[c] >> 8);
        out[c * 2 + 1] = static_cast<uint8_t>(table[c]);
    }
    for (size_t i = 0; i < bits.size(); ++i)
        out[256 + i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
    return out;
}

P2Pixels MakeP2TestPicture(int depth, uint32_t width, uint32_t height, uint32_t colours, uint32_t seed)
{
    std::mt19937 rng(seed);
    uint32_t mask = depth == 8 ? 0xFF : depth == 15 ? 31 : 255;
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < std::max<uint32_t>(colours, 1); ++i) {
        if (depth == 8)
            palette.push_back(rng() & 0xFF);
        else
            palette.push_back(Pack(rng() & mask, rng() & mask, rng() & mask));
    }
    P2Pixels p;
    p.depth = depth;
    p.width = width;
    p.height = height;
    p.values.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        int shift = static_cast<int>(rng() % 3) - 1;
        for (uint32_t x = 0; x < width; ++x) {
            size_t i = size_t(y) * width + x;
            uint32_t roll = rng() % 16;
            if (y > 0 && roll < 10) {
                long from = std::min<long>(std::max<long>(long(x) + shift, 0), long(width) - 1);
                p.values[i] = p.values[i - width + (from - long(x))];
            } else if (x > 0 && roll < 14) {
                p.values[i] = p.values[i - 1];
            } else {
                p.values[i] = palette[rng() % palette.size()];
            }
        }
    }
    return p;
}

int DecodeP2ForTest(const std::vector<uint8_t>& file, int withAlpha, std::vector<uint8_t>* out, uint32_t* width,
                    uint32_t* height)
{
    uint32_t w = 0, h = 0;
    if (!GetP2Size(file.data(), file.size(), &w, &h))
        return -100;
    if (width)
        *width = w;
    if (height)
        *height = h;
    out->assign(size_t(w) * h * (withAlpha ? 4 : 3), 0xCD);
    return DecodeP2(file.data(), file.size(), out->data(), out->size(), withAlpha);
}
