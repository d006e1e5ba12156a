// What the host reads about the parameters: names, modules and hidden flags that
// follow the installed program's control names, the value texts and their parsing.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"
#include "surface_support.h"

namespace {

using fxcoreplug::FXCorePlugin;
namespace param = fxcoreplug::param;

constexpr uint32_t kContinuous = CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE;
constexpr uint32_t kStepped = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE;
constexpr uint32_t kHidden = CLAP_PARAM_IS_HIDDEN;

clap_param_info infoAt(const FXCorePlugin& p, uint32_t index) {
    clap_param_info info;
    std::memset(&info, 0x5A, sizeof(info));
    EXPECT_TRUE(p.paramsInfo(index, &info)) << index;
    return info;
}

// Checks all 18 rows: the thirteen pedal controls' names (space-separated) and their
// module (null: the table's), the five program and level rows with their table names and modules, and
// which rows carry the hidden flag ('h' in `hidden`) on top of the table's flags.
void expectRows(const FXCorePlugin& p, const std::string& names, const char* module, const std::string& hidden) {
    std::vector<std::string> expected;
    for (size_t at = 0; at <= names.size();) {
        const size_t gap = std::min(names.find(' ', at), names.size());
        expected.push_back(names.substr(at, gap - at));
        at = gap + 1;
    }
    ASSERT_EQ(expected.size(), 13u);
    ASSERT_EQ(hidden.size(), 18u);
    const char* const fixed[5][2] = {{"Program", "Program"},
                                     {"Monitor", "Program"},
                                     {"Mode", "Program"},
                                     {"Input Trim", "Levels"},
                                     {"Output Trim", "Levels"}};
    for (uint32_t i = 0; i < 18; ++i) {
        const clap_param_info info = infoAt(p, i);
        EXPECT_EQ(info.name, i < 13 ? expected[i] : std::string(fixed[i - 13][0])) << "row " << i;
        const char* const tableModule = FXCorePlugin::paramDefs()[i].module;
        EXPECT_STREQ(info.module, i < 13 ? (module ? module : tableModule) : fixed[i - 13][1]) << "row " << i;
        const uint32_t flags = FXCorePlugin::paramDefs()[i].flags | (hidden[i] == 'h' ? kHidden : 0u);
        EXPECT_EQ(info.flags, flags) << "row " << i << " (" << info.name << ")";
    }
}

std::string text(const FXCorePlugin& p, uint32_t id, double value) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_TRUE(p.paramsValueToText(id, value, buffer, sizeof(buffer))) << id;
    return buffer;
}

std::optional<double> parse(const FXCorePlugin& p, uint32_t id, const char* display) {
    double value = -777.0;
    if (!p.paramsTextToValue(id, display, &value)) {
        EXPECT_EQ(value, -777.0) << "a refused text wrote its out-parameter";
        return std::nullopt;
    }
    return value;
}

// Two banks: "echo" with two modes and "solo" with one.
surface::Firmware echoAndSolo() {
    surface::Firmware fw;
    fw.add("echo_0", surface::constantProgram(0.125))
        .add("echo_1", surface::constantProgram(0.25))
        .add("solo", surface::constantProgram(0.5));
    return fw;
}

// ---- information ----

TEST(ParamsInfo, TableRowsBoundsAndFixedFields) {
    FXCorePlugin p(nullptr);
    EXPECT_EQ(p.paramsCount(), 18u);

    const clap_param_info last = infoAt(p, 17);
    EXPECT_EQ(last.id, param::kOutputTrim);
    EXPECT_STREQ(last.name, "Output Trim");
    EXPECT_EQ(last.cookie, nullptr);
    EXPECT_EQ(last.min_value, -24.0);
    EXPECT_EQ(last.max_value, 24.0);
    EXPECT_EQ(last.default_value, 0.0);

    const uint32_t ids[18] = {100, 101, 102, 103, 104, 105, 200, 201, 202, 203, 204, 300, 301, 400, 401, 402, 500, 501};
    for (uint32_t i = 0; i < 18; ++i) EXPECT_EQ(infoAt(p, i).id, ids[i]);
    const clap_param_info enable = infoAt(p, 11);
    EXPECT_EQ(enable.default_value, 1.0);
    EXPECT_EQ(infoAt(p, 15).max_value, 7.0);  // Mode

    for (uint32_t index : {18u, 19u, 0xFFFFFFFFu}) {
        clap_param_info info, untouched;
        std::memset(&info, 0x5A, sizeof(info));
        std::memcpy(&untouched, &info, sizeof(info));
        EXPECT_FALSE(p.paramsInfo(index, &info)) << index;
        EXPECT_EQ(std::memcmp(&info, &untouched, sizeof(info)), 0) << index;
    }
}

