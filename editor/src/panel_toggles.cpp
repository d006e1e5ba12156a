// What a lever switch's position means, both ways: the position the user picks
// sets parameters, and the parameters put the lever where they say.
// Positions: 0 the lever up, 1 the middle (down on a two-position lever), 2 down.
#include <algorithm>
#include <cmath>
#include <optional>

#include "fxcoreedit/panel_editor.h"
#include "fxcoreplug/fxcore_plugin.h"
#include "fxcoreplug/param_ids.h"

namespace fxcoreplug {

namespace {

using Slot = ControlNames::Slot;

// The pot value of each position: up 0.5, middle 1.0, down 0.0.
constexpr double kPotForPosition[3] = {0.5, 1.0, 0.0};
// The Mode of each position: up 2, middle 0, down 1.
constexpr int32_t kModeForPosition[3] = {2, 0, 1};

constexpr int32_t kind(Slot slot) { return static_cast<int32_t>(slot); }

uint32_t switchId(int32_t index) { return param::kSw0 + static_cast<uint32_t>(index); }

}  // namespace

void PanelEditor::applyToggle(const ToggleBinding& binding) {
    const int p = binding.view->position();
    const size_t row = static_cast<size_t>(std::clamp(p, 0, 2));
    if (binding.kind == kind(Slot::SwitchToggle)) {
        if (binding.switchA >= 0) plugin_.guiSetParamValue(switchId(binding.switchA), p < 1 ? 1.0 : 0.0);
        if (binding.switchB >= 0) plugin_.guiSetParamValue(switchId(binding.switchB), p > 1 ? 1.0 : 0.0);
    } else if (binding.kind == kind(Slot::PotToggle)) {
        plugin_.guiSetParamValue(param::kPot0 + static_cast<uint32_t>(binding.pot), kPotForPosition[row]);
    } else if (binding.kind == kind(Slot::ModeToggle)) {
        plugin_.guiSetParamValue(param::kMode, kModeForPosition[row]);
    }
}

void PanelEditor::refreshToggle(const ToggleBinding& binding) {
    std::optional<int> position;
    if (binding.kind == kind(Slot::SwitchToggle)) {
        const auto on = [this](int32_t index) { return index >= 0 && plugin_.paramValue(switchId(index)) >= 0.5; };
        position = on(binding.switchA) ? 0 : on(binding.switchB) ? 2 : 1;
    } else if (binding.kind == kind(Slot::PotToggle)) {
        // The nearest position; a tie goes to the earlier one, and a value that is
        // not a number is nearer to none.
        const double v = plugin_.paramValue(param::kPot0 + static_cast<uint32_t>(binding.pot));
        double best = 1e9;
        for (int p = 0; p < 3; ++p) {
            const double distance = std::fabs(v - kPotForPosition[p]);
            if (distance < best) {
                best = distance;
                position = p;
            }
        }
    } else if (binding.kind == kind(Slot::ModeToggle)) {
        const int m = roundIndex(plugin_.paramValue(param::kMode));
        const auto* found = std::find(std::begin(kModeForPosition), std::end(kModeForPosition), m);
        if (found != std::end(kModeForPosition)) position = static_cast<int>(found - std::begin(kModeForPosition));
    }
    if (!position) return;
    // Compared as the lever can show it: Mode 1 on a two-position lever is its last
    // position, and asking again every tick would only redraw it.
    const int shown = std::min(*position, binding.view->positions() - 1);
    if (shown != binding.view->position()) binding.view->setPosition(shown);
}

}  // namespace fxcoreplug
