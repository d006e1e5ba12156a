// Program images: the HEX record reader and its messages, the four address
// sections and what they fill in, load results, file names, and installation
// into a core.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core_probe.h"
#include "fxcore/fxcore_core.h"
#include "fxcore/fxcore_program.h"
#include "hex_builder.h"

namespace {

using fxcore::CoreProbe;
using fxcore::FXCoreCore;
using fxcore::FXCoreProgram;
using Presets = FXCoreCore::Presets;
using Warnings = std::vector<std::string>;
using namespace hextest;

const std::string kNoProgram = "No program section at HEX address 6144; this does not look like an assembled FXCore program";
const std::string kEmptyProgram = "Program section is empty";
const std::string kNoEofWarning = "No end-of-file record; the HEX may be truncated";
const std::string kMregMismatch = "MREG section checksum mismatch";
const std::string kCregMismatch = "CREG section checksum mismatch";
const std::string kSfrMismatch = "SFR section checksum mismatch";
const std::string kPrgMismatch = "PRG section checksum mismatch";
const std::string kSfrShort = "SFR section is shorter than the fixed 48 bytes; using defaults";
std::string cregShort(int held) { return "CREG section holds " + std::to_string(held) + " registers, expected 16"; }

Presets expectedDefaults() {
    Presets p;
    std::fill(std::begin(p.creg), std::end(p.creg), 0);
    std::fill(std::begin(p.mreg), std::end(p.mreg), 0);
    std::fill(std::begin(p.sfr), std::end(p.sfr), 0);
    for (int i = 10; i <= 15; ++i) p.sfr[i] = 10;
    p.sfr[44] = 32767;
    p.userInit[0] = p.userInit[1] = 0;
    p.tapHoldSamples = 36000;
    p.tapDebounceSamples = 480;
    p.switchDebounceSamples = 480;
    p.spareTiming0 = 2400;
    p.spareTiming1 = 960;
    return p;
}

template <size_t N>
std::vector<int32_t> vec(const int32_t (&a)[N]) {
    return {a, a + N};
}

void expectPresets(const Presets& got, const Presets& want) {
    EXPECT_EQ(vec(got.creg), vec(want.creg)) << "creg";
    EXPECT_EQ(vec(got.mreg), vec(want.mreg)) << "mreg";
    EXPECT_EQ(vec(got.sfr), vec(want.sfr)) << "sfr";
    EXPECT_EQ(vec(got.userInit), vec(want.userInit)) << "userInit";
    EXPECT_EQ(got.tapHoldSamples, want.tapHoldSamples);
    EXPECT_EQ(got.tapDebounceSamples, want.tapDebounceSamples);
    EXPECT_EQ(got.switchDebounceSamples, want.switchDebounceSamples);
    EXPECT_EQ(got.spareTiming0, want.spareTiming0);
    EXPECT_EQ(got.spareTiming1, want.spareTiming1);
}

// Defaults with the first words of mreg / creg replaced.
Presets withRegisters(const std::vector<uint32_t>& mreg, const std::vector<uint32_t>& creg = {}) {
    Presets p = expectedDefaults();
    for (size_t i = 0; i < mreg.size() && i < 128; ++i) p.mreg[i] = static_cast<int32_t>(mreg[i]);
    for (size_t i = 0; i < creg.size() && i < 16; ++i) p.creg[i] = static_cast<int32_t>(creg[i]);
    return p;
}

// Deterministic filler words.
std::vector<uint32_t> pattern(size_t n, uint32_t seed) {
    std::vector<uint32_t> out(n);
    uint32_t x = seed * 2654435761u + 1u;
    for (auto& w : out) {
        x = x * 1664525u + 1013904223u;
        w = x ^ (x >> 13);
    }
    return out;
}

const std::vector<uint32_t> kWords = {0x11223344u, 0xDEADBEEFu, 0x00000001u};
// A loadable text: three program words, nothing else.
std::string programOnly() { return imageText({.prg = kWords}); }

struct Loaded {
    FXCoreProgram image;
    FXCoreProgram::Result result;
};

Loaded load(const std::string& text) {
    Loaded l;
    l.result = l.image.loadFromText(text);
    return l;
}

// The load failed with exactly `error` and `warnings`, and left no words.
void expectFailure(const Loaded& l, const std::string& error, const Warnings& warnings = {}) {
    EXPECT_FALSE(l.result.ok);
    EXPECT_EQ(l.result.error, error);
    EXPECT_EQ(l.result.warnings, warnings);
    EXPECT_TRUE(l.image.words.empty());
}

void expectLoaded(const Loaded& l, const std::vector<uint32_t>& words, const Warnings& warnings = {}) {
    EXPECT_TRUE(l.result.ok) << l.result.error;
    EXPECT_EQ(l.result.error, "");
    EXPECT_EQ(l.result.warnings, warnings);
    EXPECT_EQ(l.image.words, words);
}

// ---- Records and lines ------------------------------------------------------------

TEST(HexLoader, DefaultPresetsAndDefaultImage) {
    expectPresets(FXCoreProgram::defaultPresets(), expectedDefaults());
    const FXCoreProgram image;
    EXPECT_TRUE(image.words.empty());
    EXPECT_TRUE(image.name.empty());
    expectPresets(image.presets, expectedDefaults());
}

TEST(HexLoader, TextWithoutProgramSectionFails) {
    expectFailure(load(""), kNoProgram, {kNoEofWarning});
    expectFailure(load("\n\r\n  \t\n"), kNoProgram, {kNoEofWarning});
    expectFailure(load(kEof), kNoProgram);
    expectFailure(load(kEof + "\n"), kNoProgram);
}

TEST(HexLoader, RecordChecksApplyInOrder) {
    // Each line fails the named check; most would also fail later ones.
    const struct {
        std::string line;
        std::string suffix;
    } cases[] = {
        {"00000001FF", ": record does not start with ':'"},
        {"x:00000001FF", ": record does not start with ':'"},
        {"z", ": record does not start with ':'"},
        {":", ": record too short"},
        {":0000", ": record too short"},
        {":zz", ": record too short"},
        {":00000001F", ": record too short"},
        {":0G000001FF", ": bad record header"},
        {":00000G01FF", ": bad record header"},
        {":000000G1FF", ": bad record header"},
        {":+1000000FF", ": bad record header"},
        {": 10000000F", ": bad record header"},
        {":0x000001FF", ": bad record header"},
        {":01000000FF", ": truncated record"},
        {":0200000000FF0", ": truncated record"},
        {":02000000GGGG", ": truncated record"},
        {":FF000000" + std::string(2 * 255 + 1, '0'), ": truncated record"},
        {":01000000G0FF", ": bad data byte"},
        {":01000000G0ZZ", ": bad data byte"},
        {":02000000000-FF", ": bad data byte"},
        {":0200000000 0FF", ": bad data byte"},
        {":0100000000G0", ": missing checksum"},
        {":00000001FG", ": missing checksum"},
        {":00000001 F", ": missing checksum"},
        {":00000001-1", ": missing checksum"},
        {":00000001FE", ": record checksum mismatch"},
        {":0100000000FE", ": record checksum mismatch"},
        {":0000000100", ": record checksum mismatch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        expectFailure(load(c.line + "\n" + programOnly()), "Line 1" + c.suffix);
    }
}

TEST(HexLoader, LineNumbersCountEveryLineWhateverEndsIt) {
    const std::string bad = "garbage";
    const std::string error3 = "Line 3: record does not start with ':'";
    for (const std::string prefix : {"\n\n", "\r\r", "\r\n\r\n", "\r\n\n", "\n\r\n", "\r\r\n", "\n\r", " \n\t\n"}) {
        SCOPED_TRACE(::testing::PrintToString(prefix));
        expectFailure(load(prefix + bad + "\r\n"), error3);
    }
    // A record checksum error on line 12, after eleven good records.
    Hex h = sectionsHex({.creg = pattern(16, 1)});
    ASSERT_EQ(h.lineCount(), 5u);
    h.data(kPrg, wordSection(pattern(20, 2)));
    ASSERT_EQ(h.lineCount(), 11u);
    h.line(":00000001FE").eof();
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(::testing::PrintToString(end));
        expectFailure(load(h.text(end)), "Line 12: record checksum mismatch");
    }
}

TEST(HexLoader, DigitCaseSurroundingSpaceAndTrailingTextAreAccepted) {
    const Parts parts{.mreg = pattern(5, 3), .creg = pattern(16, 4), .sfr = SfrBlock{.lfoRate = {1, -2, 3, -4}}, .prg = pattern(9, 5)};
    const Loaded base = load(imageText(parts));
    expectLoaded(base, parts.prg);

    std::string lower = imageText(parts);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) { return static_cast<char>(std::tolower(ch)); });
    ASSERT_NE(lower.find('a'), std::string::npos);
    std::string padded, trailing;
    const std::string upper = imageText(parts);
    for (size_t start = 0; start < upper.size();) {
        const size_t end = upper.find('\n', start);
        const std::string l = upper.substr(start, end - start);
        padded += "\v\f \t" + l + " \t\v\f\n";
        trailing += l + "ZZ; not hex, ignored\n";
        start = end + 1;
    }
    for (const std::string& text : {lower, padded, trailing}) {
        SCOPED_TRACE(text.substr(0, 60));
        const Loaded l = load(text);
        expectLoaded(l, parts.prg);
        expectPresets(l.image.presets, base.image.presets);
    }
}

