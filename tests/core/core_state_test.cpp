// The chip's state outside the per-sample run: construction, program and preset
// installation, reset, pins, SFR access, outputs and the user-output duty.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

TEST(CoreConstruction, StartsUnloadedInTheInitialState) {
    FXCoreCore core;
    EXPECT_FALSE(CoreProbe::loaded(core));
    EXPECT_EQ(CoreProbe::programLength(core), 0);
    EXPECT_EQ(core.sampleRate, 48000.0);
    EXPECT_EQ(core.pins, 0x7Fu);
    EXPECT_EQ(CoreProbe::noiseState(core), 0x2545F491u);
    EXPECT_EQ(CoreProbe::switchState(core), 0x3Fu);
    EXPECT_EQ(CoreProbe::tapLevel(core), 1);
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(CoreProbe::writePos(core), 0);

    const auto& p = CoreProbe::presets(core);
    EXPECT_EQ(p.tapHoldSamples, 36000);
    EXPECT_EQ(p.tapDebounceSamples, 480);
    EXPECT_EQ(p.switchDebounceSamples, 480);
    EXPECT_EQ(p.spareTiming0, 2400);
    EXPECT_EQ(p.spareTiming1, 960);
    EXPECT_EQ(p.userInit[0], 0);
    EXPECT_EQ(p.userInit[1], 0);

    for (int i = 0; i < 16; ++i) EXPECT_EQ(CoreProbe::creg(core, i), 0) << "R" << i;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(CoreProbe::mreg(core, i), 0) << "MREG" << i;
    for (int i = 0; i < 64; ++i) EXPECT_EQ(core.readSFR(i), 0) << "SFR " << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(core.getOutput(i), 0.0f);
    for (int i = 0; i < FXCoreCore::kProgramWords; ++i) ASSERT_EQ(CoreProbe::program(core)[i], 0u);
    for (int i = 0; i < FXCoreCore::kDelaySamples; ++i) ASSERT_EQ(CoreProbe::delay(core, i), 0) << i;
    EXPECT_EQ(CoreProbe::userOut(core, 0), 0);
    EXPECT_EQ(CoreProbe::userOut(core, 1), 0);

    float duty[2] = {-1.0f, -1.0f};
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 0.0f);
}

TEST(CoreConstruction, UnloadedCoreIgnoresRunCompletely) {
    FXCoreCore core;
    core.writeSFR(5, 0x40000000);   // OUT1 = 0.5, must stay
    core.writeSFR(28, 100000000);   // an LFO that would move
    core.writeSFR(32, 12345);       // a ramp that would move
    core.setPot(0, 1.0f);
    core.pins = pressedPins(0x01u | 0x40u);  // SW0 and TAP held well past the debounce time
    const float in[4] = {0.5f, -0.5f, 0.25f, 1.0f};
    runSamples(core, 1000, in);
    core.run(nullptr);

    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(CoreProbe::writePos(core), 0);
    EXPECT_EQ(CoreProbe::noiseState(core), 0x2545F491u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(core.readSFR(k), 0) << "IN" << k;
        EXPECT_EQ(CoreProbe::inputs(core, k), 0);
    }
    EXPECT_EQ(core.readSFR(8), 0);
    EXPECT_EQ(core.readSFR(9), 0);
    EXPECT_EQ(core.readSFR(16), 0);
    EXPECT_EQ(core.readSFR(34), 0);
    EXPECT_EQ(core.readSFR(42), 0);
    EXPECT_EQ(core.readSFR(46), 0);
    EXPECT_EQ(core.readSFR(47), 0);
    EXPECT_EQ(CoreProbe::potLatched(core, 0), 0);
    EXPECT_EQ(CoreProbe::lfoPhase(core, 0), 0.0);
    EXPECT_EQ(CoreProbe::ramp(core, 0), 0u);
    EXPECT_EQ(CoreProbe::switchState(core), 0x3Fu);
    EXPECT_EQ(CoreProbe::tapLevel(core), 1);
    EXPECT_EQ(CoreProbe::flags(core), 0);
    EXPECT_EQ(core.getOutput(0), 0.0f);
    EXPECT_EQ(core.getOutput(1), 0.5f);

    float duty[2] = {-1.0f, -1.0f};
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 0.0f);
}

