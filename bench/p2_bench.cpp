// P2 decoding speed: a 640 x 400 picture in each block kind at 15 and 24
// bits, made by the test encoders from a picture in the manner of real ones
// (rows that mostly repeat the row above, runs, 200 colours).
#include <benchmark/benchmark.h>

#include <vector>

#include "decode/p2.h"
#include "support/p2_encoder.h"

namespace {

std::vector<uint8_t> MakeFile(const char* kind, int depth)
{
    P2Pixels p = MakeP2TestPicture(depth, 640, 400, 200, 1234);
    std::vector<uint8_t> data;
    std::string k = kind;
    if (k == "P2SS")
        data = EncodeP2ss(p);
    else if (k == "P2SF")
        data = EncodeP2sf(p);
    else
        data = EncodeP2Raw(p, k == "P2BM");
    return MakeP2File(depth, {MakeP2Block(k, p, 0, 0, data)});
}

void BM_P2Decode(benchmark::State& state, const char* kind, int depth)
{
    std::vector<uint8_t> file = MakeFile(kind, depth);
    uint32_t w = 0, h = 0;
    if (!GetP2Size(file.data(), file.size(), &w, &h)) {
        state.SkipWithError("no size");
        return;
    }
    std::vector<uint8_t> dst(size_t(w) * h * 3);
    for (auto _ : state) {
        int r = DecodeP2(file.data(), file.size(), dst.data(), dst.size(), 0);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    state.counters["Mpix/s"] = benchmark::Counter(double(w) * h * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    state.counters["fileKB"] = double(file.size()) / 1024;
}

BENCHMARK_CAPTURE(BM_P2Decode, P2SS_15, "P2SS", 15)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2SS_24, "P2SS", 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2SF_15, "P2SF", 15)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2SF_24, "P2SF", 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2BM_15, "P2BM", 15)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2BM_24, "P2BM", 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2BI_15, "P2BI", 15)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_P2Decode, P2BI_24, "P2BI", 24)->Unit(benchmark::kMillisecond);

}  // namespace
