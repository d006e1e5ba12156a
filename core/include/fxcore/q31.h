// Q1.31 fixed-point helpers of the FXCore chip.
//
// Every signal and control value inside the chip is a 32-bit two's-complement
// number with 31 fractional bits. All helpers are defined for every input:
// shifts and negations of negative values go through unsigned arithmetic, and
// double-to-integer conversions compare before they convert, so nothing here
// relies on -fwrapv or on implementation-defined float conversions.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace fxcore::q31 {

inline constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
inline constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
inline constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
inline constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

// Clamp an exact 64-bit result into the 32-bit range.
constexpr int32_t sat32(int64_t v) {
    const int64_t low = v < kMin ? kMin : v;  // written as two selects so it compiles branch-free
    return static_cast<int32_t>(low > kMax ? kMax : low);
}

// Saturating 32-bit add and subtract. Overflow is rare in a signal path, so the
// hardware overflow flag and a well-predicted branch beat widening to 64 bits.
constexpr int32_t satAdd(int32_t a, int32_t b) {
    int32_t r = 0;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kMax : kMin;
    return r;
}
constexpr int32_t satSub(int32_t a, int32_t b) {
    int32_t r = 0;
    if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? kMax : kMin;
    return r;
}

// Two's-complement wrap of a 64-bit value to 32 bits (well defined since C++20).
constexpr int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// Bit pattern helpers: the chip's words are raw bit patterns as often as numbers.
constexpr int32_t asSigned(uint32_t v) { return static_cast<int32_t>(v); }
constexpr uint32_t asUnsigned(int32_t v) { return static_cast<uint32_t>(v); }

// Double to int32 truncating toward zero; NaN gives 0, out-of-range saturates.
// Compared first, converted after: the conversion of an out-of-range double is UB.
constexpr int32_t sat32d(double x) {
    if (x != x) return 0;
    if (x > 2147483647.0) return kMax;
    if (x < -2147483648.0) return kMin;
    return static_cast<int32_t>(x);
}

// Round half upward: 2.5 -> 3, -2.5 -> -2 (unlike std::round, which goes away from 0).
inline double jsRound(double x) { return std::floor(x + 0.5); }

// The low k bits of v sign-extended; k = 0 or 32 leaves v unchanged.
constexpr int32_t sext(int32_t v, int k) {
    const unsigned s = static_cast<unsigned>(32 - k) & 31u;
    return static_cast<int32_t>(asUnsigned(v) << s) >> s;
}

// Left shift by n mod 32, bits shifted out are lost.
constexpr int32_t shl(int32_t v, int n) { return asSigned(asUnsigned(v) << (static_cast<unsigned>(n) & 31u)); }

// Logical right shift by n mod 32.
constexpr int32_t shrLogical(int32_t v, int n) { return asSigned(asUnsigned(v) >> (static_cast<unsigned>(n) & 31u)); }

// Arithmetic right shift by n mod 32 (GCC and C++20 define >> on negatives as arithmetic).
constexpr int32_t shrArith(int32_t v, int n) { return v >> (static_cast<unsigned>(n) & 31u); }

// Left shift that saturates when a significant bit would be lost.
constexpr int32_t satShiftLeft(int32_t v, int n) {
    const unsigned s = static_cast<unsigned>(n) & 31u;
    if (s == 0) return v;
    const int32_t r = shl(v, static_cast<int>(s));
    if ((v >> (31u - s)) == (r >> 31)) return r;
    return v < 0 ? kMin : kMax;
}

// -v, except that -1.0 becomes the largest positive value.
constexpr int32_t negSat(int32_t v) { return v == kMin ? kMax : -v; }

// |v|, except that |-1.0| becomes the largest positive value.
constexpr int32_t absSat(int32_t v) { return v < 0 ? negSat(v) : v; }

// A fraction to Q1.31: 0 for f <= 0 or NaN, just below 1.0 for f >= 1.
// In between f * 2^31 + 0.5 is positive, so truncation is floor.
constexpr int32_t toS31(double f) {
    if (!(f > 0.0)) return 0;
    if (f >= 1.0) return kMax;
    const double r = f * 2147483648.0 + 0.5;
    if (r >= 2147483647.0) return kMax;
    return static_cast<int32_t>(r);
}