TEST(CoreProgram, NullOrEmptyProgramUnloadsWithoutReset) {
    const uint32_t words[3] = {ops::wrsfr(1, 4), ops::nop(), ops::nop()};
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant == 0 ? "null pointer" : "zero count");
        FXCoreCore core;
        ASSERT_TRUE(core.setProgram(words, 3));
        CoreProbe::creg(core, 1) = 0x40000000;
        runSamples(core, 3);
        ASSERT_EQ(core.getOutput(0), 0.5f);
        const int32_t writePos = CoreProbe::writePos(core);
        const uint32_t noise = CoreProbe::noiseState(core);

        const bool ok = variant == 0 ? core.setProgram(nullptr, 5) : core.setProgram(words, 0);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(CoreProbe::loaded(core));
        EXPECT_EQ(CoreProbe::programLength(core), 0);
        // No reset: the old words, registers, outputs and counters stay.
        EXPECT_EQ(CoreProbe::program(core)[0], words[0]);
        EXPECT_EQ(CoreProbe::creg(core, 1), 0x40000000);
        EXPECT_EQ(core.readSFR(46), 3);
        EXPECT_EQ(core.getOutput(0), 0.5f);

        const float in[4] = {0.25f, 0.25f, 0.25f, 0.25f};
        runSamples(core, 10, in);
        EXPECT_EQ(core.readSFR(46), 3);
        EXPECT_EQ(CoreProbe::sampleCount(core), 3u);
        EXPECT_EQ(CoreProbe::writePos(core), writePos);
        EXPECT_EQ(CoreProbe::noiseState(core), noise);
        EXPECT_EQ(core.readSFR(0), 0);
    }
}

TEST(CoreProgram, OverLongProgramIsCutTo1024Words) {
    // Word i loads i into the upper half of R1, so after one sample R1 tells which
    // word ran last.
    std::vector<uint32_t> words(1500);
    for (size_t i = 0; i < words.size(); ++i) words[i] = fxcore::makeWord(75, 1, static_cast<unsigned>(i));
    FXCoreCore core;
    EXPECT_TRUE(core.setProgram(words.data(), words.size()));
    EXPECT_TRUE(CoreProbe::loaded(core));
    EXPECT_EQ(CoreProbe::programLength(core), 1024);
    EXPECT_EQ(CoreProbe::program(core)[1023], words[1023]);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::creg(core, 1), 1023 << 16);
}

