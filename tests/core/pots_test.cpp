// Pots: value conversion, the 2 kHz scan that latches them, and smoothing.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

TEST(PotConversion, MapsTheUnitRangeOnto0To4095) {
    struct Case {
        float value;
        int32_t raw;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {0.0f, 0},
        {0.5f, 2048},
        {0.25f, 1024},
        {1.0f / 4096.0f, 1},
        {std::nextafter(0.5f, 0.0f), 2047},  // floor, not round
        {0.0001f, 0},
        {4094.5f / 4096.0f, 4094},
        {4095.0f / 4096.0f, 4095},
        {0.9999f, 4095},
        {1.0f, 4095},
        {1.7f, 4095},
        {inf, 4095},
        {-0.0f, 0},
        {-0.1f, 0},
        {-inf, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    FXCoreCore core;
    for (const Case& c : cases) {
        core.setPot(2, 0.75f);  // a nonzero value first, so a 0 result is visible
        core.setPot(2, c.value);
        EXPECT_EQ(CoreProbe::potRaw(core, 2), c.raw) << c.value;
        for (int k : {0, 1, 3, 4, 5}) EXPECT_EQ(CoreProbe::potRaw(core, k), 0) << "POT" << k;
    }

    const float six[6] = {0.0f, 0.5f, 1.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0.25f};
    core.setPots(six);
    const int32_t expected[6] = {0, 2048, 4095, 0, 0, 1024};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(CoreProbe::potRaw(core, k), expected[k]) << "POT" << k;
}

TEST(PotConversion, OutOfRangeIndexIsIgnoredAndNothingIsLatchedYet) {
    FXCoreCore core;
    const float six[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    core.setPots(six);
    int32_t before[6];
    for (int k = 0; k < 6; ++k) before[k] = CoreProbe::potRaw(core, k);
    for (int bad : {6, 7, -1, INT_MIN, INT_MAX}) core.setPot(bad, 0.9f);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(CoreProbe::potRaw(core, k), before[k]) << "POT" << k;
        EXPECT_EQ(CoreProbe::potLatched(core, k), 0) << "POT" << k;
    }
}

// Runs n samples. Before sample i (counted from 1) POT0 is set to raw i mod 4096,
// so a latch during sample i shows as SFR 16 = (i mod 4096) << 19. Returns the
// samples that latched.
std::vector<int> latchingSamples(FXCoreCore& core, int n) {
    std::vector<int> latched;
    for (int i = 1; i <= n; ++i) {
        const int raw = i % 4096;
        core.setPot(0, static_cast<float>(raw) / 4096.0f);
        core.run(nullptr);
        if (core.readSFR(16) == raw << 19) latched.push_back(i);
    }
    return latched;
}

// The samples on which a 2000 Hz scan lands at sample rate `rate`: sample i latches
// when the count of whole scan periods passed grows, floor(2000 i / rate).
std::vector<int> expectedLatches(long rate, int n) {
    std::vector<int> v;
    for (long i = 1; i <= n; ++i)
        if ((2000 * i) / rate > (2000 * (i - 1)) / rate) v.push_back(static_cast<int>(i));
    return v;
}

TEST(PotScan, LatchesEvery24SamplesAt48kHz) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    const std::vector<int> latched = latchingSamples(core, 240);
    std::vector<int> expected;
    for (int i = 24; i <= 240; i += 24) expected.push_back(i);
    EXPECT_EQ(latched, expected);
}

TEST(PotScan, LatchesEvery22Or23SamplesAt44100Hz) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.sampleRate = 44100.0;
    const std::vector<int> latched = latchingSamples(core, 44100);
    ASSERT_EQ(latched.size(), 2000u);  // exactly 2000 scans in one second
    EXPECT_EQ(latched.front(), 23);
    EXPECT_EQ(latched.back(), 44100);
    for (size_t i = 1; i < latched.size(); ++i) {
        const int gap = latched[i] - latched[i - 1];
        ASSERT_TRUE(gap == 22 || gap == 23) << "gap " << gap << " before sample " << latched[i];
    }
    EXPECT_EQ(latched, expectedLatches(44100, 44100));
}

TEST(PotScan, FollowsTheSampleRate) {
    for (long rate : {96000L, 8000L, 2001L, 2000L, 1000L, 1L}) {
        SCOPED_TRACE(rate);
        FXCoreCore core;
        ASSERT_TRUE(load(core, {ops::nop()}));
        core.sampleRate = static_cast<double>(rate);
        EXPECT_EQ(latchingSamples(core, 300), expectedLatches(rate, 300));
    }
    // At 2000 Hz and below every sample latches.
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.sampleRate = 1500.0;
    EXPECT_EQ(latchingSamples(core, 100).size(), 100u);
}

