// The plug-in object: construction from a firmware table, the grouping of programs
// into banks, the Program/Mode selection and its installation into the chip, the
// custom program, the host callbacks, activation and reset.

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fxcore/fxcore_program.h"
#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "plugin_test_support.h"

namespace {

using fxcoreplug::FXCorePlugin;
using plugtest::bankPrograms;
using plugtest::constantProgram;
using plugtest::FakeHost;
using plugtest::Firmware;
using plugtest::outputAfterOneSample;
using plugtest::samplesSinceReset;
using plugtest::select;
namespace param = fxcoreplug::param;

using Modes = std::vector<int>;

// ---------------------------------------------------------------------------
// The shipped firmware

TEST(ShippedPlugin, StartsOnItsOnlyBank) {
    FXCorePlugin plugin(nullptr);
    EXPECT_EQ(plugin.plugin.plugin_data, &plugin);
    EXPECT_EQ(plugin.customSlot(), fxcoreplug::kEmbeddedProgramCount);
    ASSERT_EQ(plugin.bankCount(), 1);
    EXPECT_EQ(plugin.bankName(0), "kv-lumivex");
    EXPECT_EQ(bankPrograms(plugin, 0), Modes({0}));
    EXPECT_EQ(plugin.modeCountFor(0), 1);
    EXPECT_EQ(plugin.paramValue(param::kProgram), 0.0);
    EXPECT_EQ(plugin.resolveProgramIndex(), 0);
    EXPECT_EQ(plugin.programName(0), "kv-lumivex");
    EXPECT_EQ(plugin.programName(plugin.customSlot()), "(no custom program)");
    EXPECT_TRUE(plugin.customHexText().empty());
    EXPECT_TRUE(plugin.customProgramName().empty());
    EXPECT_EQ(plugin.sampleRate, 48000.0);
    EXPECT_EQ(plugin.tailGet(), 32768u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(plugin.tapTimers[static_cast<size_t>(i)], 0);
        EXPECT_EQ(plugin.switchPulses[static_cast<size_t>(i)], 0);
    }
    for (const auto& def : FXCorePlugin::paramDefs()) EXPECT_EQ(plugin.paramValue(def.id), def.def) << def.name;
}

TEST(ShippedPlugin, ActiveControlNamesAreThoseOfTheFirmware) {
    FXCorePlugin plugin(nullptr);
    const fxcoreplug::ControlNames& names = plugin.activeControlNames();
    EXPECT_TRUE(names.loaded);
    EXPECT_EQ(names.name, "Lumivex");
    EXPECT_EQ(names.panel, "lumivex");
    const char* const knobs[] = {"Time", "Repeats", "Mix", "Mod", "Tone", "Space"};
    for (int pot = 0; pot < 6; ++pot) {
        EXPECT_EQ(names.potType(pot), fxcoreplug::ControlNames::Slot::Knob) << pot;
        EXPECT_EQ(names.potName(pot), knobs[pot]);
    }
    EXPECT_EQ(names.tapName(), "Tap");
    EXPECT_EQ(names.switchName(4), "Bypass");
    EXPECT_EQ(names.users[0], "Tempo");
    EXPECT_EQ(names.users[1], "On");
}

TEST(ShippedPlugin, TheChipGetsItsProgramAtTheFirstInstallation) {
    FXCorePlugin plugin(nullptr);
    for (int i = 0; i < 5; ++i) plugin.core.run(nullptr);
    EXPECT_EQ(samplesSinceReset(plugin.core), 0) << "a chip without a program does not run";
    plugin.applyProgramIfChanged();
    for (int i = 0; i < 5; ++i) plugin.core.run(nullptr);
    EXPECT_EQ(samplesSinceReset(plugin.core), 5);
}

// ---------------------------------------------------------------------------
// Banks from program names

TEST(Banks, NamesSplitAtTheLastUnderscoreBeforeDigits) {
    Firmware fw;
    fw.add("echo_0", constantProgram(0.1))       // slot 0
        .add("chorus_v2", constantProgram(0.1))  // 1: non-digit suffix
        .add("fuzz_2", constantProgram(0.1))     // 2
        .add("chorus_", constantProgram(0.1))    // 3: empty suffix
        .add("_3", constantProgram(0.1))         // 4: empty bank name
        .add("echo_2", constantProgram(0.1))     // 5
        .add("multi_tap_1", constantProgram(0.1))  // 6: the last '_' counts
        .add("verb_01", constantProgram(0.1))      // 7: decimal with a leading zero
        .add("kv-lumivex", constantProgram(0.1));  // 8
    FXCorePlugin plugin(nullptr, fw.table());

    struct Want {
        std::string name;
        Modes modes;
    };
    const std::vector<Want> want = {
        {"echo", {0, 0, 5}}, {"chorus_v2", {1}},   {"fuzz", {2, 2, 2}}, {"chorus_", {3}},     {"", {4, 4, 4, 4}},
        {"multi_tap", {6, 6}}, {"verb", {7, 7}}, {"kv-lumivex", {8}},
    };
    ASSERT_EQ(plugin.bankCount(), static_cast<int>(want.size()));
    for (size_t b = 0; b < want.size(); ++b) {
        SCOPED_TRACE("bank " + std::to_string(b));
        EXPECT_EQ(plugin.bankName(static_cast<int>(b)), want[b].name);
        EXPECT_EQ(bankPrograms(plugin, static_cast<int>(b)), want[b].modes);
        EXPECT_EQ(plugin.modeCountFor(static_cast<int>(b)), static_cast<int>(want[b].modes.size()));
    }
    // Program names stay whole.
    EXPECT_EQ(plugin.programName(5), "echo_2");
    EXPECT_EQ(plugin.programName(4), "_3");
    // "kv-lumivex" is preferred as the first bank.
    EXPECT_EQ(plugin.paramValue(param::kProgram), 7.0);
}

TEST(Banks, BankNamesAreCaseSensitive) {
    Firmware fw;
    fw.add("Echo_0", constantProgram(0.1)).add("echo_1", constantProgram(0.1));
    FXCorePlugin plugin(nullptr, fw.table());
    ASSERT_EQ(plugin.bankCount(), 2);
    EXPECT_EQ(plugin.bankName(0), "Echo");
    EXPECT_EQ(bankPrograms(plugin, 0), Modes({0}));
    EXPECT_EQ(plugin.bankName(1), "echo");
    EXPECT_EQ(bankPrograms(plugin, 1), Modes({1, 1}));
}

// A mode number far beyond what Mode can reach still only names a mode slot.
TEST(Banks, LargeModeNumbersStillFormTheBank) {
    Firmware fw;
    fw.add("wide_1024", constantProgram(0.1));
    FXCorePlugin plugin(nullptr, fw.table());
    ASSERT_EQ(plugin.bankCount(), 1);
    EXPECT_EQ(plugin.bankName(0), "wide");
    EXPECT_EQ(plugin.modeCountFor(0), 1025);
}

TEST(Banks, ALaterImageWithTheSameNameReplacesTheEarlier) {
    Firmware fw;
    fw.add("echo_1", constantProgram(0.25)).add("echo_1", constantProgram(0.5));
    FXCorePlugin plugin(nullptr, fw.table());
    ASSERT_EQ(plugin.bankCount(), 1);
    EXPECT_EQ(bankPrograms(plugin, 0), Modes({1, 1}));
    EXPECT_EQ(plugin.programName(0), "echo_1");  // the slot keeps its image
    plugin.applyProgramIfChanged();
    EXPECT_EQ(outputAfterOneSample(plugin.core), 0.5f);
}

TEST(Banks, ImagesThatFailToLoadLeaveEmptySlotsAndNoBank) {
    Firmware fw;
    fw.add("good", constantProgram(0.25))
        .add("broken", "not an image")
        .add("good_1", ":00000001FF\n")  // an image with no program words
        .add("broken_2", "", std::string("PANEL ghost"));
    FXCorePlugin plugin(nullptr, fw.table());
    fxcore::FXCoreProgram probe;
    ASSERT_FALSE(probe.loadFromText(":00000001FF\n").ok) << "an empty image must be a load failure for this test";

    ASSERT_EQ(plugin.bankCount(), 1);
    EXPECT_EQ(plugin.bankName(0), "good");
    EXPECT_EQ(bankPrograms(plugin, 0), Modes({0}));
    EXPECT_EQ(plugin.programName(0), "good");
    for (int slot = 1; slot <= 3; ++slot) EXPECT_EQ(plugin.programName(slot), "") << slot;
    EXPECT_EQ(plugin.programName(plugin.customSlot()), "(no custom program)");
}

TEST(Banks, WithNoImageTheChipStaysWithoutAProgramButControlNamesAreRead) {
    Firmware fw;
    fw.add("kv-lumivex", "garbage", std::string("PANEL ghost\nPOT0 Drive"));
    fw.add("passthrough", "");
    FakeHost host;
    FXCorePlugin plugin(&host.host, fw.table());

    EXPECT_EQ(plugin.bankCount(), 0);
    EXPECT_EQ(plugin.paramValue(param::kProgram), 0.0);
    EXPECT_EQ(plugin.resolveProgramIndex(), 0);
    EXPECT_EQ(plugin.modeCountFor(0), 1);
    EXPECT_EQ(plugin.bankName(0), "");

    // Slot 0 is active; its control names were read though its image failed.
    const fxcoreplug::ControlNames& names = plugin.activeControlNames();
    EXPECT_TRUE(names.loaded);
    EXPECT_EQ(names.panel, "ghost");
    EXPECT_EQ(names.potName(0), "Drive");

    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 1);
    for (int i = 0; i < 3; ++i) plugin.core.run(nullptr);
    EXPECT_EQ(samplesSinceReset(plugin.core), 0);
    EXPECT_EQ(plugin.core.getOutput(0), 0.0f);
}