// Float or double sample to Q1.31 with rounding half up, saturation, NaN -> 0.
inline int32_t fromDouble(double x) {
    if (x != x) return 0;
    const double v = std::floor(x * 2147483648.0 + 0.5);
    if (v > 2147483647.0) return kMax;
    if (v < -2147483648.0) return kMin;
    return static_cast<int32_t>(v);
}

// fromDouble for a float sample, the same for every float, in fewer steps: below
// full scale x * 2^31 + 0.5 is exact and within 2^31 - 127.5 of 0, so flooring it
// is a truncation that steps down where it rounded a negative value up.
inline int32_t fromFloat(float x) {
    if (std::fabs(x) < 1.0f) [[likely]] {
        const double r = static_cast<double>(x) * 2147483648.0 + 0.5;
        const auto v = static_cast<int32_t>(r);
        return static_cast<double>(v) > r ? v - 1 : v;
    }
    return fromDouble(static_cast<double>(x));
}

// fromFloat of four samples, in[0..3] to out[0..3], two lanes at a time where the
// target has SIMD (the compiler's vector types fall back to scalar code elsewhere):
// the same exact product and sum per lane, truncated, and one step down where
// truncation rounded up. A sample at or beyond full scale, or NaN, sends all four
// the scalar way.
inline void fromFloats(const float* in, int32_t* out) {
    using Float2 = float __attribute__((vector_size(8)));
    using Double2 = double __attribute__((vector_size(16)));
    using Long2 = int64_t __attribute__((vector_size(16)));
    using Int2 = int32_t __attribute__((vector_size(8)));
    Float2 pair[2];
    std::memcpy(pair, in, 4 * sizeof(float));
    const Double2 x0 = __builtin_convertvector(pair[0], Double2);
    const Double2 x1 = __builtin_convertvector(pair[1], Double2);
    const Long2 inside = (x0 < 1.0) & (x0 > -1.0) & (x1 < 1.0) & (x1 > -1.0);  // all ones per lane, NaN not
    if ((inside[0] & inside[1]) == 0) [[unlikely]] {
        for (int k = 0; k < 4; ++k) out[k] = fromFloat(in[k]);
        return;
    }
    const auto convert = [](Double2 x) {
        const Double2 r = x * 2147483648.0 + 0.5;
        const Int2 v = __builtin_convertvector(r, Int2);
        const Long2 roundedUp = __builtin_convertvector(v, Double2) > r;  // all ones (-1) where it did
        return v + __builtin_convertvector(roundedUp, Int2);
    };
    const Int2 converted[2] = {convert(x0), convert(x1)};
    std::memcpy(out, converted, sizeof converted);
}

// Q1.63 product a * b * 2, exact; -1.0 x -1.0 saturates. Only that pair reaches a
// product of 2^62, whose doubling would overflow.
constexpr int64_t mulFrac64(int32_t a, int32_t b) {
    const int64_t p = static_cast<int64_t>(a) * b;
    return p == (int64_t{1} << 62) ? kMax64 : p * 2;
}

// Q1.31 product, floor-rounded; -1.0 x -1.0 saturates. Only that pair gives 2^31
// after the shift; every other result fits 32 bits, so saturation covers it.
constexpr int32_t mulS31(int32_t a, int32_t b) { return sat32((static_cast<int64_t>(a) * b) >> 31); }

// mulS31 for a fraction q in [0, 2^31): the product lies between 0 and v, so it
// never needs the saturation step (an interpolation's hot path).
constexpr int32_t mulByFraction(int32_t v, int32_t q) {
    return static_cast<int32_t>((static_cast<int64_t>(v) * q) >> 31);
}

// 64-bit saturating add.
constexpr int64_t addSat64(int64_t a, int64_t b) {
    int64_t r = 0;
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kMax64 : kMin64;
    return r;
}

// Q1.31 to float the way the chip's outputs are read: exact double, rounded to float.
constexpr float toFloat(int32_t v) { return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0)); }

}  // namespace fxcore::q31
