// Inflate against zlib: whatever zlib's deflate writes, Inflate gives back.
#include "archive/inflate.h"

#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/sample_data.h"

namespace {

// A raw Deflate stream of data at the given level and strategy.
std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& data, int level, int strategy)
{
    z_stream z = {};
    EXPECT_EQ(Z_OK, deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy));
    std::vector<uint8_t> out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(Z_STREAM_END, deflate(&z, Z_FINISH));
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Inflates stream with the given output limit; returns the code and the bytes.
int RunInflate(const std::vector<uint8_t>& stream, uint32_t limit, std::vector<uint8_t>* out)
{
    std::vector<uint8_t> window(kInflateWindowSize);
    InflateState state = {};
    state.window = window.data();
    out->assign(limit, 0xCD);
    int r = Inflate(&state, stream.data(), out->data(), static_cast<uint32_t>(stream.size()), limit);
    out->resize(state.outputCount);
    return r;
}

std::vector<uint8_t> Mixed(size_t size, uint32_t seed)
{
    // Text, then a picture, then random bytes, so that blocks change kind.
    std::vector<uint8_t> v = TextLikeBytes(size / 3, seed);
    std::vector<uint8_t> b = BmpLikeBytes(size / 3, seed);
    std::vector<uint8_t> r = RandomBytes(size - v.size() - b.size() > size ? 0 : size - v.size() - b.size(), seed);
    v.insert(v.end(), b.begin(), b.end());
    v.insert(v.end(), r.begin(), r.end());
    v.resize(size);
    return v;
}

TEST(InflateZlib, EveryLevelAndStrategyRoundTrips)
{
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const size_t sizes[] = {1, 2, 3, 100, 258, 4095, 65535, 65536, 65537, 200000};
    uint32_t seed = 1;
    for (size_t size : sizes) {
        std::vector<uint8_t> data = Mixed(size, seed++);
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                std::vector<uint8_t> stream = ZlibDeflate(data, level, strategy);
                std::vector<uint8_t> got;
                ASSERT_EQ(0, RunInflate(stream, static_cast<uint32_t>(size), &got))
                    << "size " << size << " level " << level << " strategy " << strategy;
                ASSERT_EQ(data, got) << "size " << size << " level " << level << " strategy " << strategy;
            }
        }
    }
}

TEST(InflateZlib, LargeMembersOfEachKindRoundTrip)
{
    const size_t size = 3 * 1024 * 1024 + 12345;
    std::vector<std::vector<uint8_t>> inputs = {TextLikeBytes(size, 7), BmpLikeBytes(size, 8),
                                                RandomBytes(size, 9), std::vector<uint8_t>(size, 'x')};
    for (const auto& data : inputs) {
        for (int level : {1, 6, 9}) {
            std::vector<uint8_t> stream = ZlibDeflate(data, level, Z_DEFAULT_STRATEGY);
            std::vector<uint8_t> got;
            ASSERT_EQ(0, RunInflate(stream, static_cast<uint32_t>(data.size()), &got));
            ASSERT_TRUE(data == got) << "level " << level;
        }
    }
}

TEST(InflateZlib, EmptyInputStreamGivesNothing)
{
    std::vector<uint8_t> stream = ZlibDeflate({}, 6, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> window(kInflateWindowSize);
    InflateState state = {};
    state.window = window.data();
    uint8_t out[4];
    EXPECT_EQ(0, Inflate(&state, stream.data(), out, static_cast<uint32_t>(stream.size()), 4));
    EXPECT_EQ(0u, state.outputCount);
}

TEST(InflateZlib, OutputLimitStopsAtEveryBoundary)
{
    std::vector<uint8_t> data = Mixed(300000, 11);
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
        for (int level : {0, 6}) {
            std::vector<uint8_t> stream = ZlibDeflate(data, level, strategy);
            for (uint32_t limit : {1u, 2u, 18u, 257u, 65535u, 65536u, 65537u, 131072u, 131073u, 299999u}) {
                std::vector<uint8_t> got;
                ASSERT_EQ(0, RunInflate(stream, limit, &got)) << limit;
                ASSERT_EQ(limit, got.size());
                ASSERT_TRUE(std::equal(got.begin(), got.end(), data.begin())) << "limit " << limit;
            }
        }
    }
}

TEST(InflateZlib, TruncatedStreamsNeverFailUnsafely)
{
    // Every cut of a small stream ends with a result code and within the output.
    std::vector<uint8_t> data = Mixed(3000, 5);
    std::vector<uint8_t> stream = ZlibDeflate(data, 9, Z_DEFAULT_STRATEGY);
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        std::vector<uint8_t> part(stream.begin(), stream.begin() + cut);
        std::vector<uint8_t> got;
        int r = RunInflate(part, static_cast<uint32_t>(data.size()), &got);
        EXPECT_TRUE(r >= 0 && r <= 8) << cut;
        EXPECT_LE(got.size(), data.size());
    }
}

}  // namespace
