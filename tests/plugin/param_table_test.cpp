// The 18-row parameter table, the lookups by id, the clamp every writer applies,
// the rounding of Program and Mode to indices and the current bank.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>

#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "plugin_test_support.h"

namespace {

using fxcoreplug::FXCorePlugin;
namespace param = fxcoreplug::param;

constexpr uint32_t kContinuous = 1056;  // automatable | modulatable
constexpr uint32_t kStepped = 33;       // stepped | automatable

struct Row {
    uint32_t id;
    const char* name;
    const char* module;
    double min, max, def;
    uint32_t flags;
};

// Program's maximum is the number of compiled-in programs: 1 with the shipped firmware.
const std::array<Row, 18> kExpected = {{
    {100, "POT0", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {101, "POT1", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {102, "POT2", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {103, "POT3", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {104, "POT4", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {105, "POT5", "Pots", 0.0, 1.0, 0.5, kContinuous},
    {200, "SW0", "Switches", 0.0, 1.0, 0.0, kStepped},
    {201, "SW1", "Switches", 0.0, 1.0, 0.0, kStepped},
    {202, "SW2", "Switches", 0.0, 1.0, 0.0, kStepped},
    {203, "SW3", "Switches", 0.0, 1.0, 0.0, kStepped},
    {204, "SW4", "Switches", 0.0, 1.0, 0.0, kStepped},
    {300, "ENABLE", "Switches", 0.0, 1.0, 1.0, kStepped},
    {301, "TAP", "Switches", 0.0, 1.0, 0.0, kStepped},
    {400, "Program", "Program", 0.0, 1.0, 0.0, kStepped},
    {401, "Monitor", "Program", 0.0, 1.0, 0.0, kStepped},
    {402, "Mode", "Program", 0.0, 7.0, 0.0, kStepped},
    {500, "Input Trim", "Levels", -24.0, 24.0, 0.0, kContinuous},
    {501, "Output Trim", "Levels", -24.0, 24.0, 0.0, kContinuous},
}};

// Ids next to the real ones, and the extremes.
const std::array<uint32_t, 9> kUnknownIds = {0, 99, 106, 199, 205, 302, 403, 502, UINT32_MAX};

TEST(ParamTable, HoldsTheEighteenRowsInOrder) {
    const auto& defs = FXCorePlugin::paramDefs();
    ASSERT_EQ(defs.size(), kExpected.size());
    ASSERT_EQ(FXCorePlugin::kParamCount, kExpected.size());
    for (size_t i = 0; i < kExpected.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const Row& want = kExpected[i];
        EXPECT_EQ(defs[i].id, want.id);
        EXPECT_STREQ(defs[i].name, want.name);
        EXPECT_STREQ(defs[i].module, want.module);
        EXPECT_EQ(defs[i].min, want.min);
        EXPECT_EQ(defs[i].max, want.max);
        EXPECT_EQ(defs[i].def, want.def);
        EXPECT_EQ(defs[i].flags, want.flags);
        EXPECT_EQ(defs[i].flags & CLAP_PARAM_IS_HIDDEN, 0u);
    }
    // The same table every time.
    EXPECT_EQ(&FXCorePlugin::paramDefs(), &defs);
}

TEST(ParamTable, ProgramMaximumIsTheCompiledInProgramCount) {
    ASSERT_EQ(fxcoreplug::kEmbeddedProgramCount, 1);
    const FXCorePlugin plugin(nullptr);
    const FXCorePlugin::ParamDef* program = plugin.defFor(param::kProgram);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->max, static_cast<double>(fxcoreplug::kEmbeddedProgramCount));
    EXPECT_EQ(program->max, 1.0);
}

class ParamLookup : public ::testing::Test {
protected:
    FXCorePlugin plugin{nullptr};

    std::array<double, 18> snapshot() const {
        std::array<double, 18> out{};
        for (size_t i = 0; i < kExpected.size(); ++i) out[i] = plugin.paramValue(kExpected[i].id);
        return out;
    }
};

TEST_F(ParamLookup, KnownIdsFindTheirRowAndOwnSlotStartingAtTheDefault) {
    const auto& defs = FXCorePlugin::paramDefs();
    std::set<const std::atomic<double>*> slots;
    for (size_t i = 0; i < defs.size(); ++i) {
        SCOPED_TRACE(defs[i].name);
        EXPECT_EQ(plugin.defFor(defs[i].id), &defs[i]);
        std::atomic<double>* slot = plugin.slotFor(defs[i].id);
        ASSERT_NE(slot, nullptr);
        slots.insert(slot);
        EXPECT_EQ(slot->load(), defs[i].def);
        EXPECT_EQ(plugin.paramValue(defs[i].id), defs[i].def);
    }
    EXPECT_EQ(slots.size(), defs.size());

    // A value written into an id's slot is what paramValue reads for that id, and
    // for no other.
    for (size_t i = 0; i < defs.size(); ++i) plugin.slotFor(defs[i].id)->store(1000.0 + static_cast<double>(i));
    for (size_t i = 0; i < defs.size(); ++i) EXPECT_EQ(plugin.paramValue(defs[i].id), 1000.0 + static_cast<double>(i));
}

TEST_F(ParamLookup, UnknownIdsFindNothing) {
    for (uint32_t id : kUnknownIds) {
        SCOPED_TRACE(id);
        EXPECT_EQ(plugin.defFor(id), nullptr);
        EXPECT_EQ(plugin.slotFor(id), nullptr);
        EXPECT_EQ(plugin.paramValue(id), 0.0);
    }
}

TEST_F(ParamLookup, StoresAreClampedToTheRowRange) {
    struct Case {
        uint32_t id;
        double in, stored;
    };
    const Case cases[] = {
        {param::kPot0 + 2, 5.0, 1.0},       {param::kPot0, -0.1, 0.0},          {param::kPot0 + 5, 0.37, 0.37},
        {param::kInputTrim, -30.0, -24.0},  {param::kInputTrim, 30.0, 24.0},    {param::kOutputTrim, -6.5, -6.5},
        {param::kOutputTrim, 24.0, 24.0},   {param::kOutputTrim, -24.0, -24.0}, {param::kMode, 9.0, 7.0},
        {param::kMode, 3.4, 3.4},           {param::kProgram, 5.0, 1.0},        {param::kProgram, -2.0, 0.0},
        {param::kSw0 + 4, 1.5, 1.0},        {param::kTap, -1.0, 0.0},
        {param::kPot0 + 1, std::numeric_limits<double>::infinity(), 1.0},
        {param::kPot0 + 1, -std::numeric_limits<double>::infinity(), 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " <- " + std::to_string(c.in));
        EXPECT_EQ(plugin.storeParam(c.id, c.in), c.stored);
        EXPECT_EQ(plugin.paramValue(c.id), c.stored);
    }
}

TEST_F(ParamLookup, NanIsNeverStoredAndTheValueStays) {
    plugin.storeParam(param::kPot0 + 3, 0.25);
    EXPECT_EQ(plugin.storeParam(param::kPot0 + 3, std::nan("")), 0.25);
    EXPECT_EQ(plugin.storeParam(param::kOutputTrim, -std::nan("")), 0.0);
    EXPECT_EQ(plugin.paramValue(param::kPot0 + 3), 0.25);
    EXPECT_EQ(plugin.paramValue(param::kOutputTrim), 0.0);
}

TEST_F(ParamLookup, StoresForUnknownIdsChangeNothing) {
    plugin.storeParam(param::kPot0, 0.8);
    plugin.storeParam(param::kInputTrim, -3.0);
    const auto before = snapshot();
    for (uint32_t id : kUnknownIds) {
        plugin.storeParam(id, 0.25);
        plugin.storeParam(id, -100.0);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST(ParamRounding, HalvesGoAwayFromZero) {
    struct Case {
        double in;
        int out;
    };
    const Case cases[] = {
        {0.0, 0},  {0.49, 0},   {0.5, 1},   {1.49999, 1}, {1.5, 2},   {2.5, 3},    {6.5, 7},
        {7.0, 7},  {-0.49, 0},  {-0.5, -1}, {-1.5, -2},   {-2.5, -3}, {3.0000001, 3},
    };
    for (const Case& c : cases) EXPECT_EQ(fxcoreplug::roundIndex(c.in), c.out) << c.in;
}

TEST(CurrentBank, RoundsProgramAndKeepsItWithinTheBanks) {
    plugtest::Firmware fw;
    fw.add("a", plugtest::constantProgram(0.125)).add("b", plugtest::constantProgram(0.25));
    fw.add("c", plugtest::constantProgram(0.375));
    FXCorePlugin plugin(nullptr, fw.table());
    ASSERT_EQ(plugin.bankCount(), 3);

    struct Case {
        double program;
        int bank;
    };
    const Case cases[] = {
        {0.0, 0}, {0.49, 0}, {0.5, 1}, {1.49, 1}, {1.5, 2}, {2.0, 2}, {2.5, 2}, {40.0, 2}, {-0.49, 0}, {-0.5, 0}, {-7.0, 0},
    };
    for (const Case& c : cases) {
        plugin.slotFor(param::kProgram)->store(c.program);
        EXPECT_EQ(plugin.currentBank(), c.bank) << "Program " << c.program;
    }
}

TEST(CurrentBank, IsZeroWithTheShippedBankAndWithNoBanks) {
    FXCorePlugin shipped(nullptr);
    ASSERT_EQ(shipped.bankCount(), 1);
    EXPECT_EQ(shipped.currentBank(), 0);
    shipped.slotFor(param::kProgram)->store(3.0);
    EXPECT_EQ(shipped.currentBank(), 0);

    plugtest::Firmware broken;
    broken.add("kv-lumivex", "not an image");
    FXCorePlugin empty(nullptr, broken.table());
    ASSERT_EQ(empty.bankCount(), 0);
    empty.slotFor(param::kProgram)->store(1.0);
    EXPECT_EQ(empty.currentBank(), 0);
}

}  // namespace
