// Thumbnail scaling from sources of growing size: the cost should follow the
// 4 x 80 x 80 sampled reads, not the source's size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/thumbnail.h"

namespace {

void BM_ScaleToThumbnail(benchmark::State& state)
{
    const uint32_t width = static_cast<uint32_t>(state.range(0));
    const uint32_t height = static_cast<uint32_t>(state.range(1));
    std::vector<uint8_t> src(size_t(width) * height * 3);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    ThumbnailBlock thumb;
    for (auto _ : state) {
        ScaleToThumbnail(&thumb, src.data(), width, height, ptrdiff_t(width) * 3);
        benchmark::DoNotOptimize(thumb.pixels[kThumbnailBytes / 2]);
    }
    state.counters["thumbs/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScaleToThumbnail)->Args({80, 80})->Args({640, 400})->Args({4000, 3000});

}  // namespace
