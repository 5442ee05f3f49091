#include "decode/bit_reader.h"

#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(BitReader, WalksAcrossWordBoundaries)
{
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0, 0, 0, 0};
    BitReader r;
    r.Start(bytes, sizeof bytes);
    EXPECT_EQ(4u, r.nextWord);
    EXPECT_EQ(0x1u, r.GetBits(4));
    EXPECT_EQ(0x23u, r.GetBits(8));

    BitReader before = r;
    EXPECT_EQ(0x456789u, r.PeekBits(24));  // crosses into the second word
    EXPECT_EQ(before.cache, r.cache);
    EXPECT_EQ(before.bitsUsed, r.bitsUsed);
    EXPECT_EQ(before.nextWord, r.nextWord);

    EXPECT_EQ(0x45678u, r.GetBits(20));  // reaches the word's end exactly
    EXPECT_EQ(0u, r.bitsUsed);
    EXPECT_EQ(8u, r.nextWord);
    EXPECT_EQ(0x9ABCDEF0u, r.GetBits(32));
    EXPECT_EQ(12u, r.nextWord);
    EXPECT_EQ(0u, r.GetBits(32));
}

TEST(BitReader, SkipAndZeroCounts)
{
    const uint8_t bytes[] = {0xF0, 0x0F, 0xAA, 0x55, 0x12, 0x34, 0x56, 0x78};
    BitReader r;
    r.Start(bytes, sizeof bytes);
    BitReader before = r;
    r.SkipBits(0);
    EXPECT_EQ(before.cache, r.cache);
    EXPECT_EQ(0u, r.GetBits(0));
    EXPECT_EQ(0u, r.PeekBits(0));
    r.SkipBits(4);
    EXPECT_EQ(0x00Fu, r.GetBits(12));
    r.SkipBits(24);  // crosses the boundary
    EXPECT_EQ(0x3456u, r.GetBits(16));
    r.SkipBits(8);  // ends exactly at the word's end
    EXPECT_EQ(0u, r.bitsUsed);
}

TEST(BitReader, PastTheEndYieldsZeroBitsOnly)
{
    // Lengths that are not whole words: the partial word keeps its bytes.
    const uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (size_t len = 0; len <= sizeof bytes; ++len) {
        std::vector<uint8_t> exact(bytes, bytes + len);  // heap copy: ASan sees any overread
        BitReader r;
        r.Start(exact.data(), exact.size());
        for (size_t bit = 0; bit < 200; ++bit) {
            uint32_t want = bit < len * 8 ? 1u : 0u;
            ASSERT_EQ(want, r.GetBits(1)) << "len " << len << " bit " << bit;
        }
        EXPECT_TRUE(r.Overrun());
    }
}

// Checks random GetBits/PeekBits/SkipBits against bit-by-bit reads of an
// exact heap copy, so that ASan sees any read outside the buffer.
void CheckAgainstReference(size_t length, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(length);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    auto bitAt = [&](uint64_t i) -> uint32_t {
        return i / 8 < bytes.size() ? (bytes[i / 8] >> (7 - i % 8)) & 1 : 0;
    };
    BitReader r;
    r.Start(bytes.data(), bytes.size());
    uint64_t pos = 0;
    while (pos < bytes.size() * 8 + 100) {
        uint32_t n = rng() % 33;
        uint32_t want = 0;
        for (uint32_t k = 0; k < n; ++k)
            want = (want << 1) | bitAt(pos + k);
        int op = static_cast<int>(rng() % 3);
        if (op == 0) {
            ASSERT_EQ(want, r.PeekBits(n)) << "length " << length << " at " << pos;
        } else if (op == 1) {
            ASSERT_EQ(want, r.GetBits(n)) << "length " << length << " at " << pos;
            pos += n;
        } else {
            r.SkipBits(n);
            pos += n;
        }
        ASSERT_LT(r.bitsUsed, 32u);
        // A word is loaded only when the taken bits reach its end.
        ASSERT_EQ(4 + pos / 32 * 4, r.nextWord) << pos;
        ASSERT_EQ(pos > bytes.size() * 8, r.Overrun()) << pos;
    }
}

TEST(BitReader, MatchesASimpleReferenceOnRandomReads)
{
    CheckAgainstReference(4096, 7);
    for (size_t length = 1; length <= 13; ++length)
        CheckAgainstReference(length, static_cast<uint32_t>(length));
}

}  // namespace