TEST(HexLoader, EndOfFileRecordStopsReading) {
    // Nothing after the end-of-file record is looked at: neither bad lines nor data.
    const Loaded after = load(Hex().data(kPrg, wordSection(kWords)).eof().line("not a record").rec(0, kPrg, {0xAA}).text());
    expectLoaded(after, kWords);

    // Any count, address and data; only the type matters.
    expectLoaded(load(Hex().data(kPrg, wordSection(kWords)).rec(1, 0x1234, {0xAA, 0xBB}).line("x").text()), kWords);

    // The end-of-file record is checked like any other.
    expectFailure(load(Hex().data(kPrg, wordSection(kWords)).line(":00000001FE").text()), "Line 2: record checksum mismatch");

    // Without one the image still loads, with a warning.
    expectLoaded(load(Hex().data(kPrg, wordSection(kWords)).text()), kWords, {kNoEofWarning});
}

TEST(HexLoader, DataRecordsPlaceEachByteAtItsAddress) {
    // Record address high byte first; a later byte at the same address wins.
    const Bytes rewritten = wordSection({1, 0x12345678u});
    expectLoaded(load(Hex()
                          .data(kPrg, wordSection({1, 2}))
                          .data(kPrg + 4, {0x78, 0x56, 0x34, 0x12})
                          .data(kPrg + 8, {rewritten[8], rewritten[9]})
                          .eof()
                          .text()),
                 {1, 0x12345678u});
    // A data record without bytes writes nothing, so it does not lengthen a section.
    expectLoaded(load(Hex().data(kPrg, wordSection(kWords)).rec(0, kPrg + 100, {}).rec(0, kCreg, {}).eof().text()), kWords);
    // Records of any size up to 255 bytes, in any order.
    const auto words = pattern(200, 6);
    const Bytes all = wordSection(words);
    const auto at = [&](size_t i) { return all.begin() + static_cast<std::ptrdiff_t>(i); };
    expectLoaded(load(Hex().data(kPrg + 400, Bytes(at(400), at(800)), 255).data(kPrg + 800, Bytes(at(800), all.end()), 1).data(kPrg, Bytes(at(0), at(400)), 7).eof().text()),
                 words);
}