// ---------------------------------------------------------------------------
// The initial bank

struct InitialCase {
    std::vector<std::string> names;
    double program;        // the Program value after construction
    std::string panel;     // panel key of the active slot's control names
};

void PrintTo(const InitialCase& c, std::ostream* os) {
    for (const std::string& n : c.names) *os << '"' << n << "\" ";
}

class InitialBank : public ::testing::TestWithParam<InitialCase> {};

TEST_P(InitialBank, PrefersKvLumivexThenPassthrough) {
    const InitialCase& c = GetParam();
    Firmware fw;
    for (size_t i = 0; i < c.names.size(); ++i)
        fw.add(c.names[i], constantProgram(0.1), "PANEL p" + std::to_string(i));
    FXCorePlugin plugin(nullptr, fw.table());
    EXPECT_EQ(plugin.paramValue(param::kProgram), c.program);
    EXPECT_EQ(plugin.paramValue(param::kMode), 0.0);
    EXPECT_EQ(plugin.activeControlNames().panel, c.panel);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InitialBank,
    ::testing::Values(
        // banks alpha, passthrough, kv-lumivex ([2, 2]): the kv-lumivex bank, its first slot
        InitialCase{{"alpha", "passthrough", "kv-lumivex_1"}, 2.0, "p2"},
        // banks alpha, passthrough ([2, 2, 1]): mode 0 is filled from the first mode named
        InitialCase{{"alpha", "passthrough_2", "passthrough_1"}, 1.0, "p2"},
        InitialCase{{"alpha", "passthrough_2"}, 1.0, "p1"},
        // neither: Program 0 and slot 0
        InitialCase{{"alpha", "beta"}, 0.0, "p0"},
        InitialCase{{"beta", "Passthrough", "KV-Lumivex"}, 0.0, "p0"}));

