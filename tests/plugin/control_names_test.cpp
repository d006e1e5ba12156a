// Control-names text: how each line shape lands in the record, and the accessor
// fall-backs the parameter table and the panel editor build on.

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "fxcoreplug/control_names.h"
#include "fxcoreplug/embedded_programs.h"

namespace fxcoreplug {
void PrintTo(ControlNames::Slot slot, std::ostream* os) {
    static const char* const names[] = {"None", "Knob", "SwitchToggle", "PotToggle", "ModeToggle"};
    const int i = static_cast<int>(slot);
    *os << (i >= 0 && i < 5 ? names[i] : "Slot?");
}
}  // namespace fxcoreplug

namespace {

using fxcoreplug::ControlNames;
using Slot = ControlNames::Slot;

ControlNames parse(const std::string& text) { return ControlNames::parse(text); }

// Every field on one line, so whole records compare with a readable difference.
std::string describe(const ControlNames& n) {
    std::ostringstream s;
    s << "loaded=" << n.loaded << " name=[" << n.name << "] panel=[" << n.panel << "]";
    for (const auto& p : n.pots)
        s << " pot(" << static_cast<int>(p.type) << ",[" << p.label << "]," << p.swA << ',' << p.swB << ')';
    for (const auto& sw : n.switches) s << " sw=[" << sw << ']';
    s << " tap=[" << n.tap << "] enable=[" << n.enable << "] users=[" << n.users[0] << '|' << n.users[1]
      << "] leds=" << n.ledsCombined;
    return s.str();
}

// What parsing a text that sets nothing gives.
std::string blank() {
    ControlNames n;
    n.loaded = true;
    return describe(n);
}

}  // namespace