TEST(ParamsInfo, ShippedFirmwareNamesItsControlsUnderTheProductName) {
    FXCorePlugin p(nullptr);
    // Mode is hidden: one bank of one program.
    expectRows(p, "Time Repeats Mix Mod Tone Space SW0 SW1 SW2 SW3 Bypass ENABLE Tap", "Lumivex", "......hhhh.h...h..");
}

TEST(ParamsInfo, WithoutControlNamesEveryControlIsVisibleUnderItsTableName) {
    surface::Firmware fw;
    fw.add("plain", surface::constantProgram(0.25));  // no control-names text
    FXCorePlugin p(nullptr, fw.table());
    expectRows(p, "POT0 POT1 POT2 POT3 POT4 POT5 SW0 SW1 SW2 SW3 SW4 ENABLE TAP", nullptr, "...........h...h..");
    EXPECT_STREQ(infoAt(p, 0).module, "Pots");
    EXPECT_STREQ(infoAt(p, 12).module, "Switches");
}

TEST(ParamsInfo, CustomControlNamesDecideNamesAndVisibility) {
    surface::Firmware fw;
    fw.add("drive", surface::constantProgram(0.25),
           "TITLE Drive Box\n"
           "POT0 Gain\n"
           "POT1 none\n"
           "POT2 MODE Voice\n"
           "POT3 SW-TOGGLE SW0 SW1 Shape\n"
           "POT4 POT-TOGGLE Boost\n"
           "SW0 Fuzz\n"
           "SW2 Gate\n"
           "ENABLE Stomp\n");
    FXCorePlugin p(nullptr, fw.table());
    // Visible pots: the knob and the pot toggle; none, mode toggle, switch toggle and
    // an unnamed pot are hidden. Named switches show, ENABLE never does, and without
    // a tap name the tap is hidden.
    expectRows(p, "Gain POT1 Voice Shape Boost POT5 Fuzz SW1 Gate SW3 SW4 Stomp TAP", "Drive Box",
               ".hhh.h.h.hhhh..h..");
}

TEST(ParamsInfo, LoadedNamesWithoutProductNameKeepTheTableModulesAndLongTextsAreCut) {
    surface::Firmware fw;
    fw.add("long", surface::constantProgram(0.25), "POT0 " + std::string(300, 'k') + "\nTAP Tempo\n");
    FXCorePlugin p(nullptr, fw.table());
    const clap_param_info pot0 = infoAt(p, 0);
    EXPECT_EQ(std::string(pot0.name), std::string(255, 'k'));  // 255 characters and the terminator
    EXPECT_STREQ(pot0.module, "Pots");
    EXPECT_EQ(infoAt(p, 1).flags, kContinuous | kHidden);
    EXPECT_STREQ(infoAt(p, 6).module, "Switches");
    EXPECT_EQ(infoAt(p, 6).flags, kStepped | kHidden);
    EXPECT_STREQ(infoAt(p, 12).name, "Tempo");
    EXPECT_EQ(infoAt(p, 12).flags, kStepped);

    surface::Firmware named;
    named.add("named", surface::constantProgram(0.25), "NAME " + std::string(1100, 'm') + "\n");
    FXCorePlugin q(nullptr, named.table());
    EXPECT_EQ(std::string(infoAt(q, 3).module), std::string(1023, 'm'));
    EXPECT_STREQ(infoAt(q, 13).module, "Program");
}

