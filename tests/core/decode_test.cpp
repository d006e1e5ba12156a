// Instruction words: which are valid, how the opcode table and the encoder build
// them, and that an invalid word is skipped without touching the chip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "program_builder.h"

namespace {

using namespace fxcore;
using namespace fxcore::test;

bool inValidRange(unsigned op) {
    return op <= 28 || (op >= 48 && op <= 53) || (op >= 64 && op <= 75) || (op >= 80 && op <= 92) ||
           (op >= 96 && op <= 107);
}

TEST(Decode, ExactlyTheAssignedOpcodesAreValid) {
    int valid = 0;
    for (unsigned op = 0; op < 128; ++op) {
        const bool expected = inValidRange(op);
        // Field bits do not matter, only the opcode and bit 24.
        for (uint32_t fields : {0u, 0x00FFFFFFu, 0x00A5A5A5u}) {
            const uint32_t w = (op << 25) | fields;
            const auto got = validOpcode(w);
            EXPECT_EQ(got.has_value(), expected) << "opcode " << op << " fields " << std::hex << fields;
            if (got) {
                EXPECT_EQ(*got, op);
            }
        }
        if (expected) ++valid;
    }
    EXPECT_EQ(valid, 72);
}

TEST(Decode, Bit24MakesEveryWordInvalid) {
    for (unsigned op = 0; op < 128; ++op) {
        EXPECT_FALSE(validOpcode((op << 25) | 0x01000000u).has_value()) << "opcode " << op;
        EXPECT_FALSE(validOpcode((op << 25) | 0x01FFFFFFu).has_value()) << "opcode " << op;
    }
    EXPECT_FALSE(validOpcode(0x01000000u).has_value());
}

TEST(Decode, BoundaryOpcodes) {
    EXPECT_EQ(validOpcode(0u), std::optional<unsigned>(0));
    EXPECT_EQ(validOpcode(makeWord(107, 0, 0)), std::optional<unsigned>(107));
    EXPECT_FALSE(validOpcode(makeWord(108, 0, 0)).has_value());
    EXPECT_FALSE(validOpcode(makeWord(127, 0xFF, 0xFFFF)).has_value());
    for (unsigned op : {29u, 47u, 54u, 63u, 76u, 79u, 93u, 95u})
        EXPECT_FALSE(validOpcode(makeWord(op, 0, 0)).has_value()) << "opcode " << op;
    for (unsigned op : {28u, 48u, 53u, 64u, 75u, 80u, 92u, 96u})
        EXPECT_TRUE(validOpcode(makeWord(op, 0, 0)).has_value()) << "opcode " << op;
}

TEST(OpcodeTable, HoldsEachValidOpcodeOnceInOrder) {
    const auto table = opcodeTable();
    ASSERT_EQ(table.size(), 72u);
    std::set<unsigned> opcodes;
    std::set<std::string> mnemonics;
    unsigned previous = 0;
    bool first = true;
    for (const OpcodeInfo& row : table) {
        EXPECT_TRUE(inValidRange(row.opcode)) << int(row.opcode);
        EXPECT_TRUE(first || row.opcode > previous) << "table not in opcode order at " << int(row.opcode);
        first = false;
        previous = row.opcode;
        EXPECT_TRUE(opcodes.insert(row.opcode).second) << "opcode repeated: " << int(row.opcode);
        std::string upper(row.mnemonic);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
        EXPECT_FALSE(upper.empty());
        EXPECT_TRUE(mnemonics.insert(upper).second) << "mnemonic repeated: " << row.mnemonic;
    }
}

TEST(OpcodeTable, LookupsByNumberAndMnemonic) {
    for (const OpcodeInfo& row : opcodeTable()) {
        EXPECT_EQ(findOpcode(row.opcode), &row);
        EXPECT_EQ(findMnemonic(row.mnemonic), &row);
        std::string lower(row.mnemonic);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        EXPECT_EQ(findMnemonic(lower), &row) << lower;
    }
    EXPECT_EQ(findOpcode(29), nullptr);
    EXPECT_EQ(findOpcode(108), nullptr);
    EXPECT_EQ(findOpcode(1000), nullptr);
    EXPECT_EQ(findMnemonic(""), nullptr);
    EXPECT_EQ(findMnemonic("NOSUCHOP"), nullptr);
}

TEST(Encode, PlacesOperandsInTheirFields) {
    EXPECT_EQ(opRR(3, 3, 5), makeWord(3, 3, 5));
    EXPECT_EQ(opRR(8, 31, 31), makeWord(8, 31, 31));
    EXPECT_EQ(opRI(2, 1, -1), makeWord(2, 1, 0xFFFF));         // S16 as its 16-bit pattern
    EXPECT_EQ(opRI(2, 1, -32768), makeWord(2, 1, 0x8000));
    EXPECT_EQ(opRI(75, 4, 65535), makeWord(75, 4, 0xFFFF));
    EXPECT_EQ(opRA(68, 2, 32767), makeWord(68, 2, 0x7FFF));
    EXPECT_EQ(opCA(19, -128, 5), makeWord(19, 0x80, 5));      // C is the whole high byte
    EXPECT_EQ(opCA(96, 127, 0), makeWord(96, 0x7F, 0));
    EXPECT_EQ(opCA(96, -1, 1), makeWord(96, 0xFF, 1));
    EXPECT_EQ(opRX(49, 6, 127), makeWord(49, 6, 127));
    EXPECT_EQ(opRX(50, 6, 63), makeWord(50, 6, 63));
    EXPECT_EQ(opRX(89, 9, 4095), makeWord(89, 9, 0xFFF));
    EXPECT_EQ(opJ(92, 7), makeWord(92, 0, 7));
    EXPECT_EQ(opNone(1), makeWord(1, 0, 0));
    // LFO output in bits 18-16, negate in bit 19; ramp in bit 16, window size in 19-18.
    EXPECT_EQ(opLfo(5, 1, 100), makeWord(104, 0x0D, 100));
    EXPECT_EQ(opRamp(1, 3, 200), makeWord(105, 0x0D, 200));
    EXPECT_EQ(opRamp(0, 2, 0), makeWord(105, 0x08, 0));
    // User output select in bit 5, bit number in 4-0.
    EXPECT_EQ(opUser(2, 1, 2), makeWord(106, 2, 0x22));
    EXPECT_EQ(opUser(2, 0, 31), makeWord(106, 2, 0x1F));
}

TEST(Encode, RejectsInvalidOpcodes) {
    for (unsigned op : {29u, 47u, 63u, 76u, 95u, 108u, 127u, 128u, 300u}) {
        const EncodeResult r = encodeInstruction(op, {});
        EXPECT_FALSE(r.error.empty()) << "opcode " << op;
        EXPECT_EQ(r.word, 0u);
    }
}

TEST(Encode, RejectsOperandsOutsideTheirFields) {
    struct Case {
        unsigned op;
        Operands ops;
    };
    const Case cases[] = {
        {0, {.ra = 32}},
        {0, {.ra = -1}},
        {3, {.ra = 1, .rb = 32}},
        {3, {.ra = 1, .rb = -1}},
        {8, {.ra = 1, .rb = 32}},                      // shift count
        {2, {.ra = 1, .imm = 32768}},                  // S16
        {2, {.ra = 1, .imm = -32769}},
        {75, {.ra = 1, .imm = 65536}},                 // U16
        {75, {.ra = 1, .imm = -1}},
        {68, {.ra = 1, .addr = 32768}},                // delay address
        {68, {.ra = 1, .addr = -1}},
        {19, {.addr = 0, .coef = 128}},                // C
        {19, {.addr = 0, .coef = -129}},
        {96, {.addr = 32768, .coef = 0}},
        {49, {.ra = 1, .index = 128}},                 // M
        {52, {.ra = 1, .index = 64}},                  // K
        {87, {.ra = 1, .index = 4096}},                // J
        {92, {.index = 4096}},
        {92, {.index = -1}},
        {104, {.addr = 0, .select = 8}},               // LFO output
        {104, {.addr = 0, .select = 0, .option = 2}},  // negate flag
        {104, {.addr = 32768}},
        {105, {.addr = 0, .select = 2}},               // ramp
        {105, {.addr = 0, .select = 0, .option = 4}},  // window size
        {106, {.ra = 1, .rb = 0, .select = 2}},        // user output
        {106, {.ra = 1, .rb = 32, .select = 0}},       // bit number
        {106, {.ra = 32}},
    };
    for (const Case& c : cases) {
        const EncodeResult r = encodeInstruction(c.op, c.ops);
        EXPECT_FALSE(r.error.empty()) << "opcode " << c.op << " accepted " << std::hex << r.word;
    }
}

TEST(Encode, EveryTableRowEncodesToAWordOfItsOpcode) {
    for (const OpcodeInfo& row : opcodeTable()) {
        const EncodeResult r = encodeInstruction(row.opcode, {});
        ASSERT_TRUE(r.error.empty()) << row.mnemonic << ": " << r.error;
        EXPECT_EQ(validOpcode(r.word), std::optional<unsigned>(row.opcode)) << row.mnemonic;
    }
}

// ---- Execution of invalid words ---------------------------------------------------

TEST(DecodeExecution, InvalidWordsChangeNothingAndContinue) {
    std::vector<uint32_t> invalid = {
        0x01000000u,            // only bit 24
        makeWord(108, 0, 0),    // first opcode above the table
        makeWord(29, 0, 0),     // unassigned
        0xFFFFFFFFu,            // opcode 127 with bit 24
    };
    for (unsigned op = 0; op < 128; ++op)
        if (!inValidRange(op)) invalid.push_back(makeWord(op, 0xFF, 0xFFFF));
    // Valid opcodes with bit 24 set: a clear, a write to every kind of store, a jump.
    for (unsigned op : {0u, 1u, 16u, 48u, 51u, 52u, 66u, 69u, 73u, 92u, 97u, 103u, 106u})
        invalid.push_back(makeWord(op, 0x01, 0x0021) | 0x01000000u);

    for (uint32_t w : invalid) {
        Chip c;
        c.load({w, w, w});
        scatterState(c);
        const Snapshot before = Snapshot::of(c);
        EXPECT_EQ(c.step(1), 2) << std::hex << w;
        EXPECT_TRUE(Snapshot::of(c) == before) << "word " << std::hex << w << " changed the chip";
    }
}

TEST(DecodeExecution, ZeroWordIsAbsoluteValueOfR0) {
    Chip c;
    c.load({0u});
    c.reg(0) = -7;
    c.acc32() = 99;
    EXPECT_EQ(c.step(0), 1);
    EXPECT_EQ(c.acc32(), 7);
    EXPECT_EQ(c.reg(0), -7);
}

TEST(DecodeExecution, StepIgnoresProgramLengthButRunStopsAtIt) {
    Chip c;
    c.presets.creg[0] = -7;
    c.presets.creg[1] = 0;
    // One word: R1 := H. The zero words behind it would set ACC32 := |R0|.
    c.load({opRI(75, 1, 0x1234)});
    ASSERT_EQ(CoreProbe::programLength(c.core()), 1);
    EXPECT_EQ(CoreProbe::program(c.core())[1], 0u);

    c.core().run(nullptr);
    EXPECT_EQ(c.reg(1), 0x12340000);
    EXPECT_EQ(c.acc32(), 0) << "a word beyond the program's length ran";

    // step does not look at the length: word 5 is the zero word, ABS R0.
    EXPECT_EQ(c.step(5), 6);
    EXPECT_EQ(c.acc32(), 7);
}

}  // namespace
