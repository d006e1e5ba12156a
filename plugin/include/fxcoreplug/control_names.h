// What a firmware program's control-names text says about the pedal's controls:
// their names, which pot positions carry a knob or a toggle, the panel layout key
// and the LED mode.
//
// The text is line oriented: "KEY value" per line, keys case-insensitive, any
// number of leading ';' or '#' markers stripped. Lines that fit no rule do nothing;
// the parser never fails.
#pragma once

#include <array>
#include <string>

namespace fxcoreplug {

struct ControlNames {
    enum class Slot : int { None = 0, Knob = 1, SwitchToggle = 2, PotToggle = 3, ModeToggle = 4 };

    struct PotSlot {
        Slot type = Slot::None;
        std::string label;
        int swA = -1;  // switch index 0-4 driven by a switch toggle, -1 for none
        int swB = -1;
    };

    bool loaded = false;
    std::string name;
    std::string panel;
    std::array<PotSlot, 6> pots{};
    std::array<std::string, 5> switches{};
    std::string tap;
    std::string enable;
    std::array<std::string, 2> users{};
    bool ledsCombined = false;

    static ControlNames parse(const std::string& text);

    // Accessors with fall-backs; indices are not checked (pots 0-5, switches 0-4).
    bool potUsed(int pot) const;
    Slot potType(int pot) const;
    std::string potName(int pot) const;
    std::string switchName(int index) const;
    std::string tapName() const;
    std::string enableName() const;
};

}  // namespace fxcoreplug
