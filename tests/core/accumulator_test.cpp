// ACC64: clearing, the multiply-accumulate opcodes (full and one-eighth precision),
// saturation of the 64-bit sum, and reading and writing its two 32-bit words.
#include <gtest/gtest.h>

#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

constexpr int32_t S(uint32_t bits) { return q31::asSigned(bits); }
constexpr int64_t S64(uint64_t bits) { return static_cast<int64_t>(bits); }
constexpr int64_t P2(int n) { return int64_t{1} << n; }

constexpr int kAddr = 10;       // delay address used by the rows
constexpr int kWritePos = 32760;  // so that kAddr wraps to absolute index 2

struct MacRow {
    uint32_t word;
    int32_t a;       // R1
    int32_t b;       // R2
    int16_t sample;  // delay sample at relative address kAddr
    int64_t before;
    int64_t after;
    const char* why;
};

void checkMac(const MacRow& row) {
    for (Via via : kBothWays) {
        SCOPED_TRACE(std::string(name(via)) + ": " + row.why);
        Chip c;
        c.load({row.word});
        c.reg(1) = row.a;
        c.reg(2) = row.b;
        c.writePos() = kWritePos;
        c.delayAbs(2) = row.sample;
        c.acc64() = row.before;
        c.acc32() = 0x77;
        executeFirstWord(c, via);
        EXPECT_EQ(c.acc64(), row.after) << std::hex << "got 0x" << c.acc64() << " want 0x" << row.after;
        EXPECT_EQ(c.acc32(), 0x77) << "ACC32 must not change";
        EXPECT_EQ(c.reg(1), row.a);
        EXPECT_EQ(c.delayAbs(2), row.sample);
    }
}

TEST(Accumulator, ClearSetsAcc64ToZero) {
    checkMac({opNone(1), 3, 4, 5, S64(0xFEDCBA9876543210ull), 0, "clear"});
}

TEST(Accumulator, FullPrecisionMultiplyAccumulate) {
    const MacRow rows[] = {
        {opRR(16, 1, 2), 0x40000000, 0x40000000, 0, 5, P2(61) + 5, "0.5 x 0.5 x 2 = 2^61, added"},
        {opRR(16, 1, 2), kMin, kMin, 0, 0, kMax64, "-1.0 x -1.0 adds the largest value"},
        {opRR(16, 1, 2), kMin, kMin, 0, -1, kMax64 - 1, "no saturation when the sum fits"},
        {opRR(16, 1, 2), kMin, kMin, 0, kMax64, kMax64, "sum above 2^63 - 1 saturates"},
        {opRR(16, 1, 2), kMin, kMax, 0, kMin64, kMin64, "sum below -2^63 saturates"},
        {opRR(16, 1, 2), -1, 1, 0, 0, -2, "exact, no rounding"},
        {opRI(17, 1, 0x8000), 0x40000000, 0, 0, 0, -P2(62), "H = 0x80000000 is -1.0"},
        {opRI(17, 1, 0x8000), kMin, 0, 0, 0, kMax64, "-1.0 x H(-1.0) saturates"},
        {opRI(17, 1, 0x0001), 0x40000000, 0, 0, 0, P2(47), "H = 2^16"},
        {opRA(18, 1, kAddr), 0x40000000, 0, 0x4000, 0, P2(61), "D(a) = 0.5"},
        {opRA(18, 1, kAddr), kMin, 0, -32768, 0, kMax64, "A = D(a) = -1.0 saturates"},
        {opRA(18, 1, kAddr), 1, 0, 1, 0, P2(17), "D(a) = 2^16"},
        {opCA(19, 0x40, kAddr), 0, 0, 0x4000, 0, P2(61), "C = 0.5, D = 0.5"},
        {opCA(19, -128, kAddr), 0, 0, -32768, 0, kMax64, "C = D = -1.0 saturates"},
        {opCA(19, 1, kAddr), 0, 0, 1, 0, P2(41), "C = 2^24, D = 2^16"},
        {opCA(19, -1, kAddr), 0, 0, 0x4000, 0, -P2(55), "C = -2^24, D = 2^30"},
    };
    for (const MacRow& row : rows) checkMac(row);
}

