// Register slots, register/MREG/SFR moves, the high-half load and every way of
// addressing the delay memory.
#include <gtest/gtest.h>

#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

constexpr int32_t S(uint32_t bits) { return q31::asSigned(bits); }

TEST(RegisterSlots, MapOntoCoreRegistersAccumulatorFlagsAndMreg) {
    Chip c;
    c.load({0u});
    for (unsigned s = 0; s < 32; ++s) c.setSlot(s, 1000 + static_cast<int32_t>(s));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(c.reg(i), 1000 + i);
    EXPECT_EQ(c.acc32(), 1016);
    EXPECT_EQ(c.flags(), 1017);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(c.mreg(i), 1018 + i) << "MREG" << i;
    EXPECT_EQ(c.mreg(14), 0) << "slot 31 is MREG13, the last one reachable";

    c.mreg(13) = -77;
    c.acc32() = -16;
    EXPECT_EQ(c.slot(31), -77);
    EXPECT_EQ(c.slot(16), -16);
}

TEST(Moves, MovCopiesBetweenAnySlots) {
    struct Row {
        int ra, rb;
        const char* why;
    };
    const Row rows[] = {
        {3, 16, "R3 := ACC32"},
        {20, 1, "MREG2 := R1"},
        {17, 1, "FLAGS := R1"},
        {16, 31, "ACC32 := MREG13"},
        {5, 5, "onto itself"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({opRR(48, row.ra, row.rb)});
        scatterState(c);
        const int32_t value = c.slot(static_cast<unsigned>(row.rb));
        Snapshot expected = Snapshot::of(c);
        expected.setSlot(static_cast<unsigned>(row.ra), value);
        EXPECT_EQ(c.step(), 1);
        EXPECT_TRUE(Snapshot::of(c) == expected) << "MOV " << row.ra << ", " << row.rb;
    }
}

TEST(Moves, FlagsWrittenByTheProgramLastUntilTheNextSample) {
    Chip c;
    c.presets.creg[1] = 0x12345678;
    // R3 := FLAGS as rebuilt for this sample; then FLAGS := R1.
    c.load({opRR(48, 3, 17), opRR(48, 17, 1)});
    c.core().run(nullptr);
    EXPECT_EQ(c.flags(), 0x12345678);
    c.core().run(nullptr);
    EXPECT_EQ(c.reg(3), 0x1) << "FLAGS is rebuilt before the program: only the released-tap bit";
}

TEST(Moves, MemoryRegisterLoadsAndStores) {
    {
        Chip c;
        c.load({opRX(49, 3, 127), opRX(49, 18, 100)});  // R3 := MREG127; MREG0 := MREG100
        c.mreg(127) = -5;
        c.mreg(100) = 0x0BADF00D;
        c.stepAll();
        EXPECT_EQ(c.reg(3), -5);
        EXPECT_EQ(c.mreg(0), 0x0BADF00D);
    }
    {
        Chip c;
        c.load({opRX(51, 16, 127), opRX(51, 2, 40)});  // MREG127 := ACC32; MREG40 := R2
        c.acc32() = 0x7654321;
        c.reg(2) = kMin;
        c.stepAll();
        EXPECT_EQ(c.mreg(127), 0x7654321);
        EXPECT_EQ(c.mreg(40), kMin);
        EXPECT_EQ(c.acc32(), 0x7654321);
    }
}

TEST(Moves, IndirectMemoryRegisterLoadMasksTheIndexTo7Bits) {
    struct Row {
        int32_t b;
        int expectedIndex;
    };
    for (const Row& row : {Row{5, 5}, Row{130, 2}, Row{-1, 127}, Row{S(0x80000005), 5}, Row{127, 127}}) {
        Chip c;
        c.load({opRR(53, 3, 2)});  // R3 := MREG(R2 AND 127)
        for (int i = 0; i < 128; ++i) c.mreg(i) = 500 + i;
        c.reg(2) = row.b;
        c.step();
        EXPECT_EQ(c.reg(3), 500 + row.expectedIndex) << "B = " << row.b;
    }
}

TEST(Moves, LoadHighHalf) {
    struct Row {
        int ra;
        int32_t u16;
        int32_t expected;
    };
    for (const Row& row : {Row{3, 0x1234, 0x12340000}, Row{3, 0x8000, kMin}, Row{3, 0xFFFF, S(0xFFFF0000)},
                           Row{16, 0x4000, 0x40000000}, Row{21, 0x0001, 0x00010000}}) {
        Chip c;
        c.load({opRI(75, row.ra, row.u16)});
        c.setSlot(static_cast<unsigned>(row.ra), 0x5555);
        c.step();
        EXPECT_EQ(c.slot(static_cast<unsigned>(row.ra)), row.expected) << "slot " << row.ra;
    }
    Chip c;
    c.load({opRI(75, 20, 0x7FFF)});
    c.step();
    EXPECT_EQ(c.mreg(2), 0x7FFF0000) << "slot 20 is MREG2";
    EXPECT_EQ(c.reg(4), 0);
}

// ---- SFR access -------------------------------------------------------------------

TEST(SfrInstructions, ReadFollowsTheSfrMap) {
    struct Row {
        int k;
        int32_t expected;
        const char* why;
    };
    const Row rows[] = {
        {0, 3, "IN0 as stored"},
        {5, 0, "outputs always read 0"},
        {7, 0, "outputs always read 0"},
        {12, 7 * 12 + 3, "smoothing shift"},
        {46, 4242, "the sample counter"},
        {48, 7 * 48 + 3, "keeps its preset"},
        {49, 0, "no register"},
        {63, 0, "no register"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({opRX(50, 3, row.k)});
        scatterState(c);
        CoreProbe::sampleCount(c.core()) = 4242;
        c.step();
        EXPECT_EQ(c.reg(3), row.expected) << "SFR " << row.k;
    }
}

TEST(SfrInstructions, WriteStoresOnlyWritableRegisters) {
    {
        Chip c;
        c.load({opRX(52, 1, 12)});
        c.reg(1) = 37;
        c.step();
        EXPECT_EQ(c.sfr(12), 5) << "smoothing shifts keep 5 bits";
    }
    {
        Chip c;
        c.load({opRX(52, 1, 5), opRX(50, 2, 5)});  // OUT1 := R1, then read it back
        c.reg(1) = 0x40000000;
        c.reg(2) = 99;
        c.stepAll();
        EXPECT_EQ(c.output(1), 0x40000000);
        EXPECT_EQ(c.sfr(5), 0x40000000);
        EXPECT_EQ(c.core().getOutput(1), 0.5f);
        EXPECT_EQ(c.reg(2), 0) << "an output SFR reads 0";
        EXPECT_EQ(c.core().readSFR(5), 0);
    }
    for (int k : {4, 28, 31, 32, 33, 44}) {
        Chip c;
        c.load({opRX(52, 1, k)});
        c.reg(1) = -123456789;
        c.step();
        EXPECT_EQ(c.sfr(k), -123456789) << "SFR " << k;
        if (k == 4) {
            EXPECT_EQ(c.output(0), -123456789);
        }
    }
    for (int k : {0, 3, 8, 9, 16, 27, 34, 41, 42, 43, 45, 46, 47, 48, 49, 63}) {
        Chip c;
        c.load({opRX(52, 1, k)});
        scatterState(c);
        const Snapshot before = Snapshot::of(c);
        c.step();
        EXPECT_TRUE(Snapshot::of(c) == before) << "a write to SFR " << k << " changed the chip";
    }
}

// ---- Delay memory -----------------------------------------------------------------

TEST(DelayMemory, WriteKeepsTheUpperHalfWithoutRounding) {
    struct Row {
        int32_t a;
        int16_t stored;
        int32_t readBack;
    };
    const Row rows[] = {
        {0x12345678, 0x1234, 0x12340000},
        {0x1234FFFF, 0x1234, 0x12340000},  // not rounded up to 0x1235
        {-1, -1, S(0xFFFF0000)},            // truncates toward minus infinity
        {S(0x8000FFFF), -32768, kMin},
        {0x7FFFFFFF, 32767, 0x7FFF0000},
    };
    for (const Row& row : rows) {
        Chip c;
        c.load({opRA(69, 1, 10), opRA(68, 3, 10)});  // D(10) := R1; R3 := D(10)
        c.writePos() = 200;
        c.reg(1) = row.a;
        c.stepAll();
        EXPECT_EQ(c.delayAbs(210), row.stored) << std::hex << row.a;
        EXPECT_EQ(c.reg(3), row.readBack) << std::hex << row.a;
    }
}

TEST(DelayMemory, ImmediateAddressesAreRelativeToTheWritePositionAndWrap) {
    struct Row {
        int32_t writePos;
        int a;
        int absolute;
    };
    for (const Row& row : {Row{0, 0, 0}, Row{200, 10, 210}, Row{32767, 1, 0}, Row{1, 32767, 0}, Row{32760, 32767, 32759}}) {
        Chip c;
        c.load({opRA(68, 3, row.a), opRA(69, 1, row.a)});
        c.writePos() = row.writePos;
        c.delayAbs(row.absolute) = 0x2222;
        c.reg(1) = 0x33330000;
        c.stepAll();
        EXPECT_EQ(c.reg(3), 0x22220000) << "read of a = " << row.a << " at writePos " << row.writePos;
        EXPECT_EQ(c.delayAbs(row.absolute), 0x3333);
    }
}

TEST(DelayMemory, AWrittenSampleIsFoundOneAddressFurtherEachSample) {
    Chip c;
    c.presets.creg[1] = 0x12345678;
    // R2 := D(11); D(10) := R1. The write of one sample is read by the next.
    c.load({opRA(68, 2, 11), opRA(69, 1, 10)});
    c.core().run(nullptr);
    EXPECT_EQ(c.reg(2), 0);
    c.core().run(nullptr);
    EXPECT_EQ(c.reg(2), 0x12340000);
}

TEST(DelayMemory, RegisterAddressesWrapModulo32768) {
    struct Row {
        int32_t address;
        int absolute;  // with writePos 100 for the relative forms
        int absoluteDirect;
    };
    const Row rows[] = {
        {5, 105, 5},
        {-1, 99, 32767},
        {32768 + 5, 105, 5},
        {kMax, 99, 32767},
        {kMin, 100, 0},
        {S(0x80000005), 105, 5},
        {S(0x12348005), 105, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "address register " << row.address);
        // 70: R3 := D(R2); 71: D(R2) := R1 (address from A, data from B).
        {
            Chip c;
            c.load({opRR(70, 3, 2), opRR(71, 2, 1)});
            c.writePos() = 100;
            c.delayAbs(row.absolute) = 0x0ABC;
            c.reg(1) = S(0xFEDC9999);
            c.reg(2) = row.address;
            c.stepAll();
            EXPECT_EQ(c.reg(3), 0x0ABC0000);
            EXPECT_EQ(c.delayAbs(row.absolute), static_cast<int16_t>(0xFEDC));
        }
        // 72: R3 := delay[R2]; 73: delay[R2] := R1, both absolute.
        {
            Chip c;
            c.load({opRR(72, 3, 2), opRR(73, 2, 1)});
            c.writePos() = 100;
            c.delayAbs(row.absoluteDirect) = 0x0ABC;
            c.reg(1) = 0x01230000;
            c.reg(2) = row.address;
            c.stepAll();
            EXPECT_EQ(c.reg(3), 0x0ABC0000);
            EXPECT_EQ(c.delayAbs(row.absoluteDirect), 0x0123);
        }
    }
}

TEST(DelayMemory, MemberAccessorsMatchTheInstructions) {
    Chip c;
    c.load({0u});
    c.writePos() = 32000;
    c.core().writeDelay(1000, 0x7FFFFFFF);  // (32000 + 1000) AND 32767 = 232
    EXPECT_EQ(c.delayAbs(232), 0x7FFF);
    EXPECT_EQ(c.core().readDelay(1000), 0x7FFF0000);
    EXPECT_EQ(c.core().readDelay(1000 - 32768), 0x7FFF0000);
    EXPECT_EQ(c.core().readDelayDirect(232), 0x7FFF0000);
    EXPECT_EQ(c.core().readDelayDirect(232 + 32768), 0x7FFF0000);
    c.core().writeDelayDirect(-1, S(0x8001FFFF));
    EXPECT_EQ(c.delayAbs(32767), -32767);
    EXPECT_EQ(c.core().readDelay(767), S(0x80010000));  // 32000 + 767 = 32767
}

}  // namespace
