// The per-sample run: delay position, input conversion, the program loop and the
// sample counter.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

uint32_t xorshift32(uint32_t x) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

TEST(RunDelayLine, FirstSampleAfterResetWritesAtTheTopOfMemory) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::wrdel(1, 0)}));
    CoreProbe::creg(core, 1) = 0x1234ABCD;
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::writePos(core), 32767);
    EXPECT_EQ(CoreProbe::delay(core, 32767), 0x1234);

    CoreProbe::creg(core, 1) = static_cast<int32_t>(0x8000FFFFu);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::writePos(core), 32766);
    EXPECT_EQ(CoreProbe::delay(core, 32766), -32768);
    EXPECT_EQ(CoreProbe::delay(core, 32767), 0x1234);

    // The position keeps moving down and wraps from 0 back to the top.
    runSamples(core, 32766);
    EXPECT_EQ(CoreProbe::writePos(core), 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::writePos(core), 32767);

    core.reset();
    EXPECT_EQ(CoreProbe::writePos(core), 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::writePos(core), 32767);
}

TEST(RunInputs, ConvertFloatsToQ31RoundingHalfUpAndSaturating) {
    struct Case {
        float in;
        int32_t expected;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1.0f, INT32_MAX},
        {-1.0f, INT32_MIN},
        {0.5f, 0x40000000},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {-1.5f * 0x1p-31f, -1},  // floor(-1.5 + 0.5): halves round upward
        {1.5f * 0x1p-31f, 2},
        {0.5f * 0x1p-31f, 1},
        {-0.5f * 0x1p-31f, 0},
        {-2.5f * 0x1p-31f, -2},
        {0.25f, 0x20000000},
        {-0.0f, 0},
        {1.0f - 0x1p-24f, 0x7FFFFF80},
        {2.0f, INT32_MAX},
        {-3.0f, INT32_MIN},
        {inf, INT32_MAX},
        {-inf, INT32_MIN},
    };

    FXCoreCore core;
    // The program copies IN0-IN3 into R0-R3: it sees the same values as readSFR.
    ASSERT_TRUE(load(core, {ops::rdsfr(0, 0), ops::rdsfr(1, 1), ops::rdsfr(2, 2), ops::rdsfr(3, 3)}));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const int k = static_cast<int>(i % 4);
        float in[4] = {0.125f, 0.125f, 0.125f, 0.125f};
        in[k] = cases[i].in;
        core.run(in);
        SCOPED_TRACE(testing::Message() << "case " << i << " on IN" << k);
        EXPECT_EQ(core.readSFR(k), cases[i].expected);
        EXPECT_EQ(CoreProbe::inputs(core, k), cases[i].expected);
        EXPECT_EQ(CoreProbe::creg(core, k), cases[i].expected);
        for (int other = 0; other < 4; ++other)
            if (other != k) {
                EXPECT_EQ(core.readSFR(other), 0x10000000) << "IN" << other;
            }
    }
}

TEST(RunInputs, NullPointerMeansFourZeroInputs) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::rdsfr(0, 0), ops::rdsfr(3, 3)}));
    const float in[4] = {0.5f, -0.5f, 0.25f, -0.25f};
    core.run(in);
    ASSERT_EQ(core.readSFR(3), -0x20000000);
    core.run(nullptr);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(core.readSFR(k), 0) << k;
        EXPECT_EQ(CoreProbe::inputs(core, k), 0) << k;
    }
    EXPECT_EQ(CoreProbe::creg(core, 0), 0);
    EXPECT_EQ(CoreProbe::creg(core, 3), 0);
}

TEST(RunProgram, WordsAtAndBeyondTheLengthNeverRun) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.creg[0] = -5;  // a stray word 0 (X := |R0|) would leave 5 in ACC32
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::nop()}));
    runSamples(core, 3);
    EXPECT_EQ(CoreProbe::acc32(core), 0);

    // A jump landing exactly on the length ends the sample too.
    ASSERT_TRUE(load(core, {ops::jmp(1), ops::wrsfr(1, 4)}));
    CoreProbe::creg(core, 1) = 0x40000000;
    runSamples(core, 3);
    EXPECT_EQ(core.getOutput(0), 0.0f);
    EXPECT_EQ(CoreProbe::acc32(core), 0);
}

TEST(RunProgram, TakenJumpPastTheEndStillAdvancesEveryPeripheral) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.switchDebounceSamples = 2;
    p.tapDebounceSamples = 2;
    p.creg[1] = 0x40000001;
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::jmp(5), ops::wrsfr(1, 4), ops::user(1, 0, 0)}));
    core.writeSFR(28, INT32_MAX);  // LFO0: one radian per sample
    core.writeSFR(32, 1000);
    core.setPot(0, 0.5f);
    core.pins = pressedPins(0x01u | 0x40u);  // SW0 and TAP

    uint32_t noise = 0x2545F491u;
    double phase = 0.0;
    for (int n = 1; n <= 30; ++n) {
        core.run(nullptr);
        noise = xorshift32(noise);
        phase += 1.0;
        if (phase >= 6.283185307179586) phase -= 6.283185307179586;
        ASSERT_EQ(core.readSFR(47), static_cast<int32_t>(noise)) << n;
        ASSERT_EQ(core.readSFR(46), n);
        ASSERT_EQ(core.readSFR(42), 1000 * n);
        ASSERT_EQ(CoreProbe::lfoPhase(core, 0), phase) << n;
    }
    EXPECT_EQ(core.readSFR(16), 0x40000000);      // latched at sample 24
    EXPECT_EQ(core.readSFR(9) & 0x1F, 0x1E);      // SW0 debounced pressed
    EXPECT_EQ(CoreProbe::tapLevel(core), 0);      // tap debounced pressed
    EXPECT_EQ(CoreProbe::tapMeasuring(core), 1);  // and measuring
    EXPECT_EQ(CoreProbe::tapCount(core), 29u);    // counted from its press edge at sample 2

    // Neither skipped word ever ran.
    EXPECT_EQ(core.getOutput(0), 0.0f);
    float duty[2] = {-1.0f, -1.0f};
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 0.0f);
}

TEST(SampleCounter, ProgramSeesTheCountBeforeThisSampleAndReadSfrSeesItAfter) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::rdsfr(2, 46)}));
    for (int n = 0; n < 50; ++n) {
        core.run(nullptr);
        ASSERT_EQ(CoreProbe::creg(core, 2), n);
        ASSERT_EQ(core.readSFR(46), n + 1);
    }
    core.reset();
    EXPECT_EQ(core.readSFR(46), 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::creg(core, 2), 0);
    EXPECT_EQ(core.readSFR(46), 1);
}

TEST(SampleCounter, WrapsModulo2To32) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::rdsfr(2, 46)}));
    CoreProbe::sampleCount(core) = 0xFFFFFFFFu;
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::creg(core, 2), -1);
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(core.readSFR(46), 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::creg(core, 2), 0);
    EXPECT_EQ(core.readSFR(46), 1);
}

}  // namespace
