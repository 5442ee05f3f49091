// DecodeLh against liblhasa's decoder on the same members: text-like data, a
// 24-bit BMP and a MAG file, compressed by -lh5- and -lh7-, as members of
// 64 KB and 8 MB. The members are made once per run by Debian's jlha-utils
// (`lha`). Each DecodeLh run also times liblhasa on the same member and
// reports both speeds and their ratio (vs_lhasa above 1 means faster).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>

extern "C" {
#include <lhasa.h>
}

#include "archive/lzh_decode.h"
#include "archive/lzh_directory.h"
#include "support/mag_encoder.h"
#include "support/sample_data.h"
#include "thread_time.h"

namespace {

// The bytes of a 256-colour MAG picture of mixed content, cut to size; the
// picture is made large enough to fill it.
std::vector<uint8_t> MagFileBytes(size_t size)
{
    double pixels = static_cast<double>(size) / 0.35;
    for (;;) {
        uint32_t width = (static_cast<uint32_t>(std::sqrt(pixels * 1.6)) + 7) & ~7u;
        uint32_t height = width * 5 / 8;
        std::vector<uint8_t> file = EncodeMag(MakeMagPicture(true, 0, 0, width, height, MagPattern::Mixed, 11));
        if (file.size() >= size) {
            file.resize(size);
            return file;
        }
        pixels *= 1.25;
    }
}

// One member: the original bytes and its compressed data with the three
// spare bytes that extraction adds.
struct Member {
    std::vector<uint8_t> data;
    std::vector<uint8_t> compressed;
    uint32_t method = 0;
    std::string error;
};

// Compresses data with `lha` in a scratch folder; the member's data, or an error.
void Compress(Member* m, int letter)
{
    char folder[] = "/tmp/zize_lzh_bench_XXXXXX";
    if (!mkdtemp(folder)) {
        m->error = "no scratch folder";
        return;
    }
    std::string dir = folder;
    std::string input = dir + "/member";
    std::string archive = dir + "/member.lzh";
    if (FILE* f = fopen(input.c_str(), "wb")) {
        fwrite(m->data.data(), 1, m->data.size(), f);
        fclose(f);
    }
    std::string command = "cd " + dir + " && lha ao" + std::to_string(letter) + "q member.lzh member >/dev/null 2>&1";
    int status = system(command.c_str());
    std::vector<uint8_t> bytes;
    if (FILE* f = fopen(archive.c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        fclose(f);
    }
    unlink(input.c_str());
    unlink(archive.c_str());
    rmdir(folder);
    if (status != 0 || bytes.empty()) {
        m->error = "lha (jlha-utils) could not compress the member";
        return;
    }

    ArchiveReader reader;
    reader.file = FileOpenMemory(bytes.data(), bytes.size());
    if (ReadLzhDirectory(&reader, reader.file, 0) == kLzhDirOk && reader.count == 1 &&
        reader.entries[0].uncompressedSize == m->data.size() && reader.entries[0].method == uint32_t('0' + letter)) {
        const ArchiveEntry& e = reader.entries[0];
        m->method = e.method;
        m->compressed.assign(bytes.begin() + static_cast<std::ptrdiff_t>(e.dataPosition),
                             bytes.begin() + static_cast<std::ptrdiff_t>(e.dataPosition + e.compressedSize));
        m->compressed.resize(m->compressed.size() + 3, 0);
    } else {
        m->error = "lha did not write one member of the wanted method";
    }
    CloseArchive(&reader);
}

// The member of one kind (0 text, 1 BMP, 2 MAG), method letter and size, made once.
const Member& GetMember(int kind, int letter, size_t size)
{
    static std::map<std::tuple<int, int, size_t>, Member> cache;
    Member& m = cache[{kind, letter, size}];
    if (m.compressed.empty() && m.error.empty()) {
        m.data = kind == 0 ? TextLikeBytes(size, 1) : kind == 1 ? BmpLikeBytes(size, 2) : MagFileBytes(size);
        Compress(&m, letter);
    }
    return m;
}

// One decoding by DecodeLh into out, with the tables a reader holds.
bool OursOnce(const Member& m, LzhTables* tables, std::vector<uint8_t>& out)
{
    uint32_t n = static_cast<uint32_t>(m.data.size());
    return DecodeLh(tables, m.compressed.data(), m.compressed.size(), out.data(), n, m.method) == n;
}

// liblhasa's decoder reads the compressed bytes through this cursor.
struct Cursor {
    const uint8_t* at;
    size_t left;
};

size_t ReadCursor(void* buf, size_t len, void* user)
{
    Cursor* c = static_cast<Cursor*>(user);
    size_t n = len < c->left ? len : c->left;
    memcpy(buf, c->at, n);
    c->at += n;
    c->left -= n;
    return n;
}

// One decoding by liblhasa into out; false when it does not give every byte.
bool LhasaOnce(const Member& m, std::vector<uint8_t>& out)
{
    char name[] = "-lh5-";
    name[3] = static_cast<char>(m.method);
    Cursor cursor = {m.compressed.data(), m.compressed.size() - 3};
    LHADecoder* d = lha_decoder_new(lha_decoder_for_name(name), ReadCursor, &cursor, m.data.size());
    if (!d)
        return false;
    size_t got = 0;
    while (got < out.size()) {
        size_t n = lha_decoder_read(d, out.data() + got, out.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    lha_decoder_free(d);
    return got == m.data.size();
}

void BM_LzhDecode(benchmark::State& state)
{
    const Member& m = GetMember(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                static_cast<size_t>(state.range(2)));
    if (!m.error.empty()) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    std::unique_ptr<LzhTables> tables(new LzhTables());
    std::vector<uint8_t> out(m.data.size());
    if (!OursOnce(m, tables.get(), out) || out != m.data) {
        state.SkipWithError("DecodeLh does not give the data back");
        return;
    }
    for (auto _ : state) {
        OursOnce(m, tables.get(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(m.data.size()));

    // liblhasa and DecodeLh timed again side by side for the ratio.
    double ours = SecondsPerRun([&] { OursOnce(m, tables.get(), out); });
    double theirs = SecondsPerRun([&] { LhasaOnce(m, out); });
    state.counters["ours_MB/s"] = static_cast<double>(m.data.size()) / ours / 1e6;
    state.counters["lhasa_MB/s"] = static_cast<double>(m.data.size()) / theirs / 1e6;
    state.counters["vs_lhasa"] = theirs / ours;
    state.counters["ratio_%"] = 100.0 * static_cast<double>(m.compressed.size() - 3) / static_cast<double>(m.data.size());
}

void BM_LzhLhasa(benchmark::State& state)
{
    const Member& m = GetMember(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                static_cast<size_t>(state.range(2)));
    if (!m.error.empty()) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    std::vector<uint8_t> out(m.data.size());
    if (!LhasaOnce(m, out) || out != m.data) {
        state.SkipWithError("liblhasa does not give the data back");
        return;
    }
    for (auto _ : state) {
        LhasaOnce(m, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(m.data.size()));
}

// kind: 0 text, 1 BMP, 2 MAG; method letters 5 and 7; sizes 64 KB and 8 MB.
void Arguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"kind", "lh", "size"});
    for (int kind = 0; kind < 3; ++kind)
        for (int letter : {5, 7})
            for (int64_t size : {int64_t(64) << 10, int64_t(8) << 20})
                b->Args({kind, letter, size});
}

BENCHMARK(BM_LzhDecode)->Apply(Arguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LzhLhasa)->Apply(Arguments)->Unit(benchmark::kMicrosecond);

}  // namespace
