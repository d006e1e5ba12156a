// Switch debouncing with its edge bits, and the tap-tempo unit.
#include <gtest/gtest.h>

#include <cstdint>

#include "chip_fixture.h"

namespace {

using namespace chiptest;

// SFR 9 with every switch released and no edge: SW0-SW4 in bits 0-4, pin 5 in bit 15.
constexpr int32_t kIdleSwitchWord = 0x801F;

// A loaded core whose program touches nothing, so FLAGS and the SFRs show exactly
// what the run made of them.
struct Rig {
    FXCoreCore core;
    int sample = 0;  // samples run so far

    explicit Rig(const FXCoreCore::Presets& p = FXCoreCore::Presets{}) {
        core.setPresets(p);
        load(core, {ops::nop()});
    }
    void run() {
        core.run(nullptr);
        ++sample;
    }
    // Runs until `sample` reaches `last`.
    void runTo(int last) {
        while (sample < last) run();
    }
    // Runs until `sample` reaches `last` and checks the tap bits of FLAGS on every one.
    ::testing::AssertionResult runToWithTapFlags(int last, int32_t tapBits) {
        while (sample < last) {
            run();
            const int32_t got = CoreProbe::flags(core) & 0x3F;
            if (got != tapBits)
                return ::testing::AssertionFailure()
                       << "sample " << sample << ": tap flags 0x" << std::hex << got << ", expected 0x" << tapBits;
        }
        return ::testing::AssertionSuccess();
    }
    // Runs until `sample` reaches `last` and checks SFR 9 on every one.
    ::testing::AssertionResult runToWithSwitchWord(int last, int32_t word) {
        while (sample < last) {
            run();
            const int32_t got = core.readSFR(9);
            if (got != word)
                return ::testing::AssertionFailure()
                       << "sample " << sample << ": SFR 9 0x" << std::hex << got << ", expected 0x" << word;
        }
        return ::testing::AssertionSuccess();
    }
    int32_t tapFlags() { return CoreProbe::flags(core) & 0x3F; }
    void tap(bool pressed) { core.setPin(6, pressed); }
};

FXCoreCore::Presets quickTap(int holdSamples = 36000) {
    FXCoreCore::Presets p;
    p.tapDebounceSamples = 1;  // a pin change is taken on the sample it appears
    p.tapHoldSamples = holdSamples;
    return p;
}

TEST(SwitchDebounce, PressAndReleaseTakeTheFullDebounceTimeAndEdgesLastOneSample) {
    Rig rig;
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord);
    EXPECT_EQ(rig.core.readSFR(8), 0x7F);

    rig.core.setPin(2, true);  // held from sample 2
    EXPECT_TRUE(rig.runToWithSwitchWord(480, kIdleSwitchWord));  // 479 samples: nothing yet
    EXPECT_EQ(rig.core.readSFR(8), 0x7B);
    rig.run();  // the 480th
    EXPECT_EQ(rig.core.readSFR(9), 0x801B | (1 << 12));
    EXPECT_TRUE(rig.runToWithSwitchWord(600, 0x801B));

    rig.core.setPin(2, false);
    EXPECT_TRUE(rig.runToWithSwitchWord(1079, 0x801B));
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord | (1 << 7));
    EXPECT_TRUE(rig.runToWithSwitchWord(1200, kIdleSwitchWord));
}

TEST(SwitchDebounce, AnySampleAtTheOldLevelRestartsTheCount) {
    Rig rig;
    rig.core.setPin(0, true);
    EXPECT_TRUE(rig.runToWithSwitchWord(300, kIdleSwitchWord));
    rig.core.setPin(0, false);  // one bounce back
    EXPECT_TRUE(rig.runToWithSwitchWord(301, kIdleSwitchWord));
    rig.core.setPin(0, true);
    EXPECT_TRUE(rig.runToWithSwitchWord(780, kIdleSwitchWord));
    rig.run();  // 480 consecutive samples since the bounce
    EXPECT_EQ(rig.core.readSFR(9), 0x801E | (1 << 10));
}

TEST(SwitchDebounce, EachSwitchHasItsOwnEdgeBits) {
    FXCoreCore::Presets p;
    p.switchDebounceSamples = 1;
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        Rig rig(p);
        rig.core.setPin(k, true);
        rig.run();
        EXPECT_EQ(rig.core.readSFR(9), (kIdleSwitchWord & ~(1 << k)) | (1 << (10 + k)));
        rig.run();
        EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord & ~(1 << k));
        rig.core.setPin(k, false);
        rig.run();
        EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord | (1 << (5 + k)));
    }

    // Simultaneous changes report together; a release and a press in one sample too.
    Rig rig(p);
    rig.core.pins = pressedPins(0x11u);  // SW0 and SW4
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), 0x800E | (1 << 10) | (1 << 14));
    rig.core.pins = pressedPins(0x12u);  // SW0 released, SW1 pressed, SW4 still pressed
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), 0x800D | (1 << 5) | (1 << 11));
}