TEST(HexLoader, ExtendedAddressRecordsSetTheUpperAddress) {
    const Bytes prg = wordSection(kWords);
    // Type 4 with 00 01: everything after lands at 65536 and above and is dropped.
    expectFailure(load(Hex().rec(4, 0, {0x00, 0x01}).data(kPrg, prg).eof().text()), kNoProgram);
    // ...until another type 4 (or type 2) record moves the upper address back.
    expectLoaded(load(Hex().rec(4, 0, {0x00, 0x01}).data(kPrg, {1, 2, 3, 4}).rec(4, 0, {0x00, 0x00}).data(kPrg, prg).eof().text()), kWords);
    expectLoaded(load(Hex().rec(4, 0, {0x00, 0x01}).rec(2, 0, {0x00, 0x00}).data(kPrg, prg).eof().text()), kWords);

    // Type 2: segment x 16. 0x0180 x 16 = 6144, so address 0 is the first program byte.
    expectLoaded(load(Hex().rec(2, 0, {0x01, 0x80}).data(0, prg, 5).eof().text()), kWords);
    // 0x0100 x 16 = 4096 plus a record address of 0x0800 reaches the program section.
    expectLoaded(load(Hex().rec(2, 0, {0x01, 0x00}).data(0x0800, prg).eof().text()), kWords);

    // Type 2 or 4 records whose count is not 2 are ignored: the data stays where it is.
    for (const auto& [type, data] : std::vector<std::pair<unsigned, Bytes>>{
             {4, {0x01}}, {4, {0x00, 0x01, 0x00}}, {4, {0x00, 0x00, 0x00, 0x01}}, {2, {0x01}}, {2, {0x01, 0x80, 0x00}}, {4, {}}}) {
        SCOPED_TRACE(record(type, 0, data));
        expectLoaded(load(Hex().rec(type, 0, data).data(kPrg, prg).eof().text()), kWords);
    }

    // Addresses wrap modulo 2^32: with upper address 0xFFFF0000, record address
    // 0xFFFF puts byte 0 at 0xFFFFFFFF (dropped) and the following bytes at 0 on.
    const Loaded wrapped = load(Hex()
                                    .rec(4, 0, {0xFF, 0xFF})
                                    .rec(0, 0xFFFF, {0x99, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00})
                                    .rec(4, 0, {0x00, 0x00})
                                    .data(kPrg, prg)
                                    .eof()
                                    .text());
    expectLoaded(wrapped, kWords);
    expectPresets(wrapped.image.presets, withRegisters({5}));
}

