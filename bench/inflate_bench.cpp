// Inflate against zlib's inflate on the same streams: text-like data, a
// 24-bit BMP and random bytes, as members of 64 KB and 8 MB. Both check
// what they decode as extraction does: Inflate gives the CRC-32 of its
// output, which is compared with the member's, and zlib reads the same
// Deflate data in a gzip wrapper, whose CRC-32 and length it checks. Each
// Inflate run also times zlib on the same stream and reports the speed
// ratio (vs_zlib above 1 means faster than zlib).
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include "archive/inflate.h"
#include "support/sample_data.h"
#include "thread_time.h"

namespace {

struct Sample {
    std::vector<uint8_t> data;
    std::vector<uint8_t> stream;  // raw Deflate, zlib's default level
    std::vector<uint8_t> gzip;    // the same stream with a gzip header and trailer
    uint32_t crc = 0;             // CRC-32 of data
};

void PutLE32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

// The data of one kind (0 text, 1 BMP, 2 random) and size, made once.
const Sample& GetSample(int kind, size_t size)
{
    static std::map<std::pair<int, size_t>, Sample> cache;
    Sample& s = cache[{kind, size}];
    if (s.data.empty()) {
        s.data = kind == 0 ? TextLikeBytes(size, 1) : kind == 1 ? BmpLikeBytes(size, 2) : RandomBytes(size, 3);
        z_stream z = {};
        deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        s.stream.resize(deflateBound(&z, s.data.size()));
        z.next_in = s.data.data();
        z.avail_in = static_cast<uInt>(s.data.size());
        z.next_out = s.stream.data();
        z.avail_out = static_cast<uInt>(s.stream.size());
        deflate(&z, Z_FINISH);
        s.stream.resize(z.total_out);
        deflateEnd(&z);
        s.crc = static_cast<uint32_t>(crc32(0, s.data.data(), static_cast<uInt>(s.data.size())));
        s.gzip = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
        s.gzip.insert(s.gzip.end(), s.stream.begin(), s.stream.end());
        PutLE32(s.gzip, s.crc);
        PutLE32(s.gzip, static_cast<uint32_t>(s.data.size()));
    }
    return s;
}

// One decoding by zlib into out, checked against the gzip trailer; false
// when it does not give the data back.
bool ZlibOnce(const Sample& s, std::vector<uint8_t>& out)
{
    z_stream z = {};
    inflateInit2(&z, 16 + 15);
    z.next_in = const_cast<Bytef*>(s.gzip.data());
    z.avail_in = static_cast<uInt>(s.gzip.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int r = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return r == Z_STREAM_END && z.total_out == s.data.size();
}

// One decoding by Inflate, with the window allocated as extraction does.
bool InflateOnce(const Sample& s, std::vector<uint8_t>& out)
{
    std::unique_ptr<uint8_t[]> window(new uint8_t[kInflateWindowSize]);
    InflateState state = {};
    state.window = window.get();
    int r = Inflate(&state, s.stream.data(), out.data(), static_cast<uint32_t>(s.stream.size()),
                    static_cast<uint32_t>(s.data.size()));
    return r == 0 && state.outputCount == s.data.size() && state.crc == s.crc;
}

void BM_Inflate(benchmark::State& state)
{
    const Sample& s = GetSample(static_cast<int>(state.range(0)), static_cast<size_t>(state.range(1)));
    std::vector<uint8_t> out(s.data.size());
    if (!InflateOnce(s, out) || out != s.data) {
        state.SkipWithError("Inflate does not give the data back");
        return;
    }
    for (auto _ : state) {
        InflateOnce(s, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.data.size()));

    // zlib and Inflate timed again side by side for the ratio.
    double ours = SecondsPerRun([&] { InflateOnce(s, out); });
    double theirs = SecondsPerRun([&] { ZlibOnce(s, out); });
    state.counters["vs_zlib"] = theirs / ours;
    state.counters["zlib_MB/s"] = static_cast<double>(s.data.size()) / theirs / 1e6;
    state.counters["ours_MB/s"] = static_cast<double>(s.data.size()) / ours / 1e6;
}

void BM_ZlibInflate(benchmark::State& state)
{
    const Sample& s = GetSample(static_cast<int>(state.range(0)), static_cast<size_t>(state.range(1)));
    std::vector<uint8_t> out(s.data.size());
    if (!ZlibOnce(s, out)) {
        state.SkipWithError("zlib fails");
        return;
    }
    for (auto _ : state) {
        ZlibOnce(s, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(s.data.size()));
}

// kind: 0 text, 1 BMP, 2 random; sizes 64 KB and 8 MB.
void Arguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"kind", "size"});
    for (int kind = 0; kind < 3; ++kind)
        for (int64_t size : {int64_t(64) << 10, int64_t(8) << 20})
            b->Args({kind, size});
}

BENCHMARK(BM_Inflate)->Apply(Arguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZlibInflate)->Apply(Arguments)->Unit(benchmark::kMicrosecond);

}  // namespace
