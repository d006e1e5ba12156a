// Peripherals that run on their own every sample: the pot scan and smoothing, the
// LFOs and ramps, the noise generator and the near-full-scale flags.
#include <cmath>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPotScanRate = 2000.0;             // pot latches per second of audio
// 0.94406 x 2^31 = 2027353412.73: an integer magnitude reaches it from 2027353413 on.
constexpr uint32_t kOverflowMagnitude = 2027353413u;

// LFO output to Q1.31 with the chip's full-scale of 2^31 - 1.
int32_t lfoValue(double y) {
    const double v = std::floor(y * 2147483647.0 + 0.5);
    if (v != v) return 0;
    if (v > 2147483647.0) return q31::kMax;
    if (v < -2147483648.0) return q31::kMin;
    return static_cast<int32_t>(v);
}

// |v| >= kOverflowMagnitude for every v, -2^31 included: adding M - 1 maps the
// values below it in magnitude, -(M - 1) to M - 1, onto 0 to 2M - 2.
uint32_t nearFullScale(int32_t v) {
    return q31::asUnsigned(v) + (kOverflowMagnitude - 1) > 2 * (kOverflowMagnitude - 1) ? 1u : 0u;
}

}  // namespace

void FXCoreCore::updatePots() {
    potScanPhase += kPotScanRate;
    if (potScanPhase >= sampleRate) {
        potScanPhase -= sampleRate;
        for (int k = 0; k < kPots; ++k) {
            if (potLatched[k] != potRaw[k]) potsMoving = true;
            potLatched[k] = potRaw[k];
        }
    }
    // Once no smoothed value moves, none moves until a latch or a shift changes.
    if (!potsMoving) return;
    bool moved = false;
    for (int k = 0; k < kPots; ++k) {
        const int32_t target = potLatched[k] << 19;  // 0..4095 x 2^19, never negative
        sfr[POT0_LATCHED + k] = target;
        const int shift = sfr[POT0_SHIFT + k] & 31;
        const int32_t distance = q31::wrap32(static_cast<int64_t>(target) - potSmoothed[k]);
        const int32_t step = distance >> shift;
        moved |= step != 0;
        potSmoothed[k] = q31::wrap32(static_cast<int64_t>(potSmoothed[k]) + step);
        sfr[POT0 + k] = potSmoothed[k];
    }
    potsMoving = moved;
}

void FXCoreCore::updateLFOs() {
    for (int i = 0; i < 4; ++i) {
        const int32_t rate = sfr[LFO0_RATE + i];
        if (rate != lfoSteps[i].rate) lfoSteps[i] = {rate, static_cast<double>(rate) / 2147483647.0};
        double phase = lfoPhase[i] + lfoSteps[i].step;
        if (phase >= kTwoPi) phase -= kTwoPi;
        else if (phase < 0.0) phase += kTwoPi;
        lfoPhase[i] = phase;
    }
    lfoOutputsLive = true;
    for (int j = 0; j < 2; ++j) {
        ramp[j] += q31::asUnsigned(sfr[RAMP0_RATE + j]);  // wraps modulo 2^32
        sfr[RAMP0 + j] = q31::asSigned(ramp[j]);
    }
}

void FXCoreCore::computeLfoOutputs(int lfo) const {
    const double phase = lfoPhase[lfo];
    lfoOutputs[lfo] = {phase, lfoValue(std::sin(phase)), lfoValue(std::cos(phase))};
}

void FXCoreCore::nextNoise() {
    uint32_t x = noiseState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noiseState = x;
}

void FXCoreCore::updateOverflow() {
    uint32_t bits = 0;
    for (int k = 0; k < 4; ++k) {
        bits |= nearFullScale(inputs[k]) << (8 + k);
        bits |= nearFullScale(outputs[k]) << (12 + k);
    }
    overflowFlags = bits;
}

}  // namespace fxcore
