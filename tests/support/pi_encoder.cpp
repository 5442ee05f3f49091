#include "support/pi_encoder.h"

#include <algorithm>

void PiBitWriter::Put(uint32_t value, uint32_t n)
{
    for (uint32_t i = n; i-- > 0;) {
        if (bits_ % 8 == 0)
            bytes_.push_back(0);
        if ((value >> i) & 1)
            bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
        ++bits_;
    }
}

void PiBitWriter::Unary(uint32_t n)
{
    for (uint32_t i = 0; i < n; ++i)
        Put(1, 1);
    Put(0, 1);
}

void PiDefaultColour(uint32_t index, uint8_t* red, uint8_t* green, uint8_t* blue)
{
    static const uint8_t level8[8] = {0x00, 0x24, 0x49, 0x6D, 0x92, 0xB6, 0xDB, 0xFF};
    static const uint8_t level4[4] = {0x00, 0x55, 0xAA, 0xFF};
    *blue = level8[(index >> 5) & 7];
    *green = level8[(index >> 2) & 7];
    *red = level4[index & 3];
}

std::vector<uint8_t> EncodePiHeader(const PiPicture& picture)
{
    std::vector<uint8_t> out = {'P', 'i'};
    out.insert(out.end(), picture.comment.begin(), picture.comment.end());
    out.push_back(0x1A);
    out.insert(out.end(), picture.text.begin(), picture.text.end());
    out.push_back(0x00);
    out.push_back(picture.palette.empty() ? 0x80 : 0x00);  // mode
    out.push_back(1);                                      // aspect ratio
    out.push_back(1);
    out.push_back(static_cast<uint8_t>(picture.depth));
    out.insert(out.end(), {'T', 'E', 'S', 'T'});  // machine
    out.push_back(static_cast<uint8_t>(picture.extension.size() >> 8));
    out.push_back(static_cast<uint8_t>(picture.extension.size()));
    out.insert(out.end(), picture.extension.begin(), picture.extension.end());
    out.push_back(static_cast<uint8_t>(picture.width >> 8));
    out.push_back(static_cast<uint8_t>(picture.width));
    out.push_back(static_cast<uint8_t>(picture.height >> 8));
    out.push_back(static_cast<uint8_t>(picture.height));
    out.insert(out.end(), picture.palette.begin(), picture.palette.end());
    return out;
}

namespace {

// The encoder's copy of the plane and the move-to-front table.
class Encoder {
public:
    Encoder(const PiPicture& p, PiBitWriter& out, PiEncodeStats& stats)
        : w_(p.width), depth_(p.depth), colours_(1u << p.depth), out_(out), stats_(stats)
    {
        // The target plane: two rows above, then the picture. The rows above
        // hold the first two pixels' colours, pair by pair, so that the first
        // pair can be copied from two rows up.
        size_t pixels = size_t(p.width) * p.height;
        uint8_t a = pixels > 0 ? p.indices[0] : 0;
        uint8_t b = pixels > 1 ? p.indices[1] : a;
        plane_.resize(2 * w_);
        for (size_t i = 0; i < plane_.size(); ++i)
            plane_[i] = (i % 2) ? b : a;
        plane_.insert(plane_.end(), p.indices.begin(), p.indices.end());

        table_.resize(colours_);
        for (uint32_t row = 0; row < colours_; ++row)
            for (uint32_t k = 0; k < colours_; ++k)
                table_[row].push_back(static_cast<uint8_t>((row + colours_ - k) % colours_));
        Colour(0, a);
        Colour(a, b);
    }

    void Run()
    {
        size_t pos = 2 * w_;
        size_t previous = 0;
        while (pos < plane_.size()) {
            Candidate best = BestCopy(pos, previous);
            if (best.pairs > 0) {
                out_.Put(best.code, 2);
                if (best.code == 3)
                    out_.Put(best.extra, 1);
                PutLength(best.pairs);
                ++stats_.copies[best.kind];
                stats_.longestCopy = std::max(stats_.longestCopy, best.pairs);
                pos += std::min<size_t>(2 * size_t(best.pairs), plane_.size() - pos);
                previous = best.value;
                continue;
            }
            pos = Literals(pos, previous);
            previous = 0;
        }
    }

private:
    struct Candidate {
        uint32_t code = 0, extra = 0, kind = 0;
        size_t value = 0, distance = 0;
        uint32_t pairs = 0;
    };

