// Cost of the plug-in's process call for a 256-frame block with the shipped
// kv-lumivex firmware, next to the bare chip running the same firmware for 256
// samples: the difference is what the plug-in adds around the chip (events, the
// pin word, gains, the output pair, the queue drain). Each benchmark reports
// nanoseconds per block and "x_realtime_48k": seconds of 48 kHz audio processed
// per CPU second.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "clap/clap.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"
#include "fxcoreplug/embedded_programs.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace {

constexpr uint32_t kFrames = 256;
// Every knob somewhere in the middle of its travel.
constexpr std::array<float, 6> kKnobs = {0.3f, 0.5f, 0.45f, 0.4f, 0.7f, 0.35f};

// A guitar-like test signal: a decaying tone, different on the two sides. Long
// enough that the blocks do not repeat the same few samples.
struct Signal {
    std::vector<float> left, right;
    Signal() : left(48000), right(48000) {
        for (size_t i = 0; i < left.size(); ++i) {
            const float env = std::exp(-static_cast<float>(i % 12000) / 3000.0f);
            left[i] = 0.4f * env * std::sin(2.0f * 3.14159265f * 196.0f * static_cast<float>(i) / 48000.0f);
            right[i] = 0.3f * env * std::sin(2.0f * 3.14159265f * 247.0f * static_cast<float>(i) / 48000.0f);
        }
    }
    size_t blocks() const { return left.size() / kFrames; }
};

void reportBlocks(benchmark::State& state) {
    const double blocks = static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<int64_t>(blocks * kFrames));
    state.counters["ns_per_block"] =
        benchmark::Counter(blocks * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime_48k"] = benchmark::Counter(blocks * kFrames / 48000.0, benchmark::Counter::kIsRate);
}

// An event list with nothing in it, and an output list that takes nothing: the
// host's lists as most blocks see them.
const clap_input_events kNoEvents{
    nullptr, [](const clap_input_events*) -> uint32_t { return 0; },
    [](const clap_input_events*, uint32_t) -> const clap_event_header* { return nullptr; }};
const clap_output_events kDiscard{nullptr, [](const clap_output_events*, const clap_event_header*) { return true; }};

void BM_PluginProcess256(benchmark::State& state) {
    fxcoreplug::FXCorePlugin plugin(nullptr);
    plugin.activate(48000.0, kFrames, kFrames);
    for (uint32_t k = 0; k < 6; ++k) plugin.storeParam(fxcoreplug::param::kPot0 + k, kKnobs[k]);

    const Signal signal;
    std::vector<float> outLeft(kFrames), outRight(kFrames);
    float* inPtrs[2] = {nullptr, nullptr};
    float* outPtrs[2] = {outLeft.data(), outRight.data()};
    clap_audio_buffer in{};
    in.data32 = inPtrs;
    in.channel_count = 2;
    clap_audio_buffer out{};
    out.data32 = outPtrs;
    out.channel_count = 2;
    clap_process proc{};
    proc.steady_time = -1;
    proc.frames_count = kFrames;
    proc.audio_inputs = &in;
    proc.audio_inputs_count = 1;
    proc.audio_outputs = &out;
    proc.audio_outputs_count = 1;
    proc.in_events = &kNoEvents;
    proc.out_events = &kDiscard;

    size_t block = 0;
    for (auto _ : state) {
        const size_t at = (block++ % signal.blocks()) * kFrames;
        inPtrs[0] = const_cast<float*>(signal.left.data() + at);
        inPtrs[1] = const_cast<float*>(signal.right.data() + at);
        plugin.process(&proc);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::DoNotOptimize(outRight.data());
        benchmark::ClobberMemory();
    }
    reportBlocks(state);
}

void BM_BareCore256(benchmark::State& state) {
    fxcore::FXCoreProgram image;
    if (!image.loadFromText(fxcoreplug::kEmbeddedPrograms[0].hexText).ok) {
        state.SkipWithError("firmware image did not load");
        return;
    }
    fxcore::FXCoreCore core;
    image.applyTo(core);
    core.setPots(kKnobs.data());

    const Signal signal;
    std::vector<float> outLeft(kFrames), outRight(kFrames);
    size_t block = 0;
    for (auto _ : state) {
        const size_t at = (block++ % signal.blocks()) * kFrames;
        for (uint32_t s = 0; s < kFrames; ++s) {
            const float chipIn[4] = {signal.left[at + s], signal.right[at + s], 0.0f, 0.0f};
            core.run(chipIn);
            outLeft[s] = core.getOutput(0);
            outRight[s] = core.getOutput(1);
        }
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::DoNotOptimize(outRight.data());
        benchmark::ClobberMemory();
    }
    reportBlocks(state);
}

}  // namespace

BENCHMARK(BM_PluginProcess256);
BENCHMARK(BM_BareCore256);