TEST(HexLoader, OtherRecordTypesAreCheckedThenIgnored) {
    const Bytes prg = wordSection(kWords);
    for (unsigned type : {3u, 5u, 6u, 0x10u, 0xFFu}) {
        SCOPED_TRACE(type);
        expectLoaded(load(Hex().data(kPrg, prg).rec(type, kPrg, {0x01, 0x80}).rec(type, 0, {1, 2, 3, 4}).eof().text()), kWords);
        std::string bad = record(type, 0, {0x12, 0x34});
        bad.back() = bad.back() == '0' ? '1' : '0';
        expectFailure(load(Hex().data(kPrg, prg).line(bad).eof().text()), "Line 2: record checksum mismatch");
    }
}

TEST(HexLoader, BytesBeyondTheAddressSpaceAreDroppedSilently) {
    // 1024 words and their checksum end exactly at 10241; bytes above it vanish.
    const auto words = pattern(1024, 7);
    const Bytes section = wordSection(words);
    ASSERT_EQ(kPrg + section.size(), 10242u);
    const Loaded full = load(Hex()
                                 .data(kPrg, section)
                                 .rec(0, 10240, {section[4096], section[4097], 0xAA, 0xBB, 0xCC, 0xDD})
                                 .data(10242, {1, 2, 3, 4})
                                 .data(0xFFF0, {1, 2, 3, 4})
                                 .eof()
                                 .text());
    expectLoaded(full, words);
    expectPresets(full.image.presets, expectedDefaults());
}

// ---- Sections -----------------------------------------------------------------------

TEST(HexLoader, MregSectionLengthRunsToItsHighestWrittenByte) {
    const std::string prg = Hex().data(kPrg, wordSection(kWords)).eof().text();
    auto withMreg = [&](Hex h) { return load(h.text() + prg); };

    // One byte: nothing taken, nothing checked.
    Loaded l = withMreg(Hex().data(kMreg, {0x55}));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, expectedDefaults());

    // Two bytes: no words; the checksum at 0 must be the empty sum.
    expectLoaded(withMreg(Hex().data(kMreg, {0x00, 0x00})), kWords);
    expectLoaded(withMreg(Hex().data(kMreg, {0x05, 0x00})), kWords, {kMregMismatch});

    // Unwritten bytes read 0: only word 2 and the checksum are written.
    l = withMreg(Hex().data(kMreg + 8, wordSection({0x01020304u})));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({0, 0, 0x01020304u}));

    // Nine bytes hold (9 - 2) / 4 = 1 word; the checksum is read at 4, inside word 1.
    const uint32_t w0 = 0x000000FFu;
    l = withMreg(Hex().data(kMreg, wordBytes({w0, 0xABCD0000u | 0xFFu})).data(kMreg + 8, {0x77}));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({w0}));

    // More than 128 words: 128 are used, the checksum is read right after them.
    auto many = pattern(130, 8);
    const uint16_t sum128 = byteSum(wordBytes({many.begin(), many.begin() + 128}));
    many[128] = 0xFFFF0000u | sum128;
    l = withMreg(Hex().data(kMreg, wordBytes(many)));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({many.begin(), many.begin() + 128}));
    many[128] ^= 1u;
    expectLoaded(withMreg(Hex().data(kMreg, wordBytes(many))), kWords, {kMregMismatch});

    // The section reaches 2047: a lone byte there makes a long all-zero section.
    l = withMreg(Hex().data(kMreg, wordSection({7})).data(2047, {0x42}));
    expectLoaded(l, kWords, {kMregMismatch});  // checksum read at 512, which is 0
    expectPresets(l.image.presets, withRegisters({7, 7}));  // the old checksum is now word 1
    l = withMreg(Hex().data(kMreg, wordBytes({7})).data(512, {7, 0}).data(2047, {0x42}));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({7}));
}

