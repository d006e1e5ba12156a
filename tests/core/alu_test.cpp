// Opcodes that leave their result in ACC32: add and subtract (wrapping or
// saturating), shifts, multiplies, negation, log2/exp2 and the logic operations.
#include <gtest/gtest.h>

#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

constexpr int32_t S(uint32_t bits) { return q31::asSigned(bits); }

struct AluRow {
    unsigned op;
    int32_t a;       // in R1
    int32_t second;  // B (in R2) for two-register opcodes, else n or the immediate field
    int32_t expected;
    const char* why;
};

// Runs one row both by step and as a sample: A in R1, B in R2, ACC32 preset to a
// sentinel that every result replaces.
void checkRow(const AluRow& row) {
    const OpcodeInfo* info = findOpcode(row.op);
    ASSERT_NE(info, nullptr);
    const bool twoRegisters = info->format == OperandFormat::RR;
    for (Via via : kBothWays) {
        SCOPED_TRACE(std::string("opcode ") + std::to_string(row.op) + " by " + name(via) + ": " + row.why);
        Chip c;
        c.load({twoRegisters ? opRR(row.op, 1, 2) : opGeneric(row.op, 1, row.second)});
        c.reg(1) = row.a;
        c.reg(2) = twoRegisters ? row.second : 0x5EED;
        c.acc32() = S(0xA5A5A5A5);
        const int64_t y = c.acc64() = 0x1111222233334444ll;

        executeFirstWord(c, via);
        EXPECT_EQ(c.acc32(), row.expected) << std::hex << "got 0x" << c.acc32() << " want 0x" << row.expected;
        EXPECT_EQ(c.reg(1), row.a) << "operand A was overwritten";
        EXPECT_EQ(c.reg(2), twoRegisters ? row.second : 0x5EED);
        EXPECT_EQ(c.acc64(), y);
    }
}

