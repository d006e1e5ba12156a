// The free-running peripherals: four LFOs, two ramps and the noise generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

constexpr double kTwoPi = 6.283185307179586;

// An LFO output: y scaled by 2^31 - 1, rounded half up, saturated, NaN as 0.
int32_t lfoQ(double y) {
    if (std::isnan(y)) return 0;
    const double v = std::floor(y * 2147483647.0 + 0.5);
    if (v > 2147483647.0) return INT32_MAX;
    if (v < -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// One sample of phase advance, wrapped once into [0, 2 pi).
double advance(double phase, int32_t rate) {
    phase += static_cast<double>(rate) / 2147483647.0;
    if (phase >= kTwoPi)
        phase -= kTwoPi;
    else if (phase < 0.0)
        phase += kTwoPi;
    return phase;
}

uint32_t xorshift32(uint32_t x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

TEST(Lfo, AtRestReadsSineZeroAndCosineFullScale) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    runSamples(core, 3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(core.readSFR(34 + 2 * i), 0) << "LFO" << i;
        EXPECT_EQ(core.readSFR(35 + 2 * i), INT32_MAX) << "LFO" << i;
        EXPECT_EQ(CoreProbe::lfoPhase(core, i), 0.0);
    }
}

TEST(Lfo, QuarterAndHalfTurnsHitTheScaleEnds) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    CoreProbe::lfoPhase(core, 0) = std::numbers::pi / 2;
    CoreProbe::lfoPhase(core, 1) = std::numbers::pi;
    CoreProbe::lfoPhase(core, 2) = 3 * std::numbers::pi / 2;
    core.run(nullptr);  // rate 0: the phases stay
    EXPECT_EQ(core.readSFR(34), INT32_MAX);
    EXPECT_EQ(core.readSFR(35), 0);
    EXPECT_EQ(core.readSFR(36), 0);
    EXPECT_EQ(core.readSFR(37), -INT32_MAX);  // -1.0 scales to -(2^31 - 1), not 0x80000000
    EXPECT_EQ(core.readSFR(38), -INT32_MAX);
    EXPECT_EQ(core.readSFR(39), 0);
}

TEST(Lfo, PhaseAdvancesByRateOverFullScaleAndWrapsOnce) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.sfr[29] = 12345678;  // rates may come from the presets too
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::nop()}));
    const int32_t rates[4] = {INT32_MAX, 12345678, -INT32_MAX, INT32_MIN};
    core.writeSFR(28, rates[0]);
    core.writeSFR(30, rates[2]);
    core.writeSFR(31, rates[3]);

    double phase[4] = {};
    for (int n = 1; n <= 200; ++n) {
        core.run(nullptr);
        for (int i = 0; i < 4; ++i) {
            phase[i] = advance(phase[i], rates[i]);
            ASSERT_EQ(CoreProbe::lfoPhase(core, i), phase[i]) << "LFO" << i << " sample " << n;
            ASSERT_GE(phase[i], 0.0);
            ASSERT_LT(phase[i], kTwoPi);
            ASSERT_EQ(core.readSFR(34 + 2 * i), lfoQ(std::sin(phase[i]))) << "LFO" << i << " sample " << n;
            ASSERT_EQ(core.readSFR(35 + 2 * i), lfoQ(std::cos(phase[i]))) << "LFO" << i << " sample " << n;
        }
    }
    // One radian a sample: the seventh sample wraps; a negative rate wraps below zero
    // on its first sample.
    core.reset();
    core.writeSFR(28, INT32_MAX);
    core.writeSFR(30, -INT32_MAX);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::lfoPhase(core, 2), -1.0 + kTwoPi);
    runSamples(core, 6);
    EXPECT_EQ(CoreProbe::lfoPhase(core, 0), 7.0 - kTwoPi);
}

TEST(Ramp, AddsItsRateEverySampleAndWraps) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.writeSFR(32, 0x40000000);
    core.writeSFR(33, -3);
    const int32_t rising[] = {0x40000000, INT32_MIN, -0x40000000, 0, 0x40000000};
    for (int n = 1; n <= 5; ++n) {
        core.run(nullptr);
        EXPECT_EQ(core.readSFR(42), rising[n - 1]) << n;
        EXPECT_EQ(core.readSFR(43), -3 * n) << n;
        EXPECT_EQ(CoreProbe::ramp(core, 1), static_cast<uint32_t>(-3 * n));
    }

    // A new rate continues from where the ramp stands.
    core.writeSFR(32, INT32_MAX);
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(42), static_cast<int32_t>(0x40000000u + 0x7FFFFFFFu));
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(42), static_cast<int32_t>(0x40000000u + 2u * 0x7FFFFFFFu));
}

TEST(Ramp, FullPeriodIs2To32OverTheRate) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.writeSFR(32, 1 << 20);  // period 4096 samples
    core.writeSFR(33, -(1 << 20));
    int wraps = 0;
    int32_t previous = 0;
    for (int n = 1; n <= 4096; ++n) {
        core.run(nullptr);
        const int32_t now = core.readSFR(42);
        if (static_cast<uint32_t>(now) < static_cast<uint32_t>(previous)) ++wraps;
        previous = now;
    }
    EXPECT_EQ(wraps, 1);
    EXPECT_EQ(core.readSFR(42), 0);
    EXPECT_EQ(core.readSFR(43), 0);
}

TEST(Noise, FollowsXorshift32FromTheFixedSeed) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::rdsfr(2, 47)}));
    core.run(nullptr);
    EXPECT_EQ(static_cast<uint32_t>(core.readSFR(47)), 0xE124B63Au);
    EXPECT_EQ(static_cast<uint32_t>(CoreProbe::creg(core, 2)), 0xE124B63Au);  // the program sees it too
    core.run(nullptr);
    EXPECT_EQ(static_cast<uint32_t>(core.readSFR(47)), 0x8B9A74ABu);

    uint32_t x = 0x8B9A74ABu;
    for (int n = 3; n <= 2000; ++n) {
        core.run(nullptr);
        x = xorshift32(x);
        ASSERT_EQ(static_cast<uint32_t>(core.readSFR(47)), x) << n;
        ASSERT_EQ(CoreProbe::noiseState(core), x) << n;
    }
}

TEST(Noise, ResetsAndInstallsContinueTheSequence) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    uint32_t x = 0x2545F491u;
    runSamples(core, 5);
    for (int i = 0; i < 5; ++i) x = xorshift32(x);

    core.reset();
    EXPECT_EQ(CoreProbe::noiseState(core), x);
    core.run(nullptr);
    const int32_t afterFirstReset = core.readSFR(47);
    x = xorshift32(x);
    EXPECT_EQ(static_cast<uint32_t>(afterFirstReset), x);

    core.reset();
    core.run(nullptr);
    x = xorshift32(x);
    EXPECT_EQ(static_cast<uint32_t>(core.readSFR(47)), x);
    EXPECT_NE(core.readSFR(47), afterFirstReset);  // two runs after two resets differ

    core.setPresets(FXCoreCore::Presets{});
    ASSERT_TRUE(load(core, {ops::nop(), ops::nop()}));
    core.run(nullptr);
    x = xorshift32(x);
    EXPECT_EQ(static_cast<uint32_t>(core.readSFR(47)), x);
}

}  // namespace