TEST(HexLoader, CregSectionReportsMissingRegisters) {
    const std::string prg = Hex().data(kPrg, wordSection(kWords)).eof().text();
    auto withCreg = [&](Hex h) { return load(h.text() + prg); };
    const auto regs = pattern(17, 9);
    const std::vector<uint32_t> eight(regs.begin(), regs.begin() + 8), sixteen(regs.begin(), regs.begin() + 16);

    // 34 bytes: R0 to R7 set, R8 to R15 stay 0, checksum checked at 2080.
    Loaded l = withCreg(Hex().data(kCreg, wordSection(eight)));
    expectLoaded(l, kWords, {cregShort(8)});
    expectPresets(l.image.presets, withRegisters({}, eight));
    l = withCreg(Hex().data(kCreg, wordSection(eight, 1)));
    expectLoaded(l, kWords, {cregShort(8), kCregMismatch});
    expectPresets(l.image.presets, withRegisters({}, eight));

    // One byte: no registers and no checksum to check.
    l = withCreg(Hex().data(kCreg, {0x77}));
    expectLoaded(l, kWords, {cregShort(0)});
    expectPresets(l.image.presets, expectedDefaults());
    // Two bytes: no registers, and the checksum at 2048 is checked against 0.
    expectLoaded(withCreg(Hex().data(kCreg, {0x01, 0x00})), kWords, {cregShort(0), kCregMismatch});
    expectLoaded(withCreg(Hex().data(kCreg, {0x00, 0x00})), kWords, {cregShort(0)});

    // Fifteen.
    const std::vector<uint32_t> fifteen(regs.begin(), regs.begin() + 15);
    l = withCreg(Hex().data(kCreg, wordSection(fifteen)));
    expectLoaded(l, kWords, {cregShort(15)});
    expectPresets(l.image.presets, withRegisters({}, fifteen));

    // All sixteen: no warning.
    l = withCreg(Hex().data(kCreg, wordSection(sixteen)));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({}, sixteen));
    expectLoaded(withCreg(Hex().data(kCreg, wordSection(sixteen, -1))), kWords, {kCregMismatch});

    // More than sixteen: sixteen used, checksum read at 2112.
    auto seventeen = regs;
    seventeen[16] = byteSum(wordBytes(sixteen));
    l = withCreg(Hex().data(kCreg, wordBytes(seventeen)));
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, withRegisters({}, sixteen));
}

TEST(HexLoader, SfrBlockFieldsGoToTheirPresets) {
    const std::string prg = Hex().data(kPrg, wordSection(kWords)).eof().text();
    SfrBlock b;
    // Shifts 31, 0, 1, 17, 30, 5 from bit 0, with bits 30-31 set (ignored).
    b.potShifts = 31u | (0u << 5) | (1u << 10) | (17u << 15) | (30u << 20) | (5u << 25) | (3u << 30);
    b.lfoRate[0] = -1;
    b.lfoRate[1] = INT32_MIN;
    b.lfoRate[2] = 123456;
    b.lfoRate[3] = INT32_MAX;
    b.rampRate[0] = -5;
    b.rampRate[1] = 77;
    b.tapMaximum = -2;
    b.tapLast = 0x12345678;
    b.tapHold = 0xFFFF;
    b.tapDebounce = 0x8000;
    b.switchDebounce = 1;
    b.spare0 = 0xABCD;
    b.spare1 = 0;
    b.userBits = 0xFE;
    b.unused = 0xFF;

    Presets want = expectedDefaults();
    std::fill(std::begin(want.sfr), std::end(want.sfr), 0);
    const int32_t shifts[6] = {31, 0, 1, 17, 30, 5};
    for (int i = 0; i < 6; ++i) want.sfr[10 + i] = shifts[i];
    want.sfr[28] = -1;
    want.sfr[29] = INT32_MIN;
    want.sfr[30] = 123456;
    want.sfr[31] = INT32_MAX;
    want.sfr[32] = -5;
    want.sfr[33] = 77;
    want.sfr[44] = -2;
    want.sfr[45] = 0x12345678;
    want.tapHoldSamples = 65535;  // zero-extended, not -1
    want.tapDebounceSamples = 32768;
    want.switchDebounceSamples = 1;
    want.spareTiming0 = 0xABCD;
    want.spareTiming1 = 0;
    want.userInit[0] = 0;
    want.userInit[1] = 1;

    Loaded l = load(Hex().data(kSfr, withChecksum(b.bytes())).text() + prg);
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, want);

    // Only bits 0 and 1 of the user byte count.
    for (const auto& [bits, user0, user1] : std::vector<std::tuple<uint8_t, int, int>>{{0x01, 1, 0}, {0x03, 1, 1}, {0xFC, 0, 0}, {0x02, 0, 1}}) {
        SCOPED_TRACE(int(bits));
        b.userBits = bits;
        l = load(Hex().data(kSfr, withChecksum(b.bytes())).text() + prg);
        EXPECT_EQ(l.image.presets.userInit[0], user0);
        EXPECT_EQ(l.image.presets.userInit[1], user1);
    }

    // A block of which only its last byte is written reads all zero: the
    // SFR-derived defaults are replaced by 0.
    Presets zeros = expectedDefaults();
    std::fill(std::begin(zeros.sfr), std::end(zeros.sfr), 0);
    zeros.tapHoldSamples = zeros.tapDebounceSamples = zeros.switchDebounceSamples = zeros.spareTiming0 = zeros.spareTiming1 = 0;
    l = load(Hex().data(kSfr + 47, {0x5A}).text() + prg);
    expectLoaded(l, kWords);
    expectPresets(l.image.presets, zeros);
}

