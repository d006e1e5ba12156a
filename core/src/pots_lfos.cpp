// Peripherals that run on their own every sample: the pot scan and smoothing, the
// LFOs and ramps, the noise generator and the near-full-scale flags.
#include <cmath>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPotScanRate = 2000.0;             // pot latches per second of audio
constexpr double kOverflowThreshold = 2027353412.73088;  // 0.94406 x 2^31

// LFO output to Q1.31 with the chip's full-scale of 2^31 - 1.
int32_t lfoValue(double y) {
    const double v = std::floor(y * 2147483647.0 + 0.5);
    if (v != v) return 0;
    if (v > 2147483647.0) return q31::kMax;
    if (v < -2147483648.0) return q31::kMin;
    return static_cast<int32_t>(v);
}

}  // namespace

void FXCoreCore::updatePots() {
    potScanPhase += kPotScanRate;
    if (potScanPhase >= sampleRate) {
        potScanPhase -= sampleRate;
        for (int k = 0; k < kPots; ++k) potLatched[k] = potRaw[k];
    }
    for (int k = 0; k < kPots; ++k) {
        const int32_t target = potLatched[k] << 19;  // 0..4095 x 2^19, never negative
        sfr[POT0_LATCHED + k] = target;
        const int shift = sfr[POT0_SHIFT + k] & 31;
        const int32_t distance = q31::wrap32(static_cast<int64_t>(target) - potSmoothed[k]);
        potSmoothed[k] = q31::wrap32(static_cast<int64_t>(potSmoothed[k]) + (distance >> shift));
        sfr[POT0 + k] = potSmoothed[k];
    }
}

void FXCoreCore::updateLFOs() {
    for (int i = 0; i < 4; ++i) {
        double phase = lfoPhase[i] + static_cast<double>(sfr[LFO0_RATE + i]) / 2147483647.0;
        if (phase >= kTwoPi) phase -= kTwoPi;
        else if (phase < 0.0) phase += kTwoPi;
        lfoPhase[i] = phase;
        // An LFO whose rate is 0 keeps its phase; the outputs are a pure function of
        // the phase, so they are only computed again when it moves.
        LfoOutputs& last = lfoOutputs[i];
        if (!(phase == last.phase)) {
            last = {phase, lfoValue(std::sin(phase)), lfoValue(std::cos(phase))};
        }
        sfr[LFO0_SIN + 2 * i] = last.sine;
        sfr[LFO0_COS + 2 * i] = last.cosine;
    }
    for (int j = 0; j < 2; ++j) {
        ramp[j] += q31::asUnsigned(sfr[RAMP0_RATE + j]);  // wraps modulo 2^32
        sfr[RAMP0 + j] = q31::asSigned(ramp[j]);
    }
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
        if (std::fabs(static_cast<double>(inputs[k])) >= kOverflowThreshold) bits |= 1u << (8 + k);
        if (std::fabs(static_cast<double>(outputs[k])) >= kOverflowThreshold) bits |= 1u << (12 + k);
    }
    overflowFlags = bits;
}

}  // namespace fxcore
