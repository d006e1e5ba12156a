// The emulated FXCore audio DSP chip.
//
// One object holds the whole chip; `run` advances it by one audio sample,
// executing the installed program once. After construction nothing allocates,
// locks or waits, so every operation but the constructor may run on the audio
// thread.
//
// Where the code lives:
//   core_state.cpp      construction, reset, program and preset installation, pots,
//                       pins, outputs and SFR access (LFO outputs computed when read)
//   user_duty.cpp       the user-output duty hand-off to the main thread
//   decode.cpp          program words to the pre-decoded form
//   run.cpp             the per-sample run (threaded dispatch) and `step`
//   opcodes.inc         every opcode once: number, mnemonic, operand format, effect
//   handlers.h          handler numbers of the sample loop, derived from opcodes.inc
//   ops_alu.h, ops_modulated_reads.h   the effects that need more than one line
//   per_sample.h        pot scan and smoothing, LFO phases and ramps, noise, switch
//                       levels, overflow flags: the steps run() compiles in
//   switches_tap.cpp    switch debounce and the tap-tempo unit
//   hex_records.cpp, fxcore_program.cpp   program images from Intel HEX text
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fxcore/q31.h"
#include "fxcore/sfr_map.h"

namespace fxcore {

class FXCoreCore {
public:
    static constexpr int kProgramWords = 1024;
    static constexpr int kCoreRegisters = 16;
    static constexpr int kMemoryRegisters = 128;
    static constexpr int kSfrCount = 49;
    static constexpr int kDelaySamples = 32768;
    static constexpr int kPots = 6;
    static constexpr int kDebouncedPins = 6;  // SW0-SW4 and the spare switch input
    static constexpr uint32_t kAllReleased = 0x7F;

    // The chip's initial state; the core keeps a copy so that reset can restore it.
    struct Presets {
        int32_t creg[16] = {};
        int32_t mreg[128] = {};
        int32_t sfr[kSfrCount] = {};  // indexed by Sfr
        int32_t userInit[2] = {};
        int32_t tapHoldSamples = 36000;
        int32_t tapDebounceSamples = 480;
        int32_t switchDebounceSamples = 480;
        int32_t spareTiming0 = 2400;  // carried, used by nothing
        int32_t spareTiming1 = 960;   // carried, used by nothing
    };

    // One program word after decoding: the opcode and the fields its effect uses,
    // already extracted and widened, and the handler the sample loop jumps to.
    struct DecodedWord {
        uint8_t op = 0;       // opcode
        uint8_t handler = 0;  // row in the opcode list, or the skip / end handler
        uint8_t ra = 0;       // register slot of operand A / the result
        uint8_t rb = 0;       // register slot of operand B, or n
        uint8_t sel = 0;      // M, K, LFO output, ramp tap set, user output
        uint8_t neg = 0;      // LFO read: negate the LFO output
        int32_t imm = 0;      // S16, H, U16 or C, as the opcode uses it
        int32_t addr = 0;     // delay address a, or a jump's target index
    };

    FXCoreCore();

    void reset();
    bool setProgram(const uint32_t* words, size_t count);
    void setPresets(const Presets& p);

    void setPots(const float* values);
    void setPot(int index, float value);
    void setPin(int index, bool pressed);

    void run(const float* in);
    int step(int pc);

    float getOutput(int index) const;
    void getOutputs(float* out) const;
    void readUserDuty(float* out);

    bool isLoaded() const { return loaded; }  // a program is installed

    // Reading an LFO output may compute it (see lfoOutputs): like everything but
    // readUserDuty, call it on the thread that runs the chip.
    int32_t readSFR(int index) const;
    void writeSFR(int index, int32_t value);

    // Fixed-point operations that depend on the chip's state.
    void addToAcc64(int64_t v);
    int32_t readDelay(int32_t x) const;
    void writeDelay(int32_t x, int32_t v);
    int32_t readDelayDirect(int32_t x) const;
    void writeDelayDirect(int32_t x, int32_t v);
    int32_t interpRead(int x, double f) const;