TEST(ParamsInfo, NamesFollowTheInstalledProgramNotTheSelectedOne) {
    surface::Firmware fw;
    fw.add("alpha", surface::constantProgram(0.25), "NAME Alpha\nPOT0 One\n")
        .add("beta", surface::constantProgram(0.5), "NAME Beta\nPOT0 Two\nTAP Tap\n");
    FXCorePlugin p(nullptr, fw.table());
    EXPECT_STREQ(infoAt(p, 0).name, "One");

    p.storeParam(param::kProgram, 1.0);
    EXPECT_STREQ(infoAt(p, 0).name, "One") << "beta is selected but not installed yet";
    p.applyProgramIfChanged();
    EXPECT_STREQ(infoAt(p, 0).name, "Two");
    EXPECT_STREQ(infoAt(p, 0).module, "Beta");
    EXPECT_EQ(infoAt(p, 12).flags, kStepped);
}

TEST(ParamsInfo, ModeIsVisibleOnlyForABankOfSeveralPrograms) {
    surface::Firmware fw = echoAndSolo();
    FXCorePlugin p(nullptr, fw.table());
    auto modeFlags = [&] { return infoAt(p, 15).flags; };

    EXPECT_EQ(modeFlags(), kStepped) << "echo holds two programs";
    p.slotFor(param::kProgram)->store(1.0);
    EXPECT_EQ(modeFlags(), kStepped | kHidden) << "solo holds one";
    p.slotFor(param::kProgram)->store(9.0);  // beyond the last bank: solo
    EXPECT_EQ(modeFlags(), kStepped | kHidden);
    p.slotFor(param::kProgram)->store(-3.0);  // below the first: echo
    EXPECT_EQ(modeFlags(), kStepped);
    p.slotFor(param::kProgram)->store(0.5);  // halves away from zero: solo
    EXPECT_EQ(modeFlags(), kStepped | kHidden);
}

TEST(ParamsInfo, ValuesOfKnownIdsOnly) {
    FXCorePlugin p(nullptr);
    p.storeParam(param::kPot0 + 2, 0.3);
    double value = -1.0;
    EXPECT_TRUE(p.paramsValue(102, &value));
    EXPECT_EQ(value, 0.3);
    EXPECT_TRUE(p.paramsValue(param::kEnable, &value));
    EXPECT_EQ(value, 1.0);
    for (uint32_t unknown : {0u, 99u, 106u, 205u, 403u, 999u}) {
        value = -1.0;
        EXPECT_FALSE(p.paramsValue(unknown, &value)) << unknown;
        EXPECT_EQ(value, -1.0);
    }
}

// ---- value to text ----

TEST(ParamsValueToText, WordsNumbersAndBankNames) {
    FXCorePlugin p(nullptr);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    EXPECT_EQ(text(p, 100, 0.5), "0.500");
    EXPECT_EQ(text(p, 105, 0.12345), "0.123");
    EXPECT_EQ(text(p, 103, 0.25), "0.250") << "the given value, not the stored 0.5";
    EXPECT_EQ(text(p, 100, 7.0), "7.000") << "no clamping";
    EXPECT_EQ(text(p, 501, -6.0), "-6.0 dB");
    EXPECT_EQ(text(p, 500, 12.25), "12.2 dB");

    for (uint32_t id : {200u, 202u, 204u, 301u}) {
        EXPECT_EQ(text(p, id, 0.5), "pressed") << id;
        EXPECT_EQ(text(p, id, 0.4999), "released") << id;
        EXPECT_EQ(text(p, id, nan), "released") << id;
    }
    EXPECT_EQ(text(p, 300, 1.0), "engaged");
    EXPECT_EQ(text(p, 300, 0.49), "off");
    EXPECT_EQ(text(p, 300, nan), "off");
    EXPECT_EQ(text(p, 401, 0.5), "OUT2 / OUT3");
    EXPECT_EQ(text(p, 401, 0.0), "OUT0 / OUT1");
    EXPECT_EQ(text(p, 401, nan), "OUT0 / OUT1");

    EXPECT_EQ(text(p, 400, 0.0), "kv-lumivex");
    EXPECT_EQ(text(p, 400, -0.4), "kv-lumivex");
    EXPECT_EQ(text(p, 400, 3.0), "-");
    EXPECT_EQ(text(p, 400, -1.0), "-");
    EXPECT_EQ(text(p, 400, 1.0), "-") << "no custom program, so no \"(loaded)\" bank";
}

