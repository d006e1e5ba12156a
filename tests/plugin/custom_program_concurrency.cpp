// Custom programs loaded on the main thread while the audio thread keeps
// installing the selection and running the chip: the chip only ever plays whole
// images, and it settles on the last one loaded.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "plugin_test_support.h"
#include "wait.h"

namespace {

using fxcoreplug::FXCorePlugin;
using testsupport::waitFor;

constexpr float kFirmwareOut = 0.125f;
constexpr float kFirstOut = -0.25f;
constexpr float kSecondOut = 0.5f;
constexpr int kLoads = 600;

TEST(CustomProgramConcurrency, TheAudioThreadOnlyPlaysWholeImagesAndEndsOnTheLastLoad) {
    plugtest::Firmware fw;
    fw.add("kv-lumivex", plugtest::constantProgram(kFirmwareOut, 1));
    // The two custom images keep their constant in different registers and differ in
    // length: the words of one with the presets of the other write 0.
    const std::string images[2] = {plugtest::constantProgram(kFirstOut, 2, 1),
                                   plugtest::constantProgram(kSecondOut, 3, 4)};
    const float outs[2] = {kFirstOut, kSecondOut};

    plugtest::FakeHost host;
    FXCorePlugin plugin(&host.host, fw.table());

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> blocks{0};
    std::atomic<uint64_t> strange{0};
    std::atomic<float> strangeValue{0.0f};
    std::atomic<float> lastOut{0.0f};

    std::thread audio([&] {
        while (!stop.load()) {
            plugin.applyProgramIfChanged();
            const float out = plugtest::outputAfterOneSample(plugin.core);
            if (out != kFirmwareOut && out != kFirstOut && out != kSecondOut) {
                strange.fetch_add(1);
                strangeValue.store(out);
            }
            lastOut.store(out);
            blocks.fetch_add(1);
        }
    });

    // The main thread: loads, sometimes a selection of the firmware bank in between
    // (as the panel or the host would make it), and the host's main-thread callback.
    std::thread loader([&] {
        for (int i = 0; i < kLoads; ++i) {
            std::string error;
            const std::string name = "custom " + std::to_string(i);
            EXPECT_TRUE(plugin.loadCustomHex(images[i % 2], name, error)) << error;
            if (i % 7 == 3) plugin.storeParam(fxcoreplug::param::kProgram, 0.0);
            plugin.onMainThread();
            // Every other load lets the audio thread run at least one block first, so
            // the loads interleave with installations rather than all landing at once.
            if (i % 2 == 0) {
                const uint64_t seen = blocks.load();
                EXPECT_TRUE(waitFor([&] { return blocks.load() > seen; })) << "the audio thread stalled";
            }
        }
    });
    loader.join();

    const float expected = outs[(kLoads - 1) % 2];
    const bool settled = waitFor([&] { return lastOut.load() == expected; });
    stop.store(true);
    audio.join();

    EXPECT_TRUE(settled) << "last output " << lastOut.load() << ", expected " << expected;
    EXPECT_EQ(strange.load(), 0u) << "an output no whole image writes: " << strangeValue.load();
    EXPECT_EQ(plugin.customProgramName(), "custom " + std::to_string(kLoads - 1));
    EXPECT_EQ(plugin.customHexText(), images[(kLoads - 1) % 2]);
    EXPECT_EQ(plugin.bankCount(), 2);
    EXPECT_EQ(plugin.bankName(1), "(loaded)");
    EXPECT_GT(host.callbackRequests.load(), 0);
}

}  // namespace
