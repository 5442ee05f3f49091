// Decoding speed of 640 x 400 Pi pictures at 4 and 8 bits and PIC pictures
// at 15 and 16 bits, in megapixels per second.
#include "decode/pi.h"
#include "decode/pic.h"

#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "support/pi_encoder.h"
#include "support/pic_encoder.h"

namespace {

const uint32_t kWidth = 640;
const uint32_t kHeight = 400;

// A picture like an illustration: smooth shaded shapes, hard edges and some grain.
double Shade(uint32_t x, uint32_t y)
{
    double dx = x - 320.0, dy = y - 200.0;
    double ring = std::sin(std::sqrt(dx * dx + dy * dy) / 18.0);
    double wave = std::sin(x / 37.0) * std::cos(y / 23.0);
    return (ring + wave + 2.0) / 4.0;  // 0 to 1
}

std::vector<uint8_t> PiFile(uint32_t depth)
{
    PiPicture p;
    p.width = kWidth;
    p.height = kHeight;
    p.depth = depth;
    std::mt19937 rng(1);
    uint32_t colours = 1u << depth;
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            uint32_t v = static_cast<uint32_t>(Shade(x, y) * (colours - 1) + (rng() % 16 == 0 ? 1 : 0));
            p.indices.push_back(static_cast<uint8_t>(v % colours));
        }
    for (uint32_t i = 0; i < colours; ++i)
        p.palette.insert(p.palette.end(), {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 3),
                                           static_cast<uint8_t>(255 - i)});
    return EncodePi(p);
}

std::vector<uint8_t> PicFile(uint32_t bits)
{
    PicPicture p;
    p.width = kWidth;
    p.rows = kHeight;
    p.colourBits = bits;
    std::mt19937 rng(2);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            uint32_t level = static_cast<uint32_t>(Shade(x, y) * 31);
            if (rng() % 32 == 0)
                level = (level + 1) & 31;
            uint32_t v = (level << 10) | ((31 - level) << 5) | ((x / 80) * 4);
            p.cells.push_back(static_cast<uint16_t>(bits == 16 ? (v << 1) | (x & 1) : v));
        }
    return EncodePic(p);
}

template <typename Decode>
void Run(benchmark::State& state, const std::vector<uint8_t>& file, Decode decode)
{
    std::vector<uint8_t> dst(size_t(kWidth) * kHeight * 3);
    for (auto _ : state) {
        int result = decode(file.data(), file.size(), dst.data(), dst.size(), 0);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(dst.data());
    }
    state.counters["Mpixels/s"] =
        benchmark::Counter(double(kWidth) * kHeight * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_DecodePi(benchmark::State& state)
{
    static const std::vector<uint8_t> four = PiFile(4), eight = PiFile(8);
    Run(state, state.range(0) == 4 ? four : eight, DecodePi);
}
BENCHMARK(BM_DecodePi)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_DecodePic(benchmark::State& state)
{
    static const std::vector<uint8_t> fifteen = PicFile(15), sixteen = PicFile(16);
    Run(state, state.range(0) == 15 ? fifteen : sixteen, DecodePic);
}
BENCHMARK(BM_DecodePic)->Arg(15)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