// ---------------------------------------------------------------------------
// Selection

class Selection : public ::testing::Test {
protected:
    // Banks: "a" = [0], "b" = [1, 2, 3].
    Selection() {
        fw.add("a", constantProgram(0.125)).add("b_0", constantProgram(0.25)).add("b_1", constantProgram(0.375));
        fw.add("b_2", constantProgram(0.5));
    }
    Firmware fw;
};

TEST_F(Selection, ProgramAndModeRoundAndClamp) {
    FXCorePlugin plugin(nullptr, fw.table());
    ASSERT_EQ(plugin.bankCount(), 2);
    struct Case {
        double program, mode;
        int slot;
    };
    const Case cases[] = {
        {0.0, 0.0, 0},  {0.49, 2.0, 0}, {0.5, 0.0, 1},  {0.5, 1.0, 2},  {1.0, 1.49, 2}, {1.0, 1.5, 3},
        {1.0, 2.0, 3},  {1.0, 7.0, 3},  {1.0, 40.0, 3}, {1.0, -3.0, 1}, {9.0, 0.0, 1},  {-0.6, 5.0, 0},
        {1.0, 2.5, 3},
    };
    for (const Case& c : cases) {
        select(plugin, c.program, c.mode);
        EXPECT_EQ(plugin.resolveProgramIndex(), c.slot) << "Program " << c.program << " Mode " << c.mode;
    }
}

