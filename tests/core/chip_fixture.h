// Small helpers shared by the chip-state and per-sample tests: a handful of
// instruction words, program installation and running a core for n samples.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "core_probe.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/instruction_set.h"

namespace chiptest {

using fxcore::CoreProbe;
using fxcore::FXCoreCore;

// The register slot of FLAGS as instructions see it.
inline constexpr unsigned kFlagsSlot = 17;

// Instruction words used to drive the chip from a program.
namespace ops {
// JMP 0: skips nothing and touches no state.
constexpr uint32_t nop() { return fxcore::makeWord(92, 0, 0); }
constexpr uint32_t jmp(unsigned offset) { return fxcore::makeWord(92, 0, offset); }
// ra := readSFR(k)
constexpr uint32_t rdsfr(unsigned ra, unsigned k) { return fxcore::makeWord(50, ra, k); }
// writeSFR(k, ra)
constexpr uint32_t wrsfr(unsigned ra, unsigned k) { return fxcore::makeWord(52, ra, k); }
// ra := rb
constexpr uint32_t mov(unsigned ra, unsigned rb) { return fxcore::makeWord(48, ra, rb); }
// USER<which> := bit n of ra
constexpr uint32_t user(unsigned ra, unsigned which, unsigned n) {
    return fxcore::makeWord(106, ra, ((which & 1u) << 5) | (n & 31u));
}
// writeDelay(a, ra)
constexpr uint32_t wrdel(unsigned ra, unsigned a) { return fxcore::makeWord(69, ra, a); }
}  // namespace ops

inline bool load(FXCoreCore& core, std::initializer_list<uint32_t> words) {
    return core.setProgram(words.begin(), words.size());
}

inline void runSamples(FXCoreCore& core, int n, const float* in = nullptr) {
    for (int i = 0; i < n; ++i) core.run(in);
}

// Bit k of the pin word cleared (pressed) with everything else released.
constexpr uint32_t pressedPins(unsigned bitsPressed) { return FXCoreCore::kAllReleased & ~bitsPressed; }

}  // namespace chiptest
