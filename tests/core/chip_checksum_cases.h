// Seeded random runs of the chip, each folded into one checksum of the whole chip
// state after every sample. The recorded checksums (data/chip_checksums.txt) hold
// the chip's results still: any change to what a program, preset or control input
// produces changes a checksum.
//
// Everything here is a pure function of the case number: the random numbers come
// from our own generator, never from the standard library's distributions, whose
// results differ between library versions.
#pragma once

#include <cstdint>

namespace chiptest {

inline constexpr int kChecksumCases = 3000;

// Runs case `index`: a random program (every opcode, invalid words, jumps), random
// presets with LFOs and ramps running, random inputs, and between samples random
// pot, pin, reset, SFR-write, step, sample-rate, preset and program events.
uint64_t checksumOfCase(int index);

}  // namespace chiptest
