// The Q1.31 helpers that the opcode tests do not already pin down: conversions,
// rounding, sign extension and 64-bit saturation. Shifts, negation and the two
// multiplies are checked through the opcodes that use them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "fxcore/q31.h"

namespace {

using namespace fxcore::q31;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Q31Saturation, Sat32ClampsToTheInt32Range) {
    EXPECT_EQ(sat32(0), 0);
    EXPECT_EQ(sat32(-5), -5);
    EXPECT_EQ(sat32(kMax), kMax);
    EXPECT_EQ(sat32(int64_t{kMax} + 1), kMax);
    EXPECT_EQ(sat32(kMin), kMin);
    EXPECT_EQ(sat32(int64_t{kMin} - 1), kMin);
    EXPECT_EQ(sat32(kMax64), kMax);
    EXPECT_EQ(sat32(kMin64), kMin);
}

TEST(Q31Saturation, Sat32dTruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(sat32d(kNaN), 0);
    EXPECT_EQ(sat32d(1.9), 1);
    EXPECT_EQ(sat32d(-1.9), -1);
    EXPECT_EQ(sat32d(2147483647.0), kMax);
    EXPECT_EQ(sat32d(2147483647.5), kMax);  // above the largest int: saturates, no UB
    EXPECT_EQ(sat32d(1e300), kMax);
    EXPECT_EQ(sat32d(kInf), kMax);
    EXPECT_EQ(sat32d(-2147483648.0), kMin);
    EXPECT_EQ(sat32d(-2147483648.5), kMin);  // -2147483648.5 truncates to kMin either way
    EXPECT_EQ(sat32d(-2147483649.0), kMin);
    EXPECT_EQ(sat32d(-kInf), kMin);
}

TEST(Q31Saturation, WrapAndAddSat64) {
    EXPECT_EQ(wrap32(int64_t{kMax} + 1), kMin);
    EXPECT_EQ(wrap32(0x1'0000'0005ll), 5);
    EXPECT_EQ(addSat64(kMax64, 1), kMax64);
    EXPECT_EQ(addSat64(kMin64, -1), kMin64);
    EXPECT_EQ(addSat64(kMax64, kMin64), -1);
    EXPECT_EQ(addSat64(5, -3), 2);
}

TEST(Q31Rounding, JsRoundRoundsHalvesUpward) {
    EXPECT_EQ(jsRound(2.5), 3.0);
    EXPECT_EQ(jsRound(-2.5), -2.0);  // std::round would give -3
    EXPECT_EQ(jsRound(-0.5), 0.0);
    EXPECT_EQ(jsRound(2.4), 2.0);
    EXPECT_EQ(jsRound(-2.6), -3.0);
}

TEST(Q31Bits, SextSignExtendsTheLowBits) {
    EXPECT_EQ(sext(0xFF, 8), -1);
    EXPECT_EQ(sext(0x7F, 8), 127);
    EXPECT_EQ(sext(0x80, 8), -128);
    EXPECT_EQ(sext(0x1FF, 8), -1);           // bits above k are dropped
    EXPECT_EQ(sext(0x00018000, 16), -32768);
    EXPECT_EQ(sext(0x12345678, 0), 0x12345678);  // k = 0 and k = 32 leave v alone
    EXPECT_EQ(sext(asSigned(0x87654321u), 32), asSigned(0x87654321u));
    EXPECT_EQ(sext(asSigned(0x87654321u), 0), asSigned(0x87654321u));
}

TEST(Q31Conversion, ToS31MapsFractionsIntoZeroToMax) {
    EXPECT_EQ(toS31(0.5), 0x40000000);
    EXPECT_EQ(toS31(0.25), 0x20000000);
    EXPECT_EQ(toS31(1.0 - std::ldexp(1.0, -32)), kMax);  // rounds up to 2^31, clamped
    EXPECT_EQ(toS31(1.0 - std::ldexp(1.0, -31)), kMax);
    EXPECT_EQ(toS31(1.0), kMax);
    EXPECT_EQ(toS31(7.0), kMax);
    EXPECT_EQ(toS31(kInf), kMax);
    EXPECT_EQ(toS31(-0.25), 0);
    EXPECT_EQ(toS31(0.0), 0);
    EXPECT_EQ(toS31(-0.0), 0);
    EXPECT_EQ(toS31(kNaN), 0);
    EXPECT_EQ(toS31(std::ldexp(1.0, -32)), 1);  // 0.5 + 0.5 rounds up
    EXPECT_EQ(toS31(std::ldexp(1.0, -33)), 0);  // 0.25 + 0.5 rounds down
}

TEST(Q31Conversion, FromDoubleRoundsHalfUpAndSaturates) {
    EXPECT_EQ(fromDouble(1.0), kMax);
    EXPECT_EQ(fromDouble(-1.0), kMin);
    EXPECT_EQ(fromDouble(0.5), 0x40000000);
    EXPECT_EQ(fromDouble(kNaN), 0);
    EXPECT_EQ(fromDouble(-7.0), kMin);
    EXPECT_EQ(fromDouble(std::ldexp(-1.0, -32)), 0);   // -0.5 LSB rounds up to 0
    EXPECT_EQ(fromDouble(std::ldexp(1.0, -32)), 1);    // +0.5 LSB rounds up to 1
}

TEST(Q31Conversion, FromFloatAndFromFloatsEqualFromDoubleForEveryFloat) {
    // A sweep through the bit patterns (every sign, exponent and a spread of
    // mantissas), then the values around full scale and the rounding halves.
    // fromFloats takes x with three neighbours below full scale, then x in all four lanes.
    const auto same = [](float x) {
        const float mixed[4] = {0.25f, x, -0.5f, 0.0f};
        const float alike[4] = {x, x, x, x};
        int32_t mixedOut[4], alikeOut[4];
        fromFloats(mixed, mixedOut);
        fromFloats(alike, alikeOut);
        const int32_t expected = fromDouble(static_cast<double>(x));
        return fromFloat(x) == expected && mixedOut[1] == expected && alikeOut[3] == expected &&
               mixedOut[0] == 0x20000000 && mixedOut[2] == -0x40000000 && mixedOut[3] == 0;
    };
    int mismatches = 0;
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 4093)
        mismatches += same(std::bit_cast<float>(static_cast<uint32_t>(bits))) ? 0 : 1;
    EXPECT_EQ(mismatches, 0);
    for (const float x : {1.0f, -1.0f, 0.99999994f, -0.99999994f, 0.0f, -0.0f, std::ldexp(1.0f, -32),
                          std::ldexp(-1.0f, -32), std::ldexp(3.0f, -33), std::ldexp(-3.0f, -33),
                          std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN()})
        EXPECT_TRUE(same(x)) << x;
}

TEST(Q31Conversion, ToFloatScalesByTwoToTheMinus31) {
    EXPECT_EQ(toFloat(kMin), -1.0f);
    EXPECT_EQ(toFloat(kMax), 1.0f);  // rounds to float 1.0
    EXPECT_EQ(toFloat(0x40000000), 0.5f);
    EXPECT_EQ(toFloat(0), 0.0f);
}

}  // namespace
