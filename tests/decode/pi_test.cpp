#include "decode/pi.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

// Decodes a whole Pi file into 24-bit pixels; the result is the return value.
int Decode(const std::vector<uint8_t>& file, std::vector<uint8_t>* out, uint32_t* w, uint32_t* h)
{
    if (!GetPiSize(file.data(), file.size(), w, h))
        return -100;
    out->assign(size_t(*w) * *h * 3, 0xCD);
    return DecodePi(file.data(), file.size(), out->data(), out->size(), 0);
}

TEST(PiFixtures, DecodeAsListed)
{
    REQUIRE_FIXTURES();
    int seen = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pi/", 0) != 0)
            continue;
        ++seen;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        std::vector<uint8_t> pixels;
        uint32_t w = 0, h = 0;
        int depth = Decode(file, &pixels, &w, &h);
        EXPECT_EQ(row.width, std::to_string(w));
        EXPECT_EQ(row.height, std::to_string(h));
        EXPECT_TRUE(depth == 4 || depth == 8) << depth;
        if (row.compare == "exact") {
            BgrImage want;
            ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
            EXPECT_EQ(want.width, w);
            EXPECT_EQ(want.height, h);
            EXPECT_TRUE(want.pixels == pixels);
        }
    }
    EXPECT_EQ(5, seen);
}

}  // namespace
