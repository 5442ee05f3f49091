// Decoding speed of MAKI01 (640 x 400), run-length TGA and PackBits PSD
// (1920 x 1080), on pictures made by the test builders: smooth areas that
// code as runs, with noisy patches that do not.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "decode/maki01.h"
#include "decode/psd.h"
#include "decode/tga.h"
#include "support/maki01_builder.h"
#include "support/psd_builder.h"
#include "support/tga_builder.h"

namespace {

// A channel value at (x, y): bands of flat colour, with every eighth
// 64-pixel tile noise.
uint8_t Sample(uint32_t x, uint32_t y, int channel, std::mt19937* rng)
{
    if (((x / 64) + (y / 64) * 7) % 8 == 3)
        return uint8_t((*rng)());
    return uint8_t((y / 16) * (channel + 1) * 9 + (x / 48) * 5);
}

const std::vector<uint8_t>& Maki01File()
{
    static const std::vector<uint8_t> file = [] {
        std::mt19937 rng(1);
        Maki01Picture p;
        for (int i = 0; i < 16; ++i) {
            p.palette[i][0] = uint8_t(i * 16);
            p.palette[i][1] = uint8_t(255 - i * 16);
            p.palette[i][2] = uint8_t(i * 8);
        }
        p.indices.resize(640 * 400);
        for (uint32_t y = 0; y < 400; ++y)
            for (uint32_t x = 0; x < 640; ++x)
                p.indices[y * 640 + x] = Sample(x, y, 0, &rng) & 0x0F;
        return BuildMaki01(p);
    }();
    return file;
}

const std::vector<uint8_t>& TgaFile()
{
    static const std::vector<uint8_t> file = [] {
        std::mt19937 rng(2);
        TgaImage t;
        t.imageType = 10;
        t.width = 1920;
        t.height = 1080;
        t.depth = 24;
        t.descriptor = 0x20;
        t.pixels.reserve(size_t(1920) * 1080 * 3);
        for (uint32_t y = 0; y < 1080; ++y)
            for (uint32_t x = 0; x < 1920; ++x)
                for (int c = 0; c < 3; ++c)
                    t.pixels.push_back(Sample(x, y, c, &rng));
        return BuildTga(t);
    }();
    return file;
}

const std::vector<uint8_t>& PsdFile()
{
    static const std::vector<uint8_t> file = [] {
        std::mt19937 rng(3);
        PsdDocument d;
        d.mode = 3;
        d.channels = 3;
        d.width = 1920;
        d.height = 1080;
        d.compression = 1;
        d.planes.assign(3, std::vector<uint8_t>(size_t(1920) * 1080));
        for (int c = 0; c < 3; ++c)
            for (uint32_t y = 0; y < 1080; ++y)
                for (uint32_t x = 0; x < 1920; ++x)
                    d.planes[c][size_t(y) * 1920 + x] = Sample(x, y, c, &rng);
        return BuildPsd(d);
    }();
    return file;
}

// Decodes file into a width x height picture as often as the run asks.
void RunDecode(benchmark::State& state, const std::vector<uint8_t>& file, uint32_t width, uint32_t height,
               int (*decode)(const uint8_t*, size_t, uint8_t*, size_t, int))
{
    int withAlpha = int(state.range(0));
    std::vector<uint8_t> dst(size_t(width) * height * (withAlpha ? 4 : 3));
    for (auto _ : state) {
        int result = decode(file.data(), file.size(), dst.data(), dst.size(), withAlpha);
        if (result < 0)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.size()));
    state.counters["file_bytes"] = double(file.size());
    state.counters["pixels"] = benchmark::Counter(double(width) * height, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Maki01_640x400(benchmark::State& state)
{
    RunDecode(state, Maki01File(), 640, 400, DecodeMaki01);
}
BENCHMARK(BM_Maki01_640x400)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TgaRle24_1920x1080(benchmark::State& state)
{
    RunDecode(state, TgaFile(), 1920, 1080, DecodeTga);
}
BENCHMARK(BM_TgaRle24_1920x1080)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PsdRgbPackBits_1920x1080(benchmark::State& state)
{
    RunDecode(state, PsdFile(), 1920, 1080, DecodePsd);
}
BENCHMARK(BM_PsdRgbPackBits_1920x1080)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