TEST(CoreProgram, InstallingZeroesTheTailAndResets) {
    FXCoreCore core;
    std::vector<uint32_t> longer(8, fxcore::makeWord(75, 1, 0x1234));
    ASSERT_TRUE(core.setProgram(longer.data(), longer.size()));
    core.setPot(0, 0.5f);
    core.pins = pressedPins(0x01u);
    runSamples(core, 30);
    ASSERT_NE(CoreProbe::creg(core, 1), 0);
    ASSERT_NE(core.readSFR(16), 0);
    const uint32_t noise = CoreProbe::noiseState(core);

    const uint32_t shorter[3] = {ops::nop(), ops::nop(), ops::nop()};
    EXPECT_TRUE(core.setProgram(shorter, 3));
    EXPECT_EQ(CoreProbe::programLength(core), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(CoreProbe::program(core)[i], shorter[i]);
    for (int i = 3; i < FXCoreCore::kProgramWords; ++i) ASSERT_EQ(CoreProbe::program(core)[i], 0u) << i;
    EXPECT_EQ(CoreProbe::creg(core, 1), 0);
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(CoreProbe::writePos(core), 0);
    EXPECT_EQ(core.readSFR(16), 0);
    EXPECT_EQ(CoreProbe::potRaw(core, 0), 0);
    EXPECT_EQ(core.pins, 0x7Fu);
    EXPECT_EQ(CoreProbe::noiseState(core), noise);
}

TEST(CorePresets, SetPresetsInstallsTheInitialStateAndKeepsTheProgram) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    runSamples(core, 5);

    FXCoreCore::Presets p;
    p.creg[3] = 7;
    p.creg[15] = -9;
    p.mreg[0] = 11;
    p.mreg[127] = 12;
    p.sfr[5] = 99;
    p.sfr[10] = 42;  // presets are taken as they are, not masked like a write
    p.sfr[44] = 1234;
    p.sfr[45] = 777;
    p.sfr[48] = -5;
    p.userInit[0] = 0;
    p.userInit[1] = 3;
    p.tapHoldSamples = 10;
    p.spareTiming0 = 1;
    core.setPresets(p);

    EXPECT_TRUE(CoreProbe::loaded(core));
    EXPECT_EQ(CoreProbe::programLength(core), 1);
    EXPECT_EQ(CoreProbe::program(core)[0], ops::nop());
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(CoreProbe::creg(core, 3), 7);
    EXPECT_EQ(CoreProbe::creg(core, 15), -9);
    EXPECT_EQ(CoreProbe::mreg(core, 0), 11);
    EXPECT_EQ(CoreProbe::mreg(core, 127), 12);
    EXPECT_EQ(core.readSFR(5), 0);
    EXPECT_EQ(CoreProbe::sfr(core, 5), 99);
    EXPECT_EQ(core.getOutput(1), 0.0f);  // outputs start at 0 whatever SFR 5 holds
    EXPECT_EQ(core.readSFR(10), 42);
    EXPECT_EQ(core.readSFR(44), 1234);
    EXPECT_EQ(core.readSFR(45), 777);
    EXPECT_EQ(core.readSFR(48), -5);
    EXPECT_EQ(CoreProbe::userOut(core, 0), 0);
    EXPECT_EQ(CoreProbe::userOut(core, 1), 1);
    EXPECT_EQ(CoreProbe::presets(core).tapHoldSamples, 10);
    EXPECT_EQ(CoreProbe::presets(core).spareTiming0, 1);

    // Registers without a run-time source keep their preset values.
    runSamples(core, 3);
    EXPECT_EQ(core.readSFR(44), 1234);
    EXPECT_EQ(core.readSFR(45), 777);
    EXPECT_EQ(core.readSFR(48), -5);
}

TEST(CorePresets, SetPresetsLeavesAnUnloadedCoreUnloaded) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.creg[0] = 1;
    core.setPresets(p);
    EXPECT_FALSE(CoreProbe::loaded(core));
    EXPECT_EQ(CoreProbe::creg(core, 0), 1);
    core.run(nullptr);
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
}