TEST(Alu, AddAndSubtractWrapOrSaturatePerOpcode) {
    const AluRow rows[] = {
        {0, -5, 0, 5, "|-5|"},
        {0, kMin, 0, kMax, "|-1.0| saturates"},
        {0, kMin + 1, 0, kMax, "|-1.0 + lsb| is exact"},
        {0, 0, 0, 0, "|0|"},
        {2, kMax, 1, kMin, "integer add wraps"},
        {2, 10, -1, 9, "S16 is signed and not shifted"},
        {2, 0, 32767, 32767, "largest S16"},
        {2, kMin, -32768, S(0x7FFF8000), "wraps below -1.0"},
        {3, kMax, 1, kMin, "wrap"},
        {3, kMin, kMin, 0, "-1.0 + -1.0 wraps to 0"},
        {3, -1, -1, -2, "plain add"},
        {4, kMax, 1, kMax, "saturates high"},
        {4, kMin, -1, kMin, "saturates low"},
        {4, kMin, kMin, kMin, "-2.0 saturates"},
        {4, 5, -7, -2, "in range"},
        {5, 0, 0x4000, 0x40000000, "H = U16 << 16"},
        {5, 0x40000000, 0x4000, kMax, "0.5 + 0.5 saturates"},
        {5, 0, 0x8000, kMin, "U16 0x8000 is H = -1.0"},
        {5, -1, 0x8000, kMin, "-1.0 - lsb saturates"},
        {5, 16, 0xFFFF, 16 - 65536, "H = 0xFFFF0000 is negative"},
        {6, kMin, 1, kMax, "wrap"},
        {6, 0, kMin, kMin, "0 - (-1.0) wraps"},
        {6, 3, 5, -2, "plain subtract"},
        {7, kMin, 1, kMin, "saturates low"},
        {7, 0, kMin, kMax, "0 - (-1.0) saturates"},
        {7, kMax, -1, kMax, "saturates high"},
        {7, 3, 5, -2, "in range"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, ShiftsMaskTheCountAndSaturateOnlyWhereTheyShould) {
    const AluRow rows[] = {
        {8, 0x40000000, 1, kMin, "plain left shift loses the sign"},
        {8, 0x12345678, 4, 0x23456780, "bits shifted out are lost"},
        {8, 0x12345678, 0, 0x12345678, "n = 0"},
        {9, 1, 33, 2, "B AND 31 = 1"},
        {9, 1, -1, kMin, "B AND 31 = 31"},
        {9, 0x12345678, 32, 0x12345678, "B AND 31 = 0"},
        {9, 3, 30, S(0xC0000000), "3 << 30: the top bit becomes the sign"},
        {9, 3, 31, kMin, "3 << 31: bit 1 is lost"},
        {10, 0x40000000, 1, kMax, "0.5 x 2 saturates"},
        {10, 0x20000000, 1, 0x40000000, "0.25 x 2 fits"},
        {10, -1, 31, kMin, "-lsb x 2^31 = -1.0 exactly"},
        {10, S(0xC0000000), 1, kMin, "-0.5 x 2 = -1.0 exactly"},
        {10, S(0xBFFFFFFF), 1, kMin, "just below -0.5 saturates negative"},
        {10, 0x3FFFFFFF, 1, 0x7FFFFFFE, "largest value that fits"},
        {10, 1, 30, 0x40000000, "fits"},
        {10, 0, 31, 0, "zero never saturates"},
        {10, -3, 2, -12, "negative, in range"},
        {11, 0x40000000, 33, kMax, "B AND 31 = 1, saturates"},
        {11, 0x40000000, 32, 0x40000000, "B AND 31 = 0 leaves A"},
        {11, -3, 2, -12, "in range"},
        {11, 1, 31, kMax, "B = 31: 2^-31 x 2^31 saturates"},
        {12, kMin, 31, 1, "logical: zeros shifted in"},
        {12, -1, 4, 0x0FFFFFFF, "logical"},
        {12, -1, 0, -1, "n = 0"},
        {13, -1, 36, 0x0FFFFFFF, "B AND 31 = 4"},
        {13, -1, kMin, -1, "B AND 31 = 0"},
        {13, kMin, 31, 1, "all five bits of B count"},
        {14, kMin, 31, -1, "arithmetic: sign shifted in"},
        {14, -16, 2, -4, "arithmetic"},
        {14, -1, 1, -1, "-lsb stays -lsb (floor)"},
        {14, kMax, 30, 1, "positive"},
        {15, -256, 36, -16, "B AND 31 = 4"},
        {15, -256, -31, -128, "-31 AND 31 = 1"},
        {15, kMin, 30, -2, "all five bits of B count"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, MultiplyAndNegate) {
    const AluRow rows[] = {
        {24, kMin, kMin, kMax, "-1.0 x -1.0 saturates"},
        {24, 0x40000000, 0x40000000, 0x20000000, "0.5 x 0.5"},
        {24, -1, 1, -1, "floors toward minus infinity"},
        {24, 1, 1, 0, "2^-62 floors to 0"},
        {24, kMin, kMax, kMin + 1, "-1.0 x max = -max"},
        {24, kMax, kMax, 0x7FFFFFFE, "(2^31-1)^2 >> 31"},
        {24, 0x40000000, S(0xC0000000), S(0xE0000000), "0.5 x -0.5 = -0.25"},
        {25, 0x40000000, 0x4000, 0x20000000, "0.5 x H(0.5)"},
        {25, kMin, 0x8000, kMax, "-1.0 x H(-1.0) saturates"},
        {25, kMax, 0xFFFF, -65536, "H = 0xFFFF0000: floor(-2^16 + 2^-15)"},
        {26, 5, 0, -5, "negate"},
        {26, kMin, 0, kMax, "-(-1.0) saturates"},
        {26, kMax, 0, kMin + 1, "-max"},
        {26, 0, 0, 0, "-0"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, Log2GivesQ5_26Exponents) {
    // floor(log2(|A| / 2^31) x 2^26 + 0.5)
    const AluRow rows[] = {
        {27, 0x40000000, 0, -67108864, "log2(0.5) = -1"},
        {27, S(0xC0000000), 0, -67108864, "|-0.5|: log2 = -1"},
        {27, 0x20000000, 0, -134217728, "log2(0.25) = -2"},
        {27, 0, 0, kMin, "0 gives -32.0"},
        {27, kMin, 0, 0, "|-1.0| = 2^31 exactly: log2 = 0"},
        {27, 1, 0, -2080374784, "log2(2^-31) = -31"},
        {27, -1, 0, -2080374784, "|-1| = 1"},
        {27, 0x00010000, 0, -1006632960, "log2(2^-15) = -15"},
        {27, kMax, 0, 0, "log2(1 - 2^-31) x 2^26 = -0.045 rounds to 0"},
        {27, 0x60000000, 0, -27852695, "log2(0.75) x 2^26 = -27852694.594"},
        {27, 3, 0, -1974009751, "(log2(3) - 31) x 2^26 = -1974009750.594"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, Exp2OfQ5_26Exponents) {
    // floor(2^(A / 2^26) x 2^31 + 0.5), at most 0x7FFFFFFF
    const AluRow rows[] = {
        {28, 0, 0, kMax, "2^0 = 1.0 saturates"},
        {28, 1, 0, kMax, "positive exponent saturates"},
        {28, kMax, 0, kMax, "2^32 saturates"},
        {28, -67108864, 0, 0x40000000, "2^-1"},
        {28, kMin, 0, 1, "2^-32 x 2^31 = 0.5 rounds up to 1"},
        {28, -2080374784, 0, 1, "2^-31 x 2^31 = 1"},
        {28, -33554432, 0, 1518500250, "2^-0.5 x 2^31 = 1518500249.988"},
        {28, -1, 0, 2147483626, "2^(-2^-26) x 2^31 = 2147483625.819"},
        {28, -100663296, 0, 759250125, "2^-1.5 x 2^31 = 759250124.994"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, LogicOperations) {
    const AluRow rows[] = {
        {80, 0, 0, -1, "NOT 0"},
        {80, 0x0F0F0F0F, 0, S(0xF0F0F0F0), "NOT"},
        {81, 0xF0, 0x0F, 0xFF, "OR"},
        {82, 0x12340000, 0xFFFF, 0x1234FFFF, "OR U16 sets the lower half"},
        {82, kMin, 0x8000, S(0x80008000), "upper half passes, no sign extension of U16"},
        {83, S(0xFF00FF00), 0x0FF00FF0, 0x0F000F00, "AND"},
        {84, 0x12345678, 0xFFFF, 0x00005678, "AND U16 clears the upper half"},
        {84, -1, 0x8000, 0x00008000, "U16 is not sign-extended"},
        {85, S(0xFFFF0000), S(0xFF00FF00), 0x00FFFF00, "XOR"},
        {86, 0x12345678, 0xFFFF, 0x1234A987, "XOR U16 touches only the lower half"},
        {86, kMin, 0x8000, S(0x80008000), "upper half passes"},
    };
    for (const AluRow& row : rows) checkRow(row);
}

TEST(Alu, OperandsComeFromAnyRegisterSlot) {
    // A and B may be ACC32 itself, FLAGS or an MREG slot; A and B are read first.
    {
        Chip c;
        c.load({opRR(3, 16, 16)});  // X := X + X
        c.acc32() = 5;
        c.step();
        EXPECT_EQ(c.acc32(), 10);
    }
    {
        Chip c;
        c.load({opRR(3, 17, 20)});  // X := FLAGS + MREG2
        c.flags() = 3;
        c.mreg(2) = 4;
        c.step();
        EXPECT_EQ(c.acc32(), 7);
        EXPECT_EQ(c.flags(), 3);
        EXPECT_EQ(c.mreg(2), 4);
    }
    {
        Chip c;
        c.load({opR(80, 31)});  // X := NOT MREG13
        c.mreg(13) = 0x0000FFFF;
        c.mreg(14) = 0x12345;
        c.step();
        EXPECT_EQ(c.acc32(), S(0xFFFF0000));
        EXPECT_EQ(c.mreg(13), 0x0000FFFF);
    }
    {
        Chip c;
        c.load({opRR(4, 15, 15)});  // X := sat(R15 + R15)
        c.reg(15) = 0x60000000;
        c.step();
        EXPECT_EQ(c.acc32(), kMax);
    }
}

TEST(Alu, ResultAlwaysGoesToAcc32) {
    // ra names operand A, not a destination: only ACC32 changes.
    Chip c;
    c.load({opRR(3, 5, 6)});
    scatterState(c);
    c.reg(5) = 100;
    c.reg(6) = 23;
    Snapshot expected = Snapshot::of(c);
    expected.acc32 = 123;
    EXPECT_EQ(c.step(), 1);
    EXPECT_TRUE(Snapshot::of(c) == expected);
}

}  // namespace