TEST_F(Selection, InstallsOnlyWhenTheSelectionChanges) {
    FakeHost host;
    FXCorePlugin plugin(&host.host, fw.table());

    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 1);
    EXPECT_EQ(outputAfterOneSample(plugin.core), 0.125f);

    // Unchanged: the chip keeps running (no reset) and the host is not asked again.
    plugin.applyProgramIfChanged();
    plugin.core.run(nullptr);
    EXPECT_EQ(samplesSinceReset(plugin.core), 2);
    EXPECT_EQ(host.callbackRequests.load(), 1);

    // Another Mode in bank "a" resolves to the same slot: still nothing to do.
    plugin.storeParam(param::kMode, 3.0);
    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 1);

    plugin.storeParam(param::kProgram, 1.0);
    plugin.storeParam(param::kMode, 2.0);
    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 2);
    EXPECT_EQ(outputAfterOneSample(plugin.core), 0.5f);
    EXPECT_EQ(samplesSinceReset(plugin.core), 1);

    plugin.storeParam(param::kMode, 0.6);
    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 3);
    EXPECT_EQ(outputAfterOneSample(plugin.core), 0.375f);
}

TEST_F(Selection, TheActiveSlotsControlNamesFollowTheInstallation) {
    Firmware named;
    named.add("a", constantProgram(0.125), std::string("PANEL first"));
    named.add("b", constantProgram(0.25), std::string("PANEL second\nPOT1 Depth"));
    named.add("c", constantProgram(0.375));                   // no text
    named.add("d", constantProgram(0.5), std::string(""));   // empty text
    FXCorePlugin plugin(nullptr, named.table());
    const fxcoreplug::ControlNames* const initial = &plugin.activeControlNames();
    EXPECT_EQ(initial->panel, "first");

    // Only an installation moves the active slot.
    select(plugin, 1.0, 0.0);
    EXPECT_EQ(plugin.activeControlNames().panel, "first");
    plugin.applyProgramIfChanged();
    EXPECT_EQ(plugin.activeControlNames().panel, "second");
    EXPECT_EQ(plugin.activeControlNames().potName(1), "Depth");

    for (double bank : {2.0, 3.0}) {
        select(plugin, bank, 0.0);
        plugin.applyProgramIfChanged();
        const fxcoreplug::ControlNames& names = plugin.activeControlNames();
        EXPECT_FALSE(names.loaded) << bank;
        EXPECT_EQ(names.panel, "");
        EXPECT_EQ(names.potName(1), "POT1");
        EXPECT_EQ(names.tapName(), "TAP");
    }

    select(plugin, 0.0, 0.0);
    plugin.applyProgramIfChanged();
    EXPECT_EQ(&plugin.activeControlNames(), initial);
}

