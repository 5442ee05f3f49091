#include "support/pic_encoder.h"

void PicBitWriter::Put(uint32_t value, uint32_t n)
{
    for (uint32_t i = n; i-- > 0;) {
        if (bits_ % 8 == 0)
            bytes_.push_back(0);
        if ((value >> i) & 1)
            bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
        ++bits_;
    }
}

void PicBitWriter::RunLength(uint64_t length)
{
    // n bits in all: n - 1 ones and a zero, then n value bits above 2^n - 2.
    uint32_t n = 1;
    while ((uint64_t(2) << n) - 2 <= length)
        ++n;
    for (uint32_t i = 1; i < n; ++i)
        Put(1, 1);
    Put(0, 1);
    uint64_t value = length - ((uint64_t(1) << n) - 2);
    if (n > 32)
        Put(static_cast<uint32_t>(value >> 32), n - 32);
    Put(static_cast<uint32_t>(value), n > 32 ? 32 : n);
}

std::vector<uint8_t> EncodePicHeader(const PicPicture& picture)
{
    std::vector<uint8_t> out = {'P', 'I', 'C'};
    out.insert(out.end(), picture.comment.begin(), picture.comment.end());
    out.push_back(0x1A);
    out.insert(out.end(), picture.text.begin(), picture.text.end());
    out.push_back(0x00);
    out.push_back(0x00);  // reserved
    out.push_back(picture.type);
    for (uint32_t v : {picture.colourBits, picture.width, picture.rows}) {
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

namespace {

// The 128-entry colour cache as the decoder keeps it.
struct Cache {
    uint32_t value[128] = {};
    int previous[128];
    int next[128];
    int current = 0;

    Cache()
    {
        for (int e = 0; e < 128; ++e) {
            previous[e] = (e + 127) % 128;
            next[e] = (e + 1) % 128;
        }
    }

    // Writes colour c as a cache hit or a literal and updates the entries.
    void Write(PicBitWriter& out, uint32_t c, uint32_t colourBits, PicEncodeStats& stats)
    {
        int k = 0;
        while (k < 128 && value[k] != c)
            ++k;
        if (k == 128) {
            out.Put(0, 1);
            out.Put(c, colourBits);
            current = next[current];
            value[current] = c;
            ++stats.literals;
            return;
        }
        out.Put(1, 1);
        out.Put(static_cast<uint32_t>(k), 7);
        ++stats.cacheHits;
        if (k == current) {
            ++stats.hitsOnCurrent;
            return;
        }
        if (k == next[current])
            ++stats.hitsOnNext;
        // Take k out of the ring, then put it back just after the current entry.
        next[previous[k]] = next[k];
        previous[next[k]] = previous[k];
        previous[k] = current;
        next[k] = next[current];
        previous[next[current]] = k;
        next[current] = k;
        current = k;
    }
};

class Encoder {
public:
    Encoder(const PicPicture& p, PicBitWriter& out, PicEncodeStats& stats)
        : p_(p), out_(out), stats_(stats), marks_(p.cells.size(), -1)
    {
    }

    void Run()
    {
        uint32_t current = 0;
        uint64_t run = 0;
        for (size_t pos = 0; pos < p_.cells.size(); ++pos) {
            // A run pixel takes a chain's colour where there is one, else the current one.
            uint32_t fromRun = marks_[pos] >= 0 ? static_cast<uint32_t>(marks_[pos]) : current;
            marks_[pos] = -1;
            uint32_t want = p_.cells[pos];
            if (want == fromRun) {
                current = fromRun;
                ++run;
                continue;
            }

            // Otherwise the run ends and this pixel gets a new colour.
            PutRun(run);
            run = 0;
            cache_.Write(out_, want, p_.colourBits, stats_);
            current = want;
            Chain(pos, want);
        }
        PutRun(run);  // the last run; the step after it leaves the picture
    }

private:
    void PutRun(uint64_t run)
    {
        uint32_t n = 1;
        while ((uint64_t(2) << n) - 2 <= run)
            ++n;
        ++stats_.runClasses[n < 33 ? n : 33];
        out_.RunLength(run);
    }

    // Follows the colour down from pos: each row below continues the chain
    // where an edge of the same colour starts within two columns.
    void Chain(size_t pos, uint32_t colour)
    {
        const int64_t w = p_.width;
        int64_t row = static_cast<int64_t>(pos) / w;
        int64_t column = static_cast<int64_t>(pos) % w;
        std::vector<int> moves;
        while (p_.chains && row + 1 < p_.rows) {
            int chosen = 99;
            for (int delta : {0, -1, 1, -2, 2}) {
                int64_t c = column + delta;
                if (c < 0 || c >= w)
                    continue;
                size_t at = static_cast<size_t>((row + 1) * w + c);
                bool edge = c == 0 || p_.cells[at - 1] != colour;
                if (p_.cells[at] == colour && edge && marks_[at] < 0) {
                    chosen = delta;
                    break;
                }
            }
            if (chosen == 99)
                break;
            ++row;
            column += chosen;
            marks_[static_cast<size_t>(row * w + column)] = static_cast<int32_t>(colour);
            moves.push_back(chosen);
        }

        if (moves.empty()) {
            out_.Put(0, 1);
            return;
        }
        out_.Put(1, 1);
        ++stats_.chains;
        for (int delta : moves) {
            ++stats_.moves[delta + 2];
            if (delta == -2 || delta == 2) {
                out_.Put(0, 2);
                out_.Put(1, 1);
                out_.Put(delta > 0 ? 1 : 0, 1);
            } else {
                out_.Put(static_cast<uint32_t>(delta + 2), 2);
            }
        }
        out_.Put(0, 3);  // end of the chain
    }

    const PicPicture& p_;
    PicBitWriter& out_;
    PicEncodeStats& stats_;
    std::vector<int32_t> marks_;  // chain colours ahead of the position, -1 where none
    Cache cache_;
};

}  // namespace

std::vector<uint8_t> EncodePic(const PicPicture& picture, PicEncodeStats* stats)
{
    PicEncodeStats ignored;
    PicBitWriter bits;
    Encoder encoder(picture, bits, stats ? *stats : ignored);
    encoder.Run();
    std::vector<uint8_t> file = EncodePicHeader(picture);
    std::vector<uint8_t> stream = bits.Bytes();
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}