TEST(SwitchDebounce, SparePinMovesBit15WithoutEdges) {
    Rig rig;
    rig.core.setPin(5, true);
    EXPECT_TRUE(rig.runToWithSwitchWord(479, kIdleSwitchWord));
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), 0x001F);
    EXPECT_TRUE(rig.runToWithSwitchWord(600, 0x001F));
    rig.core.setPin(5, false);
    EXPECT_TRUE(rig.runToWithSwitchWord(1079, 0x001F));
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord);
}

TEST(SwitchDebounce, TheDebounceTimeComesFromThePresets) {
    FXCoreCore::Presets p;
    p.switchDebounceSamples = 3;
    Rig rig(p);
    rig.core.setPin(3, true);
    EXPECT_TRUE(rig.runToWithSwitchWord(2, kIdleSwitchWord));
    rig.run();
    EXPECT_EQ(rig.core.readSFR(9), 0x8017 | (1 << 13));
}

TEST(SwitchDebounce, Sfr8ShowsTheRawPinWordAtOnce) {
    Rig rig;
    rig.core.pins = 0x2Au;
    rig.run();
    EXPECT_EQ(rig.core.readSFR(8), 0x2A);
    EXPECT_EQ(rig.core.readSFR(9), kIdleSwitchWord);  // not debounced yet
    rig.core.pins = 0xFFFF0000u | 0x3Fu;               // only the low 16 bits are shown
    rig.run();
    EXPECT_EQ(rig.core.readSFR(8), 0x003F);
    rig.core.pins = 0xFFFFFFFFu;
    rig.run();
    EXPECT_EQ(rig.core.readSFR(8), 0xFFFF);
}

TEST(TapTempo, MeasuresTheIntervalBetweenTwoDebouncedPresses) {
    Rig rig;  // tap debounce 480
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x01);

    rig.tap(true);  // held from sample 2
    EXPECT_TRUE(rig.runToWithTapFlags(480, 0x01));
    rig.run();  // sample 481, the 480th pressed one: the press edge starts a measurement
    EXPECT_EQ(rig.tapFlags(), 0x02);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 1);
    EXPECT_EQ(rig.core.readSFR(45), 0);
    EXPECT_TRUE(rig.runToWithTapFlags(1000, 0x00));

    rig.tap(false);  // released from sample 1001
    EXPECT_TRUE(rig.runToWithTapFlags(1479, 0x00));
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x05);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 1);
    EXPECT_TRUE(rig.runToWithTapFlags(24001, 0x01));

    rig.tap(true);  // from sample 24002: edge at 24481, 24000 after the first
    EXPECT_TRUE(rig.runToWithTapFlags(24480, 0x01));
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 24000);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 0);
    EXPECT_TRUE(rig.runToWithTapFlags(24600, 0x00));
    EXPECT_EQ(rig.core.readSFR(45), 24000);
}

TEST(TapTempo, PressesAlternateBetweenStartingAndEndingAMeasurement) {
    Rig rig(quickTap());
    auto pressAt = [&](int s) {
        rig.runTo(s - 1);
        rig.tap(true);
        rig.run();
        const int32_t flags = rig.tapFlags();
        rig.runTo(s + 10);
        rig.tap(false);
        return flags;
    };
    EXPECT_EQ(pressAt(100), 0x02);
    EXPECT_EQ(rig.core.readSFR(45), 0);
    EXPECT_EQ(pressAt(300), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 200);
    EXPECT_EQ(pressAt(1000), 0x02);  // the gap from 300 to 1000 is not measured
    EXPECT_EQ(rig.core.readSFR(45), 200);
    EXPECT_EQ(pressAt(1500), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 500);
}

TEST(TapTempo, DebounceRestartsOnABounce) {
    Rig rig;
    rig.tap(true);
    EXPECT_TRUE(rig.runToWithTapFlags(300, 0x01));
    rig.tap(false);
    rig.run();
    rig.tap(true);
    EXPECT_TRUE(rig.runToWithTapFlags(780, 0x01));
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x02);
}

TEST(TapTempo, IntervalsLongerThanTheMaximumAreAbandoned) {
    Rig rig(quickTap());
    rig.core.writeSFR(44, 32767);
    auto press = [&](int s) {
        rig.runTo(s - 1);
        rig.tap(true);
        rig.run();
        const int32_t flags = rig.tapFlags();
        rig.tap(false);
        return flags;
    };

    EXPECT_EQ(press(100), 0x02);
    rig.runTo(100 + 32766);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 1);
    EXPECT_EQ(CoreProbe::tapCount(rig.core), 32767u);
    rig.run();  // the count passes 32767: abandoned
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 0);
    EXPECT_EQ(CoreProbe::tapCount(rig.core), 0u);

    EXPECT_EQ(press(100 + 40000), 0x02);  // records nothing, starts anew
    EXPECT_EQ(rig.core.readSFR(45), 0);
    EXPECT_EQ(press(100 + 40000 + 1000), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 1000);

    // The maximum itself is still recorded; one more is not.
    EXPECT_EQ(press(50000), 0x02);
    EXPECT_EQ(press(50000 + 32767), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 32767);
    EXPECT_EQ(press(90000), 0x02);
    EXPECT_EQ(press(90000 + 32768), 0x02);
    EXPECT_EQ(rig.core.readSFR(45), 32767);
}

