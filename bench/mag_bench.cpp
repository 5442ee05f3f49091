// MAG decoding speed on 640 x 400 pictures, 16 and 256 colours, in
// megapixels per second (items are pixels).
#include <vector>

#include <benchmark/benchmark.h>

#include "decode/dispatch.h"
#include "support/mag_encoder.h"

namespace {

// Decodes the picture's file through the dispatch, as the loader does.
void DecodeMagPicture(benchmark::State& state, bool colors256, MagPattern pattern)
{
    MagPicture picture = MakeMagPicture(colors256, 0, 0, 640, 400, pattern, 640);
    MagEncodeOptions options;
    std::vector<uint8_t> file = EncodeMag(picture, options);
    const int withAlpha = int(state.range(0));
    std::vector<uint8_t> dst(size_t(640) * 400 * (3 + withAlpha));

    for (auto _ : state) {
        ImageDecoder decoder;
        DetectDecoderType(&decoder, file.data(), file.size());
        int depth = DecodeImage(&decoder, dst.data(), dst.size(), withAlpha);
        benchmark::DoNotOptimize(depth);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 640 * 400);
    state.counters["MPix/s"] =
        benchmark::Counter(double(state.iterations()) * 640 * 400 / 1e6, benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = double(file.size());
}

void BM_Mag16Mixed(benchmark::State& state) { DecodeMagPicture(state, false, MagPattern::Mixed); }
void BM_Mag256Mixed(benchmark::State& state) { DecodeMagPicture(state, true, MagPattern::Mixed); }
void BM_Mag16Noise(benchmark::State& state) { DecodeMagPicture(state, false, MagPattern::Noise); }
void BM_Mag256Noise(benchmark::State& state) { DecodeMagPicture(state, true, MagPattern::Noise); }

}  // namespace

// Argument: withAlpha.
BENCHMARK(BM_Mag16Mixed)->Arg(0)->Arg(1);
BENCHMARK(BM_Mag256Mixed)->Arg(0)->Arg(1);
BENCHMARK(BM_Mag16Noise)->Arg(0);
BENCHMARK(BM_Mag256Noise)->Arg(0);
