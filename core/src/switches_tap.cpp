// Switch debouncing (PINS and SWITCHES; the sample loop's quick case, no switch
// changing, is in per_sample.h) and the tap-tempo unit (FLAGS bits 0-5, TAP_INTERVAL).
#include <cstdint>

#include "fxcore/fxcore_core.h"

namespace fxcore {

namespace {

// Counters compared against preset limits from a program image; a huge limit must
// not let them run into signed overflow, so they stop at the top.
void countUp(int32_t& counter) {
    if (counter < INT32_MAX) ++counter;
}

constexpr uint32_t kTapReleased = 0x01;   // bit 0
constexpr uint32_t kTapPressEdge = 0x02;  // bit 1
constexpr uint32_t kTapReleaseEdge = 0x04;  // bit 2
constexpr uint32_t kTapMeasured = 0x28;   // bits 3 and 5
constexpr uint32_t kTapHeld = 0x10;       // bit 4

}  // namespace

void FXCoreCore::debounceSwitches(uint32_t& edges) {
    for (int k = 0; k < kDebouncedPins; ++k) {
        const uint32_t bit = 1u << k;
        const uint32_t raw = (pins >> k) & 1u;
        if (raw == ((switchState >> k) & 1u)) {
            switchDebounce[k] = 0;
            continue;
        }
        countUp(switchDebounce[k]);
        if (switchDebounce[k] < presets.switchDebounceSamples) continue;
        switchDebounce[k] = 0;
        switchState = (switchState & ~bit) | (raw << k);
        if (k < 5) edges |= raw != 0 ? (1u << (5 + k)) : (1u << (10 + k));  // released / pressed
    }
}

void FXCoreCore::updateTapTempo() {
    const auto raw = static_cast<int32_t>((pins >> 6) & 1u);
    uint32_t f = 0;
    bool pressEdge = false;
    bool releaseEdge = false;

    if (raw == tapLevel) {
        tapDebounce = 0;
    } else {
        countUp(tapDebounce);
        if (tapDebounce >= presets.tapDebounceSamples) {
            tapDebounce = 0;
            tapLevel = raw;
            pressEdge = raw == 0;
            releaseEdge = raw == 1;
        }
    }

    auto pressedStep = [&] {
        countUp(tapHeld);
        if (tapHeld >= presets.tapHoldSamples) f |= kTapHeld;
    };

    if (releaseEdge) {
        // A long hold cancels the measurement that its press started.
        if (tapHeld >= presets.tapHoldSamples && tapMeasuring == 1) {
            tapMeasuring = 0;
            tapCount = 0;
        }
        tapHeld = 0;
        f = kTapReleased | kTapReleaseEdge;
    } else if (pressEdge) {
        tapHeld = 0;
        if (tapMeasuring == 1) {
            sfr[TAP_INTERVAL] = static_cast<int32_t>(tapCount);
            tapMeasuring = 0;
            tapCount = 0;
            f = kTapPressEdge | kTapMeasured;
        } else {
            tapMeasuring = 1;
            tapCount = 0;
            f = kTapPressEdge;
        }
        pressedStep();
    } else if (tapLevel == 1) {
        f = kTapReleased;
    } else {
        pressedStep();
    }

    if (tapMeasuring == 1) {
        tapCount += 1;
        const auto maximum = static_cast<uint32_t>(sfr[TAP_MAX]);
        if (maximum != 0 && tapCount > maximum) {  // unsigned: a negative TAP_MAX is a huge limit
            tapMeasuring = 0;
            tapCount = 0;
        }
    }
    tapFlags = f;
}

}  // namespace fxcore