    // Written by the owner: the 7-bit pin word before each sample (1 = released),
    // the sample rate at activation.
    uint32_t pins = kAllReleased;
    double sampleRate = 48000.0;

private:
    friend struct CoreProbe;  // tests look inside through this

    void resetSequence();
    void decodeProgram();
    static DecodedWord decodeWord(uint32_t word, int pc, int jumpLimit);
    void runProgram(const void* const** handlerAddresses = nullptr);
    int32_t lfoRead(const DecodedWord& d) const;
    int32_t fracRead(int32_t addr, int32_t a) const;
    int32_t interpQ(int32_t x, int32_t fraction) const;
    static int32_t interpAt(const int16_t* delay, uint32_t index, int32_t fraction);
    static int64_t interpWithin16Bits(int64_t s0, int64_t delta, int64_t fraction);

    // LFO output 0-7 (LFO0_SIN + select) as programs and owners read it.
    int32_t lfoOutput(int select) const;
    void computeLfoOutputs(int lfo) const;

    // A ramp crossfade read (opcode 105) depends on the word only through its base
    // address; positions, fractions and weights come from the ramp value, the window
    // size and this sample's write position, so the sample loop computes them once
    // per sample.
    struct alignas(64) RampTaps {  // a power-of-two size: a tap set is found with one shift
        uint32_t position1, position2;  // absolute delay index of each tap's first sample, minus the address
        int64_t fraction1, fraction2, weight1, weight2;  // Q1.31, widened once here rather than in every read
    };
    RampTaps rampTaps(int set) const;
    static int32_t rampMix(const int16_t* delay, const RampTaps& taps, int32_t addr);
    static int32_t rampMixSaturating(const int16_t* delay, const RampTaps& taps, size_t i1, size_t i2);
    static int32_t crossfade(const RampTaps& taps, int64_t t1, int64_t t2);
    void updateRampTaps();

    void updatePots();
    void updateLFOs();
    void updateSwitches();
    void debounceSwitches(uint32_t& edges);
    void updateTapTempo();
    void nextNoise();
    void updateOverflow();
    void accumulateUserDuty();
    void restartUserDuty();
    void publishUserDuty();

    // All of the fields below are owned by the thread that runs the chip (the audio
    // thread while processing), except the duty hand-off at the end.
    uint32_t program[kProgramWords] = {};
    int32_t programLength = 0;
    bool loaded = false;
    // The register file: R0-R15, ACC32, FLAGS, then MREG0-MREG127. An instruction's
    // 5-bit register slot indexes it directly (slots 18-31 are MREG0-13).
    static constexpr int kAcc32 = 16;
    static constexpr int kFlags = 17;
    static constexpr int kMregBase = 18;
    int32_t regs[kMregBase + kMemoryRegisters] = {};
    int32_t sfr[kSfrCount] = {};  // indexed by Sfr
    // One sample more than the chip has: the last repeats the first, so that an
    // interpolation reads the sample after any index without wrapping it.
    std::vector<int16_t> delayMemory;
    Presets presets;
    int64_t acc64 = 0;
    int32_t writePos = 0;
    uint32_t sampleCount = 0;
    uint32_t noiseState = 0x2545F491u;
    int32_t userOut[2] = {};
    int32_t potLatched[kPots] = {};
    int32_t potRaw[kPots] = {};
    int32_t potSmoothed[kPots] = {};
    double potScanPhase = 0.0;
    double lfoPhase[4] = {};
    // The phase step of each LFO and the rates it was computed from: a division
    // costs more than the comparison that usually finds the rates unchanged.
    int32_t lfoStepRates[4] = {};
    double lfoSteps[4] = {};
    // False from a reset until the first sample: until then the LFO output SFRs read
    // as their presets.
    bool lfoOutputsLive = false;
    // True while a smoothed pot value may still move: after a reset, a latch that
    // changed a pot, or a new smoothing shift. The pot SFRs hold their values meanwhile.
    bool potsMoving = true;
    uint32_t ramp[2] = {};
    uint32_t switchState = 0x3F;
    int32_t switchDebounce[kDebouncedPins] = {};
    int32_t tapLevel = 1;
    int32_t tapDebounce = 0;
    int32_t tapHeld = 0;
    int32_t tapMeasuring = 0;
    uint32_t tapCount = 0;
    uint32_t tapFlags = 0;
    uint32_t overflowFlags = 0;
    int32_t inputs[4] = {};
    int32_t outputs[4] = {};

