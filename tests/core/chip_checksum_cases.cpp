#include "chip_checksum_cases.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core_probe.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"
#include "fxcore/sfr_map.h"

namespace chiptest {

namespace {

using fxcore::CoreProbe;
using fxcore::FXCoreCore;

// splitmix64: tiny, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    bool oneIn(uint32_t n) { return below(n) == 0; }
    int32_t int32() { return static_cast<int32_t>(next()); }

    // Values that find edges: extremes, small numbers, powers of two, anything.
    int32_t interesting() {
        switch (below(8)) {
            case 0: {
                constexpr int32_t kEdges[] = {0, 1, -1, std::numeric_limits<int32_t>::max(),
                                              std::numeric_limits<int32_t>::min(), 0x40000000, -0x40000000};
                return kEdges[below(std::size(kEdges))];
            }
            case 1: return static_cast<int32_t>(below(64)) - 32;
            case 2: {
                const uint32_t power = 1u << below(32);
                return static_cast<int32_t>(oneIn(2) ? power : 0u - power);
            }
            case 3: {
                const int32_t v = int32();
                return v >> below(32);
            }
            default: return int32();
        }
    }

    // Audio-ish floats most of the time, with the inputs a host might really send.
    float sample() {
        switch (below(16)) {
            case 0: {
                constexpr float kOdd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                          -std::numeric_limits<float>::infinity(), 1.0f, -1.0f, 1.5f, -2.0f,
                                          std::numeric_limits<float>::denorm_min(), 0.99999994f, -0.0f};
                return kOdd[below(std::size(kOdd))];
            }
            default: return static_cast<float>(static_cast<int32_t>(below(2000001)) - 1000000) * 1e-6f;
        }
    }

private:
    uint64_t state;
};

// One word of a random program. Every valid opcode with random fields, some words
// made invalid, most jumps short so that the rest of the program still runs, and
// extra LFO and ramp reads so that the modulation paths are well covered.
uint32_t randomWord(Random& rng) {
    if (rng.oneIn(40)) return static_cast<uint32_t>(rng.next());  // mostly invalid
    const auto table = fxcore::opcodeTable();
    unsigned opcode = table[rng.below(static_cast<uint32_t>(table.size()))].opcode;
    uint32_t fields = static_cast<uint32_t>(rng.next()) & 0x00FFFFFFu;  // bit 24 stays 0
    if (rng.oneIn(8)) {
        constexpr unsigned kModulation[] = {50, 104, 105};
        opcode = kModulation[rng.below(3)];
        if (opcode == 50) fields = (fields & 0x00FF0000u) | (fxcore::LFO0_SIN + rng.below(8));
    }
    if (opcode >= 87 && opcode <= 92 && !rng.oneIn(4)) fields = (fields & 0x00FFF000u) | rng.below(8);
    return (opcode << 25) | fields;
}

std::vector<uint32_t> randomProgram(Random& rng) {
    size_t length = 0;
    const uint32_t size = rng.below(20);
    if (size < 14) length = 1 + rng.below(32);
    else if (size < 19) length = 33 + rng.below(224);
    else length = 257 + rng.below(768);
    std::vector<uint32_t> words(length);
    for (auto& w : words) w = randomWord(rng);
    return words;
}

int32_t randomRate(Random& rng) {
    switch (rng.below(5)) {
        case 0: return 0;
        case 1: return rng.int32() >> 8;  // slow
        case 2: return rng.oneIn(2) ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
        default: return rng.int32();
    }
}

int32_t smallLimit(Random& rng, uint32_t range) {
    if (rng.oneIn(16)) return rng.interesting();
    return static_cast<int32_t>(rng.below(range));
}

FXCoreCore::Presets randomPresets(Random& rng) {
    FXCoreCore::Presets p;
    for (auto& r : p.creg) r = rng.interesting();
    for (auto& r : p.mreg) r = rng.interesting();
    for (auto& r : p.sfr) r = rng.interesting();
    for (int k = 0; k < 4; ++k) p.sfr[fxcore::LFO0_RATE + k] = randomRate(rng);
    for (int k = 0; k < 2; ++k) p.sfr[fxcore::RAMP0_RATE + k] = randomRate(rng);
    for (int k = 0; k < 6; ++k) p.sfr[fxcore::POT0_SHIFT + k] = smallLimit(rng, 40);
    p.sfr[fxcore::TAP_MAX] = smallLimit(rng, 300);
    for (auto& u : p.userInit) u = rng.oneIn(2) ? 0 : rng.interesting();
    p.tapHoldSamples = smallLimit(rng, 200);
    p.tapDebounceSamples = smallLimit(rng, 20);
    p.switchDebounceSamples = smallLimit(rng, 20);
    p.spareTiming0 = rng.int32();
    p.spareTiming1 = rng.int32();
    return p;
}

class StateHash {
public:
    void add(uint64_t v) {
        h = (h ^ v) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    void addInt(int32_t v) { add(static_cast<uint32_t>(v)); }
    void addDouble(double v) { add(std::bit_cast<uint64_t>(v)); }
    void addFloat(float v) { add(std::bit_cast<uint32_t>(v)); }
    // The 64 KiB of delay memory, in four independent lanes so that it stays cheap
    // enough to take after every sample.
    void addBlock(const void* data, size_t bytes) {
        std::array<uint64_t, 4> lanes = {1, 2, 3, 4};
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i + 32 <= bytes; i += 32) {
            for (size_t k = 0; k < 4; ++k) {
                uint64_t w = 0;
                std::memcpy(&w, p + i + 8 * k, 8);
                lanes[k] = (lanes[k] ^ w) * 0xD6E8FEB86659FD93ull;
            }
        }
        for (uint64_t lane : lanes) add(lane);
    }
    uint64_t value() const { return h; }

private:
    uint64_t h = 0xCBF29CE484222325ull;
};