TEST(HexLoader, SfrSectionLengthDecidesUseAndChecksum) {
    const std::string prg = Hex().data(kPrg, wordSection(kWords)).eof().text();
    const SfrBlock b{.potShifts = 0x3FFFFFFFu, .lfoRate = {9, 8, 7, 6}, .tapHold = 100, .userBits = 3};
    const Bytes block = b.bytes();
    const Bytes badSum = withChecksum(block, 1);
    const int32_t tapHold = 100;

    // 47 bytes: nothing of it is used.
    Loaded l = load(Hex().data(kSfr, Bytes(block.begin(), block.end() - 1)).text() + prg);
    expectLoaded(l, kWords, {kSfrShort});
    expectPresets(l.image.presets, expectedDefaults());

    // 48 and 49 bytes: used, checksum not checked.
    for (size_t n : {48u, 49u}) {
        SCOPED_TRACE(n);
        l = load(Hex().data(kSfr, Bytes(badSum.begin(), badSum.begin() + static_cast<std::ptrdiff_t>(n))).text() + prg);
        expectLoaded(l, kWords);
        EXPECT_EQ(l.image.presets.tapHoldSamples, tapHold);
        EXPECT_EQ(l.image.presets.sfr[15], 31);
    }

    // 50 bytes and longer: checked at 4144; the fields are used either way.
    l = load(Hex().data(kSfr, badSum).text() + prg);
    expectLoaded(l, kWords, {kSfrMismatch});
    EXPECT_EQ(l.image.presets.tapHoldSamples, tapHold);
    EXPECT_EQ(l.image.presets.sfr[29], 8);
    EXPECT_EQ(l.image.presets.userInit[1], 1);
    expectLoaded(load(Hex().data(kSfr, withChecksum(block)).data(kPrg - 1, {0xEE}).text() + prg), kWords);
    expectLoaded(load(Hex().data(kSfr, badSum).data(kPrg - 1, {0xEE}).text() + prg), kWords, {kSfrMismatch});
}

TEST(HexLoader, ProgramSectionSizes) {
    // Absent or 5 bytes and shorter: fatal.
    expectFailure(load(Hex().data(kMreg, wordSection({1})).eof().text()), kNoProgram);
    for (size_t n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        expectFailure(load(Hex().data(kPrg + static_cast<unsigned>(n) - 1, {0}).eof().text()), kEmptyProgram);
    }
    // 6 bytes: one word, checksum at 6148.
    expectLoaded(load(Hex().data(kPrg, wordSection({0x01020304u})).eof().text()), {0x01020304u});
    expectLoaded(load(Hex().data(kPrg, wordSection({0x01020304u}, 0x100)).eof().text()), {0x01020304u}, {kPrgMismatch});
    // 6 to 9 bytes hold one word, 10 hold two.
    expectLoaded(load(Hex().data(kPrg, wordSection({5})).data(kPrg + 8, {0x33}).eof().text()), {5});
    expectLoaded(load(Hex().data(kPrg, wordSection({5})).data(kPrg + 9, {0x00}).eof().text()), {5, 5}, {kPrgMismatch});
    // Unwritten words read 0.
    expectLoaded(load(Hex().data(kPrg + 8, wordSection({9})).eof().text()), {0, 0, 9});
}

