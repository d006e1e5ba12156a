// The chip's special function registers (SFRs) by name.
//
// Instructions address an SFR with a 6-bit index; 0 to 48 are registers, 49 to 63
// hold nothing. The names are the ones programs write (the assembler takes its SFR
// operand names from kSfrNames), so C++ code and firmware sources call a register
// by the same name.
//
// Registers of one kind sit at consecutive indices: register k of a group is its
// first register + k (POT0_SHIFT + k, LFO0_RATE + k). The LFO outputs interleave
// sine and cosine: LFOk_SIN is LFO0_SIN + 2k, and RDLFO's output select 0-7 counts
// from LFO0_SIN.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace fxcore {

// Unscoped so that an index is an int: it indexes the SFR arrays and takes an
// offset without casts.
enum Sfr : int {
    IN0 = 0, IN1, IN2, IN3,    // this sample's inputs, Q1.31
    OUT0 = 4, OUT1, OUT2, OUT3,  // the outputs; write-only, they read back as 0
    PINS = 8,                  // the raw pin word
    SWITCHES = 9,              // debounced switch levels and this sample's edges
    POT0_SHIFT = 10, POT1_SHIFT, POT2_SHIFT, POT3_SHIFT, POT4_SHIFT, POT5_SHIFT,  // smoothing shift, 0-31
    POT0_LATCHED = 16, POT1_LATCHED, POT2_LATCHED, POT3_LATCHED, POT4_LATCHED, POT5_LATCHED,  // latched << 19
    POT0 = 22, POT1, POT2, POT3, POT4, POT5,                 // smoothed, Q1.31
    LFO0_RATE = 28, LFO1_RATE, LFO2_RATE, LFO3_RATE,         // phase step x 2147483647 per sample
    RAMP0_RATE = 32, RAMP1_RATE,                             // added to the ramp every sample
    LFO0_SIN = 34, LFO0_COS, LFO1_SIN, LFO1_COS, LFO2_SIN, LFO2_COS, LFO3_SIN, LFO3_COS,
    RAMP0 = 42, RAMP1,                                       // ramp values
    TAP_MAX = 44,                                            // tap maximum interval; 0 = none
    TAP_INTERVAL = 45,                                       // last measured tap interval
    SAMPLE_COUNT = 46,
    NOISE = 47,                                              // this sample's noise word
    SFR48 = 48,  // nothing feeds it at run time: it keeps its preset; programs have no name for it
};

struct SfrName {
    Sfr sfr;
    std::string_view name;
};

// Every named SFR with the name programs write, in index order (so entry i is SFR i).
inline constexpr SfrName kSfrNames[] = {
    {IN0, "IN0"},
    {IN1, "IN1"},
    {IN2, "IN2"},
    {IN3, "IN3"},
    {OUT0, "OUT0"},
    {OUT1, "OUT1"},
    {OUT2, "OUT2"},
    {OUT3, "OUT3"},
    {PINS, "PINS"},
    {SWITCHES, "SWITCHES"},
    {POT0_SHIFT, "POT0_SHIFT"},
    {POT1_SHIFT, "POT1_SHIFT"},
    {POT2_SHIFT, "POT2_SHIFT"},
    {POT3_SHIFT, "POT3_SHIFT"},
    {POT4_SHIFT, "POT4_SHIFT"},
    {POT5_SHIFT, "POT5_SHIFT"},
    {POT0_LATCHED, "POT0_LATCHED"},
    {POT1_LATCHED, "POT1_LATCHED"},
    {POT2_LATCHED, "POT2_LATCHED"},
    {POT3_LATCHED, "POT3_LATCHED"},
    {POT4_LATCHED, "POT4_LATCHED"},
    {POT5_LATCHED, "POT5_LATCHED"},
    {POT0, "POT0"},
    {POT1, "POT1"},
    {POT2, "POT2"},
    {POT3, "POT3"},
    {POT4, "POT4"},
    {POT5, "POT5"},
    {LFO0_RATE, "LFO0_RATE"},
    {LFO1_RATE, "LFO1_RATE"},
    {LFO2_RATE, "LFO2_RATE"},
    {LFO3_RATE, "LFO3_RATE"},
    {RAMP0_RATE, "RAMP0_RATE"},
    {RAMP1_RATE, "RAMP1_RATE"},
    {LFO0_SIN, "LFO0_SIN"},
    {LFO0_COS, "LFO0_COS"},
    {LFO1_SIN, "LFO1_SIN"},
    {LFO1_COS, "LFO1_COS"},
    {LFO2_SIN, "LFO2_SIN"},
    {LFO2_COS, "LFO2_COS"},
    {LFO3_SIN, "LFO3_SIN"},
    {LFO3_COS, "LFO3_COS"},
    {RAMP0, "RAMP0"},
    {RAMP1, "RAMP1"},
    {TAP_MAX, "TAP_MAX"},
    {TAP_INTERVAL, "TAP_INTERVAL"},
    {SAMPLE_COUNT, "SAMPLE_COUNT"},
    {NOISE, "NOISE"},
};

// The name programs write for an SFR; empty for SFR48.
constexpr std::string_view sfrName(Sfr sfr) {
    return static_cast<std::size_t>(sfr) < std::size(kSfrNames) ? kSfrNames[sfr].name : std::string_view{};
}

namespace detail {
constexpr bool sfrNamesInIndexOrder() {
    for (std::size_t i = 0; i < std::size(kSfrNames); ++i)
        if (kSfrNames[i].sfr != static_cast<int>(i)) return false;
    return std::size(kSfrNames) == SFR48;  // every SFR but the unnamed last one
}
}  // namespace detail
static_assert(detail::sfrNamesInIndexOrder(), "kSfrNames must list SFR 0 to 47 in index order");

}  // namespace fxcore
