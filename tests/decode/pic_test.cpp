#include "decode/pic.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

// Decodes a whole PIC file into 24-bit pixels; the result is the return value.
int Decode(const std::vector<uint8_t>& file, std::vector<uint8_t>* out, uint32_t* w, uint32_t* h)
{
    if (!GetPicSize(file.data(), file.size(), w, h))
        return -100;
    out->assign(size_t(*w) * *h * 3, 0xCD);
    return DecodePic(file.data(), file.size(), out->data(), out->size(), 0);
}

TEST(PicFixtures, DecodeOrRefuseAsListed)
{
    REQUIRE_FIXTURES();
    int seen = 0;
    for (const ManifestRow& row : ReadManifest()) {
        if (row.path.rfind("pic/", 0) != 0 && row.path.rfind("pic16/", 0) != 0)
            continue;
        ++seen;
        SCOPED_TRACE(row.path);
        std::vector<uint8_t> file;
        ASSERT_TRUE(ReadFixture(row.path, &file));
        std::vector<uint8_t> pixels;
        uint32_t w = 0, h = 0;
        int bits = Decode(file, &pixels, &w, &h);
        EXPECT_EQ(row.width, std::to_string(w));
        EXPECT_EQ(row.height, std::to_string(h));
        if (row.compare == "refused") {
            EXPECT_EQ(-1, bits);
            continue;
        }
        EXPECT_TRUE(bits == 15 || bits == 16) << bits;
        BgrImage want;
        ASSERT_TRUE(ReadBgrFixture(row.expected, &want));
        EXPECT_TRUE(want.pixels == pixels);
    }
    EXPECT_EQ(6, seen);
}

}  // namespace
