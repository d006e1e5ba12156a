// libFuzzer target for the control-names parser: arbitrary bytes as text. A parse
// never crashes and always yields a usable record: loaded, switch indices of switch
// toggles within -1..4, a non-empty name for every control, no line end and no outer
// white space in any value. The result depends only on the lines, so the same text
// parses the same twice, with every carriage return turned into a line feed, and with
// a line end appended.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fxcoreplug/control_names.h"

namespace {

using fxcoreplug::ControlNames;

void require(bool condition) {
    if (!condition) std::abort();
}

// No line end inside, no white space at either end.
bool tidy(const std::string& s) {
    if (s.find_first_of("\r\n") != std::string::npos) return false;
    if (s.empty()) return true;
    return !std::isspace(static_cast<unsigned char>(s.front())) && !std::isspace(static_cast<unsigned char>(s.back()));
}

bool same(const ControlNames& a, const ControlNames& b) {
    if (a.loaded != b.loaded || a.name != b.name || a.panel != b.panel || a.switches != b.switches ||
        a.tap != b.tap || a.enable != b.enable || a.users != b.users || a.ledsCombined != b.ledsCombined)
        return false;
    for (size_t i = 0; i < a.pots.size(); ++i) {
        const auto& p = a.pots[i];
        const auto& q = b.pots[i];
        if (p.type != q.type || p.label != q.label || p.swA != q.swA || p.swB != q.swB) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ControlNames names = ControlNames::parse(text);

    require(names.loaded);
    for (int i = 0; i < 6; ++i) {
        const auto& pot = names.pots[static_cast<size_t>(i)];
        const int type = static_cast<int>(pot.type);
        require(type >= 0 && type <= 4);
        require(pot.swA >= -1 && pot.swA <= 4 && pot.swB >= -1 && pot.swB <= 4);
        require(names.potType(i) == pot.type);
        require(names.potUsed(i) ==
                (pot.type == ControlNames::Slot::Knob || pot.type == ControlNames::Slot::PotToggle));
        require(!names.potName(i).empty());
        require(tidy(pot.label));
    }
    for (int i = 0; i < 5; ++i) {
        require(!names.switchName(i).empty());
        require(tidy(names.switches[static_cast<size_t>(i)]));
    }
    require(!names.tapName().empty() && !names.enableName().empty());
    require(tidy(names.name) && tidy(names.panel) && tidy(names.tap) && tidy(names.enable));
    require(tidy(names.users[0]) && tidy(names.users[1]));

    require(same(ControlNames::parse(text), names));
    std::string lineFeeds = text;
    std::replace(lineFeeds.begin(), lineFeeds.end(), '\r', '\n');
    require(same(ControlNames::parse(lineFeeds), names));
    require(same(ControlNames::parse(text + "\n"), names));
    return 0;
}
