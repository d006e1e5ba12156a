// Cost of one chip sample. Each benchmark reports nanoseconds per sample and
// "x_realtime_48k": seconds of 48 kHz audio processed per CPU second.
#include <benchmark/benchmark.h>

#include <vector>

#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"
#include "fxcore/instruction_set.h"
#include "fxcore/sfr_map.h"

namespace {

using fxcore::FXCoreCore;
using fxcore::Operands;
using enum fxcore::Sfr;

constexpr int kSamplesPerIteration = 256;

uint32_t enc(unsigned opcode, Operands ops) {
    const auto r = fxcore::encodeInstruction(opcode, ops);
    if (!r.error.empty()) std::abort();
    return r.word;
}

// 32 words shaped like one voice of a delay effect: inputs and pots, multiply-
// accumulates from delay taps, an allpass filter pair, a modulated read, a few
// conditional jumps, delay writes and the two outputs, repeated `blocks` times.
std::vector<uint32_t> effectLikeProgram(int blocks) {
    const std::vector<uint32_t> block = {
        enc(50, {.ra = 0, .index = IN0}),          // RDSFR R0, IN0
        enc(50, {.ra = 1, .index = POT0}),         // RDSFR R1, POT0 (smoothed)
        enc(1, {}),                                // CLRACC64
        enc(18, {.ra = 1, .addr = 1000}),          // MACRD R1, 1000
        enc(19, {.addr = 2000, .coef = 64}),       // MACCD 0.5, 2000
        enc(16, {.ra = 0, .rb = 1}),               // MACRR R0, R1
        enc(64, {.ra = 2}),                        // RDACCH R2
        enc(74, {.ra = 3}),                        // RDACC8 R3
        enc(96, {.addr = 3000, .coef = 80}),       // FRDC 0.625, 3000
        enc(97, {.addr = 3100, .coef = -80}),      // FWRC -0.625, 3100
        enc(98, {.ra = 1, .addr = 4000}),          // FRD R1, 4000
        enc(99, {.ra = 1, .addr = 4100}),          // FWR R1, 4100
        enc(104, {.addr = 5000, .select = 0}),     // RDLFO sin0, 5000
        enc(4, {.ra = 2, .rb = 16}),               // ADDS R2, ACC32
        enc(24, {.ra = 16, .rb = 1}),              // MULRR ACC32, R1
        enc(69, {.ra = 16, .addr = 6000}),         // WRDEL ACC32, 6000
        enc(107, {.ra = 4, .addr = 7000}),         // RDFRAC R4, 7000
        enc(87, {.ra = 0, .index = 1}),            // JGEZ R0, +1
        enc(26, {.ra = 0}),                        // NEG R0
        enc(0, {.ra = 3}),                         // ABS R3
        enc(48, {.ra = 5, .rb = 16}),              // MOV R5, ACC32
        enc(14, {.ra = 5, .rb = 2}),               // SRAI R5, 2
        enc(7, {.ra = 5, .rb = 3}),                // SUBS R5, R3
        enc(75, {.ra = 6, .imm = 0x4000}),         // LDH R6, 0x4000
        enc(25, {.ra = 5, .imm = 0x6000}),         // MULRI R5, 0x6000
        enc(20, {.ra = 5, .rb = 6}),               // MAC8RR R5, R6
        enc(51, {.ra = 16, .index = 10}),          // STM ACC32, MREG10
        enc(49, {.ra = 7, .index = 10}),           // LDM R7, MREG10
        enc(85, {.ra = 7, .rb = 6}),               // XOR R7, R6
        enc(70, {.ra = 8, .rb = 5}),               // RDDELR R8, R5
        enc(52, {.ra = 16, .index = OUT0}),        // WRSFR ACC32, OUT0
        enc(52, {.ra = 16, .index = OUT1}),        // WRSFR ACC32, OUT1
    };
    std::vector<uint32_t> program;
    for (int i = 0; i < blocks; ++i) program.insert(program.end(), block.begin(), block.end());
    return program;
}

FXCoreCore::Presets modulatedPresets() {
    FXCoreCore::Presets p;
    p.sfr[LFO0_RATE] = 1 << 20;
    p.sfr[RAMP0_RATE] = 1 << 22;
    p.creg[15] = 200 << 16;  // modulation depth for RDLFO
    for (int k = POT0_SHIFT; k <= POT5_SHIFT; ++k) p.sfr[k] = 10;
    return p;
}

void runCore(benchmark::State& state, FXCoreCore& core) {
    const float pots[6] = {0.3f, 0.5f, 0.7f, 0.2f, 0.9f, 0.1f};
    core.setPots(pots);
    float in[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float phase = 0.0f;
    for (auto _ : state) {
        for (int i = 0; i < kSamplesPerIteration; ++i) {
            phase += 0.01f;
            if (phase > 1.0f) phase -= 2.0f;
            in[0] = phase * 0.5f;
            in[1] = -phase * 0.25f;
            core.run(in);
        }
        benchmark::DoNotOptimize(core.getOutput(0));
    }
    const double samples = static_cast<double>(state.iterations()) * kSamplesPerIteration;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["ns_per_sample"] =
        benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime_48k"] = benchmark::Counter(samples / 48000.0, benchmark::Counter::kIsRate);
}

void runProgram(benchmark::State& state, const std::vector<uint32_t>& program) {
    FXCoreCore core;
    core.setPresets(modulatedPresets());
    core.setProgram(program.data(), program.size());
    runCore(state, core);
}

void BM_EffectLikeProgram608(benchmark::State& state) { runProgram(state, effectLikeProgram(19)); }
void BM_EffectLikeProgram128(benchmark::State& state) { runProgram(state, effectLikeProgram(4)); }

void BM_WorstCaseRampReads1024(benchmark::State& state) {
    runProgram(state, std::vector<uint32_t>(1024, enc(105, {.addr = 100, .select = 0, .option = 3})));
}

// What every sample costs outside the program: one word that jumps past the end,
// with one LFO and one ramp running.
void BM_FixedCostJumpPastEnd(benchmark::State& state) {
    runProgram(state, {enc(92, {.index = 4095})});
}

// The shipped echo with every knob somewhere in the middle of its travel.
void BM_KvLumivexFirmware(benchmark::State& state) {
    fxcore::FXCoreProgram image;
    if (!image.loadFromFile(LUMIVEX_KV_HEX).ok) {
        state.SkipWithError("firmware image did not load");
        return;
    }
    FXCoreCore core;
    image.applyTo(core);
    runCore(state, core);
}

}  // namespace

BENCHMARK(BM_EffectLikeProgram608);
BENCHMARK(BM_EffectLikeProgram128);
BENCHMARK(BM_KvLumivexFirmware);
BENCHMARK(BM_WorstCaseRampReads1024);
BENCHMARK(BM_FixedCostJumpPastEnd);