TEST(CoreReset, RestoresPresetsAndClearsEverythingThatRuns) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.creg[2] = 5;
    p.mreg[9] = 6;
    p.sfr[28] = 1000;
    p.sfr[32] = 77;
    p.userInit[0] = 1;
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::wrdel(1, 0), ops::nop()}));
    CoreProbe::creg(core, 1) = 0x7FFF0000;
    core.sampleRate = 44100.0;
    const float pots[6] = {1, 1, 1, 1, 1, 1};
    core.setPots(pots);
    core.pins = pressedPins(0x7Fu);
    const float in[4] = {0.9f, -0.9f, 0.5f, 0.1f};
    runSamples(core, 600, in);

    CoreProbe::creg(core, 2) = 99;
    CoreProbe::acc32(core) = 5;
    CoreProbe::flags(core) = 3;
    CoreProbe::mreg(core, 9) = 1;
    core.writeSFR(28, 5);
    core.writeSFR(44, 9);
    core.writeSFR(6, 0x10000000);
    CoreProbe::acc64(core) = 123;
    CoreProbe::userOut(core, 0) = 0;
    CoreProbe::userOut(core, 1) = 1;
    ASSERT_EQ(CoreProbe::switchState(core), 0u);
    ASSERT_EQ(CoreProbe::tapLevel(core), 0);
    const uint32_t noise = CoreProbe::noiseState(core);

    core.reset();

    EXPECT_EQ(CoreProbe::creg(core, 1), 0);
    EXPECT_EQ(CoreProbe::creg(core, 2), 5);
    EXPECT_EQ(CoreProbe::acc32(core), 0);
    EXPECT_EQ(CoreProbe::flags(core), 0);
    EXPECT_EQ(CoreProbe::mreg(core, 9), 6);
    EXPECT_EQ(core.readSFR(28), 1000);
    EXPECT_EQ(core.readSFR(32), 77);
    EXPECT_EQ(core.readSFR(44), 0);
    EXPECT_EQ(core.readSFR(0), 0);
    EXPECT_EQ(core.readSFR(16), 0);
    EXPECT_EQ(core.readSFR(46), 0);
    EXPECT_EQ(CoreProbe::acc64(core), 0);
    EXPECT_EQ(CoreProbe::writePos(core), 0);
    EXPECT_EQ(CoreProbe::sampleCount(core), 0u);
    EXPECT_EQ(CoreProbe::userOut(core, 0), 1);
    EXPECT_EQ(CoreProbe::userOut(core, 1), 0);
    for (int i = 0; i < FXCoreCore::kDelaySamples; ++i) ASSERT_EQ(CoreProbe::delay(core, i), 0) << i;
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(CoreProbe::potRaw(core, k), 0);
        EXPECT_EQ(CoreProbe::potLatched(core, k), 0);
        EXPECT_EQ(CoreProbe::potSmoothed(core, k), 0);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(CoreProbe::lfoPhase(core, i), 0.0);
    EXPECT_EQ(CoreProbe::ramp(core, 0), 0u);
    EXPECT_EQ(CoreProbe::ramp(core, 1), 0u);
    EXPECT_EQ(core.pins, 0x7Fu);
    EXPECT_EQ(CoreProbe::switchState(core), 0x3Fu);
    EXPECT_EQ(CoreProbe::tapLevel(core), 1);
    EXPECT_EQ(CoreProbe::tapHeld(core), 0);
    EXPECT_EQ(CoreProbe::tapMeasuring(core), 0);
    EXPECT_EQ(CoreProbe::tapCount(core), 0u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(CoreProbe::inputs(core, k), 0);
        EXPECT_EQ(CoreProbe::outputs(core, k), 0);
        EXPECT_EQ(core.getOutput(k), 0.0f);
    }

    // What survives.
    EXPECT_TRUE(CoreProbe::loaded(core));
    EXPECT_EQ(CoreProbe::programLength(core), 2);
    EXPECT_EQ(CoreProbe::program(core)[0], ops::wrdel(1, 0));
    EXPECT_EQ(core.sampleRate, 44100.0);
    EXPECT_EQ(CoreProbe::presets(core).creg[2], 5);
    EXPECT_EQ(CoreProbe::noiseState(core), noise);
}

TEST(CoreReset, PotsAndPinsReadAsZeroAndReleasedAfterwards) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::nop()}));
    const float pots[6] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    core.setPots(pots);
    core.pins = pressedPins(0x7Fu);
    runSamples(core, 500);
    ASSERT_EQ(core.readSFR(16), 0x40000000);
    ASSERT_EQ(core.readSFR(9) & 0x1F, 0);

    core.reset();
    runSamples(core, 48);  // two pot scans at 48 kHz
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(core.readSFR(16 + k), 0) << "POT" << k;
        EXPECT_EQ(core.readSFR(22 + k), 0) << "POT" << k;
    }
    EXPECT_EQ(core.readSFR(8), 0x7F);
    EXPECT_EQ(core.readSFR(9), 0x801F);
    EXPECT_EQ(CoreProbe::flags(core) & 0x3F, 0x01);  // tap released and idle
}

