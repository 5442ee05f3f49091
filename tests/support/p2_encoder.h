// Test encoders for P2 files: raw blocks, P2SF blocks and P2SS blocks (with
// an arithmetic coder that mirrors the decision decoder), and the container
// around them. Each encoder simulates the decoder's state exactly, so that
// decoding its output must give back the picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A block's picture in the file's own terms: at 8 bits one palette index per
// pixel; at 15 and 24 bits red | green << 8 | blue << 16 with channels of
// five or eight bits.
struct P2Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    int depth = 24;
    std::vector<uint32_t> values;  // width x height, rows top first
};

// One block of a file: its kind ("P2SS", "P2SF", "P2BM", "P2BI"), place and data.
struct P2FileBlock {
    std::string kind;
    uint16_t x = 0, y = 0, width = 0, height = 0;
    std::vector<uint8_t> data;
};

// A file of the given depth holding the blocks in order; with a palette
// (red, green, blue per entry) flag bit 0 is set.
std::vector<uint8_t> MakeP2File(int depth, const std::vector<P2FileBlock>& blocks,
                                const std::vector<uint8_t>* paletteRgb = nullptr);

// A block record for the picture placed at (x, y).
P2FileBlock MakeP2Block(const std::string& kind, const P2Pixels& picture, uint16_t x, uint16_t y,
                    std::vector<uint8_t> data);

// What the decoder writes for the picture: blue, green, red per pixel.
std::vector<uint8_t> P2ExpectedBgr(const P2Pixels& picture, const std::vector<uint8_t>* paletteRgb = nullptr);

// Raw block data: one byte, a 16-bit value (green, red, blue from the top
// bit down, big- or little-endian) or red, green, blue per pixel.
std::vector<uint8_t> EncodeP2Raw(const P2Pixels& picture, bool bigEndian);

struct P2sfOptions {
    bool chains = true;     // carry colours down where the row below matches
    bool longRuns = false;  // use the long-run mode wherever it fits
};
// P2SF block data; empty if the encoder's own simulation went wrong.
std::vector<uint8_t> EncodeP2sf(const P2Pixels& picture, const P2sfOptions& options = P2sfOptions());

struct P2ssOptions {
    bool chains = true;
    // The 128 stored probabilities; empty: taken from the picture's statistics.
    std::vector<uint16_t> table;
};
// P2SS block data (the table, then the arithmetic-coded decisions); empty if
// the encoder's own simulation went wrong.
std::vector<uint8_t> EncodeP2ss(const P2Pixels& picture, const P2ssOptions& options = P2ssOptions());

// The arithmetic coder alone: codes (context, decision) pairs with the given
// table, for tests that build P2SS streams decision by decision.
struct P2Decision {
    uint8_t context;
    uint8_t bit;
};
// Appends the decisions that code value (0 to 255) with base context base.
void AppendP2Value(std::vector<P2Decision>* decisions, uint32_t base, uint32_t value);
std::vector<uint8_t> EncodeP2Decisions(const std::vector<P2Decision>& decisions, const std::vector<uint16_t>& table);

// Most-significant-bit-first writer for hand-made streams.
class P2BitWriter {
public:
    void Put(uint32_t value, int count);
    std::vector<uint8_t> Bytes() const;  // padded with zero bits to a whole byte
    size_t BitCount() const { return bits_.size(); }

private:
    std::vector<uint8_t> bits_;
};

// A picture for round trips and benchmarks, in the manner of real ones:
// rows that mostly repeat the row above (shifted by up to one unit), runs of
// one colour, and a palette of `colours` random colours (1 to 1000).
P2Pixels MakeP2TestPicture(int depth, uint32_t width, uint32_t height, uint32_t colours, uint32_t seed);

// Decodes a whole file with dst sized from GetP2Size; returns DecodeP2's
// result (or -100 when the size query fails), the pixels in *out.
int DecodeP2ForTest(const std::vector<uint8_t>& file, int withAlpha, std::vector<uint8_t>* out,
                    uint32_t* width = nullptr, uint32_t* height = nullptr);