TEST_F(Selection, OutOfRangeIndicesGiveNeutralAnswers) {
    FXCorePlugin plugin(nullptr, fw.table());
    for (int bank : {-1, 2, 100}) {
        EXPECT_EQ(plugin.modeCountFor(bank), 1) << bank;
        EXPECT_EQ(plugin.bankName(bank), "") << bank;
    }
    EXPECT_EQ(plugin.modeCountFor(0), 1);
    EXPECT_EQ(plugin.modeCountFor(1), 3);
    EXPECT_EQ(plugin.bankName(1), "b");
    EXPECT_EQ(plugin.customSlot(), 4);
    for (int slot : {-1, 5, 1000}) EXPECT_EQ(plugin.programName(slot), "") << slot;
    EXPECT_EQ(plugin.programName(3), "b_2");
    EXPECT_EQ(plugin.programName(4), "(no custom program)");
}

// ---------------------------------------------------------------------------
// Host callbacks

TEST(HostCallbacks, RescanOncePerRaisedFlag) {
    Firmware fw;
    fw.add("a", constantProgram(0.125)).add("b", constantProgram(0.25));
    FakeHost host;
    FXCorePlugin plugin(&host.host, fw.table());

    plugin.onMainThread();
    EXPECT_EQ(host.rescans.load(), 0) << "nothing was raised";
    EXPECT_EQ(host.paramsLookups.load(), 0);

    plugin.applyProgramIfChanged();
    plugin.storeParam(param::kProgram, 1.0);
    plugin.applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 2);
    EXPECT_EQ(host.rescans.load(), 0) << "the rescan waits for the main thread";

    plugin.onMainThread();
    EXPECT_EQ(host.rescans.load(), 1);
    EXPECT_EQ(host.lastRescanFlags.load(), uint32_t{CLAP_PARAM_RESCAN_INFO});
    EXPECT_EQ(host.lastRescanFlags.load(), 4u);
    plugin.onMainThread();
    EXPECT_EQ(host.rescans.load(), 1);

    plugin.requestParamRescan();
    EXPECT_EQ(host.callbackRequests.load(), 3);
    plugin.onMainThread();
    EXPECT_EQ(host.rescans.load(), 2);
}

TEST(HostCallbacks, AHostWithoutParamsOrNoHostAtAllIsTolerated) {
    Firmware fw;
    fw.add("a", constantProgram(0.125));

    FakeHost host;
    host.offerParams = false;
    FXCorePlugin withHost(&host.host, fw.table());
    withHost.applyProgramIfChanged();
    withHost.onMainThread();
    EXPECT_EQ(host.callbackRequests.load(), 1);
    EXPECT_EQ(host.paramsLookups.load(), 1);
    EXPECT_EQ(host.rescans.load(), 0);

    FXCorePlugin alone(nullptr, fw.table());
    alone.applyProgramIfChanged();
    alone.requestParamRescan();
    alone.onMainThread();
    EXPECT_EQ(outputAfterOneSample(alone.core), 0.125f);
}

// ---------------------------------------------------------------------------
// The custom program

class CustomProgram : public ::testing::Test {
protected:
    CustomProgram() {
        fw.add("a", constantProgram(0.125)).add("b", constantProgram(0.25));
        plugin.emplace(&host.host, fw.table());
        plugin->applyProgramIfChanged();
    }
    FXCorePlugin& p() { return *plugin; }

    Firmware fw;
    FakeHost host;
    std::optional<FXCorePlugin> plugin;
    const std::string first = constantProgram(-0.5, 2, 1);
    const std::string second = constantProgram(0.75, 3, 2);
};