TEST(ParamsValueToText, ProgramTextsDoNotClampTheIndex) {
    surface::Firmware fw = echoAndSolo();
    FXCorePlugin p(nullptr, fw.table());
    EXPECT_EQ(text(p, 400, 0.0), "echo");
    EXPECT_EQ(text(p, 400, 0.5), "solo");
    EXPECT_EQ(text(p, 400, 1.5), "-");
    EXPECT_EQ(text(p, 400, -0.5), "-");
}

TEST(ParamsValueToText, ModeTextsNameTheProgramOfTheStoredBank) {
    FXCorePlugin shipped(nullptr);
    EXPECT_EQ(text(shipped, 402, 0.0), "0: kv-lumivex");
    EXPECT_EQ(text(shipped, 402, 0.4), "0: kv-lumivex");
    EXPECT_EQ(text(shipped, 402, -0.4), "0: kv-lumivex");
    EXPECT_EQ(text(shipped, 402, 0.6), "-");
    EXPECT_EQ(text(shipped, 402, 1.0), "-");
    EXPECT_EQ(text(shipped, 402, -1.0), "-");

    surface::Firmware fw = echoAndSolo();
    FXCorePlugin p(nullptr, fw.table());
    EXPECT_EQ(text(p, 402, 0.0), "0: echo_0");
    EXPECT_EQ(text(p, 402, 0.5), "1: echo_1");
    EXPECT_EQ(text(p, 402, 1.5), "-");
    p.storeParam(param::kProgram, 1.0);
    EXPECT_EQ(text(p, 402, 0.0), "0: solo");
    EXPECT_EQ(text(p, 402, 1.0), "-");
    p.slotFor(param::kProgram)->store(9.0);  // beyond the last bank: solo
    EXPECT_EQ(text(p, 402, 0.0), "0: solo");
    p.slotFor(param::kProgram)->store(-2.0);  // below the first: echo
    EXPECT_EQ(text(p, 402, 1.0), "1: echo_1");
}

TEST(ParamsValueToText, ModeTextOfACustomProgramUsesItsName) {
    FXCorePlugin p(nullptr);
    std::string error;
    ASSERT_TRUE(p.loadCustomHex(surface::constantProgram(0.25), "My Patch", error)) << error;
    EXPECT_EQ(text(p, 400, 1.0), "(loaded)");
    EXPECT_EQ(text(p, 402, 0.0), "0: My Patch");

    FXCorePlugin unnamed(nullptr);
    ASSERT_TRUE(unnamed.loadCustomHex(surface::constantProgram(0.25), "", error)) << error;
    EXPECT_EQ(text(unnamed, 402, 0.0), "0: -");
}

TEST(ParamsValueToText, WithoutBanksEveryNameIsADash) {
    surface::Firmware fw;
    fw.add("broken", "this is not a program image");
    FXCorePlugin p(nullptr, fw.table());
    ASSERT_EQ(p.bankCount(), 0);
    EXPECT_EQ(text(p, 400, 0.0), "-");
    EXPECT_EQ(text(p, 402, 0.0), "0: -");
    EXPECT_EQ(text(p, 402, 1.0), "-");
    EXPECT_EQ(infoAt(p, 15).flags, kStepped | kHidden);
    EXPECT_FALSE(parse(p, 400, "broken"));
}

TEST(ParamsValueToText, BufferSizesAndUnknownIds) {
    FXCorePlugin p(nullptr);
    char buffer[8];

    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_TRUE(p.paramsValueToText(100, 0.5, buffer, 4));
    EXPECT_STREQ(buffer, "0.5");
    EXPECT_EQ(buffer[4], '#');

    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_TRUE(p.paramsValueToText(400, 0.0, buffer, 1));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');

    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_TRUE(p.paramsValueToText(402, 0.0, buffer, 0));
    EXPECT_EQ(buffer[0], '#') << "size 0 writes nothing";

    for (uint32_t unknown : {99u, 106u, 999u}) {
        std::memset(buffer, '#', sizeof(buffer));
        EXPECT_FALSE(p.paramsValueToText(unknown, 0.5, buffer, sizeof(buffer))) << unknown;
        EXPECT_EQ(buffer[0], '#');
    }
}

