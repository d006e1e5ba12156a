// Directives: named constants and the MREG, CREG and SFR presets.
#include <gtest/gtest.h>

#include <string>

#include "assemble_helpers.h"
#include "fxasm/assembler.h"
#include "fxcore/fxcore_program.h"
#include "fxcore/instruction_set.h"

namespace fxasm {
namespace {

using test::assembleOk;
using test::onlyError;

TEST(AsmDirectives, ConstantsScaleToTheFieldTheyLandIn) {
    const AsmOutput out = assembleOk(
        ".equ GAIN, 0.5\n"
        ".EQU DELAY, 0x100\n"
        ".equ ALIAS, GAIN      ; an earlier constant\n"
        ".equ NEG, -ALIAS\n"
        "MULRI R0, GAIN\n"
        "MACCD ALIAS, DELAY\n"
        ".mreg 1, NEG\n");
    ASSERT_EQ(out.words.size(), 2u);
    EXPECT_EQ(out.words[0], fxcore::encodeInstruction(25, {.imm = 0x4000}).word);
    EXPECT_EQ(out.words[1], fxcore::encodeInstruction(19, {.addr = 256, .coef = 64}).word);
    EXPECT_EQ(out.presets.mreg[1], -0x40000000);
}

TEST(AsmDirectives, ConstantErrors) {
    EXPECT_NE(onlyError("ABS R0\n.equ A, 1\n.equ A, 2\n").message.find("already defined at line 2"),
              std::string::npos);
    EXPECT_NE(onlyError("ABS R0\n.equ B, LATER\n.equ LATER, 1\n").message.find("'LATER'"), std::string::npos);
    EXPECT_NE(onlyError("ABS R0\n.equ NOISE, 1\n").message.find("reserved"), std::string::npos);
    EXPECT_NE(onlyError("ABS R0\n.equ 9x, 1\n").message.find("not a valid name"), std::string::npos);
    EXPECT_NE(onlyError("x: ABS R0\n.equ x, 1\n").message.find("already defined at line 1"), std::string::npos);
    EXPECT_NE(onlyError("ABS R0\n.equ A, 1\nA: ABS R0\n").message.find("already defined at line 2"),
              std::string::npos);
}

TEST(AsmDirectives, RegisterPresets) {
    const AsmOutput out = assembleOk(
        ".mreg 0, 0x7FFFFFFF\n"
        ".mreg 127, -1\n"
        ".mreg 5, 0.25\n"
        ".creg R0, 4294967295\n"
        ".creg r15, -0.5\n"
        "ABS R0\n");
    EXPECT_EQ(out.presets.mreg[0], 0x7FFFFFFF);
    EXPECT_EQ(out.presets.mreg[127], -1);
    EXPECT_EQ(out.presets.mreg[5], 0x20000000);
    EXPECT_EQ(out.presets.mreg[1], 0);
    EXPECT_EQ(out.presets.creg[0], -1);
    EXPECT_EQ(out.presets.creg[15], -0x40000000);
}

TEST(AsmDirectives, SfrFieldsFillThePresets) {
    const AsmOutput out = assembleOk(
        ".sfr POT0_SHIFT, 0\n.sfr pot5_shift, 31\n"
        ".sfr LFO0_RATE, 1000\n.sfr LFO3_RATE, -0.5\n.sfr RAMP0_RATE, -7\n.sfr RAMP1_RATE, 0xFFFFFFFF\n"
        ".sfr TAP_MAX, 48000\n.sfr TAP_INTERVAL, 12000\n"
        ".sfr TAP_HOLD, 65535\n.sfr TAP_DEBOUNCE, 1\n.sfr SWITCH_DEBOUNCE, 2\n.sfr SPARE0, 3\n.sfr SPARE1, 4\n"
        ".sfr USER1_ON, 1\n"
        "ABS R0\n");
    const auto& p = out.presets;
    EXPECT_EQ(p.sfr[10], 0);
    EXPECT_EQ(p.sfr[11], 10);  // untouched fields keep the loader's defaults
    EXPECT_EQ(p.sfr[15], 31);
    EXPECT_EQ(p.sfr[28], 1000);
    EXPECT_EQ(p.sfr[31], -0x40000000);
    EXPECT_EQ(p.sfr[32], -7);
    EXPECT_EQ(p.sfr[33], -1);
    EXPECT_EQ(p.sfr[44], 48000);
    EXPECT_EQ(p.sfr[45], 12000);
    EXPECT_EQ(p.tapHoldSamples, 65535);
    EXPECT_EQ(p.tapDebounceSamples, 1);
    EXPECT_EQ(p.switchDebounceSamples, 2);
    EXPECT_EQ(p.spareTiming0, 3);
    EXPECT_EQ(p.spareTiming1, 4);
    EXPECT_EQ(p.userInit[0], 0);
    EXPECT_EQ(p.userInit[1], 1);
}

TEST(AsmDirectives, UnsetPresetsAreTheLoaderDefaults) {
    const auto out = assembleOk("ABS R0\n").presets;
    const auto defaults = fxcore::FXCoreProgram::defaultPresets();
    for (int i = 0; i < 49; ++i) EXPECT_EQ(out.sfr[i], defaults.sfr[i]) << "SFR " << i;
    EXPECT_EQ(out.tapHoldSamples, defaults.tapHoldSamples);
    EXPECT_EQ(out.spareTiming1, defaults.spareTiming1);
}

TEST(AsmDirectives, PresetErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {".mreg 128, 1", "memory register index 128 is out of range 0..127"},
        {".mreg 0.5, 1", "takes an integer"},
        {".mreg 1, 1.0", "Q1.31"},
        {".mreg 1, 4294967296", "out of range"},
        {".creg ACC32, 1", "not a core register"},
        {".creg R16, 1", "not a core register"},
        {".sfr POT0_SHIFT, 32", "pot smoothing shift 32 is out of range 0..31"},
        {".sfr TAP_HOLD, 65536", "out of range 0..65535"},
        {".sfr SPARE0, 0.5", "takes an integer"},
        {".sfr USER0_ON, 2", "out of range 0..1"},
        {".sfr NOISE, 1", "'NOISE' is not a field of the SFR preset block"},
        {".sfr TAP_MAX", ".sfr takes 2 operands (FIELD, value)"},
        {".org 5", "unknown directive '.org'"},
    };
    for (const auto& [directive, reason] : cases) {
        const AsmError e = onlyError(std::string("ABS R0\n") + directive + "\n");
        EXPECT_EQ(e.line, 2) << directive;
        EXPECT_NE(e.message.find(reason), std::string::npos) << directive << " -> " << e.message;
    }
}

TEST(AsmDirectives, APresetIsSetOnce) {
    EXPECT_NE(onlyError(".mreg 3, 1\n.mreg 0x3, 2\nABS R0\n").message.find("already set at line 1"),
              std::string::npos);
    EXPECT_EQ(onlyError(".creg R1, 1\nABS R0\n.creg r1, 1\n").line, 3);
    EXPECT_EQ(onlyError(".sfr TAP_MAX, 1\n.sfr tap_max, 1\nABS R0\n").line, 2);
}

}  // namespace
}  // namespace fxasm