TEST_F(CustomProgram, ALoadAddsTheLoadedBankAndSelectsIt) {
    std::string error = "untouched";
    p().storeParam(param::kMode, 5.0);
    ASSERT_TRUE(p().loadCustomHex(first, "mine", error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(p().customHexText(), first);
    EXPECT_EQ(p().customProgramName(), "mine");
    EXPECT_EQ(p().programName(p().customSlot()), "mine");
    ASSERT_EQ(p().bankCount(), 3);
    EXPECT_EQ(p().bankName(2), "(loaded)");
    EXPECT_EQ(bankPrograms(p(), 2), Modes({p().customSlot()}));
    EXPECT_EQ(p().paramValue(param::kProgram), 2.0);
    EXPECT_EQ(p().paramValue(param::kMode), 0.0);
    EXPECT_EQ(p().resolveProgramIndex(), p().customSlot());
    EXPECT_EQ(host.callbackRequests.load(), 1) << "the load itself reports nothing to the host";

    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 2);
    EXPECT_EQ(outputAfterOneSample(p().core), -0.5f);

    // The custom slot has no control names.
    EXPECT_FALSE(p().activeControlNames().loaded);
    EXPECT_EQ(p().activeControlNames().potName(0), "POT0");
}

TEST_F(CustomProgram, ASecondLoadReusesTheBankAndIsInstalledAgain) {
    std::string error;
    ASSERT_TRUE(p().loadCustomHex(first, "one", error));
    p().applyProgramIfChanged();
    ASSERT_EQ(outputAfterOneSample(p().core), -0.5f);

    select(p(), 0.0, 4.0);
    ASSERT_TRUE(p().loadCustomHex(second, "two", error));
    EXPECT_EQ(p().bankCount(), 3);
    EXPECT_EQ(p().bankName(2), "(loaded)");
    EXPECT_EQ(p().paramValue(param::kProgram), 2.0);
    EXPECT_EQ(p().paramValue(param::kMode), 0.0);
    EXPECT_EQ(p().customHexText(), second);
    EXPECT_EQ(p().programName(p().customSlot()), "two");

    p().applyProgramIfChanged();
    EXPECT_EQ(outputAfterOneSample(p().core), 0.75f);
    EXPECT_EQ(host.callbackRequests.load(), 3);

    // Same slot, same generation: nothing more to install.
    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 3);

    // Loading again while the custom slot is already installed re-installs it.
    ASSERT_TRUE(p().loadCustomHex(first, "three", error));
    p().applyProgramIfChanged();
    EXPECT_EQ(outputAfterOneSample(p().core), -0.5f);
    EXPECT_EQ(host.callbackRequests.load(), 4);
}

TEST_F(CustomProgram, WithTheShippedFirmwareTheLoadedBankIsProgramsMaximum) {
    FXCorePlugin shipped(nullptr);
    std::string error;
    ASSERT_TRUE(shipped.loadCustomHex(first, "mine", error));
    ASSERT_EQ(shipped.bankCount(), 2);
    EXPECT_EQ(shipped.bankName(1), "(loaded)");
    EXPECT_EQ(shipped.paramValue(param::kProgram), shipped.defFor(param::kProgram)->max);
    shipped.applyProgramIfChanged();
    EXPECT_EQ(outputAfterOneSample(shipped.core), -0.5f);
}