TEST(Accumulator, OneEighthMultiplyShiftsTheSecondOperandFirst) {
    const MacRow rows[] = {
        // 20: B >> 3 keeps B's 32-bit precision.
        {opRR(20, 1, 2), 0x40000000, 0x40000000, 0, 0, P2(58), "2 x 2^30 x 2^27"},
        {opRR(20, 1, 2), 0x40000000, 7, 0, 100, 100, "7 >> 3 = 0"},
        {opRR(20, 1, 2), 0x40000000, 0x70000, 0, 0, 2 * P2(30) * 0xE000, "0x70000 >> 3 = 0xE000"},
        {opRR(20, 1, 2), kMin, kMin, 0, 0, P2(60), "no -1.0 x -1.0 special case"},
        {opRR(20, 1, 2), 1, -1, 0, 0, -2, "-1 >> 3 = -1 (arithmetic)"},
        {opRR(20, 1, 2), kMin, kMin, 0, kMax64 - 10, kMax64, "sum saturates"},
        // 21: the 16-bit immediate is divided by 8 before it is widened.
        {opRI(21, 1, 0x4000), 0x40000000, 0, 0, 0, P2(58), "(16384 >> 3) << 16 = 2^27"},
        {opRI(21, 1, 7), 0x40000000, 0, 0, 100, 100, "the 3 low bits never reach the product"},
        {opRI(21, 1, -1), 0x40000000, 0, 0, 0, -P2(47), "(-1 >> 3) << 16 = -2^16"},
        {opRI(21, 1, -9), 1, 0, 0, 0, -262144, "(-9 >> 3) = -2"},
        {opRI(21, 1, -32768), kMin, 0, 0, 0, P2(60), "-1.0 x -1/8"},
        // 22: the same with the delay sample.
        {opRA(22, 1, kAddr), 0x40000000, 0, 0x4000, 0, P2(58), "d16 = 16384"},
        {opRA(22, 1, kAddr), 0x40000000, 0, 7, 100, 100, "d16 = 7 contributes nothing"},
        {opRA(22, 1, kAddr), 0x40000000, 0, -1, 0, -P2(47), "d16 = -1 -> -2^16"},
        // 23: C times the divided sample.
        {opCA(23, 0x40, kAddr), 0, 0, 0x4000, 0, P2(58), "C = 2^30"},
        {opCA(23, -128, kAddr), 0, 0, -32768, 0, P2(60), "-1.0 x -1/8"},
        {opCA(23, 1, kAddr), 0, 0, 15, 0, P2(41), "15 >> 3 = 1"},
        {opCA(23, -128, kAddr), 0, 0, 0x4000, kMin64 + 5, kMin64, "sum saturates low"},
    };
    for (const MacRow& row : rows) checkMac(row);
}

TEST(Accumulator, AddToAcc64Saturates) {
    Chip c;
    c.load({0u});
    c.acc64() = kMax64;
    c.core().addToAcc64(1);
    EXPECT_EQ(c.acc64(), kMax64);
    c.acc64() = kMin64;
    c.core().addToAcc64(-1);
    EXPECT_EQ(c.acc64(), kMin64);
    c.acc64() = kMax64;
    c.core().addToAcc64(kMin64);
    EXPECT_EQ(c.acc64(), -1);
    c.acc64() = 5;
    c.core().addToAcc64(-3);
    EXPECT_EQ(c.acc64(), 2);
}

struct WordRow {
    uint32_t word;
    int32_t a;  // R1
    int64_t before;
    int64_t accAfter;
    int32_t r3After;  // destination of the reads
    const char* why;
};

