// Filter instruction pairs: the first half reads t into R15 and accumulates into
// ACC32, the second half stores ACC32 and forms a new ACC32 from it and R15.
#include <gtest/gtest.h>

#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

constexpr int32_t S(uint32_t bits) { return q31::asSigned(bits); }

constexpr int kWritePos = 300;
constexpr int kAddr = 20;          // delay address in the words: absolute 320
constexpr int kAbs = kWritePos + kAddr;
constexpr int kM = 5;              // memory register of 102/103

struct FilterRow {
    uint32_t word;
    int32_t a;       // R1
    int32_t b;       // R2, the relative address of 100/101
    int32_t x;       // ACC32 before
    int32_t r15;     // R15 before
    int abs;         // absolute delay index the word reads or writes
    int16_t sample;  // sample there before
    int32_t mreg;    // MREG5 before
    int32_t xAfter;
    int32_t r15After;
    int16_t sampleAfter;
    int32_t mregAfter;
    const char* why;
};

// By step the whole chip is compared; as a sample only the fields the word touches,
// since a sample also moves the peripherals on.
void checkFilter(const FilterRow& row) {
    for (Via via : kBothWays) {
        SCOPED_TRACE(std::string(name(via)) + ": " + row.why);
        Chip c;
        c.load({row.word});
        scatterState(c);
        c.writePos() = kWritePos;
        c.reg(1) = row.a;
        c.reg(2) = row.b;
        c.acc32() = row.x;
        c.reg(15) = row.r15;
        c.delayAbs(row.abs) = row.sample;
        c.mreg(kM) = row.mreg;
        Snapshot expected = Snapshot::of(c);
        expected.acc32 = row.xAfter;
        expected.creg[15] = row.r15After;
        expected.delay[static_cast<size_t>(row.abs)] = row.sampleAfter;
        expected.mreg[kM] = row.mregAfter;

        executeFirstWord(c, via);
        const Snapshot got = Snapshot::of(c);
        EXPECT_EQ(got.acc32, row.xAfter) << std::hex << "ACC32 0x" << got.acc32 << " want 0x" << row.xAfter;
        EXPECT_EQ(got.creg[15], row.r15After) << std::hex << "R15 0x" << got.creg[15];
        EXPECT_EQ(got.delay[static_cast<size_t>(row.abs)], row.sampleAfter);
        EXPECT_EQ(got.mreg[kM], row.mregAfter) << std::hex << "MREG5 0x" << got.mreg[kM];
        if (via == Via::Step) {
            EXPECT_TRUE(got == expected) << "something besides ACC32, R15, the addressed sample or MREG5 changed";
        } else {
            EXPECT_EQ(got.delay, expected.delay);
            EXPECT_EQ(got.mreg, expected.mreg);
        }
    }
}

TEST(FilterPairs, CoefficientFromTheWordReadHalf) {
    // 96: t := D(a); X := sat(X + mulS31(C, t)); R15 := t.
    const FilterRow rows[] = {
        {opCA(96, 0x40, kAddr), 0, 0, 0x10000000, 7, kAbs, 0x4000, 0, 0x30000000, 0x40000000, 0x4000, 0,
         "0.25 + 0.5 x 0.5"},
        {opCA(96, 0x7F, kAddr), 0, 0, kMax, 7, kAbs, 0x7FFF, 0, kMax, 0x7FFF0000, 0x7FFF, 0, "saturates high"},
        {opCA(96, -128, kAddr), 0, 0, 1, 7, kAbs, -32768, 0, kMax, kMin, -32768, 0,
         "-1.0 x -1.0 = max, plus 1 saturates"},
        {opCA(96, -128, kAddr), 0, 0, kMin, 7, kAbs, 0x4000, 0, kMin, 0x40000000, 0x4000, 0, "saturates low"},
        {opCA(96, 0x40, kAddr), 0, 0, 0, 7, kAbs, -1, 0, -32768, S(0xFFFF0000), -1, 0, "0.5 x -2^-15"},
    };
    for (const FilterRow& row : rows) checkFilter(row);
}