TEST(HexLoader, WarningsFollowSectionOrder) {
    // Sections written in reverse order, every non-fatal finding present.
    Hex h;
    h.data(kPrg, wordSection(kWords, 1))
        .data(kSfr, withChecksum(SfrBlock{}.bytes(), 1))
        .data(kCreg, wordSection({1, 2, 3, 4, 5, 6, 7, 8}, 1))
        .data(kMreg, wordSection({1, 2}, 1));
    expectLoaded(load(h.text()), kWords, {kNoEofWarning, kMregMismatch, cregShort(8), kCregMismatch, kSfrMismatch, kPrgMismatch});

    // MREG and PRG mismatches alone: loaded, two warnings in that order.
    expectLoaded(load(Hex().data(kPrg, wordSection(kWords, 7)).data(kMreg, wordSection({1}, 7)).eof().text()), kWords,
                 {kMregMismatch, kPrgMismatch});

    // A fatal program error keeps the warnings found before it, and the presets taken.
    const Loaded noPrg = load(Hex().data(kMreg, wordSection({4, 5}, 1)).data(kCreg, {0}).data(kSfr, {0}).text());
    expectFailure(noPrg, kNoProgram, {kNoEofWarning, kMregMismatch, cregShort(0), kSfrShort});
    expectPresets(noPrg.image.presets, withRegisters({4, 5}));
    const Loaded emptyPrg = load(Hex().data(kCreg, wordSection({6})).data(kPrg, {1, 2, 3, 4, 5}).eof().text());
    expectFailure(emptyPrg, kEmptyProgram, {cregShort(1)});
    expectPresets(emptyPrg.image.presets, withRegisters({}, {6}));
}

TEST(HexLoader, EveryLoadStartsFromScratch) {
    FXCoreProgram image;
    image.name = "kept";
    const Parts full{.mreg = pattern(128, 10), .creg = pattern(16, 11), .sfr = SfrBlock{.potShifts = 1, .tapHold = 7, .userBits = 1}, .prg = pattern(50, 12)};
    ASSERT_TRUE(image.loadFromText(imageText(full)).ok);
    ASSERT_EQ(image.words.size(), 50u);

    // A smaller image replaces it entirely: no words or presets carried over.
    auto r = image.loadFromText(programOnly());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(image.words, kWords);
    expectPresets(image.presets, expectedDefaults());

    // A failed load leaves no words and default presets; the name stays.
    ASSERT_TRUE(image.loadFromText(imageText(full)).ok);
    r = image.loadFromText("bad\n");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(image.words.empty());
    expectPresets(image.presets, expectedDefaults());
    EXPECT_EQ(image.name, "kept");

    // After a program-section error the presets are what the text gave.
    ASSERT_TRUE(image.loadFromText(imageText(full)).ok);
    r = image.loadFromText(imageText({.mreg = {3}}));
    EXPECT_EQ(r.error, kNoProgram);
    EXPECT_TRUE(image.words.empty());
    expectPresets(image.presets, withRegisters({3}));
    EXPECT_EQ(image.name, "kept");
}

// ---- Whole images -------------------------------------------------------------------

TEST(ProgramImage, BuiltImagesLoadBackExactly) {
    SfrBlock sfr;
    sfr.potShifts = 0x2A5A5A5Au;
    sfr.lfoRate[1] = 0x00012345;
    sfr.rampRate[0] = -77;
    sfr.tapMaximum = 30000;
    sfr.tapLast = 12000;
    sfr.tapHold = 36000;
    sfr.tapDebounce = 480;
    sfr.switchDebounce = 240;
    sfr.spare0 = 2400;
    sfr.spare1 = 960;
    sfr.userBits = 2;
    const Parts parts{.mreg = pattern(128, 20), .creg = pattern(16, 21), .sfr = sfr, .prg = pattern(608, 22)};

    Presets want = withRegisters(parts.mreg, parts.creg);
    for (int i = 0; i < 6; ++i) want.sfr[10 + i] = static_cast<int32_t>((sfr.potShifts >> (5 * i)) & 31u);
    want.sfr[29] = 0x00012345;
    want.sfr[32] = -77;
    want.sfr[44] = 30000;
    want.sfr[45] = 12000;
    want.switchDebounceSamples = 240;
    want.userInit[1] = 1;

    for (size_t perRecord : {1u, 16u, 32u, 255u}) {
        for (const std::string end : {"\n", "\r\n", "\r"}) {
            SCOPED_TRACE(::testing::PrintToString(end) + " x " + std::to_string(perRecord));
            const Loaded l = load(imageText(parts, perRecord, end));
            expectLoaded(l, parts.prg);
            expectPresets(l.image.presets, want);
        }
    }
    // The largest program.
    const auto words = pattern(1024, 23);
    expectLoaded(load(imageText({.prg = words}, 255)), words);
}

