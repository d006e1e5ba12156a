// State records loaded on the main thread while the audio thread keeps processing:
// the audio only ever plays one of the programs whole, every parameter value read
// is one some record (or the start) holds, and the sound settles on the last
// record's program.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "surface_support.h"
#include "wait.h"

namespace {

using fxcoreplug::FXCorePlugin;
namespace param = fxcoreplug::param;
using testsupport::waitFor;

constexpr float kFirmwareOut = 0.125f;
constexpr std::array<float, 2> kRecordOut = {-0.25f, 0.5f};
constexpr int kLoads = 400;

double potValue(int record, int pot) { return record == 0 ? 0.11 + 0.01 * pot : 0.91 - 0.01 * pot; }

TEST(StateLoadConcurrency, AudioPlaysWholeProgramsAndSettlesOnTheLastRecord) {
    surface::Firmware fw;
    fw.add("kv-lumivex", surface::constantProgram(kFirmwareOut, 1));
    surface::FakeHost host;
    FXCorePlugin plugin(&host.host, fw.table());

    // The two custom programs keep their constants in different registers and differ
    // in length, so a program put together from both writes 0.
    std::array<surface::Bytes, 2> records;
    for (int r = 0; r < 2; ++r) {
        auto pairs = surface::freshPairs();
        for (int k = 0; k < 6; ++k) pairs[static_cast<size_t>(k)].second = potValue(r, k);
        pairs[13].second = 1.0;  // Program: "(loaded)"
        records[static_cast<size_t>(r)] =
            surface::record(pairs, "record " + std::to_string(r),
                            surface::constantProgram(kRecordOut[static_cast<size_t>(r)], 2 + r, 1 + 3 * r), "(loaded)");
    }
    ASSERT_TRUE(plugin.activate(48000.0, 1, 32));

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> blocks{0};
    std::atomic<float> lastOut{0.0f};
    std::atomic<uint64_t> strangeSamples{0};
    std::atomic<float> strangeValue{0.0f};
    std::atomic<uint64_t> strangeValues{0};

    std::thread audio([&] {
        surface::StereoBlock block(32);
        while (!stop.load()) {
            plugin.process(&block.process);
            for (float s : block.outL) {
                if (s != kFirmwareOut && s != kRecordOut[0] && s != kRecordOut[1]) {
                    strangeSamples.fetch_add(1);
                    strangeValue.store(s);
                }
            }
            for (int k = 0; k < 6; ++k) {
                const double v = plugin.paramValue(param::kPot0 + static_cast<uint32_t>(k));
                if (v != 0.5 && v != potValue(0, k) && v != potValue(1, k)) strangeValues.fetch_add(1);
            }
            const double program = plugin.paramValue(param::kProgram);
            if (program != 0.0 && program != 1.0) strangeValues.fetch_add(1);
            lastOut.store(block.outL.back());
            blocks.fetch_add(1);
        }
    });

    for (int i = 0; i < kLoads; ++i) {
        surface::MemoryIn in(records[static_cast<size_t>(i % 2)], i % 3 == 0 ? 5 : 0);
        EXPECT_TRUE(plugin.stateLoad(&in.stream)) << i;
        plugin.onMainThread();
        // Every other load waits for the audio thread to run a block, so loads land
        // both between blocks and in bursts.
        if (i % 2 == 0) {
            const uint64_t seen = blocks.load();
            ASSERT_TRUE(waitFor([&] { return blocks.load() > seen; })) << "the audio thread stalled";
        }
    }

    const int last = (kLoads - 1) % 2;
    const bool settled = waitFor([&] { return lastOut.load() == kRecordOut[static_cast<size_t>(last)]; });
    const uint64_t settledAt = blocks.load();
    ASSERT_TRUE(waitFor([&] { return blocks.load() > settledAt + 3; }));
    stop.store(true);
    audio.join();

    EXPECT_TRUE(settled) << "the audio ended on " << lastOut.load();
    EXPECT_EQ(lastOut.load(), kRecordOut[static_cast<size_t>(last)]) << "and stays there";
    EXPECT_EQ(strangeSamples.load(), 0u) << "e.g. " << strangeValue.load();
    EXPECT_EQ(strangeValues.load(), 0u);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(plugin.paramValue(param::kPot0 + static_cast<uint32_t>(k)), potValue(last, k));
    EXPECT_EQ(plugin.customProgramName(), "record " + std::to_string(last));
    EXPECT_EQ(plugin.paramValue(param::kProgram), 1.0);
}

}  // namespace
