#include "fxcoreplug/control_names.h"

#include <cctype>
#include <string_view>

namespace fxcoreplug {

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return std::string(s);
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits off the text up to the first space or tab; `rest` becomes what follows it,
// trimmed (empty when no space or tab follows).
std::string takeWord(std::string& rest) {
    const size_t gap = rest.find_first_of(" \t");
    if (gap == std::string::npos) {
        std::string word = rest;
        rest.clear();
        return word;
    }
    std::string word = rest.substr(0, gap);
    rest = trim(std::string_view(rest).substr(gap + 1));
    return word;
}

// "SW0" .. "SW4" (already upper-cased) to 0..4, else -1.
int switchWord(const std::string& word) {
    if (word.size() == 3 && word[0] == 'S' && word[1] == 'W' && word[2] >= '0' && word[2] <= '4') return word[2] - '0';
    return -1;
}

void applyPotRule(ControlNames::PotSlot& pot, const std::string& value) {
    std::string rest = value;
    const std::string kind = upper(takeWord(rest));
    using Slot = ControlNames::Slot;
    if (kind == "NONE" || kind == "-") {
        pot.type = Slot::None;  // the label stays as it was
    } else if (kind == "MODE") {
        pot.type = Slot::ModeToggle;
        pot.label = rest;
    } else if (kind == "POT-TOGGLE" || kind == "POTTOGGLE") {
        pot.type = Slot::PotToggle;
        pot.label = rest;
    } else if (kind == "SW-TOGGLE" || kind == "SWTOGGLE") {
        pot.type = Slot::SwitchToggle;
        // Two words are taken whether or not they name switches.
        if (const int a = switchWord(upper(takeWord(rest))); a >= 0) pot.swA = a;
        if (const int b = switchWord(upper(takeWord(rest))); b >= 0) pot.swB = b;
        pot.label = rest;
    } else {
        pot.type = Slot::Knob;
        pot.label = value;
    }
}

void applyLine(ControlNames& names, std::string line) {
    line = trim(line);
    while (!line.empty() && (line[0] == ';' || line[0] == '#')) line = trim(std::string_view(line).substr(1));

    const size_t gap = line.find_first_of(" \t");
    if (gap == std::string::npos) return;  // a key alone sets nothing
    const std::string key = upper(line.substr(0, gap));
    const std::string value = trim(std::string_view(line).substr(gap + 1));

    if (key == "NAME" || key == "TITLE") {
        names.name = value;
    } else if (key == "PANEL") {
        names.panel = value;
    } else if (key == "TAP") {
        names.tap = value;
    } else if (key == "ENABLE") {
        names.enable = value;
    } else if (key == "LEDS" || key == "LAMPS") {
        const std::string mode = upper(value);
        names.ledsCombined =
            mode == "CENTER" || mode == "CENTRE" || mode == "BICOLOUR" || mode == "BICOLOR" || mode == "COMBINED";
    } else if (key.size() == 3 && key.starts_with("SW") && key[2] >= '0' && key[2] <= '4') {
        names.switches[static_cast<size_t>(key[2] - '0')] = value;
    } else if (key.size() == 5 && key.starts_with("USER") && (key[4] == '0' || key[4] == '1')) {
        names.users[static_cast<size_t>(key[4] - '0')] = value;
    } else if (key.size() == 4 && key.starts_with("POT") && key[3] >= '0' && key[3] <= '5') {
        applyPotRule(names.pots[static_cast<size_t>(key[3] - '0')], value);
    }
}

}  // namespace

ControlNames ControlNames::parse(const std::string& text) {
    ControlNames names;
    names.loaded = true;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\n\r", start);
        const size_t stop = end == std::string::npos ? text.size() : end;
        applyLine(names, text.substr(start, stop - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return names;
}

bool ControlNames::potUsed(int pot) const {
    if (!loaded) return true;
    const Slot type = pots[static_cast<size_t>(pot)].type;
    return type == Slot::Knob || type == Slot::PotToggle;
}

ControlNames::Slot ControlNames::potType(int pot) const {
    return loaded ? pots[static_cast<size_t>(pot)].type : Slot::Knob;
}

std::string ControlNames::potName(int pot) const {
    const std::string& label = pots[static_cast<size_t>(pot)].label;
    return label.empty() ? "POT" + std::to_string(pot) : label;
}

std::string ControlNames::switchName(int index) const {
    const std::string& name = switches[static_cast<size_t>(index)];
    return name.empty() ? "SW" + std::to_string(index) : name;
}

std::string ControlNames::tapName() const { return tap.empty() ? "TAP" : tap; }

std::string ControlNames::enableName() const { return enable.empty() ? "ENABLE" : enable; }

}  // namespace fxcoreplug
