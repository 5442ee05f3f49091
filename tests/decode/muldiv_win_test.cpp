// The portable MulDiv against the platform's own, over a spread of values.
#include <windows.h>

#include <cstdint>
#include <random>

#include <gtest/gtest.h>

#include "decode/muldiv.h"

namespace {

TEST(MulDivWin, MatchesThePlatform)
{
    std::mt19937 rng(1234);
    // INT32_MIN is left out: the platform negates a negative divisor in 32
    // bits, which that one value does not survive.
    const int32_t edges[] = {0, 1, -1, 2, -2, 3, -3, 16384, -16384, 255 * 16384, 65535, 65536, -65536,
                             2147483647, -2147483647};
    for (int32_t a : edges)
        for (int32_t b : edges)
            for (int32_t c : edges)
                ASSERT_EQ(::MulDiv(a, b, c), zize::MulDiv(a, b, c)) << a << " " << b << " " << c;
    for (int i = 0; i < 200000; ++i) {
        int shift = int(rng() % 31);
        int32_t a = int32_t(rng()) >> shift;
        int32_t b = int32_t(rng()) >> int(rng() % 31);
        int32_t c = int32_t(rng()) >> int(rng() % 31);
        if (c == INT32_MIN)
            continue;
        ASSERT_EQ(::MulDiv(a, b, c), zize::MulDiv(a, b, c)) << a << " " << b << " " << c;
    }
}

}  // namespace