    // The five position codes at pos with their code values and distances.
    std::vector<Candidate> Codes(size_t pos) const
    {
        bool equal = plane_[pos - 1] == plane_[pos - 2];
        return {
            {0, 0, equal ? 0u : 1u, 4, equal ? 2u : 4u, 0},
            {1, 0, 2, w_, w_, 0},
            {2, 0, 3, 2 * w_, 2 * w_, 0},
            {3, 1, 4, w_ + 1, w_ + 1, 0},
            {3, 0, 5, w_ - 1, w_ - 1, 0},
        };
    }

    // How many pairs a copy from distance back reproduces at pos.
    uint32_t MatchPairs(size_t pos, size_t distance) const
    {
        if (distance == 0 || distance > pos)
            return 0;
        size_t n = 0;
        while (pos + n < plane_.size() && plane_[pos + n] == plane_[pos + n - distance] && n < (1u << 30))
            ++n;
        if (pos + n < plane_.size())
            n -= n % 2;  // only whole pairs, except the last pixel of the plane
        return static_cast<uint32_t>((n + 1) / 2);
    }

    // The longest copy whose code value does not repeat the previous one.
    Candidate BestCopy(size_t pos, size_t previous) const
    {
        Candidate best;
        for (Candidate c : Codes(pos)) {
            if (c.value == previous)
                continue;
            c.pairs = std::min<uint32_t>(MatchPairs(pos, c.distance), (1u << 30) - 1);
            if (c.pairs > best.pairs)
                best = c;
        }
        return best;
    }

    // Whether any copy could go on at pos after literal colours.
    bool CopyPossible(size_t pos) const { return BestCopy(pos, 0).pairs > 0; }

    // Writes a copy length in pairs.
    void PutLength(uint32_t pairs)
    {
        if (pairs == 1) {
            out_.Put(0, 1);
            return;
        }
        uint32_t m = 0;
        while ((2u << m) <= pairs)
            ++m;
        out_.Put(1, 1);
        out_.Unary(m - 1);
        out_.Put(pairs - (1u << m), m);
    }

    // Writes literal colour pairs from pos, started by repeating the previous
    // code value, until a copy can take over. Returns the new position.
    size_t Literals(size_t pos, size_t previous)
    {
        Candidate start;
        bool found = false;
        for (const Candidate& c : Codes(pos)) {
            if (c.value == previous && !found) {
                start = c;
                found = true;
            }
        }
        out_.Put(start.code, 2);
        if (start.code == 3)
            out_.Put(start.extra, 1);
        ++stats_.literalStarts[start.kind];

        int run = 0;
        for (;;) {
            uint8_t a = plane_[pos];
            uint8_t b = pos + 1 < plane_.size() ? plane_[pos + 1] : a;
            Colour(plane_[pos - 1], a);
            Colour(a, b);
            ++stats_.literalPairs;
            ++run;
            pos += 2;
            if (pos >= plane_.size())
                break;
            bool more = !CopyPossible(pos);
            out_.Put(more ? 1 : 0, 1);
            if (!more)
                break;
        }
        stats_.longestLiteralRun = std::max(stats_.longestLiteralRun, run);
        return std::min(pos, plane_.size());
    }

    // Writes colour c in the context of the previous colour and moves it to the front.
    void Colour(uint8_t previous, uint8_t c)
    {
        std::vector<uint8_t>& row = table_[previous];
        uint32_t index = static_cast<uint32_t>(std::find(row.begin(), row.end(), c) - row.begin());
        row.erase(row.begin() + index);
        row.insert(row.begin(), c);
        if (index < 2) {
            out_.Put(1, 1);
            out_.Put(index, 1);
            return;
        }
        uint32_t n = 0;
        while ((4u << n) <= index)
            ++n;
        out_.Put(0, 1);
        for (uint32_t i = 0; i < n; ++i)
            out_.Put(1, 1);
        if (n + 2 < depth_)
            out_.Put(0, 1);
        out_.Put(index - (2u << n), n + 1);
    }

    size_t w_;
    uint32_t depth_;
    uint32_t colours_;
    PiBitWriter& out_;
    PiEncodeStats& stats_;
    std::vector<uint8_t> plane_;
    std::vector<std::vector<uint8_t>> table_;
};

}  // namespace

std::vector<uint8_t> EncodePi(const PiPicture& picture, PiEncodeStats* stats)
{
    PiEncodeStats ignored;
    PiBitWriter bits;
    Encoder encoder(picture, bits, stats ? *stats : ignored);
    encoder.Run();
    std::vector<uint8_t> file = EncodePiHeader(picture);
    std::vector<uint8_t> stream = bits.Bytes();
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}
