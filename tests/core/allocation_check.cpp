// After construction the core never allocates: every operation the audio thread may
// call is run here under a global allocator that counts (counting_allocator.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "core_probe.h"
#include "counting_allocator.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"

namespace {

using fxcore::CoreProbe;
using fxcore::FXCoreCore;
using testsupport::allocationsDuring;

// A full-length program that cycles through every valid opcode with varying
// operands, with an invalid word now and then. Jumps skip nothing, so every word
// runs on every sample.
std::vector<uint32_t> everyOpcodeProgram(size_t length) {
    const auto table = fxcore::opcodeTable();
    std::vector<uint32_t> words(length);
    for (size_t i = 0; i < length; ++i) {
        if (i % 97 == 96) {
            words[i] = 0x01000000u;  // bit 24: invalid
            continue;
        }
        const unsigned op = table[i % table.size()].opcode;
        const bool jump = op >= 87 && op <= 92;
        const unsigned high = static_cast<unsigned>(i * 7 + 3) & 0xFFu;
        const unsigned low = jump ? 0u : static_cast<unsigned>(i * 2654435761u) & 0xFFFFu;
        words[i] = fxcore::makeWord(op, high, low);
    }
    return words;
}

std::atomic<void*> g_sink{nullptr};

struct alignas(64) OverAligned {
    unsigned char bytes[64];
};

TEST(CoreAllocation, CountingAllocatorSeesEveryKindOfNew) {
    EXPECT_EQ(allocationsDuring([] { g_sink.store(new int[16]); }), 1);
    delete[] static_cast<int*>(g_sink.exchange(nullptr));
    EXPECT_EQ(allocationsDuring([] { g_sink.store(new (std::nothrow) int(3)); }), 1);
    delete static_cast<int*>(g_sink.exchange(nullptr));
    EXPECT_EQ(allocationsDuring([] { g_sink.store(new OverAligned{}); }), 1);
    auto* aligned = static_cast<OverAligned*>(g_sink.exchange(nullptr));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    delete aligned;
}

TEST(CoreAllocation, InstallingProgramsAndPresetsDoesNotAllocate) {
    auto core = std::make_unique<FXCoreCore>();
    const std::vector<uint32_t> full = everyOpcodeProgram(1024);
    const std::vector<uint32_t> longer = everyOpcodeProgram(1500);
    FXCoreCore::Presets presets;
    presets.creg[3] = 0x12345678;
    presets.sfr[10] = 10;
    presets.sfr[44] = 32767;
    presets.userInit[1] = 1;

    EXPECT_EQ(allocationsDuring([&] { core->setProgram(nullptr, 0); }), 0);
    EXPECT_EQ(allocationsDuring([&] { core->setProgram(full.data(), full.size()); }), 0);
    EXPECT_EQ(allocationsDuring([&] { core->setProgram(longer.data(), longer.size()); }), 0);
    EXPECT_EQ(allocationsDuring([&] { core->setPresets(presets); }), 0);
    EXPECT_EQ(allocationsDuring([&] { core->reset(); }), 0);
    EXPECT_EQ(CoreProbe::programLength(*core), 1024);
    EXPECT_EQ(CoreProbe::creg(*core, 3), 0x12345678);
}

TEST(CoreAllocation, RunningEveryOpcodeAndPeripheralDoesNotAllocate) {
    auto core = std::make_unique<FXCoreCore>();
    const std::vector<uint32_t> program = everyOpcodeProgram(1024);
    FXCoreCore::Presets presets;
    presets.switchDebounceSamples = 3;
    presets.tapDebounceSamples = 3;
    presets.tapHoldSamples = 50;
    presets.sfr[28] = 50000000;
    presets.sfr[33] = -777777;
    for (int i = 0; i < 16; ++i) presets.creg[i] = static_cast<int32_t>(0x9E3779B9u * static_cast<uint32_t>(i + 1));
    core->setPresets(presets);
    ASSERT_TRUE(core->setProgram(program.data(), program.size()));
    const float in[4] = {0.5f, -0.99f, 0.0f, 1.0f};

    const long allocations = allocationsDuring([&] {
        for (int n = 0; n < 4000; ++n) {
            core->pins = (n / 40) % 2 == 0 ? 0x7Fu : 0x00u;  // every switch and the tap bounce
            const float pots[6] = {n / 4000.0f, 0.5f, 1.0f, 0.0f, 0.25f, 0.75f};
            core->setPots(pots);
            core->run(n % 3 == 0 ? nullptr : in);
        }
        int pc = 0;
        while (pc < FXCoreCore::kProgramWords) pc = core->step(pc);
    });
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(core->readSFR(46), 4000);
}

TEST(CoreAllocation, ControlsAndReadOutsDoNotAllocate) {
    auto core = std::make_unique<FXCoreCore>();
    const uint32_t words[2] = {fxcore::makeWord(106, 1, 0), fxcore::makeWord(52, 1, 5)};
    ASSERT_TRUE(core->setProgram(words, 2));
    float out[4] = {};
    float duty[2] = {};
    volatile int32_t sink = 0;

    const long allocations = allocationsDuring([&] {
        for (int k = -1; k <= 7; ++k) core->setPin(k, k % 2 == 0);
        for (int k = -1; k <= 6; ++k) core->setPot(k, 0.3f);
        core->readUserDuty(duty);
        core->run(nullptr);
        core->readUserDuty(duty);
        core->readUserDuty(duty);
        for (int k = -1; k <= 64; ++k) {
            core->writeSFR(k, k * 1000);
            sink = core->readSFR(k);
        }
        out[0] = core->getOutput(1);
        core->getOutputs(out);
    });
    EXPECT_EQ(allocations, 0);
    (void)sink;
}

}  // namespace