TEST(CorePins, SetPinPressesAndReleasesOneBit) {
    FXCoreCore core;
    for (int k = 0; k <= 6; ++k) {
        core.setPin(k, true);
        EXPECT_EQ(core.pins, 0x7Fu & ~(1u << k)) << k;
        core.setPin(k, false);
        EXPECT_EQ(core.pins, 0x7Fu) << k;
    }
    core.setPin(6, true);
    core.setPin(2, true);
    EXPECT_EQ(core.pins, 0x3Bu);
    for (int bad : {7, 8, 31, 32, -1, INT_MIN}) {
        core.setPin(bad, true);
        EXPECT_EQ(core.pins, 0x3Bu) << bad;
        core.setPin(bad, false);
        EXPECT_EQ(core.pins, 0x3Bu) << bad;
    }
}

TEST(CoreSfr, WritesFollowTheRegisterMap) {
    FXCoreCore core;
    auto mark = [&] {
        for (int i = 0; i < FXCoreCore::kSfrCount; ++i) CoreProbe::sfr(core, i) = 1000 + i;
    };
    auto unchanged = [&](int except) {
        for (int i = 0; i < FXCoreCore::kSfrCount; ++i)
            if (i != except) {
                EXPECT_EQ(CoreProbe::sfr(core, i), 1000 + i) << "SFR " << i;
            }
    };

    mark();
    const int ignored[] = {0,  1,  2,  3,  8,  9,  16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                           27, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 45, 46, 47, 48};
    for (int i : ignored) core.writeSFR(i, -7);
    for (int i : {49, 63, 64, -1, INT_MIN, INT_MAX}) core.writeSFR(i, -7);
    unchanged(-1);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(CoreProbe::outputs(core, k), 0);

    for (int i = 10; i <= 15; ++i) {
        mark();
        core.writeSFR(i, 37);
        EXPECT_EQ(core.readSFR(i), 5) << "SFR " << i;
        unchanged(i);
    }
    core.writeSFR(10, -1);
    EXPECT_EQ(core.readSFR(10), 31);
    core.writeSFR(11, 32);
    EXPECT_EQ(core.readSFR(11), 0);

    for (int i : {28, 29, 30, 31, 32, 33, 44}) {
        mark();
        core.writeSFR(i, -123456789);
        EXPECT_EQ(core.readSFR(i), -123456789) << "SFR " << i;
        unchanged(i);
    }
}

TEST(CoreSfr, OutputRegistersFeedTheOutputsAndReadAsZero) {
    FXCoreCore core;
    core.writeSFR(5, 0x40000000);
    EXPECT_EQ(core.getOutput(1), 0.5f);
    EXPECT_EQ(core.readSFR(5), 0);
    EXPECT_EQ(CoreProbe::sfr(core, 5), 0x40000000);

    for (int k = 0; k < 4; ++k) {
        const int32_t x = -0x12345678 + k * 0x01000000;
        core.writeSFR(4 + k, x);
        EXPECT_EQ(CoreProbe::outputs(core, k), x);
        EXPECT_EQ(core.getOutput(k), static_cast<float>(x / 2147483648.0)) << k;
        EXPECT_EQ(core.readSFR(4 + k), 0);
    }
}

TEST(CoreSfr, ReadsOutsideTheMapAreZeroAndTheCounterReadsLive) {
    FXCoreCore core;
    for (int i = 0; i < FXCoreCore::kSfrCount; ++i) CoreProbe::sfr(core, i) = 1000 + i;
    for (int i : {-1, 49, 63, 64, INT_MIN, INT_MAX}) EXPECT_EQ(core.readSFR(i), 0) << i;
    for (int i = 4; i <= 7; ++i) EXPECT_EQ(core.readSFR(i), 0) << i;
    for (int i = 0; i < FXCoreCore::kSfrCount; ++i)
        if ((i < 4 || i > 7) && i != 46) {
            EXPECT_EQ(core.readSFR(i), 1000 + i) << i;
        }

    CoreProbe::sampleCount(core) = 12345;
    EXPECT_EQ(core.readSFR(46), 12345);
    CoreProbe::sampleCount(core) = 0xFFFFFFFFu;
    EXPECT_EQ(core.readSFR(46), -1);
}