    // The installed program decoded for the sample loop, each word with the address
    // of its handler so that dispatch is a single indirect jump; the word after the
    // last one ends the program. Jump targets are clamped to that end.
    struct ThreadedWord {
        DecodedWord word;
        const void* handler = nullptr;
    };
    ThreadedWord threaded[kProgramWords + 1];
    // The LFO outputs are a pure function of the phase, so they are computed only
    // when read, and again only once the phase has moved. Reads are const, so this
    // cache is mutable; like everything here it belongs to the thread running the chip.
    struct LfoOutputs {
        double phase = -1.0;  // never a valid phase, so the first read computes
        int32_t sine = 0, cosine = 0;
    };
    mutable LfoOutputs lfoOutputs[4];
    uint8_t rampTapSetsUsed = 0;  // bit per tap set (ramp x window) the program reads
    RampTaps rampTapSets[8] = {};

    // User-output duty hand-off.
    // The audio thread (run, reset) is the only writer of the running totals below:
    // it counts samples and "on" samples since the last reset, and publishes them
    // under a sequence number (odd while it writes, release store when done). The
    // main thread (readUserDuty) reads a consistent snapshot with acquire loads,
    // retrying when the sequence moved, and keeps its own baseline of what it has
    // already handed out. So the audio thread never waits, and reading "clears" the
    // sums without writing anything the audio thread owns. A reset bumps the epoch,
    // which tells the reader to drop its baseline and its last averages.
    struct DutyTotals {
        uint32_t samples = 0;
        uint32_t on[2] = {};
        uint32_t epoch = 0;
    };
    DutyTotals dutyWriter;                   // audio thread only
    std::atomic<uint32_t> dutySeq{0};        // audio writes (release), reader loads (acquire)
    std::atomic<uint32_t> dutySamples{0};    // published DutyTotals, written by audio only
    std::atomic<uint32_t> dutyOn[2]{};
    std::atomic<uint32_t> dutyEpoch{0};
    DutyTotals dutyReaderBase;               // reader thread only
    float lastDuty[2] = {};                  // reader thread only
};

static_assert(SFR48 + 1 == FXCoreCore::kSfrCount, "Sfr names every SFR");

// SFR access is also an instruction (RDSFR, WRSFR), so it is inline too. Indices
// are compared as unsigned so that a negative one is out of range.
inline int32_t FXCoreCore::readSFR(int index) const {
    const auto i = static_cast<unsigned>(index);
    if (i >= unsigned{kSfrCount}) return 0;
    if (i - LFO0_SIN < 8u) return lfoOutput(static_cast<int>(i - LFO0_SIN));
    if (i >= OUT0 && i <= OUT3) return 0;  // outputs read back as 0
    if (i == SAMPLE_COUNT) return q31::asSigned(sampleCount);
    return sfr[i];
}

inline void FXCoreCore::writeSFR(int index, int32_t value) {
    const auto i = static_cast<unsigned>(index);
    if (i >= OUT0 && i <= OUT3) {
        outputs[i - OUT0] = value;
        sfr[i] = value;
    } else if (i >= POT0_SHIFT && i <= POT5_SHIFT) {
        sfr[i] = value & 31;  // pot smoothing shifts
        potsMoving = true;
    } else if ((i >= LFO0_RATE && i <= RAMP1_RATE) || i == TAP_MAX) {
        sfr[i] = value;  // LFO and ramp rates, tap maximum
    }
    // Everything else is read-only or does not exist.
}

inline int32_t FXCoreCore::lfoOutput(int select) const {
    if (!lfoOutputsLive) return sfr[LFO0_SIN + select];  // still the presets
    const int lfo = select >> 1;
    if (!(lfoPhase[lfo] == lfoOutputs[lfo].phase)) computeLfoOutputs(lfo);
    return (select & 1) != 0 ? lfoOutputs[lfo].cosine : lfoOutputs[lfo].sine;
}

// The delay-memory accessors sit in the per-instruction path, so they are inline.
// Addresses are formed in unsigned arithmetic: register values may be anything.

inline int32_t FXCoreCore::readDelayDirect(int32_t x) const {
    return q31::asSigned(static_cast<uint32_t>(delayMemory[q31::asUnsigned(x) & 32767u]) << 16);
}

inline void FXCoreCore::writeDelayDirect(int32_t x, int32_t v) {
    const uint32_t index = q31::asUnsigned(x) & 32767u;
    delayMemory[index] = static_cast<int16_t>(v >> 16);
    if (index == 0) delayMemory[kDelaySamples] = delayMemory[0];
}

inline int32_t FXCoreCore::readDelay(int32_t x) const {
    return readDelayDirect(q31::asSigned(q31::asUnsigned(writePos) + q31::asUnsigned(x)));
}

inline void FXCoreCore::writeDelay(int32_t x, int32_t v) {
    writeDelayDirect(q31::asSigned(q31::asUnsigned(writePos) + q31::asUnsigned(x)), v);
}

inline void FXCoreCore::addToAcc64(int64_t v) { acc64 = q31::addSat64(acc64, v); }

// s0 + (s1 - s0) x fraction for two delay samples whose difference fits 16 bits: the
// difference scaled by 2^16 times the Q1.31 fraction >> 31, with the 2^16 taken out
// of both sides of the shift.
__attribute__((always_inline)) inline int64_t FXCoreCore::interpWithin16Bits(int64_t s0, int64_t delta,
                                                                              int64_t fraction) {
    return s0 * 65536 + ((delta * fraction) >> 15);
}

// Linear interpolation between the delay samples at absolute index and index + 1 by
// a Q1.31 fraction (0 to 0x7FFFFFFF). d0 + diff x fraction stays between d0 and d1
// (or d0 plus the saturated difference), so only the difference needs saturating.
__attribute__((always_inline)) inline int32_t FXCoreCore::interpAt(const int16_t* delay, uint32_t index,
                                                                    int32_t fraction) {
    const size_t at = index & 32767u;
    const int32_t s0 = delay[at];
    const int32_t s1 = delay[at + 1];
    // d1 - d0 of two upper-half samples, saturated: the 16-bit difference scaled by 2^16.
    const int32_t delta = s1 - s0;  // -65535 .. 65535
    if (q31::asUnsigned(delta + 32768) <= 65535u) [[likely]]
        return static_cast<int32_t>(interpWithin16Bits(s0, delta, fraction));
    const int32_t step = q31::mulByFraction(delta > 0 ? q31::kMax : q31::kMin, fraction);
    return static_cast<int32_t>(static_cast<int64_t>(s0) * 65536 + step);
}

__attribute__((always_inline)) inline int32_t FXCoreCore::interpQ(int32_t x, int32_t fraction) const {
    return interpAt(delayMemory.data(), q31::asUnsigned(writePos) + q31::asUnsigned(x), fraction);
}

inline int32_t FXCoreCore::interpRead(int x, double f) const { return interpQ(x, q31::toS31(f)); }

}  // namespace fxcore
