// a * b / c with a 64-bit product, rounded to the nearest integer with
// halves away from zero, as the Windows MulDiv rounds. The same code runs
// in both builds so that fixed-point colour conversions give the same bytes
// everywhere. It lives in a namespace so that it never collides with the
// platform's own declaration.
#pragma once

#include <cstdint>

namespace zize {

// Returns the rounded quotient, or -1 when c is 0 or the result does not fit
// in 32 bits (the platform's failure value).
inline int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    int64_t num = static_cast<int64_t>(a) * b;
    int64_t den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }

    // Moving the numerator half a divisor away from zero, then truncating,
    // rounds halves away from zero.
    int64_t q = num >= 0 ? (num + den / 2) / den : (num - den / 2) / den;
    if (q > 2147483647 || q < -2147483647)
        return -1;
    return static_cast<int32_t>(q);
}

}  // namespace zize