TEST(ProgramImage, ApplyToInstallsPresetsThenProgram) {
    const Parts parts{.mreg = pattern(128, 30), .creg = pattern(16, 31), .sfr = SfrBlock{.lfoRate = {5}, .userBits = 1}, .prg = pattern(40, 32)};
    FXCoreProgram image;
    ASSERT_TRUE(image.loadFromText(imageText(parts)).ok);
    auto core = std::make_unique<FXCoreCore>();
    ASSERT_TRUE(image.applyTo(*core));
    EXPECT_TRUE(CoreProbe::loaded(*core));
    ASSERT_EQ(CoreProbe::programLength(*core), 40);
    EXPECT_EQ(std::vector<uint32_t>(CoreProbe::program(*core), CoreProbe::program(*core) + 40), parts.prg);
    expectPresets(CoreProbe::presets(*core), image.presets);
    EXPECT_EQ(CoreProbe::creg(*core, 15), static_cast<int32_t>(parts.creg[15]));
    EXPECT_EQ(CoreProbe::mreg(*core, 127), static_cast<int32_t>(parts.mreg[127]));
    EXPECT_EQ(CoreProbe::sfr(*core, 28), 5);
    EXPECT_EQ(CoreProbe::userOut(*core, 0), 1);

    // No words: the presets are still installed, the core is left unloaded.
    FXCoreProgram failed;
    EXPECT_FALSE(failed.loadFromText(imageText({.mreg = {0x600D}})).ok);
    EXPECT_FALSE(failed.applyTo(*core));
    EXPECT_FALSE(CoreProbe::loaded(*core));
    EXPECT_EQ(CoreProbe::programLength(*core), 0);
    expectPresets(CoreProbe::presets(*core), withRegisters({0x600D}));
    EXPECT_FALSE(FXCoreProgram().applyTo(*core));
}

// ---- Files ---------------------------------------------------------------------------

class ProgramImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("lumivex_hex_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string write(const std::string& relative, const std::string& text) {
        const auto path = dir_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::filesystem::path dir_;
};

TEST_F(ProgramImageFile, NameIsTheLastPathComponentWithoutItsExtension) {
    const struct {
        std::string file, name;
    } cases[] = {
        {"effect.hex", "effect"},
        {"my.patch.hex", "my.patch"},
        {"noext", "noext"},
        {".hidden", ""},
        {"trailing.", "trailing"},
        {"dir.with.dots/plain", "plain"},
        {"sub\\chorus.hex", "chorus"},
        {"back\\slash.d/last.one.hex", "last.one"},
        {"a/b\\c.d.hex", "c.d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        FXCoreProgram image;
        const auto r = image.loadFromFile(write(c.file, programOnly()));
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(image.words, kWords);
        EXPECT_EQ(image.name, c.name);
    }

    // A path without any separator is the name itself.
    write("bare.name.hex", programOnly());
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    FXCoreProgram bare;
    const bool ok = bare.loadFromFile("bare.name.hex").ok;
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(ok);
    EXPECT_EQ(bare.name, "bare.name");

    // A name already set is kept.
    FXCoreProgram named;
    named.name = "Mine";
    EXPECT_TRUE(named.loadFromFile(write("other.hex", programOnly())).ok);
    EXPECT_EQ(named.name, "Mine");
}

TEST_F(ProgramImageFile, FailuresLeaveTheNameAlone) {
    // The file is read as it is: its line ends and its errors are the text's.
    FXCoreProgram image;
    auto r = image.loadFromFile(write("broken.hex", "\r\n\r\n:00000001FE\r\n"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Line 3: record checksum mismatch");
    EXPECT_EQ(image.name, "");
    r = image.loadFromFile(write("warned.hex", imageText({.mreg = {1}})));
    EXPECT_EQ(r.error, kNoProgram);
    EXPECT_EQ(image.name, "");

    // A path ending in a separator names no file.
    r = image.loadFromFile(dir_.string() + "/");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(image.name, "");

    // A file that cannot be opened leaves the whole image as it was.
    ASSERT_TRUE(image.loadFromText(imageText({.mreg = {42}, .prg = kWords})).ok);
    image.name = "before";
    const std::string missing = (dir_ / "no such dir" / "gone.hex").string();
    r = image.loadFromFile(missing);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "Could not open " + missing);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(image.words, kWords);
    expectPresets(image.presets, withRegisters({42}));
    EXPECT_EQ(image.name, "before");
}

}  // namespace
