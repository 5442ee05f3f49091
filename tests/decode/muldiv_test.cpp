#include "decode/muldiv.h"

#include <gtest/gtest.h>

namespace {

using zize::MulDiv;

TEST(MulDiv, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(3, MulDiv(5, 1, 2));      // 2.5
    EXPECT_EQ(-3, MulDiv(-5, 1, 2));    // -2.5
    EXPECT_EQ(-3, MulDiv(5, 1, -2));
    EXPECT_EQ(3, MulDiv(-5, -1, 2));
    EXPECT_EQ(3, MulDiv(-5, 1, -2));
    EXPECT_EQ(2, MulDiv(7, 1, 3));      // 2.33
    EXPECT_EQ(3, MulDiv(8, 1, 3));      // 2.67
    EXPECT_EQ(-2, MulDiv(-7, 1, 3));
    EXPECT_EQ(-3, MulDiv(-8, 1, 3));
    EXPECT_EQ(0, MulDiv(1, 1, 3));
    EXPECT_EQ(0, MulDiv(-1, 1, 3));
    EXPECT_EQ(0, MulDiv(0, -7, 3));
}

TEST(MulDiv, UsesTheWholeSixtyFourBitProduct)
{
    EXPECT_EQ(1000000000, MulDiv(1000000000, 1000000000, 1000000000));
    EXPECT_EQ(-2147483647, MulDiv(-2147483647, 2147483647, 2147483647));
    EXPECT_EQ(1073741824, MulDiv(65536, 65536, 4));
}

TEST(MulDiv, FailsWithMinusOneLikeThePlatform)
{
    EXPECT_EQ(-1, MulDiv(5, 7, 0));
    EXPECT_EQ(-1, MulDiv(65536, 65536, 1));        // 2^32 does not fit
    EXPECT_EQ(-1, MulDiv(-65536, 32768, 1));       // -2^31 is outside too
    EXPECT_EQ(2147483647, MulDiv(2147483647, 1, 1));
}

}  // namespace
