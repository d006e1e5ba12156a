// The peripherals' steps that run every sample: the pot scan and smoothing, the
// LFO phases and ramps, the noise generator, the switch levels and the near-full-
// scale flags. They are inline so that run(), their one caller, compiles them in:
// at a few instructions each, a call would cost a good part of them.
#pragma once

#include <algorithm>
#include <cstring>
#include <iterator>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

namespace per_sample {

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kPotScanRate = 2000.0;  // pot latches per second of audio
// 0.94406 x 2^31 = 2027353412.73: an integer magnitude reaches it from 2027353413 on.
inline constexpr uint32_t kOverflowMagnitude = 2027353413u;

// Lane k all ones where |v[k]| >= kOverflowMagnitude, -2^31 included: adding M - 1
// maps the values below it in magnitude, -(M - 1) to M - 1, onto 0 to 2M - 2. The
// compiler's vector types fall back to scalar code where there is no SIMD.
using Lanes = uint32_t __attribute__((vector_size(16)));
inline Lanes nearFullScale(const int32_t (&v)[4]) {
    Lanes x;
    std::memcpy(&x, v, sizeof x);
    return (x + (kOverflowMagnitude - 1)) > 2 * (kOverflowMagnitude - 1);
}

}  // namespace per_sample

inline void FXCoreCore::updatePots() {
    potScanPhase += per_sample::kPotScanRate;
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

inline void FXCoreCore::updateLFOs() {
    using per_sample::kTwoPi;
    if (std::memcmp(lfoStepRates, &sfr[LFO0_RATE], sizeof lfoStepRates) != 0) {
        std::memcpy(lfoStepRates, &sfr[LFO0_RATE], sizeof lfoStepRates);
        for (int i = 0; i < 4; ++i) lfoSteps[i] = static_cast<double>(lfoStepRates[i]) / 2147483647.0;
    }
    for (int i = 0; i < 4; ++i) {
        const double phase = lfoPhase[i] + lfoSteps[i];
        lfoPhase[i] = phase >= kTwoPi ? phase - kTwoPi : (phase < 0.0 ? phase + kTwoPi : phase);
    }
    lfoOutputsLive = true;
    for (int j = 0; j < 2; ++j) {
        ramp[j] += q31::asUnsigned(sfr[RAMP0_RATE + j]);  // wraps modulo 2^32
        sfr[RAMP0 + j] = q31::asSigned(ramp[j]);
    }
}

inline void FXCoreCore::nextNoise() {
    uint32_t x = noiseState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noiseState = x;
}

inline void FXCoreCore::updateSwitches() {
    uint32_t edges = 0;
    if (((pins ^ switchState) & 0x3Fu) == 0) {
        // Every switch reads what it already is: all debouncing starts over, no edge.
        std::fill(std::begin(switchDebounce), std::end(switchDebounce), 0);
    } else {
        debounceSwitches(edges);
    }
    sfr[SWITCHES] = static_cast<int32_t>((switchState & 0x1Fu) | ((switchState & 0x20u) << 10) | edges);
    sfr[PINS] = static_cast<int32_t>(pins & 0xFFFFu);
}

inline void FXCoreCore::updateOverflow() {
    using per_sample::Lanes;
    using per_sample::nearFullScale;
    const Lanes bits = (nearFullScale(inputs) & Lanes{1u << 8, 1u << 9, 1u << 10, 1u << 11}) |
                       (nearFullScale(outputs) & Lanes{1u << 12, 1u << 13, 1u << 14, 1u << 15});
    overflowFlags = bits[0] | bits[1] | bits[2] | bits[3];
}

}  // namespace fxcore