TEST(FilterPairs, CoefficientFromTheWordWriteHalf) {
    // 97: D(a) := upper half of X; X := sat(mulS31(C, old X) + R15); R15 unchanged.
    const FilterRow rows[] = {
        {opCA(97, 0x40, kAddr), 0, 0, 0x40000000, 0x10000000, kAbs, 0x1111, 0, 0x30000000, 0x10000000, 0x4000, 0,
         "0.5 x 0.5 + R15"},
        {opCA(97, -64, kAddr), 0, 0, 0x50000000, 0x20000000, kAbs, 0x1111, 0, S(0xF8000000), 0x20000000, 0x5000, 0,
         "-0.5 x 0.625 + 0.25"},
        {opCA(97, 0x7F, kAddr), 0, 0, kMax, 0x10000000, kAbs, 0x1111, 0, kMax, 0x10000000, 0x7FFF, 0,
         "0x7EFFFFFF + R15 saturates"},
        {opCA(97, 0x40, kAddr), 0, 0, 0x1234FFFF, 0, kAbs, 0x1111, 0, 0x091A7FFF, 0, 0x1234, 0,
         "the product uses the full old X, not the 16 bits stored"},
        {opCA(97, 0, kAddr), 0, 0, 0x1234FFFF, 0x12340000, kAbs, 0x1111, 0, 0x12340000, 0x12340000, 0x1234, 0,
         "a 97 without a 96 adds whatever R15 holds; only the upper half is stored"},
    };
    for (const FilterRow& row : rows) checkFilter(row);
}

TEST(FilterPairs, RegisterCoefficientReadHalvesSubtract) {
    // 98, 100, 102: X := sat(X + mulS31(negSat(A), t)); R15 := t.
    const FilterRow rows[] = {
        {opRA(98, 1, kAddr), 0x40000000, 0, 0, 7, kAbs, 0x4000, 0, S(0xE0000000), 0x40000000, 0x4000, 0,
         "0 - 0.5 x 0.5"},
        {opRA(98, 1, kAddr), kMin, 0, 0, 7, kAbs, 0x4000, 0, 0x3FFFFFFF, 0x40000000, 0x4000, 0,
         "-(-1.0) saturates to max before the product"},
        {opRA(98, 1, kAddr), S(0xC0000000), 0, kMax, 7, kAbs, 0x4000, 0, kMax, 0x40000000, 0x4000, 0,
         "saturates high"},
        {opRA(98, 1, kAddr), kMax, 0, kMin, 7, kAbs, 0x7FFF, 0, kMin, 0x7FFF0000, 0x7FFF, 0, "saturates low"},
        {opRA(98, 1, kAddr), 1, 0, 0, 7, kAbs, 1, 0, -1, 0x00010000, 1, 0, "product floors: -2^-15 x 2^-31"},
        {opRR(100, 1, 2), 0x40000000, kAddr, 0, 7, kAbs, 0x4000, 0, S(0xE0000000), 0x40000000, 0x4000, 0,
         "address from B"},
        {opRR(100, 1, 2), 0x40000000, -1, 0, 7, kWritePos - 1, 0x4000, 0, S(0xE0000000), 0x40000000, 0x4000, 0,
         "B = -1 is the sample before writePos"},
        {opRR(100, 1, 2), 0x40000000, 32768 + kAddr, 0, 7, kAbs, 0x4000, 0, S(0xE0000000), 0x40000000, 0x4000, 0,
         "B taken modulo 32768"},
        {opRX(102, 1, kM), kMin, 0, 0, 7, kAbs, 0, 0x12345678, 0x12345677, 0x12345678, 0, 0x12345678,
         "t is the full 32-bit MREG"},
    };
    for (const FilterRow& row : rows) checkFilter(row);
}

