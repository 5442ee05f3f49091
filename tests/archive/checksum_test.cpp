#include "archive/checksum.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/sample_data.h"
#include "support/zip_builder.h"

namespace {

// LHA's CRC-16, bit by bit.
uint16_t ReferenceCrc16(const uint8_t* p, size_t n)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = static_cast<uint16_t>((crc >> 1) ^ (0xA001u & (0u - (crc & 1u))));
    }
    return crc;
}

TEST(Checksum, CheckValuesOfBothCrcs)
{
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(0xCBF43926u, Crc32Update(0, digits, 9));
    EXPECT_EQ(0xBB3Du, Crc16Update(0, digits, 9));
    EXPECT_EQ(0u, Crc32Update(0, nullptr, 0));
    EXPECT_EQ(0u, Crc16Update(0, digits, 0));
}

// Eight bytes (or, for CRC-32, 64 bytes by folding) at a time must agree
// with one bit at a time at every start alignment and length, and a CRC
// continued in pieces with one taken whole.
TEST(Checksum, FastWaysAgreeWithBitwiseAtEveryAlignmentAndSplit)
{
    const std::vector<uint8_t> data = RandomBytes(1100, 7);
    for (size_t start = 0; start < 8; ++start) {
        for (size_t n = 0; n + start <= data.size(); n += 13) {
            std::vector<uint8_t> part(data.begin() + start, data.begin() + start + n);
            ASSERT_EQ(ReferenceCrc32(part), Crc32Update(0, data.data() + start, n)) << start << " " << n;
            ASSERT_EQ(ReferenceCrc16(part.data(), n), Crc16Update(0, data.data() + start, n)) << start << " " << n;
        }
    }
    for (size_t cut = 0; cut <= data.size(); cut += 37) {
        EXPECT_EQ(Crc32Update(0, data.data(), data.size()),
                  Crc32Update(Crc32Update(0, data.data(), cut), data.data() + cut, data.size() - cut));
        EXPECT_EQ(Crc16Update(0, data.data(), data.size()),
                  Crc16Update(Crc16Update(0, data.data(), cut), data.data() + cut, data.size() - cut));
    }
}

}  // namespace
