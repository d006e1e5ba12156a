// HEX output: the record format, and images that the program loader reads back
// exactly, with no warnings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "assemble_helpers.h"
#include "fxasm/assembler.h"
#include "fxasm/hex_writer.h"
#include "fxcore/fxcore_program.h"

namespace fxasm {
namespace {

using fxcore::FXCoreProgram;
using Presets = fxcore::FXCoreCore::Presets;

void expectSamePresets(const Presets& a, const Presets& b) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a.creg[i], b.creg[i]) << "R" << i;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(a.mreg[i], b.mreg[i]) << "MREG" << i;
    for (int i = 0; i < 49; ++i) EXPECT_EQ(a.sfr[i], b.sfr[i]) << "SFR " << i;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(a.userInit[i], b.userInit[i]) << "USER" << i;
    EXPECT_EQ(a.tapHoldSamples, b.tapHoldSamples);
    EXPECT_EQ(a.tapDebounceSamples, b.tapDebounceSamples);
    EXPECT_EQ(a.switchDebounceSamples, b.switchDebounceSamples);
    EXPECT_EQ(a.spareTiming0, b.spareTiming0);
    EXPECT_EQ(a.spareTiming1, b.spareTiming1);
}

// Assembles, writes HEX and loads it back: ok, no warnings, the same image.
void expectRoundTrip(const std::string& source) {
    const AsmOutput out = test::assembleOk(source);
    const HexOutput hex = writeHex(out.words, out.presets);
    ASSERT_TRUE(hex.error.empty()) << hex.error;
    FXCoreProgram program;
    const FXCoreProgram::Result r = program.loadFromText(hex.text);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    EXPECT_EQ(program.words, out.words);
    expectSamePresets(program.presets, out.presets);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

TEST(HexWriter, ImagesLoadBackExactly) {
    expectRoundTrip("ABS R0\n");
    std::string everything =
        ".sfr POT0_SHIFT, 1\n.sfr POT1_SHIFT, 31\n.sfr POT2_SHIFT, 0\n.sfr POT3_SHIFT, 17\n.sfr POT4_SHIFT, 5\n"
        ".sfr POT5_SHIFT, 30\n.sfr LFO0_RATE, -1\n.sfr LFO1_RATE, 0x80000000\n.sfr LFO2_RATE, 0.125\n"
        ".sfr LFO3_RATE, 7\n.sfr RAMP0_RATE, -0x1234\n.sfr RAMP1_RATE, 99\n.sfr TAP_MAX, 0x7FFFFFFF\n"
        ".sfr TAP_INTERVAL, 4800\n.sfr TAP_HOLD, 0\n.sfr TAP_DEBOUNCE, 65535\n.sfr SWITCH_DEBOUNCE, 0x1234\n"
        ".sfr SPARE0, 1\n.sfr SPARE1, 0xFFFF\n.sfr USER0_ON, 1\n.sfr USER1_ON, 1\n";
    for (int i = 0; i < 128; ++i) everything += ".mreg " + std::to_string(i) + ", " + std::to_string(i * -77777) + "\n";
    for (int i = 0; i < 16; ++i) everything += ".creg R" + std::to_string(i) + ", 0x" + std::to_string(i % 8) + "ABCDEF" + std::to_string(i % 10) + "\n";
    for (int i = 0; i < 1023; ++i) everything += "XORI R" + std::to_string(i % 16) + ", " + std::to_string(i * 61) + "\n";
    expectRoundTrip(everything + "JMP end\nend:\n");  // 1024 words, the largest program
}

TEST(HexWriter, SectionsAreWrittenInAddressOrderAsIntelHexRecords) {
    const AsmOutput out = test::assembleOk("ABS R1\nABS R2\nABS R3\n");
    const std::string text = writeHex(out.words, out.presets).text;
    const std::vector<std::string> records = lines(text);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(records.back(), ":00000001FF");

    // Section start addresses and byte counts: MREG 514, CREG 66, SFR 50, PRG 3 words + 2.
    std::vector<std::pair<unsigned, unsigned>> runs;  // start, length
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        const std::string& r = records[i];
        EXPECT_EQ(r.find_first_not_of("0123456789ABCDEF", 1), std::string::npos) << r;
        const unsigned count = std::stoul(r.substr(1, 2), nullptr, 16);
        const unsigned address = std::stoul(r.substr(3, 4), nullptr, 16);
        EXPECT_LE(count, 16u);
        EXPECT_EQ(r.substr(7, 2), "00");
        EXPECT_EQ(r.size(), 11 + 2 * count);
        if (!runs.empty() && runs.back().first + runs.back().second == address)
            runs.back().second += count;
        else
            runs.push_back({address, count});
    }
    const std::vector<std::pair<unsigned, unsigned>> expected = {{0, 514}, {2048, 66}, {4096, 50}, {6144, 14}};
    EXPECT_EQ(runs, expected);
}

TEST(HexWriter, SfrBlockLayout) {
    // Pot shifts packed five bits apart: 1 | 2 << 5 | 3 << 10 | 4 << 15 | 5 << 20 | 6 << 25 = 0x0C520C41.
    const AsmOutput out = test::assembleOk(
        ".sfr POT0_SHIFT, 1\n.sfr POT1_SHIFT, 2\n.sfr POT2_SHIFT, 3\n.sfr POT3_SHIFT, 4\n.sfr POT4_SHIFT, 5\n"
        ".sfr POT5_SHIFT, 6\n.sfr LFO0_RATE, 0x11223344\n.sfr USER1_ON, 1\nABS R0\n");
    const std::vector<std::string> records = lines(writeHex(out.words, out.presets).text);
    // The record at 0x1000 (4096) holds bytes 0-15 of the block.
    const auto first = std::find_if(records.begin(), records.end(),
                                    [](const std::string& r) { return r.substr(3, 4) == "1000"; });
    ASSERT_NE(first, records.end());
    EXPECT_EQ(first->substr(9, 16), "410C520C44332211");
    // Byte 46 holds the user start states: USER1 on is bit 1.
    EXPECT_EQ((first + 2)->substr(9 + 2 * 14, 4), "0200");
}

TEST(HexWriter, RefusesValuesTheImageCannotHold) {
    const Presets defaults = FXCoreProgram::defaultPresets();
    const std::vector<uint32_t> one = {0};
    EXPECT_NE(writeHex({}, defaults).error.find("no words"), std::string::npos);
    EXPECT_NE(writeHex(std::vector<uint32_t>(1025), defaults).error.find("1025 words"), std::string::npos);
    Presets p = defaults;
    p.sfr[12] = 32;
    EXPECT_NE(writeHex(one, p).error.find("POT2 smoothing shift 32"), std::string::npos);
    p = defaults;
    p.spareTiming1 = 65536;
    EXPECT_NE(writeHex(one, p).error.find("65536"), std::string::npos);
    p = defaults;
    p.userInit[0] = 2;
    EXPECT_NE(writeHex(one, p).error.find("USER0"), std::string::npos);
    EXPECT_TRUE(writeHex(one, p).text.empty());
}

}  // namespace
}  // namespace fxasm