TEST(FilterPairs, RegisterCoefficientWriteHalves) {
    // 99, 101, 103: store X; X := sat(mulS31(A, old X) + R15); R15 unchanged.
    const FilterRow rows[] = {
        {opRA(99, 1, kAddr), 0x40000000, 0, 0x12345678, 0, kAbs, 0x1111, 0, 0x091A2B3C, 0, 0x1234, 0,
         "the delay keeps only the upper 16 bits"},
        {opRA(99, 1, kAddr), kMin, 0, kMin, 1, kAbs, 0x1111, 0, kMax, 1, -32768, 0, "-1.0 x -1.0 + lsb saturates"},
        {opRA(99, 16, kAddr), 0, 0, 0x40000000, 0x01000000, kAbs, 0x1111, 0, 0x21000000, 0x01000000, 0x4000, 0,
         "A = ACC32 is the old X"},
        {opRR(101, 1, 2), 0x40000000, -1, 0x12345678, 0, kWritePos - 1, 0x1111, 0, 0x091A2B3C, 0, 0x1234, 0,
         "address from B"},
        {opRX(103, 1, kM), 0x40000000, 0, 0x12345678, 5, kAbs, 0x1111, 0, 0x091A2B3C + 5, 5, 0x1111, 0x12345678,
         "MREG keeps all 32 bits"},
        {opRX(103, 1, kM), kMax, 0, kMin, kMin, kAbs, 0x1111, 0, kMin, kMin, 0x1111, kMin, "saturates low"},
    };
    for (const FilterRow& row : rows) checkFilter(row);
}

TEST(FilterPairs, ReadHalfCarriesTheDelayedValueToTheWriteHalf) {
    // Word-coefficient pair on one address: X = 0.5, D(a) = 0.25, C = 0.5 in both halves.
    Chip c;
    c.load({opCA(96, 0x40, kAddr), opCA(97, 0x40, kAddr)});
    c.writePos() = kWritePos;
    c.delayAbs(kAbs) = 0x2000;
    c.acc32() = 0x40000000;
    c.step(0);
    EXPECT_EQ(c.acc32(), 0x50000000);  // 0.5 + 0.5 x 0.25
    EXPECT_EQ(c.reg(15), 0x20000000);
    c.step(1);
    EXPECT_EQ(c.delayAbs(kAbs), 0x5000);
    EXPECT_EQ(c.acc32(), 0x48000000);  // 0.5 x 0.625 + 0.25
    EXPECT_EQ(c.reg(15), 0x20000000);
}

TEST(FilterPairs, RegisterCoefficientPairOnDelayAndOnMemoryRegister) {
    {
        Chip c;
        c.load({opRA(98, 1, kAddr), opRA(99, 1, kAddr)});
        c.writePos() = kWritePos;
        c.delayAbs(kAbs) = 0x2000;
        c.acc32() = 0x40000000;
        c.reg(1) = 0x40000000;
        c.stepAll();
        // 98: 0.5 - 0.5 x 0.25 = 0.375; 99: stores 0.375, X = 0.5 x 0.375 + 0.25.
        EXPECT_EQ(c.delayAbs(kAbs), 0x3000);
        EXPECT_EQ(c.acc32(), 0x38000000);
        EXPECT_EQ(c.reg(15), 0x20000000);
    }
    {
        Chip c;
        c.load({opRX(102, 1, kM), opRX(103, 1, kM)});
        c.mreg(kM) = 0x12345678;
        c.acc32() = 0x1234;
        c.reg(1) = 0x40000000;
        c.stepAll();
        // 102: 0x1234 - 0x091A2B3C; 103 stores that in full, X = half of it + 0x12345678.
        EXPECT_EQ(c.mreg(kM), S(0xF6E5E6F8));
        EXPECT_EQ(c.acc32(), 229067252);
        EXPECT_EQ(c.reg(15), 0x12345678);
    }
}

}  // namespace