TEST(PotScan, ResetRestartsTheScanTimerAndKeepsTheSampleRate) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    runSamples(core, 10);
    core.reset();
    std::vector<int> expected;
    for (int i = 24; i <= 96; i += 24) expected.push_back(i);
    EXPECT_EQ(latchingSamples(core, 96), expected);

    core.sampleRate = 8000.0;
    runSamples(core, 3);
    core.reset();
    EXPECT_EQ(core.sampleRate, 8000.0);
    EXPECT_EQ(latchingSamples(core, 12), (std::vector<int>{4, 8, 12}));
}

TEST(PotScan, AllSixPotsShowTheirLatchedValueWithin24Samples) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    runSamples(core, 30);
    const float six[6] = {0.0f, 1.0f / 4096.0f, 0.5f, 0.75f, 1.0f, 0.25f};
    const int32_t raw[6] = {0, 1, 2048, 3072, 4095, 1024};
    core.setPots(six);
    runSamples(core, 17);  // sample 47: the next scan is at 48
    for (int k = 0; k < 6; ++k) EXPECT_EQ(core.readSFR(16 + k), 0) << "POT" << k;
    core.run(nullptr);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(core.readSFR(16 + k), raw[k] << 19) << "POT" << k;
        EXPECT_EQ(CoreProbe::potLatched(core, k), raw[k]) << "POT" << k;
    }
    EXPECT_EQ(core.readSFR(20), 0x7FF80000);
}

TEST(PotSmoothing, ShiftZeroFollowsTheLatchedValueInTheSameSample) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    for (int i = 1; i <= 100; ++i) {
        const float six[6] = {i / 100.0f, 1.0f - i / 100.0f, 0.5f, 0.0f, 1.0f, (i % 7) / 7.0f};
        core.setPots(six);
        core.run(nullptr);
        for (int k = 0; k < 6; ++k) ASSERT_EQ(core.readSFR(22 + k), core.readSFR(16 + k)) << i << " POT" << k;
    }
}

TEST(PotSmoothing, ShiftSClosesOneOver2ToTheSOfTheGapEachSample) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.writeSFR(10, 2);
    core.setPot(0, 0.5f);  // target 0x40000000
    runSamples(core, 23);
    EXPECT_EQ(core.readSFR(22), 0);
    core.run(nullptr);  // latch
    EXPECT_EQ(core.readSFR(16), 0x40000000);
    EXPECT_EQ(core.readSFR(22), 0x10000000);
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(22), 0x1C000000);
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(22), 0x25000000);

    // Rising, the arithmetic shift stops short of the target by less than 2^s.
    runSamples(core, 500);
    const int32_t settled = core.readSFR(22);
    EXPECT_GE(0x40000000 - settled, 1);
    EXPECT_LE(0x40000000 - settled, 3);
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(22), settled);

    // A new shift moves a pot that had stopped: shift 0 closes the gap at once.
    core.writeSFR(10, 0);
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(22), 0x40000000);

    // Falling, it rounds toward minus infinity and reaches the target exactly.
    core.setPot(0, 0.0f);
    runSamples(core, 500);
    EXPECT_EQ(core.readSFR(16), 0);
    EXPECT_EQ(core.readSFR(22), 0);
    EXPECT_EQ(CoreProbe::potSmoothed(core, 0), 0);
}

TEST(PotSmoothing, EachPotUsesItsOwnShiftTakenModulo32) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.sfr[10] = 42;  // a preset is not masked, but only its low 5 bits count: shift 10
    p.sfr[11] = 1;
    p.sfr[12] = 3;
    p.sfr[13] = 0;
    p.sfr[14] = 31;
    p.sfr[15] = 4;
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::nop()}));
    const float six[6] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    core.setPots(six);
    runSamples(core, 24);
    const int32_t target = 4095 << 19;
    const int shifts[6] = {10, 1, 3, 0, 31, 4};
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(core.readSFR(16 + k), target) << "POT" << k;
        EXPECT_EQ(core.readSFR(22 + k), target >> shifts[k]) << "POT" << k;
    }
    EXPECT_EQ(core.readSFR(10), 42);

    // A new shift written by the program (or the owner) applies from the next sample.
    core.writeSFR(14, 33);  // shift 1
    core.run(nullptr);
    EXPECT_EQ(core.readSFR(26), target >> 1);
}

}  // namespace