// ---- text to value ----

TEST(ParamsTextToValue, SwitchWordsAreCaseSensitiveSubstrings) {
    FXCorePlugin p(nullptr);
    for (uint32_t id : {200u, 204u, 300u, 301u}) {
        EXPECT_EQ(parse(p, id, "pressed"), 1.0) << id;
        EXPECT_EQ(parse(p, id, "released"), 0.0) << id;
        EXPECT_EQ(parse(p, id, "engaged"), 1.0) << id;
        EXPECT_EQ(parse(p, id, "off"), 0.0) << id;
        EXPECT_EQ(parse(p, id, "none"), 1.0) << id;  // contains "on"
        EXPECT_EQ(parse(p, id, "ON"), 0.0) << id;
        EXPECT_EQ(parse(p, id, "Engaged"), 0.0) << id;
        EXPECT_EQ(parse(p, id, "depressed"), 1.0) << id;
        EXPECT_EQ(parse(p, id, "1"), 0.0) << id << ": numbers are not switch words";
        EXPECT_EQ(parse(p, id, ""), 0.0) << id;
    }
}

TEST(ParamsTextToValue, ProgramTakesExactBankNames) {
    FXCorePlugin p(nullptr);
    EXPECT_EQ(parse(p, 400, "kv-lumivex"), 0.0);
    EXPECT_FALSE(parse(p, 400, "KV-LUMIVEX"));
    EXPECT_FALSE(parse(p, 400, "kv-lumivex "));
    EXPECT_FALSE(parse(p, 400, "kv-lumi"));
    EXPECT_FALSE(parse(p, 400, "0"));

    surface::Firmware fw = echoAndSolo();
    FXCorePlugin two(nullptr, fw.table());
    EXPECT_EQ(parse(two, 400, "solo"), 1.0);
    EXPECT_EQ(parse(two, 400, "echo"), 0.0);
    EXPECT_FALSE(parse(two, 400, "echo_1"));
}

TEST(ParamsTextToValue, EverythingElseIsANumberWithoutClamping) {
    FXCorePlugin p(nullptr);
    EXPECT_EQ(parse(p, 100, "12"), 12.0);
    EXPECT_EQ(parse(p, 100, "  -0.25xyz"), -0.25);
    EXPECT_EQ(parse(p, 501, "-6.0 dB"), -6.0);
    EXPECT_EQ(parse(p, 402, "1: echo_1"), 1.0);
    EXPECT_EQ(parse(p, 999, "3"), 3.0);
    EXPECT_EQ(parse(p, 0, "1e3"), 1000.0);
    EXPECT_FALSE(parse(p, 100, "abc"));
    EXPECT_FALSE(parse(p, 100, ""));
    EXPECT_FALSE(parse(p, 401, "OUT2 / OUT3"));
    EXPECT_FALSE(parse(p, 501, "nan")) << "NaN is no value";
    EXPECT_FALSE(parse(p, 999, "-NAN(7) dB"));
    EXPECT_EQ(parse(p, 500, "-inf"), -std::numeric_limits<double>::infinity()) << "left for the clamp";

    double value = -777.0;
    for (uint32_t id : {100u, 200u, 400u, 999u}) {
        EXPECT_FALSE(p.paramsTextToValue(id, nullptr, &value)) << id;
        EXPECT_EQ(value, -777.0);
    }
}

TEST(ParamsTextToValue, TextsConvertBack) {
    FXCorePlugin p(nullptr);
    std::string error;
    ASSERT_TRUE(p.loadCustomHex(surface::constantProgram(0.25), "Mine", error)) << error;
    const struct {
        uint32_t id;
        double value;
    } cases[] = {{100, 0.375}, {105, 1.0}, {201, 1.0}, {203, 0.0}, {300, 1.0},  {300, 0.0},
                 {301, 1.0},   {400, 0.0}, {400, 1.0}, {402, 0.0}, {500, -6.5}, {501, 24.0}};
    for (const auto& c : cases) {
        const std::string shown = text(p, c.id, c.value);
        EXPECT_EQ(parse(p, c.id, shown.c_str()), c.value) << c.id << " \"" << shown << "\"";
    }
}

}  // namespace