TEST(ShippedControlNames, NameSixKnobsTheTapBypassAndTwoLamps) {
    ASSERT_GE(fxcoreplug::kEmbeddedProgramCount, 1);
    const char* text = fxcoreplug::kEmbeddedPrograms[0].controlNamesText;
    ASSERT_NE(text, nullptr);
    const ControlNames n = parse(text);

    EXPECT_TRUE(n.loaded);
    EXPECT_EQ(n.name, "Lumivex");
    EXPECT_EQ(n.panel, "lumivex");
    const char* const labels[] = {"Time", "Repeats", "Mix", "Mod", "Tone", "Space"};
    for (int i = 0; i < 6; ++i) {
        const auto& pot = n.pots[static_cast<size_t>(i)];
        EXPECT_EQ(pot.type, Slot::Knob) << "POT" << i;
        EXPECT_EQ(pot.label, labels[i]);
        EXPECT_EQ(pot.swA, -1);
        EXPECT_EQ(pot.swB, -1);
        EXPECT_TRUE(n.potUsed(i));
        EXPECT_EQ(n.potName(i), labels[i]);
    }
    EXPECT_EQ(n.tap, "Tap");
    EXPECT_EQ(n.switches, (std::array<std::string, 5>{"", "", "", "", "Bypass"}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(n.switchName(i), "SW" + std::to_string(i)) << "unused, so unnamed";
    EXPECT_EQ(n.switchName(4), "Bypass");
    EXPECT_EQ(n.enable, "");
    EXPECT_EQ(n.users, (std::array<std::string, 2>{"Tempo", "On"}));
    EXPECT_FALSE(n.ledsCombined);
}

TEST(DefaultControlNames, AreEmptyAndReportEveryPotAsAUsedKnob) {
    const ControlNames n;
    EXPECT_FALSE(n.loaded);
    EXPECT_EQ(describe(n), "loaded=0 name=[] panel=[]" + [] {
        std::string pots;
        for (int i = 0; i < 6; ++i) pots += " pot(0,[],-1,-1)";
        return pots;
    }() + " sw=[] sw=[] sw=[] sw=[] sw=[] tap=[] enable=[] users=[|] leds=0");
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(n.potUsed(i)) << i;
        EXPECT_EQ(n.potType(i), Slot::Knob) << i;
        EXPECT_EQ(n.potName(i), "POT" + std::to_string(i));
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(n.switchName(i), "SW" + std::to_string(i));
    EXPECT_EQ(n.tapName(), "TAP");
    EXPECT_EQ(n.enableName(), "ENABLE");

    // Until a text is loaded the pot kinds are not consulted at all.
    ControlNames stale;
    stale.pots[2].type = Slot::ModeToggle;
    EXPECT_TRUE(stale.potUsed(2));
    EXPECT_EQ(stale.potType(2), Slot::Knob);
}

TEST(ParsedControlNames, PotsTheTextDoesNotMentionAreUnused) {
    EXPECT_EQ(describe(parse("")), blank());
    const ControlNames n = parse("NAME Solo\nSW0 Boost\n");
    EXPECT_TRUE(n.loaded);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(n.potType(i), Slot::None) << i;
        EXPECT_FALSE(n.potUsed(i)) << i;
        EXPECT_EQ(n.potName(i), "POT" + std::to_string(i));
    }
}

TEST(ParsedControlNames, PotUsedFollowsTheKind) {
    const struct {
        const char* value;
        Slot type;
        bool used;
    } cases[] = {{"NONE", Slot::None, false},
                 {"Drive", Slot::Knob, true},
                 {"SW-TOGGLE SW0 SW1", Slot::SwitchToggle, false},
                 {"POT-TOGGLE Range", Slot::PotToggle, true},
                 {"MODE", Slot::ModeToggle, false}};
    for (const auto& c : cases) {
        const ControlNames n = parse(std::string("POT3 ") + c.value);
        EXPECT_EQ(n.potType(3), c.type) << c.value;
        EXPECT_EQ(n.potUsed(3), c.used) << c.value;
    }
}

TEST(ParsedControlNames, NamesFallBackWhenLeftEmpty) {
    const ControlNames n = parse("POT1 Gain\nSW2 Boost\nENABLE Power");
    EXPECT_EQ(n.potName(0), "POT0");
    EXPECT_EQ(n.potName(1), "Gain");
    EXPECT_EQ(n.switchName(1), "SW1");
    EXPECT_EQ(n.switchName(2), "Boost");
    EXPECT_EQ(n.tapName(), "TAP");
    EXPECT_EQ(n.enableName(), "Power");
    EXPECT_EQ(parse("TAP Tempo").tapName(), "Tempo");
    EXPECT_EQ(parse("TAP Tempo").enableName(), "ENABLE");
    EXPECT_EQ(parse("POT4 NONE").potName(4), "POT4");
}

TEST(ControlNamesKeys, AreCaseInsensitiveWhileValuesKeepTheirCase) {
    const ControlNames n = parse(
        "name MiXed Name\npanel Lumi-VEX\ntAp Tap Tempo\nEnable Foot SW\nsw2 Hold ME\nuser1 On Lamp\n"
        "pot3 Depth KNOB\nLamps bicolor\n");
    EXPECT_EQ(n.name, "MiXed Name");
    EXPECT_EQ(n.panel, "Lumi-VEX");
    EXPECT_EQ(n.tap, "Tap Tempo");
    EXPECT_EQ(n.enable, "Foot SW");
    EXPECT_EQ(n.switches[2], "Hold ME");
    EXPECT_EQ(n.users[1], "On Lamp");
    EXPECT_EQ(n.pots[3].type, Slot::Knob);
    EXPECT_EQ(n.pots[3].label, "Depth KNOB");
    EXPECT_TRUE(n.ledsCombined);
    EXPECT_EQ(parse("title Echo Box").name, "Echo Box");
}

TEST(ControlNamesKeys, EachIndexedKeyReachesItsOwnEntry) {
    std::string text;
    for (int i = 0; i < 5; ++i) text += "SW" + std::to_string(i) + " s" + std::to_string(i) + "\n";
    for (int i = 0; i < 2; ++i) text += "USER" + std::to_string(i) + " u" + std::to_string(i) + "\n";
    for (int i = 0; i < 6; ++i) text += "POT" + std::to_string(i) + " p" + std::to_string(i) + "\n";
    const ControlNames n = parse(text);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(n.switches[static_cast<size_t>(i)], "s" + std::to_string(i));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(n.users[static_cast<size_t>(i)], "u" + std::to_string(i));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(n.pots[static_cast<size_t>(i)].label, "p" + std::to_string(i));
}

TEST(ControlNamesKeys, OutOfRangeDigitsAndLongerOrShorterKeysAreIgnored) {
    for (const char* line :
         {"SW5 x", "SW9 x", "POT6 x", "POT9 x", "USER2 x", "USER9 x",       // digits past the range
          "SW/ x", "SW: x", "POT/ x", "POT: x", "USER/ x",                  // just outside '0'..'9'
          "SW00 x", "SW01 x", "SW0A x", "POT00 x", "POT05 x", "USER00 x",  // longer
          "USER10 x", "NAMES x", "TITLES x", "PANELS x", "TAPS x", "ENABLED x", "LEDSS centre",
          "SW x", "POT x", "USER x", "NAM x", "LED centre", "LAMP centre",  // shorter
          "SWA x", "POTX x", "USERA x", "S-W1 x"}) {
        EXPECT_EQ(describe(parse(line)), blank()) << line;
    }
}

TEST(ControlNamesLines, CommentMarkersAreStrippedOneAtATimeBeforeTheKey) {
    for (const char* line : {"#NAME Fx", ";NAME Fx", "##;;NAME Fx", "# ; #\tNAME Fx", "  ;  NAME Fx  ",
                             "\t#\t#name\tFx"})
        EXPECT_EQ(parse(line).name, "Fx") << line;

    // Markers only count in front: inside a value they are text.
    EXPECT_EQ(parse("NAME #Fx; one").name, "#Fx; one");
    // Prose behind a marker does nothing unless its first word happens to be a key.
    EXPECT_EQ(describe(parse("; Controls this text does not name are unused.")), blank());
    EXPECT_EQ(parse("; Name of the pedal").name, "of the pedal");
    for (const char* line : {"#", ";;", "# ; #", ";\t"}) EXPECT_EQ(describe(parse(line)), blank()) << line;
}

TEST(ControlNamesLines, AKeyWithoutValueSetsNothing) {
    const ControlNames n =
        parse("NAME First\nNAME\nname   \nNAME\t\n#NAME\nPOT0 Drive\nPOT0\nLEDS centre\nLEDS\nSW1 Hold\nSW1");
    EXPECT_EQ(n.name, "First");
    EXPECT_EQ(n.pots[0].type, Slot::Knob);
    EXPECT_EQ(n.pots[0].label, "Drive");
    EXPECT_TRUE(n.ledsCombined);
    EXPECT_EQ(n.switches[1], "Hold");
    // Only a space or a tab separates: other white space inside the line does not.
    EXPECT_EQ(describe(parse("NAME\vSecond")), blank());
    EXPECT_EQ(describe(parse("NAME\fSecond")), blank());
}

TEST(ControlNamesLines, SpaceOrTabSeparateAndOuterWhiteSpaceIsTrimmed) {
    const struct {
        const char* line;
        const char* name;
    } cases[] = {{"NAME\tFx", "Fx"},
                 {"NAME \t  Fx  \t", "Fx"},
                 {"\t  NAME Fx\v\f", "Fx"},
                 {"NAME\t\tFx", "Fx"},
                 {"NAME Big   Muff\tPi", "Big   Muff\tPi"}};
    for (const auto& c : cases) EXPECT_EQ(parse(c.line).name, c.name) << c.line;
}

TEST(ControlNamesLines, LaterLinesOverwriteAndTitleSharesTheNameField) {
    EXPECT_EQ(parse("NAME One\nTITLE Two").name, "Two");
    EXPECT_EQ(parse("TITLE Two\nNAME One").name, "One");
    const ControlNames n = parse("PANEL a\nTAP a\nENABLE a\nSW1 a\nUSER0 a\nPOT2 a\n"
                                 "PANEL b\nTAP b\nENABLE b\nsw1 b\nuser0 b\npot2 b");
    EXPECT_EQ(n.panel, "b");
    EXPECT_EQ(n.tap, "b");
    EXPECT_EQ(n.enable, "b");
    EXPECT_EQ(n.switches[1], "b");
    EXPECT_EQ(n.users[0], "b");
    EXPECT_EQ(n.pots[2].label, "b");
}

TEST(ControlNamesLines, CrLfCrAndLfEndLinesAlike) {
    const std::vector<std::string> lines = {"; comment", "NAME Lumivex", "", "PANEL lumivex", "POT0 Time",
                                            "POT1 SW-TOGGLE SW0 SW3 Range", "LEDS combined", "TAP Tap"};
    const auto join = [&](const std::string& end) {
        std::string text;
        for (const auto& line : lines) text += line + end;
        return text;
    };
    const std::string lf = describe(parse(join("\n")));
    EXPECT_EQ(describe(parse(join("\r\n"))), lf);
    EXPECT_EQ(describe(parse(join("\r"))), lf);
    EXPECT_EQ(describe(parse(join("\n\r\r\n\n"))), lf) << "empty lines do nothing";
    std::string unterminated = join("\r\n");
    unterminated.resize(unterminated.size() - 2);
    EXPECT_EQ(describe(parse(unterminated)), lf) << "the last line needs no line end";

    const ControlNames n = parse(join("\r"));
    EXPECT_EQ(n.name, "Lumivex") << "no carriage return is left in a value";
    EXPECT_EQ(n.tap, "Tap");
    EXPECT_EQ(n.pots[1].label, "Range");
    EXPECT_TRUE(n.ledsCombined);
    EXPECT_EQ(parse("NAME Lumi\rvex").name, "Lumi");
}

TEST(ControlNamesPots, TheFirstWordOfTheValueChoosesTheKind) {
    const struct {
        const char* value;
        Slot type;
        const char* label;
    } cases[] = {
        {"NONE", Slot::None, ""},
        {"-", Slot::None, ""},
        {"none Ignored", Slot::None, ""},
        {"MODE", Slot::ModeToggle, ""},
        {"mode Voice  Select", Slot::ModeToggle, "Voice  Select"},
        {"POT-TOGGLE Range", Slot::PotToggle, "Range"},
        {"PotToggle\tLo Hi", Slot::PotToggle, "Lo Hi"},
        {"POTTOGGLE", Slot::PotToggle, ""},
        {"sw-toggle", Slot::SwitchToggle, ""},
        {"SWTOGGLE SW1 SW2 Voice", Slot::SwitchToggle, "Voice"},
        {"Drive", Slot::Knob, "Drive"},
        {"Big   Muff\tTone", Slot::Knob, "Big   Muff\tTone"},
        {"Mode-Knob", Slot::Knob, "Mode-Knob"},
        {"NONEX label", Slot::Knob, "NONEX label"},
        {"Knob None", Slot::Knob, "Knob None"},
        {"SW-TOGGLED SW0", Slot::Knob, "SW-TOGGLED SW0"},
    };
    for (const auto& c : cases) {
        const ControlNames n = parse(std::string("POT5 ") + c.value);
        EXPECT_EQ(n.pots[5].type, c.type) << c.value;
        EXPECT_EQ(n.pots[5].label, c.label) << c.value;
    }
}

TEST(ControlNamesPots, SwitchToggleTakesTwoWordsBeforeItsLabel) {
    const struct {
        const char* value;
        int swA, swB;
        const char* label;
    } cases[] = {
        {"SW-TOGGLE SW0 SW3 Range", 0, 3, "Range"},
        {"SW-TOGGLE SW2", 2, -1, ""},
        {"SW-TOGGLE Range", -1, -1, ""},  // the label is taken as a switch word
        {"SW-TOGGLE Fast Slow Range", -1, -1, "Range"},
        {"SW-TOGGLE Fast SW4 Range", -1, 4, "Range"},
        {"SW-TOGGLE SW4 SW4", 4, 4, ""},
        {"SW-TOGGLE\tSW1 \t SW2\t\tLo  Hi ", 1, 2, "Lo  Hi"},
        {"SW-TOGGLE SW1 SW2 Lo Hi Mid", 1, 2, "Lo Hi Mid"},
    };
    for (const auto& c : cases) {
        const ControlNames n = parse(std::string("POT0 ") + c.value);
        EXPECT_EQ(n.pots[0].type, Slot::SwitchToggle) << c.value;
        EXPECT_EQ(n.pots[0].swA, c.swA) << c.value;
        EXPECT_EQ(n.pots[0].swB, c.swB) << c.value;
        EXPECT_EQ(n.pots[0].label, c.label) << c.value;
    }
}

TEST(ControlNamesPots, SwitchWordsAreSwAndOneDigitUpToFourInAnyCase) {
    const struct {
        const char* word;
        int index;  // -1: not a switch word
    } cases[] = {{"SW0", 0}, {"SW1", 1}, {"SW2", 2}, {"SW3", 3}, {"SW4", 4}, {"sw0", 0}, {"Sw3", 3},
                 {"sW4", 4}, {"SW5", -1}, {"SW9", -1}, {"SW10", -1}, {"SW04", -1}, {"SW", -1},
                 {"S4", -1}, {"SWX", -1}, {"SW/", -1}, {"W1", -1}, {"XSW1", -1}};
    for (const auto& c : cases) {
        const std::string w = c.word;
        const ControlNames n = parse("POT0 SW-TOGGLE " + w + " " + w);
        EXPECT_EQ(n.pots[0].swA, c.index) << w;
        EXPECT_EQ(n.pots[0].swB, c.index) << w;
    }
}

TEST(ControlNamesPots, LaterLinesChangeOnlyWhatTheirKindSets) {
    ControlNames n = parse("POT2 MODE");
    EXPECT_EQ(n.pots[2].type, Slot::ModeToggle);
    EXPECT_EQ(n.pots[2].label, "");
    n = parse("POT2 MODE\nPOT2 NONE");
    EXPECT_EQ(n.pots[2].type, Slot::None);
    EXPECT_EQ(n.pots[2].label, "");

    n = parse("POT2 Drive\nPOT2 NONE");
    EXPECT_EQ(n.pots[2].type, Slot::None);
    EXPECT_EQ(n.pots[2].label, "Drive") << "NONE keeps the label";
    EXPECT_EQ(n.potName(2), "Drive");
    EXPECT_EQ(parse("POT2 Drive\nPOT2 - x").pots[2].label, "Drive");
    EXPECT_EQ(parse("POT2 Drive\nPOT2 MODE").pots[2].label, "") << "MODE replaces the label with its rest";
    EXPECT_EQ(parse("POT2 Drive\nPOT2 POT-TOGGLE").pots[2].label, "");

    // A word that is not a switch word leaves the earlier index in place, and a later
    // kind that does not take switch words leaves both.
    n = parse("POT1 SW-TOGGLE SW1 SW2\nPOT1 SW-TOGGLE Fast SW3");
    EXPECT_EQ(n.pots[1].swA, 1);
    EXPECT_EQ(n.pots[1].swB, 3);
    n = parse("POT1 SW-TOGGLE SW1 SW2 Voice\nPOT1 Rate");
    EXPECT_EQ(n.pots[1].type, Slot::Knob);
    EXPECT_EQ(n.pots[1].label, "Rate");
    EXPECT_EQ(n.pots[1].swA, 1);
    EXPECT_EQ(n.pots[1].swB, 2);
    n = parse("POT1 SW-TOGGLE SW1 SW2 Voice\nPOT1 -");
    EXPECT_EQ(n.pots[1].type, Slot::None);
    EXPECT_EQ(n.pots[1].label, "Voice");
    EXPECT_EQ(n.pots[1].swA, 1);
}

TEST(ControlNamesLeds, OnlyTheFiveCombinedWordsSetTheFlag) {
    for (const char* key : {"LEDS", "LAMPS", "leds", "Lamps"}) {
        for (const char* word : {"CENTER", "CENTRE", "BICOLOUR", "BICOLOR", "COMBINED", "bicolor", "Centre",
                                 "combined", "biColour"})
            EXPECT_TRUE(parse(std::string(key) + " " + word).ledsCombined) << key << ' ' << word;
        for (const char* word : {"separate", "BI-COLOR", "COLOR", "CENTERS", "ON", "1", "center lamp", "combined x"})
            EXPECT_FALSE(parse(std::string("LEDS combined\n") + key + " " + word).ledsCombined)
                << key << ' ' << word;
    }
}