TEST(CoreOutputs, ConvertQ31ToFloat) {
    FXCoreCore core;
    CoreProbe::outputs(core, 0) = INT32_MIN;
    CoreProbe::outputs(core, 1) = INT32_MAX;
    CoreProbe::outputs(core, 2) = 0x7FFFFF80;  // 1 - 2^-24, exact in float
    CoreProbe::outputs(core, 3) = -1;
    EXPECT_EQ(core.getOutput(0), -1.0f);
    EXPECT_EQ(core.getOutput(1), 1.0f);
    EXPECT_EQ(core.getOutput(2), 1.0f - 0x1p-24f);
    EXPECT_EQ(core.getOutput(3), -0x1p-31f);
    for (int bad : {4, -1, 100, INT_MIN}) EXPECT_EQ(core.getOutput(bad), 0.0f) << bad;

    float out[4] = {9, 9, 9, 9};
    core.getOutputs(out);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(out[2], 1.0f - 0x1p-24f);
    EXPECT_EQ(out[3], -0x1p-31f);

    CoreProbe::outputs(core, 2) = 0x40000000;
    CoreProbe::outputs(core, 3) = 0x7FFFFFC0;  // halfway between two floats: ties to even, 1.0
    core.getOutputs(out);
    EXPECT_EQ(out[2], 0.5f);
    EXPECT_EQ(out[3], 1.0f);
}

TEST(CoreUserDuty, AveragesTheSamplesSinceThePreviousRead) {
    FXCoreCore core;
    ASSERT_TRUE(load(core, {ops::user(1, 0, 0), ops::user(2, 1, 0)}));
    float duty[2] = {-1.0f, -1.0f};
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 0.0f);

    CoreProbe::creg(core, 1) = 1;
    runSamples(core, 25);
    CoreProbe::creg(core, 1) = 0;
    runSamples(core, 75);
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.25f);
    EXPECT_EQ(duty[1], 0.0f);

    // No sample in between: the same averages again.
    duty[0] = duty[1] = -1.0f;
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.25f);
    EXPECT_EQ(duty[1], 0.0f);

    // The read started a new window.
    CoreProbe::creg(core, 1) = 1;
    CoreProbe::creg(core, 2) = 1;
    runSamples(core, 10);
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 1.0f);
    EXPECT_EQ(duty[1], 1.0f);

    CoreProbe::creg(core, 2) = 0;
    runSamples(core, 3);
    CoreProbe::creg(core, 2) = 1;
    runSamples(core, 1);
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 1.0f);
    EXPECT_EQ(duty[1], 0.25f);
}

TEST(CoreUserDuty, ResetForgetsTheAveragesAndStartsFromTheInitialLevels) {
    FXCoreCore core;
    FXCoreCore::Presets p;
    p.userInit[1] = -4;  // nonzero means on
    core.setPresets(p);
    ASSERT_TRUE(load(core, {ops::user(1, 0, 0)}));
    CoreProbe::creg(core, 1) = 1;
    runSamples(core, 10);
    float duty[2] = {-1.0f, -1.0f};
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 1.0f);
    EXPECT_EQ(duty[1], 1.0f);

    runSamples(core, 5);  // not yet read: dropped by the reset
    core.reset();
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 0.0f);

    // R1 is back at its preset 0, so USER0 is off; USER1 starts on and stays on.
    runSamples(core, 4);
    core.readUserDuty(duty);
    EXPECT_EQ(duty[0], 0.0f);
    EXPECT_EQ(duty[1], 1.0f);
}

}  // namespace