void checkWordRow(const WordRow& row) {
    for (Via via : kBothWays) {
        SCOPED_TRACE(std::string(name(via)) + ": " + row.why);
        Chip c;
        c.load({row.word});
        c.reg(1) = row.a;
        c.reg(3) = 0x3333;
        c.acc64() = row.before;
        c.acc32() = 0x77;
        executeFirstWord(c, via);
        EXPECT_EQ(c.acc64(), row.accAfter) << std::hex << "got 0x" << c.acc64();
        EXPECT_EQ(c.reg(3), row.r3After) << std::hex << "got 0x" << c.reg(3);
        EXPECT_EQ(c.acc32(), 0x77);
    }
}

TEST(Accumulator, ReadAndWriteItsWords) {
    const int64_t y = S64(0x123456789ABCDEF0ull);
    const WordRow rows[] = {
        {opR(64, 3), 0, y, y, 0x12345678, "high word"},
        {opR(65, 3), 0, y, y, S(0x9ABCDEF0), "low word as raw bits"},
        {opR(64, 3), 0, -1, -1, -1, "high of -1"},
        {opR(65, 3), 0, -P2(32), -P2(32), 0, "low of -2^32"},
        {opR(64, 3), 0, -P2(32), -P2(32), -1, "high of -2^32"},
        {opR(66, 1), kMin, 0x00000000FFFFFFFFll, S64(0x80000000FFFFFFFFull), 0x3333, "write high, low kept"},
        {opR(66, 1), 0x12345678, -1, S64(0x12345678FFFFFFFFull), 0x3333, "write high over -1"},
        {opR(67, 1), -1, S64(0x7FFFFFFF00000000ull), kMax64, 0x3333, "low word is not sign-extended"},
        {opR(67, 1), 5, -1, S64(0xFFFFFFFF00000005ull), 0x3333, "write low, high kept"},
    };
    for (const WordRow& row : rows) checkWordRow(row);
}

TEST(Accumulator, HighWordTimesEightSaturates) {
    const WordRow rows[] = {
        {opR(74, 3), 0, P2(60), P2(60), kMax, "high 0x10000000 x 8 saturates"},
        {opR(74, 3), 0, S64(0x0FFFFFFF00000000ull), S64(0x0FFFFFFF00000000ull), 0x7FFFFFF8, "(2^28 - 1) x 8"},
        {opR(74, 3), 0, S64(0xF000000000000000ull), S64(0xF000000000000000ull), kMin, "-2^28 x 8 = -1.0 exactly"},
        {opR(74, 3), 0, S64(0xEFFFFFFFFFFFFFFFull), S64(0xEFFFFFFFFFFFFFFFull), kMin, "saturates low"},
        {opR(74, 3), 0, S64(0x00000001FFFFFFFFull), S64(0x00000001FFFFFFFFull), 8, "low word not used"},
        {opR(74, 3), 0, -1, -1, -8, "high -1 x 8"},
    };
    for (const WordRow& row : rows) checkWordRow(row);
}

TEST(Accumulator, WordMovesThroughAcc32Slot) {
    Chip c;
    // X := high word; high word := X + 1 (via ADDI); then the high word goes back to ACC64.
    c.load({opR(64, 16), opRI(2, 16, 1), opR(66, 16)});
    c.acc64() = S64(0x00000041DEADBEEFull);
    c.stepAll();
    EXPECT_EQ(c.acc32(), 0x42);
    EXPECT_EQ(c.acc64(), S64(0x00000042DEADBEEFull));
}

TEST(Accumulator, MacSumsAcrossInstructions) {
    // Clear, then 0.25 x 0.5 + 0.5 x -0.25: the two products cancel exactly.
    Chip c;
    c.load({opNone(1), opRR(16, 1, 2), opRR(16, 2, 3), opR(64, 4)});
    c.reg(1) = 0x20000000;
    c.reg(2) = 0x40000000;
    c.reg(3) = S(0xE0000000);
    c.acc64() = 12345;
    c.stepAll();
    EXPECT_EQ(c.acc64(), 0);
    EXPECT_EQ(c.reg(4), 0);
}

}  // namespace
