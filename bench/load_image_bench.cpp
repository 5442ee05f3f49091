// The own-decoder road on a 640 x 400 MAG file image: to a DecodedImage in
// both forms, and straight to a thumbnail. Each iteration includes copying
// the file into a fresh block, which the road consumes.
#include <benchmark/benchmark.h>

#include <vector>

#include "image/load_image.h"
#include "support/image_files.h"
#include "support/mag_encoder.h"

namespace {

std::vector<uint8_t> MagFile(bool colors256)
{
    return EncodeMag(MakeMagPicture(colors256, 0, 0, 640, 400, MagPattern::Mixed, 640));
}

void BM_LoadOwnImageBlock(benchmark::State& state)
{
    std::vector<uint8_t> file = MagFile(state.range(0) != 0);
    const int withAlpha = int(state.range(1));
    for (auto _ : state) {
        DecodedImage image{};
        int result = LoadOwnImageBlock(BlockFromBytes(file), &image, withAlpha);
        benchmark::DoNotOptimize(result);
        ReleaseDecodedImage(&image);
    }
    state.counters["MPix/s"] =
        benchmark::Counter(double(state.iterations()) * 640 * 400 / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadOwnImageBlock)->ArgNames({"colors256", "alpha"})->Args({0, 0})->Args({0, 1})->Args({1, 0});

void BM_LoadOwnImageThumbnail(benchmark::State& state)
{
    std::vector<uint8_t> file = MagFile(state.range(0) != 0);
    ThumbnailBlock thumb;
    for (auto _ : state) {
        ImageInfo info{};
        int result = LoadOwnImageThumbnail(BlockFromBytes(file), &thumb, &info);
        benchmark::DoNotOptimize(result);
    }
    state.counters["thumbs/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadOwnImageThumbnail)->ArgNames({"colors256"})->Arg(0)->Arg(1);

}  // namespace
