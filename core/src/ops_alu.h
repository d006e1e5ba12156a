// Results in ACC32 that need more than one line: the base-2 logarithm and exponential.
#pragma once

#include <cmath>
#include <cstdint>

#include "fxcore/q31.h"

namespace fxcore::ops {

// LOG2 (27): Q5.26 log2 of |A| as a fraction; 0 gives -32.0, |-1.0| gives 0.
inline int32_t log2Q26(int32_t a) {
    if (a == 0) return q31::kMin;
    const double magnitude = std::fabs(static_cast<double>(a)) / 2147483648.0;
    return q31::sat32d(std::floor(std::log2(magnitude) * 67108864.0 + 0.5));
}

// EXP2 (28): 2^(A as Q5.26) as Q1.31; exponents of 0 or more saturate.
inline int32_t exp2Q26(int32_t a) {
    const double v = std::floor(std::exp2(static_cast<double>(a) / 67108864.0) * 2147483648.0 + 0.5);
    if (!(v < 2147483647.0)) return q31::kMax;
    return static_cast<int32_t>(v);  // never negative: 2^x > 0
}

// Opcodes 20-23 multiply by an eighth of the second operand, widened to 64 bits.
inline int64_t mulEighth(int32_t a, int32_t eighth) { return static_cast<int64_t>(a) * eighth * 2; }

// A 16-bit delay sample divided by 8 before it is widened to the upper half (22, 23).
inline int32_t delayEighth(int32_t delayValue) {
    const int32_t d16 = delayValue >> 16;
    return q31::asSigned(q31::asUnsigned(d16 >> 3) << 16);
}

}  // namespace fxcore::ops