// The chip's state after a sample. SFRs are read through readSFR, as programs and
// owners read them, on a random half of the samples: a value the chip computes only
// when it is read must come out the same however often it is read.
void addState(StateHash& hash, FXCoreCore& core, Random& rng) {
    hash.add(core.isLoaded());
    for (unsigned s = 0; s < 32; ++s) hash.addInt(CoreProbe::slot(core, s));
    for (int m = 0; m < FXCoreCore::kMemoryRegisters; ++m) hash.addInt(CoreProbe::mreg(core, m));
    hash.add(static_cast<uint64_t>(CoreProbe::acc64(core)));
    float out[4];
    core.getOutputs(out);
    for (int k = 0; k < 4; ++k) {
        hash.addFloat(out[k]);
        hash.addInt(CoreProbe::outputs(core, k));
        hash.addInt(CoreProbe::inputs(core, k));
    }
    for (int k = 0; k < 2; ++k) {
        hash.addInt(CoreProbe::userOut(core, k));
        hash.add(CoreProbe::ramp(core, k));
    }
    for (int k = 0; k < 4; ++k) hash.addDouble(CoreProbe::lfoPhase(core, k));
    for (int k = 0; k < FXCoreCore::kPots; ++k) {
        hash.addInt(CoreProbe::potRaw(core, k));
        hash.addInt(CoreProbe::potLatched(core, k));
        hash.addInt(CoreProbe::potSmoothed(core, k));
    }
    hash.addInt(CoreProbe::writePos(core));
    hash.add(CoreProbe::sampleCount(core));
    hash.add(CoreProbe::noiseState(core));
    hash.add(CoreProbe::switchState(core));
    hash.add(core.pins);
    hash.addInt(CoreProbe::tapLevel(core));
    hash.addInt(CoreProbe::tapHeld(core));
    hash.addInt(CoreProbe::tapMeasuring(core));
    hash.add(CoreProbe::tapCount(core));
    if (rng.oneIn(2))
        for (int k = -1; k <= 64; ++k) hash.addInt(core.readSFR(k));
    if (rng.oneIn(8)) {
        float duty[2];
        core.readUserDuty(duty);
        hash.addFloat(duty[0]);
        hash.addFloat(duty[1]);
    }
    hash.addBlock(CoreProbe::delayData(core), FXCoreCore::kDelaySamples * sizeof(int16_t));
}

// What the owner may do between two samples.
void randomEvents(FXCoreCore& core, Random& rng) {
    // Arguments are drawn one statement at a time: their order of evaluation within
    // a call differs between compilers.
    if (rng.oneIn(16)) {
        const int pot = static_cast<int>(rng.below(8)) - 1;
        core.setPot(pot, rng.sample());
    }
    if (rng.oneIn(64)) {
        float pots[FXCoreCore::kPots];
        for (auto& v : pots) v = rng.sample();
        core.setPots(pots);
    }
    if (rng.oneIn(16)) {
        const int pin = static_cast<int>(rng.below(9)) - 1;
        core.setPin(pin, rng.oneIn(2));
    }
    if (rng.oneIn(64)) core.pins = static_cast<uint32_t>(rng.next());
    if (rng.oneIn(16)) {
        const int index = rng.oneIn(4) ? static_cast<int>(rng.below(70)) - 2 : fxcore::LFO0_RATE + static_cast<int>(rng.below(6));
        core.writeSFR(index, rng.oneIn(2) ? randomRate(rng) : rng.interesting());
    }
    if (rng.oneIn(64)) core.step(static_cast<int>(rng.below(1034)) - 2);
    if (rng.oneIn(400)) core.reset();
    if (rng.oneIn(300)) {
        constexpr double kRates[] = {8000.0, 44100.0, 48000.0, 96000.0, 192000.0, 1000.5};
        core.sampleRate = kRates[rng.below(std::size(kRates))];
    }
    if (rng.oneIn(500)) core.setPresets(randomPresets(rng));
    if (rng.oneIn(800)) {
        if (rng.oneIn(4)) {
            core.setProgram(nullptr, 0);
        } else {
            const auto words = randomProgram(rng);
            core.setProgram(words.data(), words.size());
        }
    }
}

}  // namespace

uint64_t checksumOfCase(int index) {
    Random rng(0x5EED0000ull + static_cast<uint64_t>(index));
    auto core = std::make_unique<FXCoreCore>();
    core->sampleRate = rng.oneIn(2) ? 48000.0 : 44100.0;
    core->setPresets(randomPresets(rng));
    const auto words = randomProgram(rng);
    core->setProgram(words.data(), words.size());

    StateHash hash;
    const int samples = 150 + static_cast<int>(rng.below(200));
    for (int n = 0; n < samples; ++n) {
        randomEvents(*core, rng);
        if (rng.oneIn(32)) {
            core->run(nullptr);
        } else {
            const float in[4] = {rng.sample(), rng.sample(), rng.sample(), rng.sample()};
            core->run(in);
        }
        addState(hash, *core, rng);
    }
    return hash.value();
}

}  // namespace chiptest