TEST(TapTempo, MaximumIsUnsignedAndZeroMeansNone) {
    for (int32_t maximum : {0, -1}) {
        SCOPED_TRACE(maximum);
        Rig rig(quickTap());
        rig.core.writeSFR(44, maximum);
        rig.runTo(9);
        rig.tap(true);
        rig.run();
        EXPECT_EQ(rig.tapFlags(), 0x02);
        rig.tap(false);
        rig.runTo(10 + 39999);
        rig.tap(true);
        rig.run();
        EXPECT_EQ(rig.tapFlags(), 0x2A);
        EXPECT_EQ(rig.core.readSFR(45), 40000);
    }
}

TEST(TapTempo, HoldSetsBit4AndItsReleaseCancelsTheMeasurement) {
    Rig rig(quickTap(100));
    rig.runTo(9);
    rig.tap(true);  // press edge at sample 10
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x02);
    EXPECT_TRUE(rig.runToWithTapFlags(108, 0x00));
    EXPECT_TRUE(rig.runToWithTapFlags(149, 0x10));  // held 100 samples from sample 109
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 1);
    rig.tap(false);
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x05);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 0);
    EXPECT_EQ(CoreProbe::tapCount(rig.core), 0u);
    EXPECT_TRUE(rig.runToWithTapFlags(199, 0x01));

    rig.tap(true);  // a new measurement, not the end of the cancelled one
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x02);
    rig.tap(false);
    rig.runTo(299);
    rig.tap(true);
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x2A);
    EXPECT_EQ(rig.core.readSFR(45), 100);
}

TEST(TapTempo, ReleaseJustBeforeTheHoldTimeKeepsMeasuring) {
    // Press edge at sample 10; tapHeld reaches 100 on sample 109.
    for (int releaseAt : {109, 110}) {
        SCOPED_TRACE(releaseAt);
        Rig rig(quickTap(100));
        rig.runTo(9);
        rig.tap(true);
        rig.runTo(releaseAt - 1);
        rig.tap(false);
        rig.run();
        EXPECT_EQ(rig.tapFlags(), 0x05);
        EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), releaseAt == 109 ? 1 : 0);
        rig.runTo(299);
        rig.tap(true);
        rig.run();
        EXPECT_EQ(rig.tapFlags(), releaseAt == 109 ? 0x2A : 0x02);
        EXPECT_EQ(rig.core.readSFR(45), releaseAt == 109 ? 290 : 0);
    }
}

TEST(TapTempo, HoldWithoutAMeasurementOnlyReportsTheHold) {
    Rig rig(quickTap(50));
    rig.runTo(9);
    rig.tap(true);
    rig.run();  // starts
    rig.tap(false);
    rig.runTo(99);
    rig.tap(true);
    rig.run();  // ends at sample 100
    ASSERT_EQ(rig.tapFlags(), 0x2A);
    ASSERT_EQ(rig.core.readSFR(45), 90);
    EXPECT_TRUE(rig.runToWithTapFlags(148, 0x00));
    EXPECT_TRUE(rig.runToWithTapFlags(400, 0x10));
    rig.tap(false);
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x05);
    EXPECT_EQ(rig.core.readSFR(45), 90);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 0);
}

TEST(TapTempo, DefaultHoldTimeIs36000Samples) {
    Rig rig;
    rig.tap(true);
    rig.runTo(480);  // press edge
    ASSERT_EQ(rig.tapFlags(), 0x02);
    EXPECT_TRUE(rig.runToWithTapFlags(480 + 35998, 0x00));
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x10);
}

TEST(TapTempo, ResetReturnsTheUnitToReleasedAndIdle) {
    Rig rig(quickTap());
    rig.runTo(9);
    rig.tap(true);
    rig.run();
    ASSERT_EQ(CoreProbe::tapMeasuring(rig.core), 1);
    rig.runTo(50);
    rig.core.reset();  // also releases every pin
    EXPECT_EQ(CoreProbe::tapLevel(rig.core), 1);
    EXPECT_EQ(CoreProbe::tapMeasuring(rig.core), 0);
    EXPECT_EQ(CoreProbe::tapHeld(rig.core), 0);
    EXPECT_EQ(CoreProbe::tapCount(rig.core), 0u);
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x01);
    rig.tap(true);
    rig.run();
    EXPECT_EQ(rig.tapFlags(), 0x02);  // starts a measurement rather than ending one
}

}  // namespace
