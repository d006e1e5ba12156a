// Construction, reset, program and preset installation, and the operations by
// which the owner feeds the chip and reads it outside `run`.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

namespace {

// A pot value 0..1 to the 12-bit converter reading 0..4095; NaN and negatives read 0.
int32_t potToRaw(float value) {
    double v = value;
    if (!(v >= 0.0)) v = 0.0;
    else if (v > 1.0) v = 1.0;
    const auto raw = static_cast<int32_t>(std::floor(v * 4096.0));
    return std::min(raw, 4095);
}

// LFO output to Q1.31 with the chip's full-scale of 2^31 - 1.
int32_t lfoValue(double y) {
    const double v = std::floor(y * 2147483647.0 + 0.5);
    if (v != v) return 0;
    if (v > 2147483647.0) return q31::kMax;
    if (v < -2147483648.0) return q31::kMin;
    return static_cast<int32_t>(v);
}

}  // namespace

FXCoreCore::FXCoreCore() : delayMemory(kDelaySamples + 1, 0) {
    decodeProgram();  // the all-zero program decodes to ABS R0 words
    resetSequence();
}

void FXCoreCore::reset() { resetSequence(); }

void FXCoreCore::resetSequence() {
    std::copy(std::begin(presets.creg), std::end(presets.creg), regs);
    regs[kAcc32] = 0;
    regs[kFlags] = 0;
    std::copy(std::begin(presets.mreg), std::end(presets.mreg), regs + kMregBase);
    std::copy(std::begin(presets.sfr), std::end(presets.sfr), sfr);
    std::fill(delayMemory.begin(), delayMemory.end(), int16_t{0});
    acc64 = 0;
    writePos = 0;
    sampleCount = 0;
    for (int i = 0; i < 2; ++i) userOut[i] = presets.userInit[i] != 0 ? 1 : 0;
    std::fill(std::begin(switchDebounce), std::end(switchDebounce), 0);
    std::fill(std::begin(potLatched), std::end(potLatched), 0);
    std::fill(std::begin(potRaw), std::end(potRaw), 0);
    std::fill(std::begin(potSmoothed), std::end(potSmoothed), 0);
    potScanPhase = 0.0;
    std::fill(std::begin(lfoPhase), std::end(lfoPhase), 0.0);
    lfoOutputsLive = false;
    potsMoving = true;
    ramp[0] = ramp[1] = 0;
    pins = kAllReleased;
    switchState = 0x3F;
    tapLevel = 1;
    tapDebounce = 0;
    tapHeld = 0;
    tapMeasuring = 0;
    tapCount = 0;
    tapFlags = 0;
    overflowFlags = 0;
    std::fill(std::begin(inputs), std::end(inputs), 0);
    std::fill(std::begin(outputs), std::end(outputs), 0);
    restartUserDuty();
}

bool FXCoreCore::setProgram(const uint32_t* words, size_t count) {
    if (words == nullptr || count == 0) {
        loaded = false;
        programLength = 0;
        return false;
    }
    const size_t n = std::min(count, static_cast<size_t>(kProgramWords));
    std::copy(words, words + n, program);
    std::fill(program + n, program + kProgramWords, 0u);
    programLength = static_cast<int32_t>(n);
    loaded = true;
    decodeProgram();
    resetSequence();
    return true;
}

void FXCoreCore::setPresets(const Presets& p) {
    presets = p;
    resetSequence();
}

void FXCoreCore::setPots(const float* values) {
    for (int k = 0; k < kPots; ++k) potRaw[k] = potToRaw(values[k]);
}

void FXCoreCore::setPot(int index, float value) {
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kPots)) return;
    potRaw[index] = potToRaw(value);
}

void FXCoreCore::setPin(int index, bool pressed) {
    if (static_cast<unsigned>(index) > 6u) return;
    const uint32_t bit = 1u << index;
    pins = pressed ? (pins & ~bit) : (pins | bit);
}

float FXCoreCore::getOutput(int index) const {
    if (static_cast<unsigned>(index) > 3u) return 0.0f;
    return q31::toFloat(outputs[index]);
}

void FXCoreCore::getOutputs(float* out) const {
    for (int k = 0; k < 4; ++k) out[k] = q31::toFloat(outputs[k]);
}

void FXCoreCore::computeLfoOutputs(int lfo) const {
    const double phase = lfoPhase[lfo];
    lfoOutputs[lfo] = {phase, lfoValue(std::sin(phase)), lfoValue(std::cos(phase))};
}

}  // namespace fxcore
