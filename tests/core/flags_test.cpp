// FLAGS: rebuilt before the program every sample from the tap unit's bits and the
// near-full-scale bits made at the end of the previous sample.
#include <gtest/gtest.h>

#include <cstdint>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

constexpr int32_t kTapReleased = 0x01;
constexpr int32_t kOutputBits = 0xF000;
constexpr int32_t kInputBits = 0x0F00;

// Q1.31 values nearest the threshold 0.94406 x 2^31 that a float input can hold.
constexpr float kInputBelow = 15838698.0f * 0x1p-24f;  // 2027353344
constexpr float kInputAbove = 15838699.0f * 0x1p-24f;  // 2027353472

TEST(Flags, ProgramMayOverwriteThemUntilTheNextSample) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.creg[1] = 0x12345678;
    core.setPresets(p);
    // R2 := FLAGS as rebuilt, then FLAGS := R1.
    ASSERT_TRUE(load(core, {ops::mov(2, kFlagsSlot), ops::mov(kFlagsSlot, 1)}));
    for (int n = 0; n < 3; ++n) {
        core.run(nullptr);
        EXPECT_EQ(CoreProbe::creg(core, 2), kTapReleased) << n;
        EXPECT_EQ(CoreProbe::flags(core), 0x12345678) << n;
    }
}

TEST(Flags, TapAndOverflowBitsCombine) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.tapDebounceSamples = 1;
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.writeSFR(5, INT32_MIN);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core), kTapReleased);
    core.setPin(6, true);
    const float in[4] = {0.0f, 0.0f, 0.0f, -1.0f};
    core.run(in);
    EXPECT_EQ(CoreProbe::flags(core), 0x02 | 0x2000);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core), 0x00 | 0x2000 | 0x0800);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core), 0x2000);
}

TEST(OverflowFlags, OutputThresholdIsAnAbsoluteValueOf2027353413) {
    struct Case {
        int32_t value;
        bool flagged;
    };
    const Case cases[] = {
        {2027353412, false}, {2027353413, true}, {-2027353412, false}, {-2027353413, true},
        {INT32_MAX, true},   {INT32_MIN, true},  {0, false},           {-1, false},
    };
    FXCoreCore core;
    // OUT0-OUT3 := R1-R4 every sample.
    ASSERT_TRUE(load(core, {ops::wrsfr(1, 4), ops::wrsfr(2, 5), ops::wrsfr(3, 6), ops::wrsfr(4, 7)}));
    for (const Case& c : cases) {
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(testing::Message() << c.value << " on OUT" << k);
            core.reset();
            CoreProbe::creg(core, 1 + k) = c.value;
            core.run(nullptr);  // the outputs are tested at the end of this sample
            EXPECT_EQ(CoreProbe::flags(core), kTapReleased);
            core.run(nullptr);
            EXPECT_EQ(CoreProbe::flags(core), kTapReleased | (c.flagged ? 1 << (12 + k) : 0));
        }
    }
}

TEST(OverflowFlags, OutputsCountWhetherOrNotWrittenThisSample) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.run(nullptr);
    core.writeSFR(7, INT32_MAX);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core) & kOutputBits, 0);
    for (int n = 0; n < 5; ++n) {
        core.run(nullptr);
        EXPECT_EQ(CoreProbe::flags(core) & kOutputBits, 1 << 15) << n;
    }
    core.writeSFR(7, 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core) & kOutputBits, 1 << 15);  // made before the write took effect
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core) & kOutputBits, 0);
}

TEST(OverflowFlags, InputThresholdAppliesToEachInputForOneSample) {
    struct Case {
        float value;
        bool flagged;
    };
    const Case cases[] = {
        {kInputBelow, false}, {kInputAbove, true}, {-kInputBelow, false}, {-kInputAbove, true},
        {1.0f, true},         {-1.0f, true},       {5.0f, true},          {0.5f, false},
    };
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    for (const Case& c : cases) {
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(testing::Message() << c.value << " on IN" << k);
            float in[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            in[k] = c.value;
            core.run(in);
            EXPECT_EQ(CoreProbe::flags(core) & kInputBits, 0);
            core.run(nullptr);
            EXPECT_EQ(CoreProbe::flags(core) & kInputBits, c.flagged ? 1 << (8 + k) : 0);
            core.run(nullptr);
            EXPECT_EQ(CoreProbe::flags(core) & kInputBits, 0);
        }
    }
    // The two floats convert to the Q1.31 values on either side of the threshold.
    const float in[4] = {kInputBelow, kInputAbove, 0.0f, 0.0f};
    core.run(in);
    EXPECT_EQ(core.readSFR(0), 2027353344);
    EXPECT_EQ(core.readSFR(1), 2027353472);
}

TEST(OverflowFlags, ResetClearsThem) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    core.writeSFR(4, INT32_MIN);
    const float in[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    core.run(in);
    core.run(in);
    ASSERT_EQ(CoreProbe::flags(core), kTapReleased | 0x1F00);
    core.reset();
    EXPECT_EQ(CoreProbe::flags(core), 0);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::flags(core), kTapReleased);
}

}  // namespace
