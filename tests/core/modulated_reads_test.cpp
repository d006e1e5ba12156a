// Interpolated delay reads: interpRead itself, the LFO-modulated read (104), the
// ramp crossfade read (105) and the 16-bit fractional read (107).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

constexpr int32_t S(uint32_t bits) { return q31::asSigned(bits); }

constexpr int kWritePos = 5000;
constexpr int kAddr = 1000;  // a in the words

// ---- interpRead -----------------------------------------------------------------

struct InterpRow {
    int16_t d0, d1;
    double f;
    int32_t expected;
    const char* why;
};

TEST(InterpRead, WeightsTheDifferenceByTheFraction) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const InterpRow rows[] = {
        {0x1234, 0x5678, 0.0, 0x12340000, "f = 0 gives d0"},
        {0, 0x4000, 0.5, 0x20000000, "halfway"},
        {0, 1, 0.25, 16384, "a quarter of one sample step"},
        {0, 0x4000, 1.0, 0x3FFFFFFF, "f = 1 weights by 0x7FFFFFFF, just under d1"},
        {0, 0x4000, 7.0, 0x3FFFFFFF, "f above 1 likewise"},
        {0x1000, 0x4000, -0.5, 0x10000000, "negative f gives d0"},
        {0x1000, 0x4000, nan, 0x10000000, "NaN gives d0"},
        {-32768, 32767, 0.0, kMin, "saturated difference, f = 0"},
        {-32768, 32767, 0.5, S(0xBFFFFFFF), "d1 - d0 saturates to 0x7FFFFFFF: -1.0 + 0x3FFFFFFF"},
        {-32768, 32767, 1.0, -2, "-1.0 + mulS31(max, max)"},
        {1, 0, std::ldexp(1.0, -20), 65535, "-2^16 x 2^11 >> 31 floors to -1"},
        {0x4000, 0x2000, 0.5, 0x30000000, "falling"},
    };
    for (const InterpRow& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({0u});
        c.writePos() = kWritePos;
        c.delayRel(10) = row.d0;
        c.delayRel(11) = row.d1;
        EXPECT_EQ(c.core().interpRead(10, row.f), row.expected) << std::hex << c.core().interpRead(10, row.f);
    }
}

TEST(InterpRead, AddressesAreRelativeAndWrap) {
    Chip c;
    c.load({0u});
    c.writePos() = 32767;
    c.delayAbs(32767) = 0;
    c.delayAbs(0) = 0x4000;
    EXPECT_EQ(c.core().interpRead(0, 0.5), 0x20000000) << "d1 is at absolute index 0";
    c.writePos() = 0;
    EXPECT_EQ(c.core().interpRead(32767, 0.5), 0x20000000);
    EXPECT_EQ(c.core().interpRead(-1, 0.5), 0x20000000);
}

// ---- 104: LFO-modulated read ------------------------------------------------------

// Fills relative addresses a + k with (100 k + 7): D(a + k) = (100 k + 7) << 16.
void fillLine(Chip& c) {
    for (int k = 0; k <= 300; ++k) c.delayRel(kAddr + k) = static_cast<int16_t>(100 * k + 7);
}
constexpr int32_t line(int k) { return (100 * k + 7) << 16; }

struct LfoRow {
    int output;      // 0-7: SFR 34 + output
    int negate;
    int32_t lfo;     // value of the selected output; every other output is -1.0
    int32_t r15;
    int32_t expected;
    const char* why;
};

TEST(LfoRead, SweepsBetweenAAndAPlusDepth) {
    const LfoRow rows[] = {
        {0, 0, 0x12345678, 0, line(0), "depth 0 reads D(a) whatever the LFO does"},
        {0, 0, 0, 100 << 16, line(50), "LFO 0 is the middle: D(a + 50)"},
        {5, 0, 0, 100 << 16, line(50), "output 5 is SFR 39"},
        {7, 0, 0x40000000, 100 << 16, line(75), "+0.5 is three quarters of the depth"},
        {3, 0, S(0xC0000000), 100 << 16, line(25), "-0.5 is one quarter"},
        {1, 0, kMin, 100 << 16, line(0), "-1.0 is the start"},
        {2, 1, 0x40000000, 100 << 16, line(25), "negated +0.5"},
        {2, 1, kMin, 100 << 16, 655818751,
         "negated -1.0 is 0x7FFFFFFF: pos 99.99999998, between D(a+99) and D(a+100)"},
        {0, 0, kMax, 100 << 16, 655818751, "largest output, same position"},
        {0, 0, 0, 3 << 16, line(1) + 3276800, "pos 1.5: halfway between D(a+1) and D(a+2)"},
        {0, 0, 0, S(0x8064FFFF), line(50), "depth is bits 30-16 of R15 only"},
    };
    for (const LfoRow& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({opLfo(row.output, row.negate, kAddr)});
        scatterState(c);
        c.writePos() = kWritePos;
        fillLine(c);
        for (int i = 34; i <= 41; ++i) c.sfr(i) = kMin;
        c.sfr(34 + row.output) = row.lfo;
        c.reg(15) = row.r15;
        Snapshot expected = Snapshot::of(c);
        expected.acc32 = row.expected;
        EXPECT_EQ(c.step(), 1);
        EXPECT_EQ(c.acc32(), row.expected) << std::hex << "got 0x" << c.acc32() << " want 0x" << row.expected;
        EXPECT_TRUE(Snapshot::of(c) == expected) << "something besides ACC32 changed";
    }
}