TEST_F(CustomProgram, AFailedLoadChangesNothingButTheError) {
    fxcore::FXCoreProgram reference;
    const std::string loaderMessage = reference.loadFromText("garbage").error;
    ASSERT_FALSE(loaderMessage.empty());

    // Before any custom program.
    std::string error;
    EXPECT_FALSE(p().loadCustomHex("garbage", "bad", error));
    EXPECT_EQ(error, loaderMessage);
    EXPECT_EQ(p().bankCount(), 2);
    EXPECT_EQ(p().customHexText(), "");
    EXPECT_EQ(p().customProgramName(), "");
    EXPECT_EQ(p().programName(p().customSlot()), "(no custom program)");
    EXPECT_EQ(p().paramValue(param::kProgram), 0.0);
    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 1);

    // After one.
    ASSERT_TRUE(p().loadCustomHex(first, "good", error));
    p().applyProgramIfChanged();
    select(p(), 1.0, 3.0);
    p().applyProgramIfChanged();
    ASSERT_EQ(outputAfterOneSample(p().core), 0.25f);
    const int callbacks = host.callbackRequests.load();

    error.clear();
    EXPECT_FALSE(p().loadCustomHex("garbage", "bad", error));
    EXPECT_EQ(error, loaderMessage);
    EXPECT_EQ(p().bankCount(), 3);
    EXPECT_EQ(p().customHexText(), first);
    EXPECT_EQ(p().customProgramName(), "good");
    EXPECT_EQ(p().programName(p().customSlot()), "good");
    EXPECT_EQ(p().paramValue(param::kProgram), 1.0);
    EXPECT_EQ(p().paramValue(param::kMode), 3.0);
    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), callbacks);

    // The earlier custom image is still the one the loaded bank plays.
    select(p(), 2.0, 0.0);
    p().applyProgramIfChanged();
    EXPECT_EQ(outputAfterOneSample(p().core), -0.5f);
}

// ---------------------------------------------------------------------------
// Activation and reset

class Lifecycle : public ::testing::Test {
protected:
    Lifecycle() {
        fw.add("a", constantProgram(0.125));
        plugin.emplace(&host.host, fw.table());
    }
    FXCorePlugin& p() { return *plugin; }

    Firmware fw;
    FakeHost host;
    std::optional<FXCorePlugin> plugin;
};

TEST_F(Lifecycle, ActivateTakesPositiveRatesAndDefaultsTheRest) {
    struct Case {
        double in, rate;
    };
    for (const Case& c : {Case{96000.0, 96000.0}, Case{0.0, 48000.0}, Case{44100.0, 44100.0}, Case{-1.0, 48000.0}}) {
        EXPECT_TRUE(p().activate(c.in, 32, 4096));
        EXPECT_EQ(p().sampleRate, c.rate) << c.in;
        EXPECT_EQ(p().core.sampleRate, c.rate) << c.in;
    }
}

TEST_F(Lifecycle, ActivateForcesTheNextInstallationAndClearsForcedPresses) {
    p().applyProgramIfChanged();
    for (int i = 0; i < 10; ++i) p().core.run(nullptr);
    ASSERT_EQ(samplesSinceReset(p().core), 10);
    p().switchPulses = {1, 2, 3, 4, 5, 6};
    p().tapTimers = {7, 8, 9, 10, 11, 12};

    ASSERT_TRUE(p().activate(48000.0, 1, 512));
    EXPECT_EQ(p().switchPulses, (std::array<int32_t, 6>{}));
    EXPECT_EQ(p().tapTimers, (std::array<int32_t, 6>{7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(host.callbackRequests.load(), 1) << "installation happens at the next check, not in activate";

    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 2);
    EXPECT_EQ(samplesSinceReset(p().core), 0) << "installing again resets the chip";
    EXPECT_EQ(outputAfterOneSample(p().core), 0.125f);
}

TEST_F(Lifecycle, ResetRestartsTheChipAndClearsForcedPresses) {
    p().applyProgramIfChanged();
    for (int i = 0; i < 10; ++i) p().core.run(nullptr);
    p().switchPulses = {1, 2, 3, 4, 5, 6};
    p().tapTimers = {7, 8, 9, 10, 11, 12};

    p().reset();
    EXPECT_EQ(samplesSinceReset(p().core), 0);
    EXPECT_EQ(p().switchPulses, (std::array<int32_t, 6>{}));
    EXPECT_EQ(p().tapTimers, (std::array<int32_t, 6>{7, 8, 9, 10, 11, 12}));
    // The program stays installed, and nothing is re-installed.
    EXPECT_EQ(outputAfterOneSample(p().core), 0.125f);
    p().applyProgramIfChanged();
    EXPECT_EQ(host.callbackRequests.load(), 1);
}

}  // namespace
