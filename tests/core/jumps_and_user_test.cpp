// Forward jumps (conditions, offsets, targets past the end) and the user-output
// instruction.
#include <gtest/gtest.h>

#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

struct JumpRow {
    unsigned op;
    int32_t a;  // R1
    int32_t x;  // ACC32
    bool taken;
    const char* why;
};

TEST(Jumps, ConditionsDecideBetweenNextWordAndSkip) {
    const JumpRow rows[] = {
        {87, 0, 0, true, ">= 0 at 0"},
        {87, kMax, 0, true, ">= 0"},
        {87, -1, 0, false, "negative"},
        {87, kMin, 0, false, "-1.0"},
        {88, -1, 0, true, "< 0"},
        {88, kMin, 0, true, "-1.0"},
        {88, 0, 0, false, "0 is not negative"},
        {88, kMax, 0, false, "positive"},
        {89, 1, 0, true, "nonzero"},
        {89, kMin, 0, true, "nonzero"},
        {89, 0, 0, false, "zero"},
        {90, 0, 5, true, "zero"},
        {90, 1, 0, false, "nonzero"},
        {90, kMin, 0, false, "nonzero"},
        {91, 1, -1, true, "signs differ"},
        {91, -1, 1, true, "signs differ"},
        {91, 0, kMin, true, "0 counts as positive"},
        {91, kMin, 0, true, "0 counts as positive"},
        {91, -1, -1, false, "both negative"},
        {91, 5, 7, false, "both positive"},
        {91, 0, 0, false, "both zero"},
    };
    for (const JumpRow& row : rows) {
        SCOPED_TRACE(std::string("opcode ") + std::to_string(row.op) + ": " + row.why);
        Chip c;
        std::vector<uint32_t> words(8, 0u);
        words[5] = opRX(row.op, 1, 2);  // J = 2
        c.load(words);
        scatterState(c);
        c.reg(1) = row.a;
        c.acc32() = row.x;
        const Snapshot before = Snapshot::of(c);
        EXPECT_EQ(c.step(5), row.taken ? 8 : 6);
        EXPECT_TRUE(Snapshot::of(c) == before) << "a jump changed the chip";
    }
}

TEST(Jumps, UnconditionalJumpOffsets) {
    Chip c;
    std::vector<uint32_t> words(8, 0u);
    words[0] = opJ(92, 0);
    words[1] = opJ(92, 1);
    words[2] = opJ(92, 4095);
    c.load(words);
    EXPECT_EQ(c.step(0), 1) << "J = 0 skips nothing";
    EXPECT_EQ(c.step(1), 3);
    EXPECT_EQ(c.step(2), 4098) << "targets beyond the program are returned as they are";
    // A conditional jump with J = 0 lands on the next word either way.
    Chip d;
    d.load({opRX(90, 1, 0), opRX(90, 1, 0)});
    d.reg(1) = 0;
    EXPECT_EQ(d.step(0), 1);
    d.reg(1) = 1;
    EXPECT_EQ(d.step(1), 2);
}

TEST(Jumps, ConditionReadsTheSlotNamedByRa) {
    // 91 with A = ACC32 itself: A XOR X = 0, never taken.
    Chip c;
    c.load({opRX(91, 16, 3), opRX(89, 17, 3), opRX(88, 25, 3)});
    c.acc32() = -5;
    EXPECT_EQ(c.step(0), 1);
    c.flags() = 0x10;  // FLAGS nonzero
    EXPECT_EQ(c.step(1), 5);
    c.mreg(7) = -1;  // slot 25 is MREG7
    EXPECT_EQ(c.step(2), 6);
}

TEST(Jumps, SkippedWordsDoNotRunInASample) {
    Chip c;
    // JMP +1 over "R1 := H"; then R2 := H.
    c.load({opJ(92, 1), opRI(75, 1, 0x1111), opRI(75, 2, 0x2222)});
    c.core().run(nullptr);
    EXPECT_EQ(c.reg(1), 0);
    EXPECT_EQ(c.reg(2), 0x22220000);
}

TEST(Jumps, JumpWithZeroOffsetRunsTheNextWord) {
    Chip c;
    c.load({opJ(92, 0), opRI(75, 1, 0x1111)});
    c.core().run(nullptr);
    EXPECT_EQ(c.reg(1), 0x11110000);
}

TEST(Jumps, TargetAtOrBeyondTheEndEndsTheSample) {
    {
        Chip c;
        c.load({opJ(92, 4095), opRI(75, 1, 0x1111)});
        c.core().run(nullptr);
        EXPECT_EQ(c.reg(1), 0);
    }
    {
        // JZ R0, +1 with R0 = 0: the target is index 2, the program's length.
        Chip c;
        c.load({opRX(90, 0, 1), opRI(75, 1, 0x1111)});
        c.core().run(nullptr);
        EXPECT_EQ(c.reg(1), 0);
        EXPECT_EQ(c.acc32(), 0) << "the zero words after the end must not run either";
    }
    {
        // Not taken: the next word runs.
        Chip c;
        c.presets.creg[0] = 1;
        c.load({opRX(90, 0, 1), opRI(75, 1, 0x1111)});
        c.core().run(nullptr);
        EXPECT_EQ(c.reg(1), 0x11110000);
    }
}

TEST(UserOutputs, BitNOfASetsTheSelectedOutput) {
    struct Row {
        int32_t a;
        int user;
        int n;
        int32_t before[2];
        int32_t after[2];
        const char* why;
    };
    const Row rows[] = {
        {4, 1, 2, {0, 0}, {0, 1}, "bit 2 of 4, USER1 on"},
        {4, 0, 2, {0, 1}, {1, 1}, "USER0 on, USER1 untouched"},
        {4, 0, 1, {1, 1}, {0, 1}, "bit 1 of 4 is 0: USER0 off"},
        {-1, 1, 31, {0, 0}, {0, 1}, "sign bit: the output is 1, not -1"},
        {kMin, 0, 31, {0, 0}, {1, 0}, "logical shift of -1.0"},
        {kMax, 0, 31, {1, 0}, {0, 0}, "bit 31 of the largest value is 0"},
        {0x00010000, 1, 16, {0, 0}, {0, 1}, "bit 16"},
        {1, 1, 0, {0, 0}, {0, 1}, "bit 0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Chip c;
        c.load({opUser(1, row.user, row.n)});
        scatterState(c);
        c.reg(1) = row.a;
        c.userOut(0) = row.before[0];
        c.userOut(1) = row.before[1];
        Snapshot expected = Snapshot::of(c);
        expected.user = {row.after[0], row.after[1]};
        EXPECT_EQ(c.step(), 1);
        EXPECT_TRUE(Snapshot::of(c) == expected)
            << "USER0 " << c.userOut(0) << " USER1 " << c.userOut(1);
    }
}

}  // namespace