TEST(LfoRead, FifteenBitDepth) {
    // R15 = 0xFFFFFFFF: depth 32767, LFO 0 puts the read at 16383.5.
    Chip c;
    c.load({opLfo(0, 0, kAddr)});
    c.writePos() = kWritePos;
    c.delayRel(kAddr + 16383) = 1000;
    c.delayRel(kAddr + 16384) = 2000;
    c.sfr(34) = 0;
    c.reg(15) = -1;
    c.step();
    EXPECT_EQ(c.acc32(), 1500 << 16);
}

TEST(LfoRead, InASampleReadsTheLfoOutputsOfThatSample) {
    // LFO phases 0 and rates 0: sine outputs read 0, cosine outputs 0x7FFFFFFF.
    struct Row {
        int output, negate;
        int32_t expected;
        const char* why;
    };
    const Row rows[] = {
        {0, 0, line(50), "sine 0: the middle"},
        {1, 0, 655818751, "cosine 0x7FFFFFFF: just below the end"},
        {1, 1, line(0), "negated cosine, -0x7FFFFFFF: pos 100 / 2^32 rounds to d0"},
        {6, 0, line(50), "sine of LFO3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.presets.creg[15] = 100 << 16;
        c.load({opLfo(row.output, row.negate, kAddr)});
        c.writePos() = kWritePos;
        fillLine(c);
        c.writePos() = kWritePos + 1;  // the sample moves it back to kWritePos
        c.core().run(nullptr);
        EXPECT_EQ(c.acc32(), row.expected);
    }
}

// ---- 105: ramp crossfade read -------------------------------------------------------

struct RampRow {
    int ramp;         // 0 or 1
    int size;         // window 512 << size
    uint32_t value;   // the selected ramp
    uint32_t other;   // the other ramp
    std::vector<std::pair<int, int16_t>> samples;  // relative to a
    int32_t expected;
    const char* why;
};

TEST(RampRead, CrossfadesTwoTapsHalfAWindowApart) {
    const RampRow rows[] = {
        {0, 0, 0, 0x40000000u, {{0, 0x1000}, {256, 0x4000}}, 0x3FFFFFFF,
         "phi 0: t1 = D(a) at weight 0, t2 = D(a + 256) x 0x7FFFFFFF"},
        {0, 0, 0x80000000u, 0, {{0, 0x1000}, {256, 0x4000}}, 0x3FFFFFFF,
         "phi 0.5: t1 = D(a + 256) x 0x7FFFFFFF, t2 = D(a) at weight 0"},
        {1, 0, 0x80000000u, 0x40000000u, {{0, 0x1000}, {256, 0x4000}}, 0x3FFFFFFF, "RAMP1 selected"},
        {0, 0, 0x40000000u, 0x80000000u, {{128, 0x2000}, {384, 0x6000}}, 0x40000000,
         "phi 0.25: half of D(a + 128) plus half of D(a + 384)"},
        {0, 0, 0xC0000000u, 0, {{384, 0x2000}, {128, 0x6000}, {640, 0x7000}}, 0x40000000,
         "phi 0.75: ramp is unsigned; the second tap wraps to 128, not 640"},
        {0, 1, 0, 0, {{256, 0x1000}, {512, 0x4000}}, 0x3FFFFFFF, "window 1024"},
        {0, 2, 0, 0, {{512, 0x1000}, {1024, 0x4000}}, 0x3FFFFFFF, "window 2048"},
        {1, 3, 0, 0x80000000u, {{1024, 0x1000}, {2048, 0x4000}}, 0x3FFFFFFF, "window 4096"},
        {0, 0, 0x00400000u, 0, {{0, 0}, {1, 0x4000}, {256, 0x4000}, {257, 0x6000}}, 0x4FE80000,
         "phi 2^-10: taps at 0.5 and 256.5 weighted 2^-9 and 1 - 2^-9"},
    };
    for (const RampRow& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({opRamp(row.ramp, row.size, kAddr)});
        scatterState(c);
        c.writePos() = kWritePos;
        for (int k = 0; k < 4200; ++k) c.delayRel(kAddr + k) = 0;
        for (const auto& [rel, sample] : row.samples) c.delayRel(kAddr + rel) = sample;
        c.setRamp(row.ramp, row.value);
        c.setRamp(1 - row.ramp, row.other);
        Snapshot expected = Snapshot::of(c);
        expected.acc32 = row.expected;
        EXPECT_EQ(c.step(), 1);
        EXPECT_EQ(c.acc32(), row.expected) << std::hex << "got 0x" << c.acc32() << " want 0x" << row.expected;
        EXPECT_TRUE(Snapshot::of(c) == expected) << "something besides ACC32 changed";
    }
}

TEST(RampRead, InASampleUsesTheRampAfterThisSamplesUpdate) {
    // RAMP0 one rate step below 2^30; the sample's update brings it to phi 0.25.
    Chip c;
    c.presets.sfr[32] = 0x1000;
    c.load({opRamp(0, 0, kAddr)});
    c.writePos() = kWritePos + 1;
    CoreProbe::ramp(c.core(), 0) = 0x40000000u - 0x1000u;
    c.delayAbs(kWritePos + kAddr + 128) = 0x2000;
    c.delayAbs(kWritePos + kAddr + 384) = 0x6000;
    c.core().run(nullptr);
    EXPECT_EQ(c.sfr(42), 0x40000000);
    EXPECT_EQ(c.acc32(), 0x40000000);  // half of 0.25 plus half of 0.75
}

// ---- 107: fractional read ---------------------------------------------------------

struct FracRow {
    int32_t a;  // R1: offset in the upper half, fraction in the lower half
    int base;   // relative address of d0 (d1 follows)
    int16_t d0, d1;
    int32_t expected;
    const char* why;
};

TEST(FractionalRead, OffsetAndFractionFromTheRegister) {
    const FracRow rows[] = {
        {3 << 16, 3, 0x1000, 0x3000, 0x10000000, "offset 3, fraction 0: exactly D(a + 3)"},
        {(3 << 16) | 0x8000, 3, 0x1000, 0x3000, 0x20000000, "fraction 0x8000 is one half, unsigned"},
        {(3 << 16) | 0x4000, 3, 0x1000, 0x3000, 0x18000000, "one quarter"},
        {S((32768u + 3u) << 16), 3, 0x1000, 0x3000, 0x10000000, "offsets wrap modulo 32768"},
        {S(0xFFFF0000u), -1, 0x1000, 0x3000, 0x10000000, "offset 65535 is a - 1"},
        {(3 << 16) | 1, 3, 1, 0, 65535, "-2^16 x 2^16 / 2^32 = -1"},
        {(3 << 16) | 1, 3, -32768, 32767, kMin + 32767, "saturated difference: floor(0x7FFFFFFF / 2^16)"},
        {(3 << 16) | 0xFFFF, 3, -32768, 32767, -32769, "floor(0x7FFFFFFF x (2^32 - 2^16) / 2^32)"},
        {(3 << 16) | 0x8000, 3, 0x4000, 0x2000, 0x30000000, "falling"},
    };
    for (const FracRow& row : rows) {
        for (Via via : kBothWays) {
            SCOPED_TRACE(std::string(name(via)) + ": " + row.why);
            Chip c;
            c.load({opRA(107, 1, kAddr)});
            scatterState(c);
            c.writePos() = kWritePos;
            c.delayRel(kAddr + row.base) = row.d0;
            c.delayRel(kAddr + row.base + 1) = row.d1;
            c.reg(1) = row.a;
            Snapshot expected = Snapshot::of(c);
            expected.acc32 = row.expected;
            executeFirstWord(c, via);
            EXPECT_EQ(c.acc32(), row.expected) << std::hex << "got 0x" << c.acc32() << " want 0x" << row.expected;
            if (via == Via::Step) {
                EXPECT_TRUE(Snapshot::of(c) == expected) << "something besides ACC32 changed";
            }
        }
    }
}

TEST(FractionalRead, SecondTapWrapsAroundTheMemory) {
    Chip c;
    c.load({opRA(107, 1, 32767)});
    c.writePos() = 0;
    c.delayAbs(32767) = 0;
    c.delayAbs(0) = 0x4000;
    c.reg(1) = 0x8000;
    c.step();
    EXPECT_EQ(c.acc32(), 0x20000000);
}

}  // namespace
