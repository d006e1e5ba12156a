// Interpolated delay reads driven by an LFO (104), a ramp (105) or a register (107).
#pragma once

#include <cmath>

#include "fxcore/fxcore_core.h"
#include "fxcore/q31.h"

namespace fxcore {

// RDLFO (104): reads between a and a + depth (R15 bits 30-16) as the LFO swings.
inline int32_t FXCoreCore::lfoRead(const DecodedWord& d) const {
    int32_t l = lfoOutput(d.sel);
    if (d.neg != 0) l = q31::negSat(l);
    const auto depth = static_cast<int32_t>((q31::asUnsigned(regs[15]) >> 16) & 0x7FFFu);
    const double pos = depth * ((static_cast<double>(l) + 2147483648.0) * (1.0 / 4294967296.0));
    const auto i = static_cast<int32_t>(pos);  // pos >= 0: truncation is floor
    return interpRead(d.addr + i, pos - i);
}

// RDRAMP (105), the part that depends on the ramp and the write position only: two
// taps half a window apart, crossfaded by a triangle of the ramp's phase. A tap set
// is ramp (bit 2) x window size (bits 1-0).
inline FXCoreCore::RampTaps FXCoreCore::rampTaps(int set) const {
    const double window = 512 << (set & 3);
    const double phi = static_cast<double>(ramp[(set >> 2) & 1]) * (1.0 / 4294967296.0);
    const double x1 = phi * window;
    // x1 + L/2 modulo L; both sums are exact in double, so this equals fmod.
    double x2 = x1 + window * 0.5;
    if (x2 >= window) x2 -= window;
    const auto i1 = static_cast<int32_t>(x1);  // non-negative: truncation is floor
    const auto i2 = static_cast<int32_t>(x2);
    const double g = 1.0 - std::fabs(2.0 * phi - 1.0);
    const uint32_t base = q31::asUnsigned(writePos);
    return {base + q31::asUnsigned(i1), base + q31::asUnsigned(i2), q31::toS31(x1 - i1), q31::toS31(x2 - i2),
            q31::toS31(g),          q31::toS31(1.0 - g)};
}

// The two taps' interpolations weighted by the triangle and summed.
__attribute__((always_inline)) inline int32_t FXCoreCore::crossfade(const RampTaps& t, int64_t t1, int64_t t2) {
    return q31::satAdd(static_cast<int32_t>((t1 * t.weight1) >> 31), static_cast<int32_t>((t2 * t.weight2) >> 31));
}

// A ramp read where a tap's two samples differ by more than the 16-bit range: the
// general interpolation, kept out of the sample loop.
__attribute__((noinline, cold)) inline int32_t FXCoreCore::rampMixSaturating(const int16_t* delay,
                                                                            const RampTaps& t, size_t i1,
                                                                            size_t i2) {
    return crossfade(t, interpAt(delay, static_cast<uint32_t>(i1), static_cast<int32_t>(t.fraction1)),
                     interpAt(delay, static_cast<uint32_t>(i2), static_cast<int32_t>(t.fraction2)));
}

// The ramp read is the one instruction a program may repeat a thousand times, so
// its common case, both taps' sample pairs within the 16-bit range of each other,
// is checked once for both taps and kept in registers.
__attribute__((always_inline)) inline int32_t FXCoreCore::rampMix(const int16_t* delay, const RampTaps& t,
                                                                   int32_t addr) {
    const size_t i1 = (q31::asUnsigned(addr) + t.position1) & 32767u;
    const size_t i2 = (q31::asUnsigned(addr) + t.position2) & 32767u;
    const int64_t a1 = delay[i1];
    const int64_t a2 = delay[i2];
    const int64_t d1 = delay[i1 + 1] - a1;
    const int64_t d2 = delay[i2 + 1] - a2;
    if ((static_cast<uint64_t>(d1 + 32768) | static_cast<uint64_t>(d2 + 32768)) > 65535u) [[unlikely]]
        return rampMixSaturating(delay, t, i1, i2);
    return crossfade(t, interpWithin16Bits(a1, d1, t.fraction1), interpWithin16Bits(a2, d2, t.fraction2));
}

// RDFRAC (107): offset in A's upper half, 16-bit fraction in its lower half.
inline int32_t FXCoreCore::fracRead(int32_t addr, int32_t a) const {
    const int32_t base = addr + static_cast<int32_t>(q31::asUnsigned(a) >> 16);
    const int32_t d0 = readDelay(base);
    const int32_t d1 = readDelay(base + 1);
    const int32_t diff = q31::sat32(static_cast<int64_t>(d1) - d0);
    const uint32_t frac = q31::asUnsigned(a) << 16;
    // |diff x frac| < 2^63, and >> 32 of a signed value floors.
    const int64_t step = (static_cast<int64_t>(diff) * static_cast<int64_t>(frac)) >> 32;
    return q31::sat32(static_cast<int64_t>(d0) + step);
}

}  // namespace fxcore
