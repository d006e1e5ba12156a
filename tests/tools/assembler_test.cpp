// Instructions: every operand format against the instruction encoder, operand
// names, labels and forward jumps, error reporting and the program size limit.
#include <gtest/gtest.h>

#include <string>

#include "assemble_helpers.h"
#include "fxasm/assembler.h"
#include "fxcore/instruction_set.h"

namespace fxasm {
namespace {

using fxcore::OperandFormat;
using test::assembleOk;
using test::onlyError;
using test::wordOf;

// One way of writing each format's operands and the values they stand for.
struct FormatSample {
    std::string operands;
    fxcore::Operands values;
};

FormatSample sampleFor(OperandFormat format) {
    switch (format) {
        case OperandFormat::None: return {"", {}};
        case OperandFormat::R: return {"R5", {.ra = 5}};
        case OperandFormat::RR: return {"MREG2, ACC32", {.ra = 20, .rb = 16}};
        case OperandFormat::RN: return {"FLAGS, 31", {.ra = 17, .rb = 31}};
        case OperandFormat::RS16: return {"R1, -32768", {.ra = 1, .imm = -32768}};
        case OperandFormat::RU16: return {"MREG13, 0xFFFF", {.ra = 31, .imm = 0xFFFF}};
        case OperandFormat::RA: return {"R15, 32767", {.ra = 15, .addr = 32767}};
        case OperandFormat::CA: return {"-128, 1234", {.addr = 1234, .coef = -128}};
        case OperandFormat::RM: return {"R3, MREG127", {.ra = 3, .index = 127}};
        case OperandFormat::RK: return {"R4, NOISE", {.ra = 4, .index = 47}};
        case OperandFormat::RJ: return {"R6, target", {.ra = 6, .index = 2}};
        case OperandFormat::J: return {"target", {.index = 2}};
        case OperandFormat::LfoRead: return {"-LFO3_COS, 77", {.addr = 77, .select = 7, .option = 1}};
        case OperandFormat::RampRead: return {"RAMP1, 4096, 9", {.addr = 9, .select = 1, .option = 3}};
        case OperandFormat::UserOut: return {"R7, USER1, 30", {.ra = 7, .rb = 30, .select = 1}};
    }
    return {};
}

TEST(Assembler, EveryOpcodeEncodesAsTheInstructionEncoderDoes) {
    for (const fxcore::OpcodeInfo& info : fxcore::opcodeTable()) {
        const FormatSample sample = sampleFor(info.format);
        // Two filler words put `target` two words past the jump's successor.
        const std::string source =
            std::string(info.mnemonic) + " " + sample.operands + "\nABS R0\nABS R0\ntarget: ABS R0\n";
        const AsmOutput out = assembleOk(source);
        ASSERT_EQ(out.words.size(), 4u) << source;
        const fxcore::EncodeResult expected = fxcore::encodeInstruction(info.opcode, sample.values);
        ASSERT_TRUE(expected.error.empty()) << expected.error;
        EXPECT_EQ(out.words[0], expected.word) << source;
    }
}

TEST(Assembler, GoldenWords) {
    EXPECT_EQ(wordOf("ADDI R1, -1"), 0x0401FFFFu);           // opcode 2 << 25 | R1 << 16 | 0xFFFF
    EXPECT_EQ(wordOf("MULRI R0, -0.5"), 0x3200C000u);        // opcode 25; -0.5 in Q1.15 is 0xC000
    EXPECT_EQ(wordOf("MACRI ACC32, -1"), 0x2210FFFFu);       // opcode 17, slot 16, -1 as its 16-bit pattern
    EXPECT_EQ(wordOf("MACCD 0.5, 100"), 0x26400064u);        // opcode 19, C = 64, a = 100
    EXPECT_EQ(wordOf("RDRAMP RAMP0, 1024, 0"), 0xD2040000u); // opcode 105, window select 1 in bits 19-18
    EXPECT_EQ(wordOf("CLRACC64"), 0x02000000u);
}

TEST(Assembler, NamesAreCaseInsensitiveAndMapToTheirNumbers) {
    EXPECT_EQ(wordOf("add r1, Acc32"), wordOf("ADD R1, ACC32"));
    EXPECT_EQ(wordOf("rdlfo lfo0_sin, 5"), wordOf("RDLFO LFO0_SIN, 5"));
    const std::pair<const char*, int> sfrs[] = {
        {"IN0", 0},          {"IN3", 3},          {"OUT0", 4},        {"OUT3", 7},           {"PINS", 8},
        {"SWITCHES", 9},     {"POT0_SHIFT", 10},  {"POT5_SHIFT", 15}, {"POT0_LATCHED", 16},  {"POT5_LATCHED", 21},
        {"POT0", 22},        {"POT5", 27},        {"LFO0_RATE", 28},  {"LFO3_RATE", 31},     {"RAMP0_RATE", 32},
        {"RAMP1_RATE", 33},  {"LFO0_SIN", 34},    {"LFO0_COS", 35},   {"LFO1_SIN", 36},      {"LFO3_COS", 41},
        {"RAMP0", 42},       {"RAMP1", 43},       {"TAP_MAX", 44},    {"TAP_INTERVAL", 45},  {"SAMPLE_COUNT", 46},
        {"NOISE", 47},       {"sample_count", 46},
    };
    for (const auto& [name, number] : sfrs)
        EXPECT_EQ(wordOf(std::string("RDSFR R0, ") + name), wordOf("RDSFR R0, " + std::to_string(number))) << name;
    EXPECT_EQ(wordOf("LDM R0, MREG5"), wordOf("LDM R0, 5"));
    EXPECT_EQ(wordOf("ADD MREG13, FLAGS"), fxcore::encodeInstruction(3, {.ra = 31, .rb = 17}).word);
}

TEST(Assembler, OperandErrorsNameTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {"ADD R0, R16", "'R16' is not a register"},
        {"ADD R0, MREG14", "only MREG0-MREG13"},
        {"ADD R0, R01", "'R01' is not a register"},
        {"ADD R0", "expects 2 operands (ra, rb), found 1"},
        {"ADD R0,", "operand 2 is missing"},
        {"CLRACC64 R0", "expects 0 operands"},
        {"SLI R0, 32", "shift or bit number 32 is out of range 0..31"},
        {"RDDEL R0, 32768", "delay address 32768"},
        {"LDM R0, MREG128", "'MREG128' is not a number"},
        {"RDSFR R0, 64", "SFR number 64"},
        {"RDSFR R0, POT6", "'POT6' is not a number"},
        {"RDLFO LFO4_SIN, 0", "not an LFO output"},
        {"RDRAMP RAMP2, 512, 0", "not a ramp"},
        {"RDRAMP RAMP0, 8192, 0", "window 8192 is not one of 512, 1024, 2048, 4096"},
        {"USER R0, USER2, 0", "not a user output"},
        {"JMP 5", "'5' is not a label name"},
        {"FROB R0", "unknown instruction 'FROB'"},
    };
    for (const auto& [source, reason] : cases) {
        const AsmError e = onlyError(source);
        EXPECT_EQ(e.line, 1) << source;
        EXPECT_NE(e.message.find(reason), std::string::npos) << source << " -> " << e.message;
    }
}

TEST(Assembler, ForwardJumpsCountTheWordsTheySkip) {
    const AsmOutput out = assembleOk(
        "start: JZ R0, next   ; J = 0\n"
        "next:  JMP end       ; J = 2\n"
        "       ABS R0\n"
        "skip:  ABS R1\n"
        "end:\n");  // a label after the last word ends the program
    ASSERT_EQ(out.words.size(), 4u);
    EXPECT_EQ(out.words[0], fxcore::encodeInstruction(90, {.ra = 0, .index = 0}).word);
    EXPECT_EQ(out.words[1], fxcore::encodeInstruction(92, {.index = 2}).word);
}

TEST(Assembler, LabelsAreCaseSensitiveAndStackOnOneWord) {
    const AsmOutput out = assembleOk("JMP Loop\nJMP loop\nloop: ABS R0\nLoop: first: ABS R1\n");
    ASSERT_EQ(out.words.size(), 4u);
    EXPECT_EQ(out.words[0], fxcore::encodeInstruction(92, {.index = 2}).word);
    EXPECT_EQ(out.words[1], fxcore::encodeInstruction(92, {.index = 0}).word);
}

TEST(Assembler, BadJumpTargetsAreErrorsOnTheJumpLine) {
    // Backward, including a label on the jump itself.
    AsmError e = onlyError("top: ABS R0\nABS R1\nJMP top\n");
    EXPECT_EQ(e.line, 3);
    EXPECT_NE(e.message.find("'top' (line 1) is not after the jump"), std::string::npos) << e.message;
    EXPECT_EQ(onlyError("ABS R0\nhere: JNZ R0, here\n").line, 2);

    e = onlyError("ABS R0\nJMP nowhere\n");
    EXPECT_EQ(e.line, 2);
    EXPECT_NE(e.message.find("'nowhere' is not defined"), std::string::npos) << e.message;

    e = onlyError(".equ SIZE, 4\nJMP SIZE\nABS R0\n");
    EXPECT_NE(e.message.find("is a constant, not a label"), std::string::npos) << e.message;

    e = onlyError("a: ABS R0\na: ABS R1\n");
    EXPECT_EQ(e.line, 2);
    EXPECT_NE(e.message.find("already defined at line 1"), std::string::npos) << e.message;

    EXPECT_NE(onlyError("R3: ABS R0\n").message.find("reserved"), std::string::npos);
    EXPECT_NE(onlyError("1a: ABS R0\n").message.find("'1a' is not a valid label name"), std::string::npos);
}

TEST(Assembler, ProgramsHoldAtMost1024Words) {
    std::string source;
    for (int i = 0; i < 1024; ++i) source += "ABS R0\n";
    EXPECT_EQ(assembleOk(source).words.size(), 1024u);

    const AsmError e = onlyError(source + "ABS R1\nABS R2\n");
    EXPECT_EQ(e.line, 1025);
    EXPECT_NE(e.message.find("longer than 1024 words"), std::string::npos) << e.message;

    // The longest jump a 1024-word program has room for skips 1022 words.
    EXPECT_TRUE(assemble("JMP end\n" + source.substr(7 * 2) + "end: ABS R1\n").ok());
    // 4096 words ahead is out of reach even for a jump.
    std::string far = "JMP end\n";
    for (int i = 0; i < 4096; ++i) far += "ABS R0\n";
    const AsmOutput tooFar = assemble(far + "end:\n");
    ASSERT_EQ(tooFar.errors.size(), 2u);
    EXPECT_EQ(tooFar.errors[0].line, 1);
    EXPECT_NE(tooFar.errors[0].message.find("at most 4095"), std::string::npos) << tooFar.errors[0].message;
    EXPECT_EQ(tooFar.errors[1].line, 1025);
}

TEST(Assembler, EveryBadLineIsReportedInLineOrder) {
    const AsmOutput out = assemble(
        "JMP missing        ; 1: resolved after the last line, still reported first\n"
        "ADD R0, R1\n"
        "ADD R0, R99        ; 3\n"
        "\n"
        "SLI R0, 40         ; 5\n"
        ".equ X             ; 6\n");
    ASSERT_EQ(out.errors.size(), 4u) << test::describe(out.errors);
    EXPECT_EQ(out.errors[0].line, 1);
    EXPECT_EQ(out.errors[1].line, 3);
    EXPECT_EQ(out.errors[2].line, 5);
    EXPECT_EQ(out.errors[3].line, 6);
    EXPECT_TRUE(out.words.empty());
}

TEST(Assembler, CommentsBlankLinesAndLineEnds) {
    const std::string lf = "; header\n\n  ABS R0 ; one, two\n\tlbl:\t ABS R1\nJMP end\nend:";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const AsmOutput a = assembleOk(lf);
    EXPECT_EQ(a.words.size(), 3u);
    EXPECT_EQ(assembleOk(crlf).words, a.words);
    // Line numbers count blank lines and comment lines, whatever ends them.
    EXPECT_EQ(onlyError("; c\r\n\r\nABS R99\r\n").line, 3);
    EXPECT_EQ(onlyError("; c\r\rABS R99\r").line, 3);
}

TEST(Assembler, AProgramNeedsAnInstruction) {
    EXPECT_NE(onlyError("").message.find("no instructions"), std::string::npos);
    EXPECT_EQ(onlyError("; only\n.equ A, 1\nend:\n").line, 3);
}

}  // namespace
}  // namespace fxasm
